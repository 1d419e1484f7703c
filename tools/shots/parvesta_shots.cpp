// Puts each of Parvesta's windows into a typical state and saves what the
// screen shows, one PNG per view, into the folder given. scripts/screenshots
// runs it under a virtual X server. Like the program, it speaks the language
// of the catalogues beside it.
#include "Installation.h"
#include "MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

namespace
{
class ShotWindow : public MainWindow
{
public:
    void Show(int state) { SetViewState(state); }
    static constexpr int Empty = NoResults;
    static constexpr int Receiving = TransferRunning;
    static constexpr int Results = ResultsShown;
};

void Settle(int ms = 400)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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

// A few results as two groups of wall-thickness readings would give them.
void FillSampleRows(QTableWidget* table, bool append = false)
{
    const struct
    {
        int group, cell;
        const char *value, *unit;
    } rows[] = {{1, 1, "12.34", "mm"},     {1, 2, "12.29", "mm"},     {1, 3, "12.41", "mm"},
                {1, 4, "11.98", "mm"},     {1, 5, "12.05", "mm"},     {1, 6, "12.37", "mm"},
                {2, 1, "0.486", "Inches"}, {2, 2, "0.491", "Inches"}, {2, 3, "0.479", "Inches"},
                {3, 1, "5920", "m/s"},     {3, 2, "5935", "m/s"},     {4, 1, "3.37", "us"},
                {4, 2, "3.41", "us"},      {4, 3, "3.29", "us"}};
    if (!append)
        table->setRowCount(0);
    for (const auto& r : rows)
    {
        const int row = table->rowCount();
        table->setRowCount(row + 1);
        table->setItem(row, 0, new QTableWidgetItem(QString::number(r.group)));
        table->setItem(row, 1, new QTableWidgetItem(QString::number(r.cell)));
        table->setItem(row, 2, new QTableWidgetItem(r.value));
        table->setItem(row, 3, new QTableWidgetItem(EngineText(r.unit)));
    }
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
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
    {
        QTextStream(stderr) << "usage: parvesta_shots OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = true;

    QTranslator toolkit, program;
    Installation::LoadCatalogues(&toolkit, &program);
    QCoreApplication::installTranslator(&toolkit);
    QCoreApplication::installTranslator(&program);

    ShotWindow window;
    window.move(40, 40);
    window.show();
    auto* transfer = window.findChild<QToolButton*>("trnsfrDataButton");
    auto* table = window.findChild<QTableWidget*>("tableWidget");
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

    bar->hide();
    message->setText(EngineText("Data transfer completed successfully."));
    message->show();
    ok &= Shoot(out, "progress-message", Around(&window));
    message->hide();
    bar->show();

    // Table face with some results.
    window.Show(ShotWindow::Results);
    transfer->setEnabled(true);
    FillSampleRows(table);
    ok &= Shoot(out, "main-table", Around(&window));
    // A full memory: the scroll bar takes its share of the width.
    for (int i = 0; i < 4; ++i)
        FillSampleRows(table, true);
    ok &= Shoot(out, "main-table-scrolling", Around(&window));

    // The questions and warnings of a transfer, and the save dialog.
    ok &= ShootBox(out, "box-unsaved", &window, EngineText("Received data was not saved."),
                   EngineText("Received data will be lost. Do you want to save it?"),
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    ok &= ShootBox(out, "box-no-measurements", &window, QString(),
                   WindowText("No measurements in connected device!"), QMessageBox::Ok);
    ok &= ShootBox(out, "box-failed", &window, QString(),
                   EngineText("Data transfer failed! Please try again."), QMessageBox::Ok);
    {
        QFileDialog save(&window, WindowText("Save measurements as"), QDir::tempPath(),
                         WindowText("Measurements (*.csv)"));
        save.setAcceptMode(QFileDialog::AcceptSave);
        save.setOption(QFileDialog::DontUseNativeDialog);
        save.selectFile("results1.csv");
        save.move(360, 40);
        save.show();
        ok &= Shoot(out, "save-dialog", Around(&save));
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
