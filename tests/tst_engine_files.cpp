// The engine's files: Settings.ini beside the executable and the CSV export.
#include "CQuorvanta.h"
#include "FilePaths.h"
#include "support/Files.h"
#include "support/Records.h"
#include "support/Settings.h"

#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace
{
QString AppDir()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

} // namespace

class TestEngineFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(SettingsPath()); }
    void cleanup() { QFile::remove(SettingsPath()); }

    void readingSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("port");         // 0: no fixed port
        QTest::addColumn<QString>("dataPath"); // empty: the default folder
        QTest::addColumn<int>("virtualPort");  // 0: no virtual device

        const QByteArray head = "Quorvanta Settings File\r\n";
        QTest::newRow("no settings file") << QByteArray() << 1 << 38400 << 0 << "" << 0;
        QTest::newRow("all set") << head + "Language:Rus\r\nVersion:9.9\r\nCOMSpeed:9600\r\n"
                                           "COMPort:COM5\r\nDataPath:C:/Tools/Data/\r\n"
                                           "VirtualDevice:COM12\r\n"
                                 << 0 << 9600 << 5 << "C:/Tools/Data/" << 12;
        QTest::newRow("lower-case com, bare number")
            << head + "Language:Eng\r\nVersion:\r\nCOMSpeed:x\r\nCOMPort:com5\r\nDataPath:\r\n"
                      "VirtualDevice:7\r\n"
            << 1 << 38400 << 5 << "" << 7;
        QTest::newRow("no port: Com5, COM0, No")
            << head + "Language:eng\r\nVersion:3.0\r\nCOMSpeed:0\r\nCOMPort:Com5\r\n"
                      "DataPath:\r\nVirtualDevice:COM0\r\n"
            << 1 << 38400 << 0 << "" << 0;
        QTest::newRow("positions, not keys")
            << head + "Tongue:Rus\r\nV:1\r\nSpeed:  -300\r\nPort=COM9:COM4\r\n"
                      "Folder:D:\\Results\\\r\n#VirtualDevice#COM3\r\n"
            << 0 << -300 << 4 << "D:\\Results\\" << 3;
        QTest::newRow("LF ends, short file")
            << QByteArray("Quorvanta Settings File\nLanguage:Rus\nVersion:3.0\nCOMSpeed:4800\n")
            << 0 << 4800 << 0 << "" << 0;
        QTest::newRow("wrong header")
            << "Quorvanta Settings\r\nLanguage:Rus\r\n"_qba << 1 << 38400 << 0 << "" << 0;
        // However long a line, it is one setting: its tail is not the next one.
        QTest::newRow("long line") << head + "Language:Rus\r\nVersion:" + QByteArray(300, 'v') +
                                          "COM:1\r\nCOMSpeed:2400\r\n"
                                   << 0 << 2400 << 0 << "" << 0;
    }
    void readingSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, port);
        QFETCH(QString, dataPath);
        QFETCH(int, virtualPort);
        if (!file.isEmpty())
            WriteFile(SettingsPath(), file);
        // Started from another folder, it stays there: names on a command
        // line are the caller's.
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const auto engine = std::make_unique<CQuorvanta>();
        const QString after = QDir::currentPath();
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(QDir(after).canonicalPath(), QDir(elsewhere.path()).canonicalPath());
        // The system's, whatever the file says (see tst_engine_files_comma).
        QCOMPARE(engine->decimalSeparator, qEnvironmentVariable("PARVESTA_EXPECT_SEPARATOR", "."));
        QTEST(engine->language, "language");
        QTEST(engine->comSpeed, "speed");
        QCOMPARE(engine->fixedPort ? engine->comPort : 0, port);
        QCOMPARE(engine->dataPath, dataPath.isEmpty() ? AppDir() + "Data/" : dataPath);
        QCOMPARE(engine->virtualDevice, virtualPort != 0);
        QCOMPARE(engine->virtualPort, virtualPort);
        QCOMPARE(engine->version, QStringLiteral("3.0"));
    }

    void writingSettingsAtExit()
    {
        {
            const auto engine = std::make_unique<CQuorvanta>();
            engine->language = 0;
            engine->comSpeed = 19200;
            engine->fixedPort = true;
            engine->comPort = 7;
            engine->dataPath = QStringLiteral("/home/tech/Измерения/");
            engine->virtualDevice = true;
            engine->virtualPort = 12;
        }
        QCOMPARE(ReadFile(SettingsPath()),
                 SevenLines("19200", "COM7", "/home/tech/Измерения/", "COM12", "Rus"));
        const auto again = std::make_unique<CQuorvanta>();
        QCOMPARE(again->comPort, 7);
        QCOMPARE(again->dataPath, QStringLiteral("/home/tech/Измерения/"));
    }

    // The user's file, as written by hand or by another program: read
    // with its values and written back in the program's own form when it
    // can be understood, otherwise kept byte for byte and said so.
    void settingsKeptWhenNotUnderstood_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written"); // at exit; empty: the file as it was
        const QByteArray values = "\r\nLanguage:Rus\r\nVersion:2.1\r\nCOMSpeed:9600\r\n"
                                  "COMPort:COM3\r\nDataPath:/srv/data/\r\nVirtualDevice:No\r\n";
        const QByteArray own = SevenLines("9600", "COM3", "/srv/data/", "No", "Rus");
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBFQuorvanta Settings File" + values << own;
        QTest::newRow("blanks and letter case") << " \tQUORVANTA settings file \t" + values << own;
        QTest::newRow("other words") << "Quorvanta Settings" + values << QByteArray();
        QTest::newRow("mark inside the line")
            << "Quorvanta \xEF\xBB\xBFSettings File" + values << QByteArray();
        QTest::newRow("another program's file")
            << "[Serial]\nport=COM3\nspeed=9600\n"_qba << QByteArray();
        QTest::newRow("not text") << QByteArray("\x00\x01\xff\xfe\x00\r\n", 7) << QByteArray();
    }
    void settingsKeptWhenNotUnderstood()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        WriteFile(SettingsPath(), file);
        QString savedIn;
        {
            const auto engine = std::make_unique<CQuorvanta>();
            if (written.isEmpty())
            {
                QCOMPARE(engine->SettingsNotice(),
                         QStringLiteral("Settings.ini could not be understood; it is kept as it "
                                        "is and the defaults are used."));
                QCOMPARE(engine->comSpeed, 38400);
                QCOMPARE(engine->dataPath, AppDir() + "Data/");
            }
            else
            {
                QCOMPARE(engine->SettingsNotice(), QString());
                QCOMPARE(engine->comSpeed, 9600);
                QCOMPARE(engine->dataPath, QStringLiteral("/srv/data/"));
            }
            // A save moves the data folder, which goes to the file at exit.
            engine->data.MakeVirtualData();
            QTemporaryDir dir;
            savedIn = dir.path() + "/";
            QVERIFY(engine->WriteCsv(QFile::encodeName(savedIn + "r.csv").constData()));
        }
        written.replace("DataPath:/srv/data/", "DataPath:" + QFile::encodeName(savedIn));
        QCOMPARE(ReadFile(SettingsPath()), written.isEmpty() ? file : written);
    }

    void dataFoldersSettingsCannotHoldAsText()
    {
        const QByteArray latin1 = "/mnt/lat\xe9/";
        WriteFile(SettingsPath(),
                  SevenLines("38400", "Any", "@").replace("DataPath:@", "DataPath:" + latin1));
        const QByteArray before = ReadFile(SettingsPath());
        std::make_unique<CQuorvanta>().reset(); // read, and written back byte for byte
        QCOMPARE(ReadFile(SettingsPath()), before);
        QTemporaryDir dir;
        const QString broken = dir.path() + "/a\nb";
        QVERIFY(QDir().mkpath(broken));
        {
            const auto engine = std::make_unique<CQuorvanta>();
            // The dialog gets the name back in its text form; the file goes
            // to the folder's own bytes.
            QCOMPARE(engine->EncodePath(engine->dataPath + "r.csv"), latin1 + "r.csv");
            QVERIFY(engine->DataPathKept());
            // A save into a folder whose name holds a line break: that folder
            // cannot be stored, so the one before stays in Settings.ini.
            engine->data.MakeVirtualData();
            QVERIFY(engine->WriteCsv(QFile::encodeName(broken + "/r.csv").constData()));
            QCOMPARE(engine->dataPath, broken + "/");
            QVERIFY(!engine->DataPathKept());
        }
        QCOMPARE(ReadFile(SettingsPath()), before);
    }

    // A data folder Settings.ini names without its full path lies beside the
    // program, from whatever folder the program was started.
    void relativeDataFolderBesideTheProgram()
    {
        QVERIFY(QDir().mkpath(AppDir() + "Results"));
        WriteFile(SettingsPath(), SevenLines("38400", "Any", "Results/"));
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const auto engine = std::make_unique<CQuorvanta>();
        engine->writesSettings = false;
        const QString folder = engine->SaveFolder();
        QVERIFY(QDir::setCurrent(before));
        QDir(AppDir() + "Results").removeRecursively();
        QCOMPARE(folder, AppDir() + "Results/");
    }

    // The decimal comma and the Russian texts: tst_translations.
    void csvFile()
    {
        QTemporaryDir dir;
        const auto engine = std::make_unique<CQuorvanta>();
        engine->decimalSeparator = ".";
        const QByteArray header = "\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n";
        const QByteArray empty = (dir.path() + "/empty.csv").toLocal8Bit();
        QVERIFY(engine->WriteCsv(empty.constData()));
        QCOMPARE(ReadFile(empty), header);

        engine->data.Append(Record(2, 5, 1234, 100, 2));
        engine->data.Append(Record(1, 1, 1234, 1, 0));
        engine->data.Append(Record(1, 2, 1234, 10, 1));
        engine->data.Append(Record(4, 65535, 1234, 1000, 7)); // group 3 stays empty
        engine->unsavedData = true;
        QVERIFY(QDir().mkpath(dir.path() + "/out"));
        const QByteArray path = (dir.path() + "/out/a.csv").toLocal8Bit();
        QVERIFY(engine->WriteCsv(path.constData()));
        QCOMPARE(ReadFile(path), header + "1;1;1234;\"m/s\"\r\n1;2;123.4;\"us\"\r\n"
                                          "2;5;12.34;\"mm\"\r\n4;65535;1.234;\"\"\r\n");
        QCOMPARE(engine->dataPath, dir.path() + "/out/");
        QVERIFY(!engine->unsavedData);
        QCOMPARE(QDir(dir.path() + "/out").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"a.csv"});
    }

    void suggestedNamesFillGaps()
    {
        QTemporaryDir dir;
        const auto engine = std::make_unique<CQuorvanta>();
        engine->dataPath = dir.path() + "/";
        QCOMPARE(engine->SuggestFileName(), QStringLiteral("results1.csv"));
        WriteFile(dir.path() + "/results1.csv", "x");
        WriteFile(dir.path() + "/results3.csv", "x");
        QCOMPARE(engine->SuggestFileName(), QStringLiteral("results2.csv"));
    }

    void failedSavesClaimNothing()
    {
        QTemporaryDir dir;
        const auto engine = std::make_unique<CQuorvanta>();
        engine->data.MakeVirtualData();
        engine->unsavedData = true;
        engine->dataPath = QStringLiteral("/chosen/by/dialog/");
        const QString earlier = dir.path() + "/results1.csv";
        WriteFile(earlier, "earlier results\r\n");

        {
            FileSizeLimit limit(1000); // the disk fills up part way
            QVERIFY(!engine->WriteCsv(earlier.toLocal8Bit().constData()));
        }
        QVERIFY2(engine->SaveErrorText().contains("disk is full"),
                 qPrintable(engine->SaveErrorText()));
        QVERIFY(engine->unsavedData);
        QCOMPARE(engine->dataPath, QStringLiteral("/chosen/by/dialog/"));
        QCOMPARE(ReadFile(earlier), QByteArray("earlier results\r\n"));

        // With room again the same save replaces the earlier file.
        QVERIFY(engine->WriteCsv(earlier.toLocal8Bit().constData()));
        QCOMPARE(ReadFile(earlier).count("\r\n"), 336);
        QVERIFY(engine->SaveErrorText().isEmpty());

        // A folder named in Latin-1 comes back from the save dialog with
        // stand-ins for its bytes: the message says so, not "no such folder".
        const QByteArray latin1 = QFile::encodeName(dir.path()) + "/Messwerte f\xfcr Kunde";
        QVERIFY(::mkdir(latin1.constData(), 0755) == 0);
        const QString shown = QFile::decodeName(latin1) + "/r.csv";
        QVERIFY(!engine->WriteCsv(engine->EncodePath(shown).constData()));
        QVERIFY2(engine->SaveErrorText().contains("not UTF-8"),
                 qPrintable(engine->SaveErrorText()));
        ::rmdir(latin1.constData()); // a name Qt cannot spell, so not removed with dir
    }

    void directoryOf()
    {
        QCOMPARE(DirectoryOf("C:\\Tools\\p.exe"), QStringLiteral("C:\\Tools\\"));
        QCOMPARE(DirectoryOf("a.csv"), QString());
        const QByteArray deep = "/" + QByteArray(3000, 'd') + "/ф.csv";
        QCOMPARE(DirectoryOf(deep.constData()), QString::fromUtf8(deep.left(3002)));
    }
};

QTEST_GUILESS_MAIN(TestEngineFiles)
#include "tst_engine_files.moc"
