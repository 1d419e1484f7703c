#include "CMeasurement.h"

#include <iterator>

QString FormatValue(CMeasurement record)
{
    if (record.divisor == 0 || record.divisor == 1)
        return QString::number(record.value);
    return QString::number(ExactValue(record), 'f', ValueDecimals(record));
}

int ValueDecimals(const CMeasurement& record)
{
    switch (record.divisor)
    {
    case 0:
    case 1:
        return 0;
    case 10:
        return 1;
    case 1000:
        return 3;
    default:
        return 2;
    }
}

double ExactValue(const CMeasurement& record)
{
    if (record.divisor == 0 || record.divisor == 1)
        return record.value;
    return double(record.value) / double(record.divisor);
}

QString UnitTexts::Of(int unit) const
{
    return unit >= 0 && unit < int(std::size(texts)) ? texts[unit] : QString();
}
