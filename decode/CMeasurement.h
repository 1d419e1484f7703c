#ifndef PARVESTA_CMEASUREMENT_H
#define PARVESTA_CMEASUREMENT_H

#include <QString>

// Unit codes of a record; the engine holds the translated text of each.
namespace Unit
{
enum : int
{
    MetresPerSecond = 0,
    Microseconds = 1,
    Millimetres = 2,
    Inches = 3,
};
}

// The texts of the unit codes that a file or a table is written with; the
// fixed English names unless a caller puts translations in. A code without
// a text has none (an empty one).
struct UnitTexts
{
    QString texts[4] = {QStringLiteral("m/s"), QStringLiteral("us"), QStringLiteral("mm"),
                        QStringLiteral("Inches")};

    QString Of(int unit) const;
};

// Kinds of measurement as the families code them. A TR-620 measures a
// transit time (its mode byte 0), or in velocity mode a velocity or, with
// flag T, a time; a VX-nn measures thicknesses.
namespace Kind
{
enum : int
{
    Velocity = 0,
    VelocityModeTime = 1,
    Time = 2,
    Thickness = 3,
};
}

// One stored result of an instrument, as decoded from a reply slot.
struct CMeasurement
{
    int group = 0;   // 1 to 256
    int cell = 0;    // as the instrument numbered it
    int value = 0;   // raw reading; the real one is value / divisor
    int divisor = 0; // 0 or 1: whole number; 10, 100, 1000: 1, 2, 3 decimals
    int kind = 0;    // a Kind code
    int unit = 0;    // a Unit code; any other shows no unit
};

// The value as the table and the CSV file show it, always with "." as point.
QString FormatValue(CMeasurement record);
// The decimals FormatValue shows: 0 for divisor 0 or 1, then 1, 2 or 3 for
// 10, 100 or 1000, and 2 for any other divisor.
int ValueDecimals(const CMeasurement& record);
// The exact reading: value / divisor, or value for divisor 0 or 1.
double ExactValue(const CMeasurement& record);

#endif
