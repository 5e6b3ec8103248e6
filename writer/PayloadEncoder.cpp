#include "writer/PayloadEncoder.h"

#include <array>
#include <utility>

#include "common/ErrorCodes.h"

namespace qcl::writer {
namespace {

// Bits of a Digits group of three, of a single last digit and of a last pair.
constexpr std::size_t kDigitGroupBits = 10;
constexpr std::array<std::size_t, 3> kDigitTailBits = {0, 4, 7};
constexpr std::size_t kLetterBits = 6;
constexpr std::size_t kNumberBits = 4;
constexpr std::size_t kAsciiBits = 7;
constexpr std::size_t kByteBits = 8;
// Bit position of the type field and of the first data bit in the stream.
constexpr std::size_t kTypeShift = 1;
constexpr std::size_t kDataStart = 4;

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int hexValue(unsigned char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Symbol value of a character in the Letters alphabet, -1 outside it.
int letterValue(unsigned char c) {
    if (c == ' ') {
        return 0;
    }
    if (c == '.') {
        return 1;
    }
    if (isDigit(c)) {
        return 2 + (c - '0');
    }
    if (c >= 'A' && c <= 'Z') {
        return 12 + (c - 'A');
    }
    if (c >= 'a' && c <= 'z') {
        return 38 + (c - 'a');
    }
    return -1;
}

// Symbol value in the Numbers alphabet: codes 44 (",") to 58 (":") and "_" as 15.
int numberValue(unsigned char c) {
    if (c >= ',' && c <= ':') {
        return c - ',';
    }
    if (c == '_') {
        return 15;
    }
    return -1;
}

bool hasPrefix(const std::string& text, char second) {
    return text.size() >= 2 && text[0] == '0' && text[1] == second;
}

bool isBinaryText(const std::string& text) {
    if (!hasPrefix(text, 'b')) {
        return false;
    }
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (text[i] != '0' && text[i] != '1') {
            return false;
        }
    }
    return true;
}

bool isHexText(const std::string& text) {
    if (!hasPrefix(text, 'x')) {
        return false;
    }
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (hexValue(static_cast<unsigned char>(text[i])) < 0) {
            return false;
        }
    }
    return true;
}

template <typename Predicate>
bool allOf(const std::string& text, Predicate accepts) {
    for (unsigned char c : text) {
        if (!accepts(c)) {
            return false;
        }
    }
    return true;
}

// Appends values least significant bit first, byte after byte.
class BitWriter {
  public:
    void append(std::uint32_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            if (bitCount_ % kByteBits == 0) {
                bytes_.push_back(0);
            }
            if ((value >> i) & 1u) {
                bytes_.back() |= static_cast<std::uint8_t>(1u << (bitCount_ % kByteBits));
            }
            ++bitCount_;
        }
    }
    std::size_t bitCount() const { return bitCount_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t bitCount_ = 0;
};

void writeDigits(const std::string& text, BitWriter& out) {
    std::size_t i = 0;
    for (; i + 3 <= text.size(); i += 3) {
        const std::uint32_t value =
            (text[i] - '0') * 100u + (text[i + 1] - '0') * 10u + (text[i + 2] - '0');
        out.append(value, kDigitGroupBits);
    }
    std::uint32_t tail = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        tail = tail * 10u + static_cast<std::uint32_t>(text[j] - '0');
    }
    out.append(tail, kDigitTailBits[text.size() - i]);
}

void writeData(const std::string& text, PayloadType type, BitWriter& out) {
    switch (type) {
        case PayloadType::Digits:
            writeDigits(text, out);
            break;
        case PayloadType::Letters:
            for (unsigned char c : text) {
                out.append(static_cast<std::uint32_t>(letterValue(c)), kLetterBits);
            }
            break;
        case PayloadType::Numbers:
            for (unsigned char c : text) {
                out.append(static_cast<std::uint32_t>(numberValue(c)), kNumberBits);
            }
            break;
        case PayloadType::Ascii:
            for (unsigned char c : text) {
                out.append(c, kAsciiBits);
            }
            break;
        case PayloadType::UTF8:
            for (unsigned char c : text) {
                out.append(c, kByteBits);
            }
            break;
        case PayloadType::Binary:
            for (std::size_t i = 2; i < text.size(); ++i) {
                const unsigned char c = static_cast<unsigned char>(text[i]);
                if (text[1] == 'b') {
                    out.append(c == '1' ? 1u : 0u, 1);
                } else {
                    out.append(static_cast<std::uint32_t>(hexValue(c)), 4);
                }
            }
            break;
        default:
            break;
    }
}

}  // namespace

std::optional<std::size_t> payloadDataBits(const std::string& text, PayloadType type) {
    const std::size_t n = text.size();
    switch (type) {
        case PayloadType::Digits:
            if (!allOf(text, isDigit)) {
                return std::nullopt;
            }
            return n / 3 * kDigitGroupBits + kDigitTailBits[n % 3];
        case PayloadType::Letters:
            if (!allOf(text, [](unsigned char c) { return letterValue(c) >= 0; })) {
                return std::nullopt;
            }
            return n * kLetterBits;
        case PayloadType::Numbers:
            if (!allOf(text, [](unsigned char c) { return numberValue(c) >= 0; })) {
                return std::nullopt;
            }
            return n * kNumberBits;
        case PayloadType::Ascii:
            if (!allOf(text, [](unsigned char c) { return c < 128; })) {
                return std::nullopt;
            }
            return n * kAsciiBits;
        case PayloadType::UTF8:
            if (!isValidUtf8(text)) {
                return std::nullopt;
            }
            return n * kByteBits;
        case PayloadType::Binary:
            if (isBinaryText(text)) {
                return n - 2;
            }
            if (isHexText(text)) {
                return (n - 2) * 4;
            }
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

bool isValidUtf8(const std::string& text) {
    // Sequences of two, three and four bytes: lead bytes from `first` up to `last`, the bits the
    // lead byte carries, and the lowest value that needs this length.
    static const struct {
        unsigned char first, last, bits;
        std::uint32_t lowest;
    } kForms[] = {{0xC2, 0xDF, 0x1F, 0x80}, {0xE0, 0xEF, 0x0F, 0x800}, {0xF0, 0xF4, 0x07, 0x10000}};
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t form = 0;
        while (form < 3 && !(lead >= kForms[form].first && lead <= kForms[form].last)) {
            ++form;
        }
        const std::size_t continuations = form + 1;
        if (form == 3 || text.size() - i <= continuations) {
            return false;
        }
        std::uint32_t value = lead & kForms[form].bits;
        for (std::size_t k = 1; k <= continuations; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = value << 6 | (next & 0x3F);
        }
        if (value < kForms[form].lowest || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += continuations + 1;
    }
    return true;
}

std::string bytesAsHexText(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text = "0x";
    text.reserve(2 + 2 * bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

PayloadType choosePayloadType(const std::string& text) {
    if (isBinaryText(text)) {
        return PayloadType::Binary;  // one bit per symbol: nothing is shorter
    }
    PayloadType best = PayloadType::UTF8;
    std::optional<std::size_t> bestBits;
    for (PayloadType type : {PayloadType::Digits, PayloadType::Numbers, PayloadType::Letters,
                             PayloadType::Ascii, PayloadType::UTF8}) {
        const std::optional<std::size_t> bits = payloadDataBits(text, type);
        if (bits && (!bestBits || *bits < *bestBits)) {
            best = type;
            bestBits = bits;
        }
    }
    return best;
}

EncodedPayload encodePayload(const std::string& text, PayloadType type) {
    if (type == PayloadType::Automatic) {
        type = choosePayloadType(text);
    }
    const auto typeValue = static_cast<std::int32_t>(type);
    if (type == PayloadType::BigLetters || typeValue < 1 || typeValue > 7) {
        throw QCException(UnknownDataType,
                          "payload type " + std::to_string(typeValue) + " cannot be written");
    }
    const std::optional<std::size_t> dataBits = payloadDataBits(text, type);
    if (!dataBits) {
        throw QCException(InvalidInputSymbols,
                          type == PayloadType::UTF8
                              ? std::string("the text is not UTF-8; write its bytes as Binary")
                              : "the text does not fit the " + toString(type) + " alphabet");
    }
    const std::size_t bitLength = *dataBits + kPayloadOverheadBits;
    if (bitLength > kMaxPayloadBits) {
        throw QCException(DataSizeExceedsMaximum, std::to_string(bitLength) + " payload bits, " +
                                                      std::to_string(kMaxPayloadBits) + " at most");
    }
    BitWriter out;
    out.append(0, kTypeShift);
    out.append(static_cast<std::uint32_t>(typeValue), kDataStart - kTypeShift);
    writeData(text, type, out);
    out.append(0, 1);  // the unused last bit, counted in the length
    EncodedPayload payload;
    payload.type = type;
    payload.bitLength = static_cast<std::uint16_t>(out.bitCount());
    payload.bytes = std::move(out.bytes());
    return payload;
}

}  // namespace qcl::writer
