// Settings.ini: seven lines in a fixed order, each value taken by its line
// number, not by the key written in front of it.
#include "engine/CQuorvanta.h"
#include "files/CSafeFile.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr char Header[] = "Quorvanta Settings File";
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

QString CQuorvanta::SettingsFilePath() const
{
    return appDir + QStringLiteral("Settings.ini");
}

bool CQuorvanta::LoadSettings()
{
    FILE* file = std::fopen(SettingsFilePath().toUtf8().constData(), "r");
    if (!file)
        return false;
    const bool ok = ReadSettings(file);
    std::fclose(file);
    return ok;
}

bool CQuorvanta::ReadSettings(FILE* file)
{
    char line[LineLimit];
    if (!file || !ReadLine(file, line) || std::strcmp(line, Header) != 0)
        return false;

    for (int number = 2; number <= 7; ++number)
    {
        ReadLine(file, line);
        const char* value = ValueOf(line);
        switch (number)
        {
        case 2:
            if (std::strcmp(value, "Eng") == 0)
                language = 1;
            else if (std::strcmp(value, "Rus") == 0)
                language = 0;
            break;
        case 3: // the version is the program's own, never the file's
            break;
        case 4:
            if (const int speed = LeadingInteger(value))
                comSpeed = speed;
            break;
        case 5:
            fixedPort = PortNumber(value, &comPort);
            break;
        case 6:
            if (*value)
                dataPath = QString::fromLocal8Bit(value);
            break;
        case 7:
            virtualDevice = PortNumber(value, &virtualPort);
            if (!virtualDevice)
                virtualPort = 0;
            break;
        }
    }
    return true;
}

bool CQuorvanta::SaveSettings()
{
    CSafeFile out(SettingsFilePath().toUtf8());
    FILE* file = out.Open();
    if (!file)
        return false;
    return WriteSettings(file) && out.Commit();
}

bool CQuorvanta::WriteSettings(FILE* file)
{
    const QByteArray languageText = language != 0 ? "Eng" : "Rus";
    QByteArray portText = "Any";
    if (fixedPort)
        portText = "COM" + QByteArray::number(comPort);

    std::fprintf(file, "Quorvanta Settings File\r\n");
    std::fprintf(file, "Language:%s\r\n", languageText.constData());
    std::fprintf(file, "Version:%s\r\n", version.toUtf8().constData());
    std::fprintf(file, "COMSpeed:%i\r\n", comSpeed);
    std::fprintf(file, "COMPort:%s\r\n", portText.constData());
    std::fprintf(file, "DataPath:%s\r\n", dataPath.toLocal8Bit().constData());
    if (virtualDevice)
        std::fprintf(file, "VirtualDevice:COM%i\r\n", virtualPort);
    else
        std::fprintf(file, "VirtualDevice:No\r\n");
    return !std::ferror(file);
}
