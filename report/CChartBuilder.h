#ifndef PARVESTA_CCHARTBUILDER_H
#define PARVESTA_CCHARTBUILDER_H

#include "CTRData.h"
#include "Limits.h"
#include "Statistics.h"

#include <QCoreApplication>
#include <QString>
#include <QtCharts/QChart>
#include <vector>

// The two pictures of one group's readings in one unit: a histogram with the
// mean and mean ± 3 s marked, and a run chart of the readings in cell order
// with the mean and the job's limits as lines. The Statistics window shows
// them, the report draws the very same charts on its pages.
class CChartBuilder
{
    Q_DECLARE_TR_FUNCTIONS(CQuorvanta)

public:
    CChartBuilder(const CTRData& data, const std::vector<Limit>& limits);

    struct Reading
    {
        int cell = 0;
        double value = 0; // as shown: value / divisor
    };
    // The readings of group in unit, in cell order.
    std::vector<Reading> Readings(int group, int unit) const;

    // New charts for the row's group and unit, owned by the caller; unitText
    // names the unit on the value axis.
    QChart* Histogram(const Statistics::Row& row, const QString& unitText) const;
    QChart* RunChart(const Statistics::Row& row, const QString& unitText) const;

    // How many bins the histogram of count readings has.
    static int Bins(int count);

private:
    const CTRData& data;
    const std::vector<Limit>& limits;
};

#endif
