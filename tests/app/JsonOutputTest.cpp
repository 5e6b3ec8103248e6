// The byte forms the JSON output relies on: base64, UTF-8 validity, binary payload bytes.
#include <gtest/gtest.h>

#include "app/JsonOutput.h"

namespace qcl {
namespace {

TEST(JsonOutputTest, Base64OfTheStandardVectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\x00\x80", 3), "/wCA"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(toBase64(bytes), expected) << expected;
    }
}

TEST(JsonOutputTest, Utf8ValidityAndPayloadBytes) {
    const std::pair<std::string, bool> texts[] = {
        {"plain", true},        {"gr\xc3\xbc\xc3\x9f", true},
        {"\xe2\x82\xac", true}, {"\xc3", false},
        {"\xff", false},        {"a\x80z", false},
    };
    for (const auto& [text, valid] : texts) {
        EXPECT_EQ(isValidUtf8(text), valid) << text;
    }
    DecodedSymbol symbol;
    symbol.payloadType = PayloadType::Binary;
    const std::pair<std::string, std::string> binaries[] = {{"0b1010000011110001", "\x50\xf8"},
                                                            {"0x50F8", "\x50\xf8"},
                                                            {"0x00ff", std::string("\0\xff", 2)}};
    for (const auto& [text, bytes] : binaries) {
        symbol.payload = text;
        EXPECT_EQ(payloadBytes(symbol), bytes) << text;
    }
    symbol.payloadType = PayloadType::Ascii;
    symbol.payload = "0x41";
    EXPECT_EQ(payloadBytes(symbol), "0x41") << "only Binary payloads are converted";
}

}  // namespace
}  // namespace qcl
