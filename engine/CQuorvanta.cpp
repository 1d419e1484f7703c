#include "CQuorvanta.h"

#include "FilePaths.h"
#include "Installation.h"
#include "ReplyFrame.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <cstring>
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
    return KeepWholePagesOf(link.linear, unsigned(link.linearLength));
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
    data.Clear();
    incomplete = PartialReply();
    replyPages = ReplyPages();
    replyRecognised = virtualDevice;
    if (virtualDevice)
    {
        data.MakeVirtualData();
        unsavedData = true;
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
    return found;
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
