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

long AnnouncedLength(const char* reply, unsigned length)
{
    if (length < unsigned(HeaderSize))
        return 0;
    const Family family = FamilyOf(reply, length);
    if (family == Family::Unknown)
        return 0;
    const unsigned pages = static_cast<unsigned char>(reply[PageCountOffset]);
    return HeaderSize + long(PageSize(family)) * long(pages);
}
} // namespace ReplyFrame
