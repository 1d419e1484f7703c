#include "CQuorvanta.h"
#include "Installation.h"
#include "MainWindow.h"

#include <QApplication>
#include <QString>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace
{
const char* const Usage =
    "Usage: parvesta [--help | --version]\n"
    "\n"
    "Opens the Parvesta window, which downloads the results stored in a VX-nn or\n"
    "TR-620 instrument and saves them (CSV, Excel workbook, the instrument's reply).\n"
    "For terminals and scripts there is parvesta-cli (see parvesta-cli --help).\n"
    "\n"
    "  -h, --help      this text\n"
    "  -V, --version   the program's name and version\n";

// Text for a terminal, before any window or display is needed; 0 when it
// was written whole, as a shell script expects.
int Answer(const char* text)
{
    const bool written = std::fputs(text, stdout) >= 0;
    return written && std::fflush(stdout) == 0 && std::fclose(stdout) == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Answer(Usage);
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0)
            return Answer((QByteArray("Parvesta ") + CQuorvanta::Version + '\n').constData());
    }

    QApplication application(argc, argv);

    // The program's catalogue, installed last, is asked first.
    QTranslator toolkitTranslator;
    QTranslator applicationTranslator;
    Installation::LoadCatalogues(&toolkitTranslator, &applicationTranslator);
    QCoreApplication::installTranslator(&toolkitTranslator);
    QCoreApplication::installTranslator(&applicationTranslator);

    MainWindow window;
    window.show();
    return application.exec();
}
