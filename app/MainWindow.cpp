#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QBitmap>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QUrl>

MainWindow::MainWindow(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    ui.setupUi(this);
    timerId = 0;

    setButtonIcon(ui.trnsfrDataButton, ":/Button/data_transf.bmp", ":/Button/data_transf_mask.bmp");
    setButtonIcon(ui.saveAsButton, ":/Button/save_file.bmp", ":/Button/save_file_mask.bmp");
    setButtonIcon(ui.helpButton, ":/Button/help.bmp", ":/Button/help_mask.bmp");
    setButtonIcon(ui.aboutButton, ":/Button/about.bmp", ":/Button/about_mask.bmp");

    CreateAboutWindow();
    CreateHelpWindow();
    CreateProgressWindow();

    ui.tableWidget->hide();
    ui.tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

MainWindow::~MainWindow() = default;

void MainWindow::TransferData()
{
    // Not wired to the transfer engine yet: the button does nothing.
}

bool MainWindow::SaveData()
{
    // Not wired to the transfer engine yet: nothing is ever written.
    return false;
}

void MainWindow::SetViewState(int state)
{
    // Transfer Data is usable only while an instrument has answered the
    // search; without the transfer engine no instrument can have answered.
    ui.trnsfrDataButton->setEnabled(false);

    switch (state)
    {
    case NoResults:
        ui.tableWidget->hide();
        ui.saveAsButton->setEnabled(false);
        progressWindow->hide();
        ui.bckgroundLabel->show();
        break;
    case TransferRunning:
        // Every transfer starts from an empty bar, whatever the last one reached.
        emit ProgressChanged(0);
        progressWindow->show();
        break;
    case ResultsShown:
        ui.bckgroundLabel->hide();
        progressWindow->hide();
        ui.tableWidget->show();
        ui.saveAsButton->setEnabled(true);
        break;
    }
}

void MainWindow::setButtonIcon(QAbstractButton* button, QString imagePath, QString maskPath)
{
    QIcon icon;
    QPixmap picture(imagePath);
    // Loading as a bitmap dithers the mask's grey edges to black and white, so
    // each pixel ends fully opaque or fully transparent: the magenta behind
    // the picture never shows, not even half-blended at an edge.
    const QBitmap mask(maskPath);
    if (!picture.isNull() && !mask.isNull() && mask.size() == picture.size())
    {
        QImage withAlpha = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        withAlpha.setAlphaChannel(mask.toImage());
        picture = QPixmap::fromImage(withAlpha);
    }
    // Only the normal pixmap: the toolkit greys it for a disabled button.
    icon.addPixmap(picture, QIcon::Normal, QIcon::Off);
    button->setIcon(icon);
}

void MainWindow::CreateAboutWindow()
{
    aboutWindow = new QWidget(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    aboutUi.setupUi(aboutWindow);
    connect(ui.aboutButton, SIGNAL(clicked()), aboutWindow, SLOT(show()));
}

void MainWindow::CreateHelpWindow()
{
    helpWindow = new QWidget(this, Qt::Window);
    helpUi.setupUi(helpWindow);

    // Pages come from the Help folder beside the program, their pictures
    // from its Images folder; without the folder the window opens blank.
    const QString helpFolder = QCoreApplication::applicationDirPath() + "/Help";
    helpUi.helpTBrowser->setSearchPaths(QStringList() << helpFolder << helpFolder + "//Images");
    // The start page is a translated text, so a catalogue can name its own.
    helpUi.helpTBrowser->setSource(QUrl(tr("index.html")));
    helpWindow->setWindowTitle(tr("Parvesta help"));
    connect(ui.helpButton, SIGNAL(clicked()), helpWindow, SLOT(show()));
}

void MainWindow::CreateProgressWindow()
{
    progressWindow = new QWidget(this, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint);
    progressUi.setupUi(progressWindow);
    progressUi.messageLabel->hide();
    connect(this, SIGNAL(ProgressChanged(int)), progressUi.progressBar, SLOT(setValue(int)));
}
