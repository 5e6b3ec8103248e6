#include "decoder/data/FrameAcceptance.h"

#include "common/CodeTypes.h"
#include "decoder/data/PayloadLayout.h"

namespace qcl {
namespace {

// Frame bytes before the payload: the two header bytes.
constexpr std::size_t kHeaderBytes = 2;
using namespace payload;
// Largest value + 1 of a digit group, a last pair and a last single digit.
constexpr unsigned kDigitGroupLimit = 1000;
constexpr unsigned kDigitPairLimit = 100;
constexpr unsigned kDigitSingleLimit = 10;

// LSB-first bit access to the payload bytes.
unsigned bitsAt(const std::vector<std::uint8_t>& bytes, std::size_t first, unsigned width) {
    unsigned value = 0;
    for (unsigned i = 0; i < width; ++i) {
        const std::size_t bit = first + i;
        value |= ((bytes[bit / 8] >> (bit % 8)) & 1u) << i;
    }
    return value;
}

// Digit payloads: whole groups of three, then one or two digits; every group in its range.
bool digitsWritten(const std::vector<std::uint8_t>& payload, unsigned dataBits) {
    const unsigned rest = dataBits % kDigitGroupBits;
    if (rest != 0 && rest != kDigitPairBits && rest != kDigitSingleBits) {
        return false;
    }
    std::size_t bit = kFirstDataBit;
    for (unsigned group = 0; group < dataBits / kDigitGroupBits; ++group) {
        if (bitsAt(payload, bit, kDigitGroupBits) >= kDigitGroupLimit) {
            return false;
        }
        bit += kDigitGroupBits;
    }
    if (rest == kDigitPairBits) {
        return bitsAt(payload, bit, rest) < kDigitPairLimit;
    }
    if (rest == kDigitSingleBits) {
        return bitsAt(payload, bit, rest) < kDigitSingleLimit;
    }
    return true;
}

bool payloadWritten(const std::vector<std::uint8_t>& payload, std::uint16_t payloadBits) {
    if (payload.empty() || payloadBits < kNonDataBits || (payload[0] & 1u) != 0) {
        return false;
    }
    // The unused last bit and the rest of the last byte are zero.
    for (std::size_t bit = payloadBits - 1u; bit < payload.size() * 8; ++bit) {
        if (((payload[bit / 8] >> (bit % 8)) & 1u) != 0) {
            return false;
        }
    }
    const unsigned dataBits = payloadBits - kNonDataBits;
    const auto type = static_cast<PayloadType>((payload[0] >> kTypeShift) & kTypeMask);
    switch (type) {
        case PayloadType::Digits:
            return digitsWritten(payload, dataBits);
        case PayloadType::Letters:
            return dataBits % kLetterBits == 0;
        case PayloadType::Numbers:
            return dataBits % kNumberBits == 0;
        case PayloadType::Ascii:
            return dataBits % kAsciiBits == 0;
        case PayloadType::UTF8:
            return dataBits % kByteBits == 0;
        case PayloadType::Binary:
            return true;
        default:  // Automatic and BigLetters are never written
            return false;
    }
}

}  // namespace

const char* toString(FrameFault fault) {
    switch (fault) {
        case FrameFault::None:
            return "none";
        case FrameFault::TooManyCorrections:
            return "more corrections than the strength allows";
        case FrameFault::Padding:
            return "fill after the checksum is not the writer's";
        case FrameFault::PayloadLayout:
            return "payload is not laid out as the writer writes it";
    }
    return "";
}

FrameFault checkFrame(const std::vector<std::uint8_t>& data, std::size_t payloadBytes,
                      std::uint16_t payloadBits, std::int32_t corrections, std::size_t t) {
    // A decoder that "corrected" bytes of the shortened code's zero fill returns data whose own
    // codeword lies more than t bytes from what was received.
    if (corrections < 0 || static_cast<std::size_t>(corrections) > t) {
        return FrameFault::TooManyCorrections;
    }
    const std::size_t fillStart = kHeaderBytes + payloadBytes + 1;
    for (std::size_t i = fillStart; i < data.size(); ++i) {
        if (data[i] != kPaddingBytes[(i - fillStart) % 2]) {
            return FrameFault::Padding;
        }
    }
    // The writer never writes a frame without payload, and an all-zero block (a grid read as one
    // colour after unmasking) is one: header, length and checksum all zero, a valid codeword.
    if (payloadBytes == 0) {
        return FrameFault::PayloadLayout;
    }
    const std::vector<std::uint8_t> payload(data.begin() + kHeaderBytes,
                                            data.begin() + kHeaderBytes + payloadBytes);
    return payloadWritten(payload, payloadBits) ? FrameFault::None : FrameFault::PayloadLayout;
}

}  // namespace qcl
