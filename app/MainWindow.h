#ifndef PARVESTA_MAINWINDOW_H
#define PARVESTA_MAINWINDOW_H

#include "StatisticsWindow.h"
#include "ui_AboutWindowGUI.h"
#include "ui_HelpWindowGUI.h"
#include "ui_MainWindowGUI.h"
#include "ui_ProgressWindowGUI.h"

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include "CReadOut.h"

class CDeviceWatcher;
class CQuorvanta;
class HistoryWindow;
class QAbstractButton;
class QAction;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

// The one application window: the button row, the result table or the
// background picture, and the About, Help and progress windows it owns.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWindow() override;

signals:
    // Percentage of the instrument's reply received so far, 0 to 100.
    void ProgressChanged(int prgsValue);

private slots:
    void TransferData();
    bool SaveData();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A serial device appeared or went away: look for the instrument again
    // once it has settled.
    void DeviceChangeEvent();
    // F5 and the status line's button: look for the instrument now.
    void SearchAgain();
    // The gear and Ctrl+,: the settings dialog; what it saves is used at once.
    void OpenSettings();

    // What the central area shows: the picture while there is nothing to
    // show, the picture and the progress window while an instrument sends,
    // the table once results arrived.
    enum ViewState
    {
        NoResults,
        TransferRunning,
        ResultsShown
    };
    void SetViewState(int state);

    // How the window paces itself; tests shorten them (and the engine's stallMs).
    int pollIntervalMs = 500;    // the transfer's heartbeat: the bar, and stalls
    int successMessageMs = 2000; // the success text stays up this long
    int deviceSettleMs = 2500;   // a device just plugged in needs time to be usable; each
                                 // further change starts the wait again

    CQuorvanta* Engine() const { return engine; }

private:
    void BeginTransfer();
    void TransferFinished(CReadOut::Outcome outcome);
    void CancelTransfer();
    void CancelFromProgress();
    void OfferPartialReply(CReadOut* ended);
    void ShowStall(bool stalled);
    QString ReceivingStatus() const;
    void NoteFamily();
    void ShowMessage(QString text, int milliseconds);
    void EndMessage();
    void CreateStatusLine();
    void CreateKeys();
    void ShowStatus(const QString& text, const QString& details = QString());
    void FitStatus();
    QString SearchStatus() const;
    QString ResultsStatus() const;
    void RequestSearch();
    void StartSearch();
    void StepSearch(int waitMs);
    void ResumeSearch();
    void FitProgressWindow();
    void CentreProgressWindow();
    bool Busy() const;
    QString ResultsTitle() const;
    bool CheckUnsavedData();
    void FillTable();
    void SortBy(int column);
    void OriginalOrder();
    QList<int> ChosenRows() const;
    void CopyRows();
    void TableMenu(const QPoint& at);
    void CreateSortKeys();
    void AddGroupRows(int group);
    // A reading outside its limits gets a sign beside its value, a colour
    // and a tip saying which limit; its text stays the value.
    void MarkReading(QTableWidgetItem* item, const CMeasurement& record);
    void MarkReadings();
    void setButtonIcon(QAbstractButton* button, QString imagePath, QString maskPath);
    void CreateAboutWindow();
    void CreateHelpWindow();
    void CreateProgressWindow();
    void CreateStatisticsWindow();
    void ShowStatistics();
    void PlaceStatistics();
    void PlaceBeside(QWidget* window);
    void CreateHistoryWindow();
    void ShowHistory();
    // Shows an archived transfer as the results of a transfer.
    void OpenArchived(const QString& id);

    Ui::MainWindowGUI ui;
    Ui::AboutWindowGUI aboutUi;
    Ui::HelpWindowGUI helpUi;
    Ui::ProgressWindowGUI progressUi;
    QWidget* aboutWindow = nullptr;
    QWidget* helpWindow = nullptr;
    QWidget* progressWindow = nullptr;
    StatisticsWindow* statisticsWindow = nullptr;
    HistoryWindow* historyWindow = nullptr;
    // When the archived transfer shown was made; invalid after a transfer.
    QDateTime openedTime;
    CQuorvanta* engine = nullptr;
    CReadOut* readOut = nullptr; // the transfer under way; none when idle
    CDeviceWatcher* deviceWatcher = nullptr;
    bool searchPending = false;            // a search was asked for while the window was busy
    QTimer* messageTimer = nullptr;        // ends the success text
    bool offeringPages = false;            // the keep question is open
    QString statusText;                    // as said, before it was fitted into the line
    QString statusDetails;                 // behind it, for the tip
    bool settingsNoticeShown = false;      // a Settings.ini or Limits.ini not understood was said
    QString formTitle;                     // the title while the results are whole
    QSize progressFormSize;                // the progress window as the form makes it
    QLabel* statusLabel = nullptr;         // the status line: what the program knows now
    QToolButton* searchButton = nullptr;   // searches again, as F5 does
    QToolButton* settingsButton = nullptr; // opens the settings, as Ctrl+, does
    int receivedPercent = 0;               // of the transfer under way, for the status line
    bool stalledNow = false;               // no byte came for a while
    QString knownFamily;                   // the instrument family a transfer revealed
    QString knownPort;                     // on this port
    int sortColumn = -1; // the column the rows are sorted by; -1 in the order saved
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    QList<QAction*> sortActions;         // Ctrl+1 to Ctrl+4: sort by that column, as a click
    QAction* savedOrderAction = nullptr; // Ctrl+0: the order the files keep
    QPushButton* cancelButton = nullptr; // in the progress window: ends the transfer
    QTimer settleTimer;                  // a device change waits for the device to settle
    QTimer searchTimer;                  // the next step of a search under way
};

#endif
