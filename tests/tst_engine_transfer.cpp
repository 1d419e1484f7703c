// Whole transfers through the engine, from the device search to the records,
// against simulated instruments on pseudo-terminals, run by the read-out
// every front end uses: FindDevice, then a CReadOut until it is Finished.
#include "CArchive.h"
#include "CQuorvanta.h"
#include "CReadOut.h"
#include "PinnedPorts.h"
#include "support/Files.h"
#include "support/Ports.h"
#include "support/Replies.h"
#include "support/Sqlite.h"

#include <QtTest>

#include <memory>

using ReplyFrame::Family;
Q_DECLARE_METATYPE(ReplyFrame::Family)
Q_DECLARE_METATYPE(InstrumentSimulator::Faults)
Q_DECLARE_METATYPE(CReadOut::Outcome)

namespace
{
// Runs a read-out to its end, with a heartbeat faster than the window's;
// the outcome, or Cancelled when it did not end within timeoutMs (it is
// cancelled then). *steady is false when the percentage went back or the
// transfer counted as stalled on the way.
CReadOut::Outcome RunTransfer(CQuorvanta& engine, int timeoutMs = 20000, bool* steady = nullptr)
{
    CReadOut readOut(&engine);
    readOut.pollIntervalMs = 50;
    QSignalSpy progress(&readOut, &CReadOut::Progress);
    QSignalSpy stalls(&readOut, &CReadOut::Stalled);
    QSignalSpy finished(&readOut, &CReadOut::Finished);
    readOut.Start();
    if (finished.isEmpty())
        finished.wait(timeoutMs);
    readOut.Cancel();
    if (steady)
    {
        for (int i = 1; i < progress.size(); ++i)
            *steady = *steady && progress[i][0].toInt() > progress[i - 1][0].toInt();
        *steady = *steady && stalls.isEmpty();
    }
    return finished.size() == 1 ? readOut.Result() : CReadOut::Outcome::Cancelled;
}

// The records as comparable texts, in no particular order.
QStringList Keys(const std::vector<CMeasurement>& records)
{
    QStringList keys;
    for (const CMeasurement& r : records)
        keys << QString::asprintf("%d/%d/%d/%d/%d/%d", r.group, r.cell, r.value, r.divisor, r.kind,
                                  r.unit);
    keys.sort();
    return keys;
}

QStringList Keys(const CTRData& data)
{
    std::vector<CMeasurement> records;
    CMeasurement r;
    for (int g = 1; g <= data.groupCount; ++g)
        for (int p = 1; data.GetRecord(g, p, &r); ++p)
            records.push_back(r);
    return Keys(records);
}
} // namespace

// Each test has a ports folder of its own, where only the instruments it
// attaches answer, and an engine that searches there.
class TestEngineTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<PinnedPorts> ports;
    std::unique_ptr<CQuorvanta> engine;

    // An instrument on COM3 that answers the read-out with reply, found by
    // the engine; null when it did not start or was not found.
    InstrumentSimulator* Found(const QByteArray& reply, int speed,
                               const InstrumentSimulator::Faults& faults)
    {
        InstrumentSimulator* sim = ports->Attach(3, speed, faults);
        if (sim)
            sim->SetReply(reply);
        return sim && engine->FindDevice() ? sim : nullptr;
    }

private slots:
    void init()
    {
        ports = std::make_unique<PinnedPorts>();
        QVERIFY(ports->valid);
        engine = std::make_unique<CQuorvanta>();
        engine->writesSettings = false;
    }
    void cleanup()
    {
        engine.reset();
        ports.reset();
    }

    void wholeTransfer_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("pauseBefore"); // the instrument stops this many bytes before its end
        QTest::newRow("TR-620") << Family::TR620 << 90 << 38400 << 0;
        // A pause for several polls in its last page is waited for.
        QTest::newRow("VX-nn pausing before its last slot") << Family::VXnn << 96 << 38400 << 5;
        // A byte every 5 ms, for twice the stall threshold, is no stall.
        QTest::newRow("TR-620 trickling at 200 bytes/s") << Family::TR620 << 20 << 2000 << 0;
    }
    void wholeTransfer()
    {
        QFETCH(Family, family);
        QFETCH(int, count);
        QFETCH(int, speed);
        QFETCH(int, pauseBefore);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, count);
        const QByteArray frame = ReplyBuilder::Frame(family, records);
        InstrumentSimulator::Faults faults;
        faults.pauseAt = frame.size() - pauseBefore;
        faults.pauseMs = pauseBefore ? 400 : 0;
        InstrumentSimulator* sim = ports->Attach(3, 38400, faults);
        QVERIFY(sim);
        sim->SetReply(frame);
        engine->stallMs = 600;
        QVERIFY(engine->FindDevice());
        sim->SetLineSpeed(speed); // the identification came at the usual pace
        bool steady = true;
        QCOMPARE(RunTransfer(*engine, 20000, &steady), CReadOut::Outcome::Records);
        QVERIFY(steady);
        QCOMPARE(Keys(engine->data), Keys(records));
        QVERIFY(engine->unsavedData);
        QVERIFY(!engine->currentLink->IsOpen());
        QCOMPARE(engine->reply, frame);
    }

    void stalledReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<InstrumentSimulator::Faults>("faults");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("kept"); // records of the whole pages
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("announced");
        const QByteArray fourPages = Reply(Family::VXnn, 128); // 1035 bytes
        InstrumentSimulator::Faults cut;
        cut.truncateAt = 11 + 2 * 256 + 100;
        QTest::newRow("cut short in its third page") << fourPages << cut << 0 << 64 << 2 << 4;
        InstrumentSimulator::Faults pulled;
        pulled.unplugAfter = 11 + 3 * 256 + 240;
        // Slow enough for the host to read along before the line goes.
        QTest::newRow("plug pulled in its last page")
            << fourPages << pulled << 38400 << 96 << 3 << 4;
        InstrumentSimulator::Faults noise;
        noise.garbageBefore = "NOISE ON THE LINE ";
        QTest::newRow("garbage ahead of a whole reply") << fourPages << noise << 0 << 0 << 0 << 0;
        QTest::newRow("no answer to the read-out")
            << QByteArray() << InstrumentSimulator::Faults() << 0 << 0 << 0 << 0;
    }
    void stalledReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(InstrumentSimulator::Faults, faults);
        QFETCH(int, speed);
        QFETCH(int, kept);
        engine->stallMs = 200;
        QVERIFY(Found(reply, speed, faults));
        CReadOut readOut(engine.get());
        readOut.pollIntervalMs = 20;
        QSignalSpy stalls(&readOut, &CReadOut::Stalled);
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        QSignalSpy progress(&readOut, &CReadOut::Progress);
        readOut.Start();
        // A pulled plug ends the read-out by itself; a silent line stalls.
        QTRY_VERIFY_WITH_TIMEOUT(!stalls.isEmpty() || !finished.isEmpty(), 3000);
        QCOMPARE(finished.isEmpty(), faults.unplugAfter < 0);
        if (finished.isEmpty())
        {
            QCOMPARE(stalls.size(), 1);
            QCOMPARE(stalls[0][0].toBool(), true);
        }
        QVERIFY(progress.isEmpty() || progress.last()[0].toInt() < 100);
        readOut.Cancel();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(readOut.Result(), kept > 0                  ? CReadOut::Outcome::Partial
                                   : faults.unplugAfter >= 0 ? CReadOut::Outcome::Failed
                                                             : CReadOut::Outcome::Cancelled);
        const CQuorvanta::PartialReply part = engine->PartialSummary();
        QCOMPARE(part.records, kept);
        QTEST(part.pagesReceived, "pages");
        QTEST(part.pagesAnnounced, "announced");

        // Kept: the whole pages' records and nothing else; and every byte the
        // instrument sent, as it sent them, for support.
        QByteArray sent =
            faults.garbageBefore + (faults.truncateAt >= 0 ? reply.left(faults.truncateAt) : reply);
        // A pulled plug may take with it what the host had not read yet.
        if (faults.unplugAfter >= 0)
            sent = sent.left(qMin(faults.unplugAfter, int(engine->reply.size())));
        QCOMPARE(engine->reply, sent);
        QCOMPARE(readOut.KeepPartial(), kept > 0);
        const std::vector<CMeasurement> all = ReplyBuilder::GeneratedSet(Family::VXnn, 128);
        QCOMPARE(Keys(engine->data), Keys({all.begin(), all.begin() + kept}));
        QCOMPARE(engine->unsavedData, kept > 0);
    }

    void tailOfAnEarlierReplyIsDrained()
    {
        // The instrument sends on after its frame and does not notice the port
        // closing: the next read-out must wait for it to fall quiet, and must
        // start from an empty ring even when the one before was given up.
        InstrumentSimulator::Faults faults;
        faults.extraBytes = 6000; // about half a second at 115200 bit/s
        faults.keepsSending = true;
        InstrumentSimulator* sim = ports->Attach(3, 115200, faults);
        QVERIFY(sim);
        engine->comSpeed = 115200;
        QVERIFY(engine->FindDevice());
        // A read-out of other records, given up once bytes came.
        sim->SetReply(Reply(Family::TR620, 40));
        {
            CReadOut readOut(engine.get());
            readOut.Start();
            QTRY_VERIFY(readOut.Running() && engine->currentLink->ring.Count() > 0);
        }
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::VXnn, 40);
        const QByteArray frame = ReplyBuilder::Frame(Family::VXnn, records);
        sim->SetReply(frame);
        for (int transfer = 1; transfer <= 2; ++transfer)
        {
            QCOMPARE(RunTransfer(*engine), CReadOut::Outcome::Records);
            QVERIFY(engine->reply.startsWith(frame));
            QCOMPARE(Keys(engine->data), Keys(records));
        }
    }

    // Each way a read-out ends on its own, once: the one outcome, and the
    // words a front end shows for it.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("unplugAfter");
        QTest::addColumn<CReadOut::Outcome>("outcome");
        QTest::addColumn<QString>("message"); // its start; empty for none
        const QByteArray records = Reply(Family::VXnn, 40);
        QTest::newRow("records") << records << -1 << CReadOut::Outcome::Records << QString();
        QTest::newRow("a valid reply without records")
            << ReplyBuilder::Header(Family::VXnn, 1) + QByteArray(256, '\0') << -1
            << CReadOut::Outcome::NoRecords << "No measurements in connected device!";
        QTest::newRow("not understood")
            << QByteArray("\r\nERR 17\r\n\0", 11) + records << -1
            << CReadOut::Outcome::NotUnderstood << "Data transfer failed! Please try again.";
        QTest::newRow("more pages than a read-out holds")
            << ReplyBuilder::Header(Family::VXnn, 255) + records.mid(11) << -1
            << CReadOut::Outcome::TooManyPages
            << "The instrument announced 255 pages of results; this program reads at most 253.";
        QTest::newRow("the port went away before a whole page")
            << records << 100 << CReadOut::Outcome::Failed
            << "Data transfer failed! Please try again.\n\nThe instrument's port COM3";
    }
    void outcomes()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, unplugAfter);
        QFETCH(CReadOut::Outcome, outcome);
        QFETCH(QString, message);
        InstrumentSimulator::Faults faults;
        faults.unplugAfter = unplugAfter;
        QVERIFY(Found(reply, 38400, faults));
        CReadOut readOut(engine.get());
        readOut.pollIntervalMs = 50;
        QSignalSpy progress(&readOut, &CReadOut::Progress);
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        readOut.Start();
        QVERIFY(readOut.Running());
        QVERIFY(finished.wait(10000));
        QTest::qWait(200); // nothing more comes after the end
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<CReadOut::Outcome>(), outcome);
        QVERIFY(!readOut.Running());
        QVERIFY(!engine->currentLink->IsOpen());
        QVERIFY2(readOut.Message().startsWith(message) &&
                     message.isEmpty() == readOut.Message().isEmpty(),
                 qPrintable(readOut.Message()));
        for (int i = 1; i < progress.size(); ++i)
            QVERIFY(progress[i][0].toInt() > progress[i - 1][0].toInt());
        QCOMPARE(!progress.isEmpty() && progress.last()[0].toInt() == 100,
                 outcome != CReadOut::Outcome::TooManyPages &&
                     outcome != CReadOut::Outcome::Failed);
        QCOMPARE(engine->unsavedData, outcome == CReadOut::Outcome::Records);
    }

    // Ended before the request is out: by the user, or by a line that
    // takes nothing.
    void endedWhileStarting_data()
    {
        QTest::addColumn<bool>("unplug"); // the instrument's terminal closes; else Cancel
        QTest::addColumn<CReadOut::Outcome>("outcome");
        QTest::newRow("cancelled") << false << CReadOut::Outcome::Cancelled;
        QTest::newRow("the request cannot be sent") << true << CReadOut::Outcome::Failed;
    }
    void endedWhileStarting()
    {
        QFETCH(bool, unplug);
        QFETCH(CReadOut::Outcome, outcome);
        InstrumentSimulator* sim = ports->Attach(3);
        QVERIFY(sim);
        QVERIFY(engine->FindDevice());
        CReadOut readOut(engine.get());
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        readOut.Start();
        QVERIFY(finished.isEmpty()); // the line is still being drained
        if (unplug)
            sim->Stop();
        else
            readOut.Cancel();
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<CReadOut::Outcome>(), outcome);
        QVERIFY(!engine->currentLink->IsOpen());
        if (unplug)
            QCOMPARE(readOut.Message(),
                     "The transfer could not start.\n\nThe request could not be sent to the "
                     "instrument on COM3 (" +
                         ports->Entry(3) + ").");
        else
            QCOMPARE(Commands(sim, 6), 0);
        readOut.Cancel(); // once over, nothing more happens
        QCOMPARE(finished.size(), 1);
    }

    void stallComesAndGoes()
    {
        // The instrument stops for a while half way, then goes on.
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::VXnn, 96);
        const QByteArray frame = ReplyBuilder::Frame(Family::VXnn, records);
        InstrumentSimulator::Faults faults;
        faults.pauseAt = 11 + 256 + 10;
        faults.pauseMs = 600;
        engine->stallMs = 200;
        QVERIFY(Found(frame, 38400, faults));
        CReadOut readOut(engine.get());
        readOut.pollIntervalMs = 20;
        QSignalSpy stalls(&readOut, &CReadOut::Stalled);
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        readOut.Start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(stalls.size(), 2);
        QCOMPARE(stalls[0][0].toBool(), true);
        QCOMPARE(stalls[1][0].toBool(), false);
        QCOMPARE(readOut.Result(), CReadOut::Outcome::Records);
        QCOMPARE(Keys(engine->data), Keys(records));
    }

    void startKeepsTheEventLoopTurning()
    {
        // An instrument still sending the tail of a reply given up: the
        // drain waits for it to fall quiet, but the event loop runs on.
        InstrumentSimulator::Faults faults;
        faults.extraBytes = 3 * 3840; // three seconds at 38400 bit/s
        faults.keepsSending = true;
        InstrumentSimulator* sim = ports->Attach(3, 38400, faults);
        QVERIFY(sim);
        QVERIFY(engine->FindDevice());
        {
            CReadOut first(engine.get());
            first.Start();
            QTRY_VERIFY(first.Running() && engine->currentLink->ring.Count() > 0);
        }
        QCOMPARE(Commands(sim, 6), 1);

        CReadOut readOut(engine.get());
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        QElapsedTimer clock;
        double last = 0;
        double latest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const double now = clock.nsecsElapsed() / 1e6;
            latest = std::max(latest, now - last);
            last = now;
        });
        clock.start();
        tick.start(5);
        readOut.Start();
        // The drain gives up after drainLimitMs and the request goes out.
        QTRY_COMPARE_WITH_TIMEOUT(Commands(sim, 6), 2, 5000);
        tick.stop();
        QVERIFY(clock.elapsed() >= engine->currentLink->drainLimitMs);
        QVERIFY2(latest < 300, qPrintable(QString::number(latest)));
        readOut.Cancel();
        QCOMPARE(finished.size(), 1);
    }

    void searchSaysWhatEachPortGave()
    {
        // COM2 a plain file, COM3 held by another program, COM4 silent, COM5
        // something else that answers, COM6 and COM8 instruments; COM49 is not
        // pinned and has no device of its own.
        const QString plain = ports->dir.path() + "/plain";
        WriteFile(plain, "text");
        QFile::remove(ports->Entry(2));
        QVERIFY(QFile::link(plain, ports->Entry(2)));
        InstrumentSimulator* held = ports->Attach(3);
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        InstrumentSimulator* silent = ports->Attach(4, 0, quiet);
        InstrumentSimulator* stranger = ports->Attach(5);
        InstrumentSimulator* com6 = ports->Attach(6);
        InstrumentSimulator* com8 = ports->Attach(8);
        QVERIFY(held && silent && stranger && com6 && com8);
        QVERIFY(QFile::remove(ports->Entry(49)));
        stranger->SetIdentification("AT OK\r\nREADY\r\n");
        const HeldLine holder(held);
        QVERIFY(holder.held);

        QVERIFY(engine->FindDevice());
        using Outcome = CQuorvanta::PortOutcome;
        QCOMPARE(engine->searchedPorts.size(), 49);
        const auto outcome = [&](int number) { return engine->searchedPorts[number - 1]; };
        for (int n = 1; n <= 49; ++n)
            QCOMPARE(outcome(n).number, n);
        QCOMPARE(outcome(1).result, Outcome::NotOpened);
        QCOMPARE(outcome(1).error, PortError::Missing);
        QCOMPARE(outcome(6).device, ports->Entry(6));
        QCOMPARE(outcome(49).device, QString());
        QCOMPARE(outcome(49).error, PortError::Missing);
        // Every port is asked at once; the lowest that answered is the one
        // read. The details give each port's outcome.
        QCOMPARE(engine->currentLink->portNumber, 6);
        QCOMPARE(engine->SearchSummary(), "Instrument on COM6 (" + com6->TerminalPath() + ")");
        QCOMPARE(engine->SearchDetails().split('\n'),
                 QStringList(
                     {"COM2 (" + plain + ") is not a serial device",
                      "COM3 (" + held->TerminalPath() + ") is in use by another program",
                      "COM4 (" + silent->TerminalPath() + ") did not answer",
                      "COM5 (" + stranger->TerminalPath() + ") answered, but not as the instrument",
                      "COM6 (" + com6->TerminalPath() + ") answered as the instrument",
                      "COM8 (" + com8->TerminalPath() + ") answered as the instrument"}));
        QCOMPARE(held->Commands().size(), 0);
        QCOMPARE(QFileInfo(plain).size(), 4); // a command is 11 bytes

        // The virtual device on COM5 answers for itself: nothing above it is
        // asked, and a silent port below it does not stop it.
        engine->virtualDevice = true;
        engine->virtualPort = 5;
        QVERIFY(engine->FindDevice());
        QCOMPARE(outcome(4).result, Outcome::Silent);
        QCOMPARE(outcome(5).result, Outcome::Virtual);
        QCOMPARE(outcome(6).result, Outcome::NotAsked);
        QCOMPARE(com6->Commands().size(), 1); // from the first search only
        QCOMPARE(engine->SearchSummary(), QStringLiteral("Virtual instrument on COM5"));
    }

    void fixedPortIsTheOnlyCandidate()
    {
        InstrumentSimulator* com3 = ports->Attach(3);
        QVERIFY(com3 && ports->Attach(7));
        engine->fixedPort = true;
        engine->comPort = 7;
        engine->virtualDevice = true; // not a candidate beside a fixed port
        engine->virtualPort = 2;
        QVERIFY(engine->FindDevice());
        QCOMPARE(engine->linkCount, 1);
        QCOMPARE(com3->Commands().size(), 0);

        // A fixed port with nothing behind it is still the one candidate.
        engine->comPort = 9;
        QVERIFY(!engine->FindDevice());
        QCOMPARE(engine->linkCount, 1);
        QCOMPARE(engine->currentLink, &engine->links[0]);
    }

    void virtualDevice()
    {
        QVERIFY(!engine->FindDevice());
        QCOMPARE(engine->currentLink, nullptr);
        QCOMPARE(engine->SearchSummary(),
                 QStringLiteral("No instrument found: no serial port to try"));

        engine->virtualDevice = true;
        engine->virtualPort = 5;
        // It answers without an instrument behind it.
        QVERIFY(engine->FindDevice());
        QCOMPARE(RunTransfer(*engine, 2000), CReadOut::Outcome::Records);
        QCOMPARE(engine->data.family, QStringLiteral("VirtualDevice"));
        QCOMPARE(Keys(engine->data).size(), 335);

        // A real instrument below it is found first.
        InstrumentSimulator* com2 = ports->Attach(2);
        QVERIFY(com2 && engine->FindDevice());
        QCOMPARE(engine->currentLink, &engine->links[0]);
        QCOMPARE(com2->Commands().size(), 1);

        // A virtual port of 50 or above is never a candidate.
        engine->virtualPort = 50;
        QVERIFY(engine->FindDevice());
        QCOMPARE(engine->linkCount, 1);
    }

    // Each read-out that brought records is in the archive before the front
    // end shows them; one the archive cannot take still shows, and says why.
    void readOutsArchived_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("archive"); // "fresh", "newer", "off"
        for (const auto& [name, source, archive] :
             {std::tuple{"whole reply", "whole", "fresh"},
              std::tuple{"cut short, whole pages kept", "cut", "fresh"},
              std::tuple{"virtual device", "virtual", "fresh"},
              std::tuple{"archive of a newer version", "whole", "newer"},
              std::tuple{"archiving off", "whole", "off"}})
            QTest::newRow(name) << source << archive;
    }
    void readOutsArchived()
    {
        QFETCH(QString, source);
        QFETCH(QString, archive);
        QTemporaryDir dir;
        const QString file = dir.filePath("archive.sqlite");
        engine->archivePath = file;
        engine->archiving = archive != "off";
        if (archive == "newer")
        {
            {
                CArchive made(file);
                QVERIFY(made.Open());
            }
            QVERIFY(Look(file).Do(
                QStringLiteral("UPDATE schema SET version = %1").arg(CArchive::SchemaVersion + 1)));
        }
        const QByteArray before = ReadFile(file);

        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::VXnn, 128);
        const QByteArray frame = ReplyBuilder::Frame(Family::VXnn, records);
        InstrumentSimulator::Faults faults;
        faults.truncateAt = source == "cut" ? 11 + 2 * 256 + 100 : -1;
        engine->virtualDevice = source == "virtual";
        engine->virtualPort = 5;
        engine->stallMs = 200;
        if (source != "virtual")
            QVERIFY(Found(frame, 0, faults));
        else
            QVERIFY(engine->FindDevice());
        CReadOut readOut(engine.get());
        readOut.pollIntervalMs = 20;
        QSignalSpy finished(&readOut, &CReadOut::Finished);
        connect(&readOut, &CReadOut::Stalled, &readOut, &CReadOut::Cancel);
        readOut.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 5000);
        if (source == "cut")
            QVERIFY(readOut.KeepPartial());
        const int shown = source == "virtual" ? 335 : source == "cut" ? 64 : 128;
        QCOMPARE(Keys(engine->data).size(), shown);

        if (archive != "fresh")
        {
            QVERIFY(engine->archivedId.isEmpty());
            QCOMPARE(ReadFile(file), before);
            if (archive == "off")
                QCOMPARE(engine->ArchiveNotice(), QString());
            else
                QVERIFY2(engine->ArchiveNotice().startsWith("Not archived: ") &&
                             engine->ArchiveNotice().contains("newer version"),
                         qPrintable(engine->ArchiveNotice()));
            // The results are saved all the same.
            QVERIFY(engine->WriteCsv(QFile::encodeName(dir.filePath("r.csv")).constData()));
            return;
        }
        QCOMPARE(engine->ArchiveNotice(), QString());
        QVERIFY(!engine->archivedId.isEmpty());
        CArchive kept(file);
        CArchive::Transfer t;
        QVERIFY(kept.Load(engine->archivedId, &t));
        QCOMPARE(Keys(t.records), Keys(engine->data));
        QCOMPARE(t.family, engine->data.family);
        QCOMPARE(t.complete, source != "cut");
        QCOMPARE(t.pagesAnnounced, source == "virtual" ? 0 : 4);
        QCOMPARE(t.pagesReceived, source == "virtual" ? 0 : source == "cut" ? 2 : 4);
        QCOMPARE(t.reply, source == "virtual" ? QByteArray()
                          : source == "cut"   ? frame.left(faults.truncateAt)
                                              : frame);
        QCOMPARE(t.port, source == "virtual" ? QStringLiteral("COM5") : QStringLiteral("COM3"));
        QCOMPARE(t.program, QStringLiteral("Parvesta"));
        QCOMPARE(t.version, QStringLiteral("3.0"));
        QCOMPARE(t.identify, source == "virtual" ? QString() : QStringLiteral("ZELTRA OMNI"));
        QVERIFY(qAbs(t.time.secsTo(QDateTime::currentDateTimeUtc())) < 60);

        // Each save of it is noted, by the path written.
        const QString csv = dir.filePath("r.csv"), json = dir.filePath("r.json");
        QVERIFY(engine->Write(QFile::encodeName(csv).constData(), CQuorvanta::SaveFormat::Csv));
        QVERIFY(engine->Write(QFile::encodeName(json).constData(), CQuorvanta::SaveFormat::Json));
        QStringList saves;
        QVERIFY(kept.Saves(engine->archivedId, &saves));
        QCOMPARE(saves, QStringList({csv, json}));
    }
};

QTEST_GUILESS_MAIN(TestEngineTransfer)
#include "tst_engine_transfer.moc"
