// The windows as a user meets them: the background, the button icons, the
// table, the view states and the Help window.
#include "PinnedPorts.h"
#include "ReplyBuilder.h"
#include "support/Files.h"
#include "support/Records.h"
#include "support/Settings.h"
#include "support/User.h"
#include "support/Window.h"

#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTextBrowser>

namespace
{
bool IsMagenta(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) > 180;
}
QString HelpFolder()
{
    return QCoreApplication::applicationDirPath() + "/Help";
}
} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

    PinnedPorts ports; // no serial device of the machine takes part
    std::unique_ptr<TestWindow> window;

private slots:
    // A Help folder left by an earlier run would hide the blank case.
    void initTestCase() { QDir(HelpFolder()).removeRecursively(); }
    // The forms and the window wiring connect by signal and slot names: a
    // misspelt or missing slot shows only as this warning.
    void init()
    {
        QTest::failOnWarning(QRegularExpression("^QObject::connect"));
        window = std::make_unique<TestWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Grey above and below the picture, the picture itself unscaled, and its
    // words set over the drawing wherever the picture sits.
    void pictureStaysCentredAtItsOwnSize()
    {
        window->resize(288, 900);
        QCoreApplication::processEvents();
        const QImage shown = window->picture->grab().toImage();
        // An odd gap leaves the larger half above.
        const int top = window->picture->height() / 2 - 355 / 2;
        QVERIFY(top > 50);
        const QImage drawing =
            QImage(":/Image/background_plain.png").convertToFormat(shown.format());
        QCOMPARE(drawing.size(), QSize(288, 355));
        // The cards between the heading and the first card's word carry no words.
        QCOMPARE(shown.copy(0, top + 30, 288, 110), drawing.copy(0, 30, 288, 110));
        QCOMPARE(shown.pixel(144, top - 20), qRgb(161, 161, 161));
        QCOMPARE(window->findChild<QWidget*>("startWords")->geometry(), QRect(0, top, 288, 355));
        // The words are shown: the heading's white letters where the drawing
        // has grey.
        int white = 0;
        for (int x = 35; x < 200; ++x)
            for (int y = top + 6; y < top + 26; ++y)
                white += shown.pixel(x, y) == qRgb(255, 255, 255) &&
                         drawing.pixel(x, y - top) != qRgb(255, 255, 255);
        QVERIFY2(white > 100, qPrintable(QString::number(white)));
    }

    // On a screen of ratio 2 (the test runs again with QT_SCALE_FACTOR=2)
    // every button and the start picture show their drawings with twice the
    // pixels, not the bitmaps enlarged; at ratio 1 the bitmaps as they are.
    void picturesAtTheScreensRatio_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("picture");
        QTest::newRow("Transfer Data") << "trnsfrDataButton"
                                       << "data_transf";
        QTest::newRow("Save As") << "saveAsButton"
                                 << "save_file";
        QTest::newRow("Statistics") << "statisticsButton"
                                    << "statistics";
        QTest::newRow("Help") << "helpButton"
                              << "help";
        QTest::newRow("About") << "aboutButton"
                               << "about";
    }
    void picturesAtTheScreensRatio()
    {
        QFETCH(QString, button);
        QFETCH(QString, picture);
        const qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                : 1.0;
        QCOMPARE(window->devicePixelRatioF(), ratio);
        const QToolButton* tool = window->Button(button.toLatin1());
        const QImage shown = tool->icon()
                                 .pixmap(QSize(42, 42), ratio)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        const QImage bitmap = QImage(":/Button/" + picture + ".bmp");
        QCOMPARE(bitmap.size(), QSize(42, 42));
        const QImage start =
            window->picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        if (ratio == 1)
        {
            // The bitmap under its mask: the mask's grey edges end fully
            // opaque or fully transparent, so the magenta behind the picture
            // never shows, not even half-blended.
            QCOMPARE(shown.size(), QSize(42, 42));
            const QImage mask(":/Button/" + picture + "_mask.bmp");
            int greyEdges = 0, clear = 0;
            for (int y = 0; y < 42; ++y)
                for (int x = 0; x < 42; ++x)
                {
                    const QRgb c = shown.pixel(x, y);
                    QVERIFY(qAlpha(c) == 0 || (qAlpha(c) == 255 && !IsMagenta(c)));
                    QVERIFY(qGray(mask.pixel(x, y)) > 0 || qAlpha(c) == 0);
                    greyEdges += qGray(mask.pixel(x, y)) % 255 != 0;
                    clear += qAlpha(c) == 0;
                }
            QVERIFY(greyEdges > 10 && clear > 100 && clear < 42 * 42 - 400);
            QCOMPARE(start, QImage(":/Image/background_plain.png").convertToFormat(start.format()));
            return;
        }
        const QImage sharp = QImage(":/Button/" + picture + "@2x.png");
        QCOMPARE(sharp.size(), QSize(84, 84));
        QCOMPARE(shown.size(), QSize(84, 84));
        QCOMPARE(shown, sharp.convertToFormat(QImage::Format_ARGB32));
        const QImage enlarged =
            bitmap.scaled(84, 84, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        QVERIFY(shown != enlarged);
        // Soft edges: real transparency, not the mask's all-or-nothing.
        int halfClear = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                halfClear += qAlpha(shown.pixel(x, y)) % 255 != 0;
        QVERIFY2(halfClear > 20, qPrintable(QString::number(halfClear)));

        QCOMPARE(window->picture->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(start.size(), QSize(576, 710));
        QCOMPARE(start, QImage(":/Image/background_plain@2x.png").convertToFormat(start.format()));
    }

    // The window grows and the table with it; it never needs more room than
    // it took when its width was fixed; its size and place are the user's and
    // come back at the next start, kept apart from Settings.ini.
    void windowResizesAndComesBackAsLeft()
    {
        const QSize least = window->layout()->totalMinimumSize();
        QVERIFY2(least.width() <= 288 && least.height() <= window->height(),
                 qPrintable(QString("%1x%2").arg(least.width()).arg(least.height())));
        window->SetViewState(TestWindow::ResultsShown);
        const int narrowTable = window->table->width();
        window->resize(900, 700);
        window->move(60, 40);
        QTRY_COMPARE(window->size(), QSize(900, 700));
        QVERIFY2(window->table->width() >= 896 && window->table->width() > 2 * narrowTable,
                 qPrintable(QString::number(window->table->width())));
        QVERIFY(window->table->height() > 500);
        QVERIFY(window->status->width() > 700);
        const QPoint place = window->pos();
        QVERIFY(window->close());

        window = std::make_unique<TestWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(900, 700));
        QCOMPARE(window->pos(), place);
        QVERIFY(QFile::exists(TestConfiguration::Folder() + "/Parvesta/Parvesta.conf"));
        window.reset(); // writes Settings.ini
        const QByteArray settings = ReadFile(SettingsPath());
        QCOMPARE(settings.count("\r\n"), 7);
        QVERIFY(!settings.contains("geometry"));
    }

    // A whole day's work with the keyboard alone: F5 finds the instrument,
    // Ctrl+T reads it out, Ctrl+S saves under a typed name (and does nothing
    // before there is something to save), Tab reaches the table, Ctrl+3
    // sorts by result, the menu key's menu restores the saved order, Ctrl+A
    // Ctrl+C copies, Ctrl+, changes the speed; Tab leaves the table again and
    // the button reached shows it. The tips name the keys.
    void keyboard()
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(window->transferButton->toolTip(),
                 QStringLiteral("Transfer data from the device (Ctrl+T)"));
        QCOMPARE(window->saveButton->toolTip(), QStringLiteral("Save data as .csv (Ctrl+S)"));
        for (const char* name :
             {"trnsfrDataButton", "saveAsButton", "statisticsButton", "helpButton", "aboutButton"})
            QCOMPARE(window->Button(name)->accessibleName(), window->Button(name)->text());
        QVERIFY(window->table->horizontalHeaderItem(2)->toolTip().contains("Ctrl+3"));

        {
            User idle;
            idle.Then(User::SaveAs(QString()));
            QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
            QTest::qWait(300);
            QCOMPARE(idle.seen.size(), 0); // nothing to save yet
        }

        InstrumentSimulator* sim = ports.Attach(2);
        QVERIFY(sim);
        sim->SetReply(ReplyBuilder::Frame(ReplyFrame::Family::VXnn, {Record(1, 1, 1025, 100, 2, 3),
                                                                     Record(1, 2, 95, 10, 2, 3),
                                                                     Record(2, 1, 30, 10, 2, 3)}));
        QTest::keyClick(window.get(), Qt::Key_F5);
        QTRY_VERIFY(window->transferButton->isEnabled());
        QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(window->WaitForResults());
        const QStringList instrumentOrder = {"1|1|10.25|mm", "1|2|9.5|mm", "2|1|3.0|mm"};
        QCOMPARE(Rows(window->table), instrumentOrder);

        const QTemporaryDir folder;
        const QString saved = folder.filePath("typed.csv");
        User user;
        QString proposed;
        user.Then([&](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            proposed = name->text();
            QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(name, saved);
            QTest::keyClick(name, Qt::Key_Return);
        });
        // The keys are back in the main window once the progress window went.
        QTRY_COMPARE(QGuiApplication::focusWindow(), window->windowHandle());
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(QFileInfo::exists(saved));
        QCOMPARE(user.seen.size(), 1);
        QCOMPARE(proposed, QStringLiteral("results1.csv"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        for (int tab = 0; tab < 10 && !window->table->hasFocus(); ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(window->table->hasFocus());
        QTest::keyClick(window->table, Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(Rows(window->table), QStringList({"2|1|3.0|mm", "1|2|9.5|mm", "1|1|10.25|mm"}));
        QTest::keyClick(window->table, Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(Rows(window->table), QStringList({"1|1|10.25|mm", "1|2|9.5|mm", "2|1|3.0|mm"}));
        QVERIFY(window->table->horizontalHeader()->isSortIndicatorShown());
        // The menu names every key; Down to its last entry, Enter.
        QStringList entries;
        QTimer::singleShot(100, this, [&entries] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            int steps = 0;
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                {
                    entries << action->text() + ' ' + action->shortcut().toString();
                    steps += action->isEnabled();
                }
            for (int i = 0; i < steps; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(window->table, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(entries, QStringList({"Copy Ctrl+C", "Select All Ctrl+A", "Sort by Group Ctrl+1",
                                       "Sort by Cell Ctrl+2", "Sort by Result Ctrl+3",
                                       "Sort by Unit Ctrl+4", "Saved order Ctrl+0"}));
        QCOMPARE(Rows(window->table), instrumentOrder);
        QVERIFY(!window->table->horizontalHeader()->isSortIndicatorShown());
        QTest::keyClick(window->table, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window->table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("Group\tCell\tResult\tUnit\n1\t1\t10.25\tmm\n1\t2\t9.5\tmm\n"
                                "2\t1\t3.0\tmm\n"));

        // The settings: Tab to the speed, typed over, Enter.
        user.Then([](QWidget* dialog) {
            auto* speed = dialog->findChild<QComboBox*>("speedCombo");
            for (int tab = 0; tab < 10 && !speed->hasFocus(); ++tab)
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(dialog->focusWidget(), "9600");
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
        QTest::keyClick(window->table, Qt::Key_Comma, Qt::ControlModifier);
        QTRY_COMPARE(window->Engine()->comSpeed, 9600);
        QVERIFY(ReadFile(SettingsPath()).contains("COMSpeed:9600\r\n"));
        QTRY_VERIFY(!QApplication::activeModalWidget());

        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QToolButton* help = window->Button("helpButton");
        window->table->setFocus();
        QTRY_VERIFY(window->table->hasFocus());
        const QImage plain = help->grab().toImage();
        QTest::keyClick(window->table, Qt::Key_Tab);
        QVERIFY(!window->table->hasFocus());
        QVERIFY(qobject_cast<QToolButton*>(QApplication::focusWidget()));
        help->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(help->hasFocus());
        QVERIFY(help->grab().toImage() != plain);
    }

    // Esc puts Help, About and Statistics away, wherever in them the focus is.
    void escapeClosesTheSideWindows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Help") << "HelpWindowGUI";
        QTest::newRow("About") << "AboutWindowGUI";
        QTest::newRow("Statistics") << "StatisticsWindowGUI";
    }
    void escapeClosesTheSideWindows()
    {
        QFETCH(QString, name);
        auto* side = window->findChild<QWidget*>(name);
        side->show();
        QVERIFY(QTest::qWaitForWindowExposed(side));
        auto* inside = side->findChild<QAbstractScrollArea*>();
        QTest::keyClick(inside ? static_cast<QWidget*>(inside) : side, Qt::Key_Escape);
        QVERIFY(!side->isVisible());
    }

    // A click on a column's title sorts by its numbers, not their letters;
    // the third click brings back the instrument's order. Ctrl+C puts the
    // chosen rows, with the titles, on the clipboard as a spreadsheet takes
    // them, in the user's decimals. The saved file keeps the instrument's
    // order whatever the view shows.
    void sortingCopyingAndSaving_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("copied");
        QTest::newRow("decimal point") << "en_GB"
                                       << "Group\tCell\tResult\tUnit\n10\t1\t3\tmm\n"
                                          "2\t2\t10.25\tInches\n";
        QTest::newRow("decimal comma") << "de_DE"
                                       << "Group\tCell\tResult\tUnit\n10\t1\t3\tmm\n"
                                          "2\t2\t10,25\tInches\n";
    }
    void sortingCopyingAndSaving()
    {
        QFETCH(QString, locale);
        QFETCH(QString, copied);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        CTRData& data = window->Engine()->data;
        data.Clear();
        for (const CMeasurement& r : {Record(2, 2, 1025, 100, 3), Record(10, 1, 3, 0, 2),
                                      Record(2, 10, 95, 10, 0), Record(1, 5, 1000, 100, 1)})
            data.Append(r);
        window->SetViewState(TestWindow::ResultsShown);
        const QStringList saved = {"1|5|10.00|us", "2|2|10.25|Inches", "2|10|9.5|m/s", "10|1|3|mm"};
        QCOMPARE(Rows(window->table), saved);
        QHeaderView* header = window->table->horizontalHeader();
        const auto click = [header](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, 5));
        };
        const auto column = [this](int c) {
            QStringList texts;
            for (int r = 0; r < window->table->rowCount(); ++r)
                texts << window->table->item(r, c)->text();
            return texts;
        };
        click(0);
        QCOMPARE(column(0), QStringList({"1", "2", "2", "10"}));
        click(1);
        QCOMPARE(column(1), QStringList({"1", "2", "5", "10"}));
        click(2);
        QCOMPARE(column(2), QStringList({"3", "9.5", "10.00", "10.25"}));
        click(2);
        QCOMPARE(column(2), QStringList({"10.25", "10.00", "9.5", "3"}));
        click(3);
        QCOMPARE(column(3), QStringList({"Inches", "m/s", "mm", "us"}));

        // Sorted by result, rows 1 and 4 chosen, from the bottom up.
        click(2);
        window->table->selectRow(3);
        window->table->selectionModel()->select(window->table->model()->index(0, 0),
                                                QItemSelectionModel::Select |
                                                    QItemSelectionModel::Rows);
        QTest::keyClick(window->table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().replace('\t', "\\t"),
                 QString(copied).replace('\t', "\\t"));

        const QTemporaryDir folder;
        User user;
        user.Then(User::SaveAs(folder.filePath("sorted.csv")));
        window->saveButton->click();
        QTRY_VERIFY(QFileInfo::exists(folder.filePath("sorted.csv")));
        QLocale::setDefault(before);
        QVERIFY(window->Engine()->Write(folder.filePath("engine.csv").toLocal8Bit().constData(),
                                        CQuorvanta::SaveFormat::Csv));
        QCOMPARE(ReadFile(folder.filePath("sorted.csv")), ReadFile(folder.filePath("engine.csv")));
        const QList<QByteArray> lines = ReadFile(folder.filePath("sorted.csv")).split('\n');
        QVERIFY(lines.size() > 4);
        QVERIFY2(lines[lines.size() - 2].startsWith("10;1;3;"), lines[lines.size() - 2]);

        click(2);
        QCOMPARE(column(2), QStringList({"10.25", "10.00", "9.5", "3"}));
        click(2); // the third click: the instrument's order again
        QCOMPARE(Rows(window->table), saved);
        QVERIFY(!header->isSortIndicatorShown());
    }

    // Cells that cannot be edited.
    void resultTableIsReadOnly()
    {
        window->SetViewState(TestWindow::ResultsShown);
        QTableWidget* table = window->table;
        const QStringList texts = {"1", "12", "12345678901234567890.123", "Inches"};
        table->setRowCount(40);
        for (int i = 0; i < 4 * 40; ++i)
            table->setItem(i / 4, i % 4, new QTableWidgetItem(texts[i % 4]));
        QCoreApplication::processEvents();
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {},
                           table->visualItemRect(table->item(0, 2)).center());
        QTest::keyClick(table, Qt::Key_F2);
        QTest::keyClicks(table, "99");
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(table->item(0, 2)->text(), texts[2]);
    }

    // Rows hold one line each, so they are as tall as the toolkit would make
    // them from their contents, without measuring every one of them.
    void rowsAreAsTallAsTheirText()
    {
        window->Engine()->data.MakeVirtualData();
        window->SetViewState(TestWindow::ResultsShown);
        QTableWidget* table = window->table;
        QCoreApplication::processEvents();
        QCOMPARE(table->rowCount(), 335);
        QList<int> heights;
        for (int row = 0; row < table->rowCount(); ++row)
            heights << table->rowHeight(row);
        table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        QCoreApplication::processEvents();
        for (int row = 0; row < table->rowCount(); ++row)
            QCOMPARE(heights[row], table->rowHeight(row));
    }

    void viewStatesSwitchPictureTableAndProgress()
    {
        TestWindow& w = *window;
        QVERIFY(w.picture->isVisible() && w.table->isHidden() && !w.saveButton->isEnabled() &&
                !w.progress->isVisible());
        w.SetViewState(TestWindow::ResultsShown);
        QVERIFY(w.table->isVisible() && w.picture->isHidden() && w.saveButton->isEnabled() &&
                !w.progress->isVisible());
        emit w.ProgressChanged(100);
        w.SetViewState(TestWindow::NoResults);
        QVERIFY(w.picture->isVisible() && w.table->isHidden() && !w.saveButton->isEnabled());
        // A new transfer starts from an empty bar, whatever the last one reached.
        w.SetViewState(TestWindow::TransferRunning);
        QVERIFY(w.progress->isVisible() && w.picture->isVisible());
        QCOMPARE(w.bar->value(), 0);
        w.SetViewState(TestWindow::NoResults);
        QVERIFY(!w.progress->isVisible());
    }

    void progressWindowStaysCentred()
    {
        window->move(137, 91);
        QTRY_COMPARE(window->pos(), QPoint(137, 91));
        // Hidden or not, it sits over the middle of the window.
        const QPoint offset =
            window->progress->frameGeometry().center() - window->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
    }

    // The start page comes from the Help folder beside the program, its
    // pictures from the Images folder within; without the folder the window
    // opens blank. F1 opens it, but not a held key's repeats.
    void helpWindow()
    {
        QVERIFY(window->findChild<QTextBrowser*>("helpTBrowser")->toPlainText().isEmpty());
        QVERIFY(QDir().mkpath(HelpFolder() + "/Images"));
        WriteFile(HelpFolder() + "/index.html",
                  "<p>Connect the instrument first.</p><img src=\"marker.png\">");
        QVERIFY(QImage(":/Image/logo.bmp").save(HelpFolder() + "/Images/marker.png"));
        window = std::make_unique<TestWindow>();
        window->show();
        auto* help = window->findChild<QWidget*>("HelpWindowGUI");
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(window.get(), &repeat);
        QVERIFY(!help->isVisible());
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        auto* browser = help->findChild<QTextBrowser*>("helpTBrowser");
        QVERIFY(browser->toPlainText().contains("Connect the instrument first."));
        const QVariant marker =
            browser->document()->resource(QTextDocument::ImageResource, QUrl("marker.png"));
        QCOMPARE(marker.value<QImage>().size(), QSize(200, 33));
        help->hide();
        window->Button("helpButton")->click();
        QVERIFY(help->isVisible());

        // Back and Home lead through the pages; long lines wrap.
        WriteFile(HelpFolder() + "/serial.html", "<p>" + QByteArray("dialout ").repeated(200) +
                                                     "</p>" + QByteArray("Unbroken").repeated(40));
        auto* back = help->findChild<QToolButton*>("backButton");
        QVERIFY(!back->isEnabled());
        browser->setSource(QUrl("serial.html"));
        QVERIFY(browser->toPlainText().startsWith("dialout"));
        help->resize(300, 400);
        QCoreApplication::processEvents();
        QVERIFY(!browser->horizontalScrollBar()->isVisible());
        QCOMPARE(browser->horizontalScrollBar()->maximum(), 0);
        QVERIFY(back->isEnabled());
        back->click();
        QVERIFY(browser->toPlainText().contains("Connect the instrument first."));
        browser->setSource(QUrl("serial.html"));
        help->findChild<QToolButton*>("homeButton")->click();
        QVERIFY(browser->toPlainText().contains("Connect the instrument first."));
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
