#include "CChartBuilder.h"

#include <QLocale>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace
{
const QColor ReadingColour(0x2e, 0x6d, 0xb4);
const QColor MeanColour(0x1b, 0x7a, 0x3a);
const QColor LimitColour(0xc0, 0x1c, 0x28);

// The charts are read on a page as well as on a screen: small margins, the
// legend below, numbers in the user's language.
QChart* NewChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont small = chart->legend()->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    chart->legend()->setFont(small);
    // The decimal point of the user's desktop, no thousands grouping, as
    // the tables write figures.
    QLocale here;
    here.setNumberOptions(QLocale::OmitGroupSeparator);
    chart->setLocale(here);
    chart->setLocalizeNumbers(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QLineSeries* Line(QChart* chart, const char* name, const QString& legend, const QColor& colour,
                  Qt::PenStyle style, QPointF from, QPointF to)
{
    auto* line = new QLineSeries;
    line->setObjectName(QLatin1String(name));
    line->setName(legend);
    line->append(from);
    line->append(to);
    QPen pen(colour, 2, style);
    pen.setCosmetic(true);
    line->setPen(pen);
    chart->addSeries(line);
    return line;
}

QValueAxis* Axis(const QString& title, double low, double high, int decimals)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(low, high);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(std::max(decimals, 0)));
    return axis;
}

void Attach(QChart* chart, QValueAxis* x, QValueAxis* y)
{
    // The readings need no entry in the legend (the axis names them); the
    // lines drawn over them do, and get its room.
    for (QAbstractSeries* series : chart->series())
        if (series->objectName() == QLatin1String("readings"))
            chart->legend()->markers(series).first()->setVisible(false);
    // Round steps up the side: counts and readings read off at a glance.
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series())
    {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}
} // namespace

CChartBuilder::CChartBuilder(const CTRData& data_, const std::vector<Limit>& limits_)
    : data(data_), limits(limits_)
{
}

std::vector<CChartBuilder::Reading> CChartBuilder::Readings(int group, int unit) const
{
    std::vector<Reading> readings;
    if (group < 1 || group > CTRData::MaxGroups)
        return readings;
    for (const CMeasurement& record : data.groups[group - 1])
        if (record.unit == unit)
            readings.push_back({record.cell, ExactValue(record)});
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading& a, const Reading& b) { return a.cell < b.cell; });
    return readings;
}

int CChartBuilder::Bins(int count)
{
    // About the square root of the readings: a shape for a few dozen, not
    // a comb of single readings for a few thousand.
    return std::clamp(int(std::ceil(std::sqrt(double(count)))), 1, 30);
}

static QString ValueTitle(const QString& unitText)
{
    return unitText.isEmpty() ? CChartBuilder::tr("Reading")
                              : CChartBuilder::tr("Reading (%1)").arg(unitText);
}

QChart* CChartBuilder::Histogram(const Statistics::Row& row, const QString& unitText) const
{
    QChart* chart = NewChart(tr("Histogram"));
    const std::vector<Reading> readings = Readings(row.group, row.unit);
    const int bins = Bins(int(readings.size()));
    // Readings all alike still get a bar one step of their decimals wide.
    const double step = std::pow(10.0, -row.decimals);
    double low = row.minimum;
    double high = row.maximum;
    if (high - low < step)
    {
        low -= step / 2;
        high += step / 2;
    }
    const double width = (high - low) / bins;
    std::vector<int> counts(std::size_t(bins), 0);
    for (const Reading& r : readings)
        ++counts[std::size_t(std::clamp(int((r.value - low) / width), 0, bins - 1))];

    auto* outline = new QLineSeries;
    outline->append(low, 0);
    for (int b = 0; b < bins; ++b)
    {
        outline->append(low + b * width, counts[std::size_t(b)]);
        outline->append(low + (b + 1) * width, counts[std::size_t(b)]);
    }
    outline->append(high, 0);
    auto* bars = new QAreaSeries(outline);
    outline->setParent(bars);
    bars->setObjectName(QStringLiteral("readings"));
    bars->setName(tr("Readings"));
    bars->setColor(ReadingColour.lighter(150));
    bars->setBorderColor(ReadingColour);
    chart->addSeries(bars);

    const int most = *std::max_element(counts.begin(), counts.end());
    const double top = std::max(1.0, most * 1.1);
    Line(chart, "mean", tr("Mean"), MeanColour, Qt::SolidLine, {row.mean, 0}, {row.mean, top});
    double from = low;
    double to = high;
    if (row.count > 1 && row.deviation > 0)
    {
        const double spread = 3 * row.deviation;
        Line(chart, "minus3s", tr("Mean ± 3 s"), MeanColour, Qt::DashLine, {row.mean - spread, 0},
             {row.mean - spread, top});
        QLineSeries* plus = Line(chart, "plus3s", tr("Mean ± 3 s"), MeanColour, Qt::DashLine,
                                 {row.mean + spread, 0}, {row.mean + spread, top});
        from = std::min(from, row.mean - spread);
        to = std::max(to, row.mean + spread);
        // One entry in the legend for both lines.
        chart->legend()->markers(plus).first()->setVisible(false);
    }
    const double margin = (to - from) * 0.03;
    Attach(chart, Axis(ValueTitle(unitText), from - margin, to + margin, row.decimals),
           Axis(tr("Count"), 0, top, 0));
    return chart;
}

QChart* CChartBuilder::RunChart(const Statistics::Row& row, const QString& unitText) const
{
    QChart* chart = NewChart(tr("Run chart"));
    const std::vector<Reading> readings = Readings(row.group, row.unit);
    const Limit* limit = Limits::Find(limits, row.group, row.unit);

    auto* line = new QLineSeries;
    line->setObjectName(QStringLiteral("readings"));
    line->setName(tr("Readings"));
    line->setPen(QPen(ReadingColour, 1.5));
    auto* outside = new QScatterSeries;
    outside->setObjectName(QStringLiteral("outside"));
    outside->setName(tr("Outside the limits"));
    outside->setColor(LimitColour);
    outside->setBorderColor(LimitColour);
    outside->setMarkerSize(7);
    QList<QPointF> points;
    QList<QPointF> marked;
    points.reserve(qsizetype(readings.size()));
    for (const Reading& r : readings)
    {
        points.append(QPointF(r.cell, r.value));
        const Limits::Verdict verdict = Limits::Judge(limit, r.value);
        if (verdict == Limits::Verdict::Low || verdict == Limits::Verdict::High)
            marked.append(QPointF(r.cell, r.value));
    }
    line->replace(points);
    outside->replace(marked);
    chart->addSeries(line);

    const double first = readings.empty() ? 0 : readings.front().cell;
    const double last = readings.empty() ? 1 : std::max(first + 1, double(readings.back().cell));
    Line(chart, "mean", tr("Mean"), MeanColour, Qt::SolidLine, {first, row.mean}, {last, row.mean});
    double low = row.minimum;
    double high = row.maximum;
    // Both limits look alike and share one entry in the legend, which then
    // has room for its words in every language.
    const bool both = limit && limit->low && limit->high;
    if (limit && limit->low)
    {
        Line(chart, "low", both ? tr("Limits") : tr("Low limit"), LimitColour, Qt::DashLine,
             {first, *limit->low}, {last, *limit->low});
        low = std::min(low, *limit->low);
        high = std::max(high, *limit->low);
    }
    if (limit && limit->high)
    {
        QLineSeries* highLine = Line(chart, "high", tr("High limit"), LimitColour, Qt::DashLine,
                                     {first, *limit->high}, {last, *limit->high});
        if (both)
            chart->legend()->markers(highLine).first()->setVisible(false);
        low = std::min(low, *limit->high);
        high = std::max(high, *limit->high);
    }
    if (limit)
        chart->addSeries(outside);
    else
        delete outside;
    const double margin = std::max((high - low) * 0.05, std::pow(10.0, -row.decimals));
    // Ticks on whole cells, at most about ten of them.
    QValueAxis* cells = Axis(tr("Cell"), first, last, 0);
    cells->setTickType(QValueAxis::TicksDynamic);
    cells->setTickAnchor(first);
    cells->setTickInterval(std::max(1.0, std::ceil((last - first) / 10)));
    Attach(chart, cells, Axis(ValueTitle(unitText), low - margin, high + margin, row.decimals));
    return chart;
}
