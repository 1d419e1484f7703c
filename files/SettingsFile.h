#ifndef PARVESTA_SETTINGSFILE_H
#define PARVESTA_SETTINGSFILE_H

#include "CSafeFile.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

// Settings.ini: seven lines in a fixed order, each ending in CR LF, each
// value taken by its line number, not by the key written in front of it.
namespace SettingsFile
{
constexpr char Header[] = "Quorvanta Settings File";

// What the file keeps; reading changes only what the file says.
struct Values
{
    int language = 1; // 1 "Eng", 0 "Rus"
    QString version;  // written only
    int comSpeed = 38400;
    bool fixedPort = false;
    int comPort = 0;
    QByteArray dataPath; // the folder's name as the file system spells it
    bool virtualDevice = false;
    int virtualPort = 0;
};

// True when text can stand as a value: a line break would end its line and
// start the next setting.
bool Storable(const QByteArray& text);

// Parses an open stream. False, with values untouched, when the first line
// is not the header (a byte-order mark, spaces or tabs around it and its
// letter case do not matter) or the stream could not be read; lines that are
// missing or not understood keep the value they had. A line is read whole,
// however long.
bool Read(FILE* file, Values* values);
// Writes the seven lines; false when the stream reported an error. A data
// folder that is not Storable is written empty (the default folder).
bool Write(FILE* file, const Values& values);

// What Load found at a path.
enum class Found
{
    Read,          // a settings file, taken into the values
    Nothing,       // no file, or an empty one: nothing of the user's to keep
    NotUnderstood, // a file that could not be read or is not a settings file
};

// The same on the file at path (an 8-bit name). Only a regular file is read
// or replaced: a pipe, a device or a folder in its place is left alone, and
// Load never waits for one. Save replaces the file only once the whole text
// was written.
Found Load(const QByteArray& path, Values* values);
bool Save(const QByteArray& path, const Values& values, FileError* error = nullptr,
          int* systemError = nullptr);
} // namespace SettingsFile

#endif
