#ifndef PARVESTA_CWQXUSTESTER_H
#define PARVESTA_CWQXUSTESTER_H

#include "KCyclicBuffer.h"
#include "SerialPort.h"

#include <QElapsedTimer>

#include <cstdint>

// The link to an instrument on one COM port: identifies it by a handshake,
// asks it for all its stored results and collects the reply into the ring as
// it arrives. Knows the command frames and the reply's header, not the
// records inside it.
class CWQXUSTester
{
public:
    static constexpr int RingSize = 65000;
    static constexpr int LinearSize = 65588;
    static constexpr int ChunkSize = 2048; // bytes taken from the port per read call

    CWQXUSTester();
    virtual ~CWQXUSTester();
    CWQXUSTester(const CWQXUSTester&) = delete;
    CWQXUSTester& operator=(const CWQXUSTester&) = delete;

    // Gives the link COM port number; the device it resolves to is looked up
    // now (see ComDevicePath). A path that does not fit leaves portName empty.
    void SetPort(int number);
    // Forgets the last reply: counters, ring and linear area.
    void Reset();

    // Opens portName, in non-blocking ("overlapped") or blocking mode; an
    // open port is closed first. On failure portError says why.
    bool Open(bool overlapped);
    void Close();
    bool IsOpen() const { return port.fd != InvalidPort; }

    // Writes "WQX VX-T", code, parameter, extraLength and extraLength zero
    // bytes. False when the frame could not be written or extraLength is
    // outside 0 to 245.
    bool SendCommand(std::uint8_t code, std::uint8_t parameter, int extraLength);
    // Asks an open port's instrument who it is, on a drained line; true when
    // it answers "ZELTRA OMNI" within two polls 50 ms apart.
    bool Identify();
    // Opens in overlapped mode, identifies, closes: the probe below, waited for.
    bool Probe();

    // How a probe ended.
    enum class ProbeResult
    {
        Pending,     // not over yet, or never begun
        Answered,    // the instrument identified itself
        Silent,      // asked, and nothing came back
        OtherAnswer, // asked, and something that is not the instrument answered
        NotOpened    // the port would not open; portError says why
    };
    // The handshake in steps, for a search that asks many ports at once and
    // waits on none of them. BeginProbe opens the port in overlapped mode
    // and empties the line; ProbeStep, once the wait it (or BeginProbe) last
    // returned has passed, lets the line fall quiet, then asks who is there,
    // then takes the answer and closes the port. Each returns the
    // milliseconds until the next step is due, or -1 once the probe is over
    // and probeResult says how it ended.
    int BeginProbe();
    int ProbeStep();
    // Ends a probe under way without a result and closes its port.
    void AbandonProbe();
    // Opens, drains the line and asks for all stored results: the start
    // below, waited for.
    bool StartReadOut();
    // How the start of a read-out ended.
    enum class StartResult
    {
        Pending,   // not over yet, or never begun
        Requested, // the request is out; the reply is read as it comes
        NotOpened, // the port would not open; portError says why
        NotSent    // the port took no request: nothing will answer it
    };
    // The start of a read-out in steps, so that a caller never waits on a
    // line still busy with an earlier answer. BeginReadOut opens the port
    // in non-blocking mode and empties the line; ReadOutStep, once the wait
    // it (or BeginReadOut) last returned has passed, lets the line fall
    // quiet (discarding what comes, for at most drainLimitMs), then sends
    // the request. Each returns the milliseconds until the next step is
    // due, or -1 once the start is over and startResult says how.
    int BeginReadOut();
    int ReadOutStep();
    // Moves every byte waiting on a running read-out into the ring, as far
    // as the ring has room. Returns the bytes moved.
    int ReadWaiting();
    // One poll of a read-out: ReadWaiting, then the progress (0 to 100) in
    // percent. Returns the bytes taken since the last poll, by this one or by
    // ReadWaiting in between.
    int ReadChunk(int* percent);
    // Ends a read-out and closes the port; the ring keeps the reply.
    void Disconnect();

    // True once the reply of this read-out is complete: the whole frame its
    // header announces arrived (a header announcing no pages is a whole
    // frame), or the ring is full. ReadChunk then stores 100, also in a
    // poll that read nothing; before, it stores at most 99.
    bool ReplyComplete() const { return replyComplete; }
    // Milliseconds since the running read-out last took bytes from the port,
    // or since its request when none came yet; 0 when none runs.
    qint64 QuietMs() const;

    bool active = false;
    int receivedBlocks = 0; // whole 256-byte blocks in the ring
    int totalBlocks = 0;    // blocks the reply announced; 0 until its header arrived
    int linearLength = 0;
    char portName[256] = {};
    int portNumber = 1; // the COM number portName was resolved from
    int baudRate = 38400;
    KCyclicBuffer ring;
    char linear[LinearSize];
    PortHandle port;
    bool overlapped = false;               // open in non-blocking mode
    PortError portError = PortError::None; // why the last Open failed
    int drainLimitMs = 2000;               // the longest a babbling line is drained
    ProbeResult probeResult = ProbeResult::Pending;
    StartResult startResult = StartResult::Pending;
    int drainedBytes = 0;   // what the last start discarded before its request
    int answerWaitMs = 100; // a probe reads the instrument's answer this long after asking

private:
    enum class ProbePhase
    {
        Idle,
        Settling, // the line is watched for a sender still going
        Asking    // the question is out; the answer is awaited
    };

    int Percent() const;
    void Take(const char* chunk, int n);
    void Drain();
    int DiscardWaiting();
    int EndProbe(ProbeResult result);
    int EndStart(StartResult result);

    char replyHead[11] = {}; // the reply's header, as it arrived
    int replyHeadLength = 0;
    long announcedLength = 0; // bytes of the whole frame; 0 when unknown
    bool replyComplete = false;
    int takenSincePoll = 0;
    QElapsedTimer lastBytes; // restarted by the request and by every byte taken
    ProbePhase probePhase = ProbePhase::Idle;
    QElapsedTimer probeClock; // since BeginProbe
    qint64 probeDueMs = 0;    // on probeClock, when the next step is due
    bool starting = false;    // a read-out's start is under way
    QElapsedTimer startClock; // since BeginReadOut
    qint64 startDueMs = 0;    // on startClock, when the next step is due
};

#endif
