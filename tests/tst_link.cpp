// The device link over real pseudo-terminals, against the instrument
// simulator: port layer, command frames, handshake and read-out progress.
#include "decode/ReplyFrame.h"
#include "engine/CTRData.h"
#include "link/CWQXUSTester.h"
#include "link/SerialPort.h"
#include "sim/InstrumentSimulator.h"
#include "sim/ReplyBuilder.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

using ReplyFrame::Family;
Q_DECLARE_METATYPE(InstrumentSimulator::Faults)

namespace
{
constexpr int Com = 3;

QByteArray Command(char code)
{
    return QByteArray("WQX VX-T", 8) + code + QByteArray(2, '\0');
}

QByteArray Frame(Family family, int pages)
{
    return ReplyBuilder::Frame(family, ReplyBuilder::GeneratedSet(family, pages * 32), pages);
}

QByteArray VXFrame(int pages)
{
    return Frame(Family::VXnn, pages);
}

QByteArray TRFrame(int pages)
{
    return Frame(Family::TR620, pages);
}

// Descriptors of this process that are open on the terminal.
int DescriptorsOn(const QString& terminal)
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::NoDotAndDotDot))
        if (QFileInfo(fds.filePath(name)).symLinkTarget() == terminal)
            ++count;
    return count;
}

QByteArray RingContent(CWQXUSTester& link)
{
    link.linearLength = link.ring.Read(link.linear, CWQXUSTester::LinearSize);
    return QByteArray(link.linear, link.linearLength);
}

bool WaitForInput(const CWQXUSTester& link, int count, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (PortInputCount(link.port) < count)
    {
        if (clock.elapsed() > timeoutMs)
            return false;
        PauseMs(2);
    }
    return true;
}

// Polls until the ring holds target bytes; the percentages of the polls
// that read bytes, in order.
QList<int> ReadUntil(CWQXUSTester& link, int target, int timeoutMs = 20000)
{
    QList<int> seen;
    QElapsedTimer clock;
    clock.start();
    while (link.ring.Count() < target && clock.elapsed() < timeoutMs)
    {
        if (PortInputCount(link.port) == 0)
        {
            PauseMs(2);
            continue;
        }
        int percent = -1;
        if (link.ReadChunk(&percent) > 0)
            seen << percent;
    }
    return seen;
}

// Polls until the reply is complete or the simulator has nothing more to
// send and a poll after it finds nothing; the percentages of polls that
// read bytes, and the last one.
QList<int> ReadToTheEnd(CWQXUSTester& link, const InstrumentSimulator& sim, int* last)
{
    QList<int> seen;
    QElapsedTimer clock;
    clock.start();
    *last = -1;
    while (!link.ReplyComplete() && clock.elapsed() < 20000)
    {
        if (PortInputCount(link.port) == 0)
        {
            if (sim.WaitUntilIdle(0) && !WaitForInput(link, 1, 100))
            {
                link.ReadChunk(last); // the quiet poll
                break;
            }
            PauseMs(2);
            continue;
        }
        if (link.ReadChunk(last) > 0)
            seen << *last;
    }
    return seen;
}
} // namespace

class TestLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<CWQXUSTester> link;

    // An instrument on COM3 and a link given that port.
    void Attach(int speed = 0)
    {
        sim.reset(new InstrumentSimulator);
        sim->SetLineSpeed(speed);
        QVERIFY(sim->Start(folder->path(), Com));
        link->SetPort(Com);
    }

  private slots:
    void init()
    {
        folder.reset(new QTemporaryDir);
        QVERIFY(folder->isValid());
        SetPortsFolder(folder->path());
        link.reset(new CWQXUSTester);
    }
    void cleanup()
    {
        link.reset();
        sim.reset();
        SetPortsFolder(QString());
        folder.reset();
    }

    void comNumbersResolve_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("pinnedTo"); // "" none, else the link's target
        QTest::addColumn<QString>("expected"); // "@" for the pinned entry itself
        QTest::newRow("COM1 is the first serial port") << 1 << ""
                                                       << "/dev/ttyS0";
        QTest::newRow("COM16 is the last serial port") << 16 << ""
                                                       << "/dev/ttyS15";
        QTest::newRow("COM17 is the first USB adapter") << 17 << ""
                                                        << "/dev/ttyUSB0";
        QTest::newRow("COM32 is the last USB adapter") << 32 << ""
                                                       << "/dev/ttyUSB15";
        QTest::newRow("COM33 is the first modem-class port") << 33 << ""
                                                             << "/dev/ttyACM0";
        QTest::newRow("COM48 is the last modem-class port") << 48 << ""
                                                            << "/dev/ttyACM15";
        QTest::newRow("COM49 has no fixed device") << 49 << ""
                                                   << "";
        QTest::newRow("COM0 does not exist") << 0 << ""
                                             << "";
        QTest::newRow("negative number") << -2 << ""
                                         << "";
        QTest::newRow("pinned COM5 wins over the table") << 5 << "/dev/null"
                                                         << "@";
        QTest::newRow("pinned beyond the table") << 70 << "/dev/null"
                                                 << "@";
        QTest::newRow("dangling pin is still the port") << 20 << "/nonexistent/tty"
                                                        << "@";
    }
    void comNumbersResolve()
    {
        QFETCH(int, number);
        QFETCH(QString, pinnedTo);
        QFETCH(QString, expected);
        const QString entry = folder->filePath(QStringLiteral("COM%1").arg(number));
        if (!pinnedTo.isEmpty())
            QVERIFY(QFile::link(pinnedTo, entry));
        if (expected == QLatin1String("@"))
            expected = entry;
        QCOMPARE(ComDevicePath(number), expected);
        link->SetPort(number);
        QCOMPARE(QString::fromLocal8Bit(link->portName), expected);
    }

    void portsFolderDefaultsBesideTheExecutable()
    {
        SetPortsFolder(QString());
        QCOMPARE(PortsFolder(), QCoreApplication::applicationDirPath() + "/ports");
        SetPortsFolder(folder->path());
        QCOMPARE(PortsFolder(), folder->path());
    }

    void pathTooLongForThePortNameIsRefused()
    {
        const QString deep = folder->filePath(QString(250, 'd'));
        QVERIFY(QDir().mkpath(deep));
        SetPortsFolder(deep);
        InstrumentSimulator instrument;
        QVERIFY(instrument.Start(deep, Com));
        QVERIFY(ComDevicePath(Com).toLocal8Bit().size() >= 256);
        link->SetPort(Com);
        QCOMPARE(link->portName[0], '\0');
        QVERIFY(!link->Open(false));
        QVERIFY(!link->Probe());
    }

    void commandFramesOnTheWire()
    {
        Attach();
        QVERIFY(link->Probe());
        QVERIFY(link->StartReadOut());
        QVERIFY(sim->WaitForCommands(2, 2000));
        link->Disconnect();
        const QByteArray identify("WQX VX-T\x01\x00\x00", 11);
        const QByteArray readOut("WQX VX-T\x06\x00\x00", 11);
        QCOMPARE(sim->Commands(), (QList<QByteArray>{identify, readOut}));
        QCOMPARE(sim->HostBytes(), identify + readOut);
    }

    void sendCommand_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<int>("extra");
        QTest::addColumn<bool>("sent");
        QTest::newRow("parameter and three trailing zeros") << 9 << 0x7F << 3 << true;
        QTest::newRow("longest frame, 245 trailing zeros") << 2 << 0 << 245 << true;
        QTest::newRow("246 trailing bytes do not fit") << 2 << 0 << 246 << false;
        QTest::newRow("negative length") << 2 << 0 << -1 << false;
    }
    void sendCommand()
    {
        QFETCH(int, code);
        QFETCH(int, parameter);
        QFETCH(int, extra);
        QFETCH(bool, sent);
        Attach();
        QVERIFY(link->Open(false));
        QCOMPARE(link->SendCommand(std::uint8_t(code), std::uint8_t(parameter), extra), sent);
        // A refused frame leaves nothing on the wire before the next one.
        QVERIFY(link->SendCommand(6, 0, 0));
        QVERIFY(sim->WaitForCommands(sent ? 2 : 1, 2000));
        QByteArray expected;
        if (sent)
            expected = QByteArray("WQX VX-T", 8) + char(code) + char(parameter) + char(extra) +
                       QByteArray(extra, '\0');
        expected += Command(6);
        QCOMPARE(sim->HostBytes(), expected);
    }

    void identification_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("identified");
        QTest::newRow("exact") << QByteArray("ZELTRA OMNI") << false << 38400 << true;
        QTest::newRow("followed by more bytes")
            << QByteArray("ZELTRA OMNI\x00\xFFv2.1\r\n", 19) << false << 38400 << true;
        QTest::newRow("ten bytes") << QByteArray("ZELTRA OMN") << false << 38400 << false;
        QTest::newRow("lower case") << QByteArray("zeltra omni") << false << 38400 << false;
        QTest::newRow("last byte differs") << QByteArray("ZELTRA OMNX") << false << 38400 << false;
        QTest::newRow("other text first") << QByteArray("\rZELTRA OMNI") << false << 38400 << false;
        QTest::newRow("silence") << QByteArray("ZELTRA OMNI") << true << 38400 << false;
        QTest::newRow("too slow for two polls")
            << QByteArray("ZELTRA OMNI") << false << 300 << false;
    }
    void identification()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, silent);
        QFETCH(int, speed);
        QFETCH(bool, identified);
        Attach(speed);
        sim->SetIdentification(answer);
        InstrumentSimulator::Faults faults;
        faults.silent = silent;
        sim->SetFaults(faults);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link->Probe(), identified);
        // Open settles 50 ms; a silent instrument costs two more pauses.
        QVERIFY(clock.elapsed() >= (silent ? 150 : 50));
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!link->IsOpen());
        QVERIFY(!link->active);
        QCOMPARE(sim->Commands(), QList<QByteArray>{Command(1)});
    }

    void portMissingOrHeld_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("nothing behind the number") << "missing";
        QTest::newRow("dangling pin") << "dangling";
        QTest::newRow("pinned to a plain file") << "file";
        QTest::newRow("held by another program") << "held";
        QTest::newRow("held by another link of ours") << "ours";
    }
    void portMissingOrHeld()
    {
        QFETCH(QString, situation);
        const QString entry = folder->filePath(QStringLiteral("COM%1").arg(Com));
        const QByteArray fileContent("not a serial line\n");
        int holder = -1;
        CWQXUSTester reader;
        if (situation == "missing")
        {
            link->SetPort(60);
        }
        else if (situation == "dangling")
        {
            QVERIFY(QFile::link(folder->filePath("gone"), entry));
        }
        else if (situation == "file")
        {
            QFile file(folder->filePath("plain"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileContent);
            file.close();
            QVERIFY(QFile::link(file.fileName(), entry));
        }
        else
        {
            Attach();
            if (situation == "held")
            {
                holder = ::open(QFile::encodeName(sim->TerminalPath()).constData(),
                                O_RDWR | O_NOCTTY | O_NONBLOCK);
                QVERIFY(holder >= 0);
                QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
            }
            else
            {
                reader.SetPort(Com);
                QVERIFY(reader.Open(false));
            }
        }
        if (situation != "missing")
            link->SetPort(Com);

        QVERIFY(!PortExists(situation == "missing" ? 60 : Com));
        QVERIFY(!link->Open(true));
        QVERIFY(!link->IsOpen());
        QVERIFY(!link->Open(false));
        QVERIFY(!link->Probe());
        QVERIFY(!link->StartReadOut());
        QVERIFY(!link->active);
        QVERIFY(!link->SendCommand(1, 0, 0));

        if (situation == "file")
        {
            QFile file(folder->filePath("plain"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), fileContent);
        }
        if (situation == "held" || situation == "ours")
        {
            if (holder >= 0)
                ::close(holder);
            reader.Disconnect();
            // Free again: found and answering.
            QVERIFY(PortExists(Com));
            QVERIFY(link->Probe());
        }
    }

    void openOverlappedThenClose()
    {
        Attach();
        QVERIFY(PortExists(Com));
        QVERIFY(link->Open(true));
        QVERIFY(link->IsOpen());
        QVERIFY(link->overlapped);
        QVERIFY(::fcntl(link->port.fd, F_GETFL) & O_NONBLOCK);
        QVERIFY(::fcntl(link->port.fd, F_GETFD) & FD_CLOEXEC);
        int exclusive = 0;
        QCOMPARE(::ioctl(link->port.fd, TIOCGEXCL, &exclusive), 0);
        QVERIFY(exclusive);
        QCOMPARE(DescriptorsOn(sim->TerminalPath()), 1);
        QVERIFY(!PortExists(Com));

        link->Close();
        QVERIFY(!link->IsOpen());
        QCOMPARE(link->port.fd, InvalidPort);
        QVERIFY(!link->overlapped);
        QCOMPARE(DescriptorsOn(sim->TerminalPath()), 0);
        QVERIFY(PortExists(Com));
        link->Close(); // closing a closed port does nothing
        QVERIFY(!link->IsOpen());
    }

    void openSynchronousOnOverlappedPort()
    {
        Attach();
        QVERIFY(link->Open(true));
        QVERIFY(link->Open(false));
        QVERIFY(link->IsOpen());
        QVERIFY(!link->overlapped);
        QVERIFY(!(::fcntl(link->port.fd, F_GETFL) & O_NONBLOCK));
        // The overlapped descriptor was released, not left beside the new one.
        QCOMPARE(DescriptorsOn(sim->TerminalPath()), 1);
        // The reopened port works.
        QVERIFY(link->Identify());
        link->Disconnect();
        QCOMPARE(DescriptorsOn(sim->TerminalPath()), 0);
    }

    void lineSettings_data()
    {
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("speed"); // termios constant expected on the line
        QTest::newRow("38400") << 38400 << int(B38400);
        QTest::newRow("9600") << 9600 << int(B9600);
        QTest::newRow("115200") << 115200 << int(B115200);
        QTest::newRow("unsupported keeps the line's") << 12345 << int(B4800);
        QTest::newRow("zero keeps the line's") << 0 << int(B4800);
        QTest::newRow("negative keeps the line's") << -9600 << int(B4800);
    }
    void lineSettings()
    {
        QFETCH(int, baudRate);
        QFETCH(int, speed);
        Attach();
        // Another user of the line left it cooked at 4800 bit/s.
        const int other = ::open(QFile::encodeName(sim->TerminalPath()).constData(),
                                 O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0);
        termios before;
        QCOMPARE(::tcgetattr(other, &before), 0);
        before.c_lflag |= ICANON | ECHO;
        before.c_cflag |= CSTOPB;
        ::cfsetispeed(&before, B4800);
        ::cfsetospeed(&before, B4800);
        QCOMPARE(::tcsetattr(other, TCSANOW, &before), 0);

        link->baudRate = baudRate;
        QVERIFY(link->Open(false));
        termios line;
        QCOMPARE(::tcgetattr(link->port.fd, &line), 0);
        QCOMPARE(int(::cfgetospeed(&line)), speed);
        QCOMPARE(int(::cfgetispeed(&line)), speed);
        QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(line.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
        QCOMPARE(line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), tcflag_t(0));
        QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(int(line.c_cc[VMIN]), 0);
        QVERIFY(line.c_cc[VTIME] > 0);

        // Closing puts the line back as it was found.
        link->Close();
        termios after;
        QCOMPARE(::tcgetattr(other, &after), 0);
        QCOMPARE(int(::cfgetospeed(&after)), int(B4800));
        QVERIFY(after.c_lflag & ICANON);
        QVERIFY(after.c_cflag & CSTOPB);
        ::close(other);
    }

    void staleInputIsDropped_data()
    {
        QTest::addColumn<int>("stale");
        QTest::addColumn<int>("left");
        QTest::newRow("300 leave 44") << 300 << 44;
        QTest::newRow("256 leave none") << 256 << 0;
        QTest::newRow("20 leave none") << 20 << 0;
        QTest::newRow("none") << 0 << 0;
    }
    void staleInputIsDropped()
    {
        QFETCH(int, stale);
        QFETCH(int, left);
        Attach();
        QByteArray backlog(stale, '\0');
        for (int i = 0; i < stale; ++i)
            backlog[i] = char(i);
        sim->Send(backlog);
        QVERIFY(sim->WaitUntilIdle(2000));

        QVERIFY(link->Open(false));
        QCOMPARE(PortInputCount(link->port), left);
        // What stays is the newest part of the backlog.
        QByteArray rest(left, '\0');
        QCOMPARE(PortRead(link->port, rest.data(), left), left);
        QCOMPARE(rest, backlog.right(left));
    }

    void notReadingOut()
    {
        int percent = -1;
        QCOMPARE(link->ReadChunk(&percent), 0);
        QCOMPARE(percent, 100);
        QCOMPARE(link->ReadChunk(nullptr), 0);

        // A port open for probing is not read by a poll.
        Attach();
        QVERIFY(link->Open(true));
        sim->Send(QByteArray(40, 'x'));
        QVERIFY(WaitForInput(*link, 40));
        QCOMPARE(link->ReadChunk(&percent), 0);
        QCOMPARE(percent, 100);
        QCOMPARE(PortInputCount(link->port), 40);
        QCOMPARE(link->ring.Count(), 0);
    }

    void readOutOfEachFamily_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("VX-nn, 5 pages") << VXFrame(5);
        QTest::newRow("TR-620, 5 pages") << TRFrame(5);
        QTest::newRow("TR-620, 1 page") << TRFrame(1);
        QTest::newRow("VX-nn, 253 pages, the most the ring holds") << VXFrame(253);
        QTest::newRow("TR-620, 252 pages, the most the ring holds") << TRFrame(252);
    }
    void readOutOfEachFamily()
    {
        QFETCH(QByteArray, frame);
        Attach();
        sim->SetReply(frame);
        QVERIFY(link->StartReadOut());
        QVERIFY(link->active);

        int last = -1;
        const QList<int> seen = ReadToTheEnd(*link, *sim, &last);
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.last(), 100);
        for (int i = 1; i < seen.size(); ++i)
        {
            QVERIFY2(seen[i - 1] < 100, "100 reported before the whole frame arrived");
            QVERIFY(seen[i - 1] <= seen[i]);
        }
        const int pages = static_cast<unsigned char>(frame[10]);
        QCOMPARE(link->totalBlocks, pages);
        QCOMPARE(link->receivedBlocks, frame.size() / 256);
        link->Disconnect();
        QVERIFY(!link->active);
        QCOMPARE(RingContent(*link), frame);
    }

    void percentages_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QList<int>>("cuts");     // bytes arrived at each poll
        QTest::addColumn<QList<int>>("percents"); // reported by that poll
        QTest::addColumn<QList<int>>("totals");   // totalBlocks after it
        QTest::addColumn<int>("quiet");           // a further poll that reads nothing

        const QByteArray three = VXFrame(3); // 779 bytes
        QTest::newRow("3 blocks: 33, 67, 100 at the whole frame")
            << three << QList<int>{256, 512, 768, 779} << QList<int>{33, 67, 99, 100}
            << QList<int>{3, 3, 3, 3} << 100;
        QTest::newRow("200 blocks: 199 are not enough")
            << VXFrame(200) << QList<int>{199 * 256, 200 * 256, 200 * 256 + 11}
            << QList<int>{99, 99, 100} << QList<int>{200, 200, 200} << 100;
        QTest::newRow("TR-620 pages are longer than blocks")
            << TRFrame(2) << QList<int>{256, 512, 524, 525} << QList<int>{50, 99, 99, 100}
            << QList<int>{2, 2, 2, 2} << 100;
        QTest::newRow("first chunk shorter than the header")
            << three << QList<int>{5, 10, 11, 300} << QList<int>{0, 0, 0, 33}
            << QList<int>{0, 0, 3, 3} << 33;
        QTest::newRow("header alone, count still missing")
            << three << QList<int>{10} << QList<int>{0} << QList<int>{0} << 0;
        QTest::newRow("nothing announced")
            << ReplyBuilder::Header(Family::VXnn, 0) << QList<int>{11} << QList<int>{100}
            << QList<int>{0} << 100;
        QTest::newRow("short reply ends after a quiet poll")
            << three.left(770) << QList<int>{770} << QList<int>{99} << QList<int>{3} << 100;
        QTest::newRow("missing block never ends")
            << three.left(600) << QList<int>{600} << QList<int>{67} << QList<int>{3} << 67;
        QByteArray strange = ReplyBuilder::Header(Family::VXnn, 2);
        strange[5] = 'Q'; // neither family: only the blocks can tell
        strange += QByteArray(501, 'q');
        QTest::newRow("unknown family ends when blocks are in and the line is quiet")
            << strange << QList<int>{256, 512} << QList<int>{50, 99} << QList<int>{2, 2} << 100;
    }
    void percentages()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QList<int>, cuts);
        QFETCH(QList<int>, percents);
        QFETCH(QList<int>, totals);
        QFETCH(int, quiet);
        Attach();
        InstrumentSimulator::Faults faults;
        faults.silent = true; // the test puts the reply on the line piece by piece
        sim->SetFaults(faults);
        QVERIFY(link->StartReadOut());

        int at = 0;
        for (int i = 0; i < cuts.size(); ++i)
        {
            sim->Send(frame.mid(at, cuts[i] - at));
            at = cuts[i];
            const QList<int> seen = ReadUntil(*link, at);
            QCOMPARE(link->ring.Count(), at);
            QVERIFY(!seen.isEmpty());
            for (int j = 0; j + 1 < seen.size(); ++j)
                QVERIFY(seen[j] < 100);
            QCOMPARE(seen.last(), percents[i]);
            QCOMPARE(link->totalBlocks, totals[i]);
            QCOMPARE(link->receivedBlocks, at / 256);
        }
        int percent = -1;
        QCOMPARE(link->ReadChunk(&percent), 0);
        QCOMPARE(percent, quiet);
        QCOMPARE(link->ReplyComplete(), quiet == 100);
        QCOMPARE(RingContent(*link), frame.left(at));
    }

    void replyLargerThanTheRing_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("VX-nn, 255 pages") << VXFrame(255);
        QTest::newRow("TR-620, 253 pages") << TRFrame(253);
    }
    void replyLargerThanTheRing()
    {
        QFETCH(QByteArray, frame);
        const int capacity = CWQXUSTester::RingSize - 1;
        QVERIFY(frame.size() > capacity);
        Attach();
        sim->SetReply(frame);
        QVERIFY(link->StartReadOut());
        const QList<int> seen = ReadUntil(*link, capacity);
        QCOMPARE(link->ring.Count(), capacity);
        QCOMPARE(seen.last(), 100);
        for (int j = 0; j + 1 < seen.size(); ++j)
            QVERIFY(seen[j] < 100);
        QVERIFY(link->ReplyComplete());
        QCOMPARE(link->receivedBlocks, 253);
        link->Disconnect();
        QCOMPARE(RingContent(*link), frame.left(capacity));
    }

    void faultyReplies_data()
    {
        QTest::addColumn<InstrumentSimulator::Faults>("faults");
        QTest::addColumn<int>("received");
        QTest::addColumn<bool>("complete");
        const QByteArray frame = VXFrame(3);
        InstrumentSimulator::Faults longer;
        longer.extraBytes = 600;
        QTest::newRow("over-long reply stops at 100") << longer << frame.size() + 600 << true;
        InstrumentSimulator::Faults tail;
        tail.truncateAt = 775;
        QTest::newRow("reply short of its last bytes") << tail << 775 << true;
        InstrumentSimulator::Faults cut;
        cut.truncateAt = 700;
        QTest::newRow("reply short of a block") << cut << 700 << false;
        InstrumentSimulator::Faults garbage;
        garbage.garbageBefore = QByteArray(40, char(0xEE));
        // Its header is garbage, so is its block count: it never ends by itself.
        QTest::newRow("garbage before the reply") << garbage << frame.size() + 40 << false;
    }
    void faultyReplies()
    {
        QFETCH(InstrumentSimulator::Faults, faults);
        QFETCH(int, received);
        QFETCH(bool, complete);
        Attach();
        sim->SetReply(VXFrame(3));
        sim->SetFaults(faults);
        QVERIFY(link->StartReadOut());
        int last = -1;
        const QList<int> seen = ReadToTheEnd(*link, *sim, &last);
        for (int p : seen)
            QVERIFY(p >= 0 && p <= 100);
        QCOMPARE(link->ReplyComplete(), complete);
        QCOMPARE(last == 100, complete);
        if (complete)
        {
            // Whatever else is on the line, 100 is reported once and stays.
            QVERIFY(sim->WaitUntilIdle(2000));
            ReadUntil(*link, received, 500);
            link->ReadChunk(&last);
            QCOMPARE(last, 100);
        }
        QCOMPARE(link->ring.Count(), received);
    }

    void plugPulledPartWay()
    {
        Attach(38400); // slow enough for the host to read along
        const QByteArray frame = VXFrame(10);
        sim->SetReply(frame);
        InstrumentSimulator::Faults faults;
        faults.unplugAfter = 1000;
        sim->SetFaults(faults);
        QVERIFY(link->StartReadOut());
        int percent = -1;
        QElapsedTimer clock;
        clock.start();
        while (!sim->Unplugged() && clock.elapsed() < 5000)
        {
            link->ReadChunk(&percent);
            PauseMs(2);
        }
        QVERIFY(sim->Unplugged());
        QVERIFY(!QFileInfo(folder->filePath("COM3")).isSymLink());
        // What arrived before the plug was pulled is kept; what the line
        // still held is lost with it.
        const int held = link->ring.Count();
        QVERIFY2(held > 0 && held <= 1000, qPrintable(QString::number(held)));

        for (int i = 0; i < 5; ++i)
        {
            QCOMPARE(link->ReadChunk(&percent), 0);
            QVERIFY(percent < 100);
            PauseMs(10);
        }
        QVERIFY(!link->ReplyComplete());
        QCOMPARE(link->ring.Count(), held);
        link->Disconnect();
        QCOMPARE(QByteArray(link->ring.header->base, held), frame.left(held));
        QVERIFY(!PortExists(Com));
        link->SetPort(Com);
        QVERIFY(!link->StartReadOut());
        QCOMPARE(RingContent(*link), QByteArray()); // a failed start still resets
    }

    void cancelledReadOutLeavesNothingBehind()
    {
        Attach(38400);
        sim->SetReply(VXFrame(20));
        QVERIFY(link->StartReadOut());
        ReadUntil(*link, 600);
        link->Disconnect(); // the user cancels part way
        PauseMs(50);
        // The next search and read-out see only fresh answers, and the
        // read-out starts from an empty ring.
        QVERIFY(link->Probe());
        sim->SetReply(TRFrame(1));
        QVERIFY(link->StartReadOut());
        QCOMPARE(link->ring.Count(), 0);
        QCOMPARE(link->totalBlocks, 0);
        QVERIFY(!link->ReplyComplete());
        int last = -1;
        ReadToTheEnd(*link, *sim, &last);
        QCOMPARE(last, 100);
        link->Disconnect();
        QCOMPARE(RingContent(*link), TRFrame(1));
        QCOMPARE(sim->Commands(), (QList<QByteArray>{Command(6), Command(1), Command(6)}));
    }

    void twoInstrumentsAtOnce()
    {
        InstrumentSimulator third;
        InstrumentSimulator seventh;
        third.SetLineSpeed(0);
        seventh.SetLineSpeed(0);
        third.SetReply(VXFrame(2));
        seventh.SetReply(TRFrame(1));
        QVERIFY(third.Start(folder->path(), 3));
        QVERIFY(seventh.Start(folder->path(), 7));
        CWQXUSTester a;
        CWQXUSTester b;
        a.SetPort(3);
        b.SetPort(7);
        QVERIFY(a.Probe());
        QVERIFY(b.Probe());
        QVERIFY(a.StartReadOut());
        QVERIFY(b.StartReadOut());
        int pa = -1;
        int pb = -1;
        ReadToTheEnd(a, third, &pa);
        ReadToTheEnd(b, seventh, &pb);
        QCOMPARE(pa, 100);
        QCOMPARE(pb, 100);
        QCOMPARE(RingContent(a), VXFrame(2));
        QCOMPARE(RingContent(b), TRFrame(1));
        QCOMPARE(third.Commands(), (QList<QByteArray>{Command(1), Command(6)}));
        QCOMPARE(seventh.Commands(), (QList<QByteArray>{Command(1), Command(6)}));
    }

    void builtRepliesDecodeToTheirRecords_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("gapEvery"); // an empty slot after every n-th record; 0 none
        QTest::newRow("VX-nn, one page") << int(Family::VXnn) << 32 << 0;
        QTest::newRow("VX-nn with empty slots") << int(Family::VXnn) << 70 << 3;
        QTest::newRow("TR-620, part of a page") << int(Family::TR620) << 20 << 0;
        QTest::newRow("TR-620 with empty slots, many pages") << int(Family::TR620) << 400 << 5;
    }
    void builtRepliesDecodeToTheirRecords()
    {
        QFETCH(int, family);
        QFETCH(int, count);
        QFETCH(int, gapEvery);
        const Family f = Family(family);
        const std::vector<CMeasurement> records = ReplyBuilder::GeneratedSet(f, count);
        std::vector<CMeasurement> layout;
        for (std::size_t i = 0; i < records.size(); ++i)
        {
            layout.push_back(records[i]);
            if (gapEvery > 0 && (i + 1) % std::size_t(gapEvery) == 0)
                layout.push_back(CMeasurement());
        }
        const QByteArray frame = ReplyBuilder::Frame(f, layout);
        const int pages = int((layout.size() + 31) / 32);
        QCOMPARE(long(frame.size()), ReplyFrame::AnnouncedLength(frame.constData(), 11));
        QCOMPARE(static_cast<unsigned char>(frame[10]), pages);

        CTRData data;
        QVERIFY(data.Decode(frame.constData(), unsigned(frame.size())));
        QCOMPARE(data.family, f == Family::TR620 ? QString("TR-620") : QString("VX-nn"));
        int total = 0;
        for (int g = 1; g <= data.groupCount; ++g)
            total += data.RecordCount(g);
        QCOMPARE(std::size_t(total), records.size());
        std::size_t next = 0;
        for (int g = 1; g <= data.groupCount; ++g)
        {
            for (int pos = 1; pos <= data.RecordCount(g); ++pos, ++next)
            {
                CMeasurement got;
                QVERIFY(data.GetRecord(g, pos, &got));
                const CMeasurement& want = records[next];
                QCOMPARE(
                    QList<int>({got.group, got.cell, got.value, got.divisor, got.kind, got.unit}),
                    QList<int>(
                        {want.group, want.cell, want.value, want.divisor, want.kind, want.unit}));
            }
        }
        QCOMPARE(next, records.size());
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
