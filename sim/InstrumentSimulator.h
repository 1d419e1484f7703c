#ifndef PARVESTA_INSTRUMENTSIMULATOR_H
#define PARVESTA_INSTRUMENTSIMULATOR_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// Stands in for an instrument on a pseudo-terminal, on its own thread. The
// terminal appears as <ports folder>/COMn, so the program's port layer opens
// it like any pinned serial device. The simulator answers the identify
// command (1) with its identification and the read-out command (6) with its
// reply, paced at the line speed, and records every command the host sent.
// When the host closes the port, the rest of an answer is dropped, and so is
// what the host had not read: a real port loses what arrives while closed.
// All operations may be called from any thread.
class InstrumentSimulator
{
public:
    // What goes wrong with the instrument, chosen before the host asks.
    struct Faults
    {
        bool silent = false;      // answers no command at all
        int truncateAt = -1;      // the reply stops after this many of its bytes
        int extraBytes = 0;       // bytes that follow a complete reply
        QByteArray garbageBefore; // sent ahead of the reply
        // The cable is pulled once this many bytes went out in answer to a
        // read-out: the terminal closes and the COMn link disappears.
        int unplugAfter = -1;
        // The instrument stops for pauseMs before this byte of its answer
        // to a read-out, then goes on.
        int pauseAt = -1;
        int pauseMs = 0;
        // The instrument does not notice the host closing the port: it goes
        // on with its answer, and what it sends meanwhile is lost.
        bool keepsSending = false;
    };

    InstrumentSimulator();
    ~InstrumentSimulator(); // stops
    InstrumentSimulator(const InstrumentSimulator&) = delete;
    InstrumentSimulator& operator=(const InstrumentSimulator&) = delete;

    // Opens a pseudo-terminal pair and links its terminal as
    // portsFolder/COMn (the folder is created; an old link there is
    // replaced, anything else refuses the start). Forgets what the host
    // wrote before.
    bool Start(const QString& portsFolder, int comNumber);
    // Ends the thread, closes the terminal and removes the link.
    void Stop();
    bool IsRunning() const;
    QString LinkPath() const;
    QString TerminalPath() const;

    // Bits per second; the simulator sends speed / 10 bytes per second.
    // 0 sends as fast as the terminal takes it. 38400 at first.
    void SetLineSpeed(int bitsPerSecond);
    // The answer to command 1; "ZELTRA OMNI" at first.
    void SetIdentification(const QByteArray& answer);
    // The answer to command 6 (see ReplyBuilder); 40 generated VX-nn records
    // at first.
    void SetReply(const QByteArray& frame);
    void SetFaults(const Faults& faults);

    // Puts bytes on the line now, after anything still queued, unasked.
    void Send(const QByteArray& bytes);

    QByteArray HostBytes() const;       // everything the host wrote
    QList<QByteArray> Commands() const; // whole command frames, in order
    bool WaitForCommands(int count, int timeoutMs) const;
    qint64 BytesSent() const;
    bool WaitForBytesSent(qint64 count, int timeoutMs) const;
    // True once nothing is left to send (or the plug was pulled).
    bool WaitUntilIdle(int timeoutMs) const;
    bool Unplugged() const;

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void HostHungUp();
    void ReadHost();
    void TakeCommands();
    void Answer(std::uint8_t code);
    void Enqueue(const QByteArray& bytes);
    void Flush();
    void Unplug();
    void RemoveLink();
    template <typename Predicate> bool WaitFor(int timeoutMs, Predicate done) const;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::thread worker;
    std::atomic<bool> stopping{false};

    int master = -1;
    bool running = false;
    QString linkPath;
    QString terminalPath;

    int lineSpeed = 38400;
    QByteArray identification;
    QByteArray reply;
    Faults faults;

    QByteArray inbox; // host bytes not yet part of a whole command
    QByteArray hostBytes;
    QList<QByteArray> commands;
    QByteArray outbox;
    int outPos = 0;
    int wholeUntil = 0; // the outbox up to here goes out in one piece
    Clock::time_point paceStart;
    qint64 pacedBytes = 0;
    qint64 sent = 0;
    qint64 unplugCountdown = -1;
    qint64 pauseCountdown = -1;
    Clock::time_point pauseUntil;
    bool hostPresent = true;
    bool unplugged = false;
};

#endif
