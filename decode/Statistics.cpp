#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace Statistics
{
QString Format(double figure, int decimals)
{
    // A mean of -0.004 shown with two decimals is 0.00, not -0.00.
    if (std::abs(figure) < 0.5 * std::pow(10.0, -decimals))
        figure = 0;
    return QString::number(figure, 'f', decimals);
}

std::vector<Row> Compute(const CTRData& data, const std::vector<Limit>& limits)
{
    std::vector<Row> rows;
    for (int group = 1; group <= data.groupCount; ++group)
    {
        // Welford's running mean and sum of squares: stable for many
        // readings close to each other, as thicknesses of one wall are.
        struct Running
        {
            Row row;
            double squares = 0;
        };
        std::map<int, Running> units;
        CMeasurement record;
        for (int position = 1; data.GetRecord(group, position, &record); ++position)
        {
            Running& r = units[record.unit];
            const double x = ExactValue(record);
            if (r.row.count == 0)
            {
                r.row.group = group;
                r.row.unit = record.unit;
                r.row.minimum = r.row.maximum = x;
            }
            r.row.minimum = std::min(r.row.minimum, x);
            r.row.maximum = std::max(r.row.maximum, x);
            r.row.decimals = std::max(r.row.decimals, ValueDecimals(record));
            ++r.row.count;
            const double delta = x - r.row.mean;
            r.row.mean += delta / r.row.count;
            r.squares += delta * (x - r.row.mean);
            switch (Limits::Judge(Limits::Find(limits, group, record.unit), x))
            {
            case Limits::Verdict::Unjudged:
                break;
            case Limits::Verdict::Pass:
                ++r.row.pass;
                break;
            case Limits::Verdict::Low:
            case Limits::Verdict::High:
                ++r.row.fail;
                break;
            }
        }
        for (auto& [unit, r] : units)
        {
            Row& row = r.row;
            if (row.count > 1)
                row.deviation = std::sqrt(r.squares / (row.count - 1));
            const Limit* limit = Limits::Find(limits, group, unit);
            row.judged = limit != nullptr;
            if (limit && limit->low && limit->high && row.deviation > 0)
            {
                row.capable = true;
                row.cp = (*limit->high - *limit->low) / (6 * row.deviation);
                row.cpk =
                    std::min(*limit->high - row.mean, row.mean - *limit->low) / (3 * row.deviation);
            }
            rows.push_back(row);
        }
    }
    return rows;
}

QStringList Texts(const Row& row, const QString& unit, const QString& noSpread)
{
    return {QString::number(row.group),
            unit,
            QString::number(row.count),
            Format(row.minimum, row.decimals),
            Format(row.maximum, row.decimals),
            Format(row.mean, row.decimals),
            row.count > 1 ? Format(row.deviation, row.decimals) : noSpread};
}
} // namespace Statistics
