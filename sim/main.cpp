// parvesta-sim: an instrument on a pseudo-terminal, for trying the program
// without one.
#include "InstrumentSimulator.h"
#include "ReplyBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace
{
const char* const Description =
    "Stands in for a hand-held instrument on a pseudo-terminal. The terminal is\n"
    "linked as COMn in the ports folder, where Parvesta finds it like any serial\n"
    "port pinned to a COM number. The instrument answers the identify command\n"
    "with \"ZELTRA OMNI\" and the read-out command with one reply frame holding\n"
    "its records, sent at the pace of the line speed (speed / 10 bytes per\n"
    "second). When the host closes the port, the rest of a reply is dropped, and\n"
    "so is what the host had not read yet, as a real port would lose it. Runs\n"
    "until interrupted (Ctrl+C) and prints each command it receives.";

int Number(const QCommandLineParser& parser, const QString& name, bool* ok)
{
    bool good = false;
    const int value = parser.value(name).toInt(&good);
    if (!good || value < 0)
    {
        std::fprintf(stderr, "parvesta-sim: --%s wants a number of 0 or more\n", qPrintable(name));
        *ok = false;
    }
    return value;
}

QString Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parvesta-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    parser.addOptions({
        {"ports", "Folder for the COMn link (default: ports beside this program).", "folder",
         QCoreApplication::applicationDirPath() + "/ports"},
        {"com", "COM number to appear as (default 1).", "n", "1"},
        {"family", "Instrument family of the reply: vx or tr620 (default vx).", "family", "vx"},
        {"records", "Number of generated records in the reply (default 40).", "n", "40"},
        {"pages", "Pages announced and sent, at least what the records need.", "n", "0"},
        {"empty-slots", "Empty slots, one after each of the first records.", "n", "0"},
        {"reply-file", "Send this file's bytes as the reply instead.", "file"},
        {"speed", "Line speed in bits per second; 0 sends unpaced (default 38400).", "bps",
         "38400"},
        {"id", "Identification to answer with (default ZELTRA OMNI).", "text"},
        {"silent", "Answer no command."},
        {"truncate", "Stop the reply after this many bytes.", "n"},
        {"extra", "Send this many further bytes after the reply.", "n", "0"},
        {"garbage", "Send this many garbage bytes ahead of the reply.", "n", "0"},
        {"unplug", "Pull the plug after this many bytes of a read-out answer.", "n"},
        {"pause-at", "Stop before this byte of a read-out answer (with --pause-ms).", "n"},
        {"pause-ms", "How long to stop there, in milliseconds (default 0).", "ms", "0"},
        {"keeps-sending", "Go on with an answer when the host closes the port."},
    });
    parser.process(app);

    bool ok = true;
    const int com = Number(parser, "com", &ok);
    const int records = Number(parser, "records", &ok);
    const int pages = Number(parser, "pages", &ok);
    const int emptySlots = Number(parser, "empty-slots", &ok);
    const int speed = Number(parser, "speed", &ok);
    InstrumentSimulator::Faults faults;
    faults.silent = parser.isSet("silent");
    faults.extraBytes = Number(parser, "extra", &ok);
    faults.garbageBefore = QByteArray(Number(parser, "garbage", &ok), char(0xEE));
    if (parser.isSet("truncate"))
        faults.truncateAt = Number(parser, "truncate", &ok);
    if (parser.isSet("unplug"))
        faults.unplugAfter = Number(parser, "unplug", &ok);
    if (parser.isSet("pause-at"))
        faults.pauseAt = Number(parser, "pause-at", &ok);
    faults.pauseMs = Number(parser, "pause-ms", &ok);
    faults.keepsSending = parser.isSet("keeps-sending");

    const QString familyName = parser.value("family").toLower();
    if (familyName != "vx" && familyName != "tr620")
    {
        std::fprintf(stderr, "parvesta-sim: --family is vx or tr620\n");
        ok = false;
    }
    if (!ok || com < 1)
        return 2;

    QByteArray reply;
    if (parser.isSet("reply-file"))
    {
        QFile file(parser.value("reply-file"));
        if (!file.open(QIODevice::ReadOnly))
        {
            std::fprintf(stderr, "parvesta-sim: cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        reply = file.readAll();
    }
    else
    {
        const auto family =
            familyName == "tr620" ? ReplyFrame::Family::TR620 : ReplyFrame::Family::VXnn;
        std::vector<CMeasurement> layout;
        int gaps = emptySlots;
        for (const CMeasurement& record : ReplyBuilder::GeneratedSet(family, records))
        {
            layout.push_back(record);
            if (gaps-- > 0)
                layout.push_back(CMeasurement());
        }
        for (; gaps > 0; --gaps)
            layout.push_back(CMeasurement());
        reply = ReplyBuilder::Frame(family, layout, pages);
    }

    // Interrupts are taken below, not by a handler on some thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    InstrumentSimulator sim;
    sim.SetLineSpeed(speed);
    sim.SetReply(reply);
    sim.SetFaults(faults);
    if (parser.isSet("id"))
        sim.SetIdentification(parser.value("id").toLatin1());
    if (!sim.Start(parser.value("ports"), com))
    {
        std::fprintf(stderr, "parvesta-sim: cannot attach as COM%d in %s\n", com,
                     qPrintable(parser.value("ports")));
        return 1;
    }
    std::printf("parvesta-sim: COM%d is %s -> %s; reply of %d bytes at %d bit/s\n", com,
                qPrintable(sim.LinkPath()), qPrintable(sim.TerminalPath()), int(reply.size()),
                speed);
    std::fflush(stdout);

    int shown = 0;
    bool unplugShown = false;
    const timespec tick{0, 100 * 1000 * 1000};
    while (sigtimedwait(&stopSignals, nullptr, &tick) < 0)
    {
        const QList<QByteArray> commands = sim.Commands();
        for (; shown < commands.size(); ++shown)
            std::printf("command %d: %s\n", static_cast<unsigned char>(commands[shown][8]),
                        qPrintable(Hex(commands[shown])));
        if (sim.Unplugged() && !unplugShown)
        {
            std::printf("plug pulled after %lld bytes\n", static_cast<long long>(sim.BytesSent()));
            unplugShown = true;
        }
        std::fflush(stdout);
    }
    sim.Stop();
    std::printf("parvesta-sim: stopped, %lld bytes sent\n",
                static_cast<long long>(sim.BytesSent()));
    return 0;
}
