#ifndef PARVESTA_TEST_POSTGRESSERVER_H
#define PARVESTA_TEST_POSTGRESSERVER_H

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A lab's PostgreSQL server of the test's own: a fresh cluster in a
// temporary folder, trusting every connection, listening on 127.0.0.1 and a
// free port only, run as an ordinary user (the server refuses root), and
// stopped and removed when the object goes.
class PostgresServer
{
public:
    static QString Bin(const QString& tool)
    {
        return QStringLiteral("/usr/lib/postgresql/15/bin/") + tool;
    }
    static bool Installed() { return QFile::exists(Bin(QStringLiteral("initdb"))); }

    ~PostgresServer() { Stop(); }

    // Makes the cluster and starts it; false, with Error saying why, when it cannot.
    bool Start()
    {
        if (!made && !Make())
            return false;
        return Control({QStringLiteral("start"), QStringLiteral("-w"), QStringLiteral("-t"),
                        QStringLiteral("30"), QStringLiteral("-l"), folder.filePath("log"),
                        QStringLiteral("-o"),
                        // TCP only: a socket file's path has a short limit that a deep
                        // temporary folder passes.
                        QStringLiteral("-h 127.0.0.1 -p %1 -k '' -F").arg(port)});
    }
    // Stops it at once, as a server that fails; the cluster stays for Start.
    bool Stop()
    {
        if (!made || !running)
            return true;
        return Control({QStringLiteral("stop"), QStringLiteral("-w"), QStringLiteral("-m"),
                        QStringLiteral("immediate")});
    }

    QString Url() const
    {
        return QStringLiteral("postgresql://127.0.0.1:%1/postgres?user=postgres").arg(port);
    }
    QString Error() const { return error; }
    int Port() const { return port; }

    // One value the server answers to a query; an "error: …" text when it cannot.
    QString Ask(const QString& sql) const
    {
        const QString name = QStringLiteral("test-ask");
        QString answer;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port);
            db.setDatabaseName(QStringLiteral("postgres"));
            db.setUserName(QStringLiteral("postgres"));
            if (!db.open())
                answer = QStringLiteral("error: ") + db.lastError().text();
            else
            {
                QSqlQuery query(db);
                if (!query.exec(sql))
                    answer = QStringLiteral("error: ") + query.lastError().text();
                else
                {
                    QStringList rows;
                    while (query.next())
                    {
                        QStringList fields;
                        for (int i = 0; i < query.record().count(); ++i)
                            fields << query.value(i).toString();
                        rows << fields.join('|');
                    }
                    answer = rows.join('\n');
                }
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return answer;
    }

private:
    // Root may not run the server: it runs as nobody then, in a folder nobody owns.
    static QStringList AsUser()
    {
        if (::getuid() != 0)
            return {};
        return {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};
    }
    bool Run(const QString& tool, const QStringList& arguments)
    {
        QStringList command = AsUser() << Bin(tool) << arguments;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(folder.path());
        process.start(command.takeFirst(), command);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
        {
            error = tool + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
            QFile log(folder.filePath("log"));
            if (log.open(QIODevice::ReadOnly))
                error += QString::fromLocal8Bit(log.readAll());
            return false;
        }
        return true;
    }
    bool Control(const QStringList& arguments)
    {
        const bool start = arguments.first() == QLatin1String("start");
        if (!Run(QStringLiteral("pg_ctl"), QStringList{QStringLiteral("-D"), Data()} << arguments))
            return false;
        running = start;
        return true;
    }
    QString Data() const { return folder.filePath("data"); }
    bool Make()
    {
        if (!folder.isValid())
        {
            error = QStringLiteral("no temporary folder");
            return false;
        }
        if (::getuid() == 0 &&
            ::chown(QFile::encodeName(folder.path()).constData(), 65534, 65534) != 0)
        {
            error = QStringLiteral("the server's folder cannot be given to nobody");
            return false;
        }
        port = FreePort();
        if (port <= 0 ||
            !Run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), Data(), QStringLiteral("-A"), QStringLiteral("trust"),
                  QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                  QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
            return false;
        made = true;
        return true;
    }
    static int FreePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        if (s < 0)
            return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = -1;
        if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(s);
        return port;
    }

    QTemporaryDir folder;
    int port = -1;
    bool made = false;
    bool running = false;
    QString error;
};

// A started server named server for the rest of the test; the test is
// skipped on a machine without PostgreSQL 15.
#define START_LAB_SERVER(server)                                                                   \
    if (!PostgresServer::Installed())                                                              \
        QSKIP("PostgreSQL 15 is not installed (/usr/lib/postgresql/15/bin/initdb): "               \
              "scripts/setup installs it");                                                        \
    PostgresServer server;                                                                         \
    QVERIFY2(server.Start(), qPrintable(server.Error()))

#endif
