#ifndef PARVESTA_LIMITSFILE_H
#define PARVESTA_LIMITSFILE_H

#include "CSafeFile.h"
#include "Limits.h"
#include "SettingsFile.h"

#include <QByteArray>
#include <vector>

// Limits.ini: the job's limits per group and unit, a text a user can read
// and edit. A "[Limits]" line, then one line per limit:
//   Group=3;Unit=mm;Low=1.2;High=1.24;Nominal=
// Unit is m/s, us, mm, Inches or any; an empty Low, High or Nominal is none.
// Numbers use "." whatever the locale and are written in the shortest form
// that reads back as the same number. Lines end in CR LF; LF is read too.
namespace LimitsFile
{
using Found = SettingsFile::Found;

// The whole file's text.
QByteArray Text(const std::vector<Limit>& limits);
// Parses a whole file's text. False, with limits untouched, when any line
// is not understood: a limit dropped silently would pass readings the user
// meant to fail. Lines starting with ';' or '#' and blank lines are skipped.
bool Parse(const QByteArray& text, std::vector<Limit>* limits);

// The file at path (an 8-bit name). Only a regular file is read or
// replaced; Save replaces it only once the whole text was written.
Found Load(const QByteArray& path, std::vector<Limit>* limits);
bool Save(const QByteArray& path, const std::vector<Limit>& limits, FileError* error = nullptr,
          int* systemError = nullptr);
} // namespace LimitsFile

#endif
