#include "CTRData.h"

void CTRData::Clear()
{
    for (auto& group : groups)
        group.clear();
    groupCount = 0;
}

void CTRData::Append(const CMeasurement& record)
{
    if (record.group < 1 || record.group > MaxGroups)
        return;
    groups[record.group - 1].push_back(record);
    if (record.group > groupCount)
        groupCount = record.group;
}

int CTRData::RecordCount(int group) const
{
    if (group < 1 || group > groupCount)
        return 0;
    return int(groups[group - 1].size());
}

bool CTRData::GetRecord(int group, int position, CMeasurement* out) const
{
    if (group < 1 || group > groupCount)
        return false;
    if (position < 1 || position > RecordCount(group))
        return false;
    if (out)
        *out = groups[group - 1][std::size_t(position - 1)];
    return true;
}
