// The program as installed: this test runs from bin/ of an installation
// prefix (see CMakeLists.txt), as an ordinary user with a home of its own,
// and meets the installed help pages and catalogues the way the program does.
#include "Installation.h"
#include "InstrumentSimulator.h"
#include "support/User.h"
#include "support/Window.h"

#include <QTextBrowser>
#include <QTranslator>

namespace
{
QString Documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
} // namespace

class TestInstalled : public QObject
{
    Q_OBJECT

    InstrumentSimulator sim;

private slots:
    void initTestCase()
    {
        QVERIFY2(!Installation::IsPortable(), qPrintable(Installation::ProgramFolder()));
        // Every COM number the search looks at is the user's own, pinned to
        // nothing but the simulated instrument on COM3.
        const QString ports = Installation::ConfigFolder() + "ports";
        QVERIFY(QDir().mkpath(ports));
        for (int n = 1; n <= 60; ++n)
            QVERIFY(n == 3 || QFile::link(ports + "/nothing", ports + QString("/COM%1").arg(n)));
        QVERIFY(sim.Start(ports, 3));
    }

    void transferSaveAndSettingsOfTheUser()
    {
        const QString data = Documents() + "/Parvesta/";
        {
            TestWindow window;
            // Found on the user's own COM3 once the ports were asked.
            QVERIFY(window.ShownAndSearched() && window.transferButton->isEnabled());
            QVERIFY(window.Transfer());
            User user;
            user.Then(User::SaveAs(data + "results1.csv"));
            window.saveButton->click();
            QTRY_COMPARE(user.answers.size(), 0);
            QCOMPARE(user.seen[0].proposed, data + "results1.csv");
            QTRY_VERIFY(QFileInfo(data + "results1.csv").size() > 100);
            // The help pages come from the installation's share folder.
            QVERIFY(!window.findChild<QTextBrowser*>("helpTBrowser")->toPlainText().isEmpty());
        }
        // The settings went to the user's configuration folder, none beside
        // the program, and the next start takes them up.
        QFile settings(Installation::ConfigFolder() + "Settings.ini");
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("\r\nDataPath:" + QFile::encodeName(data) + "\r\n"));
        QVERIFY(!QFile::exists(Installation::ProgramFolder() + "Settings.ini"));
        TestWindow again;
        again.SetViewState(TestWindow::ResultsShown);
        User user;
        user.Then(User::SaveAs(QString()));
        again.saveButton->click();
        QTRY_COMPARE(user.answers.size(), 0);
        QCOMPARE(user.seen[0].proposed, data + "results2.csv");
    }

    // Run again under a Russian locale (see CMakeLists.txt).
    void languageOfTheDesktop()
    {
        const bool russian = QLocale::system().language() == QLocale::Russian;
        QTranslator toolkit, program;
        Installation::LoadCatalogues(&toolkit, &program);
        QCOMPARE(!program.isEmpty(), russian);
        QCOMPARE(!toolkit.isEmpty(), russian); // Qt's own, from Qt's folder
        QCoreApplication::installTranslator(&toolkit);
        QCoreApplication::installTranslator(&program);
        TestWindow window;
        QCOMPARE(window.transferButton->text(),
                 russian ? QString("Передать данные") : QString("Transfer Data"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 russian ? QString("Отмена") : QString("Cancel"));
        QVERIFY(!window.findChild<QTextBrowser*>("helpTBrowser")->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestInstalled)
#include "tst_installed.moc"
