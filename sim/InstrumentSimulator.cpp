#include "InstrumentSimulator.h"

#include "CommandFrame.h"
#include "ReplyBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{
constexpr int SendingPollMs = 1; // paced output goes out in small steps
constexpr int IdlePollMs = 10;
constexpr int HungUpPauseMs = 5; // no host on the line: the terminal reports that at once
constexpr int MaxStep = 4096;    // bytes offered to the terminal at a time

QByteArray DefaultReply()
{
    using ReplyFrame::Family;
    return ReplyBuilder::Frame(Family::VXnn, ReplyBuilder::GeneratedSet(Family::VXnn, 40));
}
} // namespace

InstrumentSimulator::InstrumentSimulator()
    : identification(CommandFrame::Identification, CommandFrame::IdentificationSize),
      reply(DefaultReply())
{
}

InstrumentSimulator::~InstrumentSimulator()
{
    Stop();
}

bool InstrumentSimulator::Start(const QString& portsFolder, int comNumber)
{
    if (IsRunning() || comNumber < 1 || !QDir().mkpath(portsFolder))
        return false;
    const QString link = QDir(portsFolder).absoluteFilePath(QStringLiteral("COM%1").arg(comNumber));
    const QFileInfo existing(link);
    if (existing.isSymLink())
        QFile::remove(link);
    else if (existing.exists())
        return false;

    const int fd = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char name[128];
    termios line;
    // The terminal is raw from the start, so nothing the instrument sends is
    // echoed or edited before the host takes the line over.
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0 ||
        ::tcgetattr(fd, &line) != 0)
    {
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&line);
    if (::tcsetattr(fd, TCSANOW, &line) != 0 ||
        ::symlink(name, QFile::encodeName(link).constData()) != 0)
    {
        ::close(fd);
        return false;
    }

    {
        std::lock_guard<std::mutex> lock(mutex);
        master = fd;
        running = true;
        linkPath = link;
        terminalPath = QString::fromLocal8Bit(name);
        inbox.clear();
        hostBytes.clear();
        commands.clear();
        outbox.clear();
        outPos = 0;
        sent = 0;
        unplugCountdown = -1;
        pauseCountdown = -1;
        hostPresent = true;
        unplugged = false;
    }
    stopping = false;
    worker = std::thread(&InstrumentSimulator::Run, this);
    return true;
}

void InstrumentSimulator::Stop()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    std::lock_guard<std::mutex> lock(mutex);
    if (!running)
        return;
    if (master >= 0)
    {
        ::close(master);
        master = -1;
        RemoveLink();
    }
    running = false;
    changed.notify_all();
}

bool InstrumentSimulator::IsRunning() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return running;
}

QString InstrumentSimulator::LinkPath() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return linkPath;
}

QString InstrumentSimulator::TerminalPath() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return terminalPath;
}

void InstrumentSimulator::SetLineSpeed(int bitsPerSecond)
{
    std::lock_guard<std::mutex> lock(mutex);
    lineSpeed = std::max(bitsPerSecond, 0);
    paceStart = Clock::now();
    pacedBytes = 0;
}

void InstrumentSimulator::SetIdentification(const QByteArray& answer)
{
    std::lock_guard<std::mutex> lock(mutex);
    identification = answer;
}

void InstrumentSimulator::SetReply(const QByteArray& frame)
{
    std::lock_guard<std::mutex> lock(mutex);
    reply = frame;
}

void InstrumentSimulator::SetFaults(const Faults& chosen)
{
    std::lock_guard<std::mutex> lock(mutex);
    faults = chosen;
}

void InstrumentSimulator::Send(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    Enqueue(bytes);
}

QByteArray InstrumentSimulator::HostBytes() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return hostBytes;
}

QList<QByteArray> InstrumentSimulator::Commands() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return commands;
}

qint64 InstrumentSimulator::BytesSent() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
}

bool InstrumentSimulator::Unplugged() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return unplugged;
}

template <typename Predicate> bool InstrumentSimulator::WaitFor(int timeoutMs, Predicate done) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

bool InstrumentSimulator::WaitForCommands(int count, int timeoutMs) const
{
    return WaitFor(timeoutMs, [&] { return commands.size() >= count; });
}

bool InstrumentSimulator::WaitForBytesSent(qint64 count, int timeoutMs) const
{
    return WaitFor(timeoutMs, [&] { return sent >= count; });
}

bool InstrumentSimulator::WaitUntilIdle(int timeoutMs) const
{
    return WaitFor(timeoutMs, [&] { return outPos >= outbox.size() || unplugged; });
}

void InstrumentSimulator::Run()
{
    while (!stopping)
    {
        pollfd line{-1, POLLIN, 0};
        bool sending = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            line.fd = master;
            sending = outPos < outbox.size();
        }
        if (line.fd < 0) // unplugged: nothing to do until stopped
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(IdlePollMs));
            continue;
        }
        ::poll(&line, 1, sending ? SendingPollMs : IdlePollMs);

        bool idleWithoutHost = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const bool hungUp = (line.revents & POLLHUP) != 0 && (line.revents & POLLIN) == 0;
            if (hungUp && hostPresent)
                HostHungUp();
            hostPresent = !hungUp;
            if (line.revents & POLLIN)
                ReadHost();
            Flush();
            changed.notify_all();
            idleWithoutHost = hungUp && outPos >= outbox.size();
        }
        // Without a host the terminal reports the hang-up at once: do not spin.
        if (idleWithoutHost)
            std::this_thread::sleep_for(std::chrono::milliseconds(HungUpPauseMs));
    }
}

void InstrumentSimulator::HostHungUp()
{
    // The host closed the port: an answer in progress goes nowhere, or on
    // into the void.
    if (!faults.keepsSending)
    {
        outbox.clear();
        outPos = 0;
        wholeUntil = 0;
        unplugCountdown = -1;
        pauseCountdown = -1;
    }
    // A real port loses what arrives while no program has it open, but the
    // terminal would keep it for the next one: throw away what was not read.
    const int terminal = ::open(QFile::encodeName(terminalPath).constData(),
                                O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal >= 0)
    {
        ::tcflush(terminal, TCIFLUSH);
        ::close(terminal);
    }
}

void InstrumentSimulator::ReadHost()
{
    char buffer[4096];
    for (;;)
    {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
        {
            hostBytes.append(buffer, int(n));
            inbox.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // drained, or the host has gone (EIO)
    }
    TakeCommands();
}

void InstrumentSimulator::TakeCommands()
{
    for (;;)
    {
        using namespace CommandFrame;
        const int at = inbox.indexOf(QByteArray(Prefix, PrefixSize));
        if (at < 0)
        {
            // Keep a tail that may be the start of the next command.
            inbox = inbox.right(PrefixSize - 1);
            return;
        }
        inbox.remove(0, at);
        if (inbox.size() < HeaderSize)
            return;
        const int length = HeaderSize + static_cast<unsigned char>(inbox[LengthOffset]);
        if (inbox.size() < length)
            return;
        commands.append(inbox.left(length));
        const auto code = static_cast<std::uint8_t>(inbox[CodeOffset]);
        inbox.remove(0, length);
        Answer(code);
    }
}

void InstrumentSimulator::Answer(std::uint8_t code)
{
    if (faults.silent)
        return;
    if (code == CommandFrame::Identify)
    {
        // The identification arrives whole once its wire time has passed, so
        // a host that polls meanwhile sees none of it rather than a part.
        Enqueue(identification);
        wholeUntil = outbox.size();
    }
    else if (code == CommandFrame::ReadOut)
    {
        QByteArray answer = faults.garbageBefore;
        answer.append(faults.truncateAt >= 0 ? reply.left(faults.truncateAt) : reply);
        if (faults.truncateAt < 0 && faults.extraBytes > 0)
            answer.append(QByteArray(faults.extraBytes, char(0x5A)));
        Enqueue(answer);
        pauseCountdown = faults.pauseMs > 0 ? faults.pauseAt : -1;
        unplugCountdown = faults.unplugAfter;
        if (unplugCountdown == 0)
            Unplug();
    }
}

void InstrumentSimulator::Enqueue(const QByteArray& bytes)
{
    if (bytes.isEmpty() || unplugged)
        return;
    if (outPos >= outbox.size())
    {
        outbox.clear();
        outPos = 0;
        wholeUntil = 0;
        paceStart = Clock::now();
        pacedBytes = 0;
    }
    outbox.append(bytes);
}

void InstrumentSimulator::Flush()
{
    if (master < 0 || outPos >= outbox.size() || Clock::now() < pauseUntil)
        return;
    if (pauseCountdown == 0)
    {
        // The pause begins; afterwards the pace starts afresh.
        pauseCountdown = -1;
        pauseUntil = Clock::now() + std::chrono::milliseconds(faults.pauseMs);
        paceStart = pauseUntil;
        pacedBytes = 0;
        return;
    }
    qint64 allowed =
        std::min<qint64>(outbox.size() - outPos, std::max(MaxStep, wholeUntil - outPos));
    if (lineSpeed > 0)
    {
        const double seconds = std::chrono::duration<double>(Clock::now() - paceStart).count();
        allowed = std::min(allowed, qint64(seconds * lineSpeed / 10.0) - pacedBytes);
    }
    if (unplugCountdown >= 0)
        allowed = std::min(allowed, unplugCountdown);
    if (pauseCountdown >= 0)
        allowed = std::min(allowed, pauseCountdown);
    if (allowed <= 0 || allowed < wholeUntil - outPos)
        return;

    // Without a host on the line what the instrument sends is lost.
    const ssize_t n = hostPresent
                          ? ::write(master, outbox.constData() + outPos, std::size_t(allowed))
                          : ssize_t(allowed);
    if (n > 0)
    {
        outPos += int(n);
        if (pauseCountdown >= 0)
            pauseCountdown -= n;
        pacedBytes += n;
        sent += n;
        if (unplugCountdown >= 0)
        {
            unplugCountdown -= n;
            if (unplugCountdown == 0)
            {
                Unplug();
                return;
            }
        }
    }
    if (n > 0 && outPos >= wholeUntil)
        wholeUntil = 0;
    if (n < allowed)
    {
        // The host is not reading: start pacing again once it does, rather
        // than bursting what was held back.
        paceStart = Clock::now();
        pacedBytes = 0;
    }
    if (outPos >= outbox.size())
    {
        outbox.clear();
        outPos = 0;
    }
}

void InstrumentSimulator::Unplug()
{
    if (master >= 0)
        ::close(master);
    master = -1;
    RemoveLink();
    outbox.clear();
    outPos = 0;
    wholeUntil = 0;
    unplugCountdown = -1;
    pauseCountdown = -1;
    unplugged = true;
}

void InstrumentSimulator::RemoveLink()
{
    // Only our own link: another simulator may have taken the number since.
    if (QFileInfo(linkPath).symLinkTarget() == terminalPath)
        QFile::remove(linkPath);
}
