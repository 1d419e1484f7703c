// The device link over real pseudo-terminals, against the instrument
// simulator: port layer, command frames, handshake and read-out progress;
// and its receive ring: capacity, wrap-around, short reads, looking without
// taking, emptying.
#include "CWQXUSTester.h"
#include "InstrumentSimulator.h"
#include "ReplyBuilder.h"
#include "SerialPort.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

using ReplyFrame::Family;
using Ints = QList<int>;

namespace
{
constexpr int Com = 3;

// A command frame with neither parameter nor extra bytes, as the program sends them.
QByteArray Command(char code)
{
    return QByteArray("WQX VX-T", 8) + code + QByteArray(2, '\0');
}

QByteArray Frame(Family family, int pages)
{
    return ReplyBuilder::Frame(family, ReplyBuilder::GeneratedSet(family, pages * 32), pages);
}

// Polls, only when bytes wait, until the ring holds target bytes; the
// percentages reported, in order.
Ints ReadUntil(CWQXUSTester& link, int target)
{
    Ints seen;
    int percent = -1;
    for (QDeadlineTimer end(5000); link.ring.Count() < target && !end.hasExpired(); PauseMs(1))
        if (PortInputCount(link.port) > 0 && link.ReadChunk(&percent) > 0)
            seen << percent;
    return seen;
}

// A read-out fills the ring from its start.
QByteArray Held(const CWQXUSTester& link)
{
    return QByteArray(link.ring.header->base, link.ring.Count());
}

QByteArray Pattern(int n, int seed)
{
    QByteArray bytes(qMax(n, 0), '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + seed);
    return bytes;
}
} // namespace

class TestLink : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<CWQXUSTester> link;

    // An instrument on COM3 and a link given that port.
    void Attach(int speed = 0)
    {
        sim.reset(new InstrumentSimulator);
        sim->SetLineSpeed(speed);
        QVERIFY(sim->Start(folder.path(), Com));
        link->SetPort(Com);
    }

private slots:
    void init()
    {
        SetPortsFolder(folder.path());
        link.reset(new CWQXUSTester);
    }
    void cleanup() { sim.reset(); }

    void comNumbersResolve_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("pinnedTo"); // "" none, else the link's target
        QTest::addColumn<QString>("expected"); // "@" for the pinned entry itself
        QTest::newRow("COM16 is the last serial port") << 16 << QString() << "/dev/ttyS15";
        QTest::newRow("COM17 is the first USB adapter") << 17 << QString() << "/dev/ttyUSB0";
        QTest::newRow("COM48 is the last modem-class port") << 48 << QString() << "/dev/ttyACM15";
        QTest::newRow("COM49 has no fixed device") << 49 << QString() << "";
        QTest::newRow("pinned COM5 wins over the table") << 5 << "/dev/null" << QString("@");
        QTest::newRow("dangling pin is still the port") << 20 << "/nonexistent" << QString("@");
    }
    void comNumbersResolve()
    {
        QFETCH(int, number);
        QFETCH(QString, pinnedTo);
        QFETCH(QString, expected);
        const QString entry = folder.filePath(QStringLiteral("COM%1").arg(number));
        if (!pinnedTo.isEmpty())
            QVERIFY(QFile::link(pinnedTo, entry));
        QCOMPARE(ComDevicePath(number), expected == "@" ? entry : expected);
    }

    void pathTooLongForThePortNameIsRefused()
    {
        // A cut-off name could be another device.
        const QString deep = folder.filePath(QString(250, 'd'));
        SetPortsFolder(deep);
        QVERIFY(QDir().mkpath(deep) && QFile::link("/dev/null", deep + "/COM3"));
        link->SetPort(Com);
        QCOMPARE(link->portName[0], '\0');
    }

    void identification_data()
    {
        using Result = CWQXUSTester::ProbeResult;
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("stillSending"); // on the line when the probe begins
        QTest::addColumn<int>("result");
        QTest::newRow("followed by more bytes")
            << QByteArray("ZELTRA OMNI\x00\xFFv2\r\n", 17) << QByteArray() << int(Result::Answered);
        QTest::newRow("last byte differs")
            << QByteArray("ZELTRA OMNX") << QByteArray() << int(Result::OtherAnswer);
        QTest::newRow("other text first")
            << QByteArray("\rZELTRA OMNI") << QByteArray() << int(Result::OtherAnswer);
        // About a third of a second at 9600 bit/s: the probe waits for quiet
        // before it asks, or the tail would be taken for the answer.
        QTest::newRow("asked once the tail of an earlier reply has passed")
            << QByteArray("ZELTRA OMNI") << QByteArray(300, '\x5A') << int(Result::Answered);
    }
    void identification()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, stillSending);
        QFETCH(int, result);
        Attach(stillSending.isEmpty() ? 0 : 9600);
        sim->SetIdentification(answer);
        sim->Send(stillSending);
        QCOMPARE(link->Probe(), result == int(CWQXUSTester::ProbeResult::Answered));
        QCOMPARE(int(link->probeResult), result);
        QVERIFY(!link->IsOpen());
        QCOMPARE(sim->HostBytes(), Command(1));
    }

    // The line the kernel writes its console to (ttyS0, COM1, on many
    // servers and virtual machines) is never opened: not when the table finds
    // it, not when the user pins it, not when a caller names the device.
    void consoleIsNeverOpened_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("the console device itself") << "/dev/console";
        QFile active("/sys/class/tty/console/active");
        if (active.open(QIODevice::ReadOnly))
            for (const QString& name : QString(active.readAll()).simplified().split(' '))
                if (QFileInfo::exists("/dev/" + name))
                    QTest::newRow(qPrintable("this system's console " + name)) << "/dev/" + name;
    }
    void consoleIsNeverOpened()
    {
        QFETCH(QString, device);
        for (int n = 1; n <= 48; ++n)
            if (ComDevicePath(n) == device)
                QCOMPARE(CheckPort(n), PortError::Console);
        QFile::remove(folder.filePath("COM7"));
        QVERIFY(QFile::link(device, folder.filePath("COM7")));
        QCOMPARE(CheckPort(7), PortError::Console);
        QVERIFY(!PortExists(7));
        PortHandle handle;
        PortError error = PortError::None;
        QVERIFY(!OpenPort(QFile::encodeName(device).constData(), true, 9600, &handle, &error));
        QCOMPARE(error, PortError::Console);
        QCOMPARE(handle.fd, InvalidPort);
        link->SetPort(7);
        QVERIFY(!link->Probe());
        QCOMPARE(int(link->probeResult), int(CWQXUSTester::ProbeResult::NotOpened));
        QCOMPARE(link->portError, PortError::Console);
    }

    void openingThePort()
    {
        Attach();
        // Another user of the line left it cooked at 4800 bit/s.
        const int other = ::open(QFile::encodeName(sim->TerminalPath()).constData(),
                                 O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios line;
        QCOMPARE(::tcgetattr(other, &line), 0);
        line.c_lflag |= ICANON;
        line.c_cflag |= CSTOPB;
        ::cfsetospeed(&line, B4800);
        QCOMPARE(::tcsetattr(other, TCSANOW, &line), 0);

        link->baudRate = 12345; // a speed the line does not know leaves its own
        QVERIFY(link->Open(true));
        QCOMPARE(::tcgetattr(link->port.fd, &line), 0);
        QCOMPARE(int(::cfgetospeed(&line)), int(B4800));
        QVERIFY(::fcntl(link->port.fd, F_GETFL) & O_NONBLOCK);
        QVERIFY(::fcntl(link->port.fd, F_GETFD) & FD_CLOEXEC);
        int exclusive = 0;
        QCOMPARE(::ioctl(link->port.fd, TIOCGEXCL, &exclusive), 0);
        QVERIFY(exclusive);
        QVERIFY(!PortExists(Com));
        // A port open for probing is not read by a poll.
        const QByteArray backlog = QByteArray(256, 'o') + QByteArray(44, 'n');
        sim->Send(backlog);
        QTRY_COMPARE(PortInputCount(link->port), 300);
        int percent = -1;
        QCOMPARE(link->ReadChunk(&percent), 0);
        QCOMPARE(percent, 100);

        // Reopening for a read-out releases the probing descriptor (its lock
        // would refuse the new one) and sets raw 8N1.
        link->baudRate = 38400;
        QVERIFY(link->Open(false));
        QVERIFY(!(::fcntl(link->port.fd, F_GETFL) & O_NONBLOCK));
        QCOMPARE(::tcgetattr(link->port.fd, &line), 0);
        QCOMPARE(int(::cfgetospeed(&line)), int(B38400));
        QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
                 tcflag_t(CS8 | CLOCAL | CREAD));
        QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), tcflag_t(0));
        QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
        // The whole stale backlog goes before the question, not just its start.
        QVERIFY(link->Identify());

        // Closing frees the port and puts the line back as it was found.
        link->Close();
        QVERIFY(PortExists(Com));
        QCOMPARE(::tcgetattr(other, &line), 0);
        QCOMPARE(int(::cfgetospeed(&line)), int(B4800));
        QVERIFY((line.c_lflag & ICANON) && (line.c_cflag & CSTOPB));
        ::close(other);
    }

    void longReplies_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("VX-nn, 253 pages, the most the ring holds") << Frame(Family::VXnn, 253);
        QTest::newRow("VX-nn, 255 pages, ends when the ring is full") << Frame(Family::VXnn, 255);
    }
    void longReplies()
    {
        QFETCH(QByteArray, frame);
        const QByteArray kept = frame.left(CWQXUSTester::RingSize - 1);
        Attach();
        sim->SetReply(frame);
        QVERIFY(link->StartReadOut());
        const Ints seen = ReadUntil(*link, kept.size());
        QCOMPARE(seen.indexOf(100), seen.size() - 1); // 100 only with the last bytes
        QVERIFY(link->ReplyComplete());
        QCOMPARE(link->receivedBlocks, 253);
        QCOMPARE(Held(*link), kept);
        QCOMPARE(sim->HostBytes(), Command(6));
    }

    void percentages_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<Ints>("cuts");     // bytes arrived at each poll
        QTest::addColumn<Ints>("percents"); // reported by that poll

        const QByteArray three = Frame(Family::VXnn, 3); // 779 bytes
        QTest::newRow("more than 2048 waiting bytes come in one poll")
            << Frame(Family::VXnn, 12) << Ints{3000, 3083} << Ints{92, 100};
        QTest::newRow("3 blocks: 100 only at the whole frame")
            << three << Ints{256, 512, 768, 779} << Ints{33, 67, 99, 100};
        QTest::newRow("TR-620 pages are longer than blocks")
            << Frame(Family::TR620, 2) << Ints{256, 512, 524, 525} << Ints{50, 99, 99, 100};
        QTest::newRow("header split") << three << Ints{5, 11, 300} << Ints{0, 0, 33};
        QTest::newRow("no pages") << three.left(10) + '\0' << Ints{11} << Ints{100};
        QTest::newRow("missing block never ends") << three.left(600) << Ints{600} << Ints{67};
        QTest::newRow("over-long reply stays at 100")
            << three + QByteArray(600, 'z') << Ints{779, 1379} << Ints{100, 100};
        QByteArray strange = ReplyBuilder::Header(Family::VXnn, 2);
        strange[5] = 'Q'; // neither family: no frame length is announced
        QTest::newRow("unknown family never ends, its blocks all in")
            << strange + QByteArray(501, 'q') << Ints{256, 512} << Ints{50, 99};
    }
    void percentages()
    {
        QFETCH(QByteArray, frame);
        QFETCH(Ints, cuts);
        QFETCH(Ints, percents);
        Attach();
        sim->SetReply(QByteArray()); // the test puts the reply on the line piece by piece
        QVERIFY(link->StartReadOut());
        int at = 0;
        for (int i = 0; i < cuts.size(); ++i)
        {
            sim->Send(frame.mid(at, cuts[i] - at));
            const int piece = cuts[i] - at;
            at = cuts[i];
            QTRY_VERIFY(PortInputCount(link->port) >= piece);
            int percent = -1;
            QCOMPARE(link->ReadChunk(&percent), piece); // all that waits, in one poll
            QCOMPARE(percent, percents[i]);
            QCOMPARE(link->receivedBlocks, at / 256); // the header counts toward the blocks
        }
        int percent = -1;
        QCOMPARE(link->ReadChunk(&percent), 0);
        // A poll that brings nothing changes nothing: only the frame ends a reply.
        QCOMPARE(percent, percents.last());
        QCOMPARE(link->ReplyComplete(), percent == 100);
        QCOMPARE(Held(*link), frame.left(at));
    }

    void writeReadClear_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("skip"); // bytes passed through first, to move both positions
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("asked");
        QTest::newRow("link ring keeps 64999 of 70000") << 65000 << 0 << 70000 << 64999 << 70000;
        QTest::newRow("wraps around the end") << 65000 << 60000 << 10000 << 10000 << 10000;
        QTest::newRow("fills up to the very end") << 16 << 10 << 6 << 6 << 6;
        QTest::newRow("full after wrapping") << 1000 << 950 << 5000 << 999 << 999;
        QTest::newRow("wrapped, asking fewer") << 1000 << 900 << 300 << 300 << 120;
    }
    void writeReadClear()
    {
        QFETCH(int, size);
        QFETCH(int, skip);
        QFETCH(int, offered);
        QFETCH(int, stored);
        QFETCH(int, asked);
        KCyclicBuffer ring;
        ring.Init(300);
        ring.Write("old", 3);
        ring.Init(size); // a second Init starts over, empty
        QByteArray out(qMax(offered, skip) + 1, '\0');
        QCOMPARE(ring.Write(Pattern(skip, 1).constData(), skip), skip);
        QCOMPARE(ring.Read(out.data(), skip), skip);

        const QByteArray bytes = Pattern(offered, 3);
        QCOMPARE(ring.Write(bytes.constData(), offered), stored);
        QCOMPARE(ring.Write(bytes.constData(), -1), 0);
        if (stored == qMax(size, 1) - 1) // full: nothing held is overwritten
            QCOMPARE(ring.Write("x", 1), 0);
        QCOMPARE(ring.Free(), qMax(size, 1) - 1 - stored);
        const int read = qBound(0, asked, stored);
        QByteArray looked(qMax(asked, 0), '\0');
        QCOMPARE(ring.Peek(looked.data(), asked), read); // a look takes nothing
        QCOMPARE(ring.Count(), stored);
        QCOMPARE(ring.Read(out.data(), asked), read);
        QCOMPARE(out.left(read), bytes.left(read));
        QCOMPARE(looked.left(read), out.left(read));
        QCOMPARE(ring.Count(), stored - read);
        // The rest comes out next, and the emptied ring takes as much again.
        QCOMPARE(ring.Read(out.data(), offered), stored - read);
        QCOMPARE(out.left(stored - read), bytes.mid(read, stored - read));
        QCOMPARE(ring.Write(bytes.constData(), offered), stored);

        ring.Clear();
        QCOMPARE(ring.Count(), 0);
        QCOMPARE(ring.Read(out.data(), 10), 0);
        const QByteArray again = Pattern(qMax(size, 1), 5);
        QCOMPARE(ring.Write(again.constData(), again.size()), again.size() - 1);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
