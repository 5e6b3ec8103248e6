// Frames and payload streams for the data-path tests, crafted byte by byte so that a test can
// break one rule at a time; the writer turns them into module lists.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/data/FrameAcceptance.h"
#include "decoder/data/SamplingGrid.h"
#include "reedsolomon/ReedSolomon.h"
#include "support/LogCapture.h"
#include "writer/ModuleStream.h"

namespace qcl::test {

using Bytes = std::vector<std::uint8_t>;

// A payload stream: unused bit 0, three type bits, the data fields (value, width), unused last
// bit, least significant bit first. Sets `payloadBits` to the length B that the header gives.
inline Bytes payloadStream(PayloadType type, std::vector<std::pair<unsigned, int>> fields,
                           std::uint16_t& payloadBits) {
    fields.insert(fields.begin(), {{0u, 1}, {static_cast<unsigned>(type), 3}});
    fields.emplace_back(0u, 1);
    Bytes bytes;
    int bit = 0;
    for (const auto& [value, width] : fields) {
        for (int i = 0; i < width; ++i, ++bit) {
            if (bit % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (bit % 8));
        }
    }
    payloadBits = static_cast<std::uint16_t>(bit);
    return bytes;
}

inline SamplingGrid makeGrid(int modulesPerRing, int ringCount, bool colour) {
    SamplingGrid grid;
    grid.codeType = colour ? CodeType::Color : CodeType::BlackAndWhite;
    grid.modulesPerRing = modulesPerRing;
    grid.ringCount = ringCount;
    grid.bitsPerModule = colour ? 3 : 1;
    return grid;
}

// Whole bytes of the grid's module bits, at most one codeword.
inline int capacityOf(const SamplingGrid& grid) {
    return std::min((grid.modulesPerRing - kNonDataSlots) * grid.ringCount * grid.bitsPerModule / 8,
                    255);
}

// t: 7.5 %, 15 %, 25 % or 30 % of the capacity (Low to High), rounded up.
inline int capabilityFor(ECCtype strength, int capacity) {
    constexpr int kPerMille[] = {75, 150, 250, 300};
    return (kPerMille[static_cast<int>(strength)] * capacity + 999) / 1000;
}

// Header (naming `headerStrength`), payload, checksum (XOR `checksumFlip`), the writer's fill up
// to `frameLength` bytes.
inline Bytes makeFrame(int headerStrength, std::uint16_t payloadBits, const Bytes& payload,
                       std::size_t frameLength, std::uint8_t checksumFlip = 0) {
    const auto header = static_cast<std::uint16_t>((payloadBits << 5) | (headerStrength & 3));
    Bytes frame(std::max(frameLength, payload.size() + 3), 0);
    frame[0] = static_cast<std::uint8_t>(header & 0xFF);
    frame[1] = static_cast<std::uint8_t>(header >> 8);
    std::copy(payload.begin(), payload.end(), frame.begin() + 2);
    std::uint8_t checksum = checksumFlip;
    for (std::size_t i = 0; i < payload.size() + 2; ++i) {
        checksum ^= frame[i];
    }
    frame[payload.size() + 2] = checksum;
    for (std::size_t i = payload.size() + 3; i < frame.size(); ++i) {
        frame[i] = kPaddingBytes[(i - payload.size() - 3) % 2];
    }
    return frame;
}

inline Bytes withParity(Bytes frame, int t) {
    const Bytes parity = reedsolomon::encodeParity(frame, static_cast<std::uint8_t>(t));
    frame.insert(frame.end(), parity.begin(), parity.end());
    return frame;
}

// A whole block split for `strength`, its header naming `headerStrength`.
inline Bytes symbolBlock(const SamplingGrid& grid, ECCtype strength, int headerStrength,
                         std::uint16_t payloadBits, const Bytes& payload,
                         std::uint8_t checksumFlip = 0) {
    const int capacity = capacityOf(grid);
    const int t = capabilityFor(strength, capacity);
    return withParity(makeFrame(headerStrength, payloadBits, payload,
                                static_cast<std::size_t>(capacity - 2 * t), checksumFlip),
                      t);
}

// Modules in stream order carrying the block; bits past the block are 0.
inline ModuleList streamModules(const SamplingGrid& grid, const Bytes& block) {
    return writer::blockToStream(
        block, grid.bitsPerModule,
        static_cast<std::size_t>((grid.modulesPerRing - kNonDataSlots) * grid.ringCount));
}

}  // namespace qcl::test
