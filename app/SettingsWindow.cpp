#include "SettingsWindow.h"

#include "CQuorvanta.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace
{
// The ports a user can name: COM1 to COM49, as the search knows them.
constexpr int HighestPort = 49;
} // namespace

SettingsWindow::SettingsWindow(CQuorvanta* owner, QWidget* parent) : QDialog(parent), engine(owner)
{
    ui.setupUi(this);
    const CQuorvanta::UserSettings now = engine->CurrentSettings();

    ui.portCombo->addItem(tr("Any"), 0);
    for (int number = 1; number <= HighestPort; ++number)
    {
        // What the last search found there helps to pick the right one.
        const QString found = engine->PortFinding(number);
        ui.portCombo->addItem(found.isEmpty() ? QStringLiteral("COM%1").arg(number) : found,
                              number);
    }
    ui.portCombo->setCurrentIndex(now.fixedPort ? ui.portCombo->findData(now.comPort) : 0);
    if (ui.portCombo->currentIndex() < 0)
    {
        ui.portCombo->addItem(QStringLiteral("COM%1").arg(now.comPort), now.comPort);
        ui.portCombo->setCurrentIndex(ui.portCombo->count() - 1);
    }

    for (int speed : {9600, 19200, 38400, 57600, 115200})
        ui.speedCombo->addItem(QString::number(speed));
    ui.speedCombo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,9}")), this));
    ui.speedCombo->setEditText(QString::number(now.comSpeed));

    ui.dataPathEdit->setText(QDir::toNativeSeparators(now.dataPath));

    ui.virtualCombo->addItem(tr("Off"), 0);
    for (int number = 1; number <= HighestPort; ++number)
        ui.virtualCombo->addItem(QStringLiteral("COM%1").arg(number), number);
    ui.virtualCombo->setCurrentIndex(now.virtualDevice ? ui.virtualCombo->findData(now.virtualPort)
                                                       : 0);
    if (ui.virtualCombo->currentIndex() < 0)
    {
        ui.virtualCombo->addItem(QStringLiteral("COM%1").arg(now.virtualPort), now.virtualPort);
        ui.virtualCombo->setCurrentIndex(ui.virtualCombo->count() - 1);
    }

    ui.noticeLabel->setVisible(!engine->SettingsNotice().isEmpty());

    connect(ui.browseButton, &QPushButton::clicked, this, &SettingsWindow::ChooseFolder);
    connect(ui.buttonBox, &QDialogButtonBox::accepted, this, &SettingsWindow::accept);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &SettingsWindow::reject);
    connect(ui.speedCombo, &QComboBox::editTextChanged, this, &SettingsWindow::CheckValues);
    connect(ui.dataPathEdit, &QLineEdit::textChanged, this, &SettingsWindow::CheckValues);
    CheckValues();
    adjustSize();
}

int SettingsWindow::Speed() const
{
    bool ok = false;
    const int speed = ui.speedCombo->currentText().toInt(&ok);
    return ok ? speed : 0;
}

void SettingsWindow::CheckValues()
{
    ui.buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(Speed() > 0 && !ui.dataPathEdit->text().trimmed().isEmpty());
}

void SettingsWindow::ChooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Data folder"), QDir::fromNativeSeparators(ui.dataPathEdit->text()));
    if (!folder.isEmpty())
        ui.dataPathEdit->setText(QDir::toNativeSeparators(folder));
}

void SettingsWindow::accept()
{
    if (Speed() <= 0)
        return;
    CQuorvanta::UserSettings chosen;
    chosen.comSpeed = Speed();
    chosen.comPort = ui.portCombo->currentData().toInt();
    chosen.fixedPort = chosen.comPort > 0;
    chosen.virtualPort = ui.virtualCombo->currentData().toInt();
    chosen.virtualDevice = chosen.virtualPort > 0;
    chosen.dataPath = QDir::fromNativeSeparators(ui.dataPathEdit->text());
    if (!chosen.dataPath.endsWith(QLatin1Char('/')))
        chosen.dataPath += QLatin1Char('/');
    // Settings.ini keeps one setting a line: such a name cannot be kept.
    if (!SettingsFile::Storable(QFile::encodeName(chosen.dataPath)))
    {
        QMessageBox::warning(this, windowTitle(),
                             tr("The data folder's name holds a line break, which Settings.ini "
                                "cannot keep. Choose another folder."));
        return;
    }
    if (!engine->ChangeSettings(chosen))
    {
        // The dialog stays: the user may try again or cancel.
        QMessageBox::warning(this, windowTitle(),
                             tr("The settings could not be saved in %1: %2.")
                                 .arg(QDir::toNativeSeparators(engine->SettingsFilePath()),
                                      engine->SaveErrorText()));
        return;
    }
    QDialog::accept();
}
