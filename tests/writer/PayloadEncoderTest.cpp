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

}  // namespace
}  // namespace qcl::writer
