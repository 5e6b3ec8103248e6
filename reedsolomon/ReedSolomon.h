// Reed-Solomon over GF(256) (primitive polynomial 0x11D, roots alpha^1..alpha^2t) for blocks of up
// to 255 bytes, shortened: data at codeword positions 0..k-1, parity at 255-2t..254.
#pragma once

#include <cstdint>
#include <vector>

namespace reedsolomon {

// The 2t parity bytes that make data + parity a valid shortened codeword in the placement above
// (the writer's half of the codec).
std::vector<std::uint8_t> encodeParity(const std::vector<std::uint8_t>& data, std::uint8_t t);

}  // namespace reedsolomon
