#include "writer/PayloadEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"

namespace qcl::writer {
namespace {

ErrorCode refusalCode(const std::string& text, PayloadType type) {
    return test::thrownCode([&] { encodePayload(text, type); });
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

// Strict UTF-8: every ill-formed kind refused, the edges of the valid ranges taken.
TEST(PayloadEncoder, Utf8IsCheckedStrictly) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain", true},
        {"\xc2\x80", true},           // U+0080, the lowest two-byte value
        {"\xef\xbf\xbf", true},       // U+FFFF
        {"\xf4\x8f\xbf\xbf", true},   // U+10FFFF, the highest value
        {"\xc0\xaf", false},          // overlong "/"
        {"\xe0\x80\xaf", false},      // overlong in three bytes
        {"\xed\xa0\x80", false},      // a surrogate
        {"\xf4\x90\x80\x80", false},  // past U+10FFFF
        {"\x80", false},              // a lone continuation byte
        {"ab\xe2\x82", false},        // cut off at the end
        {"\xe2\x28\xa1", false},      // a continuation that is not one
        {std::string("\xff\xfe\0a", 4), false}};
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(isValidUtf8(text), valid) << ::testing::PrintToString(text);
    }
}

// Bytes that are not UTF-8 would read back as text with replacement characters: no type takes
// them (the shared writer turns them into Binary first).
TEST(PayloadEncoder, BytesThatAreNoTextAreRefused) {
    const std::string bytes("\xff\xfe\0a", 4);
    EXPECT_EQ(refusalCode(bytes, PayloadType::UTF8), InvalidInputSymbols);
    EXPECT_EQ(refusalCode(bytes, PayloadType::Automatic), InvalidInputSymbols);
    EXPECT_EQ(bytesAsHexText(bytes), "0xfffe0061");
}

}  // namespace
}  // namespace qcl::writer
