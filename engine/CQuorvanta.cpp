#include "CQuorvanta.h"

#include "FilePaths.h"
#include "Installation.h"
#include "ReplyFrame.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
// Turns the pages of a reply that arrived whole into records in data.
CQuorvanta::PartialReply DecodeWholePages(const char* reply, unsigned length, CTRData* data)
{
    CQuorvanta::PartialReply part;
    part.pagesAnnounced = ReplyFrame::AnnouncedPages(reply, length);
    part.pagesReceived = ReplyFrame::WholePages(reply, length);
    if (part.pagesReceived == 0)
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
    version = QStringLiteral("3.0");

    appDir = DirectoryOf(QCoreApplication::applicationFilePath().toUtf8().constData());
    QDir::setCurrent(appDir);
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
    textGroup = tr("Group");
    textOf = tr("of");
    unitVelocity = tr("m/s");
    unitTime = tr("us");
    unitMm = tr("mm");
    unitInches = tr("Inches");
    csvHeader = tr("\"Group\";\"Cell\";\"Result\";\"Unit\"");
    msgUnsavedQuestion = tr("Received data will be lost. Do you want to save it?");
    msgUnsavedTitle = tr("Received data was not saved.");
    textDataTransfer = tr("Data transfer");

    decimalSeparator = QStringLiteral(".");
    const QString point = QLocale::system().decimalPoint();
    if (!point.isEmpty())
        decimalSeparator = point.left(1);
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

int CQuorvanta::TransferDescriptor() const
{
    return currentLink && currentLink->active ? currentLink->port.fd : -1;
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
    data.Clear();
    incomplete = PartialReply();
    replyRecognised = false;
    unsavedData = false;
    if (!currentLink || virtualDevice)
        return false;
    CWQXUSTester& link = *currentLink;
    link.linearLength = link.ring.Read(link.linear, link.ring.Count());
    const PartialReply part = DecodeWholePages(link.linear, unsigned(link.linearLength), &data);
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
    const bool found = data.Decode(bytes.constData(), unsigned(bytes.size()));
    unsavedData = found;
    return found;
}

bool CQuorvanta::Finish()
{
    data.Clear();
    incomplete = PartialReply();
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
    const bool found = data.Decode(link.linear, unsigned(link.linearLength));
    unsavedData = found;
    return found;
}

QString CQuorvanta::UnitText(int unit) const
{
    switch (unit)
    {
    case Unit::MetresPerSecond:
        return unitVelocity;
    case Unit::Microseconds:
        return unitTime;
    case Unit::Millimetres:
        return unitMm;
    case Unit::Inches:
        return unitInches;
    default:
        return QString();
    }
}
