// The archive's side of the engine: each transfer with records kept as it
// is read and sent on to the lab's server, each file saved of it noted, and
// a kept transfer taken back.
#include "CQuorvanta.h"

#include "CArchive.h"
#include "CLabSender.h"
#include "CommandFrame.h"
#include "EngineLog.h"
#include "Installation.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

namespace
{
QString UserName()
{
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}
} // namespace

CArchive& CQuorvanta::Archive()
{
    const QString file = archivePath.isEmpty()
                             ? Installation::ArchiveFolder() + QStringLiteral("archive.sqlite")
                             : archivePath;
    if (!archive || archive->Path() != file)
        archive = std::make_unique<CArchive>(file);
    return *archive;
}

bool CQuorvanta::ArchiveTransfer(const QByteArray& bytes)
{
    archivedId.clear();
    archiveFailure.clear();
    labFailure.clear();
    if (!archiving)
        return false;
    CArchive::Transfer transfer;
    const TransferSource source = TransferDescription();
    transfer.time = downloaded.isValid() ? downloaded : QDateTime::currentDateTimeUtc();
    transfer.station = QSysInfo::machineHostName();
    transfer.user = UserName();
    transfer.program = programName;
    transfer.version = version;
    transfer.port = source.port;
    transfer.device = source.device;
    transfer.family = data.family;
    // An instrument's link takes it only when it answered identify with these bytes.
    if (currentLink && !IsVirtualLink(*currentLink) &&
        currentLink->probeResult == CWQXUSTester::ProbeResult::Answered)
        transfer.identify =
            QString::fromLatin1(CommandFrame::Identification, CommandFrame::IdentificationSize);
    transfer.pagesAnnounced = replyPages.announced;
    transfer.pagesReceived = replyPages.received;
    transfer.complete = replyPages.Complete();
    transfer.reply = bytes;
    for (int group = 1; group <= data.groupCount; ++group)
        transfer.records.insert(transfer.records.end(), data.groups[group - 1].begin(),
                                data.groups[group - 1].end());
    if (!Archive().Store(&transfer))
    {
        archiveFailure = Archive().Error();
        qCDebug(engineLog).noquote() << "not archived:" << archiveFailure;
        return false;
    }
    archivedId = transfer.id;
    if (labSender)
        RequestSend();
    else
        SendPending();
    return true;
}

QString CQuorvanta::ArchiveServerAddress() const
{
    if (!archiveServer.isEmpty())
        return archiveServer;
    const QString fromEnvironment = qEnvironmentVariable("PARVESTA_ARCHIVE").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    QFile file(Installation::ConfigFolder() + QStringLiteral("Archive.ini"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream lines(&file);
    QString line;
    while (lines.readLineInto(&line))
    {
        line = line.trimmed();
        if (line.startsWith(QLatin1String("Archive="), Qt::CaseInsensitive))
            return line.mid(int(qstrlen("Archive="))).trimmed();
    }
    return QString();
}

bool CQuorvanta::SendPending()
{
    labFailure.clear();
    const QString address = ArchiveServerAddress();
    if (!archiving || address.isEmpty())
        return true;
    return CLabSender::Pass(Archive().Path(), address, &labFailure);
}

void CQuorvanta::SendInBackground()
{
    if (!labSender)
    {
        labSender = new CLabSender(this);
        connect(labSender, &CLabSender::Ended, this, [this](const QString& failure) {
            labFailure = failure;
            emit LabPassEnded();
        });
    }
    RequestSend();
}

void CQuorvanta::RequestSend()
{
    const QString address = ArchiveServerAddress();
    if (archiving && !address.isEmpty())
        labSender->Request(Archive().Path(), address);
}

bool CQuorvanta::LoadArchived(const QString& id)
{
    archiveFailure.clear();
    CArchive::Transfer transfer;
    if (!Archive().Load(id, &transfer))
    {
        archiveFailure = Archive().Error();
        return false;
    }
    data.Clear();
    data.family = transfer.family;
    for (const CMeasurement& record : transfer.records)
        data.Append(record);
    reply = transfer.reply;
    replyPages.announced = transfer.pagesAnnounced;
    replyPages.received = transfer.pagesReceived;
    replyPages.limit = MaxPages(ReplyFrame::FamilyOf(reply.constData(), unsigned(reply.size())));
    incomplete = PartialReply();
    if (!transfer.complete)
    {
        incomplete.records = int(transfer.records.size());
        incomplete.pagesAnnounced = transfer.pagesAnnounced;
        incomplete.pagesReceived = transfer.pagesReceived;
    }
    downloaded = transfer.time;
    sourcePort = transfer.port;
    sourceDevice = transfer.device;
    sourceStation = transfer.station;
    replyRecognised = true;
    unsavedData = data.groupCount > 0;
    archivedId = id;
    return true;
}

bool CQuorvanta::DeleteArchived(const QString& id)
{
    if (!Archive().Delete(id))
        return false;
    if (archivedId == id)
        archivedId.clear();
    return true;
}

QString CQuorvanta::ArchiveNotice() const
{
    if (!archiveFailure.isEmpty())
        return tr("Not archived: %1").arg(archiveFailure);
    if (!labFailure.isEmpty())
        return tr("Archived on this PC; the lab archive is not reachable: %1").arg(labFailure);
    return QString();
}

void CQuorvanta::NoteSave(const QByteArray& fileName, SaveFormat format)
{
    if (archivedId.isEmpty() || !archiving)
        return;
    const QString file = QFileInfo(QFile::decodeName(fileName)).absoluteFilePath();
    if (!Archive().RecordSave(archivedId, file, ExtensionOf(format),
                              QDateTime::currentDateTimeUtc()))
        qCDebug(engineLog).noquote() << "save not noted in the archive:" << Archive().Error();
}
