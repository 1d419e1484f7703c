#include "CommandFrame.h"

#include <cstring>

namespace CommandFrame
{
static_assert(sizeof(Prefix) - 1 == PrefixSize && sizeof(Identification) - 1 == IdentificationSize,
              "the frame's texts are sent without their terminators");

int Build(char* out, std::uint8_t code, std::uint8_t parameter, int extraLength)
{
    if (extraLength < 0 || extraLength > MaxExtraLength)
        return 0;
    std::memcpy(out, Prefix, PrefixSize);
    out[CodeOffset] = char(code);
    out[ParameterOffset] = char(parameter);
    out[LengthOffset] = char(extraLength);
    std::memset(out + HeaderSize, 0, std::size_t(extraLength));
    return HeaderSize + extraLength;
}
} // namespace CommandFrame
