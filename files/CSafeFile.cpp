#include "CSafeFile.h"

#include "FilesLog.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileError FileErrorOf(int errorNumber)
{
    switch (errorNumber)
    {
    case EACCES:
    case EPERM:
        return FileError::NoPermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileError::DiskFull;
    case ENOENT:
    case ENOTDIR:
        return FileError::FolderMissing;
    case EROFS:
        return FileError::ReadOnlyDisk;
    case EISDIR:
    case ENXIO: // a pipe with no reader
        return FileError::NotAFile;
    default:
        return FileError::Other;
    }
}

namespace
{
// Fixed in length, so that a target of any legal name (up to 255 bytes) can
// have its temporary file beside it.
constexpr char TemporaryPattern[] = ".parvesta-XXXXXX";

void CloseDescriptor(int fd)
{
    while (::close(fd) != 0 && errno == EINTR)
    {
    }
}

// The name an open descriptor is reached by, for linking it into a folder.
QByteArray ProcessName(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// A temporary name of the pattern's form, for a link that must not exist yet.
QByteArray RandomName()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = TemporaryPattern;
    for (int i = name.indexOf('X'); i < name.size(); ++i)
        name[i] = letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)];
    return name;
}
} // namespace

CSafeFile::CSafeFile(const QByteArray& path) : target(path) {}

CSafeFile::~CSafeFile()
{
    Discard();
}

bool CSafeFile::Fail(int errorNumber)
{
    return Fail(FileErrorOf(errorNumber), errorNumber);
}

bool CSafeFile::Fail(FileError why, int errorNumber)
{
    qCDebug(filesLog).noquote() << target << "not written:" << std::strerror(errorNumber)
                                << "(the file there is as it was)";
    error = why;
    systemError = errorNumber;
    Discard();
    return false;
}

FILE* CSafeFile::Open()
{
    Discard();
    error = FileError::None;
    systemError = 0;
    if (target.isEmpty())
    {
        Fail(FileError::FolderMissing, ENOENT);
        return nullptr;
    }

    // Replace what a link points to, not the link itself.
    char resolved[PATH_MAX];
    if (::realpath(target.constData(), resolved))
        target = resolved;

    struct stat info;
    const bool exists = ::stat(target.constData(), &info) == 0;
    // A name too long for the folder, or a folder that may not be searched,
    // is found now: an unnamed temporary file would meet it only at the end.
    if (!exists && errno != ENOENT)
    {
        Fail(errno);
        return nullptr;
    }
    if (exists && S_ISDIR(info.st_mode))
    {
        Fail(FileError::NotAFile, EISDIR);
        return nullptr;
    }
    if (exists && !S_ISREG(info.st_mode))
    {
        // A device keeps nothing to destroy. Never wait for a pipe's reader.
        const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
            !(file = ::fdopen(fd, "wb")))
        {
            const int why = errno;
            if (fd >= 0)
                CloseDescriptor(fd);
            Fail(why);
            return nullptr;
        }
        way = Way::InPlace;
        return file;
    }
    // A file without any write permission was protected on purpose; root,
    // whom permissions do not stop, respects that too.
    if (exists && (info.st_mode & 0222) == 0)
    {
        Fail(FileError::WriteProtected, EACCES);
        return nullptr;
    }
    if (exists && ::access(target.constData(), W_OK) != 0)
    {
        const int why = errno;
        Fail(why == EACCES ? FileError::WriteProtected : FileErrorOf(why), why);
        return nullptr;
    }

    mode_t mode;
    if (exists)
        mode = info.st_mode & 07777;
    else
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const int slash = target.lastIndexOf('/');
    folder = slash >= 0 ? target.left(slash + 1) : QByteArrayLiteral("./");
    const int fd = OpenTemporary(int(mode));
    if (fd < 0)
    {
        const int why = errno;
        // A file the user may change, in a folder that takes no new file:
        // the only way left would be writing over it in place.
        if (exists && (why == EACCES || why == EPERM))
            Fail(FileError::CannotReplaceSafely, why);
        else
            Fail(why);
        return nullptr;
    }
    ::fchmod(fd, mode);

    file = ::fdopen(fd, "wb");
    if (!file)
    {
        const int why = errno;
        CloseDescriptor(fd);
        Fail(why);
    }
    return file;
}

// An empty file in the target's folder, or -1 with errno set.
int CSafeFile::OpenTemporary(int mode)
{
    int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode_t(mode));
    if (fd >= 0)
    {
        // It is linked in through /proc; without /proc, a named file instead.
        if (::access(ProcessName(fd).constData(), F_OK) == 0)
        {
            way = Way::Unnamed;
            return fd;
        }
        CloseDescriptor(fd);
    }
    else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return -1; // the folder's own answer; a named file would get the same

    // A file system without unnamed files.
    QByteArray pattern = folder + TemporaryPattern;
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    temporary = pattern;
    way = Way::Temporary;
    return fd;
}

bool CSafeFile::Commit()
{
    if (!file)
        return false;
    bool ok = std::fflush(file) == 0 && !std::ferror(file);
    int why = errno;
    if (ok && way != Way::InPlace && (::fsync(::fileno(file)) != 0 || !Replace()))
    {
        ok = false;
        why = errno;
    }
    if (!ok)
        return Fail(why ? why : EIO);
    // A device's last bytes may be refused only now; a file is in place already.
    FILE* done = file;
    file = nullptr;
    if (std::fclose(done) != 0 && way == Way::InPlace)
        return Fail(errno);
    qCDebug(filesLog).noquote() << target
                                << (way == Way::InPlace ? "written in place (a device)"
                                                        : "written whole and put in place");
    return true;
}

// The written file in the target's place; false with errno set.
bool CSafeFile::Replace()
{
    if (way == Way::Unnamed)
    {
        const QByteArray self = ProcessName(::fileno(file));
        // Where no file was, the new one appears whole, at once.
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return true;
        if (errno != EEXIST)
            return false;
        // Over an old file: a name for an instant, then the rename.
        for (int attempt = 0; temporary.isEmpty(); ++attempt)
        {
            const QByteArray name = folder + RandomName();
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                temporary = name;
            else if (errno != EEXIST || attempt == 100)
                return false;
        }
    }
    if (::rename(temporary.constData(), target.constData()) != 0)
        return false;
    temporary.clear();
    return true;
}

bool CSafeFile::Save(const QByteArray& path, const QByteArray& bytes, FileError* error,
                     int* systemError)
{
    CSafeFile out(path);
    FILE* file = out.Open();
    bool ok = file != nullptr;
    if (ok)
        ok = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file) ==
                     std::size_t(bytes.size())
                 ? out.Commit()
                 : out.Abandon(errno);
    return out.Report(ok, error, systemError);
}

void CSafeFile::Discard()
{
    if (file)
    {
        std::fclose(file);
        file = nullptr;
    }
    if (!temporary.isEmpty())
    {
        ::unlink(temporary.constData());
        temporary.clear();
    }
}
