#ifndef PARVESTA_JSONFILE_H
#define PARVESTA_JSONFILE_H

#include "CSafeFile.h"
#include "CTRData.h"
#include "Limits.h"
#include "Statistics.h"
#include "TransferSource.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The records as one JSON object, for the next program in a chain: the
// instrument family, the port it was read from, whether the reply was
// complete, when it was read and by which program, every record (group,
// cell, value as a number, the decimals it is shown with, unit) and the
// statistics per group and unit; with the job's limits, the limits too, each
// judged record's "pass" and each judged statistics row's "pass" and "fail"
// counts, and "cp" and "cpk" where both limits exist (null when the readings
// do not spread). Units are the fixed names of the unit codes
// ("m/s", "us", "mm", "Inches"), whatever the language of the desktop.
// SchemaVersion grows when a field changes its meaning or goes away.
namespace JsonFile
{
constexpr int SchemaVersion = 1;

// Where the records came from.
using Source = TransferSource;

QByteArray Document(const CTRData& data, const Source& source,
                    const std::vector<Limit>& limits = {});
// The document to the file at path, replacing it only when whole.
bool Write(const QByteArray& path, const CTRData& data, const Source& source,
           const std::vector<Limit>& limits = {}, FileError* error = nullptr,
           int* systemError = nullptr);

// The statistics alone, for a script: {"statistics": [{"group", "unit",
// "count", "min", "max", "mean", "sd"}, …]}, "sd" null for a single reading,
// and "pass", "fail" (and "cp", "cpk") only where limits apply, as above.
QByteArray StatisticsDocument(const std::vector<Statistics::Row>& rows,
                              const std::vector<Limit>& limits);
} // namespace JsonFile

#endif
