#include "decoder/data/FrameAcceptance.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using test::Bytes;
using Fields = std::vector<std::pair<unsigned, int>>;
using F = FrameFault;
using P = PayloadType;

// Each rule of the writer's frame layout broken once; every other frame is one the writer makes.
TEST(CheckFrame, EveryWriterRuleIsChecked) {
    const struct {
        const char* name;
        PayloadType type;
        Fields fields;
        FrameFault fault;
        int corrections = 0;
        int flippedBit = -1;  // a payload bit set after the stream was written
        bool badFill = false;
    } cases[] = {
        {"ascii", P::Ascii, {{'H', 7}, {'i', 7}}, F::None},
        {"ascii, one symbol and 6 bits", P::Ascii, {{'H', 7}, {1, 6}}, F::PayloadLayout},
        {"letters, 7 bits", P::Letters, {{5, 6}, {1, 1}}, F::PayloadLayout},
        {"numbers, 7 bits", P::Numbers, {{3, 4}, {1, 3}}, F::PayloadLayout},
        {"utf8, 11 bits", P::UTF8, {{0xC3, 8}, {1, 3}}, F::PayloadLayout},
        {"digits, a group and a pair", P::Digits, {{999, 10}, {99, 7}}, F::None},
        {"digits, group out of range", P::Digits, {{1000, 10}}, F::PayloadLayout},
        {"digits, pair out of range", P::Digits, {{1, 10}, {100, 7}}, F::PayloadLayout},
        {"digits, 5 bits left", P::Digits, {{1, 10}, {1, 5}}, F::PayloadLayout},
        {"binary, any length", P::Binary, {{1, 3}}, F::None},
        {"never written type", P::BigLetters, {{1, 6}}, F::PayloadLayout},
        {"unused first bit set", P::Ascii, {{'H', 7}}, F::PayloadLayout, 0, 0},
        // "Hi" has 19 bits: bit 18 is the unused last bit, bits 19 to 23 the rest of the byte.
        {"bit past the length", P::Ascii, {{'H', 7}, {'i', 7}}, F::PayloadLayout, 0, 21},
        {"fill changed", P::Ascii, {{'H', 7}}, F::Padding, 0, -1, true},
        {"corrections beyond t", P::Ascii, {{'H', 7}}, F::TooManyCorrections, 4},
        {"corrections negative", P::Ascii, {{'H', 7}}, F::TooManyCorrections, -1},
    };
    for (const auto& c : cases) {
        std::uint16_t bits = 0;
        Bytes payload = test::payloadStream(c.type, c.fields, bits);
        if (c.flippedBit >= 0) {
            payload[c.flippedBit / 8] |= static_cast<std::uint8_t>(1u << (c.flippedBit % 8));
        }
        Bytes frame = test::makeFrame(0, bits, payload, 20);
        if (c.badFill) {
            frame.back() ^= 0x01;
        }
        EXPECT_EQ(checkFrame(frame, payload.size(), bits, c.corrections, 3), c.fault)
            << c.name << ": "
            << toString(checkFrame(frame, payload.size(), bits, c.corrections, 3));
    }
}

}  // namespace
}  // namespace qcl
