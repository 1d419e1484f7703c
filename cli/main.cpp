// parvesta-cli: scan, download, decode and statistics from a terminal or a
// script (see CliTool and `parvesta-cli --help`).
#include "CliTool.h"
#include "Installation.h"

#include <QCoreApplication>
#include <QTranslator>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // The texts of the files follow the same catalogues as the window's, so a
    // CSV file is the same whichever program wrote it.
    QTranslator toolkit, program;
    Installation::LoadCatalogues(&toolkit, &program);
    QCoreApplication::installTranslator(&toolkit);
    QCoreApplication::installTranslator(&program);
    CliTool tool;
    return tool.Run(QCoreApplication::arguments());
}
