#ifndef PARVESTA_CTRDATA_H
#define PARVESTA_CTRDATA_H

#include "CMeasurement.h"

#include <QString>
#include <vector>

// The records of the last transfer, kept in 256 groups numbered from 1.
class CTRData
{
public:
    static constexpr int MaxGroups = 256;

    CTRData() = default;
    virtual ~CTRData() = default;

    void Clear();
    // Stores a record in its group; records outside groups 1 to 256 are dropped.
    void Append(const CMeasurement& record);
    int RecordCount(int group) const;
    bool GetRecord(int group, int position, CMeasurement* out) const;

    // Reply decoding: true when at least one non-empty record slot was found.
    bool Decode(const char* reply, unsigned length);
    bool DecodeTR620(const char* reply, unsigned length);
    bool DecodeVXnn(const char* reply, unsigned length);
    // The fixed pattern of the virtual device: 335 records in 5 groups.
    void MakeVirtualData();

    QString family;     // "TR-620", "VX-nn" or "VirtualDevice"; kept by Clear
    int groupCount = 0; // highest group number stored, 0 when none
    std::vector<CMeasurement> groups[MaxGroups];
};

#endif
