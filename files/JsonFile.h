#ifndef PARVESTA_JSONFILE_H
#define PARVESTA_JSONFILE_H

#include "CSafeFile.h"
#include "CTRData.h"

#include <QByteArray>
#include <QString>

// The records as one JSON object, for the next program in a chain: the
// instrument family, the port it was read from, every record (group, cell,
// value as a number, unit) and the statistics per group and unit. Units are
// the fixed names of the unit codes ("m/s", "us", "mm", "Inches"), whatever
// the language of the desktop.
namespace JsonFile
{
// Where the records came from.
struct Source
{
    QString port;           // "COM3", or the device path given
    QString device;         // the device path the port resolved to
    int pagesReceived = 0;  // with pagesAnnounced: whole pages of a reply that
    int pagesAnnounced = 0; // did not complete; both 0 for a whole reply
};

QByteArray Document(const CTRData& data, const Source& source);
// The document to the file at path, replacing it only when whole.
bool Write(const QByteArray& path, const CTRData& data, const Source& source,
           FileError* error = nullptr, int* systemError = nullptr);
} // namespace JsonFile

#endif
