#ifndef PARVESTA_HISTORYWINDOW_H
#define PARVESTA_HISTORYWINDOW_H

#include "ui_HistoryWindowGUI.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

class CQuorvanta;
class QStandardItemModel;

// The archived transfers, newest first, a page at a time so that it opens
// at once on years of transfers: found by words and by days, opened into
// the main window, or deleted.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    HistoryWindow(CQuorvanta* engine, QWidget* parent);

    // The picture of the button that opens it.
    static QIcon Icon();
    // Transfers on one page.
    int pageSize = 100;
    // Reads the page shown from the archive again.
    void Refresh();

signals:
    // The user asked to see this transfer in the main window.
    void OpenTransfer(const QString& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The filter changed: its newest page.
    void Filtered();
    void Step(int pages);
    QString ChosenId() const;
    void OpenChosen();
    void DeleteChosen();

    Ui::HistoryWindowGUI ui;
    CQuorvanta* engine;
    QStandardItemModel* model;
    QTimer typing; // the filter is applied once the typing pauses
    int offset = 0;
    int total = 0;
};

#endif
