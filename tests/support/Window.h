#ifndef PARVESTA_TEST_WINDOW_H
#define PARVESTA_TEST_WINDOW_H

#include "CQuorvanta.h"
#include "MainWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

// The main window with its pauses shortened, the parts a user looks at and
// presses at hand, and the controller's own handlers reachable from tests.
// The window keeps its place in the user's configuration; tests keep it in a
// folder of their own, chosen before the window reads it.
struct TestConfiguration
{
    static QString Folder()
    {
        static QTemporaryDir folder;
        return folder.path();
    }
    TestConfiguration()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder());
    }
};

class TestWindow : private TestConfiguration, public MainWindow
{
public:
    TestWindow()
    {
        pollIntervalMs = 20;
        successMessageMs = 20;
        deviceSettleMs = 20;
        Engine()->stallMs = 150;
    }

    QToolButton* Button(const char* name) const { return findChild<QToolButton*>(name); }
    QToolButton* const transferButton = Button("trnsfrDataButton");
    QToolButton* const saveButton = Button("saveAsButton");
    QTableWidget* const table = findChild<QTableWidget*>("tableWidget");
    QLabel* const picture = findChild<QLabel*>("bckgroundLabel");
    QLabel* const status = findChild<QLabel*>("statusLabel");
    QWidget* const progress = findChild<QWidget*>("ProgressWindowGUI");
    QLabel* const message = progress->findChild<QLabel*>("messageLabel");
    QProgressBar* const bar = progress->findChild<QProgressBar*>("progressBar");
    // The status line's whole text: a long one shows only its beginning (a
    // device's path in a deep temporary folder, say).
    QString StatusText() const { return status->accessibleName(); }

    // Shown, once the search it started with is over.
    bool ShownAndSearched()
    {
        show();
        return SearchEnds();
    }
    bool SearchEnds()
    {
        return QTest::qWaitFor([this] { return !Engine()->Searching(); }, 5000);
    }
    // Until the table face is shown after a transfer.
    bool WaitForResults()
    {
        return QTest::qWaitFor([this] { return table->isVisible(); }, 15000);
    }
    // Transfer Data pressed, a transfer under way, and the results it
    // brought shown.
    bool Transfer()
    {
        transferButton->click();
        return progress->isVisible() && WaitForResults();
    }
    // The stall text and the bar are up.
    bool Stalled() const
    {
        return message->isVisible() && message->text().startsWith("No data") && bar->isVisible();
    }

    using MainWindow::DeviceChangeEvent;
    using MainWindow::deviceSettleMs;
    using MainWindow::Engine;
    using MainWindow::NoResults;
    using MainWindow::ResultsShown;
    using MainWindow::SetViewState;
    using MainWindow::successMessageMs;
    using MainWindow::TransferRunning;
};

// A table's rows, each as its cells' texts joined by '|'.
inline QStringList Rows(const QTableWidget* table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
    {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        rows << cells.join('|');
    }
    return rows;
}

#endif
