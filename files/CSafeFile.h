#ifndef PARVESTA_CSAFEFILE_H
#define PARVESTA_CSAFEFILE_H

#include <QByteArray>
#include <cstdio>

// Why a file could not be saved, in the terms a user can act on.
enum class FileError
{
    None,
    NoPermission,   // the folder or the file may not be written by this user
    WriteProtected, // the user made the file read-only
    DiskFull,       // no room, or the user's quota or file-size limit reached
    FolderMissing,  // the folder is gone (a drive taken away, a folder renamed)
    ReadOnlyDisk,   // the disk itself is mounted read-only
    NotAFile,       // a folder, or a pipe nobody reads, stands in the file's place
    Other,          // see the system's own text (SystemError)
};

// Writes a file so that a failure never changes what was there. The text goes
// to a temporary file beside the target, which replaces the target only once
// every byte was written, flushed and closed; the new file keeps the old
// one's permissions, and a symbolic link is followed, not replaced. Where no
// temporary file may be made (a folder the user may not write to, holding a
// file the user may), the whole text is kept in memory and its room on the
// disk is reserved before the first old byte is overwritten. A file the user
// made read-only is not replaced. Devices are written in place, with every
// error still checked.
// Not QSaveFile: the writers speak FILE* streams, and Qt 6.4's QSaveFile
// renames its temporary file over a device node (/dev/full, a printer).
class CSafeFile
{
public:
    explicit CSafeFile(const QByteArray& path);
    ~CSafeFile();
    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    // The stream to write to, or null when the file cannot be written (see
    // Error).
    FILE* Open();
    // True when everything written reached the target; otherwise the target
    // is as it was (see Error).
    bool Commit();
    // Gives the save up after a write the stream refused with errorNumber;
    // the target stays as it was. Always false.
    bool Abandon(int errorNumber) { return Fail(errorNumber); }

    // The whole of bytes as the file at path, the same way; error and
    // systemError (when given) say why not.
    static bool Save(const QByteArray& path, const QByteArray& bytes, FileError* error = nullptr,
                     int* systemError = nullptr);

    FileError Error() const { return error; }
    int SystemError() const { return systemError; } // errno of the failure

private:
    enum class Way
    {
        Temporary, // a temporary file renamed over the target
        InMemory,  // the text in memory, written over the target in place
        InPlace,   // a device: written directly
    };

    bool Fail(int errorNumber);
    bool Fail(FileError why, int errorNumber);
    bool WriteOver();
    void Discard();

    QByteArray target;
    QByteArray temporary;
    Way way = Way::Temporary;
    FILE* file = nullptr;
    char* memory = nullptr; // the text, with Way::InMemory
    std::size_t memorySize = 0;
    FileError error = FileError::None;
    int systemError = 0;
};

#endif
