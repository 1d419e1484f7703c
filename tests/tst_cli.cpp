// parvesta-cli as a script runs it: a copy of the program in a folder of its
// own, whose ports folder holds simulated instruments on pseudo-terminals and
// pins every other COM number to nothing.
#include "CQuorvanta.h"
#include "PinnedPorts.h"
#include "ReplyBuilder.h"
#include "support/Files.h"
#include "support/Ports.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <memory>

using ReplyFrame::Family;
Q_DECLARE_METATYPE(ReplyFrame::Family)

namespace
{
struct Run
{
    int exit = -1;
    QByteArray out;
    QString err;
};

// The CSV the window saves of a reply: the engine's own writer.
QByteArray WindowCsv(const QByteArray& reply)
{
    QTemporaryDir dir;
    const auto engine = std::make_unique<CQuorvanta>();
    engine->writesSettings = false;
    engine->ReadReply(reply);
    const QByteArray path = QFile::encodeName(dir.filePath("w.csv"));
    return engine->WriteCsv(path.constData()) ? ReadFile(dir.filePath("w.csv")) : QByteArray();
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<PinnedPorts> ports;
    QString program;

    Run Cli(const QStringList& arguments, int timeoutMs = 20000)
    {
        QProcess process;
        process.start(program, arguments);
        Run run;
        if (!process.waitForFinished(timeoutMs))
            return run;
        run.exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private slots:
    void init()
    {
        ports = std::make_unique<PinnedPorts>();
        QVERIFY(ports->valid);
        program = ports->dir.filePath("parvesta-cli");
        QVERIFY(QFile::copy(PARVESTA_CLI, program));
    }
    void cleanup() { ports.reset(); }

    void scanSaysWhatEachPortDid()
    {
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        InstrumentSimulator* silent = ports->Attach(2, 0, quiet);
        InstrumentSimulator* busy = ports->Attach(5);
        InstrumentSimulator* instrument = ports->Attach(9);
        QVERIFY(silent && busy && instrument);
        HeldLine holder(busy); // another program holds COM5's line
        QVERIFY(holder.held);
        Run run = Cli({"scan"});
        holder.Release();
        QCOMPARE(run.exit, 0);
        QCOMPARE(
            QString::fromLocal8Bit(run.out),
            QStringLiteral("COM2\t%1\tsilent\nCOM5\t%2\tbusy\nCOM9\t%3\tanswered\n")
                .arg(silent->TerminalPath(), busy->TerminalPath(), instrument->TerminalPath()));
        QCOMPARE(busy->Commands().size(), 0);
        QVERIFY2(run.err.contains("COM9"), qPrintable(run.err));

        // Without the instruments that answer: exit 2.
        ports->sims.resize(1);
        run = Cli({"scan"});
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.startsWith("No instrument found"), qPrintable(run.err));
    }

    void downloadWritesWhatTheWindowSaves_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<QString>("format");
        QTest::newRow("VX-nn, CSV") << Family::VXnn << "csv";
        QTest::newRow("VX-nn, JSON") << Family::VXnn << "json";
        QTest::newRow("TR-620, workbook and reply") << Family::TR620 << "xlsx";
    }
    void downloadWritesWhatTheWindowSaves()
    {
        QFETCH(Family, family);
        QFETCH(QString, format);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, 90);
        const QByteArray frame = ReplyBuilder::Frame(family, records);
        InstrumentSimulator* sim = ports->Attach(7);
        QVERIFY(sim);
        sim->SetReply(frame);
        const QString raw = ports->dir.filePath("reply.bin");
        QStringList arguments{"download", "--decimal", ",", "--raw", raw};
        const QString output = ports->dir.filePath("out." + format);
        if (format != "csv")
            arguments << "-o" << output << "--quiet";
        const Run run = Cli(arguments);
        QCOMPARE(run.exit, 0);
        QCOMPARE(ReadFile(raw), frame);
        if (format == "csv")
        {
            // Progress, not results, goes to standard error.
            QVERIFY2(run.err.contains("100%"), qPrintable(run.err));
            QCOMPARE(run.out, WindowCsv(frame).replace('.', ','));
            // The reply saved gives the same results again, and their figures.
            QCOMPARE(Cli({"decode", "--decimal", ",", raw}).out, run.out);
            const Run stats = Cli({"stats", raw});
            QVERIFY2(stats.exit == 0 && stats.out.startsWith("Group") && stats.out.count('\n') > 2,
                     stats.out);
            return;
        }
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        if (format == "xlsx")
        {
            QVERIFY(ReadFile(output).startsWith("PK\x03\x04"));
            return;
        }
        const QJsonObject json = QJsonDocument::fromJson(ReadFile(output)).object();
        QCOMPARE(json["family"].toString(), QStringLiteral("VX-nn"));
        QCOMPARE(json["port"].toString(), QStringLiteral("COM7"));
        const QJsonArray got = json["records"].toArray();
        QCOMPARE(got.size(), 90);
        const CMeasurement& last = records.back();
        QCOMPARE(got.last()["group"].toInt(), last.group);
        QCOMPARE(got.last()["cell"].toInt(), last.cell);
        QCOMPARE(got.last()["value"].toDouble(), ExactValue(last));
        QCOMPARE(got.last()["unit"].toString(), last.unit == Unit::Inches ? "Inches" : "mm");
        QVERIFY(json["statistics"].toArray().size() >= 2);
    }

    void transfersThatFail_data()
    {
        QTest::addColumn<int>("truncate"); // -1: no instrument at all; 0: the whole reply
        QTest::addColumn<bool>("keepPartial");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("why");
        QTest::addColumn<int>("keptRecords"); // -1: an earlier write-protected file stays
        const int cut = 11 + 2 * 256 + 40;
        QTest::newRow("no instrument") << -1 << false << 2 << "No instrument" << 0;
        QTest::newRow("stall: nothing written")
            << cut << false << 3 << "No data came from COM5" << 0;
        QTest::newRow("stall, --keep-partial: whole pages")
            << cut << true << 3 << "No data came from COM5" << 64;
        QTest::newRow("output write-protected") << 0 << false << 4 << "write-protected" << -1;
    }
    void transfersThatFail()
    {
        QFETCH(int, truncate);
        QFETCH(bool, keepPartial);
        QFETCH(int, keptRecords);
        const QString output = ports->dir.filePath("out.csv");
        if (keptRecords < 0)
        {
            WriteFile(output, "earlier\r\n");
            QVERIFY(QFile::setPermissions(output, QFile::ReadOwner | QFile::ReadOther));
        }
        if (truncate >= 0)
        {
            InstrumentSimulator::Faults faults;
            faults.truncateAt = truncate ? truncate : -1;
            QVERIFY(ports->Attach(5, 0, faults));
            ports->sims.back()->SetReply(
                ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 128)));
        }
        QStringList arguments{"download", "--timeout", "1", "-o", output};
        if (keepPartial)
            arguments << "--keep-partial";
        const Run run = Cli(arguments);
        QTEST(run.exit, "exit");
        QFETCH(QString, why);
        QVERIFY2(run.err.contains(why), qPrintable(run.err));
        if (keptRecords < 0)
            QCOMPARE(ReadFile(output), QByteArray("earlier\r\n"));
        else if (keptRecords > 0)
            QCOMPARE(ReadFile(output).count("\r\n"), keptRecords + 1);
        else
            QVERIFY(!QFile::exists(output));
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"fetch"};
        QTest::newRow("unknown option") << QStringList{"download", "--colour"};
        QTest::newRow("workbook to standard output") << QStringList{"download", "--format", "xlsx"};
        QTest::newRow("decimal") << QStringList{"download", "--decimal", ";"};
        QTest::newRow("timeout") << QStringList{"download", "--timeout", "soon"};
        QTest::newRow("decode without a file") << QStringList{"decode"};
    }
    void badUsage()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(ports->Attach(2));
        const Run run = Cli(arguments);
        QCOMPARE(run.exit, 64);
        QVERIFY2(run.err.contains("Usage: parvesta-cli"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        // Nothing was asked of the instrument.
        QCOMPARE(ports->sims.back()->Commands().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
