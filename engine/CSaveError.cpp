// Why a save failed, in the words of a user who can act on it.
#include "CSaveError.h"

#include <cstring>

QString CSaveError::Text(FileError error, int systemError, const QByteArray& path)
{
    // A folder whose name is not UTF-8 reaches the window's dialog with
    // stand-ins for its bytes: the path it gives leads nowhere.
    if ((error == FileError::FolderMissing || error == FileError::Other) &&
        path.contains("\xEF\xBF\xBD"))
        return tr("the name of the folder or of the file is not UTF-8 text, which this "
                  "program cannot write to; choose another folder or name");
    switch (error)
    {
    case FileError::None:
        break;
    case FileError::NoPermission:
        return tr("you may not write in this folder; choose another one");
    case FileError::WriteProtected:
        return tr("the file is write-protected; choose another name or remove the protection");
    case FileError::DiskFull:
        return tr("the disk is full; free some space or choose another disk");
    case FileError::FolderMissing:
        return tr("the folder does not exist (was a drive taken away?); choose another folder");
    case FileError::ReadOnlyDisk:
        return tr("the disk can only be read; choose another disk");
    case FileError::NotAFile:
        return tr("a folder or a device has this name; choose another name");
    case FileError::CannotReplaceSafely:
        return tr("you may change the file, but the folder does not let you add a new file "
                  "beside it, so the file cannot be replaced safely here; choose another folder");
    case FileError::Other:
        return QString::fromLocal8Bit(std::strerror(systemError));
    }
    return QString();
}
