// parvesta-cli: scan, download, decode and statistics from a terminal or a
// script (see CliTool and `parvesta-cli --help`).
#include "CliTool.h"
#include "Installation.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    // The arguments as the shell passed them: a file name that is not UTF-8
    // would not survive the trip through QString.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    // The report's charts are widgets drawn on no screen: only that command
    // makes a widget application, on the platform that needs no display.
    bool report = false;
    for (int i = 1; i < argc && !report; ++i)
        if (std::strcmp(argv[i], "-q") && std::strcmp(argv[i], "--quiet") &&
            std::strcmp(argv[i], "-v") && std::strcmp(argv[i], "--verbose"))
        {
            report = std::strcmp(argv[i], "report") == 0;
            break;
        }
    // Drawing the report asks Qt for a runtime folder; where the session has
    // none (cron, a container), one of this run's own, so that the caller's
    // error output gets no warning about it.
    std::unique_ptr<QTemporaryDir> runtime;
    if (report)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
            (runtime = std::make_unique<QTemporaryDir>())->isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime->path()));
    }
    std::unique_ptr<QCoreApplication> application =
        report ? std::make_unique<QApplication>(argc, argv)
               : std::make_unique<QCoreApplication>(argc, argv);
    // Messages in the window's language; the files are written in English
    // unless --like-window asks for the window's texts.
    QTranslator toolkit, program;
    Installation::LoadCatalogues(&toolkit, &program);
    QCoreApplication::installTranslator(&toolkit);
    QCoreApplication::installTranslator(&program);
    CliTool tool;
    return tool.Run(arguments);
}
