#include "decoder/data/Decompressor.h"

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "common/Stage.h"
#include "decoder/data/PayloadLayout.h"

namespace qcl {

namespace {

using namespace payload;

// Letters: 0 space, 1 ".", 2..11 digits, 12..37 capitals, 38..63 small letters.
char letterFor(unsigned value) {
    if (value == 0) {
        return ' ';
    }
    if (value == 1) {
        return '.';
    }
    if (value < 12) {
        return static_cast<char>('0' + value - 2);
    }
    if (value < 38) {
        return static_cast<char>('A' + value - 12);
    }
    return static_cast<char>('a' + value - 38);
}

// Numbers: 0..14 are the characters "," to ":" (codes 44 to 58), 15 is "_".
constexpr char kNumbersFirst = ',';
constexpr unsigned kNumbersUnderscore = 15;

char numberFor(unsigned value) {
    return value == kNumbersUnderscore ? '_' : static_cast<char>(kNumbersFirst + value);
}

// Reads LSB-first values from the payload bytes; never past the last byte.
class BitReader {
  public:
    BitReader(const std::vector<std::uint8_t>& bytes, unsigned firstBits, int heldBits)
        : bytes_(bytes), buffer_(firstBits), held_(heldBits) {}

    // False when the bytes are used up before `width` bits are held.
    bool read(int width, unsigned& value) {
        while (held_ < width) {
            if (next_ >= bytes_.size()) {
                return false;
            }
            buffer_ |= static_cast<unsigned>(bytes_[next_++]) << held_;
            held_ += kByteBits;
        }
        value = buffer_ & ((1u << width) - 1u);
        buffer_ >>= width;
        held_ -= width;
        return true;
    }

  private:
    const std::vector<std::uint8_t>& bytes_;
    unsigned buffer_;
    int held_;
    std::size_t next_ = 1;
};

std::size_t digitCount(std::uint16_t dataBits) {
    const std::size_t groups = dataBits / kDigitGroupBits;
    switch (dataBits % kDigitGroupBits) {
        case 0:
            return 3 * groups;
        case kDigitSingleBits:
            return 3 * groups + 1;
        case kDigitPairBits:
            return 3 * groups + 2;
        default:
            return 0;
    }
}

void decodeDigits(BitReader& reader, std::size_t count, std::string& text) {
    unsigned v = 0;
    for (std::size_t group = 0; group < count / 3; ++group) {
        if (!reader.read(kDigitGroupBits, v)) {
            return;
        }
        text += static_cast<char>('0' + v / 100);
        text += static_cast<char>('0' + (v % 100) / 10);
        text += static_cast<char>('0' + v % 10);
    }
    if (count % 3 == 1 && reader.read(kDigitSingleBits, v)) {
        text += static_cast<char>('0' + v % 10);
    } else if (count % 3 == 2 && reader.read(kDigitPairBits, v)) {
        text += static_cast<char>('0' + (v % 100) / 10);
        text += static_cast<char>('0' + v % 10);
    }
}

// Symbols of a fixed width until the text reaches `target` characters or the bytes run out.
template <typename ToChar>
void decodeFixed(BitReader& reader, int width, std::size_t target, std::string& text,
                 ToChar toChar) {
    unsigned v = 0;
    while (text.size() < target && reader.read(width, v)) {
        text += toChar(v);
    }
}

}  // namespace

DecompressedPayload decompress(const std::vector<std::uint8_t>& payload,
                               std::uint16_t payloadBits) {
    logStage(StageDecompress);
    DecompressedPayload result;
    if (payload.empty()) {
        return result;
    }
    result.type = static_cast<std::uint8_t>((payload[0] >> kTypeShift) & kTypeMask);
    const auto type = static_cast<PayloadType>(result.type);
    if (type == PayloadType::Automatic || type == PayloadType::BigLetters) {
        return result;
    }

    const auto dataBits = static_cast<std::uint16_t>(payloadBits - kNonDataBits);
    BitReader reader(payload, static_cast<unsigned>(payload[0] >> kFirstDataBit), kFirstDataBit);
    std::string& text = result.text;
    std::size_t target = 0;
    switch (type) {
        case PayloadType::Digits:
            target = digitCount(dataBits);
            decodeDigits(reader, target, text);
            break;
        case PayloadType::Letters:
            target = dataBits / kLetterBits;
            decodeFixed(reader, kLetterBits, target, text, letterFor);
            break;
        case PayloadType::Numbers:
            target = dataBits / kNumberBits;
            decodeFixed(reader, kNumberBits, target, text, numberFor);
            break;
        case PayloadType::Ascii:
            target = dataBits / kAsciiBits;
            decodeFixed(reader, kAsciiBits, target, text,
                        [](unsigned v) { return static_cast<char>(v); });
            break;
        case PayloadType::Binary:
            target = static_cast<std::size_t>(dataBits) + 2;
            text = "0b";
            decodeFixed(reader, 1, target, text, [](unsigned v) { return v != 0 ? '1' : '0'; });
            break;
        case PayloadType::UTF8:
        default:
            target = dataBits / kByteBits;
            decodeFixed(reader, kByteBits, target, text,
                        [](unsigned v) { return static_cast<char>(v); });
            break;
    }
    if (text.size() != target) {
        throw QCException(InvalidInputSymbols);
    }
    return result;
}

}  // namespace qcl
