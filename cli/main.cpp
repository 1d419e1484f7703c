// parvesta-cli: scan, download, decode and statistics from a terminal or a
// script (see CliTool and `parvesta-cli --help`).
#include "CliTool.h"
#include "Installation.h"

#include <QCoreApplication>
#include <QTranslator>

int main(int argc, char** argv)
{
    // The arguments as the shell passed them: a file name that is not UTF-8
    // would not survive the trip through QString.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    QCoreApplication application(argc, argv);
    // Messages in the window's language; the files are written in English
    // unless --like-window asks for the window's texts.
    QTranslator toolkit, program;
    Installation::LoadCatalogues(&toolkit, &program);
    QCoreApplication::installTranslator(&toolkit);
    QCoreApplication::installTranslator(&program);
    CliTool tool;
    return tool.Run(arguments);
}
