#include "CWQXUSTester.h"

#include "CommandFrame.h"
#include "LinkLog.h"
#include "ReplyFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr int SettleMs = 50;     // the line settles; a sender still going shows within this
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
    takenSincePoll = 0;
}

bool CWQXUSTester::Open(bool overlappedMode)
{
    Close();
    if (!OpenPort(portName, overlappedMode, baudRate, &port, &portError))
    {
        static const char* const reasons[] = {
            "",           "missing",     "busy",         "no permission",
            "not serial", "the console", "line refused", "failed"};
        qCDebug(linkLog).noquote() << "COM" + QByteArray::number(portNumber) << portName
                                   << "not opened:" << reasons[int(portError)];
        return false;
    }
    qCDebug(linkLog).noquote() << "COM" + QByteArray::number(portNumber) << portName << "opened at"
                               << baudRate << "bit/s";
    overlapped = overlappedMode;
    return true;
}

void CWQXUSTester::Drain()
{
    // Whatever the instrument sent before we asked is not an answer; and an
    // instrument still sending (the tail of an earlier reply, a repeated
    // identification) must fall quiet first, or its bytes would be taken for
    // the start of the answer.
    PortFlushInput(port);
    QElapsedTimer clock;
    clock.start();
    for (;;)
    {
        PauseMs(SettleMs);
        if (PortInputCount(port) == 0 || clock.elapsed() >= drainLimitMs)
            return;
        DiscardWaiting();
    }
}

int CWQXUSTester::DiscardWaiting()
{
    char scratch[ChunkSize];
    int discarded = 0;
    for (int waiting = PortInputCount(port); waiting > 0; waiting = PortInputCount(port))
    {
        const int n = PortRead(port, scratch, std::min(waiting, ChunkSize));
        if (n <= 0)
            break;
        discarded += n;
    }
    if (discarded > 0)
        qCDebug(linkLog).noquote()
            << portName << "discarded" << discarded << "bytes that came unasked";
    return discarded;
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
    const bool sent = length > 0 && PortWrite(port, frame, length);
    qCDebug(linkLog).noquote() << portName << "command" << code << "parameter" << parameter
                               << (sent ? "sent:" : "NOT sent:")
                               << QByteArray(frame, std::max(length, 0)).toHex(' ');
    return sent;
}

bool CWQXUSTester::Identify()
{
    Drain();
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
    for (int wait = BeginProbe(); wait >= 0; wait = ProbeStep())
        PauseMs(wait);
    return probeResult == ProbeResult::Answered;
}

int CWQXUSTester::BeginProbe()
{
    AbandonProbe();
    Reset();
    active = false;
    if (!Open(true))
        return EndProbe(ProbeResult::NotOpened);
    // What waited before the port was ours is no answer.
    PortFlushInput(port);
    probePhase = ProbePhase::Settling;
    probeClock.start();
    probeDueMs = SettleMs;
    return SettleMs;
}

int CWQXUSTester::ProbeStep()
{
    if (probePhase == ProbePhase::Idle)
        return -1;
    const qint64 now = probeClock.elapsed();
    if (now < probeDueMs)
        return int(probeDueMs - now);

    if (probePhase == ProbePhase::Settling)
    {
        // An instrument still sending gets more time to fall quiet, as long
        // as a drain may last; then it is asked all the same.
        if (PortInputCount(port) > 0 && now < drainLimitMs)
        {
            DiscardWaiting();
            probeDueMs = now + SettleMs;
            return SettleMs;
        }
        if (!SendCommand(CommandFrame::Identify, 0, 0))
            return EndProbe(ProbeResult::Silent); // the line took nothing: nobody to hear
        probePhase = ProbePhase::Asking;
        probeDueMs = now + answerWaitMs;
        return answerWaitMs;
    }

    char answer[ChunkSize];
    const int n = PortRead(port, answer, std::min(PortInputCount(port), ChunkSize));
    if (n <= 0)
        return EndProbe(ProbeResult::Silent);
    const bool identified =
        n >= CommandFrame::IdentificationSize &&
        std::memcmp(answer, CommandFrame::Identification, CommandFrame::IdentificationSize) == 0;
    return EndProbe(identified ? ProbeResult::Answered : ProbeResult::OtherAnswer);
}

int CWQXUSTester::EndProbe(ProbeResult result)
{
    static const char* const names[] = {"pending", "answered", "silent", "other answer",
                                        "not opened"};
    if (result != ProbeResult::Pending)
        qCDebug(linkLog).noquote() << portName << "probe:" << names[int(result)];
    probeResult = result;
    if (probePhase != ProbePhase::Idle)
        Close();
    probePhase = ProbePhase::Idle;
    return -1;
}

void CWQXUSTester::AbandonProbe()
{
    EndProbe(ProbeResult::Pending);
}

bool CWQXUSTester::StartReadOut()
{
    for (int wait = BeginReadOut(); wait >= 0; wait = ReadOutStep())
        PauseMs(wait);
    return startResult == StartResult::Requested;
}

int CWQXUSTester::BeginReadOut()
{
    Reset();
    active = false;
    starting = false;
    drainedBytes = 0;
    if (!Open(true))
        return EndStart(StartResult::NotOpened);
    // What waited before the port was ours belongs to no request of ours.
    PortFlushInput(port);
    starting = true;
    startClock.start();
    startDueMs = SettleMs;
    return SettleMs;
}

int CWQXUSTester::ReadOutStep()
{
    if (!starting)
        return -1;
    const qint64 now = startClock.elapsed();
    if (now < startDueMs)
        return int(startDueMs - now);
    // An instrument still sending (the tail of an earlier reply) must fall
    // quiet first, or its bytes would be taken for the start of the reply;
    // one that never does is asked all the same once a drain has lasted long
    // enough.
    if (PortInputCount(port) > 0 && now < drainLimitMs)
    {
        drainedBytes += DiscardWaiting();
        startDueMs = now + SettleMs;
        return SettleMs;
    }
    drainedBytes += DiscardWaiting();
    if (!SendCommand(CommandFrame::ReadOut, 0, 0))
    {
        Close();
        return EndStart(StartResult::NotSent);
    }
    active = true;
    lastBytes.start();
    return EndStart(StartResult::Requested);
}

int CWQXUSTester::EndStart(StartResult result)
{
    startResult = result;
    starting = false;
    return -1;
}

int CWQXUSTester::ReadWaiting()
{
    if (!active || !IsOpen())
        return 0;
    int total = 0;
    char chunk[ChunkSize];
    for (;;)
    {
        // Bytes the ring cannot hold stay with the system; a full ring ends the reply.
        const int wanted = std::min({PortInputCount(port), ring.Free(), ChunkSize});
        if (wanted <= 0)
            break;
        const int n = PortRead(port, chunk, wanted);
        if (n <= 0)
            break;
        Take(chunk, n);
        total += n;
    }
    if (total > 0)
    {
        lastBytes.start();
        qCDebug(linkLog).noquote()
            << portName << "received" << total << "bytes," << ring.Count() << "in all";
    }
    takenSincePoll += total;
    return total;
}

int CWQXUSTester::ReadChunk(int* percent)
{
    ReadWaiting();
    const int n = takenSincePoll;
    takenSincePoll = 0;
    if (percent)
        *percent = Percent();
    return n;
}

qint64 CWQXUSTester::QuietMs() const
{
    return active && lastBytes.isValid() ? lastBytes.elapsed() : 0;
}

void CWQXUSTester::Disconnect()
{
    active = false;
    starting = false;
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
            qCDebug(linkLog).noquote()
                << portName << "reply header"
                << QByteArray(replyHead, ReplyFrame::HeaderSize).toHex(' ') << "family"
                << ReplyFrame::FamilyName(ReplyFrame::FamilyOf(replyHead, ReplyFrame::HeaderSize))
                << "pages" << totalBlocks << "frame bytes" << announcedLength;
            if (totalBlocks == 0)
                replyComplete = true; // nothing follows the header
        }
    }

    ring.Write(chunk, n);
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
