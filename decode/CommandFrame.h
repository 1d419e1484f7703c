#ifndef PARVESTA_COMMANDFRAME_H
#define PARVESTA_COMMANDFRAME_H

#include <cstdint>

// The host's command frame: "WQX VX-T", a command code, a parameter, the
// number L of zero bytes that follow, then those L bytes. Also the
// instrument's answer to the identify command. Shared by the device link and
// the instrument simulator.
namespace CommandFrame
{
constexpr char Prefix[] = "WQX VX-T";
constexpr int PrefixSize = 8;
constexpr int CodeOffset = 8;
constexpr int ParameterOffset = 9;
constexpr int LengthOffset = 10;
constexpr int HeaderSize = 11;
constexpr int MaxExtraLength = 245; // a frame is built in 256 bytes
constexpr int MaxSize = HeaderSize + MaxExtraLength;

constexpr std::uint8_t Identify = 1;
constexpr std::uint8_t ReadOut = 6; // send all stored results

// The first 11 bytes of an instrument's answer to Identify.
constexpr char Identification[] = "ZELTRA OMNI";
constexpr int IdentificationSize = 11;

// Writes the frame into out, which holds MaxSize bytes; its length, or 0
// when extraLength is outside 0 to 245.
int Build(char* out, std::uint8_t code, std::uint8_t parameter, int extraLength);
} // namespace CommandFrame

#endif
