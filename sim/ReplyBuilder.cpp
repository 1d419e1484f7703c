#include "ReplyBuilder.h"

#include <algorithm>

using ReplyFrame::Family;

namespace ReplyBuilder
{
namespace
{
constexpr char TR620PageTail = char(0xA5); // the unread 257th byte of a TR-620 page

void PutWord(QByteArray& slot, int offset, int value)
{
    slot[offset] = char(value & 0xFF);
    slot[offset + 1] = char((value >> 8) & 0xFF);
}
} // namespace

QByteArray Header(Family family, int pages, char byte9)
{
    QByteArray header(ReplyFrame::Magic, 5);
    if (family == Family::TR620)
        header.append(reinterpret_cast<const char*>(ReplyFrame::TR620Signature), 5);
    else
        header.append(ReplyFrame::VXnnSignature, 4).append(byte9);
    header.append(char(std::clamp(pages, 0, 255)));
    return header;
}

QByteArray Slot(Family family, const CMeasurement& record)
{
    QByteArray slot(ReplyFrame::SlotSize, '\0');
    if (record.group == 0 || record.cell == 0 || record.value == 0)
        return slot;
    if (family == Family::TR620)
    {
        const int reading = record.value & 0x7FFF;
        const bool flagT = record.kind == Kind::VelocityModeTime;
        const bool mode = record.kind == Kind::Velocity || record.kind == Kind::VelocityModeTime;
        slot[0] = char(record.group & 0xFF);
        slot[1] = char(record.cell & 0xFF);
        slot[2] = char(reading & 0xFF);
        slot[3] = char((reading >> 8) | (flagT ? 0x80 : 0));
        slot[5] = char(mode ? 1 : 0);
    }
    else
    {
        const bool inches = record.unit == Unit::Inches;
        const bool fine = record.divisor == (inches ? 1000 : 100);
        PutWord(slot, 0, record.group);
        PutWord(slot, 2, record.cell);
        PutWord(slot, 4, record.value);
        slot[6] = char(fine ? 1 : 0);
        slot[7] = char(inches ? 1 : 0);
    }
    return slot;
}

QByteArray Frame(Family family, const std::vector<CMeasurement>& records, int pages)
{
    const int needed =
        int((records.size() + ReplyFrame::SlotsPerPage - 1) / ReplyFrame::SlotsPerPage);
    pages = std::clamp(std::max(pages, needed), 0, 255);
    const std::size_t capacity = std::size_t(pages) * ReplyFrame::SlotsPerPage;

    QByteArray frame = Header(family, pages);
    frame.reserve(int(ReplyFrame::HeaderSize + long(ReplyFrame::PageSize(family)) * pages));
    for (int page = 0; page < pages; ++page)
    {
        for (int s = 0; s < ReplyFrame::SlotsPerPage; ++s)
        {
            const std::size_t index = std::size_t(page) * ReplyFrame::SlotsPerPage + std::size_t(s);
            frame.append(index < records.size() && index < capacity
                             ? Slot(family, records[index])
                             : QByteArray(ReplyFrame::SlotSize, '\0'));
        }
        if (family == Family::TR620)
            frame.append(TR620PageTail);
    }
    return frame;
}

std::vector<CMeasurement> GeneratedSet(Family family, int count)
{
    std::vector<CMeasurement> records;
    for (int i = 0; i < count; ++i)
    {
        CMeasurement r;
        r.group = 1 + (i / 50) % 255;
        r.cell = 1 + i % 50;
        if (family == Family::TR620)
        {
            r.value = 1 + (i * 97) % 32000;
            r.kind = i % 3; // Velocity, VelocityModeTime, Time in turn
            const bool velocity = r.kind == Kind::Velocity;
            r.unit = velocity ? Unit::MetresPerSecond : Unit::Microseconds;
            r.divisor = velocity ? 1 : 10;
        }
        else
        {
            r.value = 1 + (i * 97) % 65000;
            r.kind = Kind::Thickness;
            r.unit = i % 4 < 2 ? Unit::Millimetres : Unit::Inches;
            static const int divisors[4] = {10, 100, 100, 1000};
            r.divisor = divisors[i % 4];
        }
        records.push_back(r);
    }
    return records;
}
} // namespace ReplyBuilder
