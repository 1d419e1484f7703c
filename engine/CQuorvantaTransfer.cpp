// The read-out on the current link: its start in steps, its progress, and
// the records of the reply it brought (whole, partial, or too long).
#include "CQuorvanta.h"

#include "ReplyFrame.h"
#include "SerialPort.h"

#include <QDateTime>
#include <algorithm>
#include <vector>

namespace
{
// What a reply's header announced and how much of it came.
CQuorvanta::ReplyPages PagesOf(const char* reply, unsigned length)
{
    CQuorvanta::ReplyPages pages;
    pages.announced = ReplyFrame::AnnouncedPages(reply, length);
    pages.received = ReplyFrame::WholePages(reply, length);
    pages.limit = CQuorvanta::MaxPages(ReplyFrame::FamilyOf(reply, length));
    return pages;
}

// Turns the pages of a reply that arrived whole into records in data.
CQuorvanta::PartialReply DecodeWholePages(const char* reply, unsigned length, CTRData* data)
{
    CQuorvanta::PartialReply part;
    const CQuorvanta::ReplyPages pages = PagesOf(reply, length);
    part.pagesAnnounced = pages.announced;
    part.pagesReceived = pages.received;
    // Part of a reply too long to hold is no record of what the instrument keeps.
    if (part.pagesReceived == 0 || pages.TooMany())
        return part;
    const int pageSize = ReplyFrame::PageSize(ReplyFrame::FamilyOf(reply, length));
    data->Decode(reply, unsigned(ReplyFrame::HeaderSize + pageSize * part.pagesReceived));
    for (int group = 1; group <= data->groupCount; ++group)
        part.records += data->RecordCount(group);
    return part;
}
} // namespace

bool CQuorvanta::StartTransfer()
{
    for (int wait = BeginTransfer(); wait >= 0; wait = ContinueTransfer())
        PauseMs(wait);
    return TransferStarted();
}

int CQuorvanta::BeginTransfer()
{
    AbandonSearch(); // its ports would be held open beside the read-out
    if (currentLink)
        currentLink->Disconnect();
    unsavedData = false;
    transferPercent = 0;
    sourceStation.clear(); // a new download is this computer's, whatever was loaded before
    // The virtual device answers without a port.
    if (!currentLink || virtualDevice)
        return -1;
    return currentLink->BeginReadOut();
}

int CQuorvanta::ContinueTransfer()
{
    return currentLink && !virtualDevice ? currentLink->ReadOutStep() : -1;
}

bool CQuorvanta::TransferStarted() const
{
    if (!currentLink)
        return false;
    return virtualDevice || currentLink->startResult == CWQXUSTester::StartResult::Requested;
}

void CQuorvanta::StopTransfer()
{
    if (!currentLink)
        return;
    // A read-out that ran leaves its reply; a start that failed leaves the last.
    if (currentLink->active)
    {
        currentLink->ReadWaiting();
        reply.resize(currentLink->ring.Count());
        currentLink->ring.Peek(reply.data(), int(reply.size()));
    }
    currentLink->Disconnect();
}

QString CQuorvanta::StartFailure() const
{
    if (!currentLink)
        return tr("No instrument was found.");
    if (currentLink->startResult == CWQXUSTester::StartResult::NotSent)
        return tr("The request could not be sent to the instrument on %1.").arg(CurrentPortLabel());
    return PortErrorText(currentLink->portError, CurrentPortLabel());
}

QString CQuorvanta::CurrentPortLabel() const
{
    if (!currentLink)
        return QString();
    QString port = PortName(currentLink->portNumber);
    if (currentLink->portName[0] && fixedPortName.isEmpty())
        port += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(currentLink->portName));
    return port;
}

bool CQuorvanta::Progress(int* percent)
{
    int best = 0;
    bool reported = false;
    for (int i = 0; i < linkCount; ++i)
    {
        CWQXUSTester& link = links[i];
        if (virtualDevice)
        {
            currentLink = &link;
            reported = true;
            best = 100;
        }
        int p = 0;
        const int n = link.ReadChunk(&p);
        // A link's percentage means something only when bytes came since the
        // last poll, or once its reply is complete.
        if (n > 0 || (link.active && link.ReplyComplete()))
        {
            currentLink = &link;
            if (p > best)
            {
                best = p;
                reported = true;
            }
        }
    }
    // A poll that brings nothing leaves the bar where it was.
    transferPercent = std::max(transferPercent, best);
    if (percent)
        *percent = transferPercent;
    return reported;
}

int CQuorvanta::ReadWaiting()
{
    int total = 0;
    for (int i = 0; i < linkCount; ++i)
    {
        const int n = links[i].ReadWaiting();
        if (n > 0)
            currentLink = &links[i];
        total += n;
    }
    return total;
}

bool CQuorvanta::TransferComplete() const
{
    return currentLink && currentLink->active && currentLink->ReplyComplete();
}

bool CQuorvanta::Stalled() const
{
    return currentLink && currentLink->active && !currentLink->ReplyComplete() &&
           currentLink->QuietMs() >= stallMs;
}

int CQuorvanta::MaxPages(ReplyFrame::Family family)
{
    const int pageSize = ReplyFrame::PageSize(family);
    // A ring keeps one of its bytes free.
    return pageSize > 0 ? (CWQXUSTester::RingSize - 1 - ReplyFrame::HeaderSize) / pageSize : 0;
}

QString CQuorvanta::TooManyPagesText() const
{
    return tr("The instrument announced %1 pages of results; this program reads at most %2.")
        .arg(replyPages.announced)
        .arg(replyPages.limit);
}

bool CQuorvanta::ReplyTooLarge() const
{
    if (!currentLink || !currentLink->active || virtualDevice)
        return false;
    char head[ReplyFrame::HeaderSize];
    const unsigned n = unsigned(currentLink->ring.Peek(head, int(sizeof head)));
    return PagesOf(head, n).TooMany();
}

CQuorvanta::PartialReply CQuorvanta::PartialSummary() const
{
    if (!currentLink || virtualDevice)
        return PartialReply();
    const KCyclicBuffer& ring = currentLink->ring;
    std::vector<char> held(std::size_t(ring.Count()));
    ring.Peek(held.data(), int(held.size()));
    CTRData pages;
    return DecodeWholePages(held.data(), unsigned(held.size()), &pages);
}

bool CQuorvanta::KeepPartial()
{
    downloaded = QDateTime::currentDateTimeUtc();
    archivedId.clear();
    archiveFailure.clear();
    if (!currentLink || virtualDevice)
    {
        data.Clear();
        incomplete = PartialReply();
        replyPages = ReplyPages();
        replyRecognised = false;
        unsavedData = false;
        return false;
    }
    CWQXUSTester& link = *currentLink;
    link.linearLength = link.ring.Read(link.linear, link.ring.Count());
    const bool kept = KeepWholePagesOf(link.linear, unsigned(link.linearLength));
    if (kept)
        ArchiveTransfer(QByteArray(link.linear, link.linearLength));
    return kept;
}

bool CQuorvanta::KeepWholePages()
{
    return KeepWholePagesOf(reply.constData(), unsigned(reply.size()));
}

bool CQuorvanta::KeepWholePagesOf(const char* bytes, unsigned length)
{
    data.Clear();
    incomplete = PartialReply();
    replyPages = PagesOf(bytes, length);
    const PartialReply part = DecodeWholePages(bytes, length, &data);
    replyRecognised = part.pagesAnnounced > 0;
    if (part.records > 0)
        incomplete = part;
    unsavedData = part.records > 0;
    return unsavedData;
}

bool CQuorvanta::ReadReply(const QByteArray& bytes)
{
    archivedId.clear();
    archiveFailure.clear();
    data.Clear();
    incomplete = PartialReply();
    reply = bytes;
    replyRecognised = ReplyFrame::FamilyOf(bytes.constData(), unsigned(bytes.size())) !=
                      ReplyFrame::Family::Unknown;
    replyPages = PagesOf(bytes.constData(), unsigned(bytes.size()));
    if (replyPages.TooMany())
    {
        unsavedData = false;
        return false;
    }
    const bool found = data.Decode(bytes.constData(), unsigned(bytes.size()));
    unsavedData = found;
    return found;
}

bool CQuorvanta::Finish()
{
    downloaded = QDateTime::currentDateTimeUtc();
    archivedId.clear();
    archiveFailure.clear();
    data.Clear();
    incomplete = PartialReply();
    replyPages = ReplyPages();
    replyRecognised = virtualDevice;
    if (virtualDevice)
    {
        data.MakeVirtualData();
        unsavedData = true;
        ArchiveTransfer(QByteArray()); // made up here: no instrument sent a byte
        return true;
    }
    if (!currentLink)
    {
        unsavedData = false;
        return false;
    }
    CWQXUSTester& link = *currentLink;
    const int n = link.ring.Count();
    link.linearLength = link.ring.Read(link.linear, n);
    replyRecognised = link.linearLength >= ReplyFrame::HeaderSize &&
                      ReplyFrame::FamilyOf(link.linear, unsigned(link.linearLength)) !=
                          ReplyFrame::Family::Unknown;
    replyPages = PagesOf(link.linear, unsigned(link.linearLength));
    if (replyPages.TooMany())
    {
        unsavedData = false;
        return false;
    }
    const bool found = data.Decode(link.linear, unsigned(link.linearLength));
    unsavedData = found;
    if (found)
        ArchiveTransfer(QByteArray(link.linear, link.linearLength));
    return found;
}
