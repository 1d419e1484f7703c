#ifndef PARVESTA_CLITOOL_H
#define PARVESTA_CLITOOL_H

#include <QCoreApplication>
#include <QStringList>

#include <memory>

class CQuorvanta;
class QCommandLineParser;

// parvesta-cli: the program's engine for scripts and lab systems. Each
// command is one member; each returns the process's exit code.
class CliTool
{
    Q_DECLARE_TR_FUNCTIONS(CliTool)

public:
    // Exit codes scripts can rely on.
    enum Exit
    {
        Done = 0,
        NoInstrument = 2,
        TransferFailed = 3, // failed, stalled, or a reply that was not understood
        NotWritten = 4,     // the output could not be written; an earlier file is as it was
        BadUsage = 64,
    };

    CliTool();
    ~CliTool();

    // arguments as main received them, the program's name first.
    int Run(const QStringList& arguments);

private:
    int Scan(const QStringList& arguments);
    int Download(const QStringList& arguments, bool statisticsOnly);
    int Decode(const QStringList& arguments, bool statisticsOnly);

    // Parses a command's options and makes the engine; false, with exit
    // set, when the program ends here (help shown, or bad usage).
    bool Parse(QCommandLineParser& parser, const QStringList& arguments, const QString& command,
               int* exit);
    int Usage(const QString& problem, const QString& command = QString());
    bool ApplyPort(const QString& port);
    int Transfer(int timeoutSeconds, bool keepPartial);
    int WriteResults(const QCommandLineParser& parser, bool statisticsOnly);
    int WriteRaw(const QString& path);
    void ShowProgress(int percent);
    void Say(const QString& text) const;

    std::unique_ptr<CQuorvanta> engine;
    QString portLabel;  // the port as the user named it, or as the search found it
    QString portDevice; // the device path behind it
    bool quiet = false;
    bool terminal = false; // standard error is a terminal: a bar, else percent lines
    int shownPercent = -1;
};

#endif
