#include "writer/PayloadEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ErrorCodes.h"

namespace qcl::writer {
namespace {

// Reads `width` bits of the stream starting at `first`, least significant first.
unsigned readBits(const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t width) {
    unsigned value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t bit = first + i;
        value |= ((bytes.at(bit / 8) >> (bit % 8)) & 1u) << i;
    }
    return value;
}

ErrorCode refusalCode(const std::string& text, PayloadType type) {
    try {
        encodePayload(text, type);
    } catch (const QCException& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        return e.code;
    }
    return Success;
}

TEST(PayloadEncoder, NumbersExampleGivesTheReadersBytes) {
    // "1" is symbol 5, "9" symbol 13: 0x56 then 0x0D with B = 13.
    const EncodedPayload payload = encodePayload("19", PayloadType::Numbers);
    EXPECT_EQ(payload.type, PayloadType::Numbers);
    EXPECT_EQ(payload.bitLength, 13);
    EXPECT_EQ(payload.bytes, (std::vector<std::uint8_t>{0x56, 0x0D}));
}

TEST(PayloadEncoder, StreamStartsWithUnusedBitAndType) {
    for (PayloadType type : {PayloadType::Digits, PayloadType::Letters, PayloadType::Numbers,
                             PayloadType::Ascii, PayloadType::UTF8}) {
        const EncodedPayload payload = encodePayload("7", type);
        EXPECT_EQ(readBits(payload.bytes, 0, 1), 0u) << type;
        EXPECT_EQ(readBits(payload.bytes, 1, 3), static_cast<unsigned>(type)) << type;
    }
}

TEST(PayloadEncoder, DigitsPackGroupsOfThreeAndShortTails) {
    const EncodedPayload group = encodePayload("042", PayloadType::Digits);
    EXPECT_EQ(group.bitLength, 10 + 5);
    EXPECT_EQ(readBits(group.bytes, 4, 10), 42u);

    const EncodedPayload four = encodePayload("9990", PayloadType::Digits);
    EXPECT_EQ(four.bitLength, 14 + 5);
    EXPECT_EQ(readBits(four.bytes, 4, 10), 999u);
    EXPECT_EQ(readBits(four.bytes, 14, 4), 0u);

    const EncodedPayload five = encodePayload("12345", PayloadType::Digits);
    EXPECT_EQ(five.bitLength, 17 + 5);
    EXPECT_EQ(readBits(five.bytes, 4, 10), 123u);
    EXPECT_EQ(readBits(five.bytes, 14, 7), 45u);
}

TEST(PayloadEncoder, AlphabetValues) {
    const EncodedPayload letters = encodePayload(" .0Aaz", PayloadType::Letters);
    const unsigned expectedLetters[] = {0, 1, 2, 12, 38, 63};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(readBits(letters.bytes, 4 + 6 * i, 6), expectedLetters[i]) << i;
    }
    const EncodedPayload numbers = encodePayload(",/9:_", PayloadType::Numbers);
    const unsigned expectedNumbers[] = {0, 3, 13, 14, 15};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(readBits(numbers.bytes, 4 + 4 * i, 4), expectedNumbers[i]) << i;
    }
    const EncodedPayload ascii = encodePayload(std::string("\x7f\x01", 2), PayloadType::Ascii);
    EXPECT_EQ(readBits(ascii.bytes, 4, 7), 127u);
    EXPECT_EQ(readBits(ascii.bytes, 11, 7), 1u);
    const EncodedPayload utf8 = encodePayload("\xc3\xa4", PayloadType::UTF8);
    EXPECT_EQ(readBits(utf8.bytes, 4, 8), 0xC3u);
    EXPECT_EQ(readBits(utf8.bytes, 12, 8), 0xA4u);
}

TEST(PayloadEncoder, BinaryTakesBinaryAndHexadecimalDigits) {
    const EncodedPayload bits = encodePayload("0b110", PayloadType::Binary);
    EXPECT_EQ(bits.bitLength, 3 + 5);
    EXPECT_EQ(readBits(bits.bytes, 4, 3), 0b011u);  // first digit is the first stream bit

    // The reader shows 0b10100000 as 0x50: the hexadecimal form gives the same bits.
    const EncodedPayload hex = encodePayload("0x50", PayloadType::Binary);
    const EncodedPayload same = encodePayload("0b10100000", PayloadType::Binary);
    EXPECT_EQ(hex.bitLength, same.bitLength);
    EXPECT_EQ(hex.bytes, same.bytes);
    EXPECT_EQ(encodePayload("0xaF", PayloadType::Binary).bytes,
              encodePayload("0b01011111", PayloadType::Binary).bytes);
}

TEST(PayloadEncoder, LengthCountsFiveExtraBitsAndBytesCoverIt) {
    for (std::size_t n = 0; n < 20; ++n) {
        const EncodedPayload payload = encodePayload(std::string(n, 'a'), PayloadType::Ascii);
        EXPECT_EQ(payload.bitLength, 7 * n + 5);
        EXPECT_EQ(payload.bytes.size(), (7 * n + 5 + 7) / 8);
    }
    const EncodedPayload empty = encodePayload("", PayloadType::Letters);
    EXPECT_EQ(empty.bitLength, 5);
    EXPECT_EQ(empty.bytes.size(), 1u);
}

TEST(PayloadEncoder, AutomaticChoosesTheFewestBits) {
    EXPECT_EQ(choosePayloadType("0123456789"), PayloadType::Digits);
    EXPECT_EQ(choosePayloadType("12:30-1.5"), PayloadType::Numbers);
    EXPECT_EQ(choosePayloadType("Hello World"), PayloadType::Letters);
    EXPECT_EQ(choosePayloadType("Hello, World!"), PayloadType::Ascii);
    EXPECT_EQ(choosePayloadType("Gr\xc3\xbc\xc3\x9f"), PayloadType::UTF8);
    EXPECT_EQ(choosePayloadType("0b0110"), PayloadType::Binary);
    EXPECT_EQ(choosePayloadType("0x12"), PayloadType::Letters);  // hex only when asked for
    EXPECT_EQ(choosePayloadType(""), PayloadType::Digits);

    for (const std::string text : {"31415", "1,5", "Ab", "a_b", "~~", "0b", "\xff"}) {
        const PayloadType chosen = choosePayloadType(text);
        const std::size_t chosenBits = *payloadDataBits(text, chosen);
        for (int value = 1; value <= 7; ++value) {
            const auto bits = payloadDataBits(text, static_cast<PayloadType>(value));
            if (bits) {
                EXPECT_LE(chosenBits, *bits) << text << " as " << static_cast<PayloadType>(value);
            }
        }
        EXPECT_EQ(encodePayload(text).type, chosen);
    }
}

TEST(PayloadEncoder, RefusesTextsOutsideTheAlphabet) {
    EXPECT_EQ(refusalCode("12a", PayloadType::Digits), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("A+B", PayloadType::Letters), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("1;2", PayloadType::Numbers), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("\x80", PayloadType::Ascii), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("0b012", PayloadType::Binary), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("0xg", PayloadType::Binary), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("101", PayloadType::Binary), InvalidInputSymbols);
    EXPECT_EQ(refusalCode("ABC", PayloadType::BigLetters), UnknownDataType);
    EXPECT_EQ(refusalCode("ABC", static_cast<PayloadType>(9)), UnknownDataType);
}

TEST(PayloadEncoder, RefusesPayloadsBeyondTheLengthField) {
    // 2042 data bits is the most an 11-bit length can count.
    EXPECT_EQ(encodePayload(std::string(510, '1'), PayloadType::Numbers).bitLength, 2045);
    EXPECT_EQ(refusalCode(std::string(511, '1'), PayloadType::Numbers), DataSizeExceedsMaximum);
    EXPECT_EQ(encodePayload("0b" + std::string(2042, '1')).bitLength, 2047);
    EXPECT_EQ(refusalCode("0b" + std::string(2043, '1'), PayloadType::Binary),
              DataSizeExceedsMaximum);
}

}  // namespace
}  // namespace qcl::writer
