#include "SettingsFile.h"

#include "CSafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFile
{
namespace
{
// Reads one whole line, cut at its first CR or LF; false at the end of the
// file. A long folder name must not spill into the next setting.
bool ReadLine(FILE* file, QByteArray* line)
{
    line->clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n')
        line->append(char(c));
    if (c == EOF && line->isEmpty())
        return false;
    line->truncate(int(std::strcspn(line->constData(), "\r\n")));
    return true;
}

// The value of a "Key:value" line: leading delimiters are skipped, the key
// runs to the next delimiter, and the value is everything after that one.
const char* ValueOf(const char* line)
{
    static const char delimiters[] = ":/\\#$\n";
    const char* p = line + std::strspn(line, delimiters);
    p += std::strcspn(p, delimiters);
    return *p ? p + 1 : p;
}

// The leading decimal integer, as the C library reads one, kept in int range.
int LeadingInteger(const char* text)
{
    const long n = std::strtol(text, nullptr, 10);
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return int(n);
}

// "COM5", "com5" or "5" name port 5; anything else names no port.
bool PortNumber(const char* value, int* number)
{
    if (std::strncmp(value, "COM", 3) == 0 || std::strncmp(value, "com", 3) == 0)
        value += 3;
    if (*value < '1' || *value > '9')
        return false;
    *number = LeadingInteger(value);
    return true;
}
} // namespace

bool Storable(const QByteArray& text)
{
    return !text.contains('\r') && !text.contains('\n');
}

bool Read(FILE* file, Values* values)
{
    QByteArray line;
    if (!file || !values || !ReadLine(file, &line))
        return false;
    // As an editor may have saved it: with a byte-order mark, stray blanks,
    // other letter case.
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    while (line.endsWith(' ') || line.endsWith('\t'))
        line.chop(1);
    while (line.startsWith(' ') || line.startsWith('\t'))
        line.remove(0, 1);
    if (line.compare(Header, Qt::CaseInsensitive) != 0)
        return false;

    // Taken only once the whole file was read.
    Values read = *values;

    for (int number = 2; number <= 7; ++number)
    {
        ReadLine(file, &line);
        if (std::ferror(file))
            return false;
        const char* value = ValueOf(line.constData());
        switch (number)
        {
        case 2:
            if (std::strcmp(value, "Eng") == 0)
                read.language = 1;
            else if (std::strcmp(value, "Rus") == 0)
                read.language = 0;
            break;
        case 3: // the version is the program's own, never the file's
            break;
        case 4:
            if (const int speed = LeadingInteger(value))
                read.comSpeed = speed;
            break;
        case 5:
            read.fixedPort = PortNumber(value, &read.comPort);
            break;
        case 6:
            if (*value)
                read.dataPath = value;
            break;
        case 7:
            read.virtualDevice = PortNumber(value, &read.virtualPort);
            if (!read.virtualDevice)
                read.virtualPort = 0;
            break;
        }
    }
    *values = read;
    return true;
}

bool Write(FILE* file, const Values& values)
{
    const QByteArray languageText = values.language != 0 ? "Eng" : "Rus";
    QByteArray portText = "Any";
    if (values.fixedPort)
        portText = "COM" + QByteArray::number(values.comPort);

    std::fprintf(file, "%s\r\n", Header);
    std::fprintf(file, "Language:%s\r\n", languageText.constData());
    std::fprintf(file, "Version:%s\r\n", values.version.toUtf8().constData());
    std::fprintf(file, "COMSpeed:%i\r\n", values.comSpeed);
    std::fprintf(file, "COMPort:%s\r\n", portText.constData());
    const QByteArray dataPath = Storable(values.dataPath) ? values.dataPath : QByteArray();
    std::fprintf(file, "DataPath:%s\r\n", dataPath.constData());
    if (values.virtualDevice)
        std::fprintf(file, "VirtualDevice:COM%i\r\n", values.virtualPort);
    else
        std::fprintf(file, "VirtualDevice:No\r\n");
    return !std::ferror(file);
}

Found Load(const QByteArray& path, Values* values)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Found::Nothing : Found::NotUnderstood;
    struct stat info;
    FILE* file = nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !(file = ::fdopen(fd, "r")))
    {
        ::close(fd);
        return Found::NotUnderstood;
    }
    Found found = Found::Read;
    if (info.st_size == 0)
        found = Found::Nothing;
    else if (!Read(file, values))
        found = Found::NotUnderstood;
    std::fclose(file);
    return found;
}

bool Save(const QByteArray& path, const Values& values, FileError* error, int* systemError)
{
    struct stat info;
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        if (error)
            *error = FileError::NotAFile;
        if (systemError)
            *systemError = 0;
        return false;
    }
    CSafeFile out(path);
    FILE* file = out.Open();
    bool ok = file != nullptr;
    if (ok)
        ok = Write(file, values) ? out.Commit() : out.Abandon(errno);
    return out.Report(ok, error, systemError);
}
} // namespace SettingsFile
