// Whole transfers through the engine, from the device search to the records,
// against simulated instruments on pseudo-terminals, driven the way the main
// window drives them: FindDevice, StartTransfer, Progress every 500 ms until
// 100, StopTransfer, Finish.
#include "engine/CQuorvanta.h"
#include "link/SerialPort.h"
#include "sim/InstrumentSimulator.h"
#include "sim/ReplyBuilder.h"
#include "sim/PinnedPorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using ReplyFrame::Family;
Q_DECLARE_METATYPE(ReplyFrame::Family)

namespace
{
constexpr int PollMs = 500;

bool SentReadOut(const InstrumentSimulator& sim)
{
    for (const QByteArray& command : sim.Commands())
        if (command.size() > 8 && command[8] == char(6))
            return true;
    return false;
}

// Polls as the main window's timer does; returns the number of polls taken,
// or -1 when 100 was not reached within maxPolls.
int RunTransfer(CQuorvanta& engine, int maxPolls = 40)
{
    engine.StartTransfer();
    for (int poll = 1; poll <= maxPolls; ++poll)
    {
        QThread::msleep(PollMs);
        int percent = 0;
        engine.Progress(&percent);
        if (percent == 100)
        {
            engine.StopTransfer();
            engine.Finish();
            return poll;
        }
    }
    engine.StopTransfer();
    return -1;
}

std::vector<CMeasurement> Records(const CTRData& data)
{
    std::vector<CMeasurement> out;
    for (int g = 1; g <= data.groupCount; ++g)
        for (int p = 1; p <= data.RecordCount(g); ++p)
        {
            CMeasurement r;
            if (data.GetRecord(g, p, &r))
                out.push_back(r);
        }
    return out;
}

bool SameRecords(std::vector<CMeasurement> a, std::vector<CMeasurement> b)
{
    auto key = [](const CMeasurement& r) {
        return std::make_tuple(r.group, r.cell, r.value, r.divisor, r.kind, r.unit);
    };
    auto less = [&](const CMeasurement& x, const CMeasurement& y) { return key(x) < key(y); };
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](const CMeasurement& x, const CMeasurement& y) { return key(x) == key(y); });
}
} // namespace

class TestEngineTransfer : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(QCoreApplication::applicationDirPath() + "/Settings.ini"); }

    void wholeTransfer_data()
    {
        QTest::addColumn<Family>("family");
        QTest::addColumn<int>("count");
        QTest::newRow("VX-nn, three pages") << Family::VXnn << 70;
        QTest::newRow("TR-620, three pages") << Family::TR620 << 90;
        QTest::newRow("VX-nn, one record") << Family::VXnn << 1;
    }
    void wholeTransfer()
    {
        QFETCH(Family, family);
        QFETCH(int, count);
        PinnedPorts ports;
        InstrumentSimulator* sim = ports.Attach(3, 38400);
        QVERIFY(sim);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, count);
        sim->SetReply(ReplyBuilder::Frame(family, records));

        CQuorvanta engine;
        QVERIFY(engine.FindDevice());
        QVERIFY(engine.deviceFound);
        QCOMPARE(engine.linkCount, 1);
        QCOMPARE(engine.currentLink, &engine.links[0]);

        QVERIFY(RunTransfer(engine) > 0);
        QVERIFY(engine.unsavedData);
        QCOMPARE(engine.data.family,
                 family == Family::VXnn ? QStringLiteral("VX-nn") : QStringLiteral("TR-620"));
        QVERIFY(SameRecords(Records(engine.data), records));
        QVERIFY(!engine.currentLink->IsOpen());
    }

    void replyShortOfItsLastBytesStillEnds()
    {
        // The last slot of page 2 never comes: the transfer must still end,
        // with every record that did arrive.
        PinnedPorts ports;
        InstrumentSimulator* sim = ports.Attach(3, 38400);
        QVERIFY(sim);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(Family::VXnn, 96);
        const QByteArray frame = ReplyBuilder::Frame(Family::VXnn, records);
        QCOMPARE(frame.size(), 11 + 3 * 256);
        InstrumentSimulator::Faults cut;
        cut.truncateAt = frame.size() - 5;
        sim->SetFaults(cut);
        sim->SetReply(frame);

        CQuorvanta engine;
        QVERIFY(engine.FindDevice());
        QVERIFY(RunTransfer(engine, 10) > 0);
        const std::vector<CMeasurement> expected(records.begin(), records.end() - 1);
        QVERIFY(SameRecords(Records(engine.data), expected));
    }

    void firstAnsweringPortWins()
    {
        PinnedPorts ports;
        InstrumentSimulator* com3 = ports.Attach(3);
        InstrumentSimulator* com7 = ports.Attach(7);
        QVERIFY(com3 && com7);

        CQuorvanta engine;
        QVERIFY(engine.FindDevice());
        QCOMPARE(engine.linkCount, 2);
        QCOMPARE(engine.currentLink, &engine.links[0]);
        QCOMPARE(com7->Commands().size(), 0); // the search stopped at COM3

        QVERIFY(RunTransfer(engine) > 0);
        QVERIFY(SentReadOut(*com3));
        QVERIFY(!SentReadOut(*com7));
        QVERIFY(engine.data.groupCount > 0);
    }

    void fixedPortIsTheOnlyCandidate()
    {
        PinnedPorts ports;
        InstrumentSimulator* com3 = ports.Attach(3);
        InstrumentSimulator* com7 = ports.Attach(7);
        QVERIFY(com3 && com7);
        com7->SetReply(ReplyBuilder::Frame(Family::TR620,
                                           ReplyBuilder::GeneratedSet(Family::TR620, 5)));

        CQuorvanta engine;
        engine.fixedPort = true;
        engine.comPort = 7;
        engine.virtualDevice = true; // not considered beside a fixed port
        engine.virtualPort = 2;
        QVERIFY(engine.FindDevice());
        QCOMPARE(engine.linkCount, 1);
        QCOMPARE(com3->Commands().size(), 0);
        engine.virtualDevice = false; // it would stand in for the reply
        QVERIFY(RunTransfer(engine) > 0);
        QCOMPARE(engine.data.family, QStringLiteral("TR-620"));

        // A fixed port with nothing behind it is still the one candidate.
        engine.comPort = 9;
        QVERIFY(!engine.FindDevice());
        QCOMPARE(engine.linkCount, 1);
        QCOMPARE(engine.currentLink, &engine.links[0]);
    }

    void virtualDeviceWithoutInstrument()
    {
        PinnedPorts ports;
        CQuorvanta engine;
        engine.virtualDevice = true;
        engine.virtualPort = 5;
        QVERIFY(engine.FindDevice());
        QCOMPARE(engine.linkCount, 1);
        QCOMPARE(engine.currentLink, &engine.links[0]);

        QCOMPARE(RunTransfer(engine, 2), 1);
        QCOMPARE(engine.data.family, QStringLiteral("VirtualDevice"));
        QCOMPARE(engine.data.groupCount, 5);
        QCOMPARE(Records(engine.data).size(), std::size_t(335));
        QVERIFY(engine.unsavedData);

        // A virtual port of 50 or above is never a candidate.
        engine.virtualPort = 50;
        QVERIFY(!engine.FindDevice());
        QCOMPARE(engine.linkCount, 0);
    }

    void realInstrumentBelowTheVirtualPortWins()
    {
        PinnedPorts ports;
        InstrumentSimulator* com2 = ports.Attach(2);
        QVERIFY(com2);
        CQuorvanta engine;
        engine.virtualDevice = true;
        engine.virtualPort = 4;
        QVERIFY(engine.FindDevice());
        QCOMPARE(engine.linkCount, 2);
        QCOMPARE(engine.currentLink, &engine.links[0]);
        QCOMPARE(com2->Commands().size(), 1);
    }

    void nothingToFind()
    {
        PinnedPorts ports;
        CQuorvanta engine;
        engine.data.MakeVirtualData();
        QVERIFY(!engine.FindDevice());
        QCOMPARE(engine.linkCount, 0);
        QCOMPARE(engine.currentLink, nullptr);
        QVERIFY(!engine.StartTransfer());
        engine.StopTransfer();
        int percent = 55;
        QVERIFY(!engine.Progress(&percent));
        QCOMPARE(percent, 0);
        QVERIFY(!engine.Finish());
        QCOMPARE(engine.data.groupCount, 0);
        QVERIFY(!engine.unsavedData);
    }

    void candidatesThatDoNotAnswer()
    {
        PinnedPorts ports;
        InstrumentSimulator* silent = ports.Attach(2);
        InstrumentSimulator* stranger = ports.Attach(4);
        QVERIFY(silent && stranger);
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        silent->SetFaults(quiet);
        stranger->SetIdentification("ZELTRA OMN");

        CQuorvanta engine;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!engine.FindDevice());
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(engine.linkCount, 2);
        QVERIFY(!engine.deviceFound);
        QCOMPARE(engine.currentLink, &engine.links[0]);
        QCOMPARE(silent->Commands().size(), 1);
        QCOMPARE(stranger->Commands().size(), 1);
    }

    void progressReports_data()
    {
        QTest::addColumn<int>("firstCut");
        QTest::addColumn<int>("secondCut");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("expectedLink");
        QTest::newRow("one link, 2 of 5 blocks") << 600 << -1 << 40 << 0;
        QTest::newRow("two links, 40 and 20: highest, last link") << 600 << 300 << 40 << 1;
        QTest::newRow("two links, 20 and 40") << 300 << 520 << 40 << 1;
    }
    void progressReports()
    {
        QFETCH(int, firstCut);
        QFETCH(int, secondCut);
        QFETCH(int, expected);
        QFETCH(int, expectedLink);
        PinnedPorts ports;
        const QByteArray fiveBlocks =
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 20), 5);
        QCOMPARE(int(static_cast<unsigned char>(fiveBlocks[10])), 5);

        CQuorvanta engine;
        const int cuts[2] = {firstCut, secondCut};
        std::vector<InstrumentSimulator*> sims;
        for (int i = 0; i < 2 && cuts[i] > 0; ++i)
        {
            InstrumentSimulator* sim = ports.Attach(3 + i);
            QVERIFY(sim);
            InstrumentSimulator::Faults cut;
            cut.truncateAt = cuts[i];
            sim->SetFaults(cut);
            sim->SetReply(fiveBlocks);
            engine.AddPort(3 + i);
            sims.push_back(sim);
        }
        for (int i = 0; i < engine.linkCount; ++i)
        {
            QVERIFY(engine.links[i].StartReadOut());
            QVERIFY(sims[std::size_t(i)]->WaitForBytesSent(cuts[i], 5000));
        }
        QThread::msleep(100); // let the last bytes cross the terminal

        int percent = -1;
        QVERIFY(engine.Progress(&percent));
        QCOMPARE(percent, expected);
        QCOMPARE(engine.currentLink, &engine.links[expectedLink]);

        // A poll that brings nothing reports nothing, late in a transfer too.
        percent = -1;
        QVERIFY(!engine.Progress(&percent));
        QCOMPARE(percent, 0);
        QCOMPARE(engine.currentLink, &engine.links[expectedLink]);
    }

    void progressWithoutLinksOrVirtual()
    {
        PinnedPorts ports;
        CQuorvanta engine;
        int percent = -1;
        QVERIFY(!engine.Progress(&percent));
        QCOMPARE(percent, 0);
        QVERIFY(!engine.Progress(nullptr));

        engine.virtualDevice = true;
        engine.AddPort(1);
        engine.AddPort(2);
        engine.AddPort(3);
        QVERIFY(engine.Progress(&percent));
        QCOMPARE(percent, 100);
        QCOMPARE(engine.currentLink, &engine.links[2]);
    }

    void restartEmptiesTheRing()
    {
        PinnedPorts ports;
        InstrumentSimulator* sim = ports.Attach(3);
        QVERIFY(sim);
        CQuorvanta engine;
        QVERIFY(engine.FindDevice());
        QVERIFY(engine.StartTransfer());
        QVERIFY(sim->WaitUntilIdle(5000));
        QThread::msleep(100);
        int percent = 0;
        engine.Progress(&percent);
        QVERIFY(engine.currentLink->ring.Count() > 0);

        // Starting again while a read-out runs begins afresh, and a previous
        // transfer's records stay until the new one ends.
        engine.data.MakeVirtualData();
        engine.unsavedData = true;
        QVERIFY(engine.StartTransfer());
        QVERIFY(!engine.unsavedData);
        QCOMPARE(engine.data.groupCount, 5);
        QCOMPARE(engine.currentLink->ring.Count(), 0);
        QVERIFY(sim->WaitForCommands(3, 5000)); // identify, read-out, read-out
        engine.StopTransfer();
    }

    void finishWithoutLink()
    {
        PinnedPorts ports;
        CQuorvanta engine;
        engine.data.MakeVirtualData();
        engine.unsavedData = true;
        QVERIFY(!engine.Finish());
        QCOMPARE(engine.data.groupCount, 0);
        QVERIFY(!engine.unsavedData);
    }
};

QTEST_GUILESS_MAIN(TestEngineTransfer)
#include "tst_engine_transfer.moc"
