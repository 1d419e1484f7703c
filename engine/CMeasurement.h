#ifndef PARVESTA_CMEASUREMENT_H
#define PARVESTA_CMEASUREMENT_H

#include <QString>

// One stored result of an instrument, as decoded from a reply slot.
struct CMeasurement
{
    int group = 0;   // 1 to 256
    int cell = 0;    // as the instrument numbered it
    int value = 0;   // raw reading; the real one is value / divisor
    int divisor = 0; // 0 or 1: whole number; 10, 100, 1000: 1, 2, 3 decimals
    int kind = 0;    // family-specific kind of measurement
    int unit = 0;    // 0 m/s, 1 us, 2 mm, 3 Inches, other: none
};

// The value as the table and the CSV file show it, always with "." as point.
QString FormatValue(CMeasurement record);

#endif
