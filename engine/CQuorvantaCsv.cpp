// Saving the records (as CSV or a workbook) and the instrument's reply: the
// engine's side of the files.
#include "CQuorvanta.h"

#include "CsvFile.h"
#include "EngineLog.h"
#include "FilePaths.h"
#include "Installation.h"
#include "SettingsFile.h"
#include "XlsxFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    const QString installed = Installation::DataFolder();
    return installed.isEmpty() ? appDir + tr("Data/") : installed;
}

QString CQuorvanta::SaveFolder() const
{
    // A folder on a drive that was taken away: its nearest parent that is
    // still there, never a folder made anew under the mount point. A folder
    // Settings.ini names without its full path lies in the program's folder,
    // wherever the program was started from.
    QString folder = QDir::cleanPath(QDir(appDir).filePath(dataPath));
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath() && folder.contains('/'))
        folder = QFileInfo(folder).path();
    return QFileInfo(folder).isDir() ? QDir(folder).absolutePath() + '/' : QString();
}

QString CQuorvanta::SuggestFileName() const
{
    return UniqueFileName(SaveFolder(), QStringLiteral("results"), QStringLiteral(".csv"));
}

QByteArray CQuorvanta::EncodePath(const QString& path) const
{
    // The dialog gives the data folder back in the form it got it; a name
    // that is not UTF-8 goes to disk in its own bytes again.
    const QString stored = QFile::decodeName(storedDataPath);
    if (!storedDataPath.isEmpty() && QFile::encodeName(stored) != storedDataPath &&
        path.startsWith(stored))
        return storedDataPath + QFile::encodeName(path.mid(stored.size()));
    return QFile::encodeName(path);
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
               {CQuorvanta::SaveFormat::Json, "json"}};
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

JsonFile::Source CQuorvanta::JsonSource() const
{
    JsonFile::Source source;
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
    return format;
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
        written = XlsxFile::Write(fileName, data, WorkbookFormat(), &saveError, &saveSystemError);
        break;
    case SaveFormat::Reply:
        written = CSafeFile::Save(fileName, reply, &saveError, &saveSystemError);
        break;
    case SaveFormat::Json:
        written = JsonFile::Write(fileName, data, JsonSource(), &saveError, &saveSystemError);
        break;
    }
    static const char* const formats[] = {"CSV", "workbook", "reply", "JSON"};
    qCDebug(engineLog).noquote() << "save as" << formats[int(format)] << fileName
                                 << (written ? QStringLiteral("done")
                                             : QStringLiteral("failed: ") + SaveErrorText());
    if (!written)
        return false;
    dataPath = DirectoryOf(fileName);
    const QByteArray name(fileName);
    const QByteArray folder = name.left(name.lastIndexOf('/') + 1);
    if (SettingsFile::Storable(folder))
        storedDataPath = folder;
    // The instrument's bytes are kept for support, not read by people: the
    // records themselves are still unsaved.
    if (format != SaveFormat::Reply)
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

QString CQuorvanta::SaveErrorText() const
{
    // A folder whose name is not UTF-8 reaches the window's dialog with
    // stand-ins for its bytes: the path it gives leads nowhere.
    if ((saveError == FileError::FolderMissing || saveError == FileError::Other) &&
        savePath.contains("\xEF\xBF\xBD"))
        return tr("the name of the folder or of the file is not UTF-8 text, which this "
                  "program cannot write to; choose another folder or name");
    return FileErrorText(saveError, saveSystemError);
}

QString CQuorvanta::FileErrorText(FileError error, int systemError) const
{
    switch (error)
    {
    case FileError::None:
        break;
    case FileError::NoPermission:
        return tr("you may not write in this folder; choose another one");
    case FileError::WriteProtected:
        return tr("the file is write-protected; choose another name or remove the protection");
    case FileError::DiskFull:
        return tr("the disk is full; free some space or choose another disk");
    case FileError::FolderMissing:
        return tr("the folder does not exist (was a drive taken away?); choose another folder");
    case FileError::ReadOnlyDisk:
        return tr("the disk can only be read; choose another disk");
    case FileError::NotAFile:
        return tr("a folder or a device has this name; choose another name");
    case FileError::CannotReplaceSafely:
        return tr("you may change the file, but the folder does not let you add a new file "
                  "beside it, so the file cannot be replaced safely here; choose another folder");
    case FileError::Other:
        return QString::fromLocal8Bit(std::strerror(systemError));
    }
    return QString();
}

bool CQuorvanta::WriteCsvRow(FILE* file, CMeasurement record)
{
    return CsvFile::WriteRow(file, record, CsvFormat());
}
