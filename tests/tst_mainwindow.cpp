// The program as a technician uses it: the main window against simulated
// instruments on pseudo-terminals, with message boxes and the save dialog
// answered the way a user would answer them.
#include "PinnedPorts.h"
#include "ReplyBuilder.h"
#include "support/Files.h"
#include "support/Ports.h"
#include "support/Records.h"
#include "support/Settings.h"
#include "support/User.h"
#include "support/Window.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <optional>
#include <sys/fsuid.h>
#include <sys/stat.h>

using ReplyFrame::Family;

namespace
{
QString LimitsPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Limits.ini");
}

QAbstractSeries* Series(QChartView* view, const char* name)
{
    for (QAbstractSeries* s : view->chart()->series())
        if (s->objectName() == QLatin1String(name))
            return s;
    return nullptr;
}

void WriteSettings(const QString& dataPath, const QByteArray& port = "Any")
{
    WriteFile(SettingsPath(), SevenLines("38400", port, dataPath));
}

QByteArray Generated(int count)
{
    return ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, count));
}

// The settings dialog's fields, as a user meets them.
struct SettingsDialog
{
    explicit SettingsDialog(QWidget* w)
        : dialog(qobject_cast<QDialog*>(w)), port(w->findChild<QComboBox*>("portCombo")),
          speed(w->findChild<QComboBox*>("speedCombo")),
          folder(w->findChild<QLineEdit*>("dataPathEdit")),
          virtualDevice(w->findChild<QComboBox*>("virtualCombo")),
          notice(w->findChild<QLabel*>("noticeLabel")),
          ok(w->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok))
    {
    }
    bool Whole() const
    {
        return dialog && port && speed && folder && virtualDevice && notice && ok;
    }
    // The speed typed as a user types it, over what was there.
    void TypeSpeed(const QString& text)
    {
        speed->lineEdit()->selectAll();
        QTest::keyClick(speed->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(speed->lineEdit(), text);
    }
    QDialog* dialog;
    QComboBox* port;
    QComboBox* speed;
    QLineEdit* folder;
    QComboBox* virtualDevice;
    QLabel* notice;
    QPushButton* ok;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<PinnedPorts> ports;
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<TestWindow> window;
    InstrumentSimulator* sim = nullptr;

    // The window, shown, once the search it starts with is over.
    bool Open()
    {
        window = std::make_unique<TestWindow>();
        return window->ShownAndSearched();
    }
    // An instrument on COM2 with this reply (the simulator's own when
    // empty), then the window.
    bool OpenWithInstrument(const QByteArray& reply = {},
                            const InstrumentSimulator::Faults& faults = {}, int speed = 0)
    {
        sim = ports->Attach(2, speed, faults);
        if (sim && !reply.isEmpty())
            sim->SetReply(reply);
        return sim && Open();
    }

private slots:
    void init()
    {
        QFile::remove(SettingsPath());
        ports = std::make_unique<PinnedPorts>();
        dataDir = std::make_unique<QTemporaryDir>();
        WriteSettings(dataDir->path() + "/");
    }
    void cleanup()
    {
        window.reset();
        ports.reset();
        dataDir.reset();
        QFile::remove(SettingsPath());
        QFile::remove(LimitsPath());
    }

    void wholeTransferFillsTheTableAndTheStatistics()
    {
        // Groups 1, 3 and 4 only, in another order, a duplicate cell, both
        // units of the family and every divisor.
        QVERIFY(OpenWithInstrument(ReplyBuilder::Frame(
            Family::VXnn, {Record(3, 7, 1234, 100, 2, 3), Record(1, 2, 486, 1000, 3, 3),
                           Record(3, 7, 1240, 100, 2, 3), Record(1, 1, 500, 100, 3, 3),
                           Record(4, 1, 52, 10, 2, 3)})));
        window->successMessageMs = 200;
        QToolButton* statistics = window->Button("statisticsButton");
        User user;
        window->transferButton->click();
        QVERIFY(window->progress->isVisible());
        // The success text is up, the bar hidden, and nothing can be started
        // until the results are shown.
        QTRY_VERIFY(window->message->isVisible());
        QCOMPARE(window->message->text(), QStringLiteral("Data transfer completed successfully."));
        QVERIFY(!window->bar->isVisible());
        QVERIFY(!window->transferButton->isEnabled() && !window->saveButton->isEnabled() &&
                !statistics->isEnabled());
        QVERIFY(!window->table->isVisible());
        QVERIFY(window->WaitForResults());
        QCOMPARE(Rows(window->table), QStringList({"1|2|0.486|Inches", "1|1|5.00|Inches",
                                                   "3|7|12.34|mm", "3|7|12.40|mm", "4|1|5.2|mm"}));
        QCOMPARE(window->StatusText(), QStringLiteral("5 measurements in 3 groups"));
        // One row per group and unit, in the readings' finest decimals; one
        // reading has no deviation to show.
        statistics->click();
        auto* figures = window->findChild<QTableWidget*>("statisticsTable");
        QTRY_VERIFY(figures->isVisible());
        QCOMPARE(Rows(figures),
                 QStringList({"1|Inches|2|0.486|5.000|2.743|3.192", "3|mm|2|12.34|12.40|12.37|0.04",
                              "4|mm|1|5.2|5.2|5.2|"}));
        // Beside the main window, not over it; its figures copied for a spreadsheet.
        QWidget* figuresWindow = figures->window();
        figuresWindow->hide(); // narrower, to fit beside it on the test's small screen
        figuresWindow->resize(400, 300);
        statistics->click();
        QTRY_VERIFY(figuresWindow->isVisible());
        QVERIFY2(!figuresWindow->frameGeometry().intersects(window->frameGeometry()),
                 qPrintable(QString("%1 %2 on %3")
                                .arg(figuresWindow->frameGeometry().x())
                                .arg(window->frameGeometry().right())
                                .arg(window->screen()->availableGeometry().width())));
        QCOMPARE(figuresWindow->frameGeometry().top(), window->frameGeometry().top());
        figuresWindow->findChild<QPushButton*>("copyButton")->click();
        QCOMPARE(
            QApplication::clipboard()->text(),
            QStringLiteral("Group\tUnit\tCount\tMinimum\tMaximum\tMean\tStd. deviation\n"
                           "1\tInches\t2\t0.486\t5.000\t2.743\t3.192\n"
                           "3\tmm\t2\t12.34\t12.40\t12.37\t0.04\n4\tmm\t1\t5.2\t5.2\t5.2\t\n"));

        // A second transfer, after No to the question, replaces every row.
        sim->SetReply(ReplyBuilder::Frame(Family::TR620, {Record(2, 9, 4321, 1, 0, 0)}));
        user.Then(User::Press(QMessageBox::No));
        QVERIFY(window->Transfer());
        QCOMPARE(Rows(window->table), QStringList({"2|9|4321|m/s"}));
        QCOMPARE(window->StatusText(), QStringLiteral("1 measurement in 1 group"));
    }

    // Charts of the row chosen, limits typed as the desktop writes numbers
    // (a German one too: see CMakeLists), and the readings outside them
    // marked in the result table, whose values stay as they are.
    void chartsLimitsAndMarks()
    {
        QFile::remove(LimitsPath());
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::TR620, 150);
        QVERIFY(OpenWithInstrument(ReplyBuilder::Frame(Family::TR620, records)));
        QVERIFY(window->Transfer());
        window->Button("statisticsButton")->click();
        auto* figures = window->findChild<QWidget*>("StatisticsWindowGUI");
        QTRY_VERIFY(figures->isVisible());
        auto* table = figures->findChild<QTableWidget*>("statisticsTable");
        auto* histogram = figures->findChild<QChartView*>("histogramView");
        auto* run = figures->findChild<QChartView*>("runChartView");
        QCOMPARE(table->columnCount(), 7);
        int chosen = -1;
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 0)->text() == "2" && table->item(r, 1)->text() == "us")
                chosen = r;
        QVERIFY(chosen >= 0);
        table->selectRow(chosen);
        int count = 0;
        for (const CMeasurement& r : records)
            count += r.group == 2 && r.unit == Unit::Microseconds;
        auto* readings = qobject_cast<QLineSeries*>(Series(run, "readings"));
        QVERIFY(readings);
        QCOMPARE(int(readings->count()), count);
        auto* bars = qobject_cast<QAreaSeries*>(Series(histogram, "readings"));
        QVERIFY(bars);
        double binned = 0;
        for (int i = 1; i + 1 < bars->upperSeries()->count(); i += 2)
            binned += bars->upperSeries()->at(i).y();
        QCOMPARE(int(binned), count);
        QVERIFY(!Series(run, "low") && !Series(run, "high"));

        // A number written the other way is refused, and nothing is saved.
        const QChar point = QLocale().decimalPoint().at(0);
        const QChar other = point == '.' ? ',' : '.';
        auto* low = figures->findChild<QLineEdit*>("lowEdit");
        auto* high = figures->findChild<QLineEdit*>("highEdit");
        auto* message = figures->findChild<QLabel*>("limitsMessage");
        auto* set = figures->findChild<QPushButton*>("setLimitsButton");
        low->setText("600");
        high->setText(QStringLiteral("900") + other + "5");
        set->click();
        QVERIFY2(message->text().contains(high->text()), qPrintable(message->text()));
        QVERIFY(!QFile::exists(LimitsPath()));
        high->setText(QStringLiteral("900") + point + "5");
        set->click();
        QVERIFY2(ReadFile(LimitsPath()).contains("High=900.5"), ReadFile(LimitsPath()).constData());

        // Pass and fail as an independent count; the limits on the run chart.
        int below = 0;
        int above = 0;
        for (const CMeasurement& r : records)
            if (r.group == 2 && r.unit == Unit::Microseconds)
            {
                below += r.value < 6000;
                above += r.value > 9005;
            }
        QVERIFY(below > 0 && above > 0);
        QCOMPARE(table->columnCount(), 11);
        QCOMPARE(table->item(chosen, 7)->text(), QString::number(count - below - above));
        QCOMPARE(table->item(chosen, 8)->text(), QString::number(below + above));
        QVERIFY(Series(run, "low") && Series(run, "high"));
        QCOMPARE(int(qobject_cast<QScatterSeries*>(Series(run, "outside"))->count()),
                 below + above);

        // The result table: a sign and a tip on exactly those readings; their
        // values, and what is copied of them, as they were.
        int marked = 0;
        for (int r = 0; r < window->table->rowCount(); ++r)
        {
            QTableWidgetItem* value = window->table->item(r, 2);
            const double shown = value->text().toDouble();
            const bool outside = window->table->item(r, 0)->text() == "2" &&
                                 window->table->item(r, 3)->text() == "us" &&
                                 (shown < 600 || shown > 900.5);
            QCOMPARE(!value->icon().isNull(), outside);
            if (shown > 900.5 && outside)
                QCOMPARE(value->toolTip(),
                         QStringLiteral("Above the high limit 900") + point + "5");
            marked += outside;
        }
        QCOMPARE(marked, below + above);
        window->table->setFocus();
        QTest::keySequence(window->table, QKeySequence::Copy);
        const QString copied = QApplication::clipboard()->text();
        QVERIFY(copied.contains('\n') && !copied.contains(QStringLiteral("▲")) &&
                !copied.contains(QStringLiteral("▼")));
    }

    void repliesWithoutRecords_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid reply, empty slots")
            << ReplyBuilder::Header(Family::VXnn, 1) + QByteArray(256, '\0')
            << "No measurements in connected device!";
        // Refused as soon as the header says so, not after 255 pages came.
        QTest::newRow("more pages than a read-out holds")
            << ReplyBuilder::Header(Family::VXnn, 255) + Generated(40).mid(11)
            << "The instrument announced 255 pages of results; this program reads at most 253.";
    }
    void repliesWithoutRecords()
    {
        QFETCH(QByteArray, reply);
        QVERIFY(OpenWithInstrument(reply));
        User user;
        user.Then(User::Press(QMessageBox::Ok));
        window->transferButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(user.seen.size(), 1, 10000);
        QTEST(user.seen[0].text, "message");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!window->table->isVisible() && !window->saveButton->isEnabled());
        QVERIFY(!window->Engine()->unsavedData); // closing asks nothing
    }

    // The Transfer Data button, or closing the window, ends a transfer; the
    // whole pages that came are offered.
    void endingAStalledTransfer_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>(
            "how"); // Transfer Data, Cancel or Esc in the progress window, or closing
        QTest::addColumn<int>("keep"); // the answer to the keep question; 0 not asked, -1 Esc
        QTest::addColumn<int>("rows");
        const QByteArray cut = Generated(128).left(11 + 2 * 256 + 100); // 2 of 4 pages
        QTest::newRow("cut short: kept") << cut << "transfer" << int(QMessageBox::Yes) << 64;
        QTest::newRow("cut short: given up") << cut << "transfer" << int(QMessageBox::No) << 0;
        QTest::newRow("cut short: Esc is no answer, the pages stay")
            << cut << "transfer" << -1 << 64;
        QTest::newRow("cut short, window closed, a device plugged in: kept, the close cancelled")
            << cut << "close" << int(QMessageBox::Yes) << 64;
        QTest::newRow("garbage only: nothing to keep")
            << QByteArray(700, 'g') << "transfer" << 0 << 0;
        QTest::newRow("cut short, Cancel: kept") << cut << "cancel" << int(QMessageBox::Yes) << 64;
        QTest::newRow("cut short, Esc in the progress window: kept")
            << cut << "esc" << int(QMessageBox::Yes) << 64;
        QTest::newRow("garbage only, Esc in the progress window: nothing to keep")
            << QByteArray(700, 'g') << "esc" << 0 << 0;
    }
    void endingAStalledTransfer()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, how);
        QFETCH(int, keep);
        QFETCH(int, rows);
        const bool closing = how == "close";
        QVERIFY(OpenWithInstrument(reply));
        User user;
        window->transferButton->click();
        QTRY_VERIFY(window->Stalled());
        QVERIFY(window->message->text().contains("press Cancel to stop"));
        auto* cancel = window->progress->findChild<QPushButton*>("cancelButton");
        QVERIFY(cancel && cancel->isVisible());

        if (keep)
            user.Then([this, keep, closing](QWidget* box) {
                if (closing) // a search now would take the pages offered
                {
                    window->DeviceChangeEvent();
                    QTest::qWait(100); // past the settling pause
                }
                if (keep < 0)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    User::Press(QMessageBox::StandardButton(keep))(box);
            });
        if (closing)
            user.Then(User::Press(QMessageBox::Cancel)); // the unsaved-data question
        user.Then(User::Press(QMessageBox::No));         // a box that must not come is counted
        if (closing)
            window->close();
        else if (how == "cancel")
            cancel->click();
        else if (how == "esc")
            QTest::keyClick(window->progress, Qt::Key_Escape);
        else
            window->transferButton->click();
        QTRY_VERIFY(user.answers.size() == 1 && !QApplication::activeModalWidget());
        QCOMPARE(user.seen.size(), int(keep != 0) + int(closing));
        if (keep)
            QCOMPARE(user.seen[0].text, QStringLiteral("The transfer did not complete. Keep the 64 "
                                                       "measurements from 2 of 4 pages received?"));
        QVERIFY(!window->progress->isVisible());
        QVERIFY(window->isVisible());
        QCOMPARE(window->table->isVisible(), rows > 0);
        QCOMPARE(window->saveButton->isEnabled(), rows > 0);
        if (rows)
        {
            QCOMPARE(window->table->rowCount(), rows);
            QCOMPARE(window->windowTitle(), QStringLiteral("Incomplete: 2 of 4 pages - Parvesta"));
            if (!closing) // the search the device change asked for runs now
                QCOMPARE(window->StatusText(), QStringLiteral("Incomplete: 2 of 4 pages \u2014 "
                                                              "64 measurements in 2 groups"));
            // The kept pages named the family.
            QVERIFY(window->SearchEnds());
            window->SetViewState(TestWindow::NoResults);
            QVERIFY2(window->StatusText().startsWith("VX-nn on COM2 ("),
                     qPrintable(window->StatusText()));
        }
    }

    // The cable is pulled during a transfer: the window says why at once,
    // or offers the whole pages that came before.
    void instrumentUnpluggedDuringATransfer_data()
    {
        QTest::addColumn<int>("unplugAfter");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("text");
        QTest::newRow("before a whole page")
            << 100 << int(QMessageBox::Ok)
            << "Data transfer failed! Please try again.\n\nThe instrument's port COM2 (%1) is "
               "not there any more. Connect the instrument again; Parvesta looks for it by itself.";
        QTest::newRow("after two pages") << 11 + 2 * 256 + 40 << int(QMessageBox::No)
                                         << "The transfer did not complete. Keep the 64 "
                                            "measurements from 2 of 4 pages received?";
    }
    void instrumentUnpluggedDuringATransfer()
    {
        QFETCH(int, unplugAfter);
        QFETCH(int, answer);
        QFETCH(QString, text);
        InstrumentSimulator::Faults faults;
        faults.unplugAfter = unplugAfter;
        // Slow enough for the window to read along before the line goes.
        QVERIFY(OpenWithInstrument(Generated(128), faults, 38400));
        const QString device = ports->Entry(2);
        User user;
        user.Then(User::Press(QMessageBox::StandardButton(answer)));
        user.Then(User::Press(QMessageBox::Ok)); // a box that must not come is counted
        window->transferButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(user.seen.size(), 1, 5000);
        QCOMPARE(user.seen[0].text, text.contains("%1") ? text.arg(device) : text);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!window->progress->isVisible());
        QVERIFY(!window->table->isVisible());
        QVERIFY(!window->Engine()->unsavedData);
        QTest::qWait(100);
        QCOMPARE(user.seen.size(), 1);
    }

    void transferThatCannotStart()
    {
        QVERIFY(OpenWithInstrument());
        // Another program takes the port after the search found the instrument.
        HeldLine holder(sim);
        QVERIFY(holder.held);
        User user;
        user.Then(User::Press(QMessageBox::Ok));
        window->transferButton->click();
        QTRY_COMPARE(user.seen.size(), 1);
        holder.Release();
        QVERIFY2(user.seen[0].text.startsWith("The transfer could not start.") &&
                     user.seen[0].text.contains("Another program is using the port COM2"),
                 qPrintable(user.seen[0].text));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!window->progress->isVisible());
        // Nothing is left running: the next press starts a transfer that works.
        QVERIFY(window->Transfer());
    }

    // Results not yet in a file are guarded; the format follows the name,
    // whichever filter is chosen; a failure says which file, why and what to
    // do; the status line says where the file went.
    void savesAndTheirFailures()
    {
        QVERIFY(OpenWithInstrument());
        QVERIFY(window->Transfer());
        const QString folder = QDir(dataDir->path()).absolutePath();
        User user;
        const auto save = [&](const QString& name, bool fails = false) {
            user.Then(User::SaveAs(folder + "/" + name));
            if (fails)
                user.Then(User::Press(QMessageBox::Ok));
            window->saveButton->click();
            return ReadFile(folder + "/" + name);
        };
        QVERIFY(save("r.bin").startsWith("WQXONVX-T"));
        // The data folder is made absolute.
        QCOMPARE(user.seen[0].proposed, folder + "/results1.csv");
        // The instrument's bytes alone are not the results saved: closing
        // asks, and a save given up keeps the window open.
        user.Then(User::Press(QMessageBox::Yes));
        user.Then(User::SaveAs(QString()));
        window->close();
        QVERIFY(window->isVisible() && user.seen.size() == 3);
        QCOMPARE(user.seen[1].text,
                 QStringLiteral("Received data will be lost. Do you want to save it?"));
        // A save that fails from the question is no save: the window stays,
        // and so do the results.
        user.Then(User::Press(QMessageBox::Yes));
        user.Then(User::SaveAs(folder + "/gone/x.csv"));
        user.Then(User::Press(QMessageBox::Ok));
        window->close();
        QVERIFY(window->isVisible() && window->table->isVisible() && user.seen.size() == 6);
        QVERIFY(user.seen[5].text.startsWith("The file " + folder + "/gone/x.csv could not"));
        // A new transfer asks too; saved first, the results make way for it.
        user.Then(User::Press(QMessageBox::Yes));
        user.Then(User::SaveAs(folder + "/r.txt"));
        QVERIFY(window->Transfer());
        QVERIFY(ReadFile(folder + "/r.txt").startsWith("\"Group\";"));
        QVERIFY(save("r.XLSX").startsWith("PK\x03\x04"));
        // A path too long for the line gives way in its middle; its tip holds it whole.
        QCOMPARE(window->status->toolTip(), "Saved to " + folder + "/r.XLSX");
        QVERIFY2(window->status->text().startsWith("Saved to /") &&
                     window->status->text().endsWith("/r.XLSX"),
                 qPrintable(window->status->text()));
        // JSON for the next program in a chain, saying where and when the
        // results came from.
        const QJsonObject json = QJsonDocument::fromJson(save("r.json")).object();
        QCOMPARE(json["program"]["name"].toString(), QStringLiteral("Parvesta"));
        QCOMPARE(json["port"].toString(), QStringLiteral("COM2"));
        QVERIFY(json["complete"].toBool());
        QVERIFY(QDateTime::fromString(json["downloaded"].toString(), Qt::ISODate)
                    .secsTo(QDateTime::currentDateTimeUtc()) < 60);
        QCOMPARE(json["records"].toArray().size(), window->table->rowCount());
        // The proposed name follows the type chosen.
        user.Then(User::SaveAsType(2));
        window->saveButton->click();
        QVERIFY(ReadFile(folder + "/results1.json").startsWith("{"));
        QVERIFY(!QFileInfo::exists(folder + "/results1.csv"));
        // A name typed without an extension gets the chosen type's.
        user.Then(User::SaveAs(folder + "/noext", 1));
        window->saveButton->click();
        QVERIFY(ReadFile(folder + "/noext.xlsx").startsWith("PK\x03\x04"));
        QVERIFY(!QFileInfo::exists(folder + "/noext"));
        QCOMPARE(save("gone/r.csv", true), QByteArray("<unreadable>"));
        QCOMPARE(user.seen.last().text, "The file " + folder +
                                            "/gone/r.csv could not be saved: the folder does not "
                                            "exist (was a drive taken away?); choose another "
                                            "folder.");
        // The failed save did not undo the good one: closing asks nothing.
        window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(user.seen.size(), 14);
    }

    // The folder the save dialog starts in, and which folder it makes.
    void saveDialogStartsIn_data()
    {
        QTest::addColumn<QString>("setting");  // the last save's folder, in the test's folder
        QTest::addColumn<QString>("proposed"); // in the test's folder; "@" the program's
        QTest::newRow("the last save's folder is gone: its nearest parent, nothing made")
            << "usb/Results/"
            << "results1.csv";
        QTest::newRow("none of the user's: Data beside the program, made") << ""
                                                                           << "@/Data/results1.csv";
    }
    void saveDialogStartsIn()
    {
        QFETCH(QString, setting);
        QFETCH(QString, proposed);
        const QString program = QCoreApplication::applicationDirPath();
        QDir(program + "/Data").removeRecursively();
        WriteSettings(setting.isEmpty() ? QString() : dataDir->path() + "/" + setting);
        QVERIFY(Open());
        window->SetViewState(TestWindow::ResultsShown);
        User user;
        user.Then(User::SaveAs(QString()));
        window->saveButton->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen[0].proposed,
                 proposed.startsWith('@') ? program + proposed.mid(1)
                                          : QDir(dataDir->path()).absolutePath() + "/" + proposed);
        QCOMPARE(QFileInfo(program + "/Data").isDir(), proposed.startsWith('@'));
        QVERIFY(!QFileInfo::exists(dataDir->path() + "/usb"));
        QDir(program + "/Data").removeRecursively();
    }

    // The instrument stops for a while half way, and another one is plugged
    // in meanwhile: the stall is shown until bytes come again, and the search
    // the plug-in asks for waits until the transfer is over.
    void pauseAndPlugInDuringATransfer()
    {
        InstrumentSimulator::Faults faults;
        faults.pauseAt = 11 + 5 * 256;
        faults.pauseMs = 500;
        // 10 pages; the five after the pause take more than a second to come.
        QVERIFY(OpenWithInstrument(Generated(300), faults, 9600));
        window->transferButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->Stalled(), 5000);
        QCOMPARE(window->bar->value(), 50); // what came before the pause still counts
        QCOMPARE(window->StatusText(), QStringLiteral("No data arriving (50 % received)"));
        QVERIFY(ports->Attach(5));
        window->DeviceChangeEvent();
        // Bytes come again: the stall text goes while the bar moves on.
        QTRY_VERIFY(!window->message->isVisible());
        QVERIFY(window->progress->isVisible() && window->bar->value() < 100);
        QCOMPARE(window->StatusText(),
                 QStringLiteral("Receiving\u2026 %1 %").arg(window->bar->value()));
        QVERIFY(window->WaitForResults());
        QCOMPARE(window->table->rowCount(), 300);
        QCOMPARE(window->windowTitle(), QStringLiteral("Parvesta"));
        // After start-up's question and the read-out request, the first
        // instrument is asked who it is once more.
        QCOMPARE(sim->Commands().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(sim->Commands().size(), 3, 8000);
        QCOMPARE(Commands(sim, 1), 2);
        QVERIFY(window->SearchEnds());
        QVERIFY(window->transferButton->isEnabled());
        // The reply named the family: the status line says it of that port.
        window->SetViewState(TestWindow::NoResults);
        QVERIFY2(window->StatusText().startsWith("VX-nn on COM2 ("),
                 qPrintable(window->StatusText()));
    }

    void deviceChangeEnablesTransfer()
    {
        QVERIFY(Open());
        QVERIFY(!window->transferButton->isEnabled());
        QVERIFY(ports->Attach(6));
        // The ports folder changed: the watcher reports it, and after the
        // settling pause the search finds the instrument.
        QTRY_VERIFY_WITH_TIMEOUT(window->transferButton->isEnabled(), 8000);
    }

    void searchAmongManySilentPorts()
    {
        // Forty silent serial devices, and two instruments high up among them.
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        for (int n = 1; n <= 42; ++n)
            QVERIFY(
                ports->Attach(n, 0, n == 23 || n == 37 ? InstrumentSimulator::Faults{} : quiet));
        QVERIFY(Open());
        QVERIFY(window->transferButton->isEnabled());

        // Searching again while the window is watched: the lowest port that
        // answers is chosen, as a search one port after the other would, and
        // the window keeps reacting throughout.
        // How late a timer that asks to run every 5 ms comes: the longest
        // time the window could not have reacted to the user.
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        connect(&ticks, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last - 5);
            last = clock.elapsed();
        });
        clock.start();
        ticks.start(5);
        QTest::qWait(50);
        longest = 0;
        QTest::keyClick(window.get(), Qt::Key_F5);
        QCOMPARE(window->StatusText(), QStringLiteral("Searching for the instrument\u2026"));
        QVERIFY(!window->transferButton->isEnabled());
        QVERIFY(!window->Button("searchButton")->isEnabled());
        QVERIFY(window->SearchEnds());
        QTest::qWait(20);
        // Asking one port after the other would hold the window for seconds;
        // opening them all takes a few milliseconds, well within this bound
        // on a busy machine too.
        QVERIFY2(longest < 50, qPrintable(QString::number(longest)));
        const QString com23 = ports->sims[22]->TerminalPath();
        QCOMPARE(window->StatusText(), "Instrument on COM23 (" + com23 + ")");
        QVERIFY(window->transferButton->isEnabled());
        QVERIFY(window->Button("searchButton")->isEnabled());
        for (const auto& port : ports->sims)
            QCOMPARE(Commands(port.get(), 1), 2); // asked once at start-up and once on F5
        QVERIFY(window->Transfer());
        QCOMPARE(ports->sims[22]->Commands().size(), 3);
        QCOMPARE(ports->sims[36]->Commands().size(), 2); // found, but never read
    }

    // The instrument found at start-up is no longer there when the search
    // button asks again, and the status line says why.
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
        QTest::newRow("switched off: nothing answers") << "silent"
                                                       << "No instrument found (2 ports tried)";
    }
    void noInstrumentSaysWhy()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, status);
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        QVERIFY(ports->Attach(4, 0, quiet));
        QVERIFY(OpenWithInstrument());
        QVERIFY(window->transferButton->isEnabled());
        const QByteArray terminal = QFile::encodeName(sim->TerminalPath());
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
        std::optional<HeldLine> holder;
        if (obstacle == "held")
            QVERIFY(holder.emplace(sim).held);
        if (obstacle == "silent")
            sim->SetFaults(quiet);
        window->Button("searchButton")->click(); // the ports are opened before this returns
        if (root)
        {
            ::setfsuid(0);
            ::setfsgid(0);
        }
        QVERIFY(window->SearchEnds());
        QCOMPARE(window->StatusText(), status);
        QVERIFY(!window->transferButton->isEnabled());
    }

    // A Settings.ini or Limits.ini the program cannot understand is said
    // once, in the status line and where it is changed, and kept as it was,
    // at the program's end too; only the dialog's OK replaces it.
    void settingsNotUnderstood()
    {
        const QByteArray own = "Parvesta Einstellungen\r\nCOMPort:COM9\r\n";
        WriteFile(SettingsPath(), own);
        const QByteArray ownLimits = "[Limits]\r\nGroup=1;Unit=mm;Low=1,2\r\n";
        WriteFile(LimitsPath(), ownLimits);
        QVERIFY(OpenWithInstrument());
        // Longer than the line's two lines: the words that fit, then "…",
        // and the whole of it in the tip before the search's outcome.
        const QString both = "Settings.ini could not be understood; it is kept as it is and the "
                             "defaults are used. Limits.ini could not be understood; it is kept as "
                             "it is and no limits are used.";
        const QString shown = window->status->text();
        const QString kept = shown.chopped(1);
        QVERIFY2(shown.endsWith(QChar(0x2026)) && kept.size() > 40 && both.startsWith(kept) &&
                     both.at(kept.size()) == ' ',
                 qPrintable(shown));
        const QFontMetrics metrics = window->status->fontMetrics();
        QVERIFY(metrics.boundingRect(window->status->contentsRect(), Qt::TextWordWrap, shown)
                    .height() <= 2 * metrics.lineSpacing());
        QVERIFY2(window->status->toolTip().startsWith(both + "\nInstrument on COM2"),
                 qPrintable(window->status->toolTip()));
        QVERIFY(window->transferButton->isEnabled()); // the defaults search every port
        window->Button("searchButton")->click();
        QVERIFY(window->SearchEnds());
        QVERIFY(window->StatusText().startsWith("Instrument on COM2"));
        bool noticeShown = false;
        User user;
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            noticeShown = settings.notice->isVisible();
            settings.dialog->reject();
        });
        window->Button("settingsButton")->click();
        QVERIFY(noticeShown);
        window.reset();
        QCOMPARE(ReadFile(SettingsPath()), own);
        QCOMPARE(ReadFile(LimitsPath()), ownLimits);

        QVERIFY(Open());
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            settings.folder->setText(dataDir->path());
            settings.ok->click();
        });
        window->Button("settingsButton")->click();
        QCOMPARE(user.seen.size(), 2);
        QCOMPARE(ReadFile(SettingsPath()), SevenLines("38400", "Any", dataDir->path() + "/"));
        QVERIFY(window->Engine()->SettingsNotice().isEmpty());
    }

    // The gear opens the settings (Ctrl+, does in tst_windows' keyboard
    // walk); what OK writes is Settings.ini in its seven lines, and the port
    // chosen is where the next search looks.
    void settingsChangedInTheWindow()
    {
        // The instrument is on COM3, but Settings.ini names COM2 alone.
        WriteSettings(dataDir->path() + "/", "COM2");
        QVERIFY(ports->Attach(3));
        QVERIFY(Open());
        QVERIFY(window->StatusText().startsWith("No instrument found"));
        QVERIFY(!window->transferButton->isEnabled());
        QToolButton* gear = window->Button("settingsButton");
        QVERIFY(gear && gear->isVisible());
        QCOMPARE(gear->accessibleName(), QStringLiteral("Settings"));
        QVERIFY(gear->toolTip().endsWith("(Ctrl+,)"));

        const QString chosen = dataDir->path() + "/chosen";
        QVERIFY(QDir().mkpath(chosen));
        QStringList shown;
        User user;
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            QVERIFY(settings.Whole());
            QCOMPARE(w->objectName(), QStringLiteral("SettingsWindowGUI"));
            QVERIFY(!settings.notice->isVisible());
            // As Settings.ini has them, the last search's finding beside each port.
            shown << settings.port->currentText() << settings.speed->currentText()
                  << settings.folder->text() << settings.virtualDevice->currentText()
                  << settings.port->itemText(0) << settings.port->itemText(3)
                  << QString::number(settings.port->count());
            // The data folder by the folder chooser (answered below).
            w->findChild<QPushButton*>("browseButton")->click();
            settings.port->setCurrentIndex(settings.port->findData(3));
            settings.TypeSpeed("9600");
            settings.ok->click();
        });
        user.Then([&](QWidget* w) {
            QVERIFY(qobject_cast<QFileDialog*>(w));
            w->findChild<QLineEdit*>("fileNameEdit")->setText(chosen);
            static_cast<QDialog*>(w)->accept();
        });
        gear->click();
        QCOMPARE(user.seen.size(), 2);
        QCOMPARE(shown.size(), 7);
        QVERIFY2(shown[0].startsWith("COM2") && shown[0].endsWith(" is not there"),
                 qPrintable(shown[0]));
        QCOMPARE(shown.mid(1),
                 (QStringList{"38400", dataDir->path() + "/", "Off", "Any", "COM3", "50"}));
        QCOMPARE(ReadFile(SettingsPath()), SevenLines("9600", "COM3", chosen + "/"));
        // At once: the next search asks COM3, and finds the instrument there.
        QVERIFY(window->SearchEnds());
        QVERIFY2(window->StatusText().startsWith("Instrument on COM3"),
                 qPrintable(window->StatusText()));
        QVERIFY(window->transferButton->isEnabled());
        QCOMPARE(window->Engine()->comSpeed, 9600);
        QCOMPARE(window->Engine()->SaveFolder(), chosen + "/");
        // And the program's end writes back the same.
        window.reset();
        QCOMPARE(ReadFile(SettingsPath()), SevenLines("9600", "COM3", chosen + "/"));
    }

    // The virtual device is switched on and off from the dialog, and the
    // search that follows finds it, or no longer does.
    void virtualDeviceChosenInTheWindow()
    {
        QVERIFY(Open());
        QVERIFY(!window->transferButton->isEnabled());
        const auto choose = [this](int port) {
            User user;
            user.Then([port](QWidget* w) {
                SettingsDialog settings(w);
                settings.virtualDevice->setCurrentIndex(settings.virtualDevice->findData(port));
                settings.ok->click();
            });
            window->Button("settingsButton")->click();
            return user.seen.size() == 1 && window->SearchEnds();
        };
        QVERIFY(choose(5));
        QCOMPARE(ReadFile(SettingsPath()),
                 SevenLines("38400", "Any", dataDir->path() + "/", "COM5"));
        QCOMPARE(window->StatusText(), QStringLiteral("Virtual instrument on COM5"));
        QVERIFY(window->transferButton->isEnabled());
        QVERIFY(choose(0));
        QCOMPARE(ReadFile(SettingsPath()), SevenLines("38400", "Any", dataDir->path() + "/"));
        QVERIFY(!window->transferButton->isEnabled());
    }

    // Cancel and Esc leave Settings.ini alone, and the settings in force.
    void settingsLeftAsTheyWere_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Esc") << true;
    }
    void settingsLeftAsTheyWere()
    {
        QFETCH(bool, escape);
        QVERIFY(OpenWithInstrument());
        const QByteArray before = ReadFile(SettingsPath());
        QFile file(SettingsPath());
        const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-3);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();
        User user;
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            QVERIFY(settings.Whole());
            settings.port->setCurrentIndex(settings.port->findData(7));
            settings.TypeSpeed("115200");
            settings.folder->setText("/elsewhere");
            settings.virtualDevice->setCurrentIndex(5);
            if (escape)
                QTest::keyClick(w, Qt::Key_Escape);
            else
                w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        window->Button("settingsButton")->click();
        QCOMPARE(user.seen.size(), 1);
        QCOMPARE(ReadFile(SettingsPath()), before);
        QCOMPARE(QFileInfo(SettingsPath()).lastModified().toSecsSinceEpoch(),
                 old.toSecsSinceEpoch());
        QCOMPARE(window->Engine()->comSpeed, 38400);
        QVERIFY(!window->Engine()->fixedPort && !window->Engine()->virtualDevice);
        QVERIFY(window->StatusText().startsWith("Instrument on COM2"));
    }

    // What Settings.ini could not hold is refused before anything is written.
    void settingsRefused_data()
    {
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("speed 0") << "0" << QString() << QString();
        QTest::newRow("speed fast") << "fast" << QString() << QString();
        QTest::newRow("no speed") << "" << QString() << QString();
        QTest::newRow("no folder") << "9600"
                                   << "" << QString();
        QTest::newRow("a line break in the folder's name")
            << "9600"
            << "/tmp/two\nlines"
            << "The data folder's name holds a line break, which Settings.ini cannot keep. "
               "Choose another folder.";
    }
    void settingsRefused()
    {
        QFETCH(QString, speed);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        QVERIFY(Open());
        const QByteArray before = ReadFile(SettingsPath());
        User user;
        bool okEnabled = true;
        bool stillOpen = false;
        QString typed;
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            QVERIFY(settings.Whole());
            settings.TypeSpeed(speed);
            typed = settings.speed->currentText();
            if (!folder.isNull())
                settings.folder->setText(folder);
            okEnabled = settings.ok->isEnabled();
            // Enter is OK, were it allowed.
            if (message.isEmpty())
                QTest::keyClick(settings.speed, Qt::Key_Return);
            settings.ok->click();
            stillOpen = w->isVisible();
            settings.dialog->reject();
        });
        if (!message.isEmpty())
            user.Then(User::Press(QMessageBox::Ok));
        window->Button("settingsButton")->click();
        QVERIFY(stillOpen);
        QCOMPARE(okEnabled, !message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(user.seen.value(1).text, message);
        else
            QCOMPARE(user.seen.size(), 1);
        // Letters never reach the field.
        QVERIFY(typed.isEmpty() || typed == speed.left(typed.size()));
        QCOMPARE(typed == speed, speed != "fast");
        QCOMPARE(ReadFile(SettingsPath()), before);
        QCOMPARE(window->Engine()->comSpeed, 38400);
    }

    // A Settings.ini that cannot be written: the dialog says why and stays;
    // nothing is claimed, nothing changes.
    void settingsNotWritten_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder in its place")
            << "folder"
            << "a folder or a device has this name; choose another name";
        QTest::newRow("write-protected")
            << "read-only file"
            << "the file is write-protected; choose another name or remove the protection";
        QTest::newRow("a folder the user may not write")
            << "read-only folder"
            << "you may change the file, but the folder does not let you add a new file beside "
               "it, so the file cannot be replaced safely here; choose another folder";
    }
    void settingsNotWritten()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        const bool root = ::geteuid() == 0;
        if (obstacle == "read-only folder" && !root)
            QSKIP("the program's folder is the test's own; only root can stand for a user who "
                  "may not write it");
        QByteArray before = ReadFile(SettingsPath());
        if (obstacle == "folder")
        {
            QVERIFY(QFile::remove(SettingsPath()) && QDir().mkdir(SettingsPath()));
            before = "<unreadable>";
        }
        QVERIFY(Open());
        const QString status = window->StatusText();
        if (obstacle == "read-only file")
            QVERIFY(QFile::setPermissions(SettingsPath(), QFileDevice::ReadOwner));
        User user;
        bool stillOpen = false;
        user.Then([&](QWidget* w) {
            SettingsDialog settings(w);
            QVERIFY(settings.Whole());
            settings.port->setCurrentIndex(settings.port->findData(3));
            if (obstacle == "read-only folder")
            {
                // Root, whom no folder refuses, writes as an ordinary user.
                ::setfsgid(65534);
                ::setfsuid(65534);
            }
            settings.ok->click();
            if (root)
            {
                ::setfsuid(0);
                ::setfsgid(0);
            }
            stillOpen = w->isVisible();
            settings.dialog->reject();
        });
        user.Then(User::Press(QMessageBox::Ok));
        window->Button("settingsButton")->click();
        QFile::setPermissions(SettingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(stillOpen);
        QCOMPARE(user.seen.size(), 2);
        QCOMPARE(user.seen[1].text,
                 "The settings could not be saved in " + SettingsPath() + ": " + reason + ".");
        QCOMPARE(ReadFile(SettingsPath()), before);
        QVERIFY(!window->Engine()->fixedPort);
        QVERIFY(!window->Engine()->Searching());
        QCOMPARE(window->StatusText(), status);
        if (obstacle == "folder")
        {
            window.reset();
            QVERIFY(QDir(SettingsPath()).removeRecursively());
        }
    }

    // A port the user fixed in Settings.ini that is the system console is
    // not asked; the status line says why nothing was found.
    void pinnedConsoleIsNotAsked()
    {
        WriteSettings(dataDir->path() + "/", "COM3");
        QVERIFY(QFile::remove(ports->Entry(3)) && QFile::link("/dev/console", ports->Entry(3)));
        QVERIFY(Open());
        QCOMPARE(window->StatusText(), "No instrument found: COM3 is the system console");
        QVERIFY(!window->transferButton->isEnabled());
    }

    void deviceChangesWhileSettlingWaitAgain()
    {
        QVERIFY(OpenWithInstrument());
        QCOMPARE(Commands(sim, 1), 1);
        window->deviceSettleMs = 300;
        QElapsedTimer clock;
        clock.start();
        for (int change = 0; change < 3; ++change)
        {
            window->DeviceChangeEvent();
            QTest::qWait(150);
        }
        // The first change alone would have searched by now.
        QVERIFY(clock.elapsed() >= 450);
        QCOMPARE(Commands(sim, 1), 1);
        QTRY_COMPARE(Commands(sim, 1), 2);
        QTest::qWait(400);
        QCOMPARE(Commands(sim, 1), 2); // one search for the burst
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
