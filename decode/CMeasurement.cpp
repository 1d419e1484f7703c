#include "CMeasurement.h"

QString FormatValue(CMeasurement record)
{
    if (record.divisor == 0 || record.divisor == 1)
        return QString::number(record.value);

    int decimals = 2;
    if (record.divisor == 10)
        decimals = 1;
    else if (record.divisor == 1000)
        decimals = 3;

    return QString::number(double(record.value) / double(record.divisor), 'f', decimals);
}
