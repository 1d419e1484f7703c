// Turning an instrument's read-out reply into measurement records.
#include "CTRData.h"

#include "DecodeLog.h"
#include "ReplyFrame.h"

#include <cstdint>

using ReplyFrame::Family;

namespace
{
std::uint8_t Byte(const char* p, long offset)
{
    return static_cast<std::uint8_t>(p[offset]);
}

int Word(const char* p, long offset)
{
    return Byte(p, offset) | (Byte(p, offset + 1) << 8);
}

// TR-620 slot: group, cell, 15-bit reading with flag T in its top bit,
// an unread byte, the mode byte M, two unread bytes.
bool SlotTR620(const char* slot, CMeasurement* record)
{
    const int group = Byte(slot, 0);
    const int cell = Byte(slot, 1);
    const int reading = (Byte(slot, 3) & 0x7F) * 256 + Byte(slot, 2);
    if (group == 0 || cell == 0 || reading == 0)
        return false;
    const bool flagT = (Byte(slot, 3) & 0x80) != 0;
    const bool mode = Byte(slot, 5) != 0;

    record->group = group;
    record->cell = cell;
    record->value = reading;
    if (!mode || flagT)
    {
        record->kind = mode ? Kind::VelocityModeTime : Kind::Time;
        record->unit = Unit::Microseconds;
        record->divisor = 10;
    }
    else
    {
        record->kind = Kind::Velocity;
        record->unit = Unit::MetresPerSecond;
        record->divisor = 1;
    }
    return true;
}

// VX-nn slot: group, cell and reading as little-endian words, then the
// resolution flag R and the inch flag U.
bool SlotVXnn(const char* slot, CMeasurement* record)
{
    const int group = Word(slot, 0);
    const int cell = Word(slot, 2);
    const int reading = Word(slot, 4);
    if (group == 0 || cell == 0 || reading == 0)
        return false;
    const bool fine = Byte(slot, 6) != 0;
    const bool inches = Byte(slot, 7) != 0;

    record->group = group;
    record->cell = cell;
    record->value = reading;
    record->kind = Kind::Thickness;
    record->unit = inches ? Unit::Inches : Unit::Millimetres;
    if (inches)
        record->divisor = fine ? 1000 : 100;
    else
        record->divisor = fine ? 100 : 10;
    return true;
}

// Walks the pages the header announces, reading only slots that arrived whole.
bool WalkPages(CTRData& data, const char* reply, unsigned length, Family family,
               bool (*decodeSlot)(const char*, CMeasurement*))
{
    if (length < unsigned(ReplyFrame::HeaderSize))
        return false;
    const int pages = ReplyFrame::AnnouncedPages(reply, length);
    if (pages == 0)
        return false;

    bool found = false;
    int records = 0, empty = 0, cut = 0;
    for (int page = 0; page < pages; ++page)
    {
        for (int slot = 0; slot < ReplyFrame::SlotsPerPage; ++slot)
        {
            const long offset = ReplyFrame::SlotOffset(family, page, slot);
            if (offset + ReplyFrame::SlotSize > long(length))
            {
                cut += ReplyFrame::SlotsPerPage - slot;
                break;
            }
            CMeasurement record;
            if (!decodeSlot(reply + offset, &record))
            {
                ++empty;
                continue;
            }
            found = true;
            ++records;
            data.Append(record); // drops groups outside 1 to 256
        }
    }
    qCDebug(decodeLog) << ReplyFrame::FamilyName(family) << "reply of" << length << "bytes,"
                       << pages << "pages:" << records << "records," << empty << "empty slots,"
                       << cut << "slots beyond its end";
    return found;
}
} // namespace

bool CTRData::Decode(const char* reply, unsigned length)
{
    if (!reply || length < unsigned(ReplyFrame::HeaderSize))
        return false;
    switch (ReplyFrame::FamilyOf(reply, length))
    {
    case Family::TR620:
        return DecodeTR620(reply, length);
    case Family::VXnn:
        return DecodeVXnn(reply, length);
    case Family::Unknown:
        break;
    }
    qCDebug(decodeLog).noquote() << "not a reply of a known family; it begins"
                                 << QByteArray(reply, ReplyFrame::HeaderSize).toHex(' ');
    return false;
}

bool CTRData::DecodeTR620(const char* reply, unsigned length)
{
    const bool found = WalkPages(*this, reply, length, Family::TR620, SlotTR620);
    if (found)
        family = QStringLiteral("TR-620");
    return found;
}

bool CTRData::DecodeVXnn(const char* reply, unsigned length)
{
    const bool found = WalkPages(*this, reply, length, Family::VXnn, SlotVXnn);
    if (found)
        family = QStringLiteral("VX-nn");
    return found;
}

void CTRData::MakeVirtualData()
{
    Clear();
    for (int g = 1; g <= 5; ++g)
    {
        for (int c = 1; c <= g + 64; ++c)
        {
            CMeasurement record;
            record.group = g;
            record.cell = c;
            record.value = g + c + g / c;
            record.divisor = 100;
            record.kind = (g + c) % 4;
            record.unit = (g + c) % 4;
            Append(record);
        }
    }
    family = QStringLiteral("VirtualDevice");
}
