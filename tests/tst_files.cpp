// Saving where saving goes wrong: every failed or killed save leaves the
// earlier file byte for byte as it was and says why. Run as an ordinary user
// (see as-user), so that read-only folders and files hold as they do for users.
#include "CSafeFile.h"
#include "CsvFile.h"
#include "LimitsFile.h"
#include "SettingsFile.h"
#include "XlsxFile.h"
#include "support/Files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FileError)
Q_DECLARE_METATYPE(SettingsFile::Found)

namespace
{
const QByteArray Earlier = "\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n1;1;5,5;\"mm\"\r\n";

mode_t Mode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// 335 records: about 7 KB of CSV.
CTRData Records()
{
    CTRData data;
    data.MakeVirtualData();
    return data;
}

CsvFile::Format Format()
{
    CsvFile::Format format;
    format.header = QStringLiteral("\"Group\";\"Cell\";\"Result\";\"Unit\"");
    return format;
}

XlsxFile::Format WorkbookFormat()
{
    XlsxFile::Format format;
    format.measurementsSheet = "Мера";
    format.statisticsSheet = "Stats";
    format.columns = QStringList{"G", "C", "R", "U"};
    format.statisticsColumns = QStringList{"G", "U", "N", "Min", "Max", "Mean", "SD"};
    format.units.texts[0] = "m/s";
    format.units.texts[2] = "mm";
    format.units.texts[3] = "in";
    return format;
}

// The records saved as the name's extension says, as the engine does.
bool Save(const QString& path, const CTRData& data, FileError* why)
{
    if (path.endsWith(".xlsx"))
        return XlsxFile::Write(QFile::encodeName(path), data, WorkbookFormat(), TransferSource(),
                               why);
    return CsvFile::Write(QFile::encodeName(path), data, Format(), why);
}

// What an independent reader (openpyxl, by the Python found when the build
// was configured) finds in a workbook: per sheet, its name, frozen cell and
// cells. Empty when it cannot read the file.
QJsonDocument ReadWorkbook(const QString& path, const QStringList& options)
{
    QProcess reader;
    reader.start(PARVESTA_PYTHON,
                 QStringList{PARVESTA_SOURCE_DIR "/tests/read-workbook.py", path} + options);
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
    {
        qWarning("%s", reader.readAllStandardError().constData());
        return QJsonDocument();
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput());
}
QJsonArray ReadWorkbook(const QString& path)
{
    return ReadWorkbook(path, {}).array();
}

int CellCount(const QJsonArray& sheets)
{
    int cells = 0;
    for (const QJsonValue& sheet : sheets)
        cells += int(sheet["cells"].toArray().size());
    return cells;
}

// An environment variable set while it lives.
struct Environment
{
    QByteArray name, saved;
    bool was;
    Environment(const char* variable, const QString& value)
        : name(variable), saved(qgetenv(variable)), was(qEnvironmentVariableIsSet(variable))
    {
        qputenv(variable, QFile::encodeName(value));
    }
    ~Environment() { was ? qputenv(name, saved) : qunsetenv(name); }
};

// A child process that takes its steps one by one, each only when told to,
// so that it can be killed between any two of them or a while into one.
class SteppedChild
{
public:
    explicit SteppedChild(const std::vector<std::function<void()>>& steps)
    {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        pid = ::fork();
        if (pid == 0)
        {
            char c;
            for (const auto& step : steps)
            {
                if (::read(toChild[0], &c, 1) != 1)
                    ::_exit(1);
                step();
                if (::write(fromChild[1], &c, 1) != 1)
                    ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        go = toChild[1];
        done = fromChild[0];
    }
    ~SteppedChild() { Kill(); }

    bool Started() const { return pid > 0; }
    // Lets the next step run; with wait, until it is over.
    bool Step(bool wait = true)
    {
        char c = 's';
        return ::write(go, &c, 1) == 1 && (!wait || ::read(done, &c, 1) == 1);
    }
    void Kill()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(go);
        ::close(done);
        pid = -1;
    }

private:
    pid_t pid = -1;
    int go = -1, done = -1;
};

// Names in folder besides the one given.
QStringList Others(const QString& folder, const QString& name)
{
    QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                              QDir::NoDotAndDotDot);
    left.removeAll(name);
    return left;
}
} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void failedSavesKeepTheEarlierFile_data()
    {
        QTest::addColumn<QString>("target");       // in the test's folder, or a device
        QTest::addColumn<int>("targetMode");       // 0: no file there before
        QTest::addColumn<int>("folderMode");       // of the folder holding it
        QTest::addColumn<int>("sizeLimit");        // bytes a file may hold; 0 none
        QTest::addColumn<FileError>("error");      // None: the save works
        const QString longest = QString(251, 'n'); // with ".csv", 255 bytes: the most a name holds
        QTest::newRow("disk full") << "r.csv" << 0644 << 0755 << 2000 << FileError::DiskFull;
        QTest::newRow("read-only folder, writable file")
            << "r.csv" << 0640 << 0555 << 0 << FileError::CannotReplaceSafely;
        QTest::newRow("read-only folder, new file")
            << "new.csv" << 0 << 0555 << 0 << FileError::NoPermission;
        QTest::newRow("write-protected file")
            << "r.csv" << 0444 << 0755 << 0 << FileError::WriteProtected;
        QTest::newRow("folder gone") << "gone/r.csv" << 0 << 0755 << 0 << FileError::FolderMissing;
        QTest::newRow("a folder in the file's place")
            << "r.csv/" << 0 << 0755 << 0 << FileError::NotAFile;
        QTest::newRow("device that is full")
            << "/dev/full" << 0 << 0755 << 0 << FileError::DiskFull;
        QTest::newRow("longest name") << longest + ".csv" << 0640 << 0755 << 0 << FileError::None;

        QTest::newRow("workbook, disk full")
            << "r.xlsx" << 0644 << 0755 << 2000 << FileError::DiskFull;
        // Room for the finished workbook, not for its parts unpacked: the
        // library's scratch files are cut short, the packed file is not.
        QTest::newRow("workbook, disk full for its scratch files")
            << "r.xlsx" << 0644 << 0755 << -1 << FileError::DiskFull;
        QTest::newRow("workbook, read-only folder, writable file")
            << "r.xlsx" << 0640 << 0555 << 0 << FileError::CannotReplaceSafely;
        QTest::newRow("workbook, longest name")
            << longest.left(250) + ".xlsx" << 0640 << 0755 << 0 << FileError::None;
        QTest::newRow("workbook, new file, longest name")
            << longest.left(250) + ".xlsx" << 0 << 0755 << 0 << FileError::None;
    }
    void failedSavesKeepTheEarlierFile()
    {
        QFETCH(QString, target);
        QFETCH(int, targetMode);
        QFETCH(int, folderMode);
        QFETCH(int, sizeLimit);
        QFETCH(FileError, error);
        if (folderMode == 0555 && ::geteuid() == 0)
            QSKIP("file permissions do not bind root");

        QTemporaryDir dir;
        const QString folder = dir.path() + "/data";
        QVERIFY(QDir().mkpath(folder));
        const QString path = target.startsWith('/') ? target : folder + "/" + target;
        const bool workbook = target.endsWith(".xlsx");
        if (sizeLimit < 0)
        {
            QVERIFY(Save(dir.path() + "/probe.xlsx", Records(), nullptr));
            sizeLimit = int(QFileInfo(dir.path() + "/probe.xlsx").size()) + 1000;
        }
        if (targetMode)
        {
            WriteFile(path, Earlier);
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(targetMode)), 0);
        }
        if (target.endsWith('/'))
            QVERIFY(QDir().mkpath(path));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);

        FileError why = FileError::Other;
        bool saved;
        {
            FileSizeLimit limit(sizeLimit ? rlim_t(sizeLimit) : RLIM_INFINITY);
            saved = Save(path, Records(), &why);
        }
        QCOMPARE(why, error);
        QCOMPARE(saved, error == FileError::None);
        if (saved) // whole
            QVERIFY(workbook ? ReadFile(path).startsWith("PK\x03\x04")
                             : ReadFile(path).count("\r\n") == 336);
        if (targetMode) // replaced whole, or not at all; its mode kept
        {
            QCOMPARE(Mode(path), mode_t(targetMode));
            if (!saved)
                QCOMPARE(ReadFile(path), Earlier);
        }
        // No temporary file is left behind.
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        const QString name = target.startsWith('/') ? QString() : target.section('/', 0, 0);
        QCOMPARE(Others(folder, name), QStringList());
    }

    void saveThroughALinkKeepsLinkAndMode()
    {
        // Results kept elsewhere and linked into the data folder, readable
        // by the owner's group only.
        QTemporaryDir dir;
        const QString target = dir.path() + "/store/results.csv";
        const QString link = dir.path() + "/results.csv";
        QVERIFY(QDir().mkpath(dir.path() + "/store"));
        WriteFile(target, Earlier);
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
        QVERIFY(QFile::link(target, link));

        QVERIFY(CsvFile::Write(QFile::encodeName(link), Records(), Format()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QCOMPARE(ReadFile(target).count("\r\n"), 336);
        QCOMPARE(Mode(target), mode_t(0640));
        QCOMPARE(QDir(dir.path() + "/store").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"results.csv"});
    }

    // A save killed at any moment leaves the old file whole or the new one
    // whole, never a mix, and no temporary file.
    void killedSavesLeaveTheOldFileOrTheNew_data()
    {
        QTest::addColumn<bool>("existed"); // an old file was there
        QTest::addColumn<int>("steps");    // open, first half, second half, commit
        QTest::addColumn<int>("delayUs");  // then killed this long into the next; -1 before it
        QTest::addColumn<QString>("outcome");
        QTest::newRow("before the temporary file") << true << 0 << -1 << "old";
        QTest::newRow("temporary file made, empty") << true << 1 << -1 << "old";
        QTest::newRow("half the text written") << true << 2 << -1 << "old";
        QTest::newRow("all written, not committed") << true << 3 << -1 << "old";
        QTest::newRow("committing, at once") << true << 3 << 0 << "either";
        QTest::newRow("committing, 0.2 ms in") << true << 3 << 200 << "either";
        QTest::newRow("committing, 2 ms in") << true << 3 << 2000 << "either";
        QTest::newRow("committing, 20 ms in") << true << 3 << 20000 << "either";
        QTest::newRow("committed") << true << 4 << -1 << "new";
        QTest::newRow("new file, half written") << false << 2 << -1 << "old";
        QTest::newRow("new file, committing") << false << 3 << 0 << "either";
    }
    void killedSavesLeaveTheOldFileOrTheNew()
    {
        QFETCH(bool, existed);
        QFETCH(int, steps);
        QFETCH(int, delayUs);
        QFETCH(QString, outcome);

        QTemporaryDir dir;
        const QString path = dir.path() + "/results.csv";
        const QByteArray old = existed ? QByteArray(1 << 20, 'o') : QByteArray("<unreadable>");
        if (existed)
            WriteFile(path, old);
        // Large enough that writing and syncing it takes a while.
        QByteArray text(8 << 20, '\0');
        for (int i = 0; i < text.size(); ++i)
            text[i] = "0123456789;\r\n"[i % 13];
        const std::size_t half = std::size_t(text.size() / 2);

        CSafeFile out(QFile::encodeName(path));
        FILE* file = nullptr;
        SteppedChild child(
            {[&] { file = out.Open(); }, [&] { std::fwrite(text.constData(), 1, half, file); },
             [&] { std::fwrite(text.constData() + half, 1, half, file); }, [&] { out.Commit(); }});
        QVERIFY(child.Started());
        for (int i = 0; i < steps; ++i)
            QVERIFY(child.Step());
        if (delayUs >= 0)
        {
            QVERIFY(child.Step(false));
            ::usleep(useconds_t(delayUs));
        }
        child.Kill();

        const QByteArray now = ReadFile(path);
        if (outcome == "old")
            QVERIFY(now == old);
        else if (outcome == "new")
            QVERIFY(now == text);
        else
            QVERIFY2(now == old || now == text, qPrintable(QString::number(now.size())));
        QStringList left = Others(dir.path(), "results.csv");
        // Killed in the instant between linking the new file in under its
        // temporary name and renaming it over the old one: that name holds
        // the whole new file.
        if (outcome == "either" && left.size() == 1 && left[0].startsWith(".parvesta-"))
            QVERIFY(ReadFile(dir.path() + "/" + left.takeFirst()) == text);
        QCOMPARE(left, QStringList());
    }

    // The workbook as another program reads it, on desktops whose numbers
    // have a decimal comma too.
    void workbookReadBackByAnotherReader_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QByteArray>("point"); // the locale's own decimal point
        for (const char* locale : {"C.UTF-8", "de_DE.UTF-8", "ru_RU.UTF-8"})
            QTest::newRow(locale) << QByteArray(locale) << (locale[0] == 'C' ? "."_qba : ","_qba);
    }
    void workbookReadBackByAnotherReader()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QByteArray, point);
        const QByteArray before = std::setlocale(LC_ALL, nullptr);
        const auto restore = qScopeGuard([&] { std::setlocale(LC_ALL, before.constData()); });
        QVERIFY2(std::setlocale(LC_ALL, locale.constData()), locale.constData());

        QTemporaryDir dir;
        const QString path = dir.path() + "/r.xlsx";
        WriteFile(path, Earlier); // replaced only once the workbook is whole
        CTRData data;
        data.Append(CMeasurement{1, 1, 1234, 100, 3, 2});
        data.Append(CMeasurement{1, 2, 1240, 100, 3, 2});
        data.Append(CMeasurement{1, 3, 486, 1000, 3, 3});
        data.Append(CMeasurement{3, 9, 28281, 10, 0, 0});
        data.family = "VX-nn";
        // The transfer the records came from, on a sheet and in the properties.
        XlsxFile::Format format = WorkbookFormat();
        format.downloadSheet = "Download";
        format.downloadTitles = QStringList{"When",  "Station",  "Family",    "Port",    "Device",
                                            "Pages", "Received", "Announced", "Program", "Id"};
        format.complete = "whole";
        format.incomplete = "part";
        // Limits on one unit of group 1 (12.34 below, 12.40 inside, the
        // inches unjudged), and on every unit of group 3.
        format.limits = {Limit{1, Unit::Millimetres, 12.35, 12.5, 12.4},
                         Limit{3, Limit::AnyUnit, {}, 2800.0, {}}};
        format.limitColumn = "Lim";
        format.belowLow = "lo";
        format.aboveHigh = "hi";
        format.limitColumns = QStringList{"Lo", "Hi", "Nom", "P", "F", "Cp", "Cpk"};
        TransferSource source;
        source.downloaded = QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
        source.station = "Лаборатория-2";
        source.port = "COM3";
        source.device = "/dev/ttyUSB0";
        source.pagesReceived = 2;
        source.pagesAnnounced = 4;
        source.complete = false;
        source.program = "Parvesta";
        source.version = "3.0";
        source.transfer = "7f0c";
        QVERIFY(XlsxFile::Write(QFile::encodeName(path), data, format, source));
        // The program's own locale is in force again.
        QCOMPARE(QByteArray(std::localeconv()->decimal_point), point);

        const QJsonObject properties = ReadWorkbook(path, {"--properties"}).object();
        QCOMPARE(properties["title"].toString(), "VX-nn 2026-12-07T10:00:00Z");
        QCOMPARE(properties["creator"].toString(), "Лаборатория-2");
        QCOMPARE(properties["status"].toString(), "part");
        QCOMPARE(properties["description"].toString(), "COM3 /dev/ttyUSB0, 2/4");
        QCOMPARE(properties["keywords"].toString(), "7f0c");
        QCOMPARE(properties["created"].toString(), "2026-12-07T10:00:00");
        const QJsonArray sheets = ReadWorkbook(path);
        QCOMPARE(sheets.size(), 3);
        // A sheet's name and frozen cell, then a text per row: each cell's
        // place, value, type, number format unless General, boldness and
        // colour; the charts' own figures in hidden columns are read below.
        QStringList seen;
        for (const QJsonValue& sheet : sheets)
        {
            seen << sheet["name"].toString() + " frozen " + sheet["frozen"].toString();
            for (const QJsonValue& c : sheet["cells"].toArray())
            {
                if (c["hidden"].toBool())
                    continue;
                const QJsonValue value = c["value"];
                QString cell = c["at"].toString() + " " +
                               (value.isDouble() ? QString::number(value.toDouble(), 'g', 12)
                                                 : value.toString()) +
                               " " + c["type"].toString();
                if (c["format"] != "General")
                    cell += " " + c["format"].toString();
                if (c["bold"].toBool())
                    cell += " bold";
                if (c["colour"].isString() && c["colour"] != "FF000000")
                    cell += " " + c["colour"].toString();
                if (cell.startsWith('A'))
                    seen << cell;
                else
                    seen.last() += ", " + cell;
            }
        }
        // Cp = 0.15 / (6 * 0.0424264068712), Cpk = 0.02 / (3 * 0.0424264068712).
        QCOMPARE(seen, QStringList({"Мера frozen A2",
                                    "A1 G s bold, B1 C s bold, C1 R s bold, D1 U s bold, "
                                    "E1 Lim s bold",
                                    "A2 1 n, B2 1 n, C2 12.34 n 0.00 bold FF9C0006, D2 mm s, "
                                    "E2 lo s",
                                    "A3 1 n, B3 2 n, C3 12.4 n 0.00, D3 mm s",
                                    "A4 1 n, B4 3 n, C4 0.486 n 0.000, D4 in s",
                                    "A5 3 n, B5 9 n, C5 2828.1 n 0.0 bold FF9C0006, D5 m/s s, "
                                    "E5 hi s",
                                    "Stats frozen A2",
                                    "A1 G s bold, B1 U s bold, C1 N s bold, D1 Min s bold, "
                                    "E1 Max s bold, F1 Mean s bold, G1 SD s bold, H1 Lo s bold, "
                                    "I1 Hi s bold, J1 Nom s bold, K1 P s bold, L1 F s bold, "
                                    "M1 Cp s bold, N1 Cpk s bold",
                                    "A2 1 n, B2 mm s, C2 2 n, D2 12.34 n 0.00, E2 12.4 n 0.00, "
                                    "F2 12.37 n 0.00, G2 0.0424264068712 n 0.00, H2 12.35 n, "
                                    "I2 12.5 n, J2 12.4 n, K2 1 n, L2 1 n, "
                                    "M2 0.589255650989 n 0.00, N2 0.157134840264 n 0.00",
                                    "A3 1 n, B3 in s, C3 1 n, D3 0.486 n 0.000, E3 0.486 n 0.000, "
                                    "F3 0.486 n 0.000",
                                    "A4 3 n, B4 m/s s, C4 1 n, D4 2828.1 n 0.0, E4 2828.1 n 0.0, "
                                    "F4 2828.1 n 0.0, I4 2800 n, K4 0 n, L4 1 n",
                                    "Download frozen ",
                                    "A1 When s bold, B1 2026-12-07T10:00:00Z s",
                                    "A2 Station s bold, B2 Лаборатория-2 s",
                                    "A3 Family s bold, B3 VX-nn s",
                                    "A4 Port s bold, B4 COM3 s",
                                    "A5 Device s bold, B5 /dev/ttyUSB0 s",
                                    "A6 Pages s bold, B6 part s",
                                    "A7 Received s bold, B7 2 s",
                                    "A8 Announced s bold, B8 4 s",
                                    "A9 Program s bold, B9 Parvesta 3.0 s",
                                    "A10 Id s bold, B10 7f0c s"}));

        // Each group and unit's readings in cell order, the limits as lines
        // from its first cell to its last.
        QStringList charts;
        for (const QJsonValue& chart : ReadWorkbook(path, {"--charts"}).array())
        {
            QVERIFY(chart["part"].toString().startsWith("xl/charts/"));
            QStringList series;
            for (const QJsonValue& line : chart["series"].toArray())
            {
                QString points = line["name"].toString();
                const QJsonArray x = line["x"].toArray(), y = line["y"].toArray();
                QCOMPARE(x.size(), y.size());
                QCOMPARE(line["cached"].toArray(), y);
                for (int p = 0; p < x.size(); ++p)
                    points += QStringLiteral(" (%1 %2)").arg(x[p].toDouble()).arg(y[p].toDouble());
                series << points;
            }
            charts << chart["title"].toString() + ": " + series.join("; ");
        }
        QCOMPARE(charts, QStringList({"G 1, mm: R (1 12.34) (2 12.4); Lo (1 12.35) (2 12.35); "
                                      "Hi (1 12.5) (2 12.5)",
                                      "G 1, in: R (3 0.486)",
                                      "G 3, m/s: R (9 2828.1); Hi (9 2800) (9 2800)"}));
    }

    // A workbook is made beside its file, never in the system's temporary
    // folder: it is saved where that folder is missing, and a killed save
    // leaves nothing there, and the old file or the whole new one.
    void killedWorkbookSavesLeaveNothingBehind()
    {
        QTemporaryDir dir;
        const QString temporary = dir.path() + "/tmp";
        const QString folder = dir.path() + "/data";
        QVERIFY(QDir().mkpath(temporary) && QDir().mkpath(folder));
        const QString path = folder + "/r.xlsx";
        CTRData data;
        for (int i = 0; i < 6000; ++i)
            data.Append(CMeasurement{1 + i / 100, i % 100, 1000 + i, 10, 3, 2});

        qint64 tookUs;
        {
            Environment missing("TMPDIR", dir.path() + "/missing");
            QElapsedTimer clock;
            clock.start();
            FileError why = FileError::Other;
            QVERIFY(Save(path, data, &why));
            tookUs = clock.nsecsElapsed() / 1000;
            QCOMPARE(why, FileError::None);
        }
        const int whole = CellCount(ReadWorkbook(path));
        QVERIFY(whole > 4 * 6000);

        Environment empty("TMPDIR", temporary);
        for (const double moment : {0.0, 0.2, 0.4, 0.6, 0.8, 0.95, 1.5})
        {
            WriteFile(path, Earlier);
            const pid_t pid = ::fork();
            if (pid == 0)
                ::_exit(Save(path, data, nullptr) ? 0 : 1);
            QVERIFY(pid > 0);
            ::usleep(useconds_t(double(tookUs) * moment));
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);

            if (ReadFile(path) != Earlier)
                QCOMPARE(CellCount(ReadWorkbook(path)), whole);
            QCOMPARE(Others(temporary, QString()), QStringList());
            // Killed in the instant a scratch file of the library, or the new
            // workbook before its rename, had a name of its own.
            QStringList left = Others(folder, "r.xlsx");
            if (left.size() == 1 &&
                (left[0].startsWith("tmp.") || left[0].startsWith(".parvesta-")))
                QFile::remove(folder + "/" + left.takeFirst());
            QCOMPARE(left, QStringList());
        }
    }

    // What the engine's tests cannot make: a file its user may not read.
    // Such a file, or a folder or pipe in its place, is kept; an empty one
    // holds nothing to keep.
    void settingsFound_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // "@folder": a folder in its place
        QTest::addColumn<int>("mode");
        QTest::addColumn<SettingsFile::Found>("found");
        QTest::newRow("empty") << ""_qba << 0644 << SettingsFile::Found::Nothing;
        QTest::newRow("unreadable") << "Quorvanta Settings File\r\nLanguage:Eng\r\n"_qba << 0
                                    << SettingsFile::Found::NotUnderstood;
        QTest::newRow("a folder") << "@folder"_qba << 0755 << SettingsFile::Found::NotUnderstood;
        QTest::newRow("a pipe") << "@pipe"_qba << 0644 << SettingsFile::Found::NotUnderstood;
    }
    void settingsFound()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, mode);
        if (mode == 0 && ::geteuid() == 0)
            QSKIP("file permissions do not bind root");
        QTemporaryDir dir;
        const QString path = dir.path() + "/Settings.ini";
        const QByteArray encoded = QFile::encodeName(path);
        if (bytes == "@folder")
            QVERIFY(QDir().mkpath(path));
        else if (bytes == "@pipe")
            QCOMPARE(::mkfifo(encoded.constData(), 0644), 0);
        else
        {
            WriteFile(path, bytes);
            QCOMPARE(::chmod(encoded.constData(), mode_t(mode)), 0);
        }
        SettingsFile::Values values;
        values.comSpeed = 4800;
        // A pipe is read without waiting for a writer.
        QTEST(SettingsFile::Load(encoded, &values), "found");
        if (!bytes.startsWith('@'))
            return;
        // What is no file is not replaced by one either.
        FileError why = FileError::None;
        QVERIFY(!SettingsFile::Save(encoded, values, &why));
        QCOMPARE(why, FileError::NotAFile);
        QCOMPARE(values.comSpeed, 4800);
        struct stat info;
        QVERIFY(::stat(encoded.constData(), &info) == 0 &&
                (bytes == "@pipe" ? S_ISFIFO(info.st_mode) : S_ISDIR(info.st_mode)));
    }

    // Limits.ini as a user may have edited it, read back as the program
    // writes it; anything not understood is refused whole, so that no limit
    // silently drops out of a job, and the file is left as it is.
    void limitsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<SettingsFile::Found>("found");
        QTest::addColumn<QByteArray>("written"); // the limits read, as Text writes them
        const QByteArray head = LimitsFile::Text({});
        QTest::newRow("edited by hand")
            << "\xEF\xBB\xBF# job 17\n[limits]\n group = 3 ; unit=MM;Low=1.20;High=+1.240\n\n"
               "Group=3;Unit=Inches;Low=.05\r\nGroup=7;High=2e1;Nominal=-0\n"_qba
            << SettingsFile::Found::Read
            << head + "Group=3;Unit=mm;Low=1.2;High=1.24;Nominal=\r\n"
                      "Group=3;Unit=Inches;Low=0.05;High=;Nominal=\r\n"
                      "Group=7;Unit=any;Low=;High=20;Nominal=0\r\n";
        QTest::newRow("no limits") << "[Limits]\r\n"_qba << SettingsFile::Found::Read << head;
        QTest::newRow("empty") << "\r\n"_qba << SettingsFile::Found::Nothing << head;
        const auto refused = [](const char* name, const QByteArray& line) {
            QTest::newRow(name) << "[Limits]\r\nGroup=1;Low=1\r\n" + line + "\r\n"
                                << SettingsFile::Found::NotUnderstood << QByteArray();
        };
        refused("decimal comma", "Group=3;Unit=mm;Low=1,20");
        refused("low above high", "Group=3;Low=2;High=1");
        refused("group 0", "Group=0;Low=1");
        refused("group 257", "Group=257;Low=1");
        refused("no group", "Unit=mm;Low=1");
        refused("unknown unit", "Group=3;Unit=cm;Low=1");
        refused("unknown key", "Group=3;Lo=1");
        refused("key twice", "Group=3;Low=1;Low=2");
        refused("not a number", "Group=3;High=inf");
        refused("same group and unit twice", "Group=1;Unit=any;High=4");
        QTest::newRow("no section")
            << "Group=3;Low=1\r\n"_qba << SettingsFile::Found::NotUnderstood << QByteArray();
    }
    void limitsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        const QString file = dir.path() + "/Limits.ini";
        const QByteArray path = QFile::encodeName(file);
        WriteFile(file, bytes);
        std::vector<Limit> limits(1, Limit{9, Limit::AnyUnit, 1.0, {}, {}});
        QTEST(LimitsFile::Load(path, &limits), "found");
        QCOMPARE(ReadFile(file), bytes);
        if (written.isEmpty())
        {
            QCOMPARE(limits.size(), std::size_t(1)); // untouched
            QCOMPARE(limits[0].group, 9);
            return;
        }
        QCOMPARE(LimitsFile::Text(limits), written);
        QVERIFY(LimitsFile::Save(path, limits));
        QCOMPARE(ReadFile(file), written);
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
