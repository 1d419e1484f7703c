#ifndef PARVESTA_TEST_RECORDS_H
#define PARVESTA_TEST_RECORDS_H

#include "CMeasurement.h"

// A measurement record as the tests write them: the fields that matter first.
inline CMeasurement Record(int group, int cell, int value = 1, int divisor = 0, int unit = 0,
                           int kind = 0)
{
    CMeasurement r;
    r.group = group;
    r.cell = cell;
    r.value = value;
    r.divisor = divisor;
    r.unit = unit;
    r.kind = kind;
    return r;
}

#endif
