#ifndef PARVESTA_CREADOUT_H
#define PARVESTA_CREADOUT_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class CQuorvanta;
class QSocketNotifier;

// One read-out of the instrument's results, from the request to the records
// in the engine's data, run by the event loop and never waiting on it: the
// line is drained in timed steps before the request goes out, the reply is
// read as the port reports bytes, and a heartbeat every pollIntervalMs
// reports progress, notices a stall and looks for a port that went away.
// Front ends start it, may cancel it, and act on its signals; it owns the
// port's notifier and its timers, and lets go of them before the port closes.
class CReadOut : public QObject
{
    Q_OBJECT

public:
    // How a read-out ended; Finished says it exactly once.
    enum class Outcome
    {
        Records,       // the reply brought records: they are in the engine's data
        NoRecords,     // a valid reply without records
        NotUnderstood, // the reply is of no known instrument
        TooManyPages,  // the reply announced more pages than a read-out holds
        Partial,       // it ended early with whole pages of records: KeepPartial keeps them
        Cancelled,     // Cancel ended it, with nothing worth keeping
        Failed         // the port would not open, took no request, or went away: Reason says
    };
    Q_ENUM(Outcome)

    explicit CReadOut(CQuorvanta* engine, QObject* parent = nullptr);
    // A read-out still running is stopped without a signal.
    ~CReadOut() override;
    CReadOut(const CReadOut&) = delete;
    CReadOut& operator=(const CReadOut&) = delete;

    // Starts on the engine's current link. Finished may come before it
    // returns, when the port does not open.
    void Start();
    // Ends a running read-out: Partial when whole pages of records came,
    // else Cancelled. Nothing happens once it is over.
    void Cancel();
    bool Running() const { return phase == Phase::Starting || phase == Phase::Reading; }
    // After Partial: the records of the whole pages into the engine's data.
    bool KeepPartial();

    Outcome Result() const { return outcome; }
    // Why a read-out failed or ended early, about the port: it would not
    // open, took no request, or went away. Empty otherwise.
    QString Reason() const { return reason; }
    // What to tell the user about the outcome; empty for Records, Partial
    // and Cancelled, where the front end has its own words.
    QString Message() const;

    int pollIntervalMs = 500; // the heartbeat: progress, stalls, a port gone

signals:
    // The percentage of the reply received, 0 to 100; never goes down.
    void Progress(int percent);
    // True when no byte came for the engine's stallMs, false when bytes came again.
    void Stalled(bool stalled);
    void Finished(CReadOut::Outcome outcome);

private:
    enum class Phase
    {
        Idle,
        Starting, // the line is drained, then the request sent
        Reading,  // the reply comes in
        Over
    };

    void StartStep(int waitMs);
    void Requested();
    void PortReadable();
    void Beat();
    void NoteHeader();
    bool PortGone() const;
    void Complete();
    void LostPort();
    void StopReading();
    void End(Outcome result);

    CQuorvanta* engine;
    Phase phase = Phase::Idle;
    Outcome outcome = Outcome::Cancelled;
    QString reason;
    bool requestSent = false;
    bool stalled = false;
    bool headerSeen = false;
    int shownPercent = -1;
    QSocketNotifier* notifier = nullptr; // wakes the read-out as the instrument's bytes come
    QTimer stepTimer;                    // the next step of the start
    QTimer heartbeat;
    QElapsedTimer clock; // since Start
};

#endif
