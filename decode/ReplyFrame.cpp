#include "ReplyFrame.h"

#include <cstring>

namespace ReplyFrame
{
Family FamilyOf(const char* reply, unsigned length)
{
    if (!reply || length < unsigned(PageCountOffset))
        return Family::Unknown;
    if (std::memcmp(reply, Magic, 5) != 0)
        return Family::Unknown;
    if (std::memcmp(reply + 5, TR620Signature, 5) == 0)
        return Family::TR620;
    if (std::memcmp(reply + 5, VXnnSignature, 4) == 0)
        return Family::VXnn;
    return Family::Unknown;
}

const char* FamilyName(Family family)
{
    switch (family)
    {
    case Family::TR620:
        return "TR-620";
    case Family::VXnn:
        return "VX-nn";
    case Family::Unknown:
        break;
    }
    return "unknown";
}

int PageSize(Family family)
{
    switch (family)
    {
    case Family::TR620:
        return TR620PageSize;
    case Family::VXnn:
        return VXnnPageSize;
    case Family::Unknown:
        break;
    }
    return 0;
}

int AnnouncedPages(const char* reply, unsigned length)
{
    if (length < unsigned(HeaderSize) || FamilyOf(reply, length) == Family::Unknown)
        return 0;
    return static_cast<unsigned char>(reply[PageCountOffset]);
}

long AnnouncedLength(const char* reply, unsigned length)
{
    const Family family = FamilyOf(reply, length);
    if (length < unsigned(HeaderSize) || family == Family::Unknown)
        return 0;
    return HeaderSize + long(PageSize(family)) * AnnouncedPages(reply, length);
}

int WholePages(const char* reply, unsigned length)
{
    const int pages = AnnouncedPages(reply, length);
    if (pages == 0)
        return 0;
    const long arrived = (long(length) - HeaderSize) / PageSize(FamilyOf(reply, length));
    return int(arrived < pages ? arrived : pages);
}
} // namespace ReplyFrame
