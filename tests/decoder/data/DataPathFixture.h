// Builds symbols' module lists for the data-path tests: the writer's side of framing, parity,
// bit packing, layout and mask, written independently of the reader's code.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "common/Logger.h"
#include "decoder/data/DataLayout.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/SamplingGrid.h"
#include "reedsolomon/ReedSolomon.h"
#include "support/LogCapture.h"

namespace qcl::test {

using Bytes = std::vector<std::uint8_t>;

// Appends values LSB first to a byte stream.
class BitWriter {
  public:
    BitWriter& put(unsigned value, int width) {
        for (int i = 0; i < width; ++i) {
            if (bits_ % 8 == 0) {
                bytes_.push_back(0);
            }
            bytes_.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (bits_ % 8));
            ++bits_;
        }
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }
    int bits() const { return bits_; }

  private:
    Bytes bytes_;
    int bits_ = 0;
};

// A payload stream: unused bit 0, three type bits, the data bits written by `fill`, unused last
// bit. Returns the bytes and sets `payloadBits` to B.
template <typename Fill>
Bytes payloadStream(PayloadType type, Fill fill, std::uint16_t& payloadBits) {
    BitWriter writer;
    writer.put(0, 1).put(static_cast<unsigned>(type), 3);
    fill(writer);
    writer.put(0, 1);
    payloadBits = static_cast<std::uint16_t>(writer.bits());
    return writer.bytes();
}

inline SamplingGrid makeGrid(int modulesPerRing, int ringCount, bool colour) {
    SamplingGrid grid;
    grid.codeType = colour ? CodeType::Color : CodeType::BlackAndWhite;
    grid.modulesPerRing = modulesPerRing;
    grid.ringCount = ringCount;
    grid.bitsPerModule = colour ? 3 : 1;
    return grid;
}

inline int moduleCount(const SamplingGrid& grid) {
    return (grid.modulesPerRing - kNonDataSlots) * grid.ringCount;
}

inline int capacityOf(const SamplingGrid& grid) {
    return std::min(moduleCount(grid) * grid.bitsPerModule / 8, 255);
}

inline int perMille(ECCtype strength) {
    switch (strength) {
        case ECCtype::High:
            return 300;
        case ECCtype::Quartile:
            return 250;
        case ECCtype::Medium:
            return 150;
        default:
            return 75;
    }
}

inline int capabilityFor(ECCtype strength, int capacity) {
    return (perMille(strength) * capacity + 999) / 1000;
}

// Header, payload, checksum, zero fill up to `frameLength` bytes.
inline Bytes makeFrame(int headerStrength, std::uint16_t payloadBits, const Bytes& payload,
                       std::size_t frameLength, std::uint8_t checksumFlip = 0) {
    const auto header = static_cast<std::uint16_t>((payloadBits << 5) | (headerStrength & 3));
    Bytes frame;
    frame.reserve(std::max(frameLength, payload.size() + 3));
    frame.push_back(static_cast<std::uint8_t>(header & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(header >> 8));
    for (std::uint8_t byte : payload) {
        frame.push_back(byte);
    }
    std::uint8_t checksum = 0;
    for (std::uint8_t byte : frame) {
        checksum ^= byte;
    }
    frame.push_back(static_cast<std::uint8_t>(checksum ^ checksumFlip));
    frame.resize(std::max(frame.size(), frameLength), 0);
    return frame;
}

inline Bytes withParity(Bytes frame, int t) {
    const Bytes parity = reedsolomon::encodeParity(frame, static_cast<std::uint8_t>(t));
    frame.insert(frame.end(), parity.begin(), parity.end());
    return frame;
}

// Modules in stream order carrying the block; bits past the block are 0.
inline ModuleList streamModules(const SamplingGrid& grid, const Bytes& block) {
    ModuleList modules(static_cast<std::size_t>(moduleCount(grid)), 0);
    for (std::size_t bit = 0; bit < block.size() * 8; ++bit) {
        const int value = (block[bit / 8] >> (bit % 8)) & 1;
        modules[bit / grid.bitsPerModule] |=
            static_cast<std::uint8_t>(value << (bit % grid.bitsPerModule));
    }
    return modules;
}

// What the reader samples: stream order brought back to grid order, then masked.
inline ModuleList gridModules(const SamplingGrid& grid, const ModuleList& stream, int mask,
                              Layout layout) {
    const int columns = grid.modulesPerRing - kNonDataSlots;
    ModuleList sampled(stream.size(), 0);
    walkLayout(layout, grid.ringCount, columns,
               [&](int position, int index) { sampled[index] = stream[position]; });
    const auto valueMask = static_cast<std::uint8_t>((1 << grid.bitsPerModule) - 1);
    for (std::size_t i = 0; i < sampled.size(); ++i) {
        if (maskInverts(mask, static_cast<int>(i) / columns, static_cast<int>(i) % columns)) {
            sampled[i] = static_cast<std::uint8_t>(valueMask - sampled[i]);
        }
    }
    return sampled;
}

// A complete symbol's block: a frame made for `strength` (header naming `headerStrength`).
inline Bytes symbolBlock(const SamplingGrid& grid, ECCtype strength, int headerStrength,
                         std::uint16_t payloadBits, const Bytes& payload,
                         std::uint8_t checksumFlip = 0) {
    const int capacity = capacityOf(grid);
    const int t = capabilityFor(strength, capacity);
    return withParity(makeFrame(headerStrength, payloadBits, payload,
                                static_cast<std::size_t>(capacity - 2 * t), checksumFlip),
                      t);
}

}  // namespace qcl::test
