#ifndef PARVESTA_JSONFILE_H
#define PARVESTA_JSONFILE_H

#include "CSafeFile.h"
#include "CTRData.h"
#include "TransferSource.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The records as one JSON object, for the next program in a chain: the
// instrument family, the port it was read from, whether the reply was
// complete, when it was read and by which program, every record (group,
// cell, value as a number, the decimals it is shown with, unit) and the
// statistics per group and unit. Units are the fixed names of the unit codes
// ("m/s", "us", "mm", "Inches"), whatever the language of the desktop.
// SchemaVersion grows when a field changes its meaning or goes away.
namespace JsonFile
{
constexpr int SchemaVersion = 1;

// Where the records came from.
using Source = TransferSource;

QByteArray Document(const CTRData& data, const Source& source);
// The document to the file at path, replacing it only when whole.
bool Write(const QByteArray& path, const CTRData& data, const Source& source,
           FileError* error = nullptr, int* systemError = nullptr);
} // namespace JsonFile

#endif
