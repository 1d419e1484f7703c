// Saving where saving goes wrong: every failed save leaves the earlier file
// byte for byte as it was and says why. Run as an ordinary user (see
// as-user), so that read-only folders and files hold as they do for users.
#include "CsvFile.h"
#include "SettingsFile.h"
#include "XlsxFile.h"
#include "support/Files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FileError)

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
} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void failedSavesKeepTheEarlierFile_data()
    {
        QTest::addColumn<QString>("target");  // in the test's folder; "@" the device
        QTest::addColumn<int>("targetMode");  // 0: no file there before
        QTest::addColumn<int>("folderMode");  // of the folder holding it
        QTest::addColumn<int>("sizeLimit");   // bytes a file may hold; 0 none
        QTest::addColumn<FileError>("error"); // None: the save works
        QTest::newRow("disk full, writable folder")
            << "r.csv" << 0644 << 0755 << 2000 << FileError::DiskFull;
        QTest::newRow("disk full, read-only folder")
            << "r.csv" << 0644 << 0555 << 2000 << FileError::DiskFull;
        QTest::newRow("read-only folder, room enough: written in place")
            << "r.csv" << 0640 << 0555 << 0 << FileError::None;
        QTest::newRow("read-only folder, new file")
            << "new.csv" << 0 << 0555 << 0 << FileError::NoPermission;
        QTest::newRow("write-protected file")
            << "r.csv" << 0444 << 0755 << 0 << FileError::WriteProtected;
        QTest::newRow("folder gone") << "gone/r.csv" << 0 << 0755 << 0 << FileError::FolderMissing;
        QTest::newRow("a folder in the file's place")
            << "r.csv/" << 0 << 0755 << 0 << FileError::NotAFile;
        QTest::newRow("device that is full") << "@" << 0 << 0755 << 0 << FileError::DiskFull;
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
        const QString earlier = folder + "/r.csv";
        if (targetMode)
        {
            WriteFile(earlier, Earlier);
            QCOMPARE(::chmod(QFile::encodeName(earlier).constData(), mode_t(targetMode)), 0);
        }
        if (target.endsWith('/'))
            QVERIFY(QDir().mkpath(folder + "/" + target));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
        const QString path = target == "@" ? "/dev/full" : folder + "/" + target;

        FileError why = FileError::Other;
        bool saved;
        {
            FileSizeLimit limit(sizeLimit ? rlim_t(sizeLimit) : RLIM_INFINITY);
            saved = CsvFile::Write(QFile::encodeName(path), Records(), Format(), &why);
        }
        QCOMPARE(why, error);
        QCOMPARE(saved, error == FileError::None);
        if (targetMode) // replaced whole, or not at all; its mode kept
        {
            QCOMPARE(Mode(earlier), mode_t(targetMode));
            QVERIFY(saved ? ReadFile(earlier).count("\r\n") == 336 : ReadFile(earlier) == Earlier);
        }
        // No temporary file is left behind.
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QStringList left =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeAll("r.csv");
        QCOMPARE(left, QStringList());
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

    // The workbook as another program reads it: numbers stored as numbers
    // with the readings' decimals, a bold and frozen header, the statistics.
    void workbookReadBackByAnotherReader()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/r.xlsx";
        WriteFile(path, Earlier); // replaced only once the workbook is whole
        CTRData data;
        data.Append(CMeasurement{1, 1, 1234, 100, 3, 2});
        data.Append(CMeasurement{1, 2, 1240, 100, 3, 2});
        data.Append(CMeasurement{1, 3, 486, 1000, 3, 3});
        data.Append(CMeasurement{3, 9, 5920, 1, 0, 0});
        XlsxFile::Format format;
        format.measurementsSheet = "Мера";
        format.statisticsSheet = "Stats";
        format.columns = QStringList{"G", "C", "R", "U"};
        format.statisticsColumns = QStringList{"G", "U", "N", "Min", "Max", "Mean", "SD"};
        format.units[0] = "m/s";
        format.units[2] = "mm";
        format.units[3] = "in";
        QVERIFY(XlsxFile::Write(QFile::encodeName(path), data, format));

        QProcess reader;
        // The Python found when the build was configured: one with openpyxl.
        reader.start(PARVESTA_PYTHON, {PARVESTA_SOURCE_DIR "/tests/read-workbook.py", path});
        QVERIFY(reader.waitForFinished(20000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonArray sheets = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(sheets.size(), 2);
        // A sheet's name and frozen cell, then a text per row: each cell's
        // place, value, type, number format unless General, and boldness.
        QStringList seen;
        for (const QJsonValue& sheet : sheets)
        {
            seen << sheet["name"].toString() + " frozen " + sheet["frozen"].toString();
            for (const QJsonValue& c : sheet["cells"].toArray())
            {
                const QJsonValue value = c["value"];
                QString cell = c["at"].toString() + " " +
                               (value.isDouble() ? QString::number(value.toDouble(), 'g', 12)
                                                 : value.toString()) +
                               " " + c["type"].toString();
                if (c["format"] != "General")
                    cell += " " + c["format"].toString();
                if (c["bold"].toBool())
                    cell += " bold";
                if (cell.startsWith('A'))
                    seen << cell;
                else
                    seen.last() += ", " + cell;
            }
        }
        QCOMPARE(seen, QStringList(
                           {"Мера frozen A2", "A1 G s bold, B1 C s bold, C1 R s bold, D1 U s bold",
                            "A2 1 n, B2 1 n, C2 12.34 n 0.00, D2 mm s",
                            "A3 1 n, B3 2 n, C3 12.4 n 0.00, D3 mm s",
                            "A4 1 n, B4 3 n, C4 0.486 n 0.000, D4 in s",
                            "A5 3 n, B5 9 n, C5 5920 n 0, D5 m/s s", "Stats frozen A2",
                            "A1 G s bold, B1 U s bold, C1 N s bold, D1 Min s bold, "
                            "E1 Max s bold, F1 Mean s bold, G1 SD s bold",
                            "A2 1 n, B2 mm s, C2 2 n, D2 12.34 n 0.00, E2 12.4 n 0.00, "
                            "F2 12.37 n 0.00, G2 0.0424264068712 n 0.00",
                            "A3 1 n, B3 in s, C3 1 n, D3 0.486 n 0.000, E3 0.486 n 0.000, "
                            "F3 0.486 n 0.000",
                            "A4 3 n, B4 m/s s, C4 1 n, D4 5920 n 0, E4 5920 n 0, F4 5920 n 0"}));
    }

    void settingsThatAreNotAFile()
    {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.path() + "/Settings.ini");
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        SettingsFile::Values values;
        values.comSpeed = 4800;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!SettingsFile::Load(fifo, &values)); // without waiting for a writer
        FileError why = FileError::None;
        QVERIFY(!SettingsFile::Save(fifo, values, &why));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(why, FileError::NotAFile);
        QCOMPARE(values.comSpeed, 4800);
        struct stat info;
        QVERIFY(::stat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
