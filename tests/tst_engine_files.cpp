// The engine's files: Settings.ini beside the executable and the CSV export.
#include "engine/CQuorvanta.h"
#include "support/Records.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
QString AppDir()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString SettingsPath()
{
    return AppDir() + QStringLiteral("Settings.ini");
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

// Keeps the file-size limit low for as long as it lives, the way a full
// disk refuses bytes part way through a file.
struct FileSizeLimit
{
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit low = saved;
        low.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};
} // namespace

class TestEngineFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(SettingsPath()); }
    void cleanup() { QFile::remove(SettingsPath()); }

    void defaultsWithoutSettingsFile()
    {
        CQuorvanta engine;
        QCOMPARE(engine.appDir, AppDir());
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), AppDir());
        QCOMPARE(engine.language, 1);
        QCOMPARE(engine.comSpeed, 38400);
        QCOMPARE(engine.fixedPort, false);
        QCOMPARE(engine.comPort, 0);
        QCOMPARE(engine.virtualDevice, false);
        QCOMPARE(engine.virtualPort, 0);
        QCOMPARE(engine.version, QStringLiteral("3.0"));
        QCOMPARE(engine.title, QStringLiteral("Parvesta 3.0"));
        QCOMPARE(engine.dataPath, AppDir() + QStringLiteral("Data/"));
        QCOMPARE(engine.deviceFound, false);
        QCOMPARE(engine.unsavedData, false);
        QCOMPARE(engine.currentLink, nullptr);
        QCOMPARE(engine.linkCount, 0);
        QCOMPARE(engine.csvHeader, QStringLiteral("\"Group\";\"Cell\";\"Result\";\"Unit\""));
        QCOMPARE(engine.decimalSeparator,
                 qEnvironmentVariable("PARVESTA_EXPECT_SEPARATOR", QStringLiteral(".")));

        const QStringList lines = engine.msgInstructions.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines[2], QStringLiteral("In SETUP menu select "));
        QVERIFY(lines[5].isEmpty() && lines[10].isEmpty());
        QCOMPARE(lines[6], QStringLiteral("TR-620(\u041C)"));
        QCOMPARE(lines[12], QStringLiteral("Connect the device to PC with the USB cable."));
    }

    void readingSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("dataPath"); // empty: the default folder
        QTest::addColumn<bool>("virtualOn");
        QTest::addColumn<int>("virtualPort");

        const QByteArray head = "Quorvanta Settings File\r\n";
        QTest::newRow("all set")
            << head + "Language:Rus\r\nVersion:9.9\r\nCOMSpeed:9600\r\nCOMPort:COM5\r\n"
                      "DataPath:/srv/results/\r\nVirtualDevice:COM12\r\n"
            << 0 << 9600 << true << 5 << "/srv/results/" << true << 12;
        QTest::newRow("lower-case com and bare number")
            << head + "Language:Eng\r\nVersion:\r\nCOMSpeed:115200\r\nCOMPort:com5\r\n"
                      "DataPath:\r\nVirtualDevice:7\r\n"
            << 1 << 115200 << true << 5 << "" << true << 7;
        QTest::newRow("mixed case, zero and Any are no port")
            << head + "Language:eng\r\nVersion:3.0\r\nCOMSpeed:fast\r\nCOMPort:Com5\r\n"
                      "DataPath:\r\nVirtualDevice:No\r\n"
            << 1 << 38400 << false << 0 << "" << false << 0;
        QTest::newRow("COM0, speed 0")
            << head + "Language:x\r\nVersion:3.0\r\nCOMSpeed:0\r\nCOMPort:COM0\r\n"
                      "DataPath:\r\nVirtualDevice:COM0\r\n"
            << 1 << 38400 << false << 0 << "" << false << 0;
        QTest::newRow("keys are not read, positions are")
            << head + "Tongue:Rus\r\nV:1\r\nSpeed:  -300\r\nPort=COM9:COM4\r\n"
                      "Folder:D:\\Results\\\r\n#VirtualDevice#COM3\r\n"
            << 0 << -300 << true << 4 << "D:\\Results\\" << true << 3;
        QTest::newRow("LF line ends and a short file")
            << QByteArray("Quorvanta Settings File\nLanguage:Rus\nVersion:3.0\nCOMSpeed:4800\n")
            << 0 << 4800 << false << 0 << "" << false << 0;
        QTest::newRow("data path keeps its colons and slashes")
            << head + "Language:Eng\r\nVersion:3.0\r\nCOMSpeed:38400\r\nCOMPort:Any\r\n"
                      "DataPath:C:/Tools/Data/\r\nVirtualDevice:No\r\n"
            << 1 << 38400 << false << 0 << "C:/Tools/Data/" << false << 0;
        QTest::newRow("line without delimiter gives empty values")
            << head + "LanguageRus\r\nVersion:3.0\r\nCOMSpeed9600\r\nCOMPortCOM5\r\n"
                      "DataPath\r\nVirtualDeviceCOM2\r\n"
            << 1 << 38400 << false << 0 << "" << false << 0;
        QTest::newRow("wrong header changes nothing")
            << QByteArray("quorvanta settings file\r\nLanguage:Rus\r\nVersion:3.0\r\n"
                          "COMSpeed:9600\r\nCOMPort:COM5\r\nDataPath:/x/\r\nVirtualDevice:COM2\r\n")
            << 1 << 38400 << false << 0 << "" << false << 0;
        QTest::newRow("byte-order mark before header")
            << QByteArray("\xEF\xBB\xBFQuorvanta Settings File\r\nLanguage:Rus\r\n") << 1 << 38400
            << false << 0 << "" << false << 0;
        QTest::newRow("empty file") << QByteArray() << 1 << 38400 << false << 0 << "" << false
                                    << 0;
        // A line longer than one read is cut, and its tail is read as the
        // next line: here the tail takes the COMSpeed position.
        QTest::newRow("overlong line")
            << head + "Language:Rus\r\nVersion:" + QByteArray(246, 'v') + "COM:2400\r\n"
            << 0 << 2400 << false << 0 << "" << false << 0;
    }
    void readingSettings()
    {
        QFETCH(QByteArray, file);
        WriteFile(SettingsPath(), file);
        CQuorvanta engine;
        QTEST(engine.language, "language");
        QTEST(engine.comSpeed, "speed");
        QTEST(engine.fixedPort, "fixed");
        QTEST(engine.comPort, "port");
        QFETCH(QString, dataPath);
        QCOMPARE(engine.dataPath, dataPath.isEmpty() ? AppDir() + "Data/" : dataPath);
        QTEST(engine.virtualDevice, "virtualOn");
        QTEST(engine.virtualPort, "virtualPort");
        QCOMPARE(engine.version, QStringLiteral("3.0"));
    }

    void writingSettingsAtExit()
    {
        {
            CQuorvanta engine;
            engine.language = 0;
            engine.comSpeed = 19200;
            engine.fixedPort = true;
            engine.comPort = 7;
            engine.dataPath = QStringLiteral("/home/tech/Измерения/");
            engine.virtualDevice = true;
            engine.virtualPort = 12;
        }
        const QByteArray expected = "Quorvanta Settings File\r\n"
                                    "Language:Rus\r\n"
                                    "Version:3.0\r\n"
                                    "COMSpeed:19200\r\n"
                                    "COMPort:COM7\r\n"
                                    "DataPath:/home/tech/\xD0\x98\xD0\xB7\xD0\xBC\xD0\xB5\xD1\x80"
                                    "\xD0\xB5\xD0\xBD\xD0\xB8\xD1\x8F/\r\n"
                                    "VirtualDevice:COM12\r\n";
        QCOMPARE(ReadFile(SettingsPath()), expected);

        CQuorvanta again;
        QCOMPARE(again.language, 0);
        QCOMPARE(again.comSpeed, 19200);
        QVERIFY(again.fixedPort);
        QCOMPARE(again.comPort, 7);
        QCOMPARE(again.dataPath, QStringLiteral("/home/tech/Измерения/"));
        QVERIFY(again.virtualDevice);
        QCOMPARE(again.virtualPort, 12);
    }

    void defaultsAreWrittenOverAForeignFile()
    {
        WriteFile(SettingsPath(), "not ours\r\n");
        {
            CQuorvanta engine;
        }
        QCOMPARE(ReadFile(SettingsPath()),
                 QByteArray("Quorvanta Settings File\r\nLanguage:Eng\r\nVersion:3.0\r\n"
                            "COMSpeed:38400\r\nCOMPort:Any\r\nDataPath:") +
                     AppDir().toLocal8Bit() + "Data/\r\nVirtualDevice:No\r\n");
    }

    void settingsThatCannotBeWritten()
    {
        CQuorvanta engine;
        // A folder where the file should be: nothing can be written, nothing breaks.
        QVERIFY(QDir().mkpath(SettingsPath()));
        QVERIFY(!engine.SaveSettings());
        QVERIFY(QDir().rmdir(SettingsPath()));

        // A write that fails part way leaves the previous file as it was.
        const QByteArray previous = "Quorvanta Settings File\r\nLanguage:Rus\r\n";
        WriteFile(SettingsPath(), previous);
        {
            FileSizeLimit limit(40);
            QVERIFY(!engine.SaveSettings());
        }
        QCOMPARE(ReadFile(SettingsPath()), previous);
        QCOMPARE(QDir(AppDir()).entryList(QStringList() << ".Settings.ini*", QDir::Hidden |
                                                                              QDir::Files),
                 QStringList());
        QVERIFY(engine.SaveSettings());
        QVERIFY(ReadFile(SettingsPath()).startsWith("Quorvanta Settings File\r\nLanguage:Eng"));
    }

    void csvFiles_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray header = "\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n";
        QTest::newRow("point") << "." << header + "1;1;1234;\"m/s\"\r\n"
                                                  "1;2;123.4;\"us\"\r\n"
                                                  "2;5;12.34;\"mm\"\r\n"
                                                  "2;5;1.234;\"Inches\"\r\n"
                                                  "4;65535;49.36;\"\"\r\n";
        QTest::newRow("comma") << "," << header + "1;1;1234;\"m/s\"\r\n"
                                                  "1;2;123,4;\"us\"\r\n"
                                                  "2;5;12,34;\"mm\"\r\n"
                                                  "2;5;1,234;\"Inches\"\r\n"
                                                  "4;65535;49,36;\"\"\r\n";
    }
    void csvFiles()
    {
        QFETCH(QString, separator);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        CQuorvanta engine;
        engine.decimalSeparator = separator;
        engine.data.Append(Record(2, 5, 1234, 100, 2));
        engine.data.Append(Record(1, 1, 1234, 1, 0));
        engine.data.Append(Record(1, 2, 1234, 10, 1));
        engine.data.Append(Record(2, 5, 1234, 1000, 3));
        engine.data.Append(Record(4, 65535, 1234, 25, 7)); // group 3 stays empty
        engine.unsavedData = true;

        const QByteArray path = (dir.path() + "/out/a.csv").toLocal8Bit();
        QVERIFY(QDir().mkpath(dir.path() + "/out"));
        QVERIFY(engine.WriteCsv(path.constData()));
        QCOMPARE(ReadFile(QString::fromLocal8Bit(path)), expected);
        QCOMPARE(engine.dataPath, dir.path() + "/out/");
        QVERIFY(!engine.unsavedData);
        QCOMPARE(QFileInfo(QString::fromLocal8Bit(path)).permissions() & QFile::ReadOwner,
                 QFile::ReadOwner);
        QCOMPARE(QDir(dir.path() + "/out").entryList(QDir::Files | QDir::Hidden),
                 QStringList() << "a.csv");
    }

    void csvWithoutRecordsHoldsTheHeader()
    {
        QTemporaryDir dir;
        CQuorvanta engine;
        const QByteArray path = (dir.path() + "/empty.csv").toLocal8Bit();
        QVERIFY(engine.WriteCsv(path.constData()));
        QCOMPARE(ReadFile(QString::fromLocal8Bit(path)),
                 QByteArray("\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n"));
    }

    void suggestedNamesFillGaps()
    {
        QTemporaryDir dir;
        CQuorvanta engine;
        engine.dataPath = dir.path() + "/";
        QCOMPARE(engine.SuggestFileName(), QStringLiteral("results1.csv"));
        WriteFile(dir.path() + "/results1.csv", "x");
        WriteFile(dir.path() + "/results3.csv", "x");
        QCOMPARE(engine.SuggestFileName(), QStringLiteral("results2.csv"));
        WriteFile(dir.path() + "/results2.csv", "x");
        QCOMPARE(engine.SuggestFileName(), QStringLiteral("results4.csv"));
        QCOMPARE(UniqueFileName(dir.path() + "/", "results", ".txt"),
                 QStringLiteral("results1.txt"));
        engine.dataPath = dir.path() + "/missing/";
        QCOMPARE(engine.SuggestFileName(), QStringLiteral("results1.csv"));
    }

    void failedSavesClaimNothing()
    {
        QTemporaryDir dir;
        CQuorvanta engine;
        engine.data.MakeVirtualData();
        engine.unsavedData = true;
        engine.dataPath = QStringLiteral("/chosen/by/dialog/");

        // A folder that does not exist.
        const QByteArray missing = (dir.path() + "/no/such/folder/r.csv").toLocal8Bit();
        QVERIFY(!engine.WriteCsv(missing.constData()));
        QVERIFY(engine.unsavedData);
        QCOMPARE(engine.dataPath, QStringLiteral("/chosen/by/dialog/"));

        // A device that takes no bytes, and stays the device it was.
        QVERIFY(!engine.WriteCsv("/dev/full"));
        QVERIFY(engine.unsavedData);
        QCOMPARE(engine.dataPath, QStringLiteral("/chosen/by/dialog/"));
        struct stat info;
        QCOMPARE(stat("/dev/full", &info), 0);
        QVERIFY(S_ISCHR(info.st_mode));

        // A disk that fills up part way: the earlier file survives untouched.
        const QString earlier = dir.path() + "/results1.csv";
        WriteFile(earlier, "earlier results\r\n");
        {
            FileSizeLimit limit(1000);
            QVERIFY(!engine.WriteCsv(earlier.toLocal8Bit().constData()));
        }
        QCOMPARE(ReadFile(earlier), QByteArray("earlier results\r\n"));
        QVERIFY(engine.unsavedData);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList() << "results1.csv");

        // Once there is room again the same save succeeds and replaces it.
        QVERIFY(engine.WriteCsv(earlier.toLocal8Bit().constData()));
        QVERIFY(!engine.unsavedData);
        QCOMPARE(ReadFile(earlier).count("\r\n"), 336);
    }

    void directoryOf_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("forward slashes") << QByteArray("D:/Out/a.csv") << "D:/Out/";
        QTest::newRow("backslashes") << QByteArray("C:\\Tools\\p.exe") << "C:\\Tools\\";
        QTest::newRow("unix") << QByteArray("/opt/parvesta/parvesta") << "/opt/parvesta/";
        QTest::newRow("no folder") << QByteArray("a.csv") << "";
        QTest::newRow("local encoding") << QString("/home/техник/a.csv").toLocal8Bit()
                                        << "/home/техник/";
        const QByteArray deep = "/" + QByteArray(3000, 'd') + "/" + QByteArray(1500, 'f') + ".csv";
        QTest::newRow("longer than any fixed limit")
            << deep << QString::fromLatin1("/" + QByteArray(3000, 'd') + "/");
    }
    void directoryOf()
    {
        QFETCH(QByteArray, path);
        QTEST(DirectoryOf(path.constData()), "folder");
    }
};

QTEST_GUILESS_MAIN(TestEngineFiles)
#include "tst_engine_files.moc"
