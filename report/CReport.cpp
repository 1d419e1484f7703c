#include "CReport.h"

#include "CChartBuilder.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
const QColor MarkColour(0xc0, 0x1c, 0x28);

QFont PageFont(double points, bool bold = false)
{
    // A face with Cyrillic and the marks' triangles wherever it is printed.
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Draws chart into target of painter through a scene, at a size in which its
// texts are as large as on a screen, scaled to the page.
void Render(QGraphicsScene& scene, QChart* chart, QPainter* painter, const QRectF& target,
            double dpi)
{
    const double screenUnits = 96.0 / dpi * 1.3;
    const QRectF source(0, 0, target.width() * screenUnits, target.height() * screenUnits);
    scene.addItem(chart);
    scene.setSceneRect(source);
    chart->setGeometry(source);
    // The chart lays out its axes and labels in posted events; a chart
    // drawn at once would have none.
    QCoreApplication::sendPostedEvents();
    scene.render(painter, target, source);
    scene.removeItem(chart);
}
} // namespace

CReport::CReport(const CTRData& data_, const std::vector<Limit>& limits_,
                 const TransferSource& source_, const QString& note_, const Format& format_)
    : data(data_), limits(limits_), source(source_), note(note_), format(format_),
      rows(Statistics::Compute(data_, limits_))
{
    if (format.statisticsColumns.size() < 7)
        format.statisticsColumns = {format.group,  tr("Unit"), tr("Count"),         tr("Minimum"),
                                    tr("Maximum"), tr("Mean"), tr("Std. deviation")};
    if (format.limitColumns.size() < 7)
        format.limitColumns = {tr("Low"),  tr("High"),           tr("Nominal"),        tr("Pass"),
                               tr("Fail"), QStringLiteral("Cp"), QStringLiteral("Cpk")};
}

QPageSize::PageSizeId CReport::PaperFor(const QLocale& locale)
{
    // The countries whose printers hold Letter paper, metric or not.
    switch (locale.territory())
    {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
        return QPageSize::Letter;
    default:
        return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                       : QPageSize::A4;
    }
}

void CReport::SetUpPage(QPagedPaintDevice* device)
{
    device->setPageSize(QPageSize(PaperFor(QLocale::system())));
    device->setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
}

QString CReport::Mark(Limits::Verdict verdict)
{
    if (verdict == Limits::Verdict::High)
        return QStringLiteral("▲");
    if (verdict == Limits::Verdict::Low)
        return QStringLiteral("▼");
    return QString();
}

QString CReport::Number(const QString& text) const
{
    return QString(text).replace(QLatin1Char('.'), format.decimalSeparator);
}

QStringList CReport::StatisticsTexts(const Statistics::Row& row) const
{
    QStringList texts = Statistics::Texts(row, format.units.Of(row.unit), QStringLiteral("–"));
    for (int c = 2; c < int(texts.size()); ++c)
        texts[c] = Number(texts[c]);
    const Limit* limit = Limits::Find(limits, row.group, row.unit);
    auto figure = [this](const std::optional<double>& value, int decimals) {
        return value ? Number(Statistics::Format(*value, decimals)) : QString();
    };
    texts << figure(limit ? limit->low : std::nullopt, row.decimals)
          << figure(limit ? limit->high : std::nullopt, row.decimals);
    texts << (row.judged ? QString::number(row.pass) : QString())
          << (row.judged ? QString::number(row.fail) : QString());
    texts << (row.capable ? Number(Statistics::Format(row.cp, 2)) : QString())
          << (row.capable ? Number(Statistics::Format(row.cpk, 2)) : QString());
    return texts;
}

int CReport::Lay(QPagedPaintDevice* device, QPainter* painter, int pages) const
{
    const double dpi = device->logicalDpiY();
    auto mm = [dpi](double millimetres) { return millimetres * dpi / 25.4; };
    const double width = device->width();
    const double footer = mm(8);
    const double bottom = device->height() - footer;
    const QFont titleFont = PageFont(16, true);
    const QFont headingFont = PageFont(12, true);
    const QFont bodyFont = PageFont(9);
    const QFont boldFont = PageFont(9, true);
    const QFont smallFont = PageFont(7.5);
    const QFont smallBold = PageFont(7.5, true);
    const double line = QFontMetricsF(bodyFont, device).height() * 1.15;
    const double smallLine = QFontMetricsF(smallFont, device).height() * 1.2;

    const QDateTime local = source.downloaded.toLocalTime();
    const QLocale locale = QLocale::system();
    // A report is kept for years: all four digits of the year, in the
    // order and with the separators of the user's language.
    QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!dateFormat.contains(QLatin1String("yyyy")))
        dateFormat.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    const QString when = source.downloaded.isValid()
                             ? locale.toString(local.date(), dateFormat) + QLatin1Char(' ') +
                                   local.time().toString(QStringLiteral("HH:mm:ss"))
                             : QString();

    int page = 1;
    double y = 0;
    auto text = [&](const QRectF& box, const QString& s, const QFont& font, int flags,
                    const QColor& colour = Qt::black) {
        if (!painter)
            return;
        painter->setFont(font);
        painter->setPen(colour);
        painter->drawText(box, flags, s);
    };
    auto newPage = [&] {
        if (painter)
        {
            text(QRectF(0, bottom, width, footer),
                 (data.family + QLatin1Char(' ') + when).trimmed(), smallFont,
                 Qt::AlignLeft | Qt::AlignBottom);
            text(QRectF(0, bottom, width, footer), tr("Page %1 of %2").arg(page).arg(pages),
                 smallFont, Qt::AlignRight | Qt::AlignBottom);
        }
        ++page;
        y = 0;
    };
    auto next = [&] {
        newPage();
        if (painter)
            device->newPage();
    };
    auto need = [&](double height) {
        if (y > 0 && y + height > bottom)
            next();
    };
    auto heading = [&](const QString& s, double after) {
        const double h = QFontMetricsF(headingFont, device).height();
        need(mm(4) + h + after);
        if (y > 0)
            y += mm(4);
        text(QRectF(0, y, width, h), s, headingFont, Qt::AlignLeft | Qt::AlignVCenter);
        y += h + mm(1.5);
    };

    // The title block: which transfer this is.
    const double titleHeight = QFontMetricsF(titleFont, device).height();
    text(QRectF(0, 0, width, titleHeight), tr("Measurement report"), titleFont,
         Qt::AlignLeft | Qt::AlignVCenter);
    y = titleHeight + mm(3);
    QString pagesText;
    if (source.pagesAnnounced > 0 && !source.complete)
        pagesText =
            tr("incomplete: %1 of %2 pages").arg(source.pagesReceived).arg(source.pagesAnnounced);
    else if (source.pagesAnnounced > 0)
        pagesText =
            tr("complete: %1 of %2 pages").arg(source.pagesReceived).arg(source.pagesAnnounced);
    else
        pagesText = tr("complete");
    int readings = 0;
    for (int g = 1; g <= data.groupCount; ++g)
        readings += data.RecordCount(g);
    QList<QPair<QString, QString>> facts = {
        {tr("Transferred"), when},
        {tr("Station"), source.station},
        {tr("Instrument"), data.family},
        {tr("Port"), source.device.isEmpty() || source.device == source.port
                         ? source.port
                         : source.port + QStringLiteral(" (") + source.device + QLatin1Char(')')},
        {tr("Pages"), pagesText},
        {tr("Readings"), QString::number(readings)},
        {tr("Program"), (source.program + QLatin1Char(' ') + source.version).trimmed()}};
    if (!source.transfer.isEmpty())
        facts.append({tr("Transfer"), source.transfer});
    if (!note.trimmed().isEmpty())
        facts.append({tr("Note"), note.trimmed()});
    const double key = mm(32);
    for (const auto& fact : facts)
    {
        const QRectF box(key, y, width - key, 1e6);
        const double h = std::max(line, QFontMetricsF(bodyFont, device)
                                            .boundingRect(box, Qt::TextWordWrap, fact.second)
                                            .height());
        need(h);
        text(QRectF(0, y, key, line), fact.first, boldFont, Qt::AlignLeft | Qt::AlignTop);
        text(QRectF(key, y, width - key, h), fact.second, bodyFont,
             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        y += h;
    }

    // The statistics, each column as wide as its widest text.
    QStringList columns = format.statisticsColumns.mid(0, 7);
    columns << format.limitColumns[0] << format.limitColumns[1] << format.limitColumns.mid(3);
    std::vector<QStringList> cells;
    for (const Statistics::Row& row : rows)
        cells.push_back(StatisticsTexts(row));
    const double pad = mm(1.5);
    std::vector<double> widths(std::size_t(columns.size()), 0);
    const QFontMetricsF smallMetrics(smallFont, device);
    const QFontMetricsF smallBoldMetrics(smallBold, device);
    for (int c = 0; c < int(columns.size()); ++c)
    {
        // A title may break between its words, a figure never.
        for (const QString& word : columns[c].split(QLatin1Char(' ')))
            widths[std::size_t(c)] =
                std::max(widths[std::size_t(c)], smallBoldMetrics.horizontalAdvance(word));
        for (const QStringList& texts : cells)
            widths[std::size_t(c)] =
                std::max(widths[std::size_t(c)], smallMetrics.horizontalAdvance(texts[c]));
        widths[std::size_t(c)] += 2 * pad;
    }
    double total = 0;
    for (double w : widths)
        total += w;
    for (double& w : widths)
        w *= width / total;
    const double headerHeight = 2 * smallLine + pad;
    auto tableHeader = [&] {
        double x = 0;
        for (int c = 0; c < int(columns.size()); ++c)
        {
            text(QRectF(x + pad, y, widths[std::size_t(c)] - 2 * pad, headerHeight - pad),
                 columns[c], smallBold,
                 (c == 1 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom | Qt::TextWordWrap);
            x += widths[std::size_t(c)];
        }
        y += headerHeight;
        if (painter)
            painter->fillRect(QRectF(0, y - mm(0.2), width, mm(0.3)), Qt::black);
    };
    heading(tr("Statistics"), headerHeight + smallLine);
    tableHeader();
    for (std::size_t r = 0; r < cells.size(); ++r)
    {
        if (y + smallLine > bottom)
        {
            next();
            tableHeader();
        }
        double x = 0;
        if (painter && r % 2 == 1)
            painter->fillRect(QRectF(0, y, width, smallLine), QColor(0xf0, 0xf0, 0xf0));
        for (int c = 0; c < int(columns.size()); ++c)
        {
            const bool failed = c == 10 && rows[r].fail > 0;
            text(QRectF(x + pad, y, widths[std::size_t(c)] - 2 * pad, smallLine), cells[r][c],
                 failed ? smallBold : smallFont,
                 (c == 1 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                 failed ? MarkColour : QColor(Qt::black));
            x += widths[std::size_t(c)];
        }
        y += smallLine;
    }

    // Two charts side by side per group and unit.
    const double gap = mm(4);
    const double chartWidth = (width - gap) / 2;
    const double chartHeight = chartWidth * 0.68;
    const double groupLine = QFontMetricsF(boldFont, device).height() * 1.3;
    std::unique_ptr<QGraphicsScene> scene;
    std::unique_ptr<CChartBuilder> builder;
    if (painter)
    {
        scene = std::make_unique<QGraphicsScene>();
        builder = std::make_unique<CChartBuilder>(data, limits);
    }
    heading(tr("Charts"), groupLine + chartHeight);
    for (const Statistics::Row& row : rows)
    {
        need(groupLine + chartHeight + mm(3));
        const QString unit = format.units.Of(row.unit);
        text(QRectF(0, y, width, groupLine),
             unit.isEmpty()
                 ? QStringLiteral("%1 %2").arg(format.group).arg(row.group)
                 : QStringLiteral("%1 %2, %3").arg(format.group).arg(row.group).arg(unit),
             boldFont, Qt::AlignLeft | Qt::AlignVCenter);
        y += groupLine;
        if (painter)
        {
            std::unique_ptr<QChart> histogram(builder->Histogram(row, unit));
            Render(*scene, histogram.get(), painter, QRectF(0, y, chartWidth, chartHeight), dpi);
            std::unique_ptr<QChart> run(builder->RunChart(row, unit));
            Render(*scene, run.get(), painter, QRectF(chartWidth + gap, y, chartWidth, chartHeight),
                   dpi);
        }
        y += chartHeight + mm(3);
    }

    // Every reading in the instrument's order, in four blocks across a page,
    // those outside their limits marked by a sign beside the value.
    bool anyLimit = false;
    for (const Statistics::Row& row : rows)
        anyLimit = anyLimit || row.judged;
    heading(tr("Readings"), (anyLimit ? 2 : 1) * smallLine + headerHeight);
    if (anyLimit)
    {
        text(QRectF(0, y, width, smallLine),
             tr("%1 above the high limit, %2 below the low limit")
                 .arg(Mark(Limits::Verdict::High), Mark(Limits::Verdict::Low)),
             smallFont, Qt::AlignLeft | Qt::AlignVCenter, MarkColour);
        y += smallLine;
    }
    std::vector<CMeasurement> records;
    records.reserve(std::size_t(readings));
    for (int g = 1; g <= data.groupCount; ++g)
        records.insert(records.end(), data.groups[g - 1].begin(), data.groups[g - 1].end());
    // Group, cell, value and unit as wide as their titles and texts, the
    // mark after the unit; as many blocks of them across the page as fit.
    const QString readingTitles[4] = {format.group, tr("Cell"), tr("Value"), tr("Unit")};
    const double cellPad = mm(0.8);
    const double markWidth = smallMetrics.horizontalAdvance(Mark(Limits::Verdict::High)) + cellPad;
    double parts[4];
    for (int c = 0; c < 4; ++c)
        parts[c] = smallBoldMetrics.horizontalAdvance(readingTitles[c]);
    parts[0] = std::max(parts[0], smallMetrics.horizontalAdvance(QStringLiteral("255")));
    parts[1] = std::max(parts[1], smallMetrics.horizontalAdvance(QStringLiteral("255")));
    for (int unit = 0; unit < 4; ++unit)
        parts[3] = std::max(parts[3], smallMetrics.horizontalAdvance(format.units.Of(unit)));
    for (const CMeasurement& record : records)
        parts[2] =
            std::max(parts[2], smallBoldMetrics.horizontalAdvance(Number(FormatValue(record))));
    double needed = markWidth;
    for (double& part : parts)
        needed += part += 2 * cellPad;
    const double blockGap = mm(4);
    const int blocks = std::clamp(int((width + blockGap) / (needed + blockGap)), 1, 4);
    const double blockWidth = (width - (blocks - 1) * blockGap) / blocks;
    parts[2] += blockWidth - needed; // the room left widens the value's column
    std::size_t done = 0;
    while (done < records.size())
    {
        const int perBlock = std::max(1, int((bottom - y - headerHeight) / smallLine));
        if (y > 0 && bottom - y - headerHeight < 3 * smallLine)
        {
            next();
            continue;
        }
        for (int b = 0; b < blocks && done < records.size(); ++b)
        {
            const double left = b * (blockWidth + blockGap);
            double x = left;
            for (int c = 0; c < 4; ++c)
            {
                const double w = parts[c];
                text(QRectF(x + cellPad, y, w - 2 * cellPad, headerHeight - pad), readingTitles[c],
                     smallBold, (c == 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom);
                x += w;
            }
            if (painter)
                painter->fillRect(QRectF(left, y + headerHeight - mm(0.2), blockWidth, mm(0.3)),
                                  Qt::black);
            double rowY = y + headerHeight;
            for (int i = 0; i < perBlock && done < records.size(); ++i, ++done, rowY += smallLine)
            {
                if (!painter)
                    continue;
                const CMeasurement& record = records[done];
                const Limits::Verdict verdict = Limits::Judge(limits, record);
                const QString mark = Mark(verdict);
                const QColor colour = mark.isEmpty() ? QColor(Qt::black) : MarkColour;
                const QString cells4[4] = {
                    QString::number(record.group), QString::number(record.cell),
                    Number(FormatValue(record)), format.units.Of(record.unit)};
                x = left;
                for (int c = 0; c < 4; ++c)
                {
                    const double w = parts[c];
                    text(QRectF(x + cellPad, rowY, w - 2 * cellPad, smallLine), cells4[c],
                         c == 2 && !mark.isEmpty() ? smallBold : smallFont,
                         (c == 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                         c == 2 ? colour : QColor(Qt::black));
                    x += w;
                }
                if (!mark.isEmpty())
                    text(QRectF(x, rowY, markWidth, smallLine), mark, smallFont,
                         Qt::AlignLeft | Qt::AlignVCenter, MarkColour);
            }
        }
        if (done < records.size())
            next();
        else
            y = bottom;
    }
    newPage();
    return page - 1;
}

int CReport::PageCount(QPagedPaintDevice* device) const
{
    return Lay(device, nullptr, 0);
}

bool CReport::Paint(QPagedPaintDevice* device) const
{
    const int pages = PageCount(device);
    QPainter painter;
    if (!painter.begin(device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    Lay(device, &painter, pages);
    return painter.end();
}

QByteArray CReport::Pdf() const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        SetUpPage(&writer);
        writer.setTitle(tr("Measurement report"));
        writer.setCreator(source.program);
        if (!Paint(&writer))
            return QByteArray();
    }
    return buffer.data();
}

bool CReport::Write(const QByteArray& path, FileError* error, int* systemError) const
{
    const QByteArray pdf = Pdf();
    if (pdf.isEmpty())
    {
        if (error)
            *error = FileError::Other;
        if (systemError)
            *systemError = 0;
        return false;
    }
    return CSafeFile::Save(path, pdf, error, systemError);
}
