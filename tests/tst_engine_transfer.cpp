// Whole transfers through the engine, from the device search to the records,
// against simulated instruments on pseudo-terminals, driven the way the main
// window drives them: FindDevice, StartTransfer, Progress on every poll until
// 100, StopTransfer, Finish.
#include "CQuorvanta.h"
#include "PinnedPorts.h"
#include "ReplyBuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QtTest>
#include <memory>

using ReplyFrame::Family;
Q_DECLARE_METATYPE(ReplyFrame::Family)

namespace
{
// Polls as the main window's timer does, only faster; false when 100 never came.
bool RunTransfer(CQuorvanta& engine, int maxPolls = 400)
{
    engine.StartTransfer();
    for (int poll = 1; poll <= maxPolls; ++poll)
    {
        QThread::msleep(50);
        int percent = 0;
        engine.Progress(&percent);
        if (percent == 100)
        {
            engine.StopTransfer();
            engine.Finish();
            return true;
        }
    }
    engine.StopTransfer();
    return false;
}

// The records as comparable texts, in no particular order.
QStringList Keys(const std::vector<CMeasurement>& records)
{
    QStringList keys;
    for (const CMeasurement& r : records)
        keys << QStringLiteral("%1/%2/%3/%4/%5/%6")
                    .arg(r.group)
                    .arg(r.cell)
                    .arg(r.value)
                    .arg(r.divisor)
                    .arg(r.kind)
                    .arg(r.unit);
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

int Commands(const InstrumentSimulator* sim, char code)
{
    int n = 0;
    for (const QByteArray& command : sim->Commands())
        n += command.at(8) == code ? 1 : 0;
    return n;
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
        QTest::addColumn<int>("cut"); // bytes missing at the end of the reply
        QTest::newRow("VX-nn") << Family::VXnn << 70 << 0;
        QTest::newRow("TR-620") << Family::TR620 << 90 << 0;
        // The last slot never comes: the transfer still ends, with the rest.
        QTest::newRow("VX-nn short of its last slot") << Family::VXnn << 96 << 5;
    }
    void wholeTransfer()
    {
        QFETCH(Family, family);
        QFETCH(int, count);
        QFETCH(int, cut);
        PinnedPorts ports;
        InstrumentSimulator* sim = ports.Attach(3, 38400);
        QVERIFY(sim);
        std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(family, count);
        const QByteArray frame = ReplyBuilder::Frame(family, records);
        InstrumentSimulator::Faults faults;
        faults.truncateAt = cut ? frame.size() - cut : -1;
        sim->SetFaults(faults);
        sim->SetReply(frame);

        const auto engine = std::make_unique<CQuorvanta>();
        QVERIFY(engine->FindDevice());
        QVERIFY(RunTransfer(*engine));
        if (cut)
            records.pop_back();
        QCOMPARE(Keys(engine->data), Keys(records));
        QVERIFY(engine->unsavedData);
        QVERIFY(!engine->currentLink->IsOpen());
    }

    void garbageBeforeTheReply_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::addColumn<bool>("ends"); // reaches 100 % at all
        // Its 11th byte reads as "no blocks follow": the transfer ends at once.
        QTest::newRow("ends, as a reply of nothing") << QByteArray("\r\nERR 17\r\n\0", 11) << true;
        QTest::newRow("never ends") << QByteArray("NOISE ON THE LINE ") << false;
    }
    void garbageBeforeTheReply()
    {
        // Whatever comes first, the reply behind it is never taken for records
        // that decode by chance, and earlier records are not given up early.
        QFETCH(QByteArray, garbage);
        QFETCH(bool, ends);
        PinnedPorts ports;
        InstrumentSimulator::Faults faults;
        faults.garbageBefore = garbage;
        QVERIFY(ports.Attach(3, 0, faults));
        const auto engine = std::make_unique<CQuorvanta>();
        engine->data.MakeVirtualData();
        QVERIFY(engine->FindDevice());
        QCOMPARE(RunTransfer(*engine, 20), ends);
        if (ends)
        {
            QVERIFY(!engine->ReplyRecognised());
            QCOMPARE(engine->data.groupCount, 0);
            QVERIFY(!engine->unsavedData);
        }
        else
        {
            QCOMPARE(engine->data.family, QStringLiteral("VirtualDevice"));
        }
    }

    void firstAnsweringPortWins()
    {
        PinnedPorts ports;
        InstrumentSimulator* com3 = ports.Attach(3);
        InstrumentSimulator* com7 = ports.Attach(7);
        QVERIFY(com3 && com7);
        const auto engine = std::make_unique<CQuorvanta>();
        QVERIFY(engine->FindDevice());
        QCOMPARE(engine->linkCount, 2);
        QCOMPARE(engine->currentLink, &engine->links[0]);
        QVERIFY(RunTransfer(*engine));
        QCOMPARE(Commands(com3, 6), 1);
        QCOMPARE(com7->Commands().size(), 0); // the search stopped at COM3
    }

    void fixedPortIsTheOnlyCandidate()
    {
        PinnedPorts ports;
        InstrumentSimulator* com3 = ports.Attach(3);
        QVERIFY(com3 && ports.Attach(7));
        const auto engine = std::make_unique<CQuorvanta>();
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
        PinnedPorts ports;
        const auto engine = std::make_unique<CQuorvanta>();
        engine->virtualDevice = true;
        engine->virtualPort = 5;
        // It answers without an instrument behind it.
        QVERIFY(engine->FindDevice());
        QVERIFY(RunTransfer(*engine, 1));
        QCOMPARE(engine->data.family, QStringLiteral("VirtualDevice"));
        QCOMPARE(Keys(engine->data).size(), 335);

        // A real instrument below it is found first.
        InstrumentSimulator* com2 = ports.Attach(2);
        QVERIFY(com2 && engine->FindDevice());
        QCOMPARE(engine->currentLink, &engine->links[0]);
        QCOMPARE(com2->Commands().size(), 1);

        // With 3 links every poll reports 100 and ends on the last link.
        engine->AddPort(9);
        int percent = 0;
        QVERIFY(engine->Progress(&percent));
        QCOMPARE(percent, 100);
        QCOMPARE(engine->currentLink, &engine->links[2]);

        // A virtual port of 50 or above is never a candidate.
        engine->virtualPort = 50;
        QVERIFY(engine->FindDevice());
        QCOMPARE(engine->linkCount, 1);
    }

    void nothingToFind()
    {
        PinnedPorts ports;
        const auto engine = std::make_unique<CQuorvanta>();
        engine->data.MakeVirtualData();
        engine->unsavedData = true;
        QVERIFY(!engine->FindDevice());
        QCOMPARE(engine->currentLink, nullptr);
        QVERIFY(!engine->StartTransfer());
        int percent = 55;
        QVERIFY(!engine->Progress(&percent));
        QCOMPARE(percent, 0);
        QVERIFY(!engine->Finish());
        QCOMPARE(engine->data.groupCount, 0);
        QVERIFY(!engine->unsavedData);
    }

    void candidatesThatDoNotAnswer()
    {
        PinnedPorts ports;
        InstrumentSimulator::Faults quiet;
        quiet.silent = true;
        InstrumentSimulator* silent = ports.Attach(2, 0, quiet);
        InstrumentSimulator* stranger = ports.Attach(4);
        QVERIFY(silent && stranger);
        stranger->SetIdentification("ZELTRA OMN");
        const auto engine = std::make_unique<CQuorvanta>();
        QVERIFY(!engine->FindDevice());
        QCOMPARE(engine->linkCount, 2);
        QCOMPARE(engine->currentLink, &engine->links[0]);
        QCOMPARE(Commands(stranger, 1), 1);
    }

    void progressReportsOnlyLinksThatRead()
    {
        // Two links reading one reply of 5 blocks: 600 bytes (2 blocks, 40 %)
        // and 300 bytes (1 block, 20 %).
        PinnedPorts ports;
        const QByteArray fiveBlocks =
            ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 20), 5);
        const auto engine = std::make_unique<CQuorvanta>();
        for (int cut : {600, 300})
        {
            InstrumentSimulator::Faults faults;
            faults.truncateAt = cut;
            InstrumentSimulator* sim = ports.Attach(3 + engine->linkCount, 0, faults);
            QVERIFY(sim);
            sim->SetReply(fiveBlocks);
            engine->AddPort(3 + engine->linkCount);
            QVERIFY(engine->links[engine->linkCount - 1].StartReadOut());
            QVERIFY(sim->WaitForBytesSent(cut, 5000));
        }
        QThread::msleep(100); // let the last bytes cross the terminal
        int percent = -1;
        QVERIFY(engine->Progress(&percent));
        QCOMPARE(percent, 40);                            // the highest
        QCOMPARE(engine->currentLink, &engine->links[1]); // the last that read

        // A poll that brings nothing reports nothing, late in a transfer too.
        QVERIFY(!engine->Progress(&percent));
        QCOMPARE(percent, 0);
    }

    void restartEmptiesTheRing()
    {
        PinnedPorts ports;
        InstrumentSimulator* sim = ports.Attach(3);
        QVERIFY(sim);
        const auto engine = std::make_unique<CQuorvanta>();
        QVERIFY(engine->FindDevice());
        QVERIFY(engine->StartTransfer());
        QVERIFY(sim->WaitUntilIdle(5000));
        QThread::msleep(100);
        engine->Progress(nullptr);
        QVERIFY(engine->currentLink->ring.Count() > 0);

        // The previous transfer's records stay until the new one ends.
        engine->data.MakeVirtualData();
        engine->unsavedData = true;
        QVERIFY(engine->StartTransfer());
        QVERIFY(!engine->unsavedData);
        QCOMPARE(engine->data.groupCount, 5);
        QCOMPARE(engine->currentLink->ring.Count(), 0);
        QVERIFY(sim->WaitForCommands(3, 5000)); // identify, read-out, read-out
    }
};

QTEST_GUILESS_MAIN(TestEngineTransfer)
#include "tst_engine_transfer.moc"
