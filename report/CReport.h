#ifndef PARVESTA_CREPORT_H
#define PARVESTA_CREPORT_H

#include "CSafeFile.h"
#include "CTRData.h"
#include "Limits.h"
#include "Statistics.h"
#include "TransferSource.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLocale>
#include <QPageSize>
#include <QStringList>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// The report an inspector hands to a client: which transfer it is (when,
// where, which instrument, complete or which pages, a note), the statistics
// per group and unit against the job's limits, the histogram and run chart of
// each, and every reading with those outside the limits marked; each page
// numbered. The same pages go into a PDF file or to a printer.
class CReport
{
    Q_DECLARE_TR_FUNCTIONS(CQuorvanta)

public:
    // The texts the pages are written with, as the user's tables show them.
    struct Format
    {
        QString decimalSeparator = QStringLiteral(".");
        UnitTexts units;
        QString group = QStringLiteral("Group"); // the title of the group column
        // Group, unit, count, minimum, maximum, mean and deviation.
        QStringList statisticsColumns;
        // Low, high, nominal, pass, fail, Cp and Cpk.
        QStringList limitColumns;
    };

    CReport(const CTRData& data, const std::vector<Limit>& limits, const TransferSource& source,
            const QString& note, const Format& format);

    // Draws every page on device (a PDF writer, a printer) from its current
    // page on; false when the device cannot be painted on.
    bool Paint(QPagedPaintDevice* device) const;
    // The pages as a PDF document on the paper of the user's country.
    QByteArray Pdf() const;
    // The PDF to the file at path, replacing it only when whole.
    bool Write(const QByteArray& path, FileError* error = nullptr,
               int* systemError = nullptr) const;
    // How many pages the report has on device.
    int PageCount(QPagedPaintDevice* device) const;

    // Letter where a locale's country prints on it, A4 elsewhere.
    static QPageSize::PageSizeId PaperFor(const QLocale& locale);
    // The user's paper and the report's margins on device (a PDF writer, a
    // printer), before it is painted.
    static void SetUpPage(QPagedPaintDevice* device);
    // The mark beside a reading outside its limits ("▲" above, "▼" below);
    // empty for one inside them or without limits.
    static QString Mark(Limits::Verdict verdict);

private:
    // Lays the pages out, painting them when painter is given (page count
    // known by then); returns the number of pages.
    int Lay(QPagedPaintDevice* device, QPainter* painter, int pages) const;
    QString Number(const QString& text) const;
    QStringList StatisticsTexts(const Statistics::Row& row) const;

    const CTRData& data;
    const std::vector<Limit>& limits;
    TransferSource source;
    QString note;
    Format format;
    std::vector<Statistics::Row> rows;
};

#endif
