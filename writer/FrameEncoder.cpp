#include "writer/FrameEncoder.h"

#include <string>

#include "common/ErrorCodes.h"
#include "reedsolomon/ReedSolomon.h"

namespace qcl::writer {
namespace {

// Position of the payload bit length in the 16-bit header, above the strength and three unused
// bits.
constexpr unsigned kLengthShift = 5;

}  // namespace

std::size_t frameLength(ECCtype strength, std::size_t capacity) {
    const std::size_t parity = 2 * correctionCapability(strength, capacity);
    return capacity > parity ? capacity - parity : 0;
}

std::size_t maxPayloadBytes(ECCtype strength, std::size_t capacity) {
    const std::size_t k = frameLength(strength, capacity);
    return k > kFrameOverheadBytes ? k - kFrameOverheadBytes : 0;
}

std::vector<std::uint8_t> encodeFrame(const EncodedPayload& payload, ECCtype strength,
                                      std::size_t capacity) {
    if (capacity > kMaxBlockBytes) {
        throw QCException(InvalidConfiguration, "a block holds at most " +
                                                    std::to_string(kMaxBlockBytes) +
                                                    " bytes, not " + std::to_string(capacity));
    }
    if (payload.bitLength > kMaxPayloadBits ||
        payload.bytes.size() != (payload.bitLength + 7u) / 8u) {
        throw QCException(InvalidConfiguration, "payload of " +
                                                    std::to_string(payload.bytes.size()) +
                                                    " bytes does not match its bit length " +
                                                    std::to_string(payload.bitLength));
    }
    const std::size_t t = correctionCapability(strength, capacity);
    const std::size_t k = frameLength(strength, capacity);
    if (payload.bytes.size() + kFrameOverheadBytes > k) {
        throw QCException(NotEnoughCapacity,
                          std::to_string(payload.bytes.size()) + " payload bytes, room for " +
                              std::to_string(maxPayloadBytes(strength, capacity)));
    }
    const auto header = static_cast<std::uint16_t>(static_cast<unsigned>(strength) |
                                                   (payload.bitLength << kLengthShift));
    std::vector<std::uint8_t> block;
    block.reserve(capacity);
    block.push_back(static_cast<std::uint8_t>(header & 0xFF));
    block.push_back(static_cast<std::uint8_t>(header >> 8));
    block.insert(block.end(), payload.bytes.begin(), payload.bytes.end());
    std::uint8_t checksum = 0;
    for (std::uint8_t byte : block) {
        checksum ^= byte;
    }
    block.push_back(checksum);
    for (std::size_t i = 0; block.size() < k; ++i) {
        block.push_back(kPaddingBytes[i % 2]);
    }
    const std::vector<std::uint8_t> parity =
        reedsolomon::encodeParity(block, static_cast<std::uint8_t>(t));
    block.insert(block.end(), parity.begin(), parity.end());
    return block;
}

}  // namespace qcl::writer
