#include "CReadOut.h"

#include "CQuorvanta.h"
#include "EngineLog.h"
#include "ReplyFrame.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>

CReadOut::CReadOut(CQuorvanta* engineToUse, QObject* parent) : QObject(parent), engine(engineToUse)
{
    stepTimer.setSingleShot(true);
    connect(&stepTimer, &QTimer::timeout, this, [this] { StartStep(engine->ContinueTransfer()); });
    connect(&heartbeat, &QTimer::timeout, this, &CReadOut::Beat);
}

CReadOut::~CReadOut()
{
    if (Running())
        StopReading();
}

void CReadOut::Start()
{
    if (phase != Phase::Idle)
        return;
    phase = Phase::Starting;
    clock.start();
    const CWQXUSTester* link = engine->currentLink;
    qCDebug(engineLog).noquote() << "read-out: start on"
                                 << (engine->virtualDevice ? QStringLiteral("the virtual device")
                                                           : engine->CurrentPortLabel())
                                 << "at" << (link ? link->baudRate : 0) << "bit/s";
    StartStep(engine->BeginTransfer());
}

void CReadOut::StartStep(int waitMs)
{
    if (phase != Phase::Starting)
        return;
    if (waitMs >= 0)
    {
        stepTimer.start(waitMs);
        return;
    }
    const CWQXUSTester* link = engine->currentLink;
    if (link && !engine->virtualDevice && link->startResult != CWQXUSTester::StartResult::NotOpened)
        qCDebug(engineLog) << "read-out: drained" << link->drainedBytes << "bytes in"
                           << clock.elapsed() << "ms";
    if (!engine->TransferStarted())
    {
        reason = engine->StartFailure();
        StopReading();
        End(Outcome::Failed);
        return;
    }
    Requested();
}

void CReadOut::Requested()
{
    qCDebug(engineLog) << "read-out: request sent";
    requestSent = true;
    phase = Phase::Reading;
    const CWQXUSTester* link = engine->currentLink;
    if (link && link->IsOpen() && !engine->virtualDevice)
    {
        notifier = new QSocketNotifier(qintptr(link->port.fd), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &CReadOut::PortReadable);
    }
    heartbeat.start(pollIntervalMs);
}

void CReadOut::PortReadable()
{
    if (phase != Phase::Reading || !notifier)
        return; // the read-out ended while this wake-up waited
    if (engine->ReadWaiting() == 0)
    {
        // A port that hung up reports itself readable without end: look
        // again a little later, and on the heartbeat, rather than spin.
        notifier->setEnabled(false);
        if (PortGone())
        {
            LostPort();
            return;
        }
        QTimer::singleShot(std::max(1, pollIntervalMs / 10), this, [this] {
            if (notifier && phase == Phase::Reading)
                notifier->setEnabled(true);
        });
        return;
    }
    NoteHeader();
    // The last byte is in, or the header refuses the reply: no need to wait
    // for the heartbeat.
    if (engine->TransferComplete() || engine->ReplyTooLarge())
        Beat();
}

void CReadOut::Beat()
{
    if (phase != Phase::Reading)
        return;
    if (notifier)
        notifier->setEnabled(true);
    int percent = 0;
    engine->Progress(&percent);
    NoteHeader();
    if (percent > shownPercent)
    {
        shownPercent = percent;
        emit Progress(percent);
        if (phase != Phase::Reading)
            return; // a front end cancelled on the way
    }
    // A reply longer than a read-out holds is refused whole, as soon as its
    // header says so.
    if (percent == 100 || engine->ReplyTooLarge())
    {
        Complete();
        return;
    }
    if (PortGone())
    {
        LostPort();
        return;
    }
    const bool quiet = engine->Stalled();
    if (quiet != stalled)
    {
        stalled = quiet;
        qCDebug(engineLog) << "read-out:" << (quiet ? "stalled" : "bytes come again");
        emit Stalled(quiet);
    }
}

void CReadOut::NoteHeader()
{
    const CWQXUSTester* link = engine->currentLink;
    if (headerSeen || !link || engine->virtualDevice)
        return;
    char head[ReplyFrame::HeaderSize];
    const int n = link->ring.Peek(head, int(sizeof head));
    if (n < ReplyFrame::HeaderSize)
        return;
    headerSeen = true;
    qCDebug(engineLog) << "read-out: header parsed: family"
                       << ReplyFrame::FamilyName(ReplyFrame::FamilyOf(head, unsigned(n))) << "-"
                       << ReplyFrame::AnnouncedPages(head, unsigned(n)) << "pages announced";
}

bool CReadOut::PortGone() const
{
    const CWQXUSTester* link = engine->currentLink;
    if (!link || engine->virtualDevice || !link->IsOpen())
        return false;
    // A cable pulled takes the device (or its pinned link) with it.
    return !QFileInfo::exists(QFile::decodeName(link->portName));
}

void CReadOut::Complete()
{
    StopReading();
    engine->Finish();
    if (engine->TooManyPages())
        End(Outcome::TooManyPages);
    else if (engine->data.groupCount >= 1)
        End(Outcome::Records);
    else
        End(engine->ReplyRecognised() ? Outcome::NoRecords : Outcome::NotUnderstood);
}

void CReadOut::LostPort()
{
    reason = engine->PortErrorText(PortError::Missing, engine->CurrentPortLabel());
    StopReading();
    // The whole pages that came before are as good as ever.
    End(engine->PartialSummary().records > 0 ? Outcome::Partial : Outcome::Failed);
}

void CReadOut::Cancel()
{
    if (!Running())
        return;
    if (phase == Phase::Reading)
        engine->ReadWaiting(); // what already came counts
    StopReading();
    End(engine->PartialSummary().records > 0 ? Outcome::Partial : Outcome::Cancelled);
}

bool CReadOut::KeepPartial()
{
    return outcome == Outcome::Partial && phase == Phase::Over && engine->KeepPartial();
}

void CReadOut::StopReading()
{
    stepTimer.stop();
    heartbeat.stop();
    if (notifier)
    {
        // It must let go of the descriptor before the port closes; it may be
        // the very notifier whose signal is being delivered.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    engine->StopTransfer();
}

void CReadOut::End(Outcome result)
{
    phase = Phase::Over;
    outcome = result;
    // What the reply announced and brought: decoded, or as it stands.
    const bool decoded = result == Outcome::Records || result == Outcome::NoRecords ||
                         result == Outcome::NotUnderstood || result == Outcome::TooManyPages;
    const CQuorvanta::PartialReply part = engine->PartialSummary();
    int records = part.records;
    if (decoded)
    {
        records = 0;
        for (int group = 1; group <= engine->data.groupCount; ++group)
            records += engine->data.RecordCount(group);
    }
    const QString pages = QStringLiteral("%1 of %2 pages, %3 records")
                              .arg(decoded ? engine->replyPages.received : part.pagesReceived)
                              .arg(decoded ? engine->replyPages.announced : part.pagesAnnounced)
                              .arg(records);
    qCDebug(engineLog).noquote() << "read-out: over after" << clock.elapsed() << "ms:" << result
                                 << "-" << pages + (reason.isEmpty() ? QString() : " - " + reason);
    emit Finished(result);
}

QString CReadOut::Message() const
{
    switch (outcome)
    {
    case Outcome::NoRecords:
        return tr("No measurements in connected device!");
    case Outcome::NotUnderstood:
        return engine->msgFailed;
    case Outcome::TooManyPages:
        return engine->TooManyPagesText();
    case Outcome::Failed:
        return (requestSent ? engine->msgFailed : tr("The transfer could not start.")) +
               QStringLiteral("\n\n") + reason;
    case Outcome::Records:
    case Outcome::Partial:
    case Outcome::Cancelled:
        break;
    }
    return QString();
}
