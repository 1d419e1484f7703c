#include "Limits.h"

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
} // namespace Limits
