#ifndef PARVESTA_CSVFILE_H
#define PARVESTA_CSVFILE_H

#include "CMeasurement.h"
#include "CSafeFile.h"
#include "CTRData.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

// The records as a semicolon-separated file in the local encoding: a header
// line, then group;cell;value;"unit" per record, every line ending in CR LF.
namespace CsvFile
{
// The texts a file is written with, already translated.
struct Format
{
    QString header;
    QString decimalSeparator = QStringLiteral(".");
    UnitTexts units;
};

// One record's line; true when the stream took it.
bool WriteRow(FILE* file, const CMeasurement& record, const Format& format);
// The header and every record of data, group by group, to an open stream
// (standard output, say); false when the stream refused.
bool Write(FILE* file, const CTRData& data, const Format& format);
// The same to the file at path (an 8-bit name).
// The file is replaced only once the whole text was written; otherwise it is
// as it was, and error says why.
bool Write(const QByteArray& path, const CTRData& data, const Format& format,
           FileError* error = nullptr, int* systemError = nullptr);
} // namespace CsvFile

#endif
