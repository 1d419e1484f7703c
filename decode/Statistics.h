#ifndef PARVESTA_STATISTICS_H
#define PARVESTA_STATISTICS_H

#include "CTRData.h"
#include "Limits.h"

#include <QString>
#include <QStringList>
#include <vector>

// Figures of a batch of readings, per group and unit: a group that holds
// readings in several units gets one row per unit, as a mean of millimetres
// and inches means nothing.
namespace Statistics
{
struct Row
{
    int group = 0;
    int unit = 0;  // a Unit code
    int count = 0; // readings
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double deviation = 0; // sample standard deviation; 0 for a single reading
    int decimals = 0;     // the most decimals any of its readings is shown with

    // Against the job's limits, when it has any for this group and unit.
    bool judged = false;
    int pass = 0;
    int fail = 0;
    // Process capability, when both limits exist and the readings spread:
    // Cp = (high - low) / 6 s, Cpk = min(high - mean, mean - low) / 3 s.
    bool capable = false;
    double cp = 0;
    double cpk = 0;
};

// One row per group (ascending) and unit (ascending unit code), from the
// readings' exact values (value / divisor), judged against limits.
std::vector<Row> Compute(const CTRData& data, const std::vector<Limit>& limits = {});

// A figure as the table shows it: fixed, decimals places, "." as point.
QString Format(double figure, int decimals);

// A row as a table shows it: group, unit (the text given), count, minimum,
// maximum, mean and deviation; noSpread in place of the deviation of a
// single reading, which has no spread to speak of.
QStringList Texts(const Row& row, const QString& unit, const QString& noSpread);
} // namespace Statistics

#endif
