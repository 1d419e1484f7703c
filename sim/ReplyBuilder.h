#ifndef PARVESTA_REPLYBUILDER_H
#define PARVESTA_REPLYBUILDER_H

#include "CMeasurement.h"
#include "ReplyFrame.h"

#include <QByteArray>
#include <vector>

// Read-out replies as an instrument of either family would send them, built
// from records; what the decoders read back from them is those records.
namespace ReplyBuilder
{
// The 11-byte header announcing pages pages (0 to 255). byte9 is the byte a
// VX-nn instrument puts after "VX-T"; a TR-620 header ignores it.
QByteArray Header(ReplyFrame::Family family, int pages, char byte9 = '1');

// One 8-byte slot holding record. A record with group, cell or value 0 gives
// an empty slot. TR-620: kind 2 is a time (M = 0), kind 1 a time with flag T,
// kind 0 a velocity; the value keeps its low 15 bits, group and cell their
// low 8. VX-nn: unit 3 is inches, a divisor of 100 (mm) or 1000 (inches)
// sets the resolution flag; group, cell and value keep their low 16 bits.
QByteArray Slot(ReplyFrame::Family family, const CMeasurement& record);

// A whole reply: the header, then the records in order, the rest of the last
// page empty. pages is raised to what the records need and lowered to 255,
// which drops the records beyond.
QByteArray Frame(ReplyFrame::Family family, const std::vector<CMeasurement>& records,
                 int pages = 0);

// count records the family can carry, distinct, none empty, cycling through
// its kinds and units, 50 cells to a group; each is exactly what the
// family's decoder makes of its slot.
std::vector<CMeasurement> GeneratedSet(ReplyFrame::Family family, int count);
} // namespace ReplyBuilder

#endif
