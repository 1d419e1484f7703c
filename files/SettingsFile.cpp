#include "SettingsFile.h"

#include "CSafeFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace SettingsFile
{
namespace
{
constexpr int LineLimit = 256; // at most 255 bytes per read, line end included

// Reads one line, cut at its first CR or LF; false at the end of the file.
bool ReadLine(FILE* file, char (&line)[LineLimit])
{
    if (!std::fgets(line, LineLimit, file))
    {
        line[0] = '\0';
        return false;
    }
    line[std::strcspn(line, "\r\n")] = '\0';
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

bool Read(FILE* file, Values* values)
{
    char line[LineLimit];
    if (!file || !values || !ReadLine(file, line) || std::strcmp(line, Header) != 0)
        return false;

    for (int number = 2; number <= 7; ++number)
    {
        ReadLine(file, line);
        const char* value = ValueOf(line);
        switch (number)
        {
        case 2:
            if (std::strcmp(value, "Eng") == 0)
                values->language = 1;
            else if (std::strcmp(value, "Rus") == 0)
                values->language = 0;
            break;
        case 3: // the version is the program's own, never the file's
            break;
        case 4:
            if (const int speed = LeadingInteger(value))
                values->comSpeed = speed;
            break;
        case 5:
            values->fixedPort = PortNumber(value, &values->comPort);
            break;
        case 6:
            if (*value)
                values->dataPath = QString::fromLocal8Bit(value);
            break;
        case 7:
            values->virtualDevice = PortNumber(value, &values->virtualPort);
            if (!values->virtualDevice)
                values->virtualPort = 0;
            break;
        }
    }
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
    std::fprintf(file, "DataPath:%s\r\n", values.dataPath.toLocal8Bit().constData());
    if (values.virtualDevice)
        std::fprintf(file, "VirtualDevice:COM%i\r\n", values.virtualPort);
    else
        std::fprintf(file, "VirtualDevice:No\r\n");
    return !std::ferror(file);
}

bool Load(const QByteArray& path, Values* values)
{
    FILE* file = std::fopen(path.constData(), "r");
    if (!file)
        return false;
    const bool ok = Read(file, values);
    std::fclose(file);
    return ok;
}

bool Save(const QByteArray& path, const Values& values)
{
    CSafeFile out(path);
    FILE* file = out.Open();
    return file && Write(file, values) && out.Commit();
}
} // namespace SettingsFile
