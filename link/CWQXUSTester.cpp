#include "CWQXUSTester.h"

#include "CommandFrame.h"
#include "ReplyFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr int StaleLimit = 256;  // stale bytes dropped when a port is opened
constexpr int SettleMs = 50;     // the line settles after it is configured
constexpr int AnswerWaitMs = 50; // the instrument answers within this
constexpr int BlockSize = 256;   // unit of the progress count
} // namespace

static_assert(ReplyFrame::HeaderSize == 11, "the link keeps an 11-byte reply header");

CWQXUSTester::CWQXUSTester()
{
    ring.Init(RingSize);
    ring.overwrite = false;
    SetPort(1);
}

CWQXUSTester::~CWQXUSTester()
{
    Close();
}

void CWQXUSTester::SetPort(int number)
{
    portNumber = number;
    const QByteArray path = ComDevicePath(number).toLocal8Bit();
    // A cut-off path could name another device: leave the link without one.
    if (path.size() >= int(sizeof portName))
    {
        portName[0] = '\0';
        return;
    }
    std::snprintf(portName, sizeof portName, "%s", path.constData());
}

void CWQXUSTester::Reset()
{
    receivedBlocks = 0;
    totalBlocks = 0;
    ring.Clear();
    linearLength = 0;
    replyHeadLength = 0;
    announcedLength = 0;
    replyComplete = false;
}

bool CWQXUSTester::Open(bool overlappedMode)
{
    Close();
    if (!OpenPort(portName, overlappedMode, baudRate, &port))
        return false;
    overlapped = overlappedMode;
    PauseMs(SettleMs);

    // Whatever the instrument sent before we asked is not an answer.
    char scratch[StaleLimit];
    const int stale = std::min(PortInputCount(port), StaleLimit);
    if (stale > 0)
        PortRead(port, scratch, stale);
    return true;
}

void CWQXUSTester::Close()
{
    ClosePort(&port);
    overlapped = false;
}

bool CWQXUSTester::SendCommand(std::uint8_t code, std::uint8_t parameter, int extraLength)
{
    char frame[CommandFrame::MaxSize];
    const int length = CommandFrame::Build(frame, code, parameter, extraLength);
    return length > 0 && PortWrite(port, frame, length);
}

bool CWQXUSTester::Identify()
{
    if (!SendCommand(CommandFrame::Identify, 0, 0))
        return false;

    int waiting = PortInputCount(port);
    if (waiting == 0)
    {
        PauseMs(AnswerWaitMs);
        waiting = PortInputCount(port);
        if (waiting == 0)
        {
            PauseMs(AnswerWaitMs);
            return false;
        }
    }

    char answer[ChunkSize];
    const int n = PortRead(port, answer, std::min(waiting, ChunkSize));
    if (n < CommandFrame::IdentificationSize)
        return false;
    return std::memcmp(answer, CommandFrame::Identification, CommandFrame::IdentificationSize) == 0;
}

bool CWQXUSTester::Probe()
{
    Reset();
    if (!Open(true))
        return false;
    const bool answered = Identify();
    active = false;
    Close();
    return answered;
}

bool CWQXUSTester::StartReadOut()
{
    Reset();
    if (!Open(false))
    {
        active = false;
        return false;
    }
    active = true;
    receivedBlocks = 0;
    totalBlocks = 0;
    SendCommand(CommandFrame::ReadOut, 0, 0);
    return true;
}

int CWQXUSTester::ReadChunk(int* percent)
{
    int n = 0;
    const bool polling = active && IsOpen();
    if (polling)
    {
        char chunk[ChunkSize];
        const int waiting = std::min(PortInputCount(port), ChunkSize);
        if (waiting > 0)
            n = std::max(PortRead(port, chunk, waiting), 0);
        if (n > 0)
            Take(chunk, n);
    }
    // An instrument may send less than its header promises; once every
    // announced block is in, a quiet poll means nothing more is coming.
    if (polling && n == 0 && replyHeadLength == ReplyFrame::HeaderSize &&
        receivedBlocks >= totalBlocks)
        replyComplete = true;

    if (percent)
        *percent = Percent();
    return n;
}

void CWQXUSTester::Disconnect()
{
    active = false;
    Close();
}

void CWQXUSTester::Take(const char* chunk, int n)
{
    if (replyHeadLength < ReplyFrame::HeaderSize)
    {
        const int k = std::min(ReplyFrame::HeaderSize - replyHeadLength, n);
        std::memcpy(replyHead + replyHeadLength, chunk, std::size_t(k));
        replyHeadLength += k;
        if (replyHeadLength == ReplyFrame::HeaderSize)
        {
            totalBlocks = static_cast<unsigned char>(replyHead[ReplyFrame::PageCountOffset]);
            announcedLength = ReplyFrame::AnnouncedLength(replyHead, ReplyFrame::HeaderSize);
            if (totalBlocks == 0)
                replyComplete = true; // nothing follows the header
        }
    }

    ring.Write(chunk, n); // what does not fit in a full ring is dropped
    const int held = ring.Count();
    receivedBlocks = held / BlockSize;
    if (announcedLength > 0 && held >= announcedLength)
        replyComplete = true;
    if (held >= ring.header->size - 1)
        replyComplete = true; // a longer reply cannot be kept anyway
}

int CWQXUSTester::Percent() const
{
    if (replyComplete)
        return 100;
    if (totalBlocks == 0)
        return replyHeadLength > 0 ? 0 : 100; // 100 only when no reply has begun
    // The header and the last page's tail make a reply more than its blocks:
    // 100 waits for the whole frame.
    const int p = int(receivedBlocks * 100.0 / totalBlocks + 0.5);
    return std::min(p, 99);
}
