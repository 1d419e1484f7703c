#ifndef PARVESTA_XLSXFILE_H
#define PARVESTA_XLSXFILE_H

#include "CSafeFile.h"
#include "CTRData.h"
#include "Limits.h"
#include "TransferSource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The records as an Excel workbook: a sheet of the four columns, readings
// stored as numbers with their own decimals as number format (so that they
// sum whatever the locale of the PC that saved them), and a sheet of the
// statistics per group and unit with a chart of each: its readings in cell
// order, and the job's limits as lines.
namespace XlsxFile
{
// The texts a workbook is written with, already translated.
struct Format
{
    QString measurementsSheet;
    QString statisticsSheet;
    QStringList columns;           // group, cell, result, unit
    QStringList statisticsColumns; // group, unit, count, minimum, maximum, mean, deviation
    UnitTexts units;
    // The sheet that names the transfer, and its line titles: downloaded
    // (UTC), station, family, port, device, complete, pages received, pages
    // announced, program, transfer id; then the words for complete or not.
    QString downloadSheet;
    QStringList downloadTitles;
    QString complete;
    QString incomplete;
    // The job's limits. With any, the readings get a column saying which
    // limit a reading is outside of (and a marked cell), and the statistics
    // the limits, pass and fail counts, Cp and Cpk where they apply.
    std::vector<Limit> limits;
    QString limitColumn;      // the readings' column
    QString belowLow;         // its word for a reading below the low limit
    QString aboveHigh;        // and above the high limit
    QStringList limitColumns; // low, high, nominal, pass, fail, Cp, Cpk
};

// Every record of data to the file at path (an 8-bit name), replacing it
// only once the whole workbook was made; otherwise it is as it was, and
// error says why.
// The workbook names its transfer (source) on a sheet of its own and in its
// document properties.
bool Write(const QByteArray& path, const CTRData& data, const Format& format,
           const TransferSource& source = TransferSource(), FileError* error = nullptr,
           int* systemError = nullptr);
} // namespace XlsxFile

#endif
