// parvesta-bench: speed figures of the program's parts. Each section is one
// function in the table below; `parvesta-bench` runs them all, `parvesta-bench
// NAME...` the named ones, `parvesta-bench --list` names them.
#include "CArchive.h"
#include "CQuorvanta.h"
#include "CReadOut.h"
#include "CReport.h"
#include "CWQXUSTester.h"
#include "HistoryWindow.h"
#include "InstrumentSimulator.h"
#include "MainWindow.h"
#include "PinnedPorts.h"
#include "ReplyBuilder.h"
#include "SerialPort.h"
#include "StatisticsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace
{
struct Section
{
    const char* name;
    const char* about;
    bool (*run)();
};

// One read-out from the simulator through the link, polled every 500 ms as
// the program's timer does; wire time is bytes x 10 / speed.
bool ReadOutAtLineSpeed(ReplyFrame::Family family, const char* label, int pages, int speed)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    SetPortsFolder(folder.path());

    const QByteArray frame =
        ReplyBuilder::Frame(family, ReplyBuilder::GeneratedSet(family, pages * 32), pages);
    InstrumentSimulator sim;
    sim.SetReply(frame);
    sim.SetLineSpeed(speed);
    if (!sim.Start(folder.path(), 5))
    {
        std::printf("  %s: the simulator did not start\n", label);
        return false;
    }

    auto link = std::make_unique<CWQXUSTester>();
    link->SetPort(5);
    link->baudRate = speed;
    if (!link->StartReadOut())
    {
        std::printf("  %s: the port did not open\n", label);
        return false;
    }
    QElapsedTimer clock;
    clock.start();

    const double wireMs = frame.size() * 10.0 * 1000.0 / speed;
    const qint64 giveUpMs = qint64(wireMs) + 5000;
    int percent = 0;
    int polls = 0;
    while (percent != 100 && clock.elapsed() < giveUpMs)
    {
        PauseMs(500);
        ++polls;
        if (link->ReadChunk(&percent) == 0 && !link->ReplyComplete())
            percent = 0; // the program ignores a poll that read nothing
    }
    const qint64 measuredMs = clock.elapsed();
    link->Disconnect();
    SetPortsFolder(QString());

    std::vector<char> held(std::size_t(link->ring.Count()));
    link->ring.Read(held.data(), int(held.size()));
    const bool whole = percent == 100 && int(held.size()) == frame.size() &&
                       std::memcmp(held.data(), frame.constData(), held.size()) == 0;
    std::printf("  %-7s %6d bytes  wire %7.0f ms  measured %6lld ms  over wire %5.0f ms  "
                "%3d polls  %s\n",
                label, int(frame.size()), wireMs, static_cast<long long>(measuredMs),
                double(measuredMs) - wireMs, polls, whole ? "every byte arrived" : "INCOMPLETE");
    return whole;
}

bool LinkReadOut()
{
    bool ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 60, 38400);
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::TR620, "TR-620", 60, 38400) && ok;
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 3, 38400) && ok;
    // The largest reply the ring holds: about 17 s on the wire.
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 253, 38400) && ok;
    return ok;
}

constexpr int PollMs = 500; // the main window's transfer timer

// Settings.ini beside the executable: the engine reads it when it is built
// and writes it when it is destroyed. A file that was there before the run
// gets its own bytes back; one the engine created is removed, so the build
// folder keeps no settings of the benchmark's.
struct KeptSettings
{
    KeptSettings() : path(QCoreApplication::applicationDirPath() + QStringLiteral("/Settings.ini"))
    {
        const QFileInfo info(path);
        existed = info.exists() || info.isSymLink();
        QFile file(path);
        readable = existed && file.open(QIODevice::ReadOnly);
        if (readable)
            before = file.readAll();
    }
    ~KeptSettings()
    {
        if (!existed)
        {
            QFile::remove(path);
            return;
        }
        if (!readable)
            return; // not ours to touch
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == before)
            return;
        file.close();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(before) != before.size())
            std::fprintf(stderr, "parvesta-bench: could not put %s back\n", qPrintable(path));
    }
    KeptSettings(const KeptSettings&) = delete;
    KeptSettings& operator=(const KeptSettings&) = delete;

    QString path;
    bool existed = false;
    bool readable = false;
    QByteArray before;
};

// The engine as the main window makes it, then set to what the figures
// assume whatever Settings.ini says: the line speed, the search over COM1 to
// COM49, no virtual device. It is large (every link's receive memory), so it
// lives on the heap.
std::unique_ptr<CQuorvanta> MakeEngine(int speed)
{
    auto engine = std::make_unique<CQuorvanta>();
    engine->comSpeed = speed;
    engine->fixedPort = false;
    engine->virtualDevice = false;
    return engine;
}

using RecordKey = std::tuple<int, int, int, int, int, int>;

RecordKey KeyOf(const CMeasurement& r)
{
    return RecordKey(r.group, r.cell, r.value, r.divisor, r.kind, r.unit);
}

// Records of expected that data does not hold (*missing) and records data
// holds beyond them (*extra), each record counted as often as it occurs.
void CompareRecords(const std::vector<CMeasurement>& expected, const CTRData& data, int* missing,
                    int* extra)
{
    std::map<RecordKey, int> held;
    for (int g = 1; g <= data.groupCount; ++g)
        for (int p = 1; p <= data.RecordCount(g); ++p)
        {
            CMeasurement r;
            if (data.GetRecord(g, p, &r))
                ++held[KeyOf(r)];
        }
    *missing = 0;
    for (const CMeasurement& r : expected)
    {
        auto it = held.find(KeyOf(r));
        if (it == held.end() || it->second == 0)
            ++*missing;
        else
            --it->second;
    }
    *extra = 0;
    for (const auto& entry : held)
        *extra += entry.second;
}

// One whole transfer through the engine's read-out, as every front end runs
// it: FindDevice, then a CReadOut that drains the line (a 50 ms quiet gap),
// sends the request, reads what arrives as it comes beside a 500 ms
// heartbeat, and decodes. Timed from its start, and from the moment the
// instrument had the request, to records in data.
bool EngineTransfer(ReplyFrame::Family family, const char* label, int pages, int speed)
{
    KeptSettings settings;
    PinnedPorts ports;
    if (!ports.valid)
    {
        std::printf("  %s: no ports folder\n", label);
        return false;
    }
    const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, pages * 32);
    const QByteArray frame = ReplyBuilder::Frame(family, records, pages);
    InstrumentSimulator* sim = ports.Attach(5, speed, InstrumentSimulator::Faults());
    if (!sim)
    {
        std::printf("  %s: the simulator did not start\n", label);
        return false;
    }
    sim->SetReply(frame);

    std::unique_ptr<CQuorvanta> engine = MakeEngine(speed);
    if (!engine->FindDevice())
    {
        std::printf("  %s: the search found no instrument\n", label);
        return false;
    }

    const double wireMs = speed > 0 ? frame.size() * 10.0 * 1000.0 / speed : 0.0;
    CReadOut readOut(engine.get());
    readOut.pollIntervalMs = PollMs;
    QEventLoop loop;
    QElapsedTimer clock;
    double startMs = 0; // the request reached the instrument
    int percent = 0;
    int steps = 0;
    QObject::connect(&readOut, &CReadOut::Progress, [&](int p) {
        ++steps;
        percent = p;
    });
    QTimer request; // watches for the request, after the search's one command
    request.setTimerType(Qt::PreciseTimer);
    QObject::connect(&request, &QTimer::timeout, [&] {
        if (sim->Commands().size() < 2)
            return;
        startMs = clock.nsecsElapsed() / 1e6;
        request.stop();
    });
    request.start(1);
    QObject::connect(&readOut, &CReadOut::Finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(int(wireMs) + 10000, &loop, &QEventLoop::quit);
    clock.start();
    readOut.Start();
    if (readOut.Running())
        loop.exec();
    readOut.Cancel();
    const bool decoded = readOut.Result() == CReadOut::Outcome::Records;
    const double measuredMs = clock.nsecsElapsed() / 1e6;

    int missing = 0;
    int extra = 0;
    CompareRecords(records, engine->data, &missing, &extra);
    char verdict[64];
    if (percent != 100)
        std::snprintf(verdict, sizeof verdict, "NEVER REACHED 100 (%d)", percent);
    else if (missing == 0)
        std::snprintf(verdict, sizeof verdict, "every record");
    else
        std::snprintf(verdict, sizeof verdict, "MISSING %d", missing);
    char speedText[16];
    std::snprintf(speedText, sizeof speedText, speed > 0 ? "%d" : "unpaced", speed);
    std::printf("  %-6s %-7s %6d bytes %4d records  wire %5.0f ms  records after %6.0f ms "
                "(%6.0f from the request, %+5.0f over wire)  %3d progress steps  %s%s\n",
                label, speedText, int(frame.size()), int(records.size()), wireMs, measuredMs,
                measuredMs - startMs, measuredMs - startMs - wireMs, steps, verdict,
                extra > 0 ? qPrintable(QStringLiteral("  EXTRA %1").arg(extra)) : "");
    return decoded && missing == 0 && extra == 0;
}

bool EngineLargest()
{
    // 127 pages of 32 records: the most pages a reply may announce.
    bool ok = EngineTransfer(ReplyFrame::Family::VXnn, "VX-nn", 127, 0);
    ok = EngineTransfer(ReplyFrame::Family::VXnn, "VX-nn", 127, 38400) && ok;
    ok = EngineTransfer(ReplyFrame::Family::VXnn, "VX-nn", 127, 115200) && ok;
    ok = EngineTransfer(ReplyFrame::Family::TR620, "TR-620", 127, 38400) && ok;
    return ok;
}

// Instruments that never answer on COM1 to COMcount; false when one did not start.
bool AttachSilent(PinnedPorts& ports, int count)
{
    InstrumentSimulator::Faults quiet;
    quiet.silent = true;
    bool ok = ports.valid;
    for (int n = 1; n <= count; ++n)
        ok = ports.Attach(n, 38400, quiet) && ok;
    return ok;
}

// The device search with no instrument to find: every candidate is opened
// (50 ms) and given two 50 ms polls for an answer, so 150 ms of pauses each
// plus what opening and closing the port costs.
bool SearchNone()
{
    constexpr int ProbeBoundMs = 150;
    KeptSettings settings;
    bool ok = true;
    for (int candidates : {49, 0})
    {
        PinnedPorts ports;
        if (!AttachSilent(ports, candidates))
        {
            std::printf("  the simulators did not start\n");
            return false;
        }
        std::unique_ptr<CQuorvanta> engine = MakeEngine(38400);
        QElapsedTimer clock;
        clock.start();
        const bool found = engine->FindDevice();
        const double totalMs = clock.nsecsElapsed() / 1e6;

        // Every candidate must have been asked, or the figure times less
        // than a whole search.
        int asked = 0;
        for (const auto& sim : ports.sims)
            asked += sim->WaitForCommands(1, 1000) && sim->Commands().size() == 1 ? 1 : 0;
        std::printf("  %2d silent  total %8.2f ms  per candidate %5.1f ms  bound %d x %d ms"
                    "  %d links, %d asked%s\n",
                    candidates, totalMs, candidates ? totalMs / candidates : 0.0, candidates,
                    ProbeBoundMs, engine->linkCount, asked, found ? ", FOUND ONE" : "");
        ok = !found && engine->linkCount == candidates && asked == candidates && ok;
    }
    return ok;
}

// parvesta-cli as a script runs it: a copy in a folder whose ports folder
// holds the simulator; the time from starting the process to its end.
bool CliDownload(int speed)
{
    PinnedPorts ports;
    const int pages = 127;
    const QByteArray frame = ReplyBuilder::Frame(
        ReplyFrame::Family::VXnn, ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, pages * 32),
        pages);
    InstrumentSimulator* sim = ports.Attach(3, speed);
    const QString program = ports.dir.filePath("parvesta-cli");
    if (!sim || !QFile::copy(QCoreApplication::applicationDirPath() + "/parvesta-cli", program))
    {
        std::printf("  the simulator or parvesta-cli did not start\n");
        return false;
    }
    sim->SetReply(frame);
    const QString output = ports.dir.filePath("results.csv");
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, {"download", "-o", output, "--quiet"});
    const bool finished = process.waitForFinished(60000);
    const double ms = clock.nsecsElapsed() / 1e6;
    const double wireMs = speed ? frame.size() * 10.0 * 1000.0 / speed : 0.0;
    QFile file(output);
    const int lines = file.open(QIODevice::ReadOnly) ? int(file.readAll().count("\r\n")) : 0;
    std::printf("  %6d bit/s  %d bytes  wire %7.0f ms  download -o results.csv %7.0f ms"
                "  over wire %5.0f ms  %d records%s\n",
                speed, int(frame.size()), wireMs, ms, ms - wireMs, lines - 1,
                finished && process.exitCode() == 0 ? "" : "  FAILED");
    return finished && process.exitCode() == 0 && lines - 1 == pages * 32;
}

// parvesta-cli scan over 49 candidates that never answer.
bool CliScan()
{
    PinnedPorts ports;
    const bool ok = AttachSilent(ports, 49);
    const QString program = ports.dir.filePath("parvesta-cli");
    if (!ok || !QFile::copy(QCoreApplication::applicationDirPath() + "/parvesta-cli", program))
    {
        std::printf("  the simulators or parvesta-cli did not start\n");
        return false;
    }
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, {"scan", "--quiet"});
    const bool finished = process.waitForFinished(60000);
    const double ms = clock.nsecsElapsed() / 1e6;
    const int lines = int(process.readAllStandardOutput().count('\n'));
    std::printf("  scan over 49 silent candidates %7.0f ms  %d ports listed  exit %d\n", ms, lines,
                process.exitCode());
    return finished && process.exitCode() == 2 && lines == 49;
}

bool Cli()
{
    KeptSettings settings;
    bool ok = CliDownload(0);
    ok = CliDownload(38400) && ok;
    ok = CliScan() && ok;
    return ok;
}

// The archive: the largest reply kept, and a transfer of 4064 records
// exported again by parvesta-cli, as a script would.
bool ArchiveLargest()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("archive.sqlite");
    bool ok = dir.isValid();
    std::vector<double> times;
    for (int pages : {253, 127})
    {
        const QByteArray frame = ReplyBuilder::Frame(
            ReplyFrame::Family::VXnn,
            ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, pages * 32), pages);
        auto engine = MakeEngine(0);
        engine->archivePath = file;
        ok = engine->ReadReply(frame) && ok;
        // The first also makes the file; the others add to it.
        for (int round = 0; round < 5; ++round)
        {
            QElapsedTimer clock;
            clock.start();
            ok = engine->ArchiveTransfer(frame) && ok;
            const double ms = clock.nsecsElapsed() / 1e6;
            if (pages == 253)
                times.push_back(ms);
        }
        if (pages == 253)
        {
            std::printf("  253 pages, %d records, kept 5 times:", pages * 32);
            for (double ms : times)
                std::printf(" %6.1f", ms);
            std::sort(times.begin(), times.end());
            std::printf(" ms  (median %.1f ms)%s\n", times[2],
                        ok ? "" : qPrintable(" NOT ARCHIVED: " + engine->ArchiveNotice()));
            continue;
        }
        // Exported as a script does it: a new process, the archive opened, the CSV written.
        const QString program = dir.filePath("parvesta-cli");
        ok = QFile::copy(QCoreApplication::applicationDirPath() + "/parvesta-cli", program) && ok;
        const QString output = dir.filePath("again.csv");
        std::vector<double> exports;
        for (int round = 0; round < 5; ++round)
        {
            QProcess process;
            QElapsedTimer clock;
            clock.start();
            process.start(program, {"history", "export", engine->archivedId, "-o", output,
                                    "--archive", file, "--quiet"});
            ok = process.waitForFinished(60000) && process.exitCode() == 0 && ok;
            exports.push_back(clock.nsecsElapsed() / 1e6);
        }
        QFile csv(output);
        const int lines = csv.open(QIODevice::ReadOnly) ? int(csv.readAll().count("\r\n")) : 0;
        ok = lines - 1 == pages * 32 && ok;
        std::printf("  history export of %d records to CSV, whole process, 5 times:", pages * 32);
        for (double ms : exports)
            std::printf(" %6.1f", ms);
        std::sort(exports.begin(), exports.end());
        std::printf(" ms  (median %.1f ms)  %d records%s\n", exports[2], lines - 1,
                    ok ? "" : "  FAILED");
    }
    return ok;
}

// An archive of 100,000 transfers of 32 records each, a quarter of them
// saved, over a year; made once and kept in the temporary folder, since
// making it takes a while.
QString LargeArchive(int transfers)
{
    const QString file =
        QDir::temp().filePath(QStringLiteral("parvesta-bench-history-%1-v%2.sqlite")
                                  .arg(transfers)
                                  .arg(CArchive::SchemaVersion));
    if (QFileInfo::exists(file))
        return file;
    const QString making = file + QStringLiteral(".making");
    QFile::remove(making);
    {
        // The tables as the program makes them.
        CArchive archive(making);
        if (!archive.Open())
        {
            std::printf("  %s\n", qPrintable(archive.Error()));
            return QString();
        }
    }
    std::printf("  making %s once ...\n", qPrintable(file));
    std::fflush(stdout);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench-large");
        db.setDatabaseName(making);
        ok = db.open() && db.transaction();
        const std::vector<CMeasurement> records =
            ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, 32);
        const QByteArray reply = ReplyBuilder::Frame(ReplyFrame::Family::VXnn, records);
        QSqlQuery transfer(db);
        QSqlQuery record(db);
        QSqlQuery save(db);
        ok = ok &&
             transfer.prepare("INSERT INTO transfers (id, station, time, \"user\", program,"
                              " version, port, device, family, pages_announced, pages_received,"
                              " complete, measurements, reply, sent)"
                              " VALUES (?, ?, ?, 'bench', 'Parvesta', '3.0', ?, ?, ?, 1, 1, 1,"
                              " 32, ?, 1)") &&
             record.prepare("INSERT INTO records VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)") &&
             save.prepare("INSERT INTO saves VALUES (?, ?, 'csv', ?)");
        const QDateTime start(QDate(2025, 12, 1), QTime(7, 0), Qt::UTC);
        for (int i = 0; ok && i < transfers; ++i)
        {
            const QString id = QStringLiteral("bench-%1").arg(i);
            // About 270 a day, through the working hours.
            const QString time = start.addSecs(qint64(i) * 315).toString(Qt::ISODateWithMs);
            const bool tr = i % 3 == 0;
            for (const QVariant& v :
                 {QVariant(id), QVariant(QStringLiteral("bench-%1").arg(i % 4)), QVariant(time),
                  QVariant(QStringLiteral("COM%1").arg(tr ? 17 : 33)),
                  QVariant(tr ? "/dev/ttyUSB0" : "/dev/ttyACM0"), QVariant(tr ? "TR-620" : "VX-nn"),
                  QVariant(reply)})
                transfer.addBindValue(v);
            ok = transfer.exec();
            for (int r = 0; ok && r < 32; ++r)
            {
                const CMeasurement& m = records[std::size_t(r)];
                for (const QVariant& v :
                     {QVariant(id), QVariant(r), QVariant(m.group), QVariant(m.cell),
                      QVariant(m.value), QVariant(m.divisor), QVariant(m.kind), QVariant(m.unit),
                      QVariant(ValueDecimals(m))})
                    record.addBindValue(v);
                ok = record.exec();
            }
            if (ok && i % 4 == 0)
            {
                save.addBindValue(id);
                save.addBindValue(QStringLiteral("/home/bench/Parvesta/results%1.csv").arg(i));
                save.addBindValue(time);
                ok = save.exec();
            }
        }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase("bench-large");
    if (!ok || !QFile::rename(making, file))
    {
        std::printf("  the archive could not be made\n");
        QFile::remove(making);
        return QString();
    }
    return file;
}

// The History window's first page over a large archive, from the request
// to a filled list; then pages found by words and by days.
bool HistoryWindowPage()
{
    const int transfers = 100000;
    const QString file = LargeArchive(transfers);
    if (file.isEmpty())
        return false;
    bool ok = true;
    std::vector<double> firsts;
    for (int round = 0; round < 5; ++round)
    {
        // A program just started: its archive not yet open.
        auto engine = MakeEngine(0);
        engine->archivePath = file;
        HistoryWindow window(engine.get(), nullptr);
        const QAbstractItemModel* model = window.findChild<QTableView*>()->model();
        QElapsedTimer clock;
        clock.start();
        window.show();
        firsts.push_back(clock.nsecsElapsed() / 1e6);
        ok = model->rowCount() == window.pageSize && ok;
    }
    std::printf("  %d transfers, first page of 100 shown, archive opened afresh, 5 times:",
                transfers);
    for (double ms : firsts)
        std::printf(" %6.1f", ms);
    std::sort(firsts.begin(), firsts.end());
    std::printf(" ms  (median %.1f ms; target < 300 ms)%s\n", firsts[2], ok ? "" : "  FAILED");

    auto engine = MakeEngine(0);
    engine->archivePath = file;
    HistoryWindow window(engine.get(), nullptr);
    window.show();
    const auto timed = [&](const char* label, const std::function<void()>& change) {
        QElapsedTimer clock;
        clock.start();
        change();
        const double ms = clock.nsecsElapsed() / 1e6;
        const QString shown = window.findChild<QLabel*>("rangeLabel")->text();
        std::printf("  %-34s %7.1f ms  %s\n", label, ms, qPrintable(shown));
    };
    auto* older = window.findChild<QPushButton*>("olderButton");
    timed("the next page", [&] { older->click(); });
    auto* filter = window.findChild<QLineEdit*>("filterEdit");
    timed("found by a word (\"ttyUSB\")", [&] {
        filter->setText("ttyUSB");
        QTest::keyClick(filter, Qt::Key_Return); // rather than wait for the typing to pause
    });
    timed("found by a saved file's name", [&] {
        filter->setText("results4000.csv");
        QTest::keyClick(filter, Qt::Key_Return);
    });
    // Folded letter by letter, beyond what SQLite folds itself.
    timed("found by a Russian word (\"отчёт\")", [&] {
        filter->setText(QStringLiteral("отчёт"));
        QTest::keyClick(filter, Qt::Key_Return);
    });
    filter->clear();
    QTest::keyClick(filter, Qt::Key_Return);
    window.findChild<QDateEdit*>("fromEdit")->setDate(QDate(2026, 6, 1));
    window.findChild<QDateEdit*>("toEdit")->setDate(QDate(2026, 6, 1));
    window.findChild<QCheckBox*>("fromCheck")->setChecked(true);
    timed("one day (1 June 2026)",
          [&] { window.findChild<QCheckBox*>("toCheck")->setChecked(true); });
    return ok;
}

// The main window with what a benchmark needs of it.
class BenchWindow : public MainWindow
{
public:
    using MainWindow::NoResults;
    using MainWindow::ResultsShown;
    using MainWindow::SetViewState;
    using MainWindow::successMessageMs;
};

// Notes that the widget it watches has been painted.
struct PaintWatch : QObject
{
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            seen = true;
        return QObject::eventFilter(watched, event);
    }
    bool seen = false;
};

// True once the window's search is over: its status line no longer says it
// searches (a window without one searched before it was shown).
bool SearchOver(const QWidget& window)
{
    const auto* status = window.findChild<QLabel*>("statusLabel");
    return !status || !status->text().startsWith(QLatin1String("Searching"));
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QTest::qWait(20);
    return done();
}

// The table filled from the largest valid reply: 127 pages of 32 records,
// brought in by a real transfer, then the fill repeated and timed.
bool WindowTable()
{
    KeptSettings settings;
    PinnedPorts ports;
    const std::vector<CMeasurement> records =
        ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, 127 * 32);
    InstrumentSimulator* sim = ports.Attach(2, 0);
    if (!ports.valid || !sim)
        return false;
    sim->SetReply(ReplyBuilder::Frame(ReplyFrame::Family::VXnn, records, 127));

    BenchWindow window;
    window.show();
    auto* table = window.findChild<QTableWidget*>("tableWidget");
    if (!WaitUntil([&] { return SearchOver(window); }, 10000))
        return false;
    QElapsedTimer pressed;
    pressed.start();
    window.findChild<QToolButton*>("trnsfrDataButton")->click();
    // The reply comes as fast as the terminal takes it, as over USB.
    if (!WaitUntil([&] { return table->isVisible(); }, 30000) ||
        table->rowCount() != int(records.size()))
    {
        std::printf("  the transfer did not fill the table (%d rows)\n", table->rowCount());
        return false;
    }
    std::printf("  unpaced reply in the table %lld ms after Transfer Data was pressed, "
                "%d ms of them the success text\n",
                static_cast<long long>(pressed.elapsed()), window.successMessageMs);
    // The fill itself, and the fill with the layout and the first paint of
    // the table that follow it.
    PaintWatch painted;
    table->viewport()->installEventFilter(&painted);
    std::vector<double> fills;
    std::vector<double> shown;
    for (int i = 0; i < 10; ++i)
    {
        window.SetViewState(BenchWindow::NoResults);
        QCoreApplication::processEvents();
        painted.seen = false;
        QElapsedTimer clock;
        clock.start();
        window.SetViewState(BenchWindow::ResultsShown);
        fills.push_back(clock.nsecsElapsed() / 1e6);
        while (!painted.seen && clock.elapsed() < 5000)
            QCoreApplication::processEvents();
        shown.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(fills.begin(), fills.end());
    std::sort(shown.begin(), shown.end());
    std::printf("  %d rows  fill: median %5.1f ms (worst %5.1f)  fill, layout and first paint: "
                "median %6.1f ms (worst %6.1f)\n",
                table->rowCount(), fills[fills.size() / 2], fills.back(), shown[shown.size() / 2],
                shown.back());
    return table->rowCount() == int(records.size());
}

// How late the event loop runs a timer that asks to run every few
// milliseconds: the longest time the window could not react.
struct StallWatch
{
    explicit StallWatch(int intervalMs = 5) : IntervalMs(intervalMs)
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const double now = clock.nsecsElapsed() / 1e6;
            longest = std::max(longest, now - last - IntervalMs);
            last = now;
        });
    }
    void Start()
    {
        longest = 0;
        clock.start();
        last = 0;
        timer.start(IntervalMs);
    }
    const int IntervalMs;
    QTimer timer;
    QElapsedTimer clock;
    double last = 0;
    double longest = 0;
};

// Start-up without an instrument on a machine with a few serial ports that
// exist but do not answer: the window built (which searches) and shown.
bool WindowStart()
{
    KeptSettings settings;
    bool ok = true;
    for (int portsPresent : {0, 4, 40})
    {
        PinnedPorts ports;
        ok = AttachSilent(ports, portsPresent) && ok;
        QElapsedTimer clock;
        clock.start();
        {
            BenchWindow window;
            window.show();
            ok = QTest::qWaitForWindowExposed(&window) && ok;
            const double shownMs = clock.nsecsElapsed() / 1e6;
            StallWatch stalls;
            stalls.Start();
            while (!SearchOver(window) && clock.elapsed() < 20000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            const double searchedMs = clock.nsecsElapsed() / 1e6;
            QCoreApplication::processEvents();
            const bool enabled = window.findChild<QToolButton*>("trnsfrDataButton")->isEnabled();
            std::printf(
                "  %2d silent ports  window shown after %6.1f ms, search over after %6.1f ms,"
                " longest stall meanwhile %5.1f ms%s\n",
                portsPresent, shownMs, searchedMs, stalls.longest,
                enabled ? "  (FOUND AN INSTRUMENT)" : "");
            ok = !enabled && ok;
        }
    }
    return ok;
}

// A serial device plugged in, pulled out, or a port link that comes and goes
// every half second, while the window runs with four silent ports beside
// it: the longest the event loop stalled, how late F1 was answered when
// pressed at moments after the change, and when Transfer Data settled.
bool WindowPlug()
{
    KeptSettings settings;
    PinnedPorts ports;
    bool ok = AttachSilent(ports, 4);
    if (!ok)
    {
        std::printf("  the simulators did not start\n");
        return false;
    }
    BenchWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QTest::qWait(500);
    auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
    auto* help = window.findChild<QWidget*>("HelpWindowGUI");

    const auto observe = [&](const char* label, const std::function<void()>& change,
                             const std::function<void(int)>& during, bool expectEnabled) {
        StallWatch stalls;
        stalls.Start();
        QElapsedTimer clock;
        clock.start();
        change();
        std::vector<double> answers;
        double settledAt = -1;
        bool lastState = transfer->isEnabled();
        QTimer settle;
        QObject::connect(&settle, &QTimer::timeout, [&] {
            if (transfer->isEnabled() != lastState)
            {
                lastState = transfer->isEnabled();
                settledAt = clock.nsecsElapsed() / 1e6;
            }
        });
        settle.start(5);
        // F1 at these moments after the change; the answer is late by as
        // long as the loop could not run.
        for (int at : {100, 400, 1000, 2000, 2750, 3000})
            QTimer::singleShot(at, Qt::PreciseTimer, [&, at] {
                help->hide();
                QTest::keyClick(&window, Qt::Key_F1);
                if (help->isVisible())
                    answers.push_back(clock.nsecsElapsed() / 1e6 - at);
                help->hide();
            });
        while (clock.elapsed() < 4500)
        {
            QTest::qWait(50);
            if (during)
                during(int(clock.elapsed()));
        }
        QTest::qWait(1000); // a search still running ends within this
        stalls.timer.stop();
        const double worstF1 =
            answers.empty() ? -1 : *std::max_element(answers.begin(), answers.end());
        std::printf("  %-28s longest stall %7.1f ms  F1 answered %zu of 6, latest %7.1f ms late  "
                    "Transfer Data %s at %6.0f ms\n",
                    label, stalls.longest, answers.size(), worstF1,
                    transfer->isEnabled() ? "enabled" : "disabled", settledAt);
        return answers.size() == 6 && transfer->isEnabled() == expectEnabled;
    };

    ok = observe(
             "instrument plugged in", [&] { ok = ports.Attach(6) && ok; }, nullptr, true) &&
         ok;
    ok = observe(
             "instrument pulled out", [&] { ports.sims.pop_back(); }, nullptr, false) &&
         ok;
    // A link that comes and goes every 500 ms for three seconds.
    int flips = 0;
    ok = observe(
             "port link flapping for 3 s", [] {},
             [&](int elapsed) {
                 if (elapsed < 3000 && elapsed / 500 > flips)
                 {
                     ++flips;
                     const QString entry = ports.Entry(9);
                     if (QFileInfo(entry).isSymLink())
                         QFile::remove(entry);
                     else
                         QFile::link(ports.dir.path() + "/nothing", entry);
                 }
             },
             false) &&
         ok;
    return ok;
}

// A read-out started on a line that keeps sending, as an instrument does for
// a while after a transfer was cancelled: the longest the event loop could
// not run a 1 ms timer while the read-out started and ran.
bool ReadOutOnBusyLine()
{
    KeptSettings settings;
    PinnedPorts ports;
    // After its reply the instrument sends three more seconds of bytes, and
    // does not notice the port closing: longer than a drain may last.
    InstrumentSimulator::Faults faults;
    faults.extraBytes = 3 * 3840;
    faults.keepsSending = true;
    InstrumentSimulator* sim = ports.Attach(5, 38400, faults);
    if (!ports.valid || !sim)
    {
        std::printf("  the simulator did not start\n");
        return false;
    }
    std::unique_ptr<CQuorvanta> engine = MakeEngine(38400);
    if (!engine->FindDevice())
    {
        std::printf("  the search found no instrument\n");
        return false;
    }
    // A read-out given up as soon as its first bytes came.
    if (!engine->StartTransfer())
        return false;
    for (QElapsedTimer wait; engine->ReadWaiting() == 0;)
    {
        if (!wait.isValid())
            wait.start();
        if (wait.elapsed() > 2000)
            return false;
        QThread::msleep(10);
    }
    engine->StopTransfer();

    StallWatch stalls(1);
    QEventLoop loop;
    CReadOut readOut(engine.get());
    readOut.pollIntervalMs = PollMs;
    QObject::connect(&readOut, &CReadOut::Finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        stalls.Start();
        clock.start();
        readOut.Start();
    });
    // Long enough for the drain to give up and the request to go out.
    QTimer::singleShot(3500, &loop, &QEventLoop::quit);
    loop.exec();
    stalls.timer.stop();
    const bool started = sim->Commands().size() == 3; // identify, two read-outs
    readOut.Cancel();
    std::printf("  38400 bit/s, 3 s of bytes on the line  longest event-loop stall %7.1f ms  "
                "%s\n",
                stalls.longest, started ? "request sent" : "NOT STARTED");
    return started;
}

// The report of the largest valid reply (127 pages, 4064 readings), with
// limits on two groups: the charts of every group and unit drawn on the
// pages, the PDF written whole into a file.
bool ReportLargest()
{
    const QByteArray reply =
        ReplyBuilder::Frame(ReplyFrame::Family::VXnn,
                            ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, 127 * 32), 127);
    CTRData data;
    if (!data.Decode(reply.constData(), unsigned(reply.size())))
        return false;
    Limit thickness;
    thickness.group = 1;
    thickness.unit = Unit::Millimetres;
    thickness.low = 50;
    thickness.high = 200;
    Limit inches;
    inches.group = 2;
    inches.unit = Unit::Inches;
    inches.high = 30;
    const std::vector<Limit> limits = {thickness, inches};
    TransferSource source;
    source.downloaded = QDateTime::currentDateTimeUtc();
    source.pagesAnnounced = source.pagesReceived = 127;
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("report.pdf")));
    std::vector<double> times;
    for (int i = 0; i < 3; ++i)
    {
        QElapsedTimer clock;
        clock.start();
        if (!CReport(data, limits, source, QStringLiteral("bench"), {}).Write(path))
            return false;
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const std::size_t rows = Statistics::Compute(data, limits).size();
    std::printf("  4064 readings, %zu groups and units with 2 charts each: report written in "
                "%.0f ms (best of 3; worst %.0f ms), %lld bytes  %s\n",
                rows, times.front(), times.back(),
                static_cast<long long>(QFileInfo(QFile::decodeName(path)).size()),
                times.back() < 2000 ? "under 2 s" : "OVER 2 s");
    return times.back() < 2000;
}

// The Statistics window on the largest reply with limits on two groups: a
// row chosen, and its two charts made and painted, for rows of every size.
bool WindowCharts()
{
    KeptSettings settings;
    CQuorvanta engine;
    engine.writesSettings = false;
    engine.ReadReply(
        ReplyBuilder::Frame(ReplyFrame::Family::VXnn,
                            ReplyBuilder::GeneratedSet(ReplyFrame::Family::VXnn, 127 * 32), 127));
    Limit thickness;
    thickness.group = 1;
    thickness.unit = Unit::Millimetres;
    thickness.low = 50;
    thickness.high = 200;
    engine.UseLimits({thickness});
    StatisticsWindow window(&engine, nullptr);
    window.show();
    window.Fill();
    QCoreApplication::processEvents();
    QTableWidget* table = window.ui.statisticsTable;
    auto* histogram = window.findChild<QChartView*>("histogramView");
    auto* run = window.findChild<QChartView*>("runChartView");
    PaintWatch histogramPainted;
    PaintWatch runPainted;
    histogram->viewport()->installEventFilter(&histogramPainted);
    run->viewport()->installEventFilter(&runPainted);
    std::vector<double> times;
    // Row 0 is chosen already when the window fills.
    const int step = std::max(1, table->rowCount() / 40);
    for (int r = step; r < table->rowCount(); r += step)
    {
        histogramPainted.seen = runPainted.seen = false;
        QElapsedTimer clock;
        clock.start();
        table->selectRow(r);
        while (!(histogramPainted.seen && runPainted.seen) && clock.elapsed() < 5000)
            QCoreApplication::processEvents();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double worst = times.back();
    std::printf("  %zu rows chosen of %d: both charts made and painted in %.1f ms median, "
                "%.1f ms worst  %s\n",
                times.size(), table->rowCount(), times[times.size() / 2], worst,
                worst < 100 ? "under 100 ms" : "OVER 100 ms");
    return worst < 100;
}

const Section Sections[] = {
    {"link", "read-out at 38400 bit/s from the simulator, polled every 500 ms alone", LinkReadOut},
    {"engine-largest",
     "the largest valid reply (127 pages) through the engine, unpaced and at 38400 and 115200 "
     "bit/s, read as it arrives beside a 500 ms heartbeat",
     EngineLargest},
    {"search-none", "device search over 49 candidates that never answer, and over none",
     SearchNone},
    {"window-table", "the result table filled with 127 pages of 32 records", WindowTable},
    {"window-start",
     "start-up without an instrument beside 0, 4 and 40 silent ports: window shown, search over",
     WindowStart},
    {"window-plug",
     "a serial device plugged in and out, and a port link flapping: event-loop stalls, F1",
     WindowPlug},
    {"readout-busy-line",
     "a read-out started on a line that keeps sending: the longest event-loop stall meanwhile",
     ReadOutOnBusyLine},
    {"cli",
     "parvesta-cli: the largest reply downloaded to a CSV file, unpaced and at 38400 bit/s; "
     "scan over 49 silent candidates",
     Cli},
    {"archive",
     "the largest reply (253 pages) kept in the archive; parvesta-cli history export of 4064 "
     "records",
     ArchiveLargest},
    {"history-window",
     "the History window's first page over 100,000 archived transfers; found by words and days",
     HistoryWindowPage},
    {"report",
     "the PDF report of the largest reply (4064 readings, every group's charts), limits on "
     "two groups",
     ReportLargest},
    {"window-charts",
     "the Statistics window on the largest reply: a row chosen, its histogram and run chart "
     "made and painted",
     WindowCharts},
};
} // namespace

int main(int argc, char* argv[])
{
    // The window sections need no screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The offscreen platform's remarks about window hints are not figures.
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("propagateSizeHints")))
                standard(type, context, message);
        });
    const QStringList wanted = app.arguments().mid(1);
    if (wanted.contains(QStringLiteral("--list")) || wanted.contains(QStringLiteral("--help")))
    {
        for (const Section& section : Sections)
            std::printf("%-15s %s\n", section.name, section.about);
        return 0;
    }

    bool ok = true;
    int ran = 0;
    for (const Section& section : Sections)
    {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(section.name)))
            continue;
        std::printf("%s: %s\n", section.name, section.about);
        std::fflush(stdout);
        ok = section.run() && ok;
        ++ran;
    }
    if (ran == 0)
    {
        std::fprintf(stderr, "parvesta-bench: no such section; see --list\n");
        return 2;
    }
    return ok ? 0 : 1;
}
