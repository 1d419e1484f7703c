#ifndef PARVESTA_CSAFEFILE_H
#define PARVESTA_CSAFEFILE_H

#include <QByteArray>
#include <cstdio>

// Writes a file so that a failure never destroys what was there: the text
// goes to a temporary file beside the target, which replaces the target only
// once every byte was written, flushed and closed. Devices and other
// non-regular targets are written in place, with every error still checked.
// Not QSaveFile: the writers speak FILE* streams, and Qt 6.4's QSaveFile
// renames its temporary file over a device node (/dev/full, a printer).
class CSafeFile
{
public:
    explicit CSafeFile(const QByteArray& path);
    ~CSafeFile();
    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    // The stream to write to, or null when the file cannot be created.
    FILE* Open();
    // True when everything written reached the target.
    bool Commit();

private:
    void Discard();

    QByteArray target;
    QByteArray temporary; // empty when writing in place
    FILE* file = nullptr;
};

#endif
