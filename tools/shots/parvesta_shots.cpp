// Puts each of Parvesta's windows into a typical state and saves what the
// screen shows, one PNG per view, into the folder given. With "transfers" it
// runs whole transfers instead, against simulated instruments on
// pseudo-terminals, pressing the buttons as a user would and taking pictures
// over time; with "status" it pictures the status line in each of its states;
// with "press-after MS" it uses whatever instrument the ports
// folder beside it leads to and presses Transfer Data after MS milliseconds.
// scripts/screenshots runs it under a virtual X server. Like the program, it
// speaks the language of the catalogues beside it.
#include "CQuorvanta.h"
#include "Installation.h"
#include "MainWindow.h"
#include "PinnedPorts.h"
#include "ReplyBuilder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTranslator>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
void Settle(int ms = 400)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class ShotWindow : public MainWindow
{
public:
    ShotWindow() { deviceSettleMs = 0; }
    // Searches now, and comes back once the search is over.
    void Search()
    {
        SearchAgain();
        WaitForSearch();
    }
    void WaitForSearch()
    {
        while (Engine()->Searching())
            Settle(20);
    }
    using MainWindow::deviceSettleMs;
    using MainWindow::Engine;
    using MainWindow::SearchAgain;
    void Show(int state) { SetViewState(state); }
    // Back to the picture, the results given up without a question.
    void Forget()
    {
        Engine()->unsavedData = false;
        SetViewState(NoResults);
    }
    using MainWindow::DeviceChangeEvent;
    static constexpr int Empty = NoResults;
    static constexpr int Receiving = TransferRunning;
    static constexpr int Results = ResultsShown;
};

bool Shoot(const QDir& out, const QString& name, const QRect& area)
{
    Settle();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    const QString path = out.filePath(name + ".png");
    if (shot.isNull() || !shot.save(path))
    {
        QTextStream(stderr) << "cannot save " << path << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

QRect Around(const QWidget* w, int margin = 0)
{
    return w->frameGeometry().adjusted(-margin, -margin, margin, margin);
}

// The engine's and the main window's texts, in the catalogue's language.
QString EngineText(const char* source)
{
    return QCoreApplication::translate("CQuorvanta", source);
}

QString WindowText(const char* source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// A few results as two groups of wall-thickness readings, velocities and
// times would give them, put in the engine as a transfer would; copies
// numbers the groups on, for a memory fuller than the window.
void FillSampleRecords(CTRData& data, int copies = 1)
{
    const int readings[][5] = {
        {1, 1, 1234, 100, Unit::Millimetres},   {1, 2, 1229, 100, Unit::Millimetres},
        {1, 3, 1241, 100, Unit::Millimetres},   {1, 4, 1198, 100, Unit::Millimetres},
        {1, 5, 1205, 100, Unit::Millimetres},   {1, 6, 1237, 100, Unit::Millimetres},
        {2, 1, 486, 1000, Unit::Inches},        {2, 2, 491, 1000, Unit::Inches},
        {2, 3, 479, 1000, Unit::Inches},        {3, 1, 5920, 1, Unit::MetresPerSecond},
        {3, 2, 5935, 1, Unit::MetresPerSecond}, {4, 1, 337, 100, Unit::Microseconds},
        {4, 2, 341, 100, Unit::Microseconds},   {4, 3, 329, 100, Unit::Microseconds}};
    data.Clear();
    for (int copy = 0; copy < copies; ++copy)
        for (const auto& r : readings)
            data.Append(CMeasurement{r[0] + 4 * copy, r[1], r[2], r[3], 0, r[4]});
}

// A message box as the program shows it, left open for the picture.
bool ShootBox(const QDir& out, const QString& name, QWidget* parent, const QString& title,
              const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Warning, title, text, buttons, parent);
    box.show();
    const bool ok = Shoot(out, name, Around(&box));
    box.hide();
    return ok;
}

// The window and every window floating over it, as the screen shows them now,
// under a strip with the main window's title: the virtual X server has no
// window manager to draw one.
bool GrabScene(const QDir& out, const QString& name, QWidget* window)
{
    QCoreApplication::processEvents();
    QRect area = Around(window);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible())
            area = area.united(Around(w));
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(
        0, area.x(), area.y(), area.width(), area.height());
    constexpr int TitleHeight = 24;
    QPixmap shot(area.width(), area.height() + TitleHeight);
    shot.fill(QColor(0x3b, 0x44, 0x52));
    {
        QPainter painter(&shot);
        painter.setPen(Qt::white);
        const QRect strip(6, 0, shot.width() - 12, TitleHeight);
        painter.drawText(
            strip, Qt::AlignVCenter | Qt::AlignLeft,
            painter.fontMetrics().elidedText(window->windowTitle(), Qt::ElideRight, strip.width()));
        painter.drawPixmap(0, TitleHeight, screen);
    }
    const QString path = out.filePath(name + ".png");
    if (screen.isNull() || !shot.save(path))
    {
        QTextStream(stderr) << "cannot save " << path << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

// A picture every intervalMs for spanMs, named after the time since the start.
bool ShootSeries(const QDir& out, const QString& name, QWidget* window, int spanMs, int intervalMs)
{
    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    for (int at = 0; at <= spanMs; at += intervalMs)
    {
        Settle(int(qMax<qint64>(0, at - clock.elapsed())));
        ok &=
            GrabScene(out, QStringLiteral("%1-%2ms").arg(name).arg(at, 5, 10, QChar('0')), window);
    }
    return ok;
}

// When the next modal box appears: its picture, then the given button.
void ShootBoxWhenShown(const QDir& out, const QString& name, QWidget* window,
                       QMessageBox::StandardButton answer, bool* ok)
{
    auto* look = new QTimer;
    QObject::connect(look, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        look->stop();
        look->deleteLater();
        Settle(300);
        *ok &= GrabScene(out, name, window);
        box->button(answer)->click();
    });
    look->start(50);
}

// When the next modal dialog appears: its picture, then Esc.
void ShootModalWhenShown(const QDir& out, const QString& name, bool* ok)
{
    auto* look = new QTimer;
    QObject::connect(look, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        look->stop();
        look->deleteLater();
        *ok &= Shoot(out, name, Around(dialog));
        dialog->reject();
    });
    look->start(50);
}

// When the next menu pops up: the window with the menu over it, then away with it.
void ShootPopupWhenShown(const QDir& out, const QString& name, QWidget* window, bool* ok)
{
    auto* look = new QTimer;
    QObject::connect(look, &QTimer::timeout, [=] {
        QWidget* menu = QApplication::activePopupWidget();
        if (!menu || !menu->isVisible())
            return;
        look->stop();
        look->deleteLater();
        *ok &= Shoot(out, name, Around(window).united(Around(menu)));
        menu->close();
    });
    look->start(50);
}

// Whole transfers against simulated instruments, as a user meets them.
bool ShootTransfers(const QDir& out)
{
    bool ok = true;
    PinnedPorts ports;
    ShotWindow window;
    window.move(40, 40);
    window.show();
    auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
    using ReplyFrame::Family;
    const QByteArray fourPages =
        ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 128));
    const QByteArray eightPages =
        ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 256));

    // An instrument on COM2 with this reply and these faults, found.
    const auto attach = [&](const QByteArray& reply, InstrumentSimulator::Faults faults) {
        ports.sims.clear();
        InstrumentSimulator* sim = ports.Attach(2, 38400, faults);
        if (sim)
            sim->SetReply(reply);
        window.Search();
        ok &= sim && transfer->isEnabled();
        return sim;
    };
    const auto reset = [&] {
        window.Forget();
        Settle(200);
    };

    // A reply of four pages: the bar, then the success text for two seconds
    // while the window stays alive, then the table.
    attach(fourPages, {});
    transfer->click();
    ok &= ShootSeries(out, "success", &window, 3000, 250);
    reset();

    // The instrument stops for seven seconds after three of eight pages: the
    // stall text comes after five, and goes when the bytes come again.
    InstrumentSimulator::Faults pause;
    pause.pauseAt = 11 + 3 * 256;
    pause.pauseMs = 7000;
    attach(eightPages, pause);
    transfer->click();
    ok &= ShootSeries(out, "stall-recovered", &window, 10000, 1000);
    reset();

    // The reply stops part way through its third page: the stall text, the
    // question when the user cancels, and the kept records.
    InstrumentSimulator::Faults cut;
    cut.truncateAt = 11 + 2 * 256 + 100;
    attach(fourPages, cut);
    transfer->click();
    ok &= ShootSeries(out, "stall-cut", &window, 6000, 1000);
    ShootBoxWhenShown(out, "keep-question", &window, QMessageBox::Yes, &ok);
    transfer->click();
    Settle();
    ok &= GrabScene(out, "incomplete-table", &window);
    window.findChild<QTableWidget*>("tableWidget")->scrollToBottom();
    ok &= Shoot(out, "incomplete-table-end", Around(&window));
    reset();

    // Garbage alone: the stall text, and a cancel that asks nothing.
    attach(QByteArray(700, char(0xEE)), {});
    transfer->click();
    Settle(5600);
    ok &= GrabScene(out, "garbage-stall", &window);
    transfer->click();
    Settle();
    ok &= GrabScene(out, "garbage-cancelled", &window);

    // Another program holds the port when Transfer Data is pressed.
    InstrumentSimulator* sim = attach(fourPages, {});
    const int holder = sim ? ::open(QFile::encodeName(sim->TerminalPath()).constData(),
                                    O_RDWR | O_NOCTTY | O_NONBLOCK)
                           : -1;
    ok &= holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0;
    ShootBoxWhenShown(out, "start-failed-busy", &window, QMessageBox::Ok, &ok);
    transfer->click();
    Settle();
    ok &= GrabScene(out, "start-failed-busy-after", &window);
    if (holder >= 0)
        ::close(holder);
    return ok;
}

// Answers the next save dialog with path, as a user typing it would.
void SaveAsWhenShown(const QString& path)
{
    auto* look = new QTimer;
    QObject::connect(look, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        look->stop();
        look->deleteLater();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    look->start(50);
}

// The status line in each of its states, with the window around it.
bool ShootStatus(const QDir& out)
{
    bool ok = true;
    PinnedPorts ports;
    ShotWindow window;
    window.move(40, 40);
    window.show();
    window.WaitForSearch();
    auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
    auto* status = window.findChild<QLabel*>("statusLabel");
    ok &= GrabScene(out, "status-no-serial-port", &window);

    // Four serial devices that do not answer: the search, then its outcome.
    InstrumentSimulator::Faults quiet;
    quiet.silent = true;
    for (int n = 1; n <= 4; ++n)
        ok &= ports.Attach(n, 38400, quiet) != nullptr;
    window.SearchAgain();
    ok &= GrabScene(out, "status-searching", &window);
    window.WaitForSearch();
    ok &= GrabScene(out, "status-ports-tried", &window);
    // What lies behind it: every port the search looked at.
    QToolTip::showText(status->mapToGlobal(QPoint(10, 5)), status->toolTip(), status);
    Settle(300);
    ok &= GrabScene(out, "status-ports-tried-details", &window);
    QToolTip::hideText();
    Settle();

    // COM2 held by another program.
    ok &= ports.sims[1]->IsRunning();
    const int holder = ::open(QFile::encodeName(ports.sims[1]->TerminalPath()).constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK);
    ok &= holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0;
    window.Search();
    ok &= GrabScene(out, "status-port-in-use", &window);
    if (holder >= 0)
        ::close(holder);

    // COM3 closed to this user, as serial ports are outside the dialout
    // group; root searches as an ordinary user for the picture.
    ok &= ::chmod(QFile::encodeName(ports.sims[2]->TerminalPath()).constData(), 0) == 0;
    for (const QString& folder : {ports.dir.path(), ports.path})
        ok &= ::chmod(QFile::encodeName(folder).constData(), 0755) == 0;
    const bool root = ::geteuid() == 0;
    if (root)
    {
        ::setfsgid(65534);
        ::setfsuid(65534);
    }
    window.SearchAgain();
    if (root)
    {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    window.WaitForSearch();
    ok &= GrabScene(out, "status-no-permission", &window);
    ports.sims.clear();
    for (int n = 1; n <= 4; ++n)
        QFile::link(ports.dir.path() + "/nothing", ports.Entry(n));

    // An instrument plugged in on COM33: the window waits for it to settle,
    // then searches, and stays alive throughout.
    window.deviceSettleMs = 2500;
    InstrumentSimulator* sim = ports.Attach(33, 38400);
    ok &= sim != nullptr;
    ok &= ShootSeries(out, "status-plugged-in", &window, 3500, 250);
    window.deviceSettleMs = 0;
    window.WaitForSearch();
    ok &= transfer->isEnabled();
    ok &= GrabScene(out, "status-instrument-found", &window);

    // After a transfer, and after a save.
    transfer->click();
    auto* table = window.findChild<QTableWidget*>("tableWidget");
    while (!table->isVisible())
        Settle(50);
    ok &= GrabScene(out, "status-after-transfer", &window);
    QTemporaryDir data;
    const QString dataPath = window.Engine()->dataPath;
    SaveAsWhenShown(data.filePath("results1.csv"));
    window.findChild<QToolButton*>("saveAsButton")->click();
    Settle();
    ok &= GrabScene(out, "status-saved", &window);
    window.Engine()->dataPath = dataPath; // the settings file keeps the user's folder
    window.Forget();

    // A reply cut short, its whole pages kept.
    using ReplyFrame::Family;
    InstrumentSimulator::Faults cut;
    cut.truncateAt = 11 + 2 * 256 + 100;
    sim->SetFaults(cut);
    sim->SetReply(ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 128)));
    window.Engine()->stallMs = 300;
    transfer->click();
    Settle(1500);
    bool asked = true;
    ShootBoxWhenShown(out, "status-keep-question", &window, QMessageBox::Yes, &asked);
    transfer->click();
    Settle();
    ok &= asked && GrabScene(out, "status-incomplete", &window);
    window.Forget();

    // The virtual device.
    ports.sims.clear();
    window.Engine()->virtualDevice = true;
    window.Engine()->virtualPort = 5;
    window.Search();
    ok &= GrabScene(out, "status-virtual-device", &window);
    window.Engine()->virtualDevice = false; // nor is the settings file left with it
    return ok;
}

// The program as it is, on the ports beside it: Transfer Data pressed after
// waitMs, then a picture every 250 ms for three seconds, boxes answered OK.
bool ShootPressAfter(const QDir& out, int waitMs)
{
    ShotWindow window;
    window.move(40, 40);
    window.show();
    bool ok = true;
    Settle(waitMs);
    ok &= GrabScene(out, "before-press", &window);
    ShootBoxWhenShown(out, "box", &window, QMessageBox::Ok, &ok);
    window.findChild<QToolButton*>("trnsfrDataButton")->click();
    ok &= ShootSeries(out, "after-press", &window, 3000, 250);
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // --russian: the Russian catalogue compiled in this build folder and
    // Qt's own, as a Russian build places them beside the program.
    const bool russian = !args.isEmpty() && args.first() == QLatin1String("--russian");
    if (russian)
        args.removeFirst();
    const bool transfers = args.size() == 2 && args[1] == "transfers";
    const bool statusLine = args.size() == 2 && args[1] == "status";
    const bool pressAfter = args.size() == 3 && args[1] == "press-after";
    if (args.size() != 1 && !transfers && !statusLine && !pressAfter)
    {
        QTextStream(stderr)
            << "usage: parvesta_shots [--russian] OUTPUT_FOLDER [transfers | status | "
               "press-after MS]\n";
        return 2;
    }
    const QDir out(args[0]);
    bool ok = true;

    QTranslator toolkit, program;
    if (russian)
    {
        ok &= program.load(QStringLiteral(PARVESTA_CATALOGUE)) &&
              toolkit.load(QStringLiteral("qt_ru"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }
    else
        Installation::LoadCatalogues(&toolkit, &program);
    QCoreApplication::installTranslator(&toolkit);
    QCoreApplication::installTranslator(&program);
    if (!ok)
    {
        QTextStream(stderr) << "the Russian catalogues cannot be read\n";
        return 1;
    }
    if (transfers)
        return ShootTransfers(out) ? 0 : 1;
    if (statusLine)
        return ShootStatus(out) ? 0 : 1;
    if (pressAfter)
        return ShootPressAfter(out, args[2].toInt()) ? 0 : 1;

    ShotWindow window;
    window.move(40, 40);
    window.show();
    auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
    auto* progress = window.findChild<QWidget*>("ProgressWindowGUI");
    auto* bar = progress->findChild<QProgressBar*>("progressBar");
    auto* message = progress->findChild<QLabel*>("messageLabel");

    // Picture face, without and with an instrument that answered.
    window.Show(ShotWindow::Empty);
    ok &= Shoot(out, "main-no-instrument", Around(&window));
    transfer->setEnabled(true);
    ok &= Shoot(out, "main-picture", Around(&window));

    // Receiving: the progress window centred over the main window.
    window.Show(ShotWindow::Receiving);
    transfer->setEnabled(true);
    emit window.ProgressChanged(64);
    const QRect frame = window.frameGeometry();
    progress->move(frame.x() + (frame.width() - progress->frameGeometry().width()) / 2,
                   frame.y() + (frame.height() - progress->frameGeometry().height()) / 2);
    ok &= Shoot(out, "progress", Around(&window));

    // The success text stands alone: nothing is left to cancel.
    auto* cancel = progress->findChild<QPushButton*>("cancelButton");
    bar->hide();
    cancel->hide();
    message->setText(EngineText("Data transfer completed successfully."));
    message->show();
    ok &= Shoot(out, "progress-message", Around(&window));
    message->hide();
    cancel->show();
    bar->show();

    // Table face with some results, and their statistics; group 1 against
    // limits that two of its readings miss, for the marks and the charts' lines.
    window.Engine()->UseLimits({Limit{1, Unit::Millimetres, 12.0, 12.4, 12.2}});
    FillSampleRecords(window.Engine()->data);
    window.Show(ShotWindow::Results);
    transfer->setEnabled(true);
    ok &= Shoot(out, "main-table", Around(&window));
    {
        window.findChild<QToolButton*>("statisticsButton")->click();
        auto* statistics = window.findChild<QWidget*>("StatisticsWindowGUI");
        statistics->move(360, 40);
        ok &= Shoot(out, "statistics", Around(statistics));
        statistics->hide();
        window.Engine()->UseLimits({});
    }
    // A full memory: the scroll bar takes its share of the width.
    FillSampleRecords(window.Engine()->data, 5);
    window.Show(ShotWindow::Results);
    transfer->setEnabled(true);
    ok &= Shoot(out, "main-table-scrolling", Around(&window));
    // The table's menu, as the menu key opens it over the current row.
    {
        auto* table = window.findChild<QTableWidget*>("tableWidget");
        table->setFocus();
        table->setCurrentCell(2, 0);
        ShootPopupWhenShown(out, "main-table-menu", &window, &ok);
        QTest::keyClick(table, Qt::Key_F10, Qt::ShiftModifier);
    }
    // As large as a technician makes it: the table fills the window.
    {
        const QSize before = window.size();
        window.resize(900, 700);
        Settle();
        ok &= window.size() == QSize(900, 700);
        ok &= Shoot(out, "main-table-900x700", Around(&window));
        window.resize(before);
        Settle();
    }
    // The settings, opened by the gear.
    ShootModalWhenShown(out, "settings", &ok);
    window.findChild<QToolButton*>("settingsButton")->click();

    // The questions and warnings of a transfer, and the save dialog.
    ok &= ShootBox(out, "box-unsaved", &window, EngineText("Received data was not saved."),
                   EngineText("Received data will be lost. Do you want to save it?"),
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    ok &= ShootBox(out, "box-no-measurements", &window, QString(),
                   WindowText("No measurements in connected device!"), QMessageBox::Ok);
    ok &= ShootBox(out, "box-failed", &window, QString(),
                   EngineText("Data transfer failed! Please try again."), QMessageBox::Ok);
    {
        // In a data folder of its own, not among the machine's other files.
        const QTemporaryDir folder;
        QFileDialog save(&window, WindowText("Save measurements as"), folder.path(),
                         WindowText("Measurements (*.csv)") + ";;" +
                             WindowText("Excel workbook (*.xlsx)") + ";;" +
                             WindowText("JSON for other programs (*.json)") + ";;" +
                             WindowText("Instrument reply (*.bin)"));
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setOption(QFileDialog::DontUseNativeDialog);
        save.selectFile("results1.csv");
        save.move(360, 40);
        save.show();
        ok &= Shoot(out, "save-dialog", Around(&save));
        // The file types it offers.
        if (auto* types = save.findChild<QComboBox*>("fileTypeCombo"))
        {
            types->showPopup();
            // The list may reach below the dialog: the picture takes in both.
            ok &= Shoot(out, "save-dialog-types",
                        Around(&save, 8).united(Around(types->view()->window(), 8)));
            types->hidePopup();
        }
        save.hide();
    }

    window.findChild<QToolButton*>("aboutButton")->click();
    auto* about = window.findChild<QWidget*>("AboutWindowGUI");
    about->move(360, 40);
    ok &= Shoot(out, "about", Around(about));
    about->hide();

    window.findChild<QToolButton*>("helpButton")->click();
    auto* help = window.findChild<QWidget*>("HelpWindowGUI");
    help->move(700, 40);
    ok &= Shoot(out, "help", Around(help));
    help->findChild<QTextBrowser*>("helpTBrowser")->scrollToAnchor("connect");
    ok &= Shoot(out, "help-connect", Around(help));
    help->findChild<QTextBrowser*>("helpTBrowser")->scrollToAnchor("settings");
    ok &= Shoot(out, "help-settings", Around(help));
    return ok ? 0 : 1;
}
