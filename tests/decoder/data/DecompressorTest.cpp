#include "decoder/data/Decompressor.h"

#include <gtest/gtest.h>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using test::Bytes;

// Each case: the payload type, its data fields (value, width in bits) and the text they give.
TEST(Decompress, EveryTypeAndItsAlphabetEdges) {
    const struct {
        PayloadType type;
        std::vector<std::pair<unsigned, int>> fields;
        std::string text;
    } cases[] = {
        {PayloadType::Numbers,
         {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {13, 4}, {14, 4}, {15, 4}},
         ",-./09:_"},
        {PayloadType::Digits, {{42, 10}}, "042"},              // D = 10: one group
        {PayloadType::Digits, {{987, 10}, {6, 4}}, "9876"},    // D = 14: a group and a digit
        {PayloadType::Digits, {{123, 10}, {45, 7}}, "12345"},  // D = 17: a group and a pair
        {PayloadType::Digits, {{123, 10}, {9, 5}}, ""},        // D = 15: no digit count
        {PayloadType::Digits, {{1005, 10}, {12, 4}}, ":052"},  // out of range, not rejected
        {PayloadType::Binary, {{1, 1}, {0, 1}, {1, 1}, {1, 1}, {0, 1}, {0, 1}}, "0b101100"},
        {PayloadType::UTF8, {{0xC3, 8}, {0xA9, 8}}, "\xC3\xA9"},  // bits 4 to 11 and 12 to 19
        {PayloadType::Letters, {{1, 6}}, "."},
        {PayloadType::Letters,
         {{0, 6}, {2, 6}, {11, 6}, {12, 6}, {37, 6}, {38, 6}, {63, 6}},
         " 09AZaz"},
        {PayloadType::Ascii, {{'H', 7}, {'i', 7}, {'!', 7}}, "Hi!"},
        {PayloadType::BigLetters, {{0x3F, 6}, {0x2A, 6}}, ""},  // no alphabet, no error
        {PayloadType::Automatic, {{0x3F, 6}}, ""},
    };
    for (const auto& c : cases) {
        std::uint16_t bits = 0;
        const Bytes payload = test::payloadStream(c.type, c.fields, bits);
        const DecompressedPayload result = decompress(payload, bits);
        EXPECT_EQ(result.text, c.text) << c.type << " " << bits << " bits";
        EXPECT_EQ(result.type, static_cast<int>(c.type));
    }
    const DecompressedPayload empty = decompress(Bytes{}, 40);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.type, 0);
}

// Lengths that need more bytes than the payload holds, also those below five bits, which wrap
// to a data length near 65 535.
TEST(Decompress, TooFewBytesForTheLengthThrow) {
    const std::pair<Bytes, std::uint16_t> cases[] = {
        {{0x18, 0x14}, 19},  // Ascii: two symbols, one byte short of them
        {{0x14}, 11},        // Letters need a second byte even for one symbol
        {{0x02, 0xFF}, 35},  // Digits run out in the middle of a group
        {{0x0A}, 20},        // Binary claims more bits than the byte holds
        {{0x08, 0x00}, 3},   // Ascii: D = 65534
        {{0x02, 0x00}, 3},   // Digits: D = 65534, remainder 4
    };
    for (const auto& [payload, bits] : cases) {
        EXPECT_EQ(test::thrownCode([&] { decompress(payload, bits); }), InvalidInputSymbols)
            << bits << " bits";
    }
    EXPECT_EQ(decompress(Bytes{0x02, 0x00}, 1).text, "");  // Digits: D = 65532, remainder 2
    EXPECT_EQ(decompress(Bytes{0x0A}, 5).text, "0b");      // Binary: D = 0
}

}  // namespace
}  // namespace qcl
