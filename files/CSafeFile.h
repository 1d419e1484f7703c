#ifndef PARVESTA_CSAFEFILE_H
#define PARVESTA_CSAFEFILE_H

#include <QByteArray>
#include <cstdio>

// Why a file could not be saved, in the terms a user can act on.
enum class FileError
{
    None,
    NoPermission,        // the folder or the file may not be written by this user
    WriteProtected,      // the user made the file read-only
    DiskFull,            // no room, or the user's quota or file-size limit reached
    FolderMissing,       // the folder is gone (a drive taken away, a folder renamed)
    ReadOnlyDisk,        // the disk itself is mounted read-only
    NotAFile,            // a folder, or a pipe nobody reads, stands in the file's place
    CannotReplaceSafely, // the file may be written, but its folder takes no new file
    Other,               // see the system's own text (SystemError)
};

// The reason for a system error number (errno) of a failed write.
FileError FileErrorOf(int errorNumber);

// Writes a file so that a failure, or the program being killed at any moment,
// never changes what was there. The text goes to a temporary file beside the
// target, which replaces the target by a rename only once every byte was
// written, flushed and synced; the new file keeps the old one's permissions,
// and a symbolic link is followed, not replaced. The temporary file has no
// name until then where the file system allows (O_TMPFILE), so a killed save
// leaves nothing behind. A folder that takes no new file refuses the save
// (CannotReplaceSafely): writing over the old file in place could leave half
// of each. A file the user made read-only is not replaced. Devices are
// written in place, with every error still checked.
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
    // Gives the save up for why; the target stays as it was. Always false.
    bool Abandon(FileError why, int errorNumber) { return Fail(why, errorNumber); }

    // The folder the temporary file lies in, ending in '/', once Open
    // succeeded; empty for a device, written in place.
    QByteArray Folder() const { return way == Way::InPlace ? QByteArray() : folder; }

    // The whole of bytes as the file at path, the same way; error and
    // systemError (when given) say why not.
    static bool Save(const QByteArray& path, const QByteArray& bytes, FileError* error = nullptr,
                     int* systemError = nullptr);

    // Passes why the save failed (None after success) to a caller who asked
    // (either may be null), and returns ok.
    bool Report(bool ok, FileError* why, int* errorNumber) const
    {
        if (why)
            *why = error;
        if (errorNumber)
            *errorNumber = systemError;
        return ok;
    }

    FileError Error() const { return error; }
    int SystemError() const { return systemError; } // errno of the failure

private:
    enum class Way
    {
        Unnamed,   // a temporary file without a name, linked in at the end
        Temporary, // a named temporary file renamed over the target
        InPlace,   // a device: written directly
    };

    bool Fail(int errorNumber);
    bool Fail(FileError why, int errorNumber);
    int OpenTemporary(int mode);
    bool Replace();
    void Discard();

    QByteArray target;
    QByteArray folder;
    QByteArray temporary; // the temporary file's name, while it has one
    Way way = Way::Temporary;
    FILE* file = nullptr;
    FileError error = FileError::None;
    int systemError = 0;
};

#endif
