#include "CArchive.h"

#include "ArchiveLog.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>

#include <sqlite3.h>

namespace
{
// A text folded as the program folds it, for every script: SQLite's own LIKE
// ignores the case of Latin letters only, and a Russian or German file name
// is to be found however the user types it.
void Folded(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (count != 1 || sqlite3_value_type(values[0]) == SQLITE_NULL)
    {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(values[0]));
    const int size = sqlite3_value_bytes(values[0]);
    // Most of what is searched is ASCII, whose case LIKE ignores by itself.
    if (std::all_of(text, text + size, [](char c) { return (c & 0x80) == 0; }))
    {
        sqlite3_result_value(context, values[0]);
        return;
    }
    const QByteArray folded = QString::fromUtf8(text, size).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// Gives a newly opened SQLite connection the folding above; false when it
// cannot, and the search then folds Latin letters only.
bool AddFolding(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* const connection = *static_cast<sqlite3* const*>(handle.constData());
    return connection && sqlite3_create_function_v2(connection, "parvesta_fold", 1,
                                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                                    Folded, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The statements that bring a file of schema version n - 1 to version n;
// version 0 is a file with no tables of ours.
const char* const Steps[][5] = {
    {
        "CREATE TABLE transfers (id TEXT PRIMARY KEY, station TEXT NOT NULL, time TEXT NOT NULL,"
        " \"user\" TEXT, program TEXT, version TEXT, port TEXT, device TEXT, family TEXT,"
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
    {
        "ALTER TABLE transfers ADD COLUMN identify TEXT",
        // 1 once the transfer is on the lab's server; a server's own copies are all 0.
        "ALTER TABLE transfers ADD COLUMN sent INTEGER NOT NULL DEFAULT 0",
        "CREATE INDEX transfers_pending ON transfers (time) WHERE sent = 0",
        nullptr,
    },
    {
        // The history names each transfer's saved files, and forgets a
        // transfer with its saves, without reading every save kept.
        "CREATE INDEX saves_by_transfer ON saves (transfer)",
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

// A transfer as a list shows it, from a row of id, time, family,
// measurements, complete, pages announced and pages received.
CArchive::Entry EntryOf(const QSqlQuery& row)
{
    CArchive::Entry entry;
    entry.id = row.value(0).toString();
    entry.time = TimeOf(row.value(1));
    entry.family = row.value(2).toString();
    entry.measurements = row.value(3).toInt();
    entry.complete = row.value(4).toInt() != 0;
    entry.pagesAnnounced = row.value(5).toInt();
    entry.pagesReceived = row.value(6).toInt();
    return entry;
}

QString Why(const QSqlError& e)
{
    return (e.databaseText().isEmpty() ? e.text() : e.databaseText()).trimmed();
}

// Stations that open a new server together make its tables once: the
// first holds this lock until its tables are there.
constexpr int SchemaLock = 0x50415256;

const QString ServerScheme = QStringLiteral("postgresql://");
} // namespace

bool CArchive::IsServerAddress(const QString& location)
{
    return location.startsWith(ServerScheme, Qt::CaseInsensitive);
}

bool CArchive::ParseServer(const QString& address, Server* found, QString* why)
{
    static const QRegularExpression form(QStringLiteral(
        "^postgresql://([A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?|\\[[0-9A-Fa-f:.]+\\])"
        "(?::([0-9]{1,5}))?/([A-Za-z_][A-Za-z0-9_$-]*)(?:\\?user=([A-Za-z_][A-Za-z0-9_.-]*))?$"));
    const QRegularExpressionMatch match = form.match(address);
    if (!match.hasMatch())
    {
        *why = tr("%1 is not a lab archive address: postgresql://HOST[:PORT]/DATABASE[?user=NAME]"
                  " is wanted")
                   .arg(address);
        return false;
    }
    Server server;
    server.host = match.captured(1);
    if (server.host.startsWith('['))
        server.host = server.host.mid(1, server.host.size() - 2);
    if (match.hasCaptured(2) && !match.captured(2).isEmpty())
    {
        server.port = match.captured(2).toInt();
        if (server.port < 1 || server.port > 65535)
        {
            *why = tr("%1: the port must be 1 to 65535").arg(address);
            return false;
        }
    }
    server.database = match.captured(3);
    server.user = match.captured(4);
    *found = server;
    return true;
}

QString CArchive::Dialect(const char* statement) const
{
    QString text = QLatin1String(statement);
    if (server)
        text.replace(QLatin1String(" BLOB"), QLatin1String(" BYTEA"))
            .remove(QLatin1String(" WITHOUT ROWID"));
    return text;
}

CArchive::CArchive(const QString& location) : path(location), server(IsServerAddress(location))
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
    Server address;
    if (server)
    {
        QString why;
        if (!ParseServer(path, &address, &why))
            return Fail(why);
    }
    else if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Fail(tr("the folder of %1 cannot be made").arg(path));
    if (!db)
        db = std::make_unique<QSqlDatabase>(QSqlDatabase::addDatabase(
            server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connection));
    if (!db->isValid())
        return Fail(tr("the database driver for %1 is missing").arg(path));
    if (server)
    {
        db->setHostName(address.host);
        db->setPort(address.port);
        db->setDatabaseName(address.database);
        db->setUserName(address.user);
        // A server that does not answer, or stops answering in the middle
        // of a transfer, is given up within seconds: closing the window
        // and parvesta-cli wait for the sending to end.
        db->setConnectOptions(QStringLiteral("connect_timeout=3;keepalives_idle=5;"
                                             "keepalives_interval=2;keepalives_count=2;"
                                             "tcp_user_timeout=10000"));
    }
    else
    {
        db->setDatabaseName(path);
        // Another program writing at the same moment is waited for a while.
        db->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!db->open())
        return Fail(tr("%1 cannot be opened: %2").arg(path, Why(db->lastError())));
    folding = !server && AddFolding(*db);

    // The version is read before anything is written: a newer archive stays untouched.
    QSqlQuery query(*db);
    if (server && (!db->transaction() ||
                   !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(SchemaLock))))
    {
        const QString why = Why(query.lastError().isValid() ? query.lastError() : db->lastError());
        db->close();
        return Fail(tr("%1 cannot be read: %2").arg(path, why));
    }
    int version = 0;
    if (!ReadVersion(&version))
    {
        const QString why = error;
        db->close();
        return Fail(tr("%1 cannot be read: %2").arg(path, why));
    }
    if (version > SchemaVersion)
    {
        query.finish();
        if (server)
            db->rollback();
        db->close();
        return Fail(tr("%1 was made by a newer version of the program (archive version %2; this "
                       "one knows up to %3), and is left as it is")
                        .arg(path)
                        .arg(version)
                        .arg(SchemaVersion));
    }
    const bool ready = server ? (version == SchemaVersion || Upgrade(version)) && db->commit()
                              : query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                                    query.exec(QStringLiteral("PRAGMA foreign_keys=ON")) &&
                                    (version == SchemaVersion || Upgrade(version));
    if (!ready)
    {
        const QString why = !error.isEmpty()              ? error
                            : query.lastError().isValid() ? Why(query.lastError())
                                                          : Why(db->lastError());
        if (server)
            db->rollback();
        db->close();
        return Fail(tr("%1 cannot be written: %2").arg(path, why));
    }
    qCDebug(archiveLog).noquote() << "opened" << path << "archive version" << version;
    opened = true;
    return true;
}

bool CArchive::ReadVersion(int* version)
{
    *version = 0;
    QSqlQuery query(*db);
    if (!query.exec(server ? QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE"
                                            " table_schema = current_schema() AND"
                                            " table_name = 'schema'")
                           : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE"
                                            " type = 'table' AND name = 'schema'")) ||
        !query.next())
    {
        error = Why(query.lastError());
        return false;
    }
    if (query.value(0).toInt() == 0)
        return true;
    if (!query.exec(QStringLiteral("SELECT max(version) FROM schema")) || !query.next())
    {
        error = Why(query.lastError());
        return false;
    }
    *version = query.value(0).toInt();
    return true;
}

bool CArchive::Upgrade(int from)
{
    // A server's upgrade runs in the transaction that holds the schema lock.
    if (!server && !db->transaction())
        return Fail(Why(db->lastError()));
    QSqlQuery query(*db);
    bool ok =
        from > 0 || query.exec(QStringLiteral("CREATE TABLE schema (version INTEGER NOT NULL)"));
    for (int version = from + 1; ok && version <= SchemaVersion; ++version)
        for (const char* const* step = Steps[version - 1]; ok && *step; ++step)
            ok = query.exec(Dialect(*step));
    if (ok)
        ok = query.exec(QStringLiteral("DELETE FROM schema")) &&
             query.prepare(QStringLiteral("INSERT INTO schema (version) VALUES (?)"));
    if (ok)
    {
        query.addBindValue(SchemaVersion);
        ok = query.exec();
    }
    const QString why = Why(query.lastError());
    if (!ok || (!server && !db->commit()))
    {
        const QString reason = ok ? Why(db->lastError()) : why;
        if (!server)
            db->rollback();
        return Fail(reason);
    }
    qCDebug(archiveLog).noquote() << "archive version" << from << "brought to" << SchemaVersion;
    return true;
}

bool CArchive::Store(Transfer* transfer)
{
    if (transfer->id.isEmpty())
        transfer->id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!Insert(*transfer, false))
        return false;
    transfer->measurements = int(transfer->records.size());
    return true;
}

bool CArchive::Send(const Transfer& transfer)
{
    return Insert(transfer, true);
}

bool CArchive::Insert(const Transfer& transfer, bool once)
{
    if (!Open())
        return false;
    if (!db->transaction())
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(db->lastError())));
    QSqlQuery query(*db);
    bool ok = query.prepare(
        QStringLiteral(
            "INSERT INTO transfers (id, station, time, \"user\", program, version, port, device,"
            " family, identify, pages_announced, pages_received, complete, measurements, reply)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") +
        (once ? QStringLiteral(" ON CONFLICT (id) DO NOTHING") : QString()));
    if (ok)
    {
        for (const QVariant& value :
             {QVariant(transfer.id), QVariant(transfer.station), QVariant(TimeText(transfer.time)),
              QVariant(transfer.user), QVariant(transfer.program), QVariant(transfer.version),
              QVariant(transfer.port), QVariant(transfer.device), QVariant(transfer.family),
              transfer.identify.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                          : QVariant(transfer.identify),
              QVariant(transfer.pagesAnnounced), QVariant(transfer.pagesReceived),
              QVariant(transfer.complete ? 1 : 0), QVariant(int(transfer.records.size())),
              QVariant(transfer.reply)})
            query.addBindValue(value);
        ok = query.exec();
    }
    // A transfer already here keeps the records it came with.
    const bool fresh = ok && query.numRowsAffected() != 0;
    // Many records a statement to a server: across the network it is asked
    // a few times per transfer, not once per record. A file takes one a
    // statement, prepared once, which SQLite does fastest.
    const std::size_t PerStatement = server ? 256 : 1;
    QSqlQuery records(*db);
    std::size_t prepared = 0; // the rows of the statement records is prepared with
    const std::size_t count = fresh ? transfer.records.size() : 0;
    for (std::size_t first = 0; ok && first < count; first += PerStatement)
    {
        const std::size_t rows = std::min(PerStatement, count - first);
        if (rows != prepared)
        {
            QString statement = QStringLiteral("INSERT INTO records (transfer, position, grp,"
                                               " cell, value, divisor, kind, unit, decimals)"
                                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            for (std::size_t i = 1; i < rows; ++i)
                statement += QStringLiteral(", (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            ok = records.prepare(statement);
            prepared = rows;
        }
        for (std::size_t i = first; ok && i < first + rows; ++i)
        {
            const CMeasurement& r = transfer.records[i];
            const int at = int(i - first) * 9;
            records.bindValue(at, transfer.id);
            records.bindValue(at + 1, int(i));
            records.bindValue(at + 2, r.group);
            records.bindValue(at + 3, r.cell);
            records.bindValue(at + 4, r.value);
            records.bindValue(at + 5, r.divisor);
            records.bindValue(at + 6, r.kind);
            records.bindValue(at + 7, r.unit);
            records.bindValue(at + 8, ValueDecimals(r));
        }
        ok = ok && records.exec();
    }
    const QString why = Why(query.lastError().isValid() ? query.lastError() : records.lastError());
    if (!ok || !db->commit())
    {
        const QString reason = ok ? Why(db->lastError()) : why;
        db->rollback();
        return Fail(tr("%1 cannot be written: %2").arg(path, reason));
    }
    qCDebug(archiveLog).noquote() << (fresh ? "kept transfer" : "already kept") << transfer.id
                                  << transfer.family << transfer.records.size() << "records";
    return true;
}

bool CArchive::Pending(QStringList* ids)
{
    ids->clear();
    if (!Open())
        return false;
    QSqlQuery query(*db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id FROM transfers WHERE sent = 0 ORDER BY time, id")))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
        *ids << query.value(0).toString();
    return true;
}

bool CArchive::MarkSent(const QString& id)
{
    if (!Open())
        return false;
    QSqlQuery query(*db);
    if (!query.prepare(QStringLiteral("UPDATE transfers SET sent = 1 WHERE id = ?")))
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(query.lastError())));
    query.addBindValue(id);
    if (!query.exec())
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(query.lastError())));
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
    if (!query.exec(QStringLiteral("SELECT id, time, family, measurements, complete,"
                                   " pages_announced, pages_received FROM transfers"
                                   " ORDER BY time, ") +
                    (server ? QStringLiteral("id") : QStringLiteral("rowid"))))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
    {
        entries->append(EntryOf(query));
    }
    return true;
}

bool CArchive::Page(const Filter& filter, QVector<Entry>* entries, int* total)
{
    entries->clear();
    *total = 0;
    if (!Open())
        return false;
    // One condition for the count and the page, with its values in order.
    QStringList conditions;
    QVariantList values;
    const QString text = filter.text.trimmed();
    if (!text.isEmpty())
    {
        QString pattern = text;
        pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('%'), QLatin1String("\\%"))
            .replace(QLatin1Char('_'), QLatin1String("\\_"));
        pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
        // A server compares letters exactly unless told otherwise. On this
        // PC, words beyond ASCII fold both sides (a pass over every text);
        // LIKE folds ASCII by itself.
        const bool fold = folding && std::any_of(pattern.cbegin(), pattern.cend(),
                                                 [](QChar c) { return c.unicode() >= 0x80; });
        if (fold)
            pattern = pattern.toCaseFolded();
        const QString like =
            server ? QStringLiteral(" ILIKE ? ESCAPE '\\'") : QStringLiteral(" LIKE ? ESCAPE '\\'");
        const auto matches = [&](const QString& column) {
            return (fold ? QStringLiteral("parvesta_fold(%1)").arg(column) : column) + like;
        };
        QStringList any;
        for (const char* column : {"family", "id", "station", "port", "device"})
        {
            any << matches(QLatin1String(column));
            values << pattern;
        }
        any << QStringLiteral("EXISTS (SELECT 1 FROM saves WHERE saves.transfer = transfers.id"
                              " AND ") +
                   matches(QStringLiteral("saves.path")) + QLatin1Char(')');
        values << pattern;
        conditions << QLatin1Char('(') + any.join(QLatin1String(" OR ")) + QLatin1Char(')');
    }
    // Calendar days as the user lives them, in the UTC the times are kept in.
    if (filter.from.isValid())
    {
        conditions << QStringLiteral("time >= ?");
        values << TimeText(filter.from.startOfDay());
    }
    if (filter.to.isValid())
    {
        conditions << QStringLiteral("time < ?");
        values << TimeText(filter.to.addDays(1).startOfDay());
    }
    const QString where = conditions.isEmpty()
                              ? QString()
                              : QStringLiteral(" WHERE ") + conditions.join(QLatin1String(" AND "));
    const auto run = [&](QSqlQuery& query, const QString& statement, const QVariantList& more) {
        query.setForwardOnly(true);
        if (!query.prepare(statement))
            return false;
        for (const QVariant& value : values + more)
            query.addBindValue(value);
        return query.exec();
    };
    QSqlQuery count(*db);
    if (!run(count, QStringLiteral("SELECT count(*) FROM transfers") + where, {}) || !count.next())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(count.lastError())));
    *total = count.value(0).toInt();

    QSqlQuery query(*db);
    if (!run(query,
             QStringLiteral("SELECT id, time, family, measurements, complete, pages_announced,"
                            " pages_received FROM transfers") +
                 where + QStringLiteral(" ORDER BY time DESC, ") +
                 (server ? QStringLiteral("id DESC") : QStringLiteral("rowid DESC")) +
                 QStringLiteral(" LIMIT ? OFFSET ?"),
             {std::max(filter.limit, 0), std::max(filter.offset, 0)}))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
    {
        entries->append(EntryOf(query));
    }
    if (entries->isEmpty())
        return true;
    // The saves of the page's transfers, in one question.
    QStringList marks;
    QVariantList ids;
    for (const Entry& entry : std::as_const(*entries))
    {
        marks << QStringLiteral("?");
        ids << entry.id;
    }
    QSqlQuery saves(*db);
    saves.setForwardOnly(true);
    if (!saves.prepare(QStringLiteral("SELECT transfer, path FROM saves WHERE transfer IN (") +
                       marks.join(QLatin1Char(',')) + QStringLiteral(") ORDER BY time") +
                       (server ? QString() : QStringLiteral(", rowid"))))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(saves.lastError())));
    for (const QVariant& id : std::as_const(ids))
        saves.addBindValue(id);
    if (!saves.exec())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(saves.lastError())));
    while (saves.next())
    {
        const QString id = saves.value(0).toString();
        for (Entry& entry : *entries)
            if (entry.id == id)
                entry.saves << saves.value(1).toString();
    }
    return true;
}

bool CArchive::Delete(const QString& id)
{
    if (!Open())
        return false;
    if (!db->transaction())
        return Fail(tr("%1 cannot be written: %2").arg(path, Why(db->lastError())));
    QSqlQuery query(*db);
    bool ok = true;
    // Its saves and records first: the transfer goes last, whole.
    for (const char* statement :
         {"DELETE FROM saves WHERE transfer = ?", "DELETE FROM records WHERE transfer = ?",
          "DELETE FROM transfers WHERE id = ?"})
    {
        ok = ok && query.prepare(QLatin1String(statement));
        if (ok)
        {
            query.addBindValue(id);
            ok = query.exec();
        }
    }
    const bool found = ok && query.numRowsAffected() > 0;
    const QString why = Why(query.lastError());
    if (!ok || !found || !db->commit())
    {
        const QString reason = !ok ? why : Why(db->lastError());
        db->rollback();
        return Fail(found || !ok ? tr("%1 cannot be written: %2").arg(path, reason)
                                 : tr("no transfer %1 in %2").arg(id, path));
    }
    qCDebug(archiveLog).noquote() << "forgot transfer" << id;
    return true;
}

bool CArchive::Load(const QString& id, Transfer* transfer)
{
    if (!Open())
        return false;
    QSqlQuery query(*db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT station, time, \"user\", program, version, port, "
                                      "device, family, pages_announced,"
                                      " pages_received, complete, measurements, reply, identify "
                                      "FROM transfers WHERE id = ?")))
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
    transfer->identify = query.value(13).toString();

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
    if (!query.prepare(QStringLiteral("SELECT path FROM saves WHERE transfer = ? ORDER BY time") +
                       (server ? QString() : QStringLiteral(", rowid"))))
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    query.addBindValue(id);
    if (!query.exec())
        return Fail(tr("%1 cannot be read: %2").arg(path, Why(query.lastError())));
    while (query.next())
        *files << query.value(0).toString();
    return true;
}
