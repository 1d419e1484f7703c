#include "CArchive.h"

#include "ArchiveLog.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace
{
// The statements that bring a file of schema version n - 1 to version n;
// version 0 is a file with no tables of ours.
const char* const Steps[][5] = {
    {
        "CREATE TABLE transfers (id TEXT PRIMARY KEY, station TEXT NOT NULL, time TEXT NOT NULL,"
        " user TEXT, program TEXT, version TEXT, port TEXT, device TEXT, family TEXT,"
        " pages_announced INTEGER, pages_received INTEGER, complete INTEGER,"
        " measurements INTEGER NOT NULL, reply BLOB, UNIQUE (station, time, id))",
        "CREATE TABLE records (transfer TEXT NOT NULL REFERENCES transfers(id) ON DELETE CASCADE,"
        " position INTEGER NOT NULL, grp INTEGER, cell INTEGER, value INTEGER, divisor INTEGER,"
        " kind INTEGER, unit INTEGER, decimals INTEGER, PRIMARY KEY (transfer, position))"
        " WITHOUT ROWID",
        "CREATE TABLE saves (transfer TEXT NOT NULL REFERENCES transfers(id) ON DELETE CASCADE,"
        " path TEXT NOT NULL, format TEXT NOT NULL, time TEXT NOT NULL)",
        "CREATE INDEX transfers_by_time ON transfers (time)",
        nullptr,
    },
};
static_assert(sizeof Steps / sizeof Steps[0] == CArchive::SchemaVersion,
              "one step per schema version");

// Times are kept as ISO 8601 UTC with milliseconds: they sort as text.
QString TimeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime TimeOf(const QVariant& text)
{
    QDateTime time = QDateTime::fromString(text.toString(), Qt::ISODateWithMs);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QString Why(const QSqlError& e)
{
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}
} // namespace

CArchive::CArchive(const QString& file) : path(file)
{
    static QAtomicInteger<quint64> count;
    connection = QStringLiteral("parvesta-archive-%1").arg(count.fetchAndAddRelaxed(1));
}

CArchive::~CArchive()
{
    if (db)
    {
        db->close();
        db.reset();
        QSqlDatabase::removeDatabase(connection);
    }
}

bool CArchive::Fail(const QString& why)
{
    error = why;
    qCDebug(archiveLog).noquote() << path << why;
    return false;
}

bool CArchive::Open()
{
    error.clear();
    if (opened)
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Fail(tr("the folder of %1 cannot be made").arg(path));
    if (!db)
        db = std::make_unique<QSqlDatabase>(
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection));
    if (!db->isValid())
        return Fail(tr("the database driver for %1 is missing").arg(path));
    db->setDatabaseName(path);
    // Another program writing at the same moment is waited for a while.
    db->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db->open())
        return Fail(tr("%1 cannot be opened: %2").arg(path, Why(db->lastError())));

    // The version is read before anything is written: a newer file stays untouched.
    QSqlQuery query(*db);
    int version = 0;
    if (!query.exec(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema'")) ||
        !query.next())
    {
        const QString why = Why(query.lastError());
        db->close();
        return Fail(tr("%1 cannot be read: %2").arg(path, why));
    }
    if (query.value(0).toInt() > 0)
    {
        if (!query.exec(QStringLiteral("SELECT max(version) FROM schema")) || !query.next())
        {
            const QString why = Why(query.lastError());
            db->close();
            return Fail(tr("%1 cannot be read: %2").arg(path, why));
        }
        version = query.value(0).toInt();
    }
    if (version > SchemaVersion)
    {
        query.finish();
        db->close();
        return Fail(tr("%1 was made by a newer version of the program (archive version %2; this "
                       "one knows up to %3), and is left as it is")
                        .arg(path)
                        .arg(version)
                        .arg(SchemaVersion));
    }
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !query.exec(QStringLiteral("PRAGMA foreign_keys=ON")) ||
        (version < SchemaVersion && !Upgrade(version)))
    {
        const QString why = error.isEmpty() ? Why(query.lastError()) : error;
        db->close();
        return Fail(tr("%1 cannot be written: %2").arg(path, why));
    }
    qCDebug(archiveLog).noquote() << "opened" << path << "archive version" << version;
    opened = true;
    return true;
}

bool CArchive::Upgrade(int from)
{
    if (!db->transaction())
        return Fail(Why(db->lastError()));
    QSqlQuery query(*db);
    bool ok =
        from > 0 || query.exec(QStringLiteral("CREATE TABLE schema (version INTEGER NOT NULL)"));
    for (int version = from + 1; ok && version <= SchemaVersion; ++version)
        for (const char* const* step = Steps[version - 1]; ok && *step; ++step)
            ok = query.exec(QLatin1String(*step));
    if (ok)
        ok = query.exec(QStringLiteral("DELETE FROM schema")) &&
             query.prepare(QStringLiteral("INSERT INTO schema (version) VALUES (?)"));
    if (ok)
    {
        query.addBindValue(SchemaVersion);
        ok = query.exec();
    }
    const QString why = Why(query.lastError());
    if (!ok || !db->commit())
    {
        const QString reason = ok ? Why(db->lastError()) : why;
        db->rollback();
        return Fail(reason);
    }
    qCDebug(archiveLog).noquote() << "archive version" << from << "brought to" << SchemaVersion;
    return true;
}

bool CArchive::Store(Transfer* transfer)
{
    if (!Open())
        return false;
    if (transfer->id.isEmpty())
        transfer->id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!db->transaction())
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(db->lastError())));
    QSqlQuery query(*db);
    bool ok = query.prepare(QStringLiteral(
        "INSERT INTO transfers (id, station, time, user, program, version, port, device, family,"
        " pages_announced, pages_received, complete, measurements, reply)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (ok)
    {
        for (const QVariant& value :
             {QVariant(transfer->id), QVariant(transfer->station),
              QVariant(TimeText(transfer->time)), QVariant(transfer->user),
              QVariant(transfer->program), QVariant(transfer->version), QVariant(transfer->port),
              QVariant(transfer->device), QVariant(transfer->family),
              QVariant(transfer->pagesAnnounced), QVariant(transfer->pagesReceived),
              QVariant(transfer->complete ? 1 : 0), QVariant(int(transfer->records.size())),
              QVariant(transfer->reply)})
            query.addBindValue(value);
        ok = query.exec();
    }
    QSqlQuery records(*db);
    ok = ok && records.prepare(QStringLiteral(
                   "INSERT INTO records (transfer, position, grp, cell, value, divisor, kind, unit,"
                   " decimals) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    int position = 0;
    for (const CMeasurement& r : transfer->records)
    {
        if (!ok)
            break;
        records.bindValue(0, transfer->id);
        records.bindValue(1, position++);
        records.bindValue(2, r.group);
        records.bindValue(3, r.cell);
        records.bindValue(4, r.value);
        records.bindValue(5, r.divisor);
        records.bindValue(6, r.kind);
        records.bindValue(7, r.unit);
        records.bindValue(8, ValueDecimals(r));
        ok = records.exec();
    }
    const QString why = Why(query.lastError().isValid() ? query.lastError() : records.lastError());
    if (!ok || !db->commit())
    {
        const QString reason = ok ? Why(db->lastError()) : why;
        db->rollback();
        return Fail(tr("%1 cannot be written: %2").arg(path, reason));
    }
    transfer->measurements = int(transfer->records.size());
    qCDebug(archiveLog).noquote() << "kept transfer" << transfer->id << transfer->family
                                  << transfer->measurements << "records";
    return true;
}

bool CArchive::RecordSave(const QString& id, const QString& file, const QString& format,
                          const QDateTime& time)
{
    if (!Open())
        return false;
    QSqlQuery query(*db);
    if (!query.prepare(
            QStringLiteral("INSERT INTO saves (transfer, path, format, time) VALUES (?, ?, ?, ?)")))
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(query.lastError())));
    query.addBindValue(id);
    query.addBindValue(file);
    query.addBindValue(format);
    query.addBindValue(TimeText(time));
    if (!query.exec())
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(query.lastError())));
    return true;
}

bool CArchive::List(QVector<Entry>* entries)
{
    entries->clear();
    if (!Open())
        return false;
    QSqlQuery query(*db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, time, family, measurements, complete FROM transfers"
                                   " ORDER BY time, rowid")))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
    {
        Entry entry;
        entry.id = query.value(0).toString();
        entry.time = TimeOf(query.value(1));
        entry.family = query.value(2).toString();
        entry.measurements = query.value(3).toInt();
        entry.complete = query.value(4).toInt() != 0;
        entries->append(entry);
    }
    return true;
}

bool CArchive::Load(const QString& id, Transfer* transfer)
{
    if (!Open())
        return false;
    QSqlQuery query(*db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral(
            "SELECT station, time, user, program, version, port, device, family, pages_announced,"
            " pages_received, complete, measurements, reply FROM transfers WHERE id = ?")))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    query.addBindValue(id);
    if (!query.exec())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    if (!query.next())
        return Fail(tr("no transfer %1 in %2").arg(id, path));
    *transfer = Transfer();
    transfer->id = id;
    transfer->station = query.value(0).toString();
    transfer->time = TimeOf(query.value(1));
    transfer->user = query.value(2).toString();
    transfer->program = query.value(3).toString();
    transfer->version = query.value(4).toString();
    transfer->port = query.value(5).toString();
    transfer->device = query.value(6).toString();
    transfer->family = query.value(7).toString();
    transfer->pagesAnnounced = query.value(8).toInt();
    transfer->pagesReceived = query.value(9).toInt();
    transfer->complete = query.value(10).toInt() != 0;
    transfer->measurements = query.value(11).toInt();
    transfer->reply = query.value(12).toByteArray();

    QSqlQuery records(*db);
    records.setForwardOnly(true);
    if (!records.prepare(QStringLiteral("SELECT grp, cell, value, divisor, kind, unit FROM records"
                                        " WHERE transfer = ? ORDER BY position")))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(records.lastError())));
    records.addBindValue(id);
    if (!records.exec())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(records.lastError())));
    transfer->records.reserve(std::size_t(transfer->measurements));
    while (records.next())
    {
        CMeasurement r;
        r.group = records.value(0).toInt();
        r.cell = records.value(1).toInt();
        r.value = records.value(2).toInt();
        r.divisor = records.value(3).toInt();
        r.kind = records.value(4).toInt();
        r.unit = records.value(5).toInt();
        transfer->records.push_back(r);
    }
    return true;
}

bool CArchive::Saves(const QString& id, QStringList* files)
{
    files->clear();
    if (!Open())
        return false;
    QSqlQuery query(*db);
    if (!query.prepare(
            QStringLiteral("SELECT path FROM saves WHERE transfer = ? ORDER BY time, rowid")))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    query.addBindValue(id);
    if (!query.exec())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
        *files << query.value(0).toString();
    return true;
}
