// Saving the records (as CSV, a workbook or JSON) and the instrument's
// reply: the choice of format, the texts files are written with, and the
// engine's side of the data folder.
#include "CQuorvanta.h"

#include "CDataFolder.h"
#include "CSaveError.h"
#include "CsvFile.h"
#include "EngineLog.h"
#include "FilePaths.h"
#include "Installation.h"
#include "SettingsFile.h"
#include "XlsxFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

CsvFile::Format CQuorvanta::CsvFormat() const
{
    CsvFile::Format format;
    format.header = csvHeader;
    format.decimalSeparator = decimalSeparator;
    format.units = Units();
    return format;
}

QString CQuorvanta::DefaultDataPath() const
{
    return CDataFolder::Default(appDir);
}

QString CQuorvanta::SaveFolder() const
{
    return CDataFolder::Existing(appDir, dataPath);
}

QByteArray CQuorvanta::EncodePath(const QString& path) const
{
    return CDataFolder::Encode(path, storedDataPath);
}

QString CQuorvanta::SaveErrorText() const
{
    return CSaveError::Text(saveError, saveSystemError, savePath);
}

QString CQuorvanta::FileErrorText(FileError error, int systemError) const
{
    return CSaveError::Text(error, systemError);
}

QString CQuorvanta::SuggestFileName() const
{
    return UniqueFileName(SaveFolder(), QStringLiteral("results"), QStringLiteral(".csv"));
}

bool CQuorvanta::WriteCsv(const char* fileName)
{
    return Write(fileName, SaveFormat::Csv);
}

namespace
{
// Each format with the extension of its files, which is also its name.
constexpr struct
{
    CQuorvanta::SaveFormat format;
    const char* extension;
} Formats[] = {{CQuorvanta::SaveFormat::Csv, "csv"},
               {CQuorvanta::SaveFormat::Workbook, "xlsx"},
               {CQuorvanta::SaveFormat::Reply, "bin"},
               {CQuorvanta::SaveFormat::Json, "json"},
               {CQuorvanta::SaveFormat::Report, "pdf"}};
} // namespace

bool CQuorvanta::FormatNamed(const QString& name, SaveFormat* format)
{
    for (const auto& f : Formats)
        if (name.compare(QLatin1String(f.extension), Qt::CaseInsensitive) == 0)
        {
            if (format)
                *format = f.format;
            return true;
        }
    return false;
}

CQuorvanta::SaveFormat CQuorvanta::FormatOf(const QString& fileName)
{
    SaveFormat format = SaveFormat::Csv;
    FormatNamed(QFileInfo(fileName).suffix(), &format);
    return format;
}

QString CQuorvanta::ExtensionOf(SaveFormat format)
{
    for (const auto& f : Formats)
        if (f.format == format)
            return QLatin1String(f.extension);
    return QStringLiteral("csv");
}

TransferSource CQuorvanta::TransferDescription() const
{
    TransferSource source;
    if (currentLink && !virtualDevice)
    {
        source.port = QStringLiteral("COM%1").arg(currentLink->portNumber);
        source.device = QString::fromLocal8Bit(currentLink->portName);
    }
    else if (virtualDevice)
        source.port = QStringLiteral("COM%1").arg(virtualPort);
    if (!sourcePort.isEmpty())
        source.port = sourcePort;
    if (!sourceDevice.isEmpty())
        source.device = sourceDevice;
    source.pagesReceived = replyPages.received;
    source.pagesAnnounced = replyPages.announced;
    source.complete = replyPages.Complete();
    source.downloaded = downloaded;
    source.program = programName;
    source.version = version;
    source.station = sourceStation.isEmpty() ? QSysInfo::machineHostName() : sourceStation;
    source.transfer = archivedId;
    return source;
}

XlsxFile::Format CQuorvanta::WorkbookFormat() const
{
    XlsxFile::Format format;
    format.measurementsSheet = FileText(QT_TR_NOOP("Measurements"));
    format.statisticsSheet = FileText(QT_TR_NOOP("Statistics"));
    // The CSV header's four titles, without their quotes.
    for (QString column : csvHeader.split(QLatin1Char(';')))
        format.columns << column.remove(QLatin1Char('"'));
    format.statisticsColumns = StatisticsColumns();
    format.units = Units();
    format.downloadSheet = FileText(QT_TR_NOOP("Download"));
    for (const char* line :
         {QT_TR_NOOP("Downloaded (UTC)"), QT_TR_NOOP("Station"), QT_TR_NOOP("Instrument"),
          QT_TR_NOOP("Port"), QT_TR_NOOP("Device"), QT_TR_NOOP("Pages"),
          QT_TR_NOOP("Pages received"), QT_TR_NOOP("Pages announced"), QT_TR_NOOP("Program"),
          QT_TR_NOOP("Transfer")})
        format.downloadTitles << FileText(line);
    format.complete = FileText(QT_TR_NOOP("complete"));
    format.incomplete = FileText(QT_TR_NOOP("incomplete"));
    format.limits = limits;
    format.limitColumn = FileText(QT_TR_NOOP("Limit"));
    format.belowLow = FileText(QT_TR_NOOP("low"));
    format.aboveHigh = FileText(QT_TR_NOOP("high"));
    format.limitColumns = LimitColumns();
    return format;
}

QStringList CQuorvanta::LimitColumns() const
{
    return {FileText(QT_TR_NOOP("Low")),     FileText(QT_TR_NOOP("High")),
            FileText(QT_TR_NOOP("Nominal")), FileText(QT_TR_NOOP("Pass")),
            FileText(QT_TR_NOOP("Fail")),    FileText(QT_TR_NOOP("Cp")),
            FileText(QT_TR_NOOP("Cpk"))};
}

QStringList CQuorvanta::StatisticsColumns() const
{
    return {textGroup,
            FileText(QT_TR_NOOP("Unit")),
            FileText(QT_TR_NOOP("Count")),
            FileText(QT_TR_NOOP("Minimum")),
            FileText(QT_TR_NOOP("Maximum")),
            FileText(QT_TR_NOOP("Mean")),
            FileText(QT_TR_NOOP("Std. deviation"))};
}

CReport::Format CQuorvanta::ReportFormat() const
{
    CReport::Format format;
    format.decimalSeparator = decimalSeparator;
    format.units = Units();
    format.group = textGroup;
    format.statisticsColumns = StatisticsColumns();
    format.limitColumns = LimitColumns();
    return format;
}

bool CQuorvanta::Write(const char* fileName, SaveFormat format)
{
    saveError = FileError::None;
    saveSystemError = 0;
    if (!fileName)
        return false;
    savePath = fileName;
    bool written = false;
    switch (format)
    {
    case SaveFormat::Csv:
        written = CsvFile::Write(fileName, data, CsvFormat(), &saveError, &saveSystemError);
        break;
    case SaveFormat::Workbook:
        written = XlsxFile::Write(fileName, data, WorkbookFormat(), TransferDescription(),
                                  &saveError, &saveSystemError);
        break;
    case SaveFormat::Reply:
        written = CSafeFile::Save(fileName, reply, &saveError, &saveSystemError);
        break;
    case SaveFormat::Json:
        written = JsonFile::Write(fileName, data, TransferDescription(), limits, &saveError,
                                  &saveSystemError);
        break;
    case SaveFormat::Report:
        written = CReport(data, limits, TransferDescription(), reportNote, ReportFormat())
                      .Write(fileName, &saveError, &saveSystemError);
        break;
    }
    static const char* const formats[] = {"CSV", "workbook", "reply", "JSON", "report"};
    qCDebug(engineLog).noquote() << "save as" << formats[int(format)] << fileName
                                 << (written ? QStringLiteral("done")
                                             : QStringLiteral("failed: ") + SaveErrorText());
    if (!written)
        return false;
    NoteSave(fileName, format);
    dataPath = DirectoryOf(fileName);
    const QByteArray name(fileName);
    const QByteArray folder = name.left(name.lastIndexOf('/') + 1);
    if (SettingsFile::Storable(folder))
        storedDataPath = folder;
    // The instrument's bytes are kept for support, not read by people, and a
    // report is read by people, not by a program: the records themselves are
    // still unsaved.
    if (format != SaveFormat::Reply && format != SaveFormat::Report)
        unsavedData = false;
    return true;
}

bool CQuorvanta::CanWrite(const QByteArray& path)
{
    saveError = FileError::None;
    saveSystemError = 0;
    savePath = path;
    struct stat info;
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    {
        // A device or a pipe: opening it to try would already be a write
        // (a pipe's reader would see its end), so only its permission is asked.
        if (::access(path.constData(), W_OK) == 0)
            return true;
        saveError = FileError::NoPermission;
        saveSystemError = errno;
        return false;
    }
    // Opened the way the save will open it, and given up at once: its
    // temporary file goes again, the file itself is not touched.
    CSafeFile trial(path);
    if (trial.Open())
        return true;
    saveError = trial.Error();
    saveSystemError = trial.SystemError();
    return false;
}

bool CQuorvanta::WriteCsvRow(FILE* file, CMeasurement record)
{
    return CsvFile::WriteRow(file, record, CsvFormat());
}
