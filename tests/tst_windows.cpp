// The windows as a user meets them: the background, the button icons, the
// table, the view states and the Help window.
#include "CQuorvanta.h"
#include "MainWindow.h"
#include "PinnedPorts.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

namespace
{
// Reaches the view states the controller switches between.
struct ProbeWindow : MainWindow
{
    using MainWindow::Engine;
    using MainWindow::NoResults;
    using MainWindow::ResultsShown;
    using MainWindow::SetViewState;
    using MainWindow::TransferRunning;
};

QList<QRgb> Pixels(const QImage& image)
{
    QList<QRgb> all;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            all << image.pixel(x, y);
    return all;
}

int MostColourful(QWidget* widget)
{
    int most = 0;
    for (QRgb c : Pixels(widget->grab().toImage()))
        most = qMax(most, QColor(c).hsvSaturation());
    return most;
}

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
    std::unique_ptr<ProbeWindow> window;
    template <typename T> T* Child(const char* name) { return window->findChild<T*>(name); }

private slots:
    // A Help folder left by an earlier run would hide the blank case.
    void initTestCase() { QDir(HelpFolder()).removeRecursively(); }
    // The forms and the window wiring connect by signal and slot names: a
    // misspelt or missing slot shows only as this warning.
    void init()
    {
        QTest::failOnWarning(QRegularExpression("^QObject::connect"));
        window = std::make_unique<ProbeWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // Grey above and below the picture, the picture itself unscaled.
    void pictureStaysCentredAtItsOwnSize()
    {
        window->resize(288, 900);
        QCoreApplication::processEvents();
        auto* label = Child<QLabel>("bckgroundLabel");
        const QImage shown = label->grab().toImage();
        const int top = label->height() / 2 - 355 / 2; // an odd gap leaves the larger half above
        QVERIFY(top > 50);
        QCOMPARE(shown.copy(0, top, 288, 355),
                 QImage(":/Image/background.bmp").convertToFormat(shown.format()));
        QCOMPARE(shown.pixel(144, 5), qRgb(161, 161, 161));
    }

    // The mask's grey edges end fully opaque or fully transparent, so the
    // magenta behind a picture never shows, not even half-blended.
    void buttonIconsAreTransparentWhereTheMaskIsBlack_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("picture");
        QTest::newRow("Transfer Data") << "trnsfrDataButton"
                                       << "data_transf";
        QTest::newRow("Save As") << "saveAsButton"
                                 << "save_file";
    }
    void buttonIconsAreTransparentWhereTheMaskIsBlack()
    {
        QFETCH(QString, button);
        QFETCH(QString, picture);
        auto* tool = Child<QToolButton>(button.toLatin1());
        tool->setEnabled(true);
        const QList<QRgb> icon =
            Pixels(tool->icon().pixmap(42, 42).toImage().convertToFormat(QImage::Format_ARGB32));
        const QList<QRgb> mask = Pixels(QImage(":/Button/" + picture + "_mask.bmp"));
        QCOMPARE(icon.size(), mask.size());
        int greyEdges = 0, clear = 0;
        for (int i = 0; i < mask.size(); ++i)
        {
            QVERIFY(qAlpha(icon[i]) == 0 || (qAlpha(icon[i]) == 255 && !IsMagenta(icon[i])));
            QVERIFY(qGray(mask[i]) > 0 || qAlpha(icon[i]) == 0);
            greyEdges += qGray(mask[i]) % 255 != 0;
            clear += qAlpha(icon[i]) == 0;
        }
        QVERIFY(greyEdges > 10 && clear > 100 && clear < mask.size() - 400);
        for (QRgb c : Pixels(tool->grab().toImage()))
            QVERIFY(!IsMagenta(c));
    }

    // Cells that cannot be edited.
    void resultTableIsReadOnly()
    {
        window->SetViewState(ProbeWindow::ResultsShown);
        auto* table = Child<QTableWidget>("tableWidget");
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
        window->SetViewState(ProbeWindow::ResultsShown);
        auto* table = Child<QTableWidget>("tableWidget");
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

    // The status line is added below: the picture and the table keep the
    // room the form gives them.
    void statusLineKeepsThePicturesRoom()
    {
        auto* status = Child<QStatusBar>("statusBar");
        QVERIFY(status->isVisible());
        QCOMPARE(window->centralWidget()->size(), QSize(288, 436));
        QCOMPARE(status->geometry().top(), window->centralWidget()->geometry().bottom() + 1);
        QCOMPARE(window->height(), 436 + status->height());
    }

    void viewStatesSwitchPictureTableAndProgress()
    {
        auto* table = Child<QTableWidget>("tableWidget");
        auto* picture = Child<QLabel>("bckgroundLabel");
        auto* save = Child<QToolButton>("saveAsButton");
        auto* progress = Child<QWidget>("ProgressWindowGUI");
        // Nothing to save: the toolkit greys the button's icon.
        QVERIFY(picture->isVisible() && table->isHidden() && !save->isEnabled() &&
                !progress->isVisible());
        QVERIFY(MostColourful(save) < 24);
        window->SetViewState(ProbeWindow::ResultsShown);
        QVERIFY(table->isVisible() && picture->isHidden() && save->isEnabled() &&
                !progress->isVisible());
        QVERIFY(MostColourful(save) > 100);
        emit window->ProgressChanged(100);
        window->SetViewState(ProbeWindow::NoResults);
        QVERIFY(picture->isVisible() && table->isHidden() && !save->isEnabled());
        // A new transfer starts from an empty bar, whatever the last one reached.
        window->SetViewState(ProbeWindow::TransferRunning);
        QVERIFY(progress->isVisible() && picture->isVisible());
        QCOMPARE(Child<QProgressBar>("progressBar")->value(), 0);
        window->SetViewState(ProbeWindow::NoResults);
        QVERIFY(!progress->isVisible());
    }

    // The start page comes from the Help folder beside the program, its
    // pictures from the Images folder within; without the folder the window
    // opens blank.
    void helpWindow()
    {
        QVERIFY(Child<QTextBrowser>("helpTBrowser")->toPlainText().isEmpty());
        QVERIFY(QDir().mkpath(HelpFolder() + "/Images"));
        QFile page(HelpFolder() + "/index.html");
        QVERIFY(page.open(QIODevice::WriteOnly) &&
                page.write("<p>Connect the instrument first.</p><img src=\"marker.png\">"));
        page.close();
        QVERIFY(QImage(":/Image/logo.bmp").save(HelpFolder() + "/Images/marker.png"));
        window = std::make_unique<ProbeWindow>();
        window->show();
        QTest::mouseClick(Child<QToolButton>("helpButton"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(Child<QWidget>("HelpWindowGUI")));
        auto* browser = Child<QTextBrowser>("helpTBrowser");
        QVERIFY(browser->toPlainText().contains("Connect the instrument first."));
        const QVariant marker =
            browser->document()->resource(QTextDocument::ImageResource, QUrl("marker.png"));
        QCOMPARE(marker.value<QImage>().size(), QSize(200, 33));
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
