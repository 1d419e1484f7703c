#ifndef PARVESTA_TEST_REPLIES_H
#define PARVESTA_TEST_REPLIES_H

#include "ReplyBuilder.h"

// A whole reply of count generated records, as an instrument of the family sends it.
inline QByteArray Reply(ReplyFrame::Family family, int count)
{
    return ReplyBuilder::Frame(family, ReplyBuilder::GeneratedSet(family, count));
}

#endif
