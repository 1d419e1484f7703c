// parvesta-bench: speed figures of the program's parts. Each section is one
// function in the table below; `parvesta-bench` runs them all, `parvesta-bench
// NAME...` the named ones, `parvesta-bench --list` names them.
#include "link/CWQXUSTester.h"
#include "link/SerialPort.h"
#include "sim/InstrumentSimulator.h"
#include "sim/ReplyBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
struct Section
{
    const char* name;
    const char* about;
    bool (*run)();
};

// One read-out from the simulator through the link, polled every 500 ms as
// the program's timer does; wire time is bytes x 10 / speed.
bool ReadOutAtLineSpeed(ReplyFrame::Family family, const char* label, int pages, int speed)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    SetPortsFolder(folder.path());

    const QByteArray frame =
        ReplyBuilder::Frame(family, ReplyBuilder::GeneratedSet(family, pages * 32), pages);
    InstrumentSimulator sim;
    sim.SetReply(frame);
    sim.SetLineSpeed(speed);
    if (!sim.Start(folder.path(), 5))
    {
        std::printf("  %s: the simulator did not start\n", label);
        return false;
    }

    auto link = std::make_unique<CWQXUSTester>();
    link->SetPort(5);
    link->baudRate = speed;
    if (!link->StartReadOut())
    {
        std::printf("  %s: the port did not open\n", label);
        return false;
    }
    QElapsedTimer clock;
    clock.start();

    const double wireMs = frame.size() * 10.0 * 1000.0 / speed;
    const qint64 giveUpMs = qint64(wireMs) + 5000;
    int percent = 0;
    int polls = 0;
    while (percent != 100 && clock.elapsed() < giveUpMs)
    {
        PauseMs(500);
        ++polls;
        if (link->ReadChunk(&percent) == 0 && !link->ReplyComplete())
            percent = 0; // the program ignores a poll that read nothing
    }
    const qint64 measuredMs = clock.elapsed();
    link->Disconnect();
    SetPortsFolder(QString());

    std::vector<char> held(std::size_t(link->ring.Count()));
    link->ring.Read(held.data(), int(held.size()));
    const bool whole = percent == 100 && int(held.size()) == frame.size() &&
                       std::memcmp(held.data(), frame.constData(), held.size()) == 0;
    std::printf("  %-7s %6d bytes  wire %7.0f ms  measured %6lld ms  over wire %5.0f ms  "
                "%3d polls  %s\n",
                label, int(frame.size()), wireMs, static_cast<long long>(measuredMs),
                double(measuredMs) - wireMs, polls, whole ? "every byte arrived" : "INCOMPLETE");
    return whole;
}

bool LinkReadOut()
{
    bool ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 60, 38400);
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::TR620, "TR-620", 60, 38400) && ok;
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 3, 38400) && ok;
    // The largest reply the ring holds: about 17 s on the wire.
    ok = ReadOutAtLineSpeed(ReplyFrame::Family::VXnn, "VX-nn", 253, 38400) && ok;
    return ok;
}

const Section Sections[] = {
    {"link", "read-out at 38400 bit/s from the simulator, 500 ms polls", LinkReadOut},
};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList wanted = app.arguments().mid(1);
    if (wanted.contains(QStringLiteral("--list")) || wanted.contains(QStringLiteral("--help")))
    {
        for (const Section& section : Sections)
            std::printf("%-10s %s\n", section.name, section.about);
        return 0;
    }

    bool ok = true;
    int ran = 0;
    for (const Section& section : Sections)
    {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(section.name)))
            continue;
        std::printf("%s: %s\n", section.name, section.about);
        std::fflush(stdout);
        ok = section.run() && ok;
        ++ran;
    }
    if (ran == 0)
    {
        std::fprintf(stderr, "parvesta-bench: no such section; see --list\n");
        return 2;
    }
    return ok ? 0 : 1;
}
