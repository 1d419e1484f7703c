#ifndef PARVESTA_TEST_SQLITE_H
#define PARVESTA_TEST_SQLITE_H

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// A connection of the test's own to an archive file, beside the program's,
// to look at the file as it is or to change it as another program would.
struct Look
{
    QString name;
    QSqlDatabase db;
    explicit Look(const QString& path) : name(QStringLiteral("look-%1").arg(quintptr(this)))
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Look()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    // The first value the query answers; an invalid one when it fails.
    QVariant One(const QString& sql)
    {
        QSqlQuery query(db);
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    bool Do(const QString& sql) { return QSqlQuery(db).exec(sql); }
};

#endif
