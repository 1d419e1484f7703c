// The History window as a technician uses it: transfers kept in a real
// archive file, found by words and by the days of a time zone ten hours
// ahead of UTC, paged, opened into the main window and deleted, with the
// questions answered the way a user answers them.
#include "CArchive.h"
#include "HistoryWindow.h"
#include "PinnedPorts.h"
#include "support/Files.h"
#include "support/Ports.h"
#include "support/PostgresServer.h"
#include "support/Replies.h"
#include "support/Sqlite.h"
#include "support/User.h"
#include "support/Window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>

#include <csignal>
#include <ctime>

using ReplyFrame::Family;

namespace
{
// Kept at these UTC times; each has a count of records of its own, which
// names it in the list. Fields: id, time, family, port, device ("-": none),
// station, records, pages received and announced, then the files it was saved to.
const char* const Transfers[] = {
    "id-a 2026-03-01T10:00:00.000Z VX-nn COM3 /dev/ttyACM0 bench-1 64 2 2 /data/mill-a.csv "
    "/data/Мост-Ä.csv",
    // Evening of 2 March in UTC, morning of 3 March on the user's clock.
    "id-b 2026-03-02T20:00:00.000Z TR-620 COM17 /dev/ttyUSB0 bench-1 32 1 3",
    "id-c 2026-03-03T05:00:00.000Z VX-nn COM3 /dev/ttyACM1 bench-1 96 3 3 /data/Bridge-7.xlsx "
    "/data/bridge-7.json",
    "id-d 2026-03-04T13:59:00.000Z VirtualDevice COM5 - bench-2 335 0 0",
    // The first minute of 5 March on the user's clock.
    "id-e 2026-03-04T14:00:00.000Z TR-620 COM17 /dev/ttyUSB0 bench-1 10 1 1",
};

void Store(const QString& file)
{
    CArchive archive(file);
    for (const char* kept : Transfers)
    {
        const QStringList k = QString::fromUtf8(kept).split(' ');
        CArchive::Transfer t;
        t.id = k[0];
        t.time = QDateTime::fromString(k[1], Qt::ISODateWithMs);
        t.family = k[2];
        t.port = k[3];
        t.device = k[4] == "-" ? QString() : k[4];
        t.station = k[5];
        const Family f = t.family == "TR-620" ? Family::TR620 : Family::VXnn;
        t.records = ReplyBuilder::GeneratedSet(f, k[6].toInt());
        t.reply = ReplyBuilder::Frame(f, t.records);
        t.pagesReceived = k[7].toInt();
        t.pagesAnnounced = k[8].toInt();
        t.complete = t.pagesReceived == t.pagesAnnounced;
        QVERIFY2(archive.Store(&t), qPrintable(archive.Error()));
        for (const QString& path : k.mid(9))
            QVERIFY(archive.RecordSave(t.id, path, QFileInfo(path).suffix(), t.time.addSecs(60)));
    }
}

// What the instrument sends in the transfer the window does not live through.
QByteArray KilledReply()
{
    return Reply(Family::TR620, 77);
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    std::unique_ptr<PinnedPorts> ports;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestWindow> window;
    QWidget* history = nullptr;
    QTableView* list = nullptr;
    QLabel* range = nullptr;

    QString File() const { return dir->filePath("archive.sqlite"); }

    // The main window on the test's archive, and History opened with its button.
    bool OpenHistory()
    {
        if (!window)
            window = std::make_unique<TestWindow>();
        window->Engine()->archivePath = File();
        if (!window->isVisible() && !window->ShownAndSearched())
            return false;
        QTest::mouseClick(window->Button("historyButton"), Qt::LeftButton);
        history = window->findChild<QWidget*>("HistoryWindowGUI");
        if (!history || !history->isVisible())
            return false;
        list = history->findChild<QTableView*>("historyTable");
        range = history->findChild<QLabel*>("rangeLabel");
        return list && range;
    }
    QPushButton* Button(const char* name) const { return history->findChild<QPushButton*>(name); }
    // The transfers listed, each by its count of records, top to bottom.
    QStringList Listed() const
    {
        QStringList counts;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            counts << list->model()->index(r, 2).data().toString();
        return counts;
    }
    void Choose(const QString& count)
    {
        const int row = int(Listed().indexOf(count));
        QVERIFY2(row >= 0, qPrintable(count));
        list->selectRow(row);
    }

private slots:
    void initTestCase()
    {
        // Days as a user in Vladivostok counts them, ten hours ahead of UTC.
        qputenv("TZ", "Asia/Vladivostok");
        tzset();
        QCOMPARE(QDateTime(QDate(2026, 3, 1), QTime(0, 0)).offsetFromUtc(), 10 * 3600);
    }
    void init()
    {
        ports = std::make_unique<PinnedPorts>();
        dir = std::make_unique<QTemporaryDir>();
        Store(File());
    }
    void cleanup()
    {
        window.reset();
        ports.reset();
        dir.reset();
    }

    void newestFirstInPages()
    {
        QVERIFY(OpenHistory());
        auto* button = window->Button("historyButton");
        QVERIFY(button->toolTip().endsWith("(Ctrl+H)"));
        QCOMPARE(button->accessibleName(), button->text());
        QCOMPARE(Listed(), QStringList({"10", "335", "96", "32", "64"}));
        QCOMPARE(range->text(), QStringLiteral("1\u20135 of 5"));
        const QAbstractItemModel* model = list->model();
        // The user's clock, not UTC's.
        QCOMPARE(
            model->index(0, 0).data().toString(),
            QLocale().toString(QDateTime(QDate(2026, 3, 5), QTime(0, 0)), QLocale::ShortFormat));
        QCOMPARE(model->index(2, 4).data().toString(),
                 QStringLiteral("Bridge-7.xlsx, bridge-7.json"));
        QCOMPARE(model->index(3, 3).data().toString(), QStringLiteral("partial: 1 of 3 pages"));
        QCOMPARE(model->index(4, 3).data().toString(), QStringLiteral("complete"));

        static_cast<HistoryWindow*>(history)->pageSize = 2;
        static_cast<HistoryWindow*>(history)->Refresh();
        QCOMPARE(Listed(), QStringList({"10", "335"}));
        QVERIFY(!Button("newerButton")->isEnabled());
        Button("olderButton")->click();
        QCOMPARE(Listed(), QStringList({"96", "32"}));
        QCOMPARE(range->text(), QStringLiteral("3\u20134 of 5"));
        Button("olderButton")->click();
        QCOMPARE(Listed(), QStringList({"64"}));
        QCOMPARE(range->text(), QStringLiteral("5\u20135 of 5"));
        QVERIFY(!Button("olderButton")->isEnabled());
        Button("newerButton")->click();
        QCOMPARE(Listed(), QStringList({"96", "32"}));
        // Esc puts it away; its key brings it back.
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!history->isVisible());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_H, Qt::ControlModifier);
        QTRY_VERIFY(history->isVisible()); // a button's key presses it a moment later
    }

    void filteredByWordsAndDays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("listed");
        const QDate none;
        QTest::newRow("family, any case") << "tr-620" << none << none << QStringList{"10", "32"};
        QTest::newRow("saved file, two saves match once")
            << "BRIDGE-7" << none << none << QStringList{"96"};
        // A Russian and German name, typed in the other case.
        QTest::newRow("saved file, Cyrillic and umlaut, any case")
            << QStringLiteral("мОСТ-ä") << none << none << QStringList{"64"};
        QTest::newRow("port") << "com17" << none << none << QStringList{"10", "32"};
        QTest::newRow("device") << "ttyACM" << none << none << QStringList{"96", "64"};
        QTest::newRow("station") << "bench-2" << none << none << QStringList{"335"};
        QTest::newRow("id") << "id-c" << none << none << QStringList{"96"};
        QTest::newRow("a percent sign is only a letter") << "%" << none << none << QStringList{};
        QTest::newRow("one local day")
            << "" << QDate(2026, 3, 3) << QDate(2026, 3, 3) << QStringList{"96", "32"};
        QTest::newRow("from a day on")
            << "" << QDate(2026, 3, 4) << none << QStringList{"10", "335"};
        QTest::newRow("up to a day")
            << "" << none << QDate(2026, 3, 4) << QStringList{"335", "96", "32", "64"};
        QTest::newRow("words and days")
            << "tr-620" << QDate(2026, 3, 3) << QDate(2026, 3, 4) << QStringList{"32"};
    }
    void filteredByWordsAndDays()
    {
        QFETCH(QString, text);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, listed);
        QVERIFY(OpenHistory());
        // As a user sets them: the days first, then the words typed.
        for (auto [date, edit, check] :
             {std::tuple(from, "fromEdit", "fromCheck"), std::tuple(to, "toEdit", "toCheck")})
            if (date.isValid())
            {
                history->findChild<QCheckBox*>(check)->setChecked(true);
                history->findChild<QDateEdit*>(edit)->setDate(date);
            }
        // Typed a letter at a time, Cyrillic too (keyClicks knows ASCII only).
        for (const QChar letter : text)
            QTest::sendKeyEvent(QTest::Click, history->findChild<QLineEdit*>("filterEdit"),
                                Qt::Key_unknown, QString(letter), Qt::NoModifier);
        QTRY_COMPARE(Listed(), listed);
        QCOMPARE(range->text(), listed.isEmpty()
                                    ? QStringLiteral("No transfers")
                                    : QStringLiteral("1\u2013%1 of %1").arg(listed.size()));
    }

    // A transfer read just now and one kept earlier, opened in turn: the
    // question about unsaved results first, Cancel keeps them.
    void openedIntoTheMainWindow()
    {
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        sim->SetReply(Reply(Family::VXnn, 40));
        window = std::make_unique<TestWindow>();
        window->Engine()->archivePath = File();
        QVERIFY(window->ShownAndSearched());
        QVERIFY(window->Transfer());
        const QStringList read = Rows(window->table);
        QCOMPARE(read.size(), 40);
        QVERIFY(OpenHistory());
        QCOMPARE(Listed().value(0), QStringLiteral("40"));

        Choose("64");
        {
            User user;
            user.Then(User::Press(QMessageBox::Cancel));
            Button("openButton")->click();
            QCOMPARE(user.seen.size(), 1);
            QCOMPARE(user.seen[0].text, window->Engine()->msgUnsavedQuestion);
        }
        QCOMPARE(Rows(window->table), read);
        {
            User user;
            user.Then(User::Press(QMessageBox::No));
            // The first click of a double click, then the second.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->currentIndex()).center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                               list->visualRect(list->currentIndex()).center());
            QCOMPARE(user.seen.size(), 1);
        }
        QCOMPARE(window->table->rowCount(), 64);
        QVERIFY(window->windowTitle().startsWith(
            "Transfer of " +
            QLocale().toString(QDateTime(QDate(2026, 3, 1), QTime(20, 0)), QLocale::ShortFormat)));
        QVERIFY(window->saveButton->isEnabled());
        QVERIFY(window->Button("statisticsButton")->isEnabled());

        // What the archive keeps is not asked about; the transfer read comes back whole.
        User user;
        user.Then(User::Press(QMessageBox::No));
        Choose("40");
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(user.seen.isEmpty());
        QCOMPARE(Rows(window->table), read);
    }

    // Run by keptWhenTheWindowIsKilled as a process of its own: a transfer
    // shown and not saved, and the process killed outright.
    void transferThenKilled()
    {
        const QString archive = qEnvironmentVariable("PARVESTA_TEST_KILLED_ARCHIVE");
        if (archive.isEmpty())
            QSKIP("run by keptWhenTheWindowIsKilled");
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        sim->SetReply(KilledReply());
        window = std::make_unique<TestWindow>();
        window->Engine()->archivePath = archive;
        QVERIFY(window->ShownAndSearched());
        QVERIFY(window->Transfer());
        QVERIFY(window->Engine()->unsavedData);
        std::raise(SIGKILL);
    }

    // The window killed right after a transfer, unsaved: the next start has
    // it in History, and it exports as the download of the same reply writes it.
    void keptWhenTheWindowIsKilled()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARVESTA_TEST_KILLED_ARCHIVE", File());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"transferThenKilled"});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray said = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::CrashExit && !said.contains("FAIL!"),
                 said.constData());

        QVERIFY(OpenHistory());
        QCOMPARE(Listed(), QStringList({"77", "10", "335", "96", "32", "64"}));
        const QString cli = ports->dir.filePath("parvesta-cli");
        QVERIFY(QFile::copy(PARVESTA_CLI, cli));
        const auto run = [&cli](const QStringList& arguments) {
            QProcess process;
            process.start(cli, arguments);
            return process.waitForFinished(30000) && process.exitCode() == 0
                       ? process.readAllStandardOutput()
                       : QByteArray("<failed> ") + process.readAllStandardError();
        };
        const QByteArray listed = run({"history", "--archive", File()});
        const QByteArray id = listed.split('\n').value(5).split('\t').value(0);
        QVERIFY2(listed.split('\n').value(5).contains("\t77\tcomplete"), listed.constData());
        const QString exported = dir->filePath("exported.csv");
        const QString downloaded = dir->filePath("downloaded.csv");
        QVERIFY(!run({"history", "export", id, "--archive", File(), "-o", exported})
                     .startsWith("<failed>"));
        InstrumentSimulator* sim = ports->Attach(4);
        QVERIFY(sim);
        sim->SetReply(KilledReply());
        QVERIFY(!run({"download", "--port", "COM4", "--no-archive", "-o", downloaded})
                     .startsWith("<failed>"));
        QVERIFY(QFileInfo(downloaded).size() > 77 * 8);
        QCOMPARE(ReadFile(exported), ReadFile(downloaded));
    }

    void deletedAfterYes()
    {
        QVERIFY(OpenHistory());
        Choose("96");
        {
            User user;
            user.Then(User::Press(QMessageBox::No));
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(user.seen.size(), 1);
        }
        QCOMPARE(Listed().size(), 5);
        {
            User user;
            user.Then(User::Press(QMessageBox::Yes));
            Button("deleteButton")->click();
            QVERIFY(user.seen.value(0).text.contains("96 measurements"));
        }
        QCOMPARE(Listed(), QStringList({"10", "335", "32", "64"}));
        QCOMPARE(range->text(), QStringLiteral("1\u20134 of 4"));
        window.reset(); // the archive closed
        for (const char* table :
             {"transfers WHERE id", "records WHERE transfer", "saves WHERE transfer"})
            QCOMPARE(
                Look(File()).One(QStringLiteral("SELECT count(*) FROM %1 = 'id-c'").arg(table)),
                QVariant(0));
        QCOMPARE(Look(File()).One("SELECT count(*) FROM records").toInt(), 64 + 32 + 335 + 10);
    }

    // A lab's server finds, pages and forgets as the file does.
    void labServerPagesAndForgets()
    {
        START_LAB_SERVER(server);
        Store(server.Url());
        CArchive lab(server.Url());
        const auto ids = [&lab](const CArchive::Filter& filter, int* total) {
            QVector<CArchive::Entry> entries;
            QStringList found;
            if (!lab.Page(filter, &entries, total))
                return QStringList({lab.Error()});
            for (const CArchive::Entry& entry : entries)
                found << entry.id + QLatin1Char(':') + entry.saves.join(QLatin1Char(','));
            return found;
        };
        int total = 0;
        CArchive::Filter filter;
        filter.text = "BRIDGE-7";
        QCOMPARE(ids(filter, &total),
                 QStringList({"id-c:/data/Bridge-7.xlsx,/data/bridge-7.json"}));
        filter.text = "tr-620";
        filter.from = filter.to = QDate(2026, 3, 3);
        QCOMPARE(ids(filter, &total), QStringList({"id-b:"}));
        QCOMPARE(total, 1);
        filter = CArchive::Filter();
        filter.offset = 1;
        filter.limit = 2;
        QCOMPARE(ids(filter, &total),
                 QStringList({"id-d:", "id-c:/data/Bridge-7.xlsx,/data/bridge-7.json"}));
        QCOMPARE(total, 5);

        QVERIFY2(lab.Delete("id-c"), qPrintable(lab.Error()));
        QCOMPARE(ids(filter, &total), QStringList({"id-d:", "id-b:"}));
        QCOMPARE(total, 4);
        QCOMPARE(server.Ask("SELECT (SELECT count(*) FROM records WHERE transfer = 'id-c'),"
                            " (SELECT count(*) FROM saves WHERE transfer = 'id-c'),"
                            " (SELECT count(*) FROM records)"),
                 QStringLiteral("0|0|%1").arg(64 + 32 + 335 + 10));
        QVERIFY(!lab.Delete("id-c"));
        QVERIFY2(lab.Error().contains("no transfer id-c"), qPrintable(lab.Error()));
    }

    void newerArchiveSaysWhy()
    {
        QVERIFY(Look(File()).Do("UPDATE schema SET version = 99"));
        QVERIFY(OpenHistory());
        const auto* pages = history->findChild<QStackedWidget*>("pages");
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("problemPage"));
        const QString why = history->findChild<QLabel*>("problemLabel")->text();
        QVERIFY2(why.startsWith("The archive cannot be shown: ") && why.contains(File()) &&
                     why.contains("newer version") && why.contains("99"),
                 qPrintable(why));
        QVERIFY(!Button("openButton")->isEnabled());
        QVERIFY(!Button("deleteButton")->isEnabled());
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
