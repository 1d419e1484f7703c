// The engine: its construction, its texts, and the end of a run.
#include "CQuorvanta.h"

#include "CArchive.h"
#include "FilePaths.h"
#include "Installation.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QLocale>

CQuorvanta::CQuorvanta() : QObject(nullptr)
{
    version = QString::fromLatin1(Version);

    // The working folder stays the caller's: the program's own files are
    // found by absolute paths, and a name given on a command line means
    // what it means in the caller's shell.
    appDir = DirectoryOf(QCoreApplication::applicationFilePath().toUtf8().constData());
    // An installed program keeps the user's port links with the settings.
    if (!Installation::IsPortable())
        SetPortsFolder(Installation::ConfigFolder() + QStringLiteral("ports"));

    dataPath = DefaultDataPath();
    LoadSettings();
    LoadLimits();

    title = QStringLiteral("Parvesta ") + version;
    msgSuccess = tr("Data transfer completed successfully.");
    msgFailed = tr("Data transfer failed! Please try again.");
    msgInstructions = tr("VX-40(VX-41)\n"
                         "Connect the device to PC with the USB cable.\n"
                         "In SETUP menu select \n"
                         "DATA TRANSFER.\n"
                         "Press F2(Execute) button on the device.\n"
                         "\n"
                         "TR-620(\u041C)\n"
                         "Bring the device to the IR receiver.\n"
                         "In SETUP menu select DATA TRANSFER.\n"
                         "Press ENTER button on the device.\n"
                         "\n"
                         "VX-77\n"
                         "Connect the device to PC with the USB cable.");
    textOf = tr("of");
    SetFileTexts();
    msgUnsavedQuestion = tr("Received data will be lost. Do you want to save it?");
    msgUnsavedTitle = tr("Received data was not saved.");
    textDataTransfer = tr("Data transfer");

    decimalSeparator = QStringLiteral(".");
    const QString point = QLocale::system().decimalPoint();
    if (!point.isEmpty())
        decimalSeparator = point.left(1);
}

void CQuorvanta::SetFileTexts()
{
    textGroup = FileText(QT_TR_NOOP("Group"));
    unitVelocity = FileText(QT_TR_NOOP("m/s"));
    unitTime = FileText(QT_TR_NOOP("us"));
    unitMm = FileText(QT_TR_NOOP("mm"));
    unitInches = FileText(QT_TR_NOOP("Inches"));
    csvHeader = FileText(QT_TR_NOOP("\"Group\";\"Cell\";\"Result\";\"Unit\""));
}

QString CQuorvanta::FileText(const char* source) const
{
    return english ? QString::fromUtf8(source) : tr(source);
}

void CQuorvanta::WriteInEnglish()
{
    english = true;
    SetFileTexts();
    decimalSeparator = QStringLiteral(".");
}

CQuorvanta::~CQuorvanta()
{
    if (writesSettings)
        SaveSettings();
    // The links close their ports as they are destroyed.
}

UnitTexts CQuorvanta::Units() const
{
    UnitTexts units;
    units.texts[Unit::MetresPerSecond] = unitVelocity;
    units.texts[Unit::Microseconds] = unitTime;
    units.texts[Unit::Millimetres] = unitMm;
    units.texts[Unit::Inches] = unitInches;
    return units;
}

QString CQuorvanta::UnitText(int unit) const
{
    return Units().Of(unit);
}
