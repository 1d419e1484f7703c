// The windows as a user meets them: pictures, the main window's shape and
// states, the button icons, the table, and the About, Help and progress windows.
#include "app/MainWindow.h"
#include "sim/PinnedPorts.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QResource>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

namespace
{
// Reaches the view states the controller switches between.
class ProbeWindow : public MainWindow
{
public:
    using MainWindow::SetViewState;
    static constexpr int Empty = NoResults;
    static constexpr int Receiving = TransferRunning;
    static constexpr int Results = ResultsShown;
};

template <typename T> T* Child(QObject* window, const char* name)
{
    T* child = window->findChild<T*>(name);
    if (!child)
        qFatal("no widget %s", name);
    return child;
}

// Little-endian header fields; bytes past the end read as 0.
quint32 U32(const QByteArray& b, int at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(at + i < b.size() ? b.at(at + i) : 0);
    return v;
}

quint16 U16(const QByteArray& b, int at)
{
    return quint16(U32(b, at) & 0xffff);
}

bool IsMagenta(QRgb c)
{
    return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) > 180;
}

// How far a pixel is from grey.
int Chroma(QRgb c)
{
    return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) - qMin(qRed(c), qMin(qGreen(c), qBlue(c)));
}

int MostColourful(const QImage& image)
{
    int most = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            most = qMax(most, Chroma(image.pixel(x, y)));
    return most;
}

void AddRow(QTableWidget* table, const QStringList& texts)
{
    const int row = table->rowCount();
    table->setRowCount(row + 1);
    for (int c = 0; c < texts.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(texts[c]));
}

QString HelpFolder()
{
    return QCoreApplication::applicationDirPath() + "/Help";
}
} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

    // Every window searches for an instrument: none of the machine's ports
    // take part.
    PinnedPorts ports;

private slots:
    void initTestCase()
    {
        // A folder left over by an interrupted run would hide the blank case.
        QDir(HelpFolder()).removeRecursively();
    }

    void cleanupTestCase()
    {
        QDir(HelpFolder()).removeRecursively();
        QFile::remove(QCoreApplication::applicationDirPath() + "/Settings.ini");
    }

    // The forms and the window wiring connect by signal and slot names: a
    // misspelt or missing slot shows only as this warning.
    void init() { QTest::failOnWarning(QRegularExpression("^QObject::connect")); }

    void bitmapsAreStoredAsWindowsBitmaps_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::newRow("background, two pad bytes after the rows")
            << ":/Image/background.bmp" << 306776 << QSize(288, 355);
        QTest::newRow("Russian background, the same format")
            << ":/Image/background_ru.bmp" << 306776 << QSize(288, 355);
        QTest::newRow("logo") << ":/Image/logo.bmp" << 19854 << QSize(200, 33);
        for (const char* name : {"data_transf", "data_transf_mask", "save_file", "save_file_mask",
                                 "help", "help_mask", "about", "about_mask", "data_transf_grey"})
            QTest::newRow(name) << QString(":/Button/%1.bmp").arg(name) << 5430 << QSize(42, 42);
    }
    void bitmapsAreStoredAsWindowsBitmaps()
    {
        QFETCH(QString, path);
        QFETCH(int, bytes);
        QFETCH(QSize, size);

        QVERIFY(QResource(path).isValid());
        QCOMPARE(QResource(path).compressionAlgorithm(), QResource::NoCompression);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray b = file.readAll();
        QCOMPARE(b.size(), bytes);
        QCOMPARE(b.left(2), QByteArray("BM"));
        QCOMPARE(U32(b, 2), quint32(bytes)); // file size as stored in the header
        QCOMPARE(U32(b, 10), 54u);           // pixels right after the two headers
        QCOMPARE(U32(b, 14), 40u);
        QCOMPARE(int(U32(b, 18)), size.width());
        QCOMPARE(int(U32(b, 22)), size.height()); // positive: rows bottom-up
        QCOMPARE(U16(b, 28), quint16(24));
        QCOMPARE(U32(b, 30), 0u);  // uncompressed
        QCOMPARE(U32(b, 46), 0u);  // no colour table
        QCOMPARE(QImage(path).size(), size);
    }

    void windowIconHoldsFiveImagesInOrder()
    {
        QFile file(":/Image/Parvesta.ico");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray b = file.readAll();
        QCOMPARE(b.size(), 14558);
        QCOMPARE(U16(b, 2), quint16(1));
        QCOMPARE(U16(b, 4), quint16(5));
        const int expected[5][2] = {{16, 4}, {32, 8}, {16, 8}, {32, 24}, {48, 24}};
        for (int i = 0; i < 5; ++i)
        {
            const int entry = 6 + 16 * i;
            QCOMPARE(int(quint8(b[entry])), expected[i][0]);
            QCOMPARE(int(quint8(b[entry + 1])), expected[i][0]);
            QCOMPARE(int(U16(b, entry + 6)), expected[i][1]);
            const quint32 length = U32(b, entry + 8);
            const quint32 offset = U32(b, entry + 12);
            QVERIFY(offset + length <= quint32(b.size()));
            QCOMPARE(int(U16(b, int(offset) + 14)), expected[i][1]); // the image's own header
        }

        QImageReader reader(":/Image/Parvesta.ico");
        QCOMPARE(reader.imageCount(), 5);
        const QImage first = reader.read();
        QCOMPARE(first.size(), QSize(16, 16));
        // The rounded corners are see-through, the middle is not.
        QCOMPARE(qAlpha(first.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(first.pixel(8, 8)), 255);

        MainWindow window;
        QVERIFY(!window.windowIcon().pixmap(16, 16).isNull());
    }

    void widthIsFixedHeightIsFree()
    {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.width(), 288);

        window.resize(600, 700);
        QCOMPARE(window.size(), QSize(288, 700));
        // The picture is never cut: its face is at least as tall as it.
        window.resize(100, 200);
        QCOMPARE(window.width(), 288);
        QVERIFY(window.height() >= 355);
        // The table's face may be made short.
        window.SetViewState(ProbeWindow::Results);
        QCoreApplication::processEvents();
        window.resize(100, 250);
        QCOMPARE(window.size(), QSize(288, 250));
    }

    void pictureStaysCentredAtItsOwnSize()
    {
        MainWindow window;
        window.resize(288, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* label = Child<QLabel>(&window, "bckgroundLabel");
        QCOMPARE(label->pixmap().size(), QSize(288, 355));
        QVERIFY(label->height() > 355 + 100);

        const QImage shown = label->grab().toImage();
        const QImage picture(":/Image/background.bmp");
        const int top = (label->height() - 355) / 2;
        // Grey above and below the picture, the picture itself unscaled.
        QCOMPARE(shown.pixel(144, 5), qRgb(161, 161, 161));
        QCOMPARE(shown.pixel(144, label->height() - 5), qRgb(161, 161, 161));
        int same = 0;
        const QPoint probes[] = {{60, 120}, {200, 110}, {150, 250}, {40, 300}, {250, 60}};
        for (const QPoint& p : probes)
            same += shown.pixel(p.x(), top + p.y()) == picture.pixel(p) ? 1 : 0;
        QCOMPARE(same, 5);
    }

    // The words drawn into a background stay inside its cards: the strip
    // right of them is plain window grey from top to bottom.
    void backgroundWordsStayInsideThePicture_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("English") << ":/Image/background.bmp";
        QTest::newRow("Russian") << ":/Image/background_ru.bmp";
    }
    void backgroundWordsStayInsideThePicture()
    {
        QFETCH(QString, path);
        const QImage picture = QImage(path).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(288, 355));
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 281; x < picture.width(); ++x)
                QVERIFY2(picture.pixel(x, y) == qRgb(161, 161, 161),
                         qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
    }

    void buttonIconsAreTransparentWhereTheMaskIsBlack_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("picture");
        QTest::newRow("Transfer Data") << "trnsfrDataButton" << "data_transf";
        QTest::newRow("Save As") << "saveAsButton" << "save_file";
        QTest::newRow("Help") << "helpButton" << "help";
        QTest::newRow("About") << "aboutButton" << "about";
    }
    void buttonIconsAreTransparentWhereTheMaskIsBlack()
    {
        QFETCH(QString, button);
        QFETCH(QString, picture);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* tool = Child<QToolButton>(&window, button.toLatin1());
        tool->setEnabled(true);

        const QImage mask = QImage(":/Button/" + picture + "_mask.bmp").convertToFormat(QImage::Format_RGB32);
        const QImage icon = tool->icon().pixmap(42, 42).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon.size(), QSize(42, 42));
        int greyEdges = 0, black = 0, opaque = 0;
        for (int y = 0; y < 42; ++y)
            for (int x = 0; x < 42; ++x)
            {
                const int m = qGray(mask.pixel(x, y));
                const QRgb c = icon.pixel(x, y);
                QVERIFY2(qAlpha(c) == 0 || qAlpha(c) == 255, "a half-transparent pixel");
                if (m == 0)
                {
                    ++black;
                    QCOMPARE(qAlpha(c), 0);
                }
                else if (m < 255)
                    ++greyEdges;
                if (qAlpha(c) == 255)
                {
                    ++opaque;
                    QVERIFY2(!IsMagenta(c), "magenta shows through");
                }
            }
        // The mask really has grey edges and both kinds of area.
        QVERIFY(greyEdges > 10);
        QVERIFY(black > 100);
        QVERIFY(opaque > 400);

        const QImage onScreen = tool->grab().toImage();
        for (int y = 0; y < onScreen.height(); ++y)
            for (int x = 0; x < onScreen.width(); ++x)
                QVERIFY2(!IsMagenta(onScreen.pixel(x, y)), "magenta on the button");
    }

    void disabledButtonShowsItsIconGreyed()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* save = Child<QToolButton>(&window, "saveAsButton");
        auto* transfer = Child<QToolButton>(&window, "trnsfrDataButton");

        QVERIFY(!save->isEnabled());
        QVERIFY(MostColourful(save->grab().toImage()) < 24);
        save->setEnabled(true);
        QVERIFY(MostColourful(save->grab().toImage()) > 100);

        transfer->setEnabled(true);
        QVERIFY(MostColourful(transfer->grab().toImage()) > 100);
        transfer->setEnabled(false);
        QVERIFY(MostColourful(transfer->grab().toImage()) < 24);
    }

    void tableHasFourEvenColumnsAndNoHorizontalScrolling()
    {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = Child<QTableWidget>(&window, "tableWidget");
        QVERIFY(table->isHidden());

        QCOMPARE(table->columnCount(), 4);
        const QStringList titles = {"Group", "Cell", "Result", "Unit"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(table->horizontalHeaderItem(c)->text(), titles[c]);
        QVERIFY(!table->horizontalHeader()->isHidden());
        QVERIFY(table->verticalHeader()->isHidden());

        window.SetViewState(ProbeWindow::Results);
        for (int i = 0; i < 40; ++i)
            AddRow(table, {"1", QString::number(i + 1), "12345678901234567890.123", "Inches"});
        QCoreApplication::processEvents();

        QVERIFY(!table->horizontalScrollBar()->isVisible());
        QVERIFY(table->verticalScrollBar()->isVisible());
        const int viewport = table->viewport()->width();
        int total = 0;
        for (int c = 0; c < 4; ++c)
        {
            QVERIFY(qAbs(table->columnWidth(c) - viewport / 4) <= 1);
            total += table->columnWidth(c);
        }
        QCOMPARE(total, viewport);
    }

    void tableCellsCannotBeEdited()
    {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.SetViewState(ProbeWindow::Results);
        auto* table = Child<QTableWidget>(&window, "tableWidget");
        AddRow(table, {"2", "5", "12.34", "mm"});
        QCoreApplication::processEvents();

        const QRect cell = table->visualItemRect(table->item(0, 2));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::keyClick(table, Qt::Key_F2);
        QTest::keyClicks(table, "99");
        QTest::keyClick(table, Qt::Key_Return);
        QCoreApplication::processEvents();

        QVERIFY(table->findChildren<QLineEdit*>().isEmpty());
        QCOMPARE(table->item(0, 2)->text(), QString("12.34"));
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void viewStatesSwitchPictureTableAndProgress()
    {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = Child<QTableWidget>(&window, "tableWidget");
        auto* label = Child<QLabel>(&window, "bckgroundLabel");
        auto* save = Child<QToolButton>(&window, "saveAsButton");
        auto* progress = Child<QWidget>(&window, "ProgressWindowGUI");
        auto* bar = Child<QProgressBar>(progress, "progressBar");
        auto* message = Child<QLabel>(progress, "messageLabel");

        // As built: the picture, nothing to save, no progress window.
        QVERIFY(table->isHidden());
        QVERIFY(label->isVisible());
        QVERIFY(!save->isEnabled());
        QVERIFY(!progress->isVisible());
        QVERIFY(message->isHidden());

        window.SetViewState(ProbeWindow::Results);
        QVERIFY(table->isVisible());
        QVERIFY(label->isHidden());
        QVERIFY(save->isEnabled());
        QVERIFY(!progress->isVisible());

        emit window.ProgressChanged(100);
        QCOMPARE(bar->value(), 100);
        window.SetViewState(ProbeWindow::Empty);
        QVERIFY(table->isHidden());
        QVERIFY(label->isVisible());
        QVERIFY(!save->isEnabled());

        window.SetViewState(ProbeWindow::Receiving);
        QVERIFY(progress->isVisible());
        QCOMPARE(bar->value(), 0); // a new transfer starts from an empty bar
        QVERIFY(bar->isVisible());
        QVERIFY(message->isHidden());
        QVERIFY(label->isVisible());
        emit window.ProgressChanged(57);
        QCOMPARE(bar->value(), 57);

        window.SetViewState(ProbeWindow::Empty);
        QVERIFY(!progress->isVisible());
    }

    void progressWindowIsASmallFramelessWindow()
    {
        MainWindow window;
        auto* progress = Child<QWidget>(&window, "ProgressWindowGUI");
        QVERIFY(progress->isWindow());
        QCOMPARE(progress->parentWidget(), &window);
        QCOMPARE(progress->windowFlags(),
                 Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowTitleHint |
                     Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint);
        QCOMPARE(progress->windowModality(), Qt::NonModal);
        QCOMPARE(progress->size(), QSize(259, 60));
        QCOMPARE(progress->maximumWidth(), 259);
        QCOMPARE(progress->windowTitle(), QString("Receiving Data"));
        auto* bar = Child<QProgressBar>(progress, "progressBar");
        QCOMPARE(bar->minimumSize(), QSize(241, 22));
        QCOMPARE(bar->maximumSize(), QSize(241, 22));
        QCOMPARE(bar->value(), 0);
        auto* message = Child<QLabel>(progress, "messageLabel");
        QCOMPARE(message->alignment(), Qt::AlignCenter);
        QCOMPARE(message->textInteractionFlags(), Qt::NoTextInteraction);
    }

    void aboutWindowIsFixedAndShowsItsBlackPage()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* about = Child<QWidget>(&window, "AboutWindowGUI");
        // A dialog whose title bar offers only the close button.
        QCOMPARE(about->windowType(), Qt::Dialog);
        QVERIFY(about->windowFlags().testFlag(Qt::CustomizeWindowHint));
        QVERIFY(about->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!about->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(about->windowModality(), Qt::WindowModal);
        QCOMPARE(about->focusPolicy(), Qt::NoFocus);
        QCOMPARE(about->windowTitle(), QString("About Parvesta"));
        QVERIFY(!about->windowIcon().isNull());
        QVERIFY(!about->isVisible());

        QTest::mouseClick(Child<QToolButton>(&window, "aboutButton"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->size(), QSize(300, 340));
        about->resize(500, 600);
        QCOMPARE(about->size(), QSize(300, 340));

        auto* page = Child<QTextBrowser>(about, "aboutTBrowser");
        QCOMPARE(page->focusPolicy(), Qt::NoFocus);
        QVERIFY(!(page->textInteractionFlags() & Qt::TextSelectableByMouse));
        QVERIFY(!(page->textInteractionFlags() & Qt::TextSelectableByKeyboard));
        QVERIFY(!(page->textInteractionFlags() & Qt::TextEditable));
        const QString text = page->toPlainText();
        QVERIFY(text.contains("Parvesta v3.0"));
        QVERIFY(text.contains("developed by"));
        const QVariant logo =
            page->document()->resource(QTextDocument::ImageResource, QUrl(":/Image/logo.bmp"));
        QCOMPARE(logo.value<QImage>().size(), QSize(200, 33));

        const QImage shown = about->grab().toImage();
        QCOMPARE(shown.pixel(3, 3), qRgb(0, 0, 0));
        QCOMPARE(shown.pixel(296, 336), qRgb(0, 0, 0));
        // White product name somewhere on the black page.
        bool white = false;
        for (int y = 0; y < shown.height() && !white; ++y)
            for (int x = 0; x < shown.width() && !white; ++x)
                white = qGray(shown.pixel(x, y)) > 240;
        QVERIFY(white);
    }

    void helpWindowOpensTheStartPageBesideTheProgram()
    {
        QVERIFY(QDir().mkpath(HelpFolder() + "/Images"));
        QFile page(HelpFolder() + "/index.html");
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<html><body><p>Connect the instrument first.</p>"
                   "<img src=\"marker.png\"></body></html>");
        page.close();
        QImage marker(7, 5, QImage::Format_RGB32);
        marker.fill(Qt::red);
        QVERIFY(marker.save(HelpFolder() + "/Images/marker.png"));

        MainWindow window;
        auto* help = Child<QWidget>(&window, "HelpWindowGUI");
        auto* browser = Child<QTextBrowser>(help, "helpTBrowser");
        QCOMPARE(help->windowType(), Qt::Window);
        QVERIFY(!help->windowFlags().testFlag(Qt::CustomizeWindowHint));
        QCOMPARE(help->windowTitle(), QString("Parvesta help"));
        QCOMPARE(browser->searchPaths(),
                 QStringList({HelpFolder(), HelpFolder() + "//Images"}));
        QCOMPARE(browser->source(), QUrl("index.html"));
        QVERIFY(browser->toPlainText().contains("Connect the instrument first."));
        // Pictures named in a page are found in the Images folder.
        const QVariant picture =
            browser->document()->resource(QTextDocument::ImageResource, QUrl("marker.png"));
        QCOMPARE(picture.value<QImage>().size(), QSize(7, 5));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* button = Child<QToolButton>(&window, "helpButton");
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(help->isVisible());
        QCOMPARE(browser->source(), QUrl("index.html"));
    }

    void helpWindowOpensBlankWithoutTheFolder()
    {
        QVERIFY(QDir(HelpFolder()).removeRecursively());
        QVERIFY(!QDir(HelpFolder()).exists());

        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* help = Child<QWidget>(&window, "HelpWindowGUI");
        auto* browser = Child<QTextBrowser>(help, "helpTBrowser");
        QVERIFY(browser->toPlainText().isEmpty());
        QTest::mouseClick(Child<QToolButton>(&window, "helpButton"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QCOMPARE(help->windowTitle(), QString("Parvesta help"));
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
