#ifndef PARVESTA_CARCHIVE_H
#define PARVESTA_CARCHIVE_H

#include "CMeasurement.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class QSqlDatabase;

// The archive of every transfer: on this PC one SQLite file (write-ahead
// log, so that a crash leaves each transfer whole or absent), or the lab's
// PostgreSQL server named by a postgresql:// address, holding what came,
// from where, and the files saved of it. Both keep the same tables. An
// archive made by a newer program is refused and left as it is; an older
// one is brought up to date. Each archive is a connection of its own, so
// that several may be open at once.
class CArchive
{
    Q_DECLARE_TR_FUNCTIONS(CArchive)

public:
    // The layout of the tables this program writes; a file that says more
    // was made by a newer program.
    static constexpr int SchemaVersion = 3;

    // One transfer as it is kept.
    struct Transfer
    {
        QString id;       // random, unique with station and time
        QDateTime time;   // UTC
        QString station;  // the host name
        QString user;     // the account that ran the program
        QString program;  // "Parvesta" or "parvesta-cli"
        QString version;  // the program's version
        QString port;     // "COMn", or the name the user gave
        QString device;   // the device behind it
        QString family;   // "VX-nn", "TR-620" or "VirtualDevice"
        QString identify; // the instrument's answer to identify; empty when unknown
        int pagesAnnounced = 0;
        int pagesReceived = 0;
        bool complete = true;
        QByteArray reply;                  // every byte the instrument sent
        std::vector<CMeasurement> records; // in the order the table shows them
        int measurements = 0;              // records stored; set by Store and List
    };

    // A transfer in the history: what a list shows of it.
    struct Entry
    {
        QString id;
        QDateTime time;
        QString family;
        int measurements = 0;
        bool complete = true;
        int pagesAnnounced = 0;
        int pagesReceived = 0;
        QStringList saves; // the files saved of it, in the order saved; filled by Page
    };

    // Which transfers a page of the history shows: those whose family, id,
    // station, port, device or a saved file's path holds text (any case),
    // kept from the start of day from to the end of day to (local calendar
    // days; an invalid date sets no bound), newest first, limit of them
    // after the first offset.
    struct Filter
    {
        QString text;
        QDate from;
        QDate to;
        int offset = 0;
        int limit = 100;
    };

    // Where a lab's server is: postgresql://HOST[:PORT]/DB[?user=NAME].
    // The password, when the server wants one, comes from PostgreSQL's own
    // places (~/.pgpass, PGPASSWORD), never from the program.
    struct Server
    {
        QString host;
        int port = 5432;
        QString database;
        QString user; // empty: the account's own name
    };
    // True for an address that names a server rather than a file.
    static bool IsServerAddress(const QString& location);
    // Reads an address strictly; false, with why saying what is wrong, for
    // anything but the form above.
    static bool ParseServer(const QString& address, Server* server, QString* why);

    // A file path, or a server's address.
    explicit CArchive(const QString& location);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    QString Path() const { return path; }
    // Opens the file (making it and its folder when missing) and brings its
    // tables up to date. False, with Error saying why, when it cannot be
    // opened or written, or was made by a newer program: then it is left
    // as it was. Every other call opens it first when it is not open.
    bool Open();
    bool IsOpen() const { return opened; }
    // Why the last call failed, in the user's words; empty after success.
    QString Error() const { return error; }

    // Keeps a transfer, all of it or nothing; gives it an id when it has none.
    bool Store(Transfer* transfer);
    // Keeps a transfer that another archive kept first, under its own id:
    // all of it or nothing, and nothing when it is here already, so that
    // a transfer sent twice, or by two stations at once, is kept once.
    bool Send(const Transfer& transfer);
    // The transfers not yet marked as sent to the lab's server, oldest first.
    bool Pending(QStringList* ids);
    bool MarkSent(const QString& id);
    // Notes that a file was saved of a transfer.
    bool RecordSave(const QString& id, const QString& file, const QString& format,
                    const QDateTime& time);
    // Every transfer kept, oldest first.
    bool List(QVector<Entry>* entries);
    // A page of the transfers that match, newest first, and how many match in all.
    bool Page(const Filter& filter, QVector<Entry>* entries, int* total);
    // Forgets a transfer: it, its records and its saves, all or nothing.
    bool Delete(const QString& id);
    // One transfer with its records and bytes; false when there is none of that id.
    bool Load(const QString& id, Transfer* transfer);
    // The files saved of a transfer, in the order they were saved.
    bool Saves(const QString& id, QStringList* files);

private:
    bool Fail(const QString& why);
    bool Upgrade(int from);
    bool ReadVersion(int* version);
    bool Insert(const Transfer& transfer, bool once);
    // A statement of the SQLite tables as this archive's database says it.
    QString Dialect(const char* statement) const;

    QString path;
    bool server = false;  // a PostgreSQL server, not a file
    bool folding = false; // the search folds the case of every script
    QString connection;   // the name of this archive's own connection
    std::unique_ptr<QSqlDatabase> db;
    bool opened = false;
    QString error;
};

#endif
