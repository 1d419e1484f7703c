#include "Limits.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace Limits
{
const Limit* Find(const std::vector<Limit>& limits, int group, int unit)
{
    const Limit* forEveryUnit = nullptr;
    for (const Limit& limit : limits)
    {
        if (limit.group != group || !limit.Judges())
            continue;
        if (limit.unit == unit)
            return &limit;
        if (limit.unit == Limit::AnyUnit && !forEveryUnit)
            forEveryUnit = &limit;
    }
    return forEveryUnit;
}

Verdict Judge(const Limit* limit, double shown)
{
    if (!limit || !limit->Judges())
        return Verdict::Unjudged;
    if (limit->low && shown < *limit->low)
        return Verdict::Low;
    if (limit->high && shown > *limit->high)
        return Verdict::High;
    return Verdict::Pass;
}

Verdict Judge(const std::vector<Limit>& limits, const CMeasurement& record)
{
    return Judge(Find(limits, record.group, record.unit), ExactValue(record));
}

bool Valid(const std::vector<Limit>& limits)
{
    for (std::size_t i = 0; i < limits.size(); ++i)
    {
        const Limit& limit = limits[i];
        if (limit.group < 1 || limit.group > 256 ||
            (limit.unit != Limit::AnyUnit && (limit.unit < 0 || limit.unit > Unit::Inches)))
            return false;
        for (const std::optional<double>* figure : {&limit.low, &limit.high, &limit.nominal})
            if (*figure && !std::isfinite(**figure))
                return false;
        if (limit.low && limit.high && *limit.low > *limit.high)
            return false;
        for (std::size_t j = 0; j < i; ++j)
            if (limits[j].group == limit.group && limits[j].unit == limit.unit)
                return false;
    }
    return true;
}

bool ParseNumber(QStringView text, double* number)
{
    static const QRegularExpression plain(
        QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?$"));
    if (!plain.match(text).hasMatch())
        return false;
    bool ok = false;
    const double read = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(read))
        return false;
    if (number)
        *number = read;
    return true;
}

QString NumberText(double number)
{
    return QString::number(number, 'f', QLocale::FloatingPointShortest);
}

bool Parse(const QString& text, Limit* limit, QString* why)
{
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return fail(QStringLiteral("expected GROUP:LOW:HIGH, e.g. 3:1.20:1.24 or 3::1.24"));
    Limit read;
    bool ok = false;
    read.group = parts[0].trimmed().toInt(&ok);
    if (!ok || read.group < 1 || read.group > 256)
        return fail(
            QStringLiteral("GROUP \"%1\" is not a group number from 1 to 256").arg(parts[0]));
    static const char* const names[] = {"LOW", "HIGH"};
    std::optional<double>* bounds[] = {&read.low, &read.high};
    for (int i = 0; i < 2; ++i)
    {
        const QString part = parts[i + 1].trimmed();
        if (part.isEmpty())
            continue;
        double value = 0;
        if (!ParseNumber(part, &value))
            return fail(QStringLiteral("%1 \"%2\" is not a number (write it with \".\" as "
                                       "decimal point)")
                            .arg(QLatin1String(names[i]), parts[i + 1]));
        *bounds[i] = value;
    }
    if (!read.Judges())
        return fail(QStringLiteral("give LOW, HIGH or both"));
    if (read.low && read.high && *read.low > *read.high)
        return fail(QStringLiteral("LOW %1 is above HIGH %2")
                        .arg(NumberText(*read.low), NumberText(*read.high)));
    if (limit)
        *limit = read;
    return true;
}
} // namespace Limits
