// parvesta-cli as a script runs it: a copy of the program in a folder of its
// own, whose ports folder holds simulated instruments on pseudo-terminals and
// pins every other COM number to nothing. The script works in a folder of
// its own too, as a user in ~/lab does.
#include "CQuorvanta.h"
#include "PinnedPorts.h"
#include "support/Files.h"
#include "support/Ports.h"
#include "support/PostgresServer.h"
#include "support/Replies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTranslator>

#include <QScopeGuard>

#include <cstdio>
#include <memory>
#include <unistd.h>

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

// A file by the bytes of its name, which need not be UTF-8.
QByteArray ReadBytes(const QByteArray& path)
{
    FILE* file = std::fopen(path.constData(), "rb");
    if (!file)
        return "<unreadable>";
    QByteArray bytes;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.append(chunk, int(n));
    std::fclose(file);
    return bytes;
}

// The lines of a CSV text without their CR LF.
QList<QByteArray> Lines(const QByteArray& csv)
{
    QList<QByteArray> lines = csv.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    return lines;
}

// An instrument that stops at byte cutAt of its reply; 0: one that sends it whole.
InstrumentSimulator::Faults Cut(int cutAt)
{
    InstrumentSimulator::Faults faults;
    faults.truncateAt = cutAt ? cutAt : -1;
    return faults;
}

// A terminal's environment with no display to open a window on.
QProcessEnvironment Headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    return environment;
}

QProcessEnvironment Locale(const QString& locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LANG", locale);
    environment.insert("LC_ALL", locale);
    environment.remove("LANGUAGE");
    return environment;
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<PinnedPorts> ports;
    QString program;

    std::unique_ptr<QTemporaryDir> lab; // the caller's working folder, one per test

    Run Start(QProcess& process, const QString& command, const QStringList& arguments)
    {
        if (process.workingDirectory().isEmpty())
            process.setWorkingDirectory(lab->path());
        process.start(command, arguments);
        Run run;
        if (!process.waitForFinished(30000))
            return run;
        run.exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    Run Cli(const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        return Start(process, program, arguments);
    }
    // Arguments passed as bytes, through the shell: QProcess would make a
    // name that is not UTF-8 into another name.
    Run CliBytes(const QList<QByteArray>& arguments)
    {
        QString script = QStringLiteral("exec \"$0\"");
        for (const QByteArray& argument : arguments)
        {
            QString octal;
            for (char c : argument)
                octal += QStringLiteral("\\%1").arg(uint(static_cast<unsigned char>(c)), 3, 8,
                                                    QLatin1Char('0'));
            script += QStringLiteral(" \"$(printf '%1')\"").arg(octal);
        }
        QProcess process;
        return Start(process, "/bin/sh", {"-c", script, program});
    }
    QString InLab(const QString& name) const { return lab->filePath(name); }
    InstrumentSimulator* Instrument(const QByteArray& reply, int com = 7,
                                    const InstrumentSimulator::Faults& faults = {}, int speed = 0)
    {
        InstrumentSimulator* sim = ports->Attach(com, speed, faults);
        if (sim)
            sim->SetReply(reply);
        return sim;
    }

private slots:
    void init()
    {
        ports = std::make_unique<PinnedPorts>();
        QVERIFY(ports->valid);
        lab = std::make_unique<QTemporaryDir>();
        program = ports->dir.filePath("parvesta-cli");
        QVERIFY(QFile::copy(PARVESTA_CLI, program));
    }
    void cleanup()
    {
        ports.reset();
        lab.reset();
    }

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
        QTest::newRow("TR-620, workbook and reply") << Family::TR620 << "xlsx";
    }
    void downloadWritesWhatTheWindowSaves()
    {
        QFETCH(Family, family);
        QFETCH(QString, format);
        const QByteArray frame = Reply(family, 90);
        QVERIFY(Instrument(frame));
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
            return;
        }
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY(ReadFile(output).startsWith("PK\x03\x04"));
    }

    void transfersThatFail_data()
    {
        QTest::addColumn<int>("truncate"); // -1: no instrument at all; 0: the whole reply
        QTest::addColumn<bool>("keepPartial");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("why");
        QTest::addColumn<int>("keptRecords"); // -1: an earlier write-protected file stays
        QTest::addColumn<bool>("unplug");     // the cable is pulled where the reply is cut
        const int cut = 11 + 2 * 256 + 40;
        QTest::newRow("no instrument") << -1 << false << 2 << "No instrument" << 0 << false;
        QTest::newRow("stall: nothing written")
            << cut << false << 3 << "No data came from COM5" << 0 << false;
        QTest::newRow("stall, --keep-partial: whole pages")
            << cut << true << 3 << "No data came from COM5" << 64 << false;
        QTest::newRow("plug pulled, --keep-partial: whole pages")
            << cut << true << 3 << "is not there any more" << 64 << true;
        QTest::newRow("output write-protected")
            << 0 << false << 4 << "write-protected" << -1 << false;
    }
    void transfersThatFail()
    {
        QFETCH(int, truncate);
        QFETCH(bool, keepPartial);
        QFETCH(int, keptRecords);
        QFETCH(bool, unplug);
        const QString output = ports->dir.filePath("out.csv");
        if (keptRecords < 0)
        {
            WriteFile(output, "earlier\r\n");
            QVERIFY(QFile::setPermissions(output, QFile::ReadOwner | QFile::ReadOther));
        }
        if (truncate >= 0)
        {
            InstrumentSimulator::Faults faults;
            (unplug ? faults.unplugAfter : faults.truncateAt) = truncate ? truncate : -1;
            // A pulled plug takes what the host had not read: it reads along.
            QVERIFY(Instrument(Reply(Family::VXnn, 128), 5, faults, unplug ? 38400 : 0));
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

    // -v, before or after the command, tells support what went over the wire
    // and into the files; without it none of that is said.
    void verboseTellsWhatWentOverTheWire()
    {
        const QByteArray frame = Reply(Family::TR620, 70);
        QVERIFY(Instrument(frame));
        const QString output = ports->dir.filePath("out.csv");
        const Run run = Cli({"-v", "download", "-o", output});
        QCOMPARE(run.exit, 0);
        const int pages = quint8(frame[10]);
        for (const QString& line :
             {QStringLiteral("parvesta.link: COM7 "), QStringLiteral("probe: answered"),
              QStringLiteral("command 6 parameter 0 sent: 57 51 58 20 56 58 2d 54 06 00 00"),
              QStringLiteral("family TR-620 pages %1").arg(pages),
              QStringLiteral("parvesta.decode: TR-620 reply of %1 bytes").arg(frame.size()),
              QStringLiteral("70 records"),
              QStringLiteral("parvesta.engine: save as CSV %1 done").arg(output)})
            QVERIFY2(run.err.contains(line), qPrintable(line + "\n---\n" + run.err));
        const Run plain = Cli({"download", "-o", output});
        QCOMPARE(plain.exit, 0);
        QVERIFY2(!plain.err.contains("parvesta."), qPrintable(plain.err));
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("why");
        QTest::newRow("no command") << QStringList{} << "";
        QTest::newRow("unknown command") << QStringList{"fetch"} << "unknown command fetch";
        QTest::newRow("unknown option") << QStringList{"download", "--colour"} << "--colour";
        QTest::newRow("workbook to standard output")
            << QStringList{"download", "--format", "xlsx"} << "workbook";
        QTest::newRow("decimal") << QStringList{"download", "--decimal", ";"} << "--decimal";
        QTest::newRow("timeout") << QStringList{"download", "--timeout", "soon"} << "--timeout";
        QTest::newRow("decode without a file") << QStringList{"decode"} << "decode wants";
        QTest::newRow("-o without its file") << QStringList{"download", "-o"} << "-o wants";
        QTest::newRow("a switch with a value")
            << QStringList{"download", "--quiet=yes"} << "--quiet";
        QTest::newRow("stats of two replies") << QStringList{"stats", "a.bin", "b.bin"} << "stats";
        QTest::newRow("stats as CSV")
            << QStringList{"stats", "--format", "csv"} << "stats writes a table, or JSON";
        QTest::newRow("stats as a workbook")
            << QStringList{"stats", "-o", "s.xlsx"} << "stats writes a table, or JSON";
        // The port as the user wrote it, not the COM number it fell back to.
        QTest::newRow("COM0") << QStringList{"download", "--port", "COM0"}
                              << "COM0 is not a port number";
        QTest::newRow("COM99999999999") << QStringList{"download", "--port", "COM99999999999"}
                                        << "COM99999999999 is out of range";
        QTest::newRow("--limit not a number")
            << QStringList{"stats", "--limit", "3:a:1"}
            << "--limit 3:a:1: LOW \"a\" is not a number (write it with \".\" as decimal point)";
        QTest::newRow("--limit decimal comma") << QStringList{"stats", "--limit", "3::1,5"}
                                               << "--limit 3::1,5: HIGH \"1,5\" is not a number";
        QTest::newRow("--limit group 0") << QStringList{"stats", "--limit", "0:1:2"}
                                         << "--limit 0:1:2: GROUP \"0\" is not a group number "
                                            "from 1 to 256";
        QTest::newRow("--limit group 257") << QStringList{"download", "--limit", "257::2"}
                                           << "GROUP \"257\" is not a group number";
        QTest::newRow("--limit low above high")
            << QStringList{"stats", "--limit", "3:2:1"} << "--limit 3:2:1: LOW 2 is above HIGH 1";
        QTest::newRow("--limit without limits")
            << QStringList{"stats", "--limit", "3::"} << "--limit 3::: give LOW, HIGH or both";
        QTest::newRow("--limit twice for a group")
            << QStringList{"stats", "--limit", "3:1:2", "--limit", "3::4"}
            << "--limit 3::4: group 3 has a --limit already";
        QTest::newRow("--limits missing") << QStringList{"stats", "--limits", "none.ini"}
                                          << "--limits none.ini cannot be read: No such file";
    }
    void badUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, why);
        QVERIFY(ports->Attach(2));
        const Run run = Cli(arguments);
        QCOMPARE(run.exit, 64);
        QVERIFY2(run.err.contains("Usage: parvesta-cli") && run.err.contains(why),
                 qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        // Nothing was asked of the instrument.
        QCOMPARE(ports->sims.back()->Commands().size(), 0);
    }

    // Every name is the caller's, relative to the folder the script runs in,
    // byte for byte; none lands beside the program.
    void namesFromTheCallersFolder_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("shown"); // the output's name in messages
        for (const auto& [name, output, raw, shown] :
             {std::tuple{"plain names", "results.csv", "reply.bin", "results.csv"},
              std::tuple{"in a folder below", "sub/results.json", "sub/reply.bin",
                         "sub/results.json"},
              std::tuple{"names that are not UTF-8", "caf\xe9.csv", "r\xff\xfe.bin",
                         "caf\\xe9.csv"}})
            QTest::newRow(name) << QByteArray(output) << QByteArray(raw) << QString(shown);
    }
    void namesFromTheCallersFolder()
    {
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, raw);
        QFETCH(QString, shown);
        QVERIFY(QDir(lab->path()).mkpath("sub"));
        const QByteArray frame = Reply(Family::VXnn, 70);
        QVERIFY(Instrument(frame));
        const QByteArray here = QFile::encodeName(lab->path()) + '/';
        const QByteArray again = output.left(output.lastIndexOf('.')) + ".again.csv";
        // QTemporaryDir cannot remove what it cannot name.
        const auto removeNames = qScopeGuard([&] {
            for (const QByteArray& name : {output, raw, again})
                ::unlink((here + name).constData());
        });
        Run run = CliBytes({"download", "-o", output, "--raw", raw});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.err.endsWith("Saved to " + shown + "\n"), qPrintable(run.err));
        QCOMPARE(ReadBytes(here + raw), frame);
        const QByteArray saved = ReadBytes(here + output);
        if (output.endsWith(".json"))
            QCOMPARE(QJsonDocument::fromJson(saved)["records"].toArray().size(), 70);
        else
            QCOMPARE(saved, WindowCsv(frame));
        // Nothing lands beside the program but the archive of the transfer.
        QCOMPARE(QDir(ports->dir.path()).entryList(QDir::Files),
                 QStringList({"archive.sqlite", "parvesta-cli"}));

        // The reply kept, read again from there; its results written beside it.
        run = CliBytes({"decode", raw, "-o", again});
        QCOMPARE(run.exit, 0);
        QCOMPARE(ReadBytes(here + again), WindowCsv(frame));
        run = CliBytes({"stats", "-q", raw});
        QCOMPARE(run.exit, 0);
        QVERIFY2(run.out.startsWith("Group") && run.err.isEmpty(), run.out);
        // -o puts the same table into a file, relative to the caller's folder.
        const QByteArray table = run.out;
        run = CliBytes({"stats", raw, "-o", "figures.txt"});
        QCOMPARE(run.exit, 0);
        QCOMPARE(ReadBytes(here + "figures.txt"), table);
        // A name that is not there is named as given, with the system's reason.
        run = CliBytes({"decode", "gone\xff.bin"});
        QCOMPARE(run.exit, 64);
        QVERIFY2(run.err.startsWith("gone\\xff.bin cannot be read: No such file or directory"),
                 qPrintable(run.err));
    }

    // An output that cannot be written ends the program before the
    // instrument is asked anything; one that fails after the read-out (a
    // full disk) costs none of the others.
    void outputsThatCannotBeWritten_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("why");
        QTest::newRow("-o in a missing folder")
            << QStringList{"-o", "nodir/out.csv"} << "nodir/out.csv cannot be written: the folder";
        QTest::newRow("-q still says why")
            << QStringList{"-q", "-o", "nodir/out.csv"} << "nodir/out.csv cannot be written";
        QTest::newRow("--raw in a missing folder")
            << QStringList{"-o", "ok.csv", "--raw", "nodir/raw.bin"}
            << "nodir/raw.bin cannot be written: the folder";
        QTest::newRow("-o names a folder")
            << QStringList{"-o", "."} << ". cannot be written: a folder";
        QTest::newRow("--raw name too long")
            << QStringList{"--raw", QString(300, 'r') + ".bin"} << "File name too long";
        const QString full = "/dev/full could not be written: the disk is full";
        QTest::newRow("the reply to a full disk")
            << QStringList{"-o", "out.csv", "--raw", "/dev/full"} << full;
        QTest::newRow("the results to a full disk")
            << QStringList{"-o", "/dev/full", "--raw", "reply.bin"} << full;
    }
    void outputsThatCannotBeWritten()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, why);
        const QByteArray frame = Reply(Family::TR620, 50);
        InstrumentSimulator* sim = Instrument(frame);
        QVERIFY(sim);
        const Run run = Cli(QStringList{"download"} + arguments);
        QCOMPARE(run.exit, 4);
        QVERIFY2(run.err.contains(why), qPrintable(run.err));
        if (!arguments.contains("/dev/full"))
        {
            QVERIFY2(run.err.contains("The instrument was not read."), qPrintable(run.err));
            QCOMPARE(sim->Commands().size(), 0);
            QCOMPARE(QDir(lab->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
            return;
        }
        QCOMPARE(Commands(sim, 6), 1);
        if (arguments[1] == "out.csv")
            QCOMPARE(ReadFile(InLab("out.csv")), WindowCsv(frame));
        else
            QCOMPARE(ReadFile(InLab("reply.bin")), frame);
    }

    // The page count is a byte from 1 to 255; what a read-out holds is read
    // whole, a longer reply is refused in words rather than cut silently.
    void longReplies_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("held");
        QTest::newRow("VX-nn, 128 pages") << Family::VXnn << 128 << true;
        QTest::newRow("VX-nn, 253 pages, the most") << Family::VXnn << 253 << true;
        QTest::newRow("VX-nn, 255 pages") << Family::VXnn << 255 << false;
        QTest::newRow("TR-620, 252 pages, the most") << Family::TR620 << 252 << true;
        QTest::newRow("TR-620, 253 pages") << Family::TR620 << 253 << false;
    }
    void longReplies()
    {
        QFETCH(Family, family);
        QFETCH(int, pages);
        QFETCH(bool, held);
        // Every slot of every page holds a record, the last ones too.
        const QByteArray frame = Reply(family, pages * 32);
        QCOMPARE(int(static_cast<unsigned char>(frame.at(10))), pages);
        QVERIFY(Instrument(frame));
        WriteFile(InLab("reply.bin"), frame);
        const QStringList commands[] = {{"download", "-o", "out.csv"},
                                        {"decode", "reply.bin", "-o", "out.csv"}};
        for (const QStringList& arguments : commands)
        {
            QFile::remove(InLab("out.csv"));
            const Run run = Cli(arguments);
            if (held)
            {
                QCOMPARE(run.exit, 0);
                QCOMPARE(Lines(ReadFile(InLab("out.csv"))).size(), pages * 32 + 1);
                QCOMPARE(ReadFile(InLab("out.csv")), WindowCsv(frame));
                continue;
            }
            QCOMPARE(run.exit, 3);
            const QString limit = family == Family::VXnn ? "253" : "252";
            QVERIFY2(run.err.contains(QStringLiteral("The instrument announced %1 pages of "
                                                     "results; this program reads at most %2.")
                                          .arg(pages)
                                          .arg(limit)),
                     qPrintable(run.err));
            QVERIFY(!QFile::exists(InLab("out.csv")));
        }
    }

    // Every download is kept in the archive beside the program, and comes
    // back out exactly as download wrote it.
    void historyKeepsEveryDownload_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("cutAt"); // 0: the reply is whole
        QTest::newRow("VX-nn") << Family::VXnn << 0;
        QTest::newRow("TR-620") << Family::TR620 << 0;
        QTest::newRow("VX-nn stalled, --keep-partial") << Family::VXnn << 11 + 2 * 256 + 40;
    }
    void historyKeepsEveryDownload()
    {
        QFETCH(Family, family);
        QFETCH(int, cutAt);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, 4 * 32);
        const QByteArray frame = ReplyBuilder::Frame(family, records);
        QVERIFY(Instrument(frame, 3, Cut(cutAt)));
        QStringList download{"download", "--raw", "raw.bin", "-o", "out.json"};
        if (cutAt)
            download << "--timeout"
                     << "1"
                     << "--keep-partial";
        const Run json = Cli(download);
        QCOMPARE(json.exit, cutAt ? 3 : 0);
        const Run csv = Cli(QStringList(download.mid(0, 1)) << download.mid(5) << "-q");
        QCOMPARE(csv.exit, cutAt ? 3 : 0);
        QVERIFY(csv.out.count('\n') > 1);

        const Run list = Cli({"history"});
        QCOMPARE(list.exit, 0);
        const QList<QByteArray> lines = Lines(list.out);
        QCOMPARE(lines.size(), 2);
        const int measurements = cutAt ? 64 : 128;
        const QString familyName = family == Family::VXnn ? "VX-nn" : "TR-620";
        for (const QByteArray& line : lines)
        {
            const QList<QByteArray> fields = line.split('\t');
            QCOMPARE(fields.size(), 5);
            QVERIFY(QDateTime::fromString(QString::fromUtf8(fields[1]), Qt::ISODate).isValid());
            QVERIFY(fields[1].endsWith('Z'));
            QCOMPARE(QString::fromUtf8(fields[2]), familyName);
            QCOMPARE(fields[3].toInt(), measurements);
            QCOMPARE(fields[4], cutAt ? QByteArray("incomplete") : QByteArray("complete"));
        }
        const QByteArray first = lines[0].split('\t')[0], second = lines[1].split('\t')[0];
        QVERIFY(first != second);

        const QJsonArray entries = QJsonDocument::fromJson(Cli({"history", "--json"}).out).array();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1]["id"].toString(), QString::fromUtf8(second));
        QCOMPARE(entries[1]["family"].toString(), familyName);
        QCOMPARE(entries[1]["measurements"].toInt(), measurements);
        QCOMPARE(entries[1]["complete"].toBool(), cutAt == 0);
        QCOMPARE(entries[1]["time"].toString(), QString::fromUtf8(lines[1].split('\t')[1]));

        // Byte for byte as download wrote them: CSV, JSON and the instrument's reply.
        const Run exported = Cli({"history", "export", QString::fromUtf8(second)});
        QCOMPARE(exported.exit, 0);
        QCOMPARE(exported.out, csv.out);
        QCOMPARE(Cli({"history", "export", first, "-o", "again.json", "-q"}).exit, 0);
        QCOMPARE(ReadFile(InLab("again.json")), ReadFile(InLab("out.json")));
        QCOMPARE(Cli({"history", "export", first, "--format", "bin"}).out,
                 ReadFile(InLab("raw.bin")));
        QCOMPARE(ReadFile(InLab("raw.bin")), cutAt ? frame.left(cutAt) : frame);
    }

    // The archive chosen, a reply imported into it, and a disk too full for it.
    void historyArchiveChosen()
    {
        const QByteArray frame = Reply(Family::VXnn, 40);
        InstrumentSimulator* sim = Instrument(frame);
        QVERIFY(sim);
        QCOMPARE(Cli({"download", "-q", "--no-archive"}).exit, 0);
        QCOMPARE(Cli({"download", "-q", "--archive", "lab.sqlite"}).exit, 0);
        QCOMPARE(Cli({"history"}).out, QByteArray());
        QCOMPARE(Lines(Cli({"history", "--archive", "lab.sqlite"}).out).size(), 1);

        // A reply saved earlier, imported: its id printed, its records back out.
        WriteFile(InLab("old.bin"), frame);
        const Run imported = Cli({"history", "import", "old.bin"});
        QCOMPARE(imported.exit, 0);
        const QString id = QString::fromUtf8(imported.out.trimmed());
        QCOMPARE(Cli({"history", "export", id}).out, Cli({"decode", "old.bin"}).out);
        QCOMPARE(Lines(Cli({"history"}).out).size(), 1);
        QCOMPARE(Cli({"history", "import", "nothing.bin"}).exit, 64);
        WriteFile(InLab("junk.bin"), "not a reply at all");
        QCOMPARE(Cli({"history", "import", "junk.bin"}).exit, 3);
        const Run unknown = Cli({"history", "export", "no-such-transfer"});
        QCOMPARE(unknown.exit, 5);
        QVERIFY2(unknown.err.contains("no-such-transfer"), qPrintable(unknown.err));
        QCOMPARE(Cli({"history", "export"}).exit, 64);
        QCOMPARE(Cli({"history", "erase", id}).exit, 64);

        // A disk too full for the archive: the transfer is written all the same, and says so.
        const QByteArray large = Reply(Family::VXnn, 127 * 32);
        sim->SetReply(large);
        Run full;
        {
            FileSizeLimit limit(96 * 1024);
            full = Cli({"download"});
        }
        QCOMPARE(full.exit, 0);
        QCOMPARE(full.out, WindowCsv(large));
        QVERIFY2(full.err.contains("Not archived: "), qPrintable(full.err));
        QCOMPARE(Lines(Cli({"history"}).out).size(), 1);
    }

    // The report of a saved reply and of the same reply archived, on no
    // display: the note, and the readings outside the limits given marked,
    // as many as an independent count finds.
    void reportWithoutADisplay()
    {
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::TR620, 300);
        WriteFile(InLab("old.bin"), ReplyBuilder::Frame(Family::TR620, records));
        int outside = 0;
        for (const CMeasurement& r : records)
        {
            const double shown = r.divisor > 1 ? double(r.value) / r.divisor : r.value;
            outside +=
                (r.group == 1 && (shown < 50 || shown > 2500)) || (r.group == 3 && shown > 12000);
        }
        QVERIFY(outside > 0);
        const QProcessEnvironment headless = Headless();
        const QStringList limits = {"--limit", "1:50:2500", "--limit", "3::12000"};
        const Run run = Cli(
            QStringList{"report", "old.bin", "-o", "r.pdf", "--note", "Beam 5"} + limits, headless);
        QVERIFY2(run.exit == 0, qPrintable(run.err));
        QProcess text;
        text.start("pdftotext", {"-layout", InLab("r.pdf"), "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString pages = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(pages.contains("Beam 5"));
        // Each mark once beside its reading, and once in the line saying what they mean.
        QCOMPARE(int(pages.count(QStringLiteral("▲")) + pages.count(QStringLiteral("▼"))),
                 outside + 2);

        const Run imported = Cli({"history", "import", "old.bin"});
        QCOMPARE(imported.exit, 0);
        const QString id = QString::fromUtf8(imported.out.trimmed());
        QCOMPARE(Cli(QStringList{"report", "history", id, "-o", "h.pdf"} + limits, headless).exit,
                 0);
        QCOMPARE(Cli({"report", "history", "no-such-transfer", "-o", "n.pdf"}).exit, 5);
        QCOMPARE(Cli({"report", "old.bin", "-o", "x.pdf", "--limit", "1:5:2"}).exit, 64);
        QCOMPARE(Cli({"report", "old.bin"}).exit, 64);
        QCOMPARE(Cli({"report", "old.bin", "-o", "x.pdf", "--limits", "none.ini"}).exit, 64);
        QVERIFY(!QFile::exists(InLab("x.pdf")) && !QFile::exists(InLab("n.pdf")));
    }

    // Four stations download at once into one new lab server (named by
    // PARVESTA_ARCHIVE), making its tables together: nothing lost or twice.
    void fourStationsIntoOneLabServer()
    {
        START_LAB_SERVER(server);
        const int stations = 4;
        std::vector<std::unique_ptr<QProcess>> runs;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARVESTA_ARCHIVE", server.Url());
        for (int i = 0; i < stations; ++i)
        {
            const Family family = i % 2 ? Family::TR620 : Family::VXnn;
            QVERIFY(Instrument(Reply(family, 32 * (i + 1)), 3 + i));
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(environment);
            runs.back()->setWorkingDirectory(lab->path());
            runs.back()->start(program, {"download", "--port", QStringLiteral("COM%1").arg(3 + i),
                                         "-o", QStringLiteral("station%1.csv").arg(i), "--archive",
                                         QStringLiteral("station%1.sqlite").arg(i)});
        }
        for (int i = 0; i < stations; ++i)
        {
            QVERIFY(runs[std::size_t(i)]->waitForFinished(30000));
            const QString err = QString::fromUtf8(runs[std::size_t(i)]->readAllStandardError());
            QVERIFY2(runs[std::size_t(i)]->exitCode() == 0 && !err.contains("archive"),
                     qPrintable(err));
        }
        const QString byPort = "SELECT port, family, count(*), sum(measurements) FROM transfers"
                               " GROUP BY port, family ORDER BY port";
        const QString records =
            "SELECT count(*), count(DISTINCT (transfer, position)), count(DISTINCT transfer)"
            " FROM records";
        qInfo().noquote() << byPort << "->" << server.Ask(byPort).replace('\n', "; ");
        qInfo().noquote() << records << "->" << server.Ask(records);
        QCOMPARE(server.Ask(byPort),
                 QStringLiteral(
                     "COM3|VX-nn|1|32\nCOM4|TR-620|1|64\nCOM5|VX-nn|1|96\nCOM6|TR-620|1|128"));
        QCOMPARE(server.Ask(records), QStringLiteral("320|320|4"));
        QCOMPARE(server.Ask("SELECT count(DISTINCT id), count(DISTINCT station) FROM transfers"),
                 QStringLiteral("4|1"));
        QCOMPARE(server.Ask("SELECT DISTINCT identify FROM transfers"),
                 QStringLiteral("ZELTRA OMNI"));

        // The server's history, and a transfer exported from it as its station wrote it.
        const Run list = Cli({"history", "--archive", server.Url()});
        QCOMPARE(list.exit, 0);
        QCOMPARE(Lines(list.out).size(), stations);
        const QString id = QString::fromUtf8(
            Lines(Cli({"history", "--archive", "station2.sqlite"}).out).value(0).split('\t')[0]);
        QVERIFY(!id.isEmpty());
        const Run exported = Cli({"history", "export", id, "--archive", server.Url()});
        QCOMPARE(exported.exit, 0);
        QCOMPARE(exported.out, ReadFile(InLab("station2.csv")));
    }

    // The server down when a transfer is archived: kept on this PC, said so,
    // and sent once with the next transfer after the server is back. The
    // server is named by Archive.ini beside Settings.ini.
    void labServerDown()
    {
        START_LAB_SERVER(server);
        WriteFile(ports->dir.filePath("Archive.ini"),
                  ("Archive=" + server.Url() + "\r\n").toUtf8());
        const QByteArray frame = Reply(Family::VXnn, 40);
        QVERIFY(Instrument(frame));
        QCOMPARE(Cli({"download", "-q"}).exit, 0);
        QCOMPARE(server.Ask("SELECT count(*) FROM transfers"), QStringLiteral("1"));

        QVERIFY(server.Stop());
        QElapsedTimer waited;
        waited.start();
        const Run down = Cli({"download", "-o", "down.csv"});
        QCOMPARE(down.exit, 0);
        QVERIFY2(waited.elapsed() < 8000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(down.err.contains("Archived on this PC; the lab archive is not reachable: " +
                                   server.Url()),
                 qPrintable(down.err));
        QCOMPARE(Lines(Cli({"history"}).out).size(), 2);
        QCOMPARE(Cli({"history", "--archive", server.Url()}).exit, 5);

        QVERIFY2(server.Start(), qPrintable(server.Error()));
        const Run up = Cli({"download", "-o", "up.csv"});
        QCOMPARE(up.exit, 0);
        QVERIFY2(!up.err.contains("archive"), qPrintable(up.err));
        QCOMPARE(
            server.Ask("SELECT count(*), count(DISTINCT id), sum(measurements) FROM transfers"),
            QStringLiteral("3|3|120"));
        QCOMPARE(server.Ask("SELECT count(*) FROM records"), QStringLiteral("120"));
        QCOMPARE(Lines(Cli({"history", "--archive", server.Url()}).out),
                 Lines(Cli({"history"}).out));

        // A bad address in Archive.ini: still archived here, the address shown.
        WriteFile(ports->dir.filePath("Archive.ini"), "Archive=postgresql://lab db/qc\r\n");
        const Run bad = Cli({"download", "-o", "bad.csv"});
        QCOMPARE(bad.exit, 0);
        QVERIFY2(bad.err.contains("the lab archive is not reachable: postgresql://lab db/qc is "
                                  "not a lab archive address"),
                 qPrintable(bad.err));
        QCOMPARE(Cli({"history", "--archive", "postgresql://lab-db:99999/qc"}).exit, 5);
        QCOMPARE(server.Ask("SELECT count(*) FROM transfers"), QStringLiteral("3"));
    }

    // The JSON says what came, when and from which program, and each value's decimals.
    void jsonSaysWhatCame_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("cutAt"); // 0: the reply is whole
        QTest::addColumn<int>("exit");
        QTest::addColumn<int>("pagesReceived"); // of 4
        const int cut = 11 + 2 * 256 + 40;
        // A decimal comma asked for leaves the JSON's numbers as they are.
        QTest::newRow("download") << QStringList{"download", "--decimal", ","} << 0 << 0 << 4;
        QTest::newRow("download stalled, --keep-partial")
            << QStringList{"download", "--timeout", "1", "--keep-partial"} << cut << 3 << 2;
        QTest::newRow("decode") << QStringList{"decode", "reply.bin"} << 0 << 0 << 4;
        QTest::newRow("decode of a cut reply, --keep-partial")
            << QStringList{"decode", "--keep-partial", "reply.bin"} << cut << 3 << 2;
    }
    void jsonSaysWhatCame()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, cutAt);
        QFETCH(int, pagesReceived);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::VXnn, 4 * 32);
        const QByteArray frame = ReplyBuilder::Frame(Family::VXnn, records);
        QVERIFY(Instrument(frame, 3, Cut(cutAt)));
        WriteFile(InLab("reply.bin"), cutAt ? frame.left(cutAt) : frame);
        const QDateTime changed(QDate(2024, 3, 1), QTime(10, 20, 30), Qt::UTC);
        QFile file(InLab("reply.bin"));
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(changed, QFileDevice::FileModificationTime));
        file.close();

        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const Run run = Cli(arguments + QStringList{"--format", "json"});
        QTEST(run.exit, "exit");
        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(json["schema"].toInt(), 1);
        QCOMPARE(json["family"].toString(), QStringLiteral("VX-nn"));
        QVERIFY(json["statistics"].toArray().size() >= 2);
        QCOMPARE(json["program"]["name"].toString(), QStringLiteral("parvesta-cli"));
        QCOMPARE(json["program"]["version"].toString(), QStringLiteral("3.0"));
        QCOMPARE(json["complete"].toBool(), pagesReceived == 4);
        QCOMPARE(json["pagesAnnounced"].toInt(), 4);
        QCOMPARE(json["pagesReceived"].toInt(), pagesReceived);
        const QString downloaded = json["downloaded"].toString();
        QVERIFY2(downloaded.endsWith('Z'), qPrintable(downloaded));
        if (arguments.first() == "decode")
            QCOMPARE(QDateTime::fromString(downloaded, Qt::ISODate), changed);
        else
            QVERIFY(QDateTime::fromString(downloaded, Qt::ISODate) >= before &&
                    QDateTime::fromString(downloaded, Qt::ISODate) <=
                        QDateTime::currentDateTimeUtc());
        const QJsonArray got = json["records"].toArray();
        QCOMPARE(got.size(), pagesReceived * 32);
        for (int i = 0; i < got.size(); ++i)
        {
            const CMeasurement& r = records[std::size_t(i)];
            QVERIFY(got[i]["group"].toInt() == r.group && got[i]["cell"].toInt() == r.cell);
            QCOMPARE(got[i]["value"].toDouble(), ExactValue(r));
            QCOMPARE(got[i]["unit"].toString(), r.unit == Unit::Inches ? "Inches" : "mm");
            QCOMPARE(got[i]["decimals"].toInt(), ValueDecimals(r));
        }
        // The computer it was read on, and the download's id in the archive.
        QCOMPARE(json["station"].toString(), QSysInfo::machineHostName());
        if (arguments.first() == "download")
        {
            QCOMPARE(json["port"].toString(), QStringLiteral("COM3"));
            QVERIFY(json["transfer"].toString().size() > 8 &&
                    Cli({"history"}).out.contains(json["transfer"].toString().toUtf8() + '\t'));
        }
        else
            QVERIFY(json["transfer"].isNull());
    }

    // Limits from a Limits.ini and the command line (which wins for its group),
    // judged as a count made here from the CSV of the reply the same run kept.
    void statsAgainstLimits()
    {
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::TR620, 200);
        QVERIFY(Instrument(ReplyBuilder::Frame(Family::TR620, records)));
        // Limits on readings as shown, two of them exactly on a reading.
        const QString on1 = FormatValue(records[60]), on2 = FormatValue(records[170]);
        QVERIFY(records[60].group == 2 && records[170].group == 4);
        WriteFile(InLab("Limits.ini"), "[Limits]\r\nGroup=1;Unit=us;Low=100.5;High=400\r\n"
                                       "Group=2;Unit=any;Low=1;High=2\r\n");
        const QString limit2 = "2:" + on1 + ":20000", limit4 = "4::" + on2;
        const QStringList limits{"--limits", "Limits.ini", "--limit", limit2, "--limit", limit4};
        const Run table = Cli(QStringList{"stats", "--raw", "reply.bin", "-q"} + limits);
        QCOMPARE(table.exit, 0);
        const Run plain = Cli({"stats", "reply.bin"});
        const Run csv = Cli({"decode", "reply.bin"});
        QCOMPARE(csv.exit, 0);

        // Per group and unit: readings, and those outside the limits.
        struct Bounds
        {
            int group;
            QString unit; // empty: any
            double low, high;
        };
        const Bounds bounds[] = {
            {1, "us", 100.5, 400}, {2, "", on1.toDouble(), 20000}, {4, "", -1e300, on2.toDouble()}};
        QMap<QString, int> count, outside;
        for (const QByteArray& line : Lines(csv.out).mid(1))
        {
            const QList<QByteArray> f = line.split(';');
            const int group = f[0].toInt();
            const double value = f[2].toDouble();
            const QString unit = QString::fromUtf8(f[3]).remove('"');
            const QString key = QStringLiteral("%1 %2").arg(group).arg(unit);
            ++count[key];
            for (const Bounds& b : bounds)
                if (b.group == group && (b.unit.isEmpty() || b.unit == unit))
                    outside[key] += value < b.low || value > b.high;
        }
        QVERIFY(outside.value("2 m/s") > 0 && outside.value("2 m/s") < count.value("2 m/s"));
        QVERIFY(outside.value("4 us") > 0 && outside.value("1 us") > 0);

        // The table: the figures of the plain one, then pass, fail, cp, cpk.
        const QList<QByteArray> rows = Lines(table.out), plainRows = Lines(plain.out);
        QCOMPARE(rows.size(), count.size() + 1);
        QCOMPARE(rows[0].simplified(), plainRows[0].simplified() + " pass fail cp cpk");
        for (int r = 1; r < rows.size(); ++r)
        {
            const QList<QByteArray> cells = rows[r].simplified().split(' ');
            QCOMPARE(cells.mid(0, 7), plainRows[r].simplified().split(' '));
            const QString key = cells[0] + " " + cells[1];
            if (!outside.contains(key))
                QCOMPARE(cells.mid(7), QList<QByteArray>({"-", "-", "-", "-"}));
            else
            {
                QCOMPARE(cells[7].toInt(), count[key] - outside[key]);
                QCOMPARE(cells[8].toInt(), outside[key]);
                // Capability only where both limits exist.
                QCOMPARE(cells[9] == "-", key.startsWith("4 "));
            }
        }

        // The same as JSON: the limit fields only where limits apply.
        const Run json = Cli(QStringList{"stats", "reply.bin", "--format", "json"} + limits);
        QCOMPARE(json.exit, 0);
        const QJsonArray statistics =
            QJsonDocument::fromJson(json.out).object()["statistics"].toArray();
        QCOMPARE(statistics.size(), count.size());
        for (const QJsonValue& row : statistics)
        {
            const QString key =
                QStringLiteral("%1 %2").arg(row["group"].toInt()).arg(row["unit"].toString());
            QStringList fields = row.toObject().keys();
            QStringList expected{"count", "group", "max", "mean", "min", "sd", "unit"};
            if (outside.contains(key))
                expected << "fail"
                         << "pass"
                         << (key.startsWith("4 ") ? QStringList{} : QStringList{"cp", "cpk"});
            expected.sort();
            QCOMPARE(fields, expected);
            QCOMPARE(row["count"].toInt(), count[key]);
            QVERIFY(row["min"].isDouble() && row["mean"].isDouble());
            if (outside.contains(key))
            {
                QCOMPARE(row["pass"].toInt(), count[key] - outside[key]);
                QCOMPARE(row["fail"].toInt(), outside[key]);
            }
        }

        // A JSON save judges each record against the same limits.
        QCOMPARE(Cli(QStringList{"decode", "reply.bin", "-q", "-o", "out.json"} + limits).exit, 0);
        const QJsonObject saved = QJsonDocument::fromJson(ReadFile(InLab("out.json"))).object();
        QCOMPARE(saved["limits"].toArray().size(), 3);
        QMap<QString, int> failed;
        for (const QJsonValue& record : saved["records"].toArray())
        {
            const QString key =
                QStringLiteral("%1 %2").arg(record["group"].toInt()).arg(record["unit"].toString());
            QCOMPARE(record["pass"].isBool(), outside.contains(key));
            failed[key] += record["pass"] == false;
        }
        for (auto it = outside.begin(); it != outside.end(); ++it)
            QCOMPARE(failed[it.key()], it.value());

        // A Limits.ini that cannot be understood is bad usage, and kept.
        const QByteArray bad = "[Limits]\r\nGroup=3;Low=1,5\r\n";
        WriteFile(InLab("bad.ini"), bad);
        const Run refused = Cli({"stats", "reply.bin", "--limits", "bad.ini"});
        QCOMPARE(refused.exit, 64);
        QVERIFY2(refused.err.contains("--limits bad.ini is not a limits file"),
                 qPrintable(refused.err));
        QCOMPARE(ReadFile(InLab("bad.ini")), bad);
    }

    // The window's side of Limits.ini, through the engine: a change that
    // fails changes nothing, one that works is read at the next start.
    void engineKeepsLimitsInLimitsIni()
    {
        auto engineHere = [] {
            auto engine = std::make_unique<CQuorvanta>();
            engine->writesSettings = false;
            return engine;
        };
        const QString path = engineHere()->LimitsFilePath();
        QVERIFY(!QFile::exists(path));
        const auto removed = qScopeGuard([&] { QFile::remove(path); });
        const QByteArray bad = "[Limits]\r\nGroup=3;Low=1,20\r\n";
        WriteFile(path, bad);
        // Numbers as typed, and ones no decimal text holds exactly.
        const std::vector<Limit> wanted{Limit{3, Unit::Millimetres, 1.2, 1.24, std::nullopt},
                                        Limit{5, Limit::AnyUnit, std::nullopt, 0.1 + 0.2, 2.5},
                                        Limit{7, Unit::Inches, -1e-7, 1.0 / 3, 1e300}};
        {
            const auto engine = engineHere();
            QVERIFY(engine->Limits().empty());
            QVERIFY(engine->LimitsNotice().contains("Limits.ini could not be understood"));
            std::vector<Limit> upsideDown = wanted;
            upsideDown[0].low = 2.0;
            QVERIFY(!engine->ChangeLimits(upsideDown));
            QVERIFY(!engine->SaveErrorText().isEmpty());
            {
                FileSizeLimit full(8);
                QVERIFY(!engine->ChangeLimits(wanted));
            }
            QVERIFY(!engine->SaveErrorText().isEmpty());
            QVERIFY(engine->Limits().empty());
            QCOMPARE(ReadFile(path), bad);
        }
        QCOMPARE(ReadFile(path), bad); // not written at the end either
        {
            const auto engine = engineHere();
            QVERIFY(engine->ChangeLimits(wanted));
            QVERIFY(engine->LimitsNotice().isEmpty());
            QCOMPARE(engine->Limits().size(), wanted.size());
        }
        QVERIFY2(ReadFile(path).contains("Group=5;Unit=any;Low=;High=0.30000000000000004;"
                                         "Nominal=2.5\r\n"),
                 ReadFile(path).constData());
        const auto engine = engineHere();
        const std::vector<Limit>& read = engine->Limits();
        QVERIFY(engine->LimitsNotice().isEmpty());
        QCOMPARE(read.size(), wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i)
            QVERIFY(read[i].group == wanted[i].group && read[i].unit == wanted[i].unit &&
                    read[i].low == wanted[i].low && read[i].high == wanted[i].high &&
                    read[i].nominal == wanted[i].nominal);
    }

    // A reply cut short is no reply with fewer results: the script hears of it.
    void cutReplyDecoded_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<int>("written"); // records; -1 none
        QTest::newRow("refused") << QStringList{} << true << -1;
        QTest::newRow("refused, nothing to standard output") << QStringList{} << false << -1;
        QTest::newRow("--keep-partial: the whole pages")
            << QStringList{"--keep-partial"} << true << 9 * 32;
        QTest::newRow("--keep-partial, to standard output")
            << QStringList{"--keep-partial"} << false << 9 * 32;
    }
    void cutReplyDecoded()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, toFile);
        QFETCH(int, written);
        const QByteArray frame = Reply(Family::VXnn, 40 * 32);
        WriteFile(InLab("part.bin"), frame.left(11 + 9 * 256 + 100));
        const QStringList output = toFile ? QStringList{"-o", "part.csv"} : QStringList{};
        const Run run = Cli(QStringList{"decode", "part.bin"} + options + output);
        QCOMPARE(run.exit, 3);
        QVERIFY2(run.err.contains("part.bin was cut short: 9 of the 40 pages"),
                 qPrintable(run.err));
        const QByteArray csv = toFile ? ReadFile(InLab("part.csv")) : run.out;
        if (written < 0)
            QVERIFY(!QFile::exists(InLab("part.csv")) && run.out.isEmpty());
        else
            QCOMPARE(Lines(csv).size(), written + 1);
    }

    // Standard output that refuses the results is an output not written.
    void standardOutputFull_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("stats") << QStringList{"stats", "reply.bin"};
        QTest::newRow("decode, CSV") << QStringList{"decode", "reply.bin"};
        QTest::newRow("decode, JSON") << QStringList{"decode", "reply.bin", "--format", "json"};
        QTest::newRow("--version") << QStringList{"--version"};
    }
    void standardOutputFull()
    {
        QFETCH(QStringList, arguments);
        WriteFile(InLab("reply.bin"), Reply(Family::TR620, 60));
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        const Run run = Start(process, program, arguments);
        QCOMPARE(run.exit, 4);
        QVERIFY2(run.err.contains("Standard output could not be written: No space left on device"),
                 qPrintable(run.err));
    }

    // A script's CSV is the same on every desktop, in a build that speaks
    // Russian too; --like-window writes what the window saves there.
    void sameCsvOnEveryDesktop_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("separator"); // the desktop's
        for (const char* locale : {"C.UTF-8", "de_DE.UTF-8", "ru_RU.UTF-8"})
            QTest::newRow(locale) << locale << (locale[0] == 'C' ? "." : ",");
    }
    void sameCsvOnEveryDesktop()
    {
        QFETCH(QString, locale);
        QFETCH(QString, separator);
        QVERIFY(QFile::copy(PARVESTA_CATALOGUE, ports->dir.filePath("quorvanta.qm")));
        QTranslator russian;
        QVERIFY(russian.load(PARVESTA_CATALOGUE));
        const auto translated = [&russian](const QByteArray& text) {
            return russian.translate("CQuorvanta", text.constData()).toUtf8();
        };
        const QByteArray frame = Reply(Family::VXnn, 90);
        WriteFile(InLab("reply.bin"), frame);

        const Run plain = Cli({"decode", "reply.bin"}, Locale(locale));
        QCOMPARE(plain.exit, 0);
        QCOMPARE(plain.out, WindowCsv(frame)); // this test runs in C.UTF-8, in English
        QVERIFY(
            plain.out.startsWith("\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n1;1;0.1;\"mm\"\r\n"));
        QCOMPARE(Cli({"decode", "reply.bin", "--decimal", ","}, Locale(locale)).out,
                 QByteArray(plain.out).replace('.', ','));
        const Run stats = Cli({"stats", "reply.bin"}, Locale(locale));
        QVERIFY2(stats.out.startsWith("Group  Unit"), stats.out);

        // The window's texts from the catalogue, the desktop's separator.
        const Run window = Cli({"decode", "reply.bin", "--like-window"}, Locale(locale));
        QCOMPARE(window.exit, 0);
        const QList<QByteArray> english = Lines(plain.out), like = Lines(window.out);
        QCOMPARE(like.size(), english.size());
        QCOMPARE(like[0], translated(english[0]));
        QVERIFY(like[0] != english[0]);
        for (int i = 1; i < english.size(); ++i)
        {
            QList<QByteArray> fields = english[i].split(';');
            fields[2].replace('.', separator.toLatin1());
            fields[3] = '"' + translated(fields[3].mid(1, fields[3].size() - 2)) + '"';
            QCOMPARE(like[i], fields.join(';'));
        }
    }

    // The conventions of the tools a script is written with, kept by both
    // programs on a terminal without a display (the window program opens none).
    void conventions_data()
    {
        QTest::addColumn<QString>("other"); // another program than parvesta-cli
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("out"); // all of it when empty or a line, else its beginning
        const QString cli, window = PARVESTA_WINDOW;
        QTest::newRow("--version") << cli << QStringList{"--version"} << "parvesta-cli 3.0\n"_qba;
        QTest::newRow("-V") << cli << QStringList{"-V"} << "parvesta-cli 3.0\n"_qba;
        QTest::newRow("a command's --version")
            << cli << QStringList{"decode", "--version"} << "parvesta-cli 3.0\n"_qba;
        QTest::newRow("--help") << cli << QStringList{"--help"}
                                << "Usage: parvesta-cli COMMAND"_qba;
        QTest::newRow("stats -q, option first")
            << cli << QStringList{"stats", "-q", "reply.bin"} << "Group  Unit"_qba;
        QTest::newRow("stats --quiet, option first")
            << cli << QStringList{"stats", "--quiet", "reply.bin"} << "Group  Unit"_qba;
        QTest::newRow("stats --quiet, option last")
            << cli << QStringList{"stats", "reply.bin", "--quiet"} << "Group  Unit"_qba;
        QTest::newRow("decode -qo, switches run together")
            << cli << QStringList{"decode", "-qo", "out.csv", "reply.bin"} << ""_qba;
        QTest::newRow("decode --output=FILE, a name after --")
            << cli << QStringList{"decode", "--output=out.csv", "-q", "--", "reply.bin"} << ""_qba;
        QTest::newRow("decode -o -, standard output")
            << cli << QStringList{"decode", "reply.bin", "-q", "-o", "-"}
            << "\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n1;"_qba;
        QTest::newRow("window --help") << window << QStringList{"--help"} << "Usage: parvesta "_qba;
        QTest::newRow("window -h") << window << QStringList{"-h"} << "Usage: parvesta "_qba;
        QTest::newRow("window --version")
            << window << QStringList{"--version"} << "Parvesta 3.0\n"_qba;
        QTest::newRow("window -V") << window << QStringList{"-V"} << "Parvesta 3.0\n"_qba;
    }
    void conventions()
    {
        QFETCH(QString, other);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        WriteFile(InLab("reply.bin"), Reply(Family::VXnn, 60));
        QProcess process;
        process.setProcessEnvironment(Headless());
        const Run run = Start(process, other.isEmpty() ? program : other, arguments);
        QCOMPARE(run.exit, 0);
        if (out.isEmpty() || out.endsWith('\n'))
            QCOMPARE(run.out, out);
        else
            QVERIFY2(run.out.startsWith(out) &&
                         (!out.startsWith("Usage") || run.out.contains("--version")),
                     run.out);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY(!QFile::exists(InLab("-")));
        if (arguments.join(' ').contains("out.csv"))
            QCOMPARE(Lines(ReadFile(InLab("out.csv"))).size(), 61);
    }

    // A device path is named as the user gave it, relative to the caller.
    void portGivenAsAPath_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("why");
        QTest::newRow("not a device") << "/etc/passwd" << 2 << "/etc/passwd is not a serial device";
        QTest::newRow("not there") << "/dev/ttyNOPE9" << 2 << "/dev/ttyNOPE9 is not there";
        QTest::newRow("a link in the caller's folder") << "line" << 0 << "Saved to out.json";
    }
    void portGivenAsAPath()
    {
        QFETCH(QString, port);
        QFETCH(QString, why);
        InstrumentSimulator* sim = Instrument(Reply(Family::VXnn, 33));
        QVERIFY(sim && QFile::link(sim->TerminalPath(), InLab("line")));
        const Run run = Cli({"download", "--port", port, "-o", "out.json"});
        QTEST(run.exit, "exit");
        QVERIFY2(run.err.contains(why), qPrintable(run.err));
        if (run.exit != 0)
        {
            QCOMPARE(sim->Commands().size(), 0);
            return;
        }
        const QJsonObject json = QJsonDocument::fromJson(ReadFile(InLab("out.json"))).object();
        QCOMPARE(json["port"].toString(), port);
        QCOMPARE(json["device"].toString(), sim->TerminalPath());
        QCOMPARE(json["records"].toArray().size(), 33);
        // The archive names the port as given too.
        const QString id = QString::fromUtf8(Cli({"history"}).out.split('\t').value(0));
        QCOMPARE(Cli({"history", "export", id, "-o", "again.json"}).exit, 0);
        QCOMPARE(ReadFile(InLab("again.json")), ReadFile(InLab("out.json")));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
