#include "CSafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
FileError ErrorOf(int errorNumber)
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

void CloseDescriptor(int fd)
{
    while (::close(fd) != 0 && errno == EINTR)
    {
    }
}

// Every byte of data at the start of fd; false with errno set.
bool WriteAll(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}
} // namespace

CSafeFile::CSafeFile(const QByteArray& path) : target(path) {}

CSafeFile::~CSafeFile()
{
    Discard();
}

bool CSafeFile::Fail(int errorNumber)
{
    return Fail(ErrorOf(errorNumber), errorNumber);
}

bool CSafeFile::Fail(FileError why, int errorNumber)
{
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
        Fail(why == EACCES ? FileError::WriteProtected : ErrorOf(why), why);
        return nullptr;
    }

    const int slash = target.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target.left(slash + 1) : QByteArray();
    const QByteArray name = target.mid(slash + 1);
    QByteArray pattern = folder + '.' + name + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
    {
        const int why = errno;
        // A folder we may not create files in, but whose file we may rewrite.
        if (exists && (why == EACCES || why == EPERM))
        {
            file = ::open_memstream(&memory, &memorySize);
            if (!file)
                Fail(errno);
            way = Way::InMemory;
            return file;
        }
        Fail(why);
        return nullptr;
    }
    temporary = pattern;
    way = Way::Temporary;

    mode_t mode;
    if (exists)
        mode = info.st_mode & 07777;
    else
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
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

bool CSafeFile::Commit()
{
    if (!file)
        return false;
    bool ok = std::fflush(file) == 0 && !std::ferror(file);
    int why = errno;
    if (ok && way == Way::Temporary && ::fsync(::fileno(file)) != 0)
    {
        ok = false;
        why = errno;
    }
    if (std::fclose(file) != 0 && ok)
    {
        ok = false;
        why = errno;
    }
    file = nullptr;
    if (!ok)
        return Fail(why ? why : EIO);

    switch (way)
    {
    case Way::InPlace:
        return true;
    case Way::InMemory:
        return WriteOver();
    case Way::Temporary:
        if (::rename(temporary.constData(), target.constData()) != 0)
            return Fail(errno);
        temporary.clear();
        return true;
    }
    return false;
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
    if (error)
        *error = out.Error();
    if (systemError)
        *systemError = out.SystemError();
    return ok;
}

// The text from memory over the target: its room is taken first, so that a
// full disk refuses before any old byte changes.
bool CSafeFile::WriteOver()
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno);
    int why = 0;
    if (memorySize > 0)
        why = ::posix_fallocate(fd, 0, off_t(memorySize));
    if (why == 0 && !WriteAll(fd, memory, memorySize))
        why = errno;
    if (why == 0 && ::ftruncate(fd, off_t(memorySize)) != 0)
        why = errno;
    if (why == 0 && ::fsync(fd) != 0)
        why = errno;
    CloseDescriptor(fd);
    if (why != 0)
        return Fail(why);
    Discard();
    return true;
}

void CSafeFile::Discard()
{
    if (file)
    {
        std::fclose(file);
        file = nullptr;
    }
    std::free(memory);
    memory = nullptr;
    memorySize = 0;
    if (!temporary.isEmpty())
    {
        ::unlink(temporary.constData());
        temporary.clear();
    }
}
