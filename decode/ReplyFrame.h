#ifndef PARVESTA_REPLYFRAME_H
#define PARVESTA_REPLYFRAME_H

// Layout of the instrument's read-out reply: an 11-byte header ("WQXON",
// a five-byte family signature, the page count) and pages of 8-byte slots.
// Shared by the decoders, the device link (to know when a reply is whole)
// and the instrument simulator.
namespace ReplyFrame
{
constexpr int HeaderSize = 11;
constexpr int PageCountOffset = 10;
constexpr int SlotSize = 8;
constexpr int SlotsPerPage = 32;
constexpr int TR620PageSize = 257; // 32 slots and one trailing byte
constexpr int VXnnPageSize = 256;

constexpr char Magic[] = "WQXON";
constexpr unsigned char TR620Signature[5] = {0x01, 0x04, 0x00, 0x01, 0x01};
constexpr char VXnnSignature[] = "VX-T"; // byte 9 of a VX-nn header may hold anything

enum class Family
{
    Unknown,
    TR620,
    VXnn
};

// The family the header names; Unknown when fewer than 10 bytes are given,
// the magic is wrong or the signature is of neither family.
Family FamilyOf(const char* reply, unsigned length);

// The family's name as people know it: "VX-nn", "TR-620", or "unknown".
const char* FamilyName(Family family);

// Bytes per page of a family; 0 for Unknown.
int PageSize(Family family);

// Offset of slot s of page k.
inline long SlotOffset(Family family, int page, int slot)
{
    return HeaderSize + long(PageSize(family)) * page + long(SlotSize) * slot;
}

// Pages a header announces, its page count taken unsigned as the instrument
// sends it; 0 while the header is incomplete or names no known family.
int AnnouncedPages(const char* reply, unsigned length);

// Length of the whole reply that a header announces; 0 while the header is
// incomplete or names no known family.
long AnnouncedLength(const char* reply, unsigned length);

// Announced pages that arrived whole within the first length bytes.
int WholePages(const char* reply, unsigned length);
} // namespace ReplyFrame

#endif
