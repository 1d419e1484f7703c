#ifndef PARVESTA_LIMITS_H
#define PARVESTA_LIMITS_H

#include "CMeasurement.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// A job's tolerance for the readings of one group in one unit: a low and a
// high limit, either of which may be missing, and an optional nominal. The
// limits apply to readings as shown (value / divisor); a reading exactly on
// a limit passes.
struct Limit
{
    static constexpr int AnyUnit = -1; // the group's readings in every unit

    int group = 0;
    int unit = AnyUnit; // a Unit code, or AnyUnit
    std::optional<double> low;
    std::optional<double> high;
    std::optional<double> nominal;

    bool Judges() const { return low.has_value() || high.has_value(); }
};

namespace Limits
{
enum class Verdict
{
    Unjudged, // no limit for these readings
    Pass,
    Low,  // below the low limit
    High, // above the high limit
};

// The limit for readings of a group in a unit: one given for that very unit
// before one given for the group's every unit; null when there is none or
// it has neither a low nor a high limit.
const Limit* Find(const std::vector<Limit>& limits, int group, int unit);

Verdict Judge(const Limit* limit, double shown);
Verdict Judge(const std::vector<Limit>& limits, const CMeasurement& record);

// Limits a job can hold: each for a group from 1 to 256 and a unit code or
// every unit, its figures finite, low not above high, and no two for the
// same group and unit (which one the user meant could not be told).
bool Valid(const std::vector<Limit>& limits);

// A limit as files and command lines write it: digits with "." as decimal
// point whatever the locale, an optional sign and exponent; false for
// anything else, a comma included (it would mean another number elsewhere).
bool ParseNumber(QStringView text, double* number);
// The shortest text that ParseNumber reads back as the very same number, so
// that 1.2 stays "1.2" and never becomes 1.19999999999999996.
QString NumberText(double number);

// "GROUP:LOW:HIGH" as a command line gives it: GROUP 1 to 256, LOW or HIGH
// may be empty but not both, LOW not above HIGH; for the group's readings in
// every unit. False, with why in English naming the faulty part, otherwise.
bool Parse(const QString& text, Limit* limit, QString* why);
} // namespace Limits

#endif
