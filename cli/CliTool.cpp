#include "CliTool.h"

#include "CQuorvanta.h"
#include "JsonFile.h"
#include "SerialPort.h"
#include "Statistics.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace
{
const char* const MainHelp =
    "Usage: parvesta-cli COMMAND [OPTIONS]\n"
    "\n"
    "Reads the results stored in a VX-nn or TR-620 instrument, as the Parvesta\n"
    "window does, for scripts and lab systems. Progress and messages go to\n"
    "standard error; results go to standard output or to the file named.\n"
    "\n"
    "Commands:\n"
    "  scan       every candidate serial port and what happened on it\n"
    "  download   read the instrument's results and write them\n"
    "  decode     read the results of an instrument reply saved earlier (.bin)\n"
    "  stats      the statistics per group and unit, of a download or a saved reply\n"
    "\n"
    "`parvesta-cli COMMAND --help` describes a command. Settings (COM speed and\n"
    "port, the virtual device) come from the Settings.ini the window uses; this\n"
    "program never writes it.\n"
    "\n"
    "Exit codes: 0 done, 2 no instrument, 3 transfer failed or stalled, 4 the\n"
    "output could not be written (an earlier file is left as it was), 64 bad usage.\n";

const char* const ScanHelp =
    "Usage: parvesta-cli scan\n"
    "\n"
    "Lists every candidate port (COM1 to COM49, or the port Settings.ini fixes)\n"
    "with its COM number, its device and what happened, one port a line, tab-\n"
    "separated: answered, silent, other-answer, busy, no-permission (with the\n"
    "dialout hint), not-serial, console, virtual-device. The summary goes to\n"
    "standard error. Exit 0 when an instrument answered, else 2.\n";

const char* const DownloadHelp =
    "Usage: parvesta-cli download [OPTIONS]\n"
    "\n"
    "Finds the instrument (or uses the port given), reads out its results and\n"
    "writes them: by default as CSV to standard output, exactly as the window\n"
    "saves them.\n"
    "\n"
    "Options:\n"
    "  --port COMn|PATH      use this port only (a COM number, or a device path)\n"
    "  --speed N             line speed in bits per second (default from Settings.ini)\n"
    "  -o, --output FILE     write to FILE; its extension chooses the format:\n"
    "                        .xlsx workbook, .json JSON, .bin the instrument's reply,\n"
    "                        anything else CSV. An earlier FILE is replaced only\n"
    "                        when the new one is whole.\n"
    "  --format csv|xlsx|json  the format, whatever the extension\n"
    "  --raw FILE            also keep the instrument's reply, byte for byte\n"
    "  --decimal . | ,       decimal separator of the CSV (default: the locale's)\n"
    "  --timeout S           give up when no byte came for S seconds (default 10)\n"
    "  --keep-partial        on a stall, still write the records of the whole\n"
    "                        pages that arrived (the exit code is still 3)\n"
    "  --quiet               no progress and no messages\n";

const char* const DecodeHelp =
    "Usage: parvesta-cli decode FILE.bin [OPTIONS]\n"
    "\n"
    "Decodes an instrument reply saved earlier (by the window's Save As with a\n"
    ".bin name, or by download --raw) and writes the results as download does.\n"
    "\n"
    "Options: -o FILE, --format csv|xlsx|json, --decimal . | , and --quiet, as\n"
    "for download.\n";

const char* const StatsHelp =
    "Usage: parvesta-cli stats [FILE.bin] [OPTIONS]\n"
    "\n"
    "Prints the statistics per group and unit (count, minimum, maximum, mean,\n"
    "standard deviation) of a saved reply, or, without a file, of a download\n"
    "from the instrument; the options of download select the port and the\n"
    "line (--port, --speed, --timeout, --keep-partial, --raw, --quiet).\n";

const char* HelpOf(const QString& command)
{
    if (command == QLatin1String("scan"))
        return ScanHelp;
    if (command == QLatin1String("download"))
        return DownloadHelp;
    if (command == QLatin1String("decode"))
        return DecodeHelp;
    if (command == QLatin1String("stats"))
        return StatsHelp;
    return MainHelp;
}

// The reason a port was not asked, as a fixed word for scripts.
QString ErrorKeyword(PortError error)
{
    switch (error)
    {
    case PortError::None:
    case PortError::Failed:
        break;
    case PortError::Missing:
        return QStringLiteral("missing");
    case PortError::Busy:
        return QStringLiteral("busy");
    case PortError::NoPermission:
        return QStringLiteral("no-permission");
    case PortError::NotSerial:
        return QStringLiteral("not-serial");
    case PortError::Console:
        return QStringLiteral("console");
    case PortError::LineRefused:
        return QStringLiteral("line-refused");
    }
    return QStringLiteral("failed");
}

void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The options of a download; decode and stats take those that apply.
void AddOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {"port", "", "port"},
        {"speed", "", "bits"},
        {{"o", "output"}, "", "file"},
        {"format", "", "format"},
        {"raw", "", "file"},
        {"decimal", "", "separator"},
        {"timeout", "", "seconds", "10"},
        {"keep-partial", ""},
        {"quiet", ""},
        {{"h", "help"}, ""},
    });
}
} // namespace

CliTool::CliTool() : terminal(::isatty(STDERR_FILENO) != 0) {}

CliTool::~CliTool() = default;

int CliTool::Run(const QStringList& arguments)
{
    const QString command = arguments.value(1);
    if (command.isEmpty() || command == QLatin1String("-h") || command == QLatin1String("--help"))
    {
        Print(command.isEmpty() ? stderr : stdout, QString::fromLatin1(MainHelp));
        return command.isEmpty() ? BadUsage : Done;
    }
    const QStringList rest = arguments.mid(1); // the command stands in for the program name
    if (command == QLatin1String("scan"))
        return Scan(rest);
    if (command == QLatin1String("download"))
        return Download(rest, false);
    if (command == QLatin1String("decode"))
        return Decode(rest, false);
    if (command == QLatin1String("stats"))
        return rest.size() > 1 && !rest[1].startsWith('-') ? Decode(rest, true)
                                                           : Download(rest, true);
    return Usage(tr("unknown command %1").arg(command));
}

bool CliTool::Parse(QCommandLineParser& parser, const QStringList& arguments,
                    const QString& command, int* exit)
{
    AddOptions(parser);
    if (!parser.parse(arguments))
    {
        *exit = Usage(parser.errorText(), command);
        return false;
    }
    if (parser.isSet("help"))
    {
        Print(stdout, QString::fromLatin1(HelpOf(command)));
        *exit = Done;
        return false;
    }
    quiet = parser.isSet("quiet");
    // Settings.ini is the window's: read here, never written.
    engine = std::make_unique<CQuorvanta>();
    engine->writesSettings = false;
    return true;
}

int CliTool::Usage(const QString& problem, const QString& command)
{
    Print(stderr, QStringLiteral("parvesta-cli: %1\n\n").arg(problem) +
                      QString::fromLatin1(HelpOf(command)));
    return BadUsage;
}

void CliTool::Say(const QString& text) const
{
    if (!quiet)
        Print(stderr, text + '\n');
}

int CliTool::Scan(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption({{"h", "help"}, ""});
    parser.addOption({"quiet", ""});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty())
        return Usage(parser.errorText().isEmpty() ? tr("scan takes no arguments")
                                                  : parser.errorText(),
                     QStringLiteral("scan"));
    if (parser.isSet("help"))
    {
        Print(stdout, QString::fromLatin1(ScanHelp));
        return Done;
    }
    quiet = parser.isSet("quiet");
    engine = std::make_unique<CQuorvanta>();
    engine->writesSettings = false;
    const bool found = engine->FindDevice();
    // One line per port that could be asked: COM number, device, a fixed
    // keyword for scripts, and what a person can do about it.
    for (const CQuorvanta::PortOutcome& port : engine->searchedPorts)
    {
        QString outcome, hint;
        switch (port.result)
        {
        case CQuorvanta::PortOutcome::Answered:
            outcome = QStringLiteral("answered");
            break;
        case CQuorvanta::PortOutcome::Virtual:
            outcome = QStringLiteral("virtual-device");
            break;
        case CQuorvanta::PortOutcome::Silent:
            outcome = QStringLiteral("silent");
            break;
        case CQuorvanta::PortOutcome::OtherAnswer:
            outcome = QStringLiteral("other-answer");
            break;
        case CQuorvanta::PortOutcome::NotAsked:
            outcome = QStringLiteral("not-asked");
            break;
        case CQuorvanta::PortOutcome::NotOpened:
            outcome = ErrorKeyword(port.error);
            if (port.error == PortError::NoPermission)
                hint = tr("add the user to the dialout group");
            break;
        }
        // Numbers with nothing behind them are no candidates, unless fixed.
        if (port.result == CQuorvanta::PortOutcome::NotOpened && port.error == PortError::Missing &&
            !engine->fixedPort)
            continue;
        // A pinned port is named by the device its link leads to.
        const QString target = QFileInfo(port.device).canonicalFilePath();
        const QString device = !target.isEmpty()       ? target
                               : port.device.isEmpty() ? QStringLiteral("-")
                                                       : port.device;
        Print(stdout, QStringLiteral("COM%1\t%2\t%3%4\n")
                          .arg(port.number)
                          .arg(device, outcome, hint.isEmpty() ? QString() : '\t' + hint));
    }
    Say(engine->SearchSummary());
    return found ? Done : NoInstrument;
}

bool CliTool::ApplyPort(const QString& port)
{
    static const QRegularExpression comNumber(QStringLiteral("^(?:COM|com)([1-9][0-9]*)$"));
    const QRegularExpressionMatch match = comNumber.match(port);
    engine->fixedPort = true;
    if (match.hasMatch())
    {
        engine->comPort = match.captured(1).toInt();
        portLabel = port.toUpper();
        return true;
    }
    // A device path: pinned to a COM number of a ports folder of our own, the
    // way a user pins a device for the window.
    static QTemporaryDir pinned;
    if (!pinned.isValid() ||
        !QFile::link(QFileInfo(port).absoluteFilePath(), pinned.filePath(QStringLiteral("COM1"))))
        return false;
    SetPortsFolder(pinned.path());
    engine->comPort = 1;
    portLabel = port;
    portDevice = QFileInfo(port).canonicalFilePath();
    return true;
}

int CliTool::Download(const QStringList& arguments, bool statisticsOnly)
{
    const QString command = statisticsOnly ? QStringLiteral("stats") : QStringLiteral("download");
    QCommandLineParser parser;
    if (int exit = Done; !Parse(parser, arguments, command, &exit))
        return exit;
    if (!parser.positionalArguments().isEmpty())
        return Usage(tr("%1 takes no file").arg(command), command);
    bool ok = true;
    const int timeout = parser.value("timeout").toInt(&ok);
    if (!ok || timeout < 1)
        return Usage(tr("--timeout wants a number of seconds, 1 or more"), command);
    int speed = 0;
    if (parser.isSet("speed") && ((speed = parser.value("speed").toInt(&ok)) <= 0 || !ok))
        return Usage(tr("--speed wants a speed in bits per second"), command);
    // Checked before the instrument is asked: bad options cost no transfer.
    if (const int bad = WriteResults(parser, statisticsOnly); bad != Done)
        return bad;
    if (speed > 0)
        engine->comSpeed = speed;
    if (parser.isSet("port") && !ApplyPort(parser.value("port")))
        return Usage(tr("--port wants COMn or the path of a serial device"), command);

    if (!engine->FindDevice())
    {
        Say(engine->SearchSummary());
        return NoInstrument;
    }
    if (portLabel.isEmpty() || portLabel.startsWith(QLatin1String("COM")))
        portLabel = QStringLiteral("COM%1").arg(engine->currentLink->portNumber);
    if (portDevice.isEmpty())
        portDevice = QString::fromLocal8Bit(engine->currentLink->portName);

    const int transferred = Transfer(timeout, parser.isSet("keep-partial"));
    if (parser.isSet("raw"))
        if (const int raw = WriteRaw(parser.value("raw")); raw != Done)
            return raw;
    if (transferred != Done && engine->incomplete.pagesAnnounced == 0)
        return transferred; // nothing kept: nothing to write
    const int written = WriteResults(parser, statisticsOnly);
    return written != Done ? written : transferred;
}

int CliTool::Transfer(int timeoutSeconds, bool keepPartial)
{
    engine->stallMs = timeoutSeconds * 1000;
    if (!engine->StartTransfer())
    {
        Say(engine->StartFailure());
        return TransferFailed;
    }
    for (;;)
    {
        // Woken by the instrument's bytes, or every tenth of a second to
        // show progress and watch for a stall.
        const int port = engine->TransferDescriptor();
        pollfd wait{port, POLLIN, 0};
        const bool woken = port >= 0 && ::poll(&wait, 1, 100) > 0;
        const int moved = engine->ReadWaiting();
        if (port < 0 || (woken && moved == 0))
            QThread::msleep(20); // a line that hung up reports itself readable without end
        int percent = 0;
        engine->Progress(&percent);
        ShowProgress(percent);
        if (percent == 100)
            break;
        if (engine->Stalled())
        {
            engine->StopTransfer();
            ShowProgress(-1);
            Say(tr("No data came from %1 for %2 s: the transfer stopped.")
                    .arg(portLabel)
                    .arg(timeoutSeconds));
            if (keepPartial && engine->KeepPartial())
                Say(tr("Kept the %1 measurements of %2 of %3 pages.")
                        .arg(engine->incomplete.records)
                        .arg(engine->incomplete.pagesReceived)
                        .arg(engine->incomplete.pagesAnnounced));
            return TransferFailed;
        }
    }
    engine->StopTransfer();
    ShowProgress(-1);
    engine->Finish();
    if (engine->data.groupCount < 1)
    {
        if (!engine->ReplyRecognised())
        {
            Say(engine->msgFailed);
            return TransferFailed;
        }
        Say(QCoreApplication::translate("MainWindow", "No measurements in connected device!"));
    }
    return Done;
}

void CliTool::ShowProgress(int percent)
{
    if (quiet || percent == shownPercent)
        return;
    if (percent < 0) // the transfer is over: end the bar's line
    {
        if (terminal && shownPercent >= 0)
            Print(stderr, QStringLiteral("\n"));
        shownPercent = percent;
        return;
    }
    shownPercent = percent;
    if (!terminal)
    {
        Print(stderr, QStringLiteral("%1%\n").arg(percent));
        return;
    }
    const int width = 30;
    const int filled = percent * width / 100;
    Print(stderr, QStringLiteral("\r%1 [%2%3] %4 %")
                      .arg(portLabel, QString(filled, '#'), QString(width - filled, '-'))
                      .arg(percent, 3));
}

int CliTool::Decode(const QStringList& arguments, bool statisticsOnly)
{
    const QString command = statisticsOnly ? QStringLiteral("stats") : QStringLiteral("decode");
    QCommandLineParser parser;
    if (int exit = Done; !Parse(parser, arguments, command, &exit))
        return exit;
    if (parser.positionalArguments().size() != 1)
        return Usage(tr("%1 wants one saved reply").arg(command), command);
    if (const int bad = WriteResults(parser, statisticsOnly); bad != Done)
        return bad;

    const QString path = parser.positionalArguments().first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        Say(tr("%1 cannot be read: %2").arg(path, file.errorString()));
        return BadUsage;
    }
    portLabel = path;
    engine->ReadReply(file.readAll());
    if (engine->data.groupCount < 1 && !engine->ReplyRecognised())
    {
        Say(tr("%1 is not a reply of a known instrument.").arg(path));
        return TransferFailed;
    }
    return WriteResults(parser, statisticsOnly);
}

// Before a transfer (engine->data empty) this only checks the options; after
// it, it writes. Both ways it returns an exit code.
int CliTool::WriteResults(const QCommandLineParser& parser, bool statisticsOnly)
{
    const bool checking = engine->data.groupCount == 0 && engine->reply.isEmpty();
    const QString output = parser.value("output");
    QString format = parser.value("format").toLower();
    if (!format.isEmpty() && format != QLatin1String("csv") && format != QLatin1String("xlsx") &&
        format != QLatin1String("json"))
        return Usage(tr("--format wants csv, xlsx or json"));
    if (format.isEmpty())
    {
        const QString suffix = QFileInfo(output).suffix().toLower();
        format = suffix == QLatin1String("xlsx") || suffix == QLatin1String("json") ||
                         suffix == QLatin1String("bin")
                     ? suffix
                     : QStringLiteral("csv");
    }
    if (format == QLatin1String("xlsx") && output.isEmpty() && !statisticsOnly)
        return Usage(tr("a workbook needs a file: -o FILE.xlsx"));
    const QString decimal = parser.value("decimal");
    if (parser.isSet("decimal") && decimal != QLatin1String(".") && decimal != QLatin1String(","))
        return Usage(tr("--decimal wants . or ,"));
    if (checking)
        return Done;
    if (!decimal.isEmpty())
        engine->decimalSeparator = decimal;

    if (statisticsOnly)
    {
        // A table for people: columns as wide as their widest text.
        QList<QStringList> lines{engine->StatisticsColumns()};
        for (const Statistics::Row& s : Statistics::Compute(engine->data))
            lines << QStringList{QString::number(s.group),
                                 engine->UnitText(s.unit),
                                 QString::number(s.count),
                                 Statistics::Format(s.minimum, s.decimals),
                                 Statistics::Format(s.maximum, s.decimals),
                                 Statistics::Format(s.mean, s.decimals),
                                 s.count > 1 ? Statistics::Format(s.deviation, s.decimals)
                                             : QStringLiteral("-")};
        QList<int> widths(lines[0].size(), 0);
        for (const QStringList& line : lines)
            for (int c = 0; c < line.size(); ++c)
                widths[c] = qMax(widths[c], int(line[c].size()));
        for (const QStringList& line : lines)
        {
            QString text;
            for (int c = 0; c < line.size(); ++c)
                text += (c == 1 ? line[c].leftJustified(widths[c] + 2)
                                : line[c].rightJustified(widths[c]) + QStringLiteral("  "));
            while (text.endsWith(' '))
                text.chop(1);
            Print(stdout, text + '\n');
        }
        return Done;
    }

    JsonFile::Source source;
    source.port = portLabel;
    source.device = portDevice;
    source.pagesReceived = engine->incomplete.pagesReceived;
    source.pagesAnnounced = engine->incomplete.pagesAnnounced;
    if (output.isEmpty())
    {
        bool written;
        if (format == QLatin1String("json"))
        {
            const QByteArray document = JsonFile::Document(engine->data, source);
            written = std::fwrite(document.constData(), 1, std::size_t(document.size()), stdout) ==
                      std::size_t(document.size());
        }
        else
        {
            written = CsvFile::Write(stdout, engine->data, engine->CsvFormat());
        }
        if (!written || std::fflush(stdout) != 0)
        {
            Say(tr("The results could not be written to standard output."));
            return NotWritten;
        }
        return Done;
    }

    const QByteArray path = engine->EncodePath(QFileInfo(output).absoluteFilePath());
    bool written;
    QString why;
    if (format == QLatin1String("json"))
    {
        FileError error = FileError::None;
        int systemError = 0;
        written = JsonFile::Write(path, engine->data, source, &error, &systemError);
        why = engine->FileErrorText(error, systemError);
    }
    else if (format == QLatin1String("xlsx"))
        written = engine->Write(path.constData(), CQuorvanta::SaveFormat::Workbook);
    else if (format == QLatin1String("bin"))
        written = engine->Write(path.constData(), CQuorvanta::SaveFormat::Reply);
    else
        written = engine->Write(path.constData(), CQuorvanta::SaveFormat::Csv);
    if (!written)
    {
        Say(tr("%1 could not be written: %2.")
                .arg(output, why.isEmpty() ? engine->SaveErrorText() : why));
        return NotWritten;
    }
    Say(tr("Saved to %1").arg(output));
    return Done;
}

int CliTool::WriteRaw(const QString& path)
{
    const QByteArray target = engine->EncodePath(QFileInfo(path).absoluteFilePath());
    if (engine->Write(target.constData(), CQuorvanta::SaveFormat::Reply))
        return Done;
    Say(tr("%1 could not be written: %2.").arg(path, engine->SaveErrorText()));
    return NotWritten;
}
