// Saving where saving goes wrong: every failed save leaves the earlier file
// byte for byte as it was and says why. Run as an ordinary user (see
// as-user), so that read-only folders and files hold as they do for users.
#include "CsvFile.h"
#include "SettingsFile.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FileError)

namespace
{
const QByteArray Earlier = "\"Group\";\"Cell\";\"Result\";\"Unit\"\r\n1;1;5,5;\"mm\"\r\n";

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

mode_t Mode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Keeps the file-size limit low while it lives, the way a full disk refuses
// bytes part way through a file.
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
        QTest::addColumn<QString>("target");    // in the test's folder; "@" the device
        QTest::addColumn<int>("targetMode");    // 0: no file there before
        QTest::addColumn<int>("folderMode");    // of the folder holding it
        QTest::addColumn<int>("sizeLimit");     // bytes a file may hold; 0 none
        QTest::addColumn<bool>("ordinaryUser"); // permissions must bind
        QTest::addColumn<FileError>("error");   // None: the save works
        QTest::newRow("disk full, writable folder")
            << "r.csv" << 0644 << 0755 << 2000 << false << FileError::DiskFull;
        QTest::newRow("disk full, read-only folder")
            << "r.csv" << 0644 << 0555 << 2000 << true << FileError::DiskFull;
        QTest::newRow("read-only folder, room enough: written in place")
            << "r.csv" << 0640 << 0555 << 0 << true << FileError::None;
        QTest::newRow("read-only folder, new file")
            << "new.csv" << 0 << 0555 << 0 << true << FileError::NoPermission;
        QTest::newRow("write-protected file")
            << "r.csv" << 0444 << 0755 << 0 << false << FileError::WriteProtected;
        QTest::newRow("folder gone")
            << "gone/r.csv" << 0 << 0755 << 0 << false << FileError::FolderMissing;
        QTest::newRow("a folder in the file's place")
            << "r.csv/" << 0 << 0755 << 0 << false << FileError::NotAFile;
        QTest::newRow("device that is full")
            << "@" << 0 << 0755 << 0 << false << FileError::DiskFull;
    }
    void failedSavesKeepTheEarlierFile()
    {
        QFETCH(QString, target);
        QFETCH(int, targetMode);
        QFETCH(int, folderMode);
        QFETCH(int, sizeLimit);
        QFETCH(bool, ordinaryUser);
        QFETCH(FileError, error);
        if (ordinaryUser && ::geteuid() == 0)
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
        if (targetMode && saved)
        {
            QCOMPARE(ReadFile(earlier).count("\r\n"), 336);
            QCOMPARE(Mode(earlier), mode_t(targetMode));
        }
        else if (targetMode)
        {
            QCOMPARE(ReadFile(earlier), Earlier);
            QCOMPARE(Mode(earlier), mode_t(targetMode));
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

    void settingsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("storedAs");
        QTest::newRow("plain") << "/home/tech/Data/"_qba
                               << "/home/tech/Data/"_qba;
        QTest::newRow("Latin-1 name keeps its bytes") << "/mnt/lat\xe9/"_qba
                                                      << "/mnt/lat\xe9/"_qba;
        QTest::newRow("300 bytes, one setting") << "/" + QByteArray(298, 'f') + "/"
                                                << "/" + QByteArray(298, 'f') + "/";
        QTest::newRow("a line break is never written")
            << "/a\r\nVirtualDevice:COM3\r\n/"_qba << QByteArray();
    }
    void settingsRoundTrip()
    {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, storedAs);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path() + "/Settings.ini");
        SettingsFile::Values values;
        values.version = "3.0";
        values.dataPath = folder;
        QVERIFY(SettingsFile::Save(path, values));
        QCOMPARE(ReadFile(path).count("\r\n"), 7);

        SettingsFile::Values read;
        read.version = values.version; // the file's version is never taken
        read.dataPath = "default/";
        QVERIFY(SettingsFile::Load(path, &read));
        QCOMPARE(read.dataPath, storedAs.isEmpty() ? "default/"_qba : storedAs);
        QVERIFY(!read.virtualDevice);
        // Written back unchanged, byte for byte.
        const QByteArray first = ReadFile(path);
        QVERIFY(SettingsFile::Save(path, read));
        if (!storedAs.isEmpty())
            QCOMPARE(ReadFile(path), first);
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
