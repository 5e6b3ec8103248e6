// The forms the JSON output relies on: base64, binary payload bytes, angles in degrees.
#include <gtest/gtest.h>

#include "app/JsonOutput.h"
#include "common/Angles.h"

namespace qcl {
namespace {

TEST(JsonOutputTest, Base64OfTheStandardVectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {std::string("\xff\x00\x80", 3), "/wCA"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(toBase64(bytes), expected) << expected;
    }
}

TEST(JsonOutputTest, PayloadBytes) {
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

// Degrees within [0, 360): a turn just short of a whole one, which rounds to 360, is 0.
TEST(JsonOutputTest, StartMarkerAnglesInDegreesWithinOneTurn) {
    const std::pair<double, double> cases[] = {
        {0.0, 0.0},    {kPi / 2, 90.0},   {kPi, 180.0},     {kTwoPi - 1e-4, 0.0},
        {kTwoPi, 0.0}, {-kPi / 2, 270.0}, {3 * kPi, 180.0}, {kTwoPi - 0.01, 359.4},
    };
    for (const auto& [radians, degrees] : cases) {
        EXPECT_DOUBLE_EQ(startMarkerDegrees(radians), degrees) << radians;
    }
}

}  // namespace
}  // namespace qcl
