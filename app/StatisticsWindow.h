#ifndef PARVESTA_STATISTICSWINDOW_H
#define PARVESTA_STATISTICSWINDOW_H

#include "CQuorvanta.h"
#include "Statistics.h"
#include "ui_StatisticsWindowGUI.h"

#include <QWidget>
#include <optional>
#include <vector>

class QChartView;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The figures of the results per group and unit, against the job's limits:
// the table, the histogram and run chart of the row chosen, the entry of
// that group's limits, and the report of the whole transfer (saved as PDF
// or printed).
class StatisticsWindow : public QWidget
{
    Q_OBJECT

public:
    StatisticsWindow(CQuorvanta* engine, QWidget* parent);

    // The figures of the engine's records now, keeping the row chosen.
    void Fill();
    // The note the next report's title block carries, asked of the user;
    // false when the user cancelled.
    bool AskNote();

    Ui::StatisticsWindowGUI ui;

signals:
    // The limits were saved: the marks in the result table follow them.
    void LimitsChanged();

private:
    const Statistics::Row* Chosen() const;
    void ShowChosen();
    void SetLimits();
    // A limit typed in the user's way of writing numbers; false, with the
    // message shown, when it is not a number.
    bool ReadNumber(QLineEdit* edit, std::optional<double>* number);
    void SaveReport();
    void PrintReport();

    CQuorvanta* engine;
    std::vector<Statistics::Row> rows;
    QChartView* histogramView = nullptr;
    QChartView* runChartView = nullptr;
    QLabel* limitsTitle = nullptr;
    QLineEdit* lowEdit = nullptr;
    QLineEdit* highEdit = nullptr;
    QLineEdit* nominalEdit = nullptr;
    QPushButton* setLimitsButton = nullptr;
    QLabel* limitsMessage = nullptr;
};

#endif
