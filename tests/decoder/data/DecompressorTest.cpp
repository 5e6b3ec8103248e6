#include "decoder/data/Decompressor.h"

#include <gtest/gtest.h>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::decompress;
using qcl::PayloadType;
using qcl::test::BitWriter;
using qcl::test::Bytes;

// A payload whose data are `values` of `width` bits each.
Bytes payloadOf(PayloadType type, std::initializer_list<unsigned> values, int width,
                std::uint16_t& bits) {
    return qcl::test::payloadStream(
        type,
        [&](BitWriter& writer) {
            for (unsigned v : values) {
                writer.put(v, width);
            }
        },
        bits);
}

void expectInvalidSymbols(const Bytes& payload, std::uint16_t bits) {
    try {
        decompress(payload, bits);
        FAIL() << "no exception";
    } catch (const qcl::QCException& e) {
        EXPECT_EQ(e.code, qcl::InvalidInputSymbols);
    }
}

TEST(Decompress, NumbersExampleGivesNineteen) {
    const auto result = decompress(Bytes{0x56, 0x0D}, 13);
    EXPECT_EQ(result.text, "19");
    EXPECT_EQ(result.type, 3);
}

TEST(Decompress, NumbersAlphabet) {
    std::uint16_t bits = 0;
    const Bytes payload = payloadOf(PayloadType::Numbers, {0, 1, 2, 3, 4, 13, 14, 15}, 4, bits);
    EXPECT_EQ(decompress(payload, bits).text, ",-./09:_");
}

TEST(Decompress, DigitsGroupOfThree) {
    std::uint16_t bits = 0;
    const Bytes payload = payloadOf(PayloadType::Digits, {42}, 10, bits);
    ASSERT_EQ(bits, 15);  // D = 10
    const auto result = decompress(payload, bits);
    EXPECT_EQ(result.text, "042");
    EXPECT_EQ(result.type, 1);
}

TEST(Decompress, DigitsRemainderRule) {
    std::uint16_t bits = 0;
    // D = 14: one group and a single digit.
    Bytes payload = qcl::test::payloadStream(
        PayloadType::Digits, [](BitWriter& w) { w.put(987, 10).put(6, 4); }, bits);
    EXPECT_EQ(decompress(payload, bits).text, "9876");
    // D = 17: one group and a pair.
    payload = qcl::test::payloadStream(
        PayloadType::Digits, [](BitWriter& w) { w.put(123, 10).put(45, 7); }, bits);
    EXPECT_EQ(decompress(payload, bits).text, "12345");
    // D = 15: remainder 5 is no digit count: empty text, no error.
    payload = qcl::test::payloadStream(
        PayloadType::Digits, [](BitWriter& w) { w.put(123, 10).put(9, 5); }, bits);
    EXPECT_EQ(decompress(payload, bits).text, "");
}

TEST(Decompress, DigitsOutOfRangeValuesAreNotRejected) {
    std::uint16_t bits = 0;
    const Bytes payload = qcl::test::payloadStream(
        PayloadType::Digits, [](BitWriter& w) { w.put(1005, 10).put(12, 4); }, bits);
    EXPECT_EQ(decompress(payload, bits).text, ":052");
}

TEST(Decompress, BinaryStartsWithPrefixAndStreamBitFour) {
    std::uint16_t bits = 0;
    const Bytes payload = payloadOf(PayloadType::Binary, {1, 0, 1, 1, 0, 0}, 1, bits);
    const auto result = decompress(payload, bits);
    EXPECT_EQ(result.text, "0b101100");
    EXPECT_EQ(result.type, 5);
}

TEST(Decompress, Utf8BytesPassUnchanged) {
    std::uint16_t bits = 0;
    const Bytes payload = payloadOf(PayloadType::UTF8, {0xC3, 0xA9}, 8, bits);
    ASSERT_EQ(bits, 21);  // D = 16: bits 4..11 and 12..19
    const auto result = decompress(payload, bits);
    EXPECT_EQ(result.text, "\xC3\xA9");
    EXPECT_EQ(result.type, 7);
}

TEST(Decompress, LettersAlphabet) {
    std::uint16_t bits = 0;
    Bytes payload = payloadOf(PayloadType::Letters, {1}, 6, bits);
    EXPECT_EQ(decompress(payload, bits).text, ".");
    payload = payloadOf(PayloadType::Letters, {0, 2, 11, 12, 37, 38, 63}, 6, bits);
    EXPECT_EQ(decompress(payload, bits).text, " 09AZaz");
}

TEST(Decompress, AsciiSevenBitCodes) {
    std::uint16_t bits = 0;
    const Bytes payload = payloadOf(PayloadType::Ascii, {'H', 'i', '!'}, 7, bits);
    EXPECT_EQ(decompress(payload, bits).text, "Hi!");
}

TEST(Decompress, TypesWithoutAlphabetGiveEmptyText) {
    for (PayloadType type : {PayloadType::Automatic, PayloadType::BigLetters}) {
        std::uint16_t bits = 0;
        const Bytes payload = payloadOf(type, {0x3F, 0x2A, 0x11}, 6, bits);
        const auto result = decompress(payload, bits);
        EXPECT_EQ(result.text, "");
        EXPECT_EQ(result.type, static_cast<int>(type));
    }
    const auto empty = decompress(Bytes{}, 40);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.type, 0);
}

TEST(Decompress, TooFewBytesForTheLengthThrow) {
    std::uint16_t bits = 0;
    Bytes payload = payloadOf(PayloadType::Ascii, {'A', 'B'}, 7, bits);
    payload.pop_back();
    expectInvalidSymbols(payload, bits);
    // Letters need a second byte even for one symbol.
    expectInvalidSymbols(Bytes{0x14}, 11);
    // Digits run out in the middle of a group.
    expectInvalidSymbols(Bytes{0x02, 0xFF}, 35);
    // Binary claims more bits than the bytes hold.
    expectInvalidSymbols(Bytes{0x0A}, 20);
}

TEST(Decompress, LengthsBelowFiveWrap) {
    expectInvalidSymbols(Bytes{0x08, 0x00}, 3);            // Ascii: D = 65534
    expectInvalidSymbols(Bytes{0x02, 0x00}, 3);            // Digits: D = 65534, remainder 4
    EXPECT_EQ(decompress(Bytes{0x02, 0x00}, 1).text, "");  // Digits: D = 65532, remainder 2
    const auto binary = decompress(Bytes{0x0A}, 5);        // D = 0
    EXPECT_EQ(binary.text, "0b");
}

}  // namespace
