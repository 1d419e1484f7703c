#include "CSafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CSafeFile::CSafeFile(const QByteArray& path) : target(path) {}

CSafeFile::~CSafeFile()
{
    Discard();
}

FILE* CSafeFile::Open()
{
    Discard();
    if (target.isEmpty())
        return nullptr;

    // Replace what a link points to, not the link itself.
    char resolved[PATH_MAX];
    if (::realpath(target.constData(), resolved))
        target = resolved;

    struct stat info;
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
    {
        file = std::fopen(target.constData(), "wb");
        return file;
    }

    const int slash = target.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target.left(slash + 1) : QByteArray();
    const QByteArray name = target.mid(slash + 1);
    QByteArray pattern = folder + '.' + name + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
    {
        // A folder we may not create files in, but whose file we may rewrite.
        if (exists && (errno == EACCES || errno == EPERM || errno == EROFS))
            file = std::fopen(target.constData(), "wb");
        return file;
    }
    temporary = pattern;

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
        ::close(fd);
        Discard();
    }
    return file;
}

bool CSafeFile::Commit()
{
    if (!file)
        return false;
    bool ok = std::fflush(file) == 0 && !std::ferror(file);
    if (ok && !temporary.isEmpty())
        ok = ::fsync(::fileno(file)) == 0;
    ok = (std::fclose(file) == 0) && ok;
    file = nullptr;

    if (temporary.isEmpty())
        return ok;
    if (ok)
        ok = ::rename(temporary.constData(), target.constData()) == 0;
    if (ok)
        temporary.clear();
    else
        Discard();
    return ok;
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
