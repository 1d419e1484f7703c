// The program as a technician uses it: the main window against simulated
// instruments on pseudo-terminals, with message boxes and the save dialog
// answered the way a user would answer them.
#include "CQuorvanta.h"
#include "MainWindow.h"
#include "PinnedPorts.h"
#include "ReplyBuilder.h"
#include "support/Records.h"
#include "support/User.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using ReplyFrame::Family;

namespace
{
QString SettingsPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Settings.ini");
}

void WriteSettings(const QByteArray& virtualDevice, const QString& dataPath)
{
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Quorvanta Settings File\r\nLanguage:Eng\r\nVersion:3.0\r\nCOMSpeed:38400\r\n"
               "COMPort:Any\r\nDataPath:" +
               dataPath.toLocal8Bit() + "\r\nVirtualDevice:" + virtualDevice + "\r\n");
}

// The window with its pauses shortened, and its own device-change handler
// reachable from the tests.
class TestWindow : public MainWindow
{
public:
    TestWindow()
    {
        pollIntervalMs = 20;
        successMessageMs = 20;
        deviceSettleMs = 20;
        Engine()->stallMs = 150;
    }
    // Shown, once the search it started with is over.
    bool ShownAndSearched()
    {
        show();
        return SearchEnds();
    }
    bool SearchEnds()
    {
        return QTest::qWaitFor([this] { return !Engine()->Searching(); }, 5000);
    }
    using MainWindow::DeviceChangeEvent;
    using MainWindow::deviceSettleMs;
    using MainWindow::ResultsShown;
    using MainWindow::SetViewState;
    using MainWindow::successMessageMs;
};

QString Status(QWidget* window)
{
    return window->findChild<QLabel*>("statusLabel")->text();
}

// How late a timer that asks to run every 5 ms comes: the longest time the
// window could not have reacted to the user.
struct StallWatch
{
    StallWatch()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last - 5);
            last = now;
        });
        clock.start();
        timer.start(5);
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

// Identify commands an instrument received.
int Identifies(const InstrumentSimulator* sim)
{
    int n = 0;
    for (const QByteArray& command : sim->Commands())
        n += command.at(8) == 1 ? 1 : 0;
    return n;
}

QToolButton* Button(QWidget* window, const char* name)
{
    return window->findChild<QToolButton*>(name);
}

QTableWidget* Table(QWidget* window)
{
    return window->findChild<QTableWidget*>("tableWidget");
}

QWidget* Progress(QWidget* window)
{
    return window->findChild<QWidget*>("ProgressWindowGUI");
}

QLabel* Message(QWidget* window)
{
    return Progress(window)->findChild<QLabel*>("messageLabel");
}

QProgressBar* Bar(QWidget* window)
{
    return Progress(window)->findChild<QProgressBar*>("progressBar");
}

bool Stalled(QWidget* window)
{
    return Message(window)->isVisible() && Message(window)->text().startsWith("No data") &&
           Bar(window)->isVisible();
}

QStringList Row(QTableWidget* table, int row)
{
    QStringList texts;
    for (int c = 0; c < 4; ++c)
        texts << table->item(row, c)->text();
    return texts;
}

// Waits until the table face is shown after a transfer.
bool WaitForResults(QWidget* window)
{
    return QTest::qWaitFor([window] { return Table(window)->isVisible(); }, 15000);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(SettingsPath());
        ports = std::make_unique<PinnedPorts>();
        dataDir = std::make_unique<QTemporaryDir>();
        WriteSettings("No", dataDir->path() + "/");
    }
    void cleanup()
    {
        ports.reset();
        dataDir.reset();
        QFile::remove(SettingsPath());
    }

    void startUpWithoutInstrument()
    {
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QCOMPARE(Status(&window), QStringLiteral("No instrument found: no serial port to try"));
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
        QVERIFY(!Button(&window, "saveAsButton")->isEnabled());
        QVERIFY(window.findChild<QLabel*>("bckgroundLabel")->isVisible());
    }

    void wholeTransferFillsTheTable()
    {
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        // Groups 3 and 1 only, a duplicate cell, and every unit of the family.
        sim->SetReply(ReplyBuilder::Frame(
            Family::VXnn, {Record(3, 7, 1234, 10, 2, 3), Record(1, 2, 12345, 1000, 3, 3),
                           Record(3, 7, 1234, 100, 2, 3), Record(1, 1, 500, 100, 3, 3)}));

        TestWindow window;
        window.successMessageMs = 200;
        QVERIFY(window.ShownAndSearched());
        User user;
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(Progress(&window)->isVisible());
        // The success text is up, the bar hidden, the window alive, and
        // nothing can be started until the results are shown.
        QTRY_VERIFY(Message(&window)->isVisible());
        QCOMPARE(Message(&window)->text(), QStringLiteral("Data transfer completed successfully."));
        QVERIFY(!Bar(&window)->isVisible());
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
        QVERIFY(!Button(&window, "saveAsButton")->isEnabled());
        QVERIFY(!Table(&window)->isVisible());
        QVERIFY(WaitForResults(&window));
        QVERIFY(!Progress(&window)->isVisible());
        QVERIFY(Button(&window, "saveAsButton")->isEnabled());
        QTableWidget* table = Table(&window);
        QCOMPARE(table->rowCount(), 4);
        QCOMPARE(Row(table, 0), QStringList({"1", "2", "12.345", "Inches"}));
        QCOMPARE(Row(table, 1), QStringList({"1", "1", "5.00", "Inches"}));
        QCOMPARE(Row(table, 2), QStringList({"3", "7", "123.4", "mm"}));
        QCOMPARE(Row(table, 3), QStringList({"3", "7", "12.34", "mm"}));
        QCOMPARE(Status(&window), QStringLiteral("4 measurements in 2 groups"));

        // A second transfer, after No to the question, replaces every row.
        sim->SetReply(ReplyBuilder::Frame(Family::TR620, {Record(2, 9, 4321, 1, 0, 0)}));
        user.Then(User::Press(QMessageBox::No));
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(!Table(&window)->isVisible());
        QVERIFY(WaitForResults(&window));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(Row(table, 0), QStringList({"2", "9", "4321", "m/s"}));
        QCOMPARE(Status(&window), QStringLiteral("1 measurement in 1 group"));
    }

    void transferDataTwiceCancels()
    {
        InstrumentSimulator* sim = ports->Attach(2, 9600);
        QVERIFY(sim);
        sim->SetReply(
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 600)));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        User user;
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(Progress(&window)->isVisible());
        QTest::qWait(100);
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(!Progress(&window)->isVisible());
        QVERIFY(!Table(&window)->isVisible());
        QVERIFY(window.findChild<QLabel*>("bckgroundLabel")->isVisible());
        QTest::qWait(200); // no tick revives it, no box comes
        QCOMPARE(user.seen.size(), 0);
    }

    void repliesWithoutRecords_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid reply, empty slots")
            << ReplyBuilder::Header(Family::VXnn, 1) + QByteArray(256, '\0')
            << "No measurements in connected device!";
        // Its page count of 0 ends it at once; nothing in it can be read.
        QTest::newRow("not a reply") << QByteArray("WQXOFF\x01\x02\x03\x04\x00", 11)
                                     << "Data transfer failed! Please try again.";
    }
    void repliesWithoutRecords()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, message);
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        sim->SetReply(reply);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        User user;
        user.Then(User::Press(QMessageBox::Ok));
        Button(&window, "trnsfrDataButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(user.seen.size(), 1, 10000);
        QCOMPARE(user.seen[0].text, message);
        QCOMPARE(user.seen[0].buttons, 1); // OK alone
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!Table(&window)->isVisible());
        QVERIFY(!Button(&window, "saveAsButton")->isEnabled());
    }

    void stallIsShownUntilBytesComeAgain()
    {
        // The instrument stops for a while after two of its four pages.
        InstrumentSimulator::Faults faults;
        faults.pauseAt = 11 + 2 * 256;
        faults.pauseMs = 500;
        InstrumentSimulator* sim = ports->Attach(2, 0, faults);
        QVERIFY(sim);
        sim->SetReply(
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 128)));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QSignalSpy bar(&window, &MainWindow::ProgressChanged);
        Button(&window, "trnsfrDataButton")->click();
        QTRY_VERIFY(Stalled(&window));
        QCOMPARE(Bar(&window)->value(), 50); // what came before the pause still counts
        QVERIFY(WaitForResults(&window));
        QCOMPARE(Table(&window)->rowCount(), 128);
        QCOMPARE(window.windowTitle(), QStringLiteral("Parvesta"));
        for (int i = 1; i < bar.size(); ++i)
            QVERIFY(bar[i][0].toInt() >= bar[i - 1][0].toInt());
        QCOMPARE(bar.last()[0].toInt(), 100);
    }

    void endingAStalledTransfer_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("closing"); // ended by closing the window, not by the button
        QTest::addColumn<int>("keep");     // the answer to the keep question; 0 when not asked
        QTest::addColumn<int>("rows");
        const QByteArray fourPages = ReplyBuilder::Frame(
            Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 128)); // 1035 bytes
        const QByteArray cut = fourPages.left(11 + 2 * 256 + 100);
        QTest::newRow("cut short: kept") << cut << false << int(QMessageBox::Yes) << 64;
        QTest::newRow("cut short: given up") << cut << false << int(QMessageBox::No) << 0;
        QTest::newRow("cut short, window closed: kept, then the close cancelled")
            << cut << true << int(QMessageBox::Yes) << 64;
        QTest::newRow("garbage only: nothing to keep") << QByteArray(700, 'g') << false << 0 << 0;
    }
    void endingAStalledTransfer()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, closing);
        QFETCH(int, keep);
        QFETCH(int, rows);
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        sim->SetReply(reply);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        User user;
        Button(&window, "trnsfrDataButton")->click();
        QTRY_VERIFY(Stalled(&window));

        if (keep) // a device change while the question is open must not take the pages
            user.Then([&window, keep](QWidget* box) {
                window.DeviceChangeEvent();
                User::Press(QMessageBox::StandardButton(keep))(box);
            });
        if (closing)
            user.Then(User::Press(QMessageBox::Cancel)); // the unsaved-data question
        if (closing)
            window.close();
        else
            Button(&window, "trnsfrDataButton")->click();
        QTRY_VERIFY(user.answers.isEmpty() && !QApplication::activeModalWidget());
        QCOMPARE(user.seen.size(), int(keep != 0) + int(closing));
        if (keep)
            QCOMPARE(user.seen[0].text, QStringLiteral("The transfer did not complete. Keep the 64 "
                                                       "measurements from 2 of 4 pages received?"));
        QVERIFY(!Progress(&window)->isVisible());
        QVERIFY(window.isVisible());
        QCOMPARE(Table(&window)->isVisible(), rows > 0);
        QCOMPARE(Button(&window, "saveAsButton")->isEnabled(), rows > 0);
        if (rows)
        {
            QCOMPARE(Table(&window)->rowCount(), rows);
            QCOMPARE(window.windowTitle(), QStringLiteral("Incomplete: 2 of 4 pages - Parvesta"));
            QCOMPARE(Status(&window),
                     QStringLiteral("Incomplete: 2 of 4 pages \u2014 64 measurements in 2 groups"));
        }
    }

    void transferThatCannotStart()
    {
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        // Another program takes the port after the search found the instrument.
        const int holder = ::open(QFile::encodeName(sim->TerminalPath()).constData(),
                                  O_RDWR | O_NOCTTY | O_NONBLOCK);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        User user;
        user.Then(User::Press(QMessageBox::Ok));
        Button(&window, "trnsfrDataButton")->click();
        QTRY_COMPARE(user.seen.size(), 1);
        ::close(holder);
        QVERIFY2(user.seen[0].text.startsWith("The transfer could not start.") &&
                     user.seen[0].text.contains("Another program is using the port COM2"),
                 qPrintable(user.seen[0].text));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!Progress(&window)->isVisible());
        // Nothing is left running: the next press starts a transfer that works.
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));
    }

    void unsavedDataQuestion_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goesOn"); // with Yes: the save dialog is accepted
        QTest::newRow("transfer: Yes and a save") << false << int(QMessageBox::Yes) << true;
        QTest::newRow("close: Cancel") << true << int(QMessageBox::Cancel) << false;
        QTest::newRow("close: Yes, dialog cancelled") << true << int(QMessageBox::Yes) << false;
        QTest::newRow("close: No") << true << int(QMessageBox::No) << true;
    }
    void unsavedDataQuestion()
    {
        QFETCH(bool, closing);
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        QVERIFY(ports->Attach(2));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        User user;
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));

        const QString file = dataDir->path() + "/kept.csv";
        const bool saving = answer == QMessageBox::Yes && goesOn;
        user.Then(User::Press(QMessageBox::StandardButton(answer)));
        if (answer == QMessageBox::Yes)
            user.Then(User::SaveAs(goesOn ? file : QString()));
        if (closing)
            window.close();
        else
            Button(&window, "trnsfrDataButton")->click();
        QTRY_VERIFY(user.answers.isEmpty() && !QApplication::activeModalWidget());

        QCOMPARE(user.seen[0].title, QStringLiteral("Received data was not saved."));
        QCOMPARE(user.seen[0].text,
                 QStringLiteral("Received data will be lost. Do you want to save it?"));
        QCOMPARE(user.seen[0].buttons, 3);
        QCOMPARE(QFile::exists(file), saving);
        if (closing)
            QCOMPARE(window.isVisible(), !goesOn);
        else
            QVERIFY(WaitForResults(&window)); // the new transfer ran
    }

    void saveProposesFreeNamesAndReportsFailures()
    {
        QVERIFY(ports->Attach(2));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        User user;
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));

        // The data folder is made absolute and holds results1.csv afterwards;
        // the status line says where the file went.
        const QString folder = QDir(dataDir->path()).absolutePath();
        user.Then(User::SaveAs(folder + "/results1.csv"));
        Button(&window, "saveAsButton")->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen.last().proposed, folder + "/results1.csv");
        QCOMPARE(user.seen.last().title, QStringLiteral("Save measurements as"));
        QCOMPARE(user.seen.last().filters,
                 QStringList({"Measurements (*.csv)", "Excel workbook (*.xlsx)",
                              "Instrument reply (*.bin)"}));
        QVERIFY(QFile::exists(folder + "/results1.csv"));
        // A path too long for the line gives way in its middle; its tip holds it whole.
        const QLabel* status = window.findChild<QLabel*>("statusLabel");
        QCOMPARE(status->toolTip(), "Saved to " + folder + "/results1.csv");
        QVERIFY2(status->text().startsWith("Saved to /") &&
                     status->text().endsWith("/results1.csv"),
                 qPrintable(status->text()));

        // A folder that does not exist: the user is told which file, why and
        // what to do, and nothing is claimed.
        const QString missing = folder + "/gone/r.csv";
        user.Then(User::SaveAs(missing));
        user.Then(User::Press(QMessageBox::Ok));
        Button(&window, "saveAsButton")->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen.size(), 3);
        QCOMPARE(user.seen[1].proposed, folder + "/results2.csv");
        QCOMPARE(user.seen[2].text, "The file " + missing +
                                        " could not be saved: the folder does not exist (was a "
                                        "drive taken away?); choose another folder.");
        QVERIFY(!QFile::exists(missing));
        QTRY_VERIFY(!QApplication::activeModalWidget());

        // The failed save did not undo the good one: closing asks nothing.
        window.close();
        QTest::qWait(200);
        QVERIFY(!window.isVisible());
        QCOMPARE(user.seen.size(), 3);
    }

    void saveFormatFollowsTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("starts"); // the file's first bytes
        QTest::addColumn<bool>("recordsSaved");
        QTest::newRow("workbook") << "r.XLSX" << QByteArray("PK\x03\x04") << true;
        QTest::newRow("instrument reply") << "r.bin" << QByteArray("WQXONVX-T") << false;
        QTest::newRow("any other name: CSV") << "r.txt" << QByteArray("\"Group\";") << true;
    }
    void saveFormatFollowsTheName()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, starts);
        QFETCH(bool, recordsSaved);
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        const QByteArray frame =
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 70));
        sim->SetReply(frame);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));
        User user;
        const QString path = dataDir->path() + "/" + name;
        user.Then(User::SaveAs(path));
        Button(&window, "saveAsButton")->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QFile file(path);
        QTRY_VERIFY(file.exists());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(bytes.startsWith(starts), bytes.left(12).toHex().constData());
        if (name.endsWith(".bin"))
            QCOMPARE(bytes, frame); // exactly what the instrument sent
        // Closing asks about the results only when they are not in a file yet.
        if (!recordsSaved)
            user.Then(User::Press(QMessageBox::Cancel));
        window.close();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(window.isVisible(), !recordsSaved);
    }

    void statisticsOfTheResults()
    {
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        sim->SetReply(ReplyBuilder::Frame(
            Family::VXnn, {Record(1, 1, 1234, 100, 2, 3), Record(1, 2, 1240, 100, 2, 3),
                           Record(1, 3, 486, 1000, 3, 3), Record(4, 1, 52, 10, 2, 3)}));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QToolButton* statistics = Button(&window, "statisticsButton");
        QVERIFY(!statistics->isEnabled());
        // Right of Save As, the other four where they were.
        QCOMPARE(statistics->x(), Button(&window, "saveAsButton")->geometry().right() + 1);
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));
        QVERIFY(statistics->isEnabled());
        statistics->click();
        auto* table = window.findChild<QTableWidget*>("statisticsTable");
        QTRY_VERIFY(table->isVisible());
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r)
        {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(r, c)->text();
            rows << cells.join('|');
        }
        QCOMPARE(rows, QStringList({"1|mm|2|12.34|12.40|12.37|0.04",
                                    "1|Inches|1|0.486|0.486|0.486|", "4|mm|1|5.2|5.2|5.2|"}));
    }

    void saveStartsBesideAFolderThatIsGone()
    {
        // The folder of the last save was on a drive that is not there now.
        const QString gone = dataDir->path() + "/usb/Results/";
        WriteSettings("No", gone);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        window.SetViewState(TestWindow::ResultsShown);
        User user;
        user.Then(User::SaveAs(QString()));
        Button(&window, "saveAsButton")->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen[0].proposed, QDir(dataDir->path()).absolutePath() + "/results1.csv");
        QVERIFY(!QFileInfo::exists(dataDir->path() + "/usb"));
    }

    void virtualDeviceAndTheDataFolderBesideTheProgram()
    {
        const QString data = QCoreApplication::applicationDirPath() + "/Data";
        QDir(data).removeRecursively();
        WriteSettings("COM5", QString()); // no folder of the user's: the default
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        // The virtual device gives its pattern with no instrument attached.
        QVERIFY(Button(&window, "trnsfrDataButton")->isEnabled());
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));
        QCOMPARE(Table(&window)->rowCount(), 335);
        QCOMPARE(Row(Table(&window), 334), QStringList({"5", "69", "0.74", "mm"}));
        User user;
        user.Then(User::SaveAs(QString()));
        Button(&window, "saveAsButton")->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen[0].proposed, data + "/results1.csv");
        QVERIFY(QFileInfo(data).isDir());
        QDir(data).removeRecursively();
    }

    void helpKeyAndItsRepeats()
    {
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QWidget* help = window.findChild<QWidget*>("HelpWindowGUI");
        QVERIFY(help);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&window, &repeat);
        QVERIFY(!help->isVisible());
        QTest::keyClick(&window, Qt::Key_F1);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Parvesta help"));
    }

    void progressWindowStaysCentred()
    {
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.move(137, 91);
        QTRY_COMPARE(window.pos(), QPoint(137, 91));
        // Hidden or not, it sits over the middle of the window.
        const QPoint offset =
            Progress(&window)->frameGeometry().center() - window.frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        QVERIFY(!Progress(&window)->isVisible());
    }

    void deviceChangeDuringTransferKeepsIt()
    {
        InstrumentSimulator* sim = ports->Attach(2, 115200);
        QVERIFY(sim);
        sim->SetReply(
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 300)));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        Button(&window, "trnsfrDataButton")->click();
        QTest::qWait(100);
        // Another instrument is plugged in while the first one sends.
        QVERIFY(ports->Attach(5));
        window.DeviceChangeEvent();
        QVERIFY(Progress(&window)->isVisible());
        QVERIFY(WaitForResults(&window));
        QCOMPARE(Table(&window)->rowCount(), 300);
        // The search it asked for runs once the transfer is over: the first
        // instrument is asked who it is once more (after start-up's question
        // and the read-out request).
        QCOMPARE(ports->sims[0]->Commands().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(ports->sims[0]->Commands().size(), 3, 8000);
        QCOMPARE(ports->sims[0]->Commands()[2].at(8), char(1));
        QVERIFY(window.SearchEnds());
        QVERIFY(Button(&window, "trnsfrDataButton")->isEnabled());
    }

    void deviceChangeEnablesTransfer()
    {
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
        QVERIFY(ports->Attach(6));
        // The ports folder changed: the watcher reports it, and after the
        // settling pause the search finds the instrument.
        QTRY_VERIFY_WITH_TIMEOUT(Button(&window, "trnsfrDataButton")->isEnabled(), 8000);
    }

    void searchAmongManySilentPorts()
    {
        // Forty silent serial devices, and two instruments high up among them.
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        for (int n = 1; n <= 42; ++n)
            QVERIFY(
                ports->Attach(n, 0, n == 23 || n == 37 ? InstrumentSimulator::Faults{} : quiet));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QVERIFY(Button(&window, "trnsfrDataButton")->isEnabled());

        // Searching again while the window is watched: the lowest port that
        // answers is chosen, as a search one port after the other would, and
        // the window keeps reacting throughout.
        StallWatch stalls;
        QTest::qWait(50);
        stalls.longest = 0;
        QTest::keyClick(&window, Qt::Key_F5);
        QCOMPARE(Status(&window), QStringLiteral("Searching for the instrument\u2026"));
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
        QVERIFY(!Button(&window, "searchButton")->isEnabled());
        QVERIFY(window.SearchEnds());
        QTest::qWait(20);
        // Asking one port after the other would hold the window for seconds;
        // opening them all takes a few milliseconds, well within this bound
        // on a busy machine too.
        QVERIFY2(stalls.longest < 50, qPrintable(QString::number(stalls.longest)));
        const QString com23 = ports->sims[22]->TerminalPath();
        QCOMPARE(Status(&window), "Instrument on COM23 (" + com23 + ")");
        QVERIFY(Button(&window, "trnsfrDataButton")->isEnabled());
        QVERIFY(Button(&window, "searchButton")->isEnabled());
        for (const auto& sim : ports->sims)
            QCOMPARE(Identifies(sim.get()), 2); // asked once at start-up and once on F5
        Button(&window, "trnsfrDataButton")->click();
        QVERIFY(WaitForResults(&window));
        QCOMPARE(ports->sims[22]->Commands().size(), 3);
        QCOMPARE(ports->sims[36]->Commands().size(), 2); // found, but never read
    }

    void noInstrumentSaysWhy_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("status");
        QTest::newRow("the user may not open the port")
            << "no permission"
            << "No instrument found: no permission for COM2; add the user to the dialout group";
        QTest::newRow("another program holds the port")
            << "held"
            << "No instrument found: COM2 is in use by another program";
        QTest::newRow("nothing answers") << "silent"
                                         << "No instrument found (2 ports tried)";
    }
    void noInstrumentSaysWhy()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, status);
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        InstrumentSimulator* com2 =
            ports->Attach(2, 0, obstacle == "silent" ? quiet : InstrumentSimulator::Faults{});
        QVERIFY(com2 && ports->Attach(4, 0, quiet));
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        const QByteArray terminal = QFile::encodeName(com2->TerminalPath());
        int holder = -1;
        const bool root = ::geteuid() == 0;
        if (obstacle == "no permission")
        {
            // Its device is closed to others, as serial ports are to users
            // outside the dialout group; root is made an ordinary user for
            // the search's opening of the ports.
            QVERIFY(::chmod(terminal.constData(), 0) == 0);
            for (const QString& folder : {ports->dir.path(), ports->path})
                QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            if (root)
            {
                ::setfsgid(65534);
                ::setfsuid(65534);
            }
        }
        if (obstacle == "held")
        {
            holder = ::open(terminal.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        QTest::keyClick(&window, Qt::Key_F5); // the ports are opened before this returns
        if (root)
        {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        QVERIFY(window.SearchEnds());
        if (holder >= 0)
            ::close(holder);
        QCOMPARE(Status(&window), status);
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
    }

    void searchAgainFindsAnInstrumentSwitchedOnLater()
    {
        // An infrared receiver stays plugged in; the instrument in front of it
        // is switched on after the program started, and off again.
        InstrumentSimulator::Faults off;
        off.silent = true;
        InstrumentSimulator* receiver = ports->Attach(3, 0, off);
        QVERIFY(receiver);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QCOMPARE(Status(&window), QStringLiteral("No instrument found (1 port tried)"));
        receiver->SetFaults({});
        QTest::keyClick(&window, Qt::Key_F5);
        QVERIFY(window.SearchEnds());
        QVERIFY(Button(&window, "trnsfrDataButton")->isEnabled());
        QCOMPARE(Status(&window), "Instrument on COM3 (" + receiver->TerminalPath() + ")");
        receiver->SetFaults(off);
        Button(&window, "searchButton")->click();
        QVERIFY(window.SearchEnds());
        QVERIFY(!Button(&window, "trnsfrDataButton")->isEnabled());
        QCOMPARE(Status(&window), QStringLiteral("No instrument found (1 port tried)"));
    }

    void deviceChangesWhileSettlingWaitAgain()
    {
        InstrumentSimulator* sim = ports->Attach(2);
        QVERIFY(sim);
        TestWindow window;
        QVERIFY(window.ShownAndSearched());
        QCOMPARE(Identifies(sim), 1);
        window.deviceSettleMs = 300;
        QElapsedTimer clock;
        clock.start();
        for (int change = 0; change < 3; ++change)
        {
            window.DeviceChangeEvent();
            QTest::qWait(150);
        }
        // The first change alone would have searched by now.
        QVERIFY(clock.elapsed() >= 450);
        QCOMPARE(Identifies(sim), 1);
        QTRY_COMPARE(Identifies(sim), 2);
        QTest::qWait(400);
        QCOMPARE(Identifies(sim), 2); // one search for the burst
    }

private:
    std::unique_ptr<PinnedPorts> ports;
    std::unique_ptr<QTemporaryDir> dataDir;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
