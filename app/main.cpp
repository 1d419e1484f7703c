#include "Installation.h"
#include "MainWindow.h"

#include <QApplication>
#include <QString>
#include <QTranslator>

int main(int argc, char** argv)
{
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
