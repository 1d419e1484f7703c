#include "CliTool.h"

#include "CArchive.h"
#include "CQuorvanta.h"
#include "CReadOut.h"
#include "CSafeFile.h"
#include "CSaveError.h"
#include "JsonFile.h"
#include "LimitsFile.h"
#include "SerialPort.h"
#include "Statistics.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const MainHelp =
    "Usage: parvesta-cli COMMAND [OPTIONS] [FILE]\n"
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
    "  history    the transfers kept in the archive; export one, or import a saved reply\n"
    "  report     the PDF report of a saved reply or an archived transfer\n"
    "\n"
    "`parvesta-cli COMMAND --help` describes a command. Options may come before\n"
    "or after a file name; file names are taken from the folder you are in.\n"
    "Settings (COM speed and port, the virtual device) come from the\n"
    "Settings.ini the window uses; this program never writes it.\n"
    "\n"
    "  -h, --help      this text\n"
    "  -V, --version   the program's name and version\n"
    "\n"
    "Exit codes: 0 done, 2 no instrument, 3 the transfer failed, stalled or was\n"
    "cut short (also with --keep-partial), or the reply was not understood, 4 an\n"
    "output could not be written (an earlier file is left as it was), 5 the archive\n"
    "could not be read or written, or holds no such transfer, 64 bad usage.\n";

const char* const ScanHelp =
    "Usage: parvesta-cli scan [-q] [-v]\n"
    "\n"
    "Lists every candidate port (COM1 to COM49, or the port Settings.ini fixes)\n"
    "with its COM number, its device and what happened, one port a line, tab-\n"
    "separated: answered, silent, other-answer, busy, no-permission (with the\n"
    "dialout hint), not-serial, console, virtual-device. The summary goes to\n"
    "standard error (not with -q); -v adds each probe, line by line. Exit 0 when\n"
    "an instrument answered, else 2.\n";

const char* const DownloadHelp =
    "Usage: parvesta-cli download [OPTIONS]\n"
    "\n"
    "Finds the instrument (or uses the port given), reads out its results and\n"
    "writes them: by default as CSV to standard output. The CSV is the same on\n"
    "every computer: the header \"Group\";\"Cell\";\"Result\";\"Unit\", English unit\n"
    "names and \".\" as decimal point, whatever the desktop's language.\n"
    "\n"
    "Options:\n"
    "  --port COMn|PATH      use this port only (COM1 to COM255, or a device path)\n"
    "  --speed N             line speed in bits per second (default from Settings.ini)\n"
    "  -o, --output FILE     write to FILE; its extension chooses the format:\n"
    "                        .xlsx workbook, .json JSON, .bin the instrument's reply,\n"
    "                        anything else CSV. An earlier FILE is replaced only\n"
    "                        when the new one is whole. -o - is standard output.\n"
    "  --format csv|xlsx|json  the format, whatever the extension\n"
    "  --raw FILE            also keep the instrument's reply, byte for byte, even\n"
    "                        when the transfer failed\n"
    "  --decimal . | ,       decimal separator of the CSV (default .)\n"
    "  --like-window         write the CSV or workbook exactly as the window saves\n"
    "                        it here: its language's column titles and units, the\n"
    "                        desktop's decimal separator (unless --decimal)\n"
    "  --timeout S           give up when no byte came for S seconds (default 10)\n"
    "  --keep-partial        on a stall, still write the records of the whole\n"
    "                        pages that arrived (the exit code is still 3)\n"
    "  --limit GROUP:LOW:HIGH  the job's limits for a group's readings as shown\n"
    "                        (\".\" as decimal point; LOW or HIGH may be empty);\n"
    "                        again for each group. Workbooks and JSON then judge\n"
    "                        the readings against them\n"
    "  --limits FILE         the limits of a Limits.ini (as the window keeps them);\n"
    "                        a --limit replaces the file's for its group\n"
    "  --no-archive          do not keep this transfer in the archive\n"
    "  --archive FILE|URL    the archive to keep it in, for this run (see history);\n"
    "                        a postgresql:// URL is a lab's server it is also sent to\n"
    "  -q, --quiet           no progress and no messages but what went wrong\n"
    "  -v, --verbose         what went over the wire and into the files, line by\n"
    "                        line on standard error (for support)\n"
    "\n"
    "-o and --raw are checked before the instrument is read: a folder that is\n"
    "missing or may not be written ends the program at once (exit 4). When one\n"
    "output fails after the read-out, the others are still written.\n"
    "\n"
    "Every transfer that brought records is kept in the archive, as the window\n"
    "keeps it, a cut-short one with --keep-partial too; when it cannot be kept,\n"
    "a line says why and the results are written all the same.\n"
    "\n"
    "JSON holds \"schema\" (1), \"program\", \"downloaded\" (UTC), \"family\", \"port\",\n"
    "\"device\", \"complete\", \"pagesAnnounced\", \"pagesReceived\", the \"records\"\n"
    "(group, cell, value, decimals, unit) and the \"statistics\"; with limits,\n"
    "also the \"limits\", each judged record's \"pass\" (true or false), and each\n"
    "judged statistics row's \"pass\" and \"fail\" counts, with \"cp\" and \"cpk\"\n"
    "where both limits exist.\n";

const char* const DecodeHelp =
    "Usage: parvesta-cli decode FILE.bin [OPTIONS]\n"
    "\n"
    "Decodes an instrument reply saved earlier (by the window's Save As with a\n"
    ".bin name, or by download --raw) and writes the results as download does;\n"
    "in JSON, \"downloaded\" is the time the file was last changed.\n"
    "\n"
    "A reply that was cut short is not decoded: the program says how many pages\n"
    "came and exits with 3. With --keep-partial it writes the records of the\n"
    "whole pages, still says so, and still exits with 3, as download does.\n"
    "\n"
    "Options: -o FILE, --format csv|xlsx|json, --decimal . | ,, --like-window,\n"
    "--keep-partial, --limit, --limits, -q and -v, as for download.\n";

const char* const StatsHelp =
    "Usage: parvesta-cli stats [FILE.bin] [--limit GROUP:LOW:HIGH]... [--limits FILE]\n"
    "                          [--format json] [OPTIONS]\n"
    "\n"
    "Prints the statistics per group and unit (count, minimum, maximum, mean,\n"
    "standard deviation) of a saved reply, or, without a file, of a download\n"
    "from the instrument; the options of download select the port and the\n"
    "line (--port, --speed, --timeout, --keep-partial, --raw, -q, -v). Column titles\n"
    "and units are English unless --like-window. Exit 4 when standard output\n"
    "cannot be written.\n"
    "\n"
    "  --limit GROUP:LOW:HIGH  limits for the readings of group GROUP (1 to 256),\n"
    "                   as shown, \".\" as decimal point; LOW or HIGH may be empty,\n"
    "                   e.g. 3:1.20:1.24 or 3::1.24; again for each group. A reading\n"
    "                   on a limit passes. Adds the columns pass and fail, and cp\n"
    "                   and cpk where both limits exist\n"
    "  --limits FILE    the limits of a Limits.ini, as the window keeps them; a\n"
    "                   --limit replaces the file's for its group\n"
    "  --format json    {\"statistics\": [{\"group\", \"unit\", \"count\", \"min\", \"max\",\n"
    "                   \"mean\", \"sd\", \"pass\", \"fail\", \"cp\", \"cpk\"}, ...]}, the\n"
    "                   limit fields only where limits apply; \"sd\" of one reading,\n"
    "                   and \"cp\" and \"cpk\" of readings that do not spread, are null\n"
    "  -o FILE          write the table, or the JSON, to FILE (a .json name means\n"
    "                   --format json) instead of standard output\n";

const char* const HistoryHelp =
    "Usage: parvesta-cli history [--json] [--archive FILE|URL]\n"
    "       parvesta-cli history export ID [-o FILE] [--format csv|xlsx|json|bin]\n"
    "       parvesta-cli history import FILE.bin\n"
    "\n"
    "Every transfer that brought records, from the window or from download, is\n"
    "kept in the archive: archive.sqlite beside the program, or in\n"
    "~/.local/share/parvesta/ ($XDG_DATA_HOME) when it is installed. When\n"
    "PARVESTA_ARCHIVE, or a line Archive=URL in Archive.ini beside Settings.ini,\n"
    "names a lab's PostgreSQL server (postgresql://HOST[:PORT]/DB[?user=NAME]),\n"
    "each transfer is also sent there; one the server did not take is sent with\n"
    "the next. A password comes from ~/.pgpass or PGPASSWORD.\n"
    "\n"
    "history lists them, oldest first, one a line, tab-separated: id, time (UTC),\n"
    "family, measurements, complete or incomplete; --json gives an array of\n"
    "objects with \"id\", \"time\", \"family\", \"measurements\" and \"complete\".\n"
    "\n"
    "history export ID writes the transfer exactly as download wrote it: CSV to\n"
    "standard output, or FILE in the format its extension or --format names\n"
    "(bin: the instrument's reply, byte for byte). --decimal and --like-window\n"
    "as for download.\n"
    "\n"
    "history import FILE.bin keeps a reply saved earlier as a transfer, and prints\n"
    "its id; a reply that was cut short keeps the records of its whole pages.\n"
    "\n"
    "  --archive FILE|URL  use this archive instead, for this run; a\n"
    "                   postgresql:// URL lists and exports the lab server's transfers\n"
    "  -q, -v           as for download\n";

const char* const ReportHelp =
    "Usage: parvesta-cli report FILE.bin -o REPORT.pdf [OPTIONS]\n"
    "       parvesta-cli report history ID -o REPORT.pdf [OPTIONS]\n"
    "\n"
    "Writes the PDF report of an instrument reply saved earlier, or of a transfer\n"
    "kept in the archive: when, where and by which instrument it was read, the\n"
    "statistics per group and unit with pass and fail counts, Cp and Cpk against\n"
    "the limits given, a histogram and a run chart of each, and every reading,\n"
    "those outside the limits marked. It is written in the desktop's language and\n"
    "on its paper (A4 or Letter), as the window writes it; no display is needed.\n"
    "\n"
    "  -o FILE          the report (required); replaced only once written whole\n"
    "  --limit GROUP:LOW:HIGH\n"
    "                   limits on a group's readings as shown, in every unit; LOW\n"
    "                   or HIGH may be empty; repeat for more groups\n"
    "  --limits FILE    the limits of a Limits.ini; a --limit replaces the file's\n"
    "                   for its group\n"
    "  --note TEXT      a note printed in the title block\n"
    "  --keep-partial, --archive, -q, -v as for decode and history\n";

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
    if (command == QLatin1String("history"))
        return HistoryHelp;
    if (command == QLatin1String("report"))
        return ReportHelp;
    return MainHelp;
}

constexpr int HighestComPort = 255;
// A saved reply is at most a ring's worth; a longer file holds nothing more.
constexpr qint64 MaxReplyFileBytes = 1 << 20;

struct KnownOption
{
    const char* name;
    char letter; // 0: none
    bool takesValue;
};

constexpr KnownOption Options[] = {
    {"help", 'h', false},      {"version", 'V', false}, {"quiet", 'q', false},
    {"verbose", 'v', false},   {"port", 0, true},       {"speed", 0, true},
    {"output", 'o', true},     {"format", 0, true},     {"raw", 0, true},
    {"decimal", 0, true},      {"timeout", 0, true},    {"keep-partial", 0, false},
    {"like-window", 0, false}, {"json", 0, false},      {"no-archive", 0, false},
    {"archive", 0, true},      {"limit", 0, true},      {"limits", 0, true},
    {"note", 0, true},
};
constexpr int ScanOptionCount = 4; // scan takes only the first ones

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

// A name as given, for a message: its bytes as text, and each byte that is
// not part of a UTF-8 character as \xNN, so that it can be typed again.
QString Shown(const QByteArray& name)
{
    QString shown;
    for (int i = 0; i < name.size();)
    {
        const auto lead = static_cast<unsigned char>(name[i]);
        const int length = lead < 0x80             ? 1
                           : (lead & 0xE0) == 0xC0 ? 2
                           : (lead & 0xF0) == 0xE0 ? 3
                           : (lead & 0xF8) == 0xF0 ? 4
                                                   : 0;
        const QByteArray character = name.mid(i, length);
        if (length > 0 && character.size() == length &&
            QString::fromUtf8(character).toUtf8() == character)
        {
            shown += QString::fromUtf8(character);
            i += length;
        }
        else
        {
            shown += QStringLiteral("\\x%1").arg(lead, 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The whole file at path (at most MaxReplyFileBytes) and when it last
// changed; false with *error set when it cannot be read.
bool ReadReplyFile(const QByteArray& path, QByteArray* bytes, QDateTime* changed, int* error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        *error = errno;
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))
    {
        *error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        return false;
    }
    *changed = QDateTime::fromMSecsSinceEpoch(
        qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000, Qt::UTC);
    char chunk[65536];
    bool ok = true;
    while (bytes->size() < MaxReplyFileBytes)
    {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            *error = errno;
            ok = false;
        }
        if (n <= 0)
            break;
        bytes->append(chunk, int(n));
    }
    ::close(fd);
    return ok;
}

QByteArray VersionLine()
{
    return QByteArray("parvesta-cli ") + CQuorvanta::Version + '\n';
}

} // namespace

QList<QByteArray> CliTool::Arguments::Values(const char* option) const
{
    QList<QByteArray> given = values.values(QLatin1String(option));
    std::reverse(given.begin(), given.end()); // the hash gives the last one first
    return given;
}

CliTool::CliTool() : terminal(::isatty(STDERR_FILENO) != 0) {}

CliTool::~CliTool()
{
    engine.reset(); // before the ports folder it may use goes
    if (pinned)
        SetPortsFolder(QString());
}

int CliTool::Run(const QList<QByteArray>& arguments)
{
    // -q and -v may come before the command too: `parvesta-cli -v download`.
    QList<QByteArray> rest = arguments.mid(1);
    QList<QByteArray> leading;
    while (!rest.isEmpty() && (rest.first() == "-q" || rest.first() == "--quiet" ||
                               rest.first() == "-v" || rest.first() == "--verbose"))
        leading << rest.takeFirst();
    const QByteArray first = rest.value(0);
    int exit = Done;
    if (first.isEmpty())
    {
        Print(stderr, QString::fromLatin1(MainHelp));
        exit = BadUsage;
    }
    else if (first == "-h" || first == "--help")
        Out(MainHelp);
    else if (first == "-V" || first == "--version")
        Out(VersionLine());
    else
        exit = Command(first, rest.mid(1) + leading);
    return CloseStandardOutput(exit);
}

int CliTool::Command(const QByteArray& name, const QList<QByteArray>& arguments)
{
    const QString command = QString::fromUtf8(name);
    const bool scan = command == QLatin1String("scan");
    if (!scan && command != QLatin1String("download") && command != QLatin1String("decode") &&
        command != QLatin1String("stats") && command != QLatin1String("history") &&
        command != QLatin1String("report"))
        return Usage(tr("unknown command %1").arg(Shown(name)));

    if (const QString problem =
            ParseOptions(arguments, scan ? ScanOptionCount : int(std::size(Options)));
        !problem.isEmpty())
        return Usage(problem, command);
    if (options.IsSet("help"))
    {
        Out(HelpOf(command));
        return Done;
    }
    if (options.IsSet("version"))
    {
        Out(VersionLine());
        return Done;
    }
    quiet = options.IsSet("quiet");
    // "-o -" is standard output, as scripts write it for other tools.
    if (options.Value("output") == "-")
        options.values.remove(QStringLiteral("output"));
    // What went over the wire and into the files, for support: the same
    // lines QT_LOGGING_RULES="parvesta.*.debug=true" gives the window.
    if (options.IsSet("verbose"))
    {
        qSetMessagePattern(QStringLiteral("%{category}: %{message}"));
        QLoggingCategory::setFilterRules(QStringLiteral("parvesta.*.debug=true"));
    }
    if (scan)
        return options.names.isEmpty() ? Scan() : Usage(tr("scan takes no arguments"), command);
    if (command == QLatin1String("download"))
        return options.names.isEmpty() ? Download(false)
                                       : Usage(tr("%1 takes no file").arg(command), command);
    if (command == QLatin1String("decode"))
        return options.names.size() == 1
                   ? Decode(false)
                   : Usage(tr("%1 wants one saved reply").arg(command), command);
    if (command == QLatin1String("history"))
        return History();
    if (command == QLatin1String("report"))
        return Report();
    if (options.names.size() > 1)
        return Usage(tr("stats wants at most one saved reply"), command);
    return options.names.isEmpty() ? Download(true) : Decode(true);
}

QString CliTool::ParseOptions(const QList<QByteArray>& arguments, int known)
{
    // Options anywhere, "--" before names that begin with "-".
    bool optionsEnd = false;
    for (int i = 0; i < arguments.size(); ++i)
    {
        const QByteArray& argument = arguments[i];
        if (optionsEnd || argument == "-" || !argument.startsWith('-'))
        {
            options.names << argument;
            continue;
        }
        if (argument == "--")
        {
            optionsEnd = true;
            continue;
        }
        // --name, --name=value, or -x, -xVALUE and switches run together (-qh).
        const bool isLong = argument.startsWith("--");
        const int equals = isLong ? argument.indexOf('=') : -1;
        for (int at = 1; at < argument.size(); ++at)
        {
            const KnownOption* option = nullptr;
            const QByteArray longName = argument.mid(2, equals < 0 ? -1 : equals - 2);
            for (int k = 0; k < known && !option; ++k)
                if (isLong ? longName == Options[k].name : argument[at] == Options[k].letter)
                    option = &Options[k];
            const QString given = Shown(!isLong      ? QByteArray("-") + argument[at]
                                        : equals < 0 ? argument
                                                     : argument.left(equals));
            if (!option)
                return tr("unknown option %1").arg(given);
            QByteArray value;
            const bool attached = isLong ? equals >= 0 : at + 1 < argument.size();
            if (option->takesValue)
            {
                if (attached)
                    value = isLong ? argument.mid(equals + 1) : argument.mid(at + 1);
                else if (i + 1 < arguments.size())
                    value = arguments[++i];
                else
                    return tr("%1 wants a value").arg(given);
            }
            else if (isLong && attached)
                return tr("%1 takes no value").arg(given);
            options.values.insert(QLatin1String(option->name), value);
            if (isLong || option->takesValue)
                break;
        }
    }

    return QString();
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

void CliTool::Complain(const QString& text) const
{
    // Said even with --quiet: a script's log should tell why it failed.
    Print(stderr, text + '\n');
}

void CliTool::Out(const QByteArray& bytes)
{
    if (outputFailed)
        return;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) !=
            std::size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
    {
        outputFailed = true;
        outputError = errno;
    }
}

int CliTool::CloseStandardOutput(int exit)
{
    // A full disk or a closed pipe shows only when the buffered text leaves.
    errno = 0;
    bool ok = !outputFailed && std::fflush(stdout) == 0 && !std::ferror(stdout);
    int why = outputFailed ? outputError : errno;
    if (std::fclose(stdout) != 0 && ok)
    {
        ok = false;
        why = errno;
    }
    if (ok || exit == BadUsage)
        return exit;
    Complain(tr("Standard output could not be written: %1.").arg(SystemText(why ? why : EIO)));
    return NotWritten;
}

void CliTool::MakeEngine()
{
    // Settings.ini is the window's: read here, never written.
    engine = std::make_unique<CQuorvanta>();
    engine->writesSettings = false;
    // Only the limits this command line gives: what a script gets must not
    // depend on what the window's user last typed.
    engine->UseLimits(limits);
    if (!engine->SettingsNotice().isEmpty())
        Complain(engine->SettingsNotice());
    // A report is read by people: in the window's words, as the window writes it.
    if (!options.IsSet("like-window") && !reporting)
        engine->WriteInEnglish();
    if (reporting)
        engine->reportNote = QString::fromLocal8Bit(options.Value("note"));
    if (options.IsSet("decimal"))
        engine->decimalSeparator = QString::fromLatin1(options.Value("decimal"));
    engine->programName = QStringLiteral("parvesta-cli");
    engine->archiving = !options.IsSet("no-archive");
    if (options.IsSet("archive"))
    {
        const QString archive = QFile::decodeName(options.Value("archive"));
        // A lab's server is where transfers are sent; this PC's archive still keeps them first.
        if (CArchive::IsServerAddress(archive))
            engine->archiveServer = archive;
        else
            engine->archivePath = archive;
    }
}

bool CliTool::ReadFromServer()
{
    if (engine->archiveServer.isEmpty())
        return true;
    QString why;
    CArchive::Server server;
    if (!CArchive::ParseServer(engine->archiveServer, &server, &why))
    {
        Complain(why);
        return false;
    }
    engine->archivePath = engine->archiveServer;
    return true;
}

int CliTool::Scan()
{
    MakeEngine();
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
        Out(QStringLiteral("COM%1\t%2\t%3%4\n")
                .arg(port.number)
                .arg(device, outcome, hint.isEmpty() ? QString() : '\t' + hint)
                .toLocal8Bit());
    }
    Say(engine->SearchSummary());
    return found ? Done : NoInstrument;
}

bool CliTool::CheckOptions(const QString& command, bool statisticsOnly, int* exit)
{
    *exit = Done;
    // The format a name asks for, as the window chooses it; --format names
    // one of the formats of records.
    format = reporting ? CQuorvanta::SaveFormat::Report
                       : CQuorvanta::FormatOf(QString::fromUtf8(options.Value("output")));
    // An archived transfer may be exported as the reply it came as, too.
    const bool replies = command == QLatin1String("history");
    if (options.IsSet("format") &&
        (!CQuorvanta::FormatNamed(QString::fromUtf8(options.Value("format")), &format) ||
         (format == CQuorvanta::SaveFormat::Reply && !replies)))
        *exit = Usage(replies ? tr("--format wants csv, xlsx, json or bin")
                              : tr("--format wants csv, xlsx or json"),
                      command);
    else if (const QString decimal = QString::fromUtf8(options.Value("decimal"));
             options.IsSet("decimal") && decimal != QLatin1String(".") &&
             decimal != QLatin1String(","))
        *exit = Usage(tr("--decimal wants . or ,"), command);
    if (*exit != Done)
        return false;
    // Statistics are a table for people or JSON: any other format asked
    // for would be written as something it is not.
    if (statisticsOnly && (options.IsSet("format") ? format != CQuorvanta::SaveFormat::Json
                                                   : format == CQuorvanta::SaveFormat::Workbook))
    {
        *exit =
            Usage(tr("stats writes a table, or JSON with --format json or -o FILE.json"), command);
        return false;
    }
    if (format == CQuorvanta::SaveFormat::Workbook && !options.IsSet("output") && !statisticsOnly)
    {
        *exit = Usage(tr("a workbook needs a file: -o FILE.xlsx"), command);
        return false;
    }
    for (const char* name : {"output", "raw", "limits"})
        if (options.IsSet(name) && options.Value(name).isEmpty())
        {
            *exit = Usage(tr("--%1 wants a file name").arg(QLatin1String(name)), command);
            return false;
        }
    return ReadLimits(command, exit);
}

bool CliTool::ReadLimits(const QString& command, int* exit)
{
    limits.clear();
    if (options.IsSet("limits"))
    {
        const QByteArray path = options.Value("limits");
        // Missing or unreadable is said as such, not as a file not understood.
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
        {
            *exit = Usage(tr("--limits %1 cannot be read: %2").arg(Shown(path), SystemText(errno)),
                          command);
            return false;
        }
        ::close(fd);
        if (LimitsFile::Load(path, &limits) == LimitsFile::Found::NotUnderstood)
        {
            *exit = Usage(tr("--limits %1 is not a limits file: it wants a line [Limits], then "
                             "lines like Group=3;Unit=mm;Low=1.20;High=1.24;Nominal=")
                              .arg(Shown(path)),
                          command);
            return false;
        }
    }
    std::vector<Limit> given;
    for (const QByteArray& text : options.Values("limit"))
    {
        Limit limit;
        QString why;
        if (!Limits::Parse(QString::fromUtf8(text), &limit, &why))
        {
            *exit = Usage(tr("--limit %1: %2").arg(Shown(text), why), command);
            return false;
        }
        for (const Limit& earlier : given)
            if (earlier.group == limit.group)
            {
                *exit = Usage(tr("--limit %1: group %2 has a --limit already")
                                  .arg(Shown(text))
                                  .arg(limit.group),
                              command);
                return false;
            }
        given.push_back(limit);
    }
    // The command line's limits stand for their group in every unit.
    limits.erase(std::remove_if(limits.begin(), limits.end(),
                                [&given](const Limit& fromFile) {
                                    return std::any_of(given.begin(), given.end(),
                                                       [&fromFile](const Limit& l) {
                                                           return l.group == fromFile.group;
                                                       });
                                }),
                 limits.end());
    limits.insert(limits.end(), given.begin(), given.end());
    return true;
}

bool CliTool::OutputsWritable(bool instrument)
{
    for (const char* name : {"raw", "output"})
    {
        const QByteArray path = options.Value(name);
        if (path.isEmpty() || engine->CanWrite(path))
            continue;
        const QString why =
            tr("%1 cannot be written: %2.").arg(Shown(path), engine->SaveErrorText());
        Complain(instrument ? why + ' ' + tr("The instrument was not read.") : why);
        return false;
    }
    return true;
}

bool CliTool::ApplyPort(const QString& command, int* exit)
{
    *exit = Done;
    if (!options.IsSet("port"))
        return true;
    const QByteArray port = options.Value("port");
    const QByteArray upper = port.toUpper();
    if (upper.startsWith("COM") && upper.size() > 3 &&
        std::all_of(upper.begin() + 3, upper.end(), [](char c) { return c >= '0' && c <= '9'; }))
    {
        bool fits = false;
        const qulonglong number = upper.mid(3).toULongLong(&fits);
        if (fits && number == 0)
            *exit = Usage(tr("%1 is not a port number: ports are numbered from COM1 to COM%2")
                              .arg(Shown(port))
                              .arg(HighestComPort),
                          command);
        else if (!fits || number > qulonglong(HighestComPort))
            *exit = Usage(tr("%1 is out of range: ports are numbered from COM1 to COM%2")
                              .arg(Shown(port))
                              .arg(HighestComPort),
                          command);
        if (*exit != Done)
            return false;
        engine->fixedPort = true;
        engine->comPort = int(number);
        portLabel = QStringLiteral("COM%1").arg(number);
        return true;
    }

    // A device path: pinned to a COM number of a ports folder of our own, the
    // way a user pins a device for the window; first, is it a device at all?
    portLabel = Shown(port);
    struct stat info;
    PortError problem = PortError::None;
    if (::stat(port.constData(), &info) != 0)
        problem = errno == EACCES ? PortError::NoPermission : PortError::Missing;
    else if (!S_ISCHR(info.st_mode))
        problem = PortError::NotSerial;
    QByteArray target = port;
    if (!target.startsWith('/'))
    {
        char folder[PATH_MAX];
        if (!::getcwd(folder, sizeof folder))
            problem = PortError::Failed;
        target = QByteArray(folder) + '/' + port;
    }
    pinned = std::make_unique<QTemporaryDir>();
    const QByteArray link = QFile::encodeName(pinned->filePath(QStringLiteral("COM1")));
    if (problem == PortError::None &&
        (!pinned->isValid() || ::symlink(target.constData(), link.constData()) != 0))
        problem = PortError::Failed;
    if (problem != PortError::None)
    {
        Complain(engine->NotOpenedText(problem, portLabel));
        *exit = NoInstrument;
        return false;
    }
    SetPortsFolder(pinned->path());
    engine->fixedPort = true;
    engine->comPort = 1;
    engine->fixedPortName = portLabel;
    char device[PATH_MAX];
    portDevice = ::realpath(port.constData(), device) ? QFile::decodeName(device) : portLabel;
    // The archive names the port as given, not the link pinned for it.
    engine->sourcePort = portLabel;
    engine->sourceDevice = portDevice;
    return true;
}

int CliTool::Download(bool statisticsOnly)
{
    const QString command = statisticsOnly ? QStringLiteral("stats") : QStringLiteral("download");
    int exit = Done;
    if (!CheckOptions(command, statisticsOnly, &exit))
        return exit;
    bool ok = true;
    const int timeout =
        options.IsSet("timeout") ? QString::fromUtf8(options.Value("timeout")).toInt(&ok) : 10;
    if (!ok || timeout < 1)
        return Usage(tr("--timeout wants a number of seconds, 1 or more"), command);
    const int speed =
        options.IsSet("speed") ? QString::fromUtf8(options.Value("speed")).toInt(&ok) : 0;
    if (!ok || speed < 0 || (options.IsSet("speed") && speed == 0))
        return Usage(tr("--speed wants a speed in bits per second"), command);

    MakeEngine();
    // Checked before the instrument is asked: a bad port or output costs no transfer.
    if (!ApplyPort(command, &exit))
        return exit;
    if (!OutputsWritable(true))
        return NotWritten;
    if (speed > 0)
        engine->comSpeed = speed;

    if (!engine->FindDevice())
    {
        Complain(engine->SearchSummary());
        return NoInstrument;
    }
    if (engine->fixedPortName.isEmpty())
        portLabel = QStringLiteral("COM%1").arg(engine->currentLink->portNumber);
    if (portDevice.isEmpty())
        portDevice = QString::fromLocal8Bit(engine->currentLink->portName);

    const int transferred = Transfer(timeout, options.IsSet("keep-partial"));
    downloaded =
        engine->downloaded.isValid() ? engine->downloaded : QDateTime::currentDateTimeUtc();
    if (!engine->ArchiveNotice().isEmpty())
        Complain(engine->ArchiveNotice());
    // Nothing kept of a failed transfer: only the instrument's bytes are written.
    const bool results = transferred == Done || engine->incomplete.pagesAnnounced > 0;
    if (!results && !options.IsSet("raw"))
        return transferred;
    const int written = WriteOutputs(statisticsOnly, results);
    return written != Done ? written : transferred;
}

int CliTool::Transfer(int timeoutSeconds, bool keepPartial)
{
    engine->stallMs = timeoutSeconds * 1000;
    CReadOut readOut(engine.get());
    // Often enough for a lively bar, and to end a stalled transfer on time.
    readOut.pollIntervalMs = 100;
    QEventLoop loop;
    bool stalled = false;
    bool over = false;
    QObject::connect(&readOut, &CReadOut::Progress, [this](int percent) { ShowProgress(percent); });
    QObject::connect(&readOut, &CReadOut::Stalled, [&](bool silent) {
        stalled = silent;
        if (silent)
            readOut.Cancel();
    });
    QObject::connect(&readOut, &CReadOut::Finished, [&] {
        over = true;
        loop.quit();
    });
    readOut.Start();
    if (!over)
        loop.exec();
    ShowProgress(-1);

    switch (readOut.Result())
    {
    case CReadOut::Outcome::Records:
        return Done;
    case CReadOut::Outcome::NoRecords:
        Say(readOut.Message());
        return Done;
    case CReadOut::Outcome::NotUnderstood:
    case CReadOut::Outcome::TooManyPages:
        Complain(readOut.Message());
        return TransferFailed;
    case CReadOut::Outcome::Failed:
        Complain(readOut.Reason());
        return TransferFailed;
    case CReadOut::Outcome::Partial:
    case CReadOut::Outcome::Cancelled:
        break;
    }
    if (stalled)
        Complain(tr("No data came from %1 for %2 s: the transfer stopped.")
                     .arg(portLabel)
                     .arg(timeoutSeconds));
    else
        Complain(readOut.Reason()); // the port went away
    if (keepPartial && readOut.KeepPartial())
        Say(tr("Kept the %1 measurements of %2 of %3 pages.")
                .arg(engine->incomplete.records)
                .arg(engine->incomplete.pagesReceived)
                .arg(engine->incomplete.pagesAnnounced));
    return TransferFailed;
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

int CliTool::Decode(bool statisticsOnly)
{
    const QString command = statisticsOnly ? QStringLiteral("stats") : QStringLiteral("decode");
    int exit = Done;
    if (!CheckOptions(command, statisticsOnly, &exit))
        return exit;
    MakeEngine();
    if (!OutputsWritable(false))
        return NotWritten;

    const QByteArray path = options.names.first();
    portLabel = Shown(path);
    QByteArray bytes;
    int error = 0;
    if (!ReadReplyFile(path, &bytes, &downloaded, &error))
    {
        Complain(tr("%1 cannot be read: %2").arg(portLabel, SystemText(error)));
        return BadUsage;
    }
    engine->ReadReply(bytes);
    if (engine->TooManyPages())
    {
        Complain(engine->TooManyPagesText());
        return TransferFailed;
    }
    if (engine->data.groupCount < 1 && !engine->ReplyRecognised())
    {
        Complain(tr("%1 is not a reply of a known instrument.").arg(portLabel));
        return TransferFailed;
    }
    if (engine->replyPages.Complete())
        return WriteOutputs(statisticsOnly, true);

    // Cut short, as a stalled download is: the same choice, the same exit code.
    Complain(tr("%1 was cut short: %2 of the %3 pages the instrument announced are whole.")
                 .arg(portLabel)
                 .arg(engine->replyPages.received)
                 .arg(engine->replyPages.announced));
    if (!options.IsSet("keep-partial"))
    {
        Complain(tr("Nothing was written; --keep-partial writes the records of the whole pages."));
        return TransferFailed;
    }
    if (!engine->KeepWholePages())
        return TransferFailed;
    Say(tr("Kept the %1 measurements of %2 of %3 pages.")
            .arg(engine->incomplete.records)
            .arg(engine->incomplete.pagesReceived)
            .arg(engine->incomplete.pagesAnnounced));
    const int written = WriteOutputs(statisticsOnly, true);
    return written != Done ? written : TransferFailed;
}

int CliTool::WriteOutputs(bool statisticsOnly, bool withRecords)
{
    bool all = true;
    if (options.IsSet("raw"))
    {
        const QByteArray path = options.Value("raw");
        if (!engine->Write(path.constData(), CQuorvanta::SaveFormat::Reply))
        {
            Complain(tr("%1 could not be written: %2.").arg(Shown(path), engine->SaveErrorText()));
            all = false;
        }
    }
    if (withRecords && !(statisticsOnly ? WriteStatistics() : WriteResults()))
        all = false;
    return all ? Done : NotWritten;
}

bool CliTool::WriteStatistics()
{
    const std::vector<Statistics::Row> rows = Statistics::Compute(engine->data, limits);
    if (format == CQuorvanta::SaveFormat::Json)
        return WriteText(JsonFile::StatisticsDocument(rows, limits));
    // Columns of the limits only when there are limits, those of the
    // capability only when some group has both.
    const auto bothLimits = [this](const Statistics::Row& s) {
        const Limit* limit = Limits::Find(limits, s.group, s.unit);
        return limit && limit->low && limit->high;
    };
    const bool judging = !limits.empty();
    const bool capability = std::any_of(rows.begin(), rows.end(), bothLimits);
    const QString none = QStringLiteral("-");
    // A table for people: columns as wide as their widest text.
    QList<QStringList> lines{engine->StatisticsColumns()};
    if (judging)
        lines[0] << QStringLiteral("pass") << QStringLiteral("fail");
    if (capability)
        lines[0] << QStringLiteral("cp") << QStringLiteral("cpk");
    for (const Statistics::Row& s : rows)
    {
        QStringList line = Statistics::Texts(s, engine->UnitText(s.unit), none);
        if (judging)
            line << (s.judged ? QString::number(s.pass) : none)
                 << (s.judged ? QString::number(s.fail) : none);
        if (capability)
            line << (s.capable ? Statistics::Format(s.cp, 2) : none)
                 << (s.capable ? Statistics::Format(s.cpk, 2) : none);
        lines << line;
    }
    QList<int> widths(lines[0].size(), 0);
    for (const QStringList& line : lines)
        for (int c = 0; c < line.size(); ++c)
            widths[c] = qMax(widths[c], int(line[c].size()));
    QByteArray table;
    for (const QStringList& line : lines)
    {
        QString text;
        for (int c = 0; c < line.size(); ++c)
            text += (c == 1 ? line[c].leftJustified(widths[c] + 2)
                            : line[c].rightJustified(widths[c]) + QStringLiteral("  "));
        while (text.endsWith(' '))
            text.chop(1);
        table += (text + '\n').toLocal8Bit();
    }
    return WriteText(table);
}

bool CliTool::WriteText(const QByteArray& text)
{
    if (!options.IsSet("output"))
    {
        Out(text);
        return !outputFailed; // said when standard output is closed
    }
    const QByteArray path = options.Value("output");
    FileError error = FileError::None;
    int systemError = 0;
    if (!CSafeFile::Save(path, text, &error, &systemError))
    {
        Complain(tr("%1 could not be written: %2.")
                     .arg(Shown(path), CSaveError::Text(error, systemError, path)));
        return false;
    }
    Say(tr("Saved to %1").arg(Shown(path)));
    return true;
}

bool CliTool::WriteResults()
{
    if (options.IsSet("output"))
        return WriteFile(options.Value("output"), format);
    if (format == CQuorvanta::SaveFormat::Json)
    {
        TellSource();
        Out(JsonFile::Document(engine->data, engine->TransferDescription(), limits));
    }
    else if (!outputFailed && (!CsvFile::Write(stdout, engine->data, engine->CsvFormat()) ||
                               std::fflush(stdout) != 0))
    {
        outputFailed = true;
        outputError = errno;
    }
    return !outputFailed; // said when standard output is closed
}

void CliTool::TellSource()
{
    engine->sourcePort = portLabel;
    engine->sourceDevice = portDevice;
    engine->downloaded = downloaded;
    engine->programName = QStringLiteral("parvesta-cli");
}

bool CliTool::WriteFile(const QByteArray& path, CQuorvanta::SaveFormat as)
{
    TellSource();
    if (!engine->Write(path.constData(), as))
    {
        Complain(tr("%1 could not be written: %2.").arg(Shown(path), engine->SaveErrorText()));
        return false;
    }
    Say(tr("Saved to %1").arg(Shown(path)));
    return true;
}

int CliTool::History()
{
    const QString command = QStringLiteral("history");
    const QByteArray action = options.names.value(0);
    if (options.IsSet("archive") && options.Value("archive").isEmpty())
        return Usage(tr("--archive wants a file name"), command);
    if (action.isEmpty())
        return ListHistory();
    if (action == "export" && options.names.size() == 2)
        return ExportTransfer();
    if (action == "import" && options.names.size() == 2)
        return ImportReply();
    if (action == "export" || action == "import")
        return Usage(action == "export" ? tr("history export wants one transfer id")
                                        : tr("history import wants one saved reply"),
                     command);
    return Usage(tr("history knows export and import, not %1").arg(Shown(action)), command);
}

int CliTool::ListHistory()
{
    if (options.names.size() > 1)
        return Usage(tr("history takes no arguments"), QStringLiteral("history"));
    MakeEngine();
    if (!ReadFromServer())
        return NotArchived;
    QVector<CArchive::Entry> entries;
    if (!engine->Archive().List(&entries))
    {
        Complain(engine->Archive().Error());
        return NotArchived;
    }
    if (options.IsSet("json"))
    {
        QJsonArray list;
        for (const CArchive::Entry& e : entries)
            list.append(QJsonObject{{"id", e.id},
                                    {"time", e.time.toString(Qt::ISODate)},
                                    {"family", e.family},
                                    {"measurements", e.measurements},
                                    {"complete", e.complete}});
        Out(QJsonDocument(list).toJson(QJsonDocument::Indented));
        return outputFailed ? NotWritten : Done;
    }
    for (const CArchive::Entry& e : entries)
        Out(QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                .arg(e.id, e.time.toString(Qt::ISODate), e.family)
                .arg(e.measurements)
                .arg(e.complete ? QStringLiteral("complete") : QStringLiteral("incomplete"))
                .toUtf8());
    return outputFailed ? NotWritten : Done;
}

int CliTool::ExportTransfer()
{
    const QString command = QStringLiteral("history");
    int exit = Done;
    if (!CheckOptions(command, false, &exit))
        return exit;
    MakeEngine();
    if (!OutputsWritable(false))
        return NotWritten;
    if (!ReadFromServer())
        return NotArchived;
    if (!engine->LoadArchived(QString::fromUtf8(options.names[1])))
    {
        Complain(engine->Archive().Error());
        return NotArchived;
    }
    // Written as download wrote it: the same port, device and time in JSON.
    portLabel = engine->sourcePort;
    portDevice = engine->sourceDevice;
    downloaded = engine->downloaded;
    if (format == CQuorvanta::SaveFormat::Reply && !options.IsSet("output"))
    {
        Out(engine->reply);
        return outputFailed ? NotWritten : Done;
    }
    return WriteResults() ? Done : NotWritten;
}

int CliTool::Report()
{
    const QString command = QStringLiteral("report");
    const bool archived = options.names.value(0) == "history";
    if (archived ? options.names.size() != 2 : options.names.size() != 1)
        return Usage(tr("report wants one saved reply, or history and an id"), command);
    if (options.Value("output").isEmpty())
        return Usage(tr("a report needs a file: -o FILE.pdf"), command);
    if (options.IsSet("format"))
        return Usage(tr("a report is always PDF: --format is not for report"), command);
    reporting = true;
    return archived ? ExportTransfer() : Decode(false);
}

int CliTool::ImportReply()
{
    MakeEngine();
    const QByteArray path = options.names[1];
    QByteArray bytes;
    int error = 0;
    if (!ReadReplyFile(path, &bytes, &downloaded, &error))
    {
        Complain(tr("%1 cannot be read: %2").arg(Shown(path), SystemText(error)));
        return BadUsage;
    }
    engine->ReadReply(bytes);
    if (engine->TooManyPages())
    {
        Complain(engine->TooManyPagesText());
        return TransferFailed;
    }
    if (!engine->replyPages.Complete())
        engine->KeepWholePages();
    if (engine->data.groupCount < 1)
    {
        Complain(engine->ReplyRecognised()
                     ? tr("%1 holds no measurements: nothing was archived.").arg(Shown(path))
                     : tr("%1 is not a reply of a known instrument.").arg(Shown(path)));
        return TransferFailed;
    }
    // The transfer happened when the reply was saved.
    engine->downloaded = downloaded;
    if (!engine->ArchiveTransfer(bytes))
    {
        Complain(engine->ArchiveNotice());
        return NotArchived;
    }
    Out((engine->archivedId + '\n').toUtf8());
    return outputFailed ? NotWritten : Done;
}
