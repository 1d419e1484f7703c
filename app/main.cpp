#include "MainWindow.h"

#include <QApplication>
#include <QString>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);

    const QString directory = QCoreApplication::applicationDirPath();
    // Catalogues beside the program choose the language; without them the
    // program speaks English. The program's own, installed last, is asked first.
    const QString toolkitCatalogue = directory + QLatin1String("/qt_ru.qm");
    const QString applicationCatalogue = directory + QLatin1String("/quorvanta.qm");
    QTranslator toolkitTranslator;
    (void)toolkitTranslator.load(toolkitCatalogue);
    QCoreApplication::installTranslator(&toolkitTranslator);
    QTranslator applicationTranslator;
    (void)applicationTranslator.load(applicationCatalogue);
    QCoreApplication::installTranslator(&applicationTranslator);

    MainWindow window;
    window.show();
    return application.exec();
}
