#include "LimitsFile.h"

#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LimitsFile
{
namespace
{
constexpr char Section[] = "[Limits]";
// A limits file is a few lines per group; anything far larger is not one.
constexpr qint64 LargestFile = 1 << 20;

QByteArray UnitName(int unit)
{
    if (unit == Limit::AnyUnit)
        return "any";
    return UnitTexts().Of(unit).toUtf8();
}

bool UnitCode(const QByteArray& name, int* unit)
{
    if (name.compare("any", Qt::CaseInsensitive) == 0)
    {
        *unit = Limit::AnyUnit;
        return true;
    }
    const UnitTexts names;
    for (int code = 0; code < 4; ++code)
        if (name.compare(names.Of(code).toUtf8(), Qt::CaseInsensitive) == 0)
        {
            *unit = code;
            return true;
        }
    return false;
}

QByteArray Number(const std::optional<double>& number)
{
    return number ? Limits::NumberText(*number).toLatin1() : QByteArray();
}

bool ReadNumber(const QByteArray& text, std::optional<double>* number)
{
    if (text.isEmpty())
    {
        number->reset();
        return true;
    }
    double value = 0;
    if (!Limits::ParseNumber(QString::fromLatin1(text), &value))
        return false;
    *number = value;
    return true;
}

// One "Key=value;…" line; every key at most once, Group required.
bool ParseLine(const QByteArray& line, Limit* limit)
{
    Limit read;
    bool group = false;
    QList<QByteArray> seen;
    for (const QByteArray& field : line.split(';'))
    {
        const QByteArray trimmed = field.trimmed();
        if (trimmed.isEmpty())
            continue;
        const int equals = trimmed.indexOf('=');
        if (equals < 0)
            return false;
        const QByteArray key = trimmed.left(equals).trimmed().toLower();
        const QByteArray value = trimmed.mid(equals + 1).trimmed();
        if (seen.contains(key))
            return false;
        seen << key;
        bool ok = true;
        if (key == "group")
        {
            read.group = value.toInt(&ok);
            group = true;
        }
        else if (key == "unit")
            ok = UnitCode(value, &read.unit);
        else if (key == "low")
            ok = ReadNumber(value, &read.low);
        else if (key == "high")
            ok = ReadNumber(value, &read.high);
        else if (key == "nominal")
            ok = ReadNumber(value, &read.nominal);
        else
            ok = false;
        if (!ok)
            return false;
    }
    if (!group)
        return false;
    *limit = read;
    return true;
}
} // namespace

QByteArray Text(const std::vector<Limit>& limits)
{
    QByteArray text = "; Parvesta's limits per group and unit, on readings as shown. Unit: m/s, "
                      "us, mm, Inches or any.\r\n";
    text += Section;
    text += "\r\n";
    for (const Limit& limit : limits)
        text += "Group=" + QByteArray::number(limit.group) + ";Unit=" + UnitName(limit.unit) +
                ";Low=" + Number(limit.low) + ";High=" + Number(limit.high) +
                ";Nominal=" + Number(limit.nominal) + "\r\n";
    return text;
}

bool Parse(const QByteArray& text, std::vector<Limit>* limits)
{
    QByteArray all = text;
    if (all.startsWith("\xEF\xBB\xBF"))
        all.remove(0, 3);
    std::vector<Limit> read;
    bool section = false;
    for (QByteArray line : all.split('\n'))
    {
        line = line.trimmed(); // the CR of CR LF too
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (!section)
        {
            if (line.compare(Section, Qt::CaseInsensitive) != 0)
                return false;
            section = true;
            continue;
        }
        Limit limit;
        if (!ParseLine(line, &limit))
            return false;
        read.push_back(limit);
    }
    if (!section || !Limits::Valid(read))
        return false;
    if (limits)
        *limits = read;
    return true;
}

Found Load(const QByteArray& path, std::vector<Limit>* limits)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Found::Nothing : Found::NotUnderstood;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > LargestFile)
    {
        ::close(fd);
        return Found::NotUnderstood;
    }
    QByteArray text(qsizetype(info.st_size), '\0');
    qsizetype got = 0;
    while (got < text.size())
    {
        const ssize_t n = ::read(fd, text.data() + got, size_t(text.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got != text.size())
        return Found::NotUnderstood;
    if (text.trimmed().isEmpty())
    {
        if (limits)
            limits->clear();
        return Found::Nothing;
    }
    return Parse(text, limits) ? Found::Read : Found::NotUnderstood;
}

bool Save(const QByteArray& path, const std::vector<Limit>& limits, FileError* error,
          int* systemError)
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
    return CSafeFile::Save(path, Text(limits), error, systemError);
}
} // namespace LimitsFile
