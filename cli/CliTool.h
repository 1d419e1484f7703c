#ifndef PARVESTA_CLITOOL_H
#define PARVESTA_CLITOOL_H

#include "CQuorvanta.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class QTemporaryDir;

// parvesta-cli: the program's engine for scripts and lab systems. Each
// command is one member; each returns the process's exit code. Names of
// files and devices stay the bytes the shell passed, relative to the
// caller's working folder: they need not be UTF-8.
class CliTool
{
    Q_DECLARE_TR_FUNCTIONS(CliTool)

public:
    // Exit codes scripts can rely on.
    enum Exit
    {
        Done = 0,
        NoInstrument = 2,
        TransferFailed = 3, // failed, stalled, cut short, or a reply that was not understood
        NotWritten = 4,     // an output could not be written; an earlier file is as it was
        NotArchived = 5,    // the archive could not be read or written, or lacks the transfer
        BadUsage = 64,
    };

    CliTool();
    ~CliTool();

    // The arguments as main received them, the program's name first.
    int Run(const QList<QByteArray>& arguments);

    // A command's arguments taken apart: options may stand before or after
    // the names, "--" ends them.
    struct Arguments
    {
        QList<QByteArray> names; // the arguments that are no options
        // By long option name; empty for a switch. An option given again
        // adds a value; Value is the last one given.
        QMultiHash<QString, QByteArray> values;
        bool IsSet(const char* option) const { return values.contains(QLatin1String(option)); }
        QByteArray Value(const char* option) const { return values.value(QLatin1String(option)); }
        // Every value of an option, in the order given.
        QList<QByteArray> Values(const char* option) const;
    };

private:
    int Command(const QByteArray& command, const QList<QByteArray>& arguments);
    // Fills options from a command's arguments, knowing the first known
    // entries of the option table; the mistake in words, or empty.
    QString ParseOptions(const QList<QByteArray>& arguments, int known);
    int Scan();
    int Download(bool statisticsOnly);
    int Decode(bool statisticsOnly);
    // The archive: list, export a transfer, import a saved reply.
    int History();
    int ListHistory();
    // history reads the lab's server when --archive names one; false, said, for a bad address.
    bool ReadFromServer();
    int ExportTransfer();
    int ImportReply();
    // The PDF report of a saved reply or an archived transfer.
    int Report();

    // Checks the options of download, decode and stats; false, with exit
    // set, when they are wrong.
    bool CheckOptions(const QString& command, bool statisticsOnly, int* exit);
    // Takes --limits FILE and every --limit GROUP:LOW:HIGH into limits, the
    // latter in place of the file's for their group; false, with exit set,
    // when one cannot be understood.
    bool ReadLimits(const QString& command, int* exit);
    void MakeEngine();
    // Refuses, before anything is read, outputs that could not be written;
    // the message says the instrument was not read when it would have been.
    bool OutputsWritable(bool instrument);
    // Takes --port; false, with exit set, when it names no usable port.
    bool ApplyPort(const QString& command, int* exit);
    int Transfer(int timeoutSeconds, bool keepPartial);
    // Every output asked for; each is tried even when another failed.
    int WriteOutputs(bool statisticsOnly, bool withRaw);
    bool WriteResults();
    // Tells the engine where the records came from, for its JSON.
    void TellSource();
    bool WriteStatistics();
    // Text for standard output, or for -o FILE, written whole or not at all.
    bool WriteText(const QByteArray& text);
    bool WriteFile(const QByteArray& path, CQuorvanta::SaveFormat format);

    int Usage(const QString& problem, const QString& command = QString());
    void ShowProgress(int percent);
    void Say(const QString& text) const;
    // What went wrong, on standard error whatever --quiet says.
    void Complain(const QString& text) const;
    // Results to standard output; a failure is remembered for the exit code.
    void Out(const QByteArray& bytes);
    int CloseStandardOutput(int exit);

    Arguments options;
    std::vector<Limit> limits;             // the command line's, for the engine
    std::unique_ptr<QTemporaryDir> pinned; // the ports folder of a --port PATH
    std::unique_ptr<CQuorvanta> engine;
    QString portLabel;  // the port as the user named it, or as the search found it
    QString portDevice; // the device path behind it
    QDateTime downloaded;
    CQuorvanta::SaveFormat format = CQuorvanta::SaveFormat::Csv;
    bool reporting = false; // report: the output is the PDF report
    bool quiet = false;
    bool terminal = false; // standard error is a terminal: a bar, else percent lines
    int shownPercent = -1;
    bool outputFailed = false; // standard output refused a write
    int outputError = 0;
};

#endif
