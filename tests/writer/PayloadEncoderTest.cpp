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
        return e.code;
    }
    return Success;
}

// "1" is Numbers symbol 5 and "9" symbol 13: the reader's worked example.
TEST(PayloadEncoder, NumbersExampleGivesTheReadersBytes) {
    const EncodedPayload payload = encodePayload("19", PayloadType::Numbers);
    EXPECT_EQ(payload.bitLength, 13);
    EXPECT_EQ(payload.bytes, (std::vector<std::uint8_t>{0x56, 0x0D}));
}

// Bit 0 unused, bits 1-3 the type, then the symbols of the type's width from bit 4 on; the
// length counts five bits besides the data.
TEST(PayloadEncoder, StreamFieldsOfEveryType) {
    const struct {
        std::string text;
        PayloadType type;
        std::size_t dataBits;
        std::vector<std::pair<int, unsigned>> fields;  // (width, value) from bit 4 on
    } cases[] = {
        {"042", PayloadType::Digits, 10, {{10, 42}}},
        {"9990", PayloadType::Digits, 14, {{10, 999}, {4, 0}}},
        {"12345", PayloadType::Digits, 17, {{10, 123}, {7, 45}}},
        {" .0Aaz", PayloadType::Letters, 36, {{6, 0}, {6, 1}, {6, 2}, {6, 12}, {6, 38}, {6, 63}}},
        {",/9:_", PayloadType::Numbers, 20, {{4, 0}, {4, 3}, {4, 13}, {4, 14}, {4, 15}}},
        {std::string("\x7f\x01", 2), PayloadType::Ascii, 14, {{7, 127}, {7, 1}}},
        {"\xc3\xa4", PayloadType::UTF8, 16, {{8, 0xC3}, {8, 0xA4}}},
        {"0b110", PayloadType::Binary, 3, {{1, 1}, {1, 1}, {1, 0}}},  // first digit first
        {"", PayloadType::Letters, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const EncodedPayload payload = encodePayload(c.text, c.type);
        EXPECT_EQ(payload.type, c.type);
        EXPECT_EQ(payload.bitLength, c.dataBits + 5);
        EXPECT_EQ(payload.bytes.size(), (c.dataBits + 5 + 7) / 8);
        EXPECT_EQ(readBits(payload.bytes, 0, 4), static_cast<unsigned>(c.type) << 1);
        std::size_t at = 4;
        for (const auto& [width, value] : c.fields) {
            EXPECT_EQ(readBits(payload.bytes, at, width), value) << "bit " << at;
            at += width;
        }
        EXPECT_EQ(readBits(payload.bytes, at, 8 * payload.bytes.size() - at), 0u);  // unused
    }
}

// The reader shows Binary payloads in hexadecimal too (four bits a digit, least significant
// first): "0x50" is "0b10100000".
TEST(PayloadEncoder, HexadecimalBinaryGivesTheSameBits) {
    EXPECT_EQ(encodePayload("0x50", PayloadType::Binary).bytes,
              encodePayload("0b10100000", PayloadType::Binary).bytes);
    EXPECT_EQ(encodePayload("0xaF", PayloadType::Binary).bytes,
              encodePayload("0b01011111", PayloadType::Binary).bytes);
}

TEST(PayloadEncoder, AutomaticChoosesTheFewestBits) {
    const std::pair<const char*, PayloadType> cases[] = {
        {"0123456789", PayloadType::Digits},
        {"12:30-1.5", PayloadType::Numbers},
        {"Hello World", PayloadType::Letters},
        {"Hello, World!", PayloadType::Ascii},
        {"Gr\xc3\xbc\xc3\x9f", PayloadType::UTF8},
        {"0b0110", PayloadType::Binary},
        {"", PayloadType::Digits},
        {"1,5", PayloadType::Numbers},
        {"~~", PayloadType::Ascii},
        {"0b", PayloadType::Binary},
    };
    for (const auto& [text, type] : cases) {
        EXPECT_EQ(choosePayloadType(text), type) << text;
        EXPECT_EQ(encodePayload(text).type, type) << text;
        for (int other = 1; other <= 7; ++other) {  // no type that holds the text is shorter
            const auto bits = payloadDataBits(text, static_cast<PayloadType>(other));
            EXPECT_TRUE(!bits || *payloadDataBits(text, type) <= *bits) << text << " " << other;
        }
    }
    EXPECT_EQ(choosePayloadType("0x12"), PayloadType::Letters);  // hexadecimal only when asked
}

TEST(PayloadEncoder, RefusesTextsOutsideTheAlphabetOrTheLengthField) {
    const std::pair<std::string, PayloadType> invalid[] = {
        {"12a", PayloadType::Digits}, {"A+B", PayloadType::Letters},  {"1;2", PayloadType::Numbers},
        {"\x80", PayloadType::Ascii}, {"0b012", PayloadType::Binary}, {"0xg", PayloadType::Binary},
        {"101", PayloadType::Binary}};
    for (const auto& [text, type] : invalid) {
        EXPECT_EQ(refusalCode(text, type), InvalidInputSymbols) << text;
    }
    EXPECT_EQ(refusalCode("ABC", PayloadType::BigLetters), UnknownDataType);
    EXPECT_EQ(refusalCode("ABC", static_cast<PayloadType>(9)), UnknownDataType);
    // 2042 data bits is the most an 11-bit length can count.
    EXPECT_EQ(encodePayload(std::string(510, '1'), PayloadType::Numbers).bitLength, 2045);
    EXPECT_EQ(refusalCode(std::string(511, '1'), PayloadType::Numbers), DataSizeExceedsMaximum);
    EXPECT_EQ(encodePayload("0b" + std::string(2042, '1')).bitLength, 2047);
    EXPECT_EQ(refusalCode("0b" + std::string(2043, '1'), PayloadType::Binary),
              DataSizeExceedsMaximum);
}

}  // namespace
}  // namespace qcl::writer
