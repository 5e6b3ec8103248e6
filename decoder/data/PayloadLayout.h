// The bit layout of a payload inside the frame, shared by decompression and frame acceptance:
// bit 0 unused (0), the payload type in bits 1 to 3, the data from bit 4, one unused last bit.
#pragma once

#include <cstdint>

namespace qcl::payload {

// Bits ahead of the data (unused bit 0, type bits 1 to 3) plus the unused last bit.
constexpr std::uint16_t kNonDataBits = 5;
constexpr int kTypeShift = 1;
constexpr unsigned kTypeMask = 0x7;
constexpr int kFirstDataBit = 4;

// Digits pack three digits in 10 bits, a last pair in 7 and a last single digit in 4.
constexpr int kDigitGroupBits = 10;
constexpr int kDigitPairBits = 7;
constexpr int kDigitSingleBits = 4;

constexpr int kLetterBits = 6;
constexpr int kNumberBits = 4;
constexpr int kAsciiBits = 7;
constexpr int kByteBits = 8;

}  // namespace qcl::payload
