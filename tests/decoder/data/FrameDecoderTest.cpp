#include "decoder/data/FrameDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using test::Bytes;
using test::makeGrid;
using test::symbolBlock;

struct Decoded {
    ErrorCode code = Success;
    std::string payload = "keep";
    std::uint8_t payloadType = 99;
    std::uint8_t eccType = 99;
};

Decoded decodeModules(const SamplingGrid& grid, const ModuleList& modules) {
    Decoded out;
    out.code = decodeFrame(grid, modules, &out.payload, &out.payloadType, &out.eccType);
    return out;
}

Decoded decodeBlock(const SamplingGrid& grid, const Bytes& block) {
    return decodeModules(grid, test::streamModules(grid, block));
}

Bytes asciiPayload(const std::string& text, std::uint16_t& bits) {
    std::vector<std::pair<unsigned, int>> fields;
    for (char c : text) {
        fields.emplace_back(static_cast<unsigned char>(c), 7);
    }
    return test::payloadStream(PayloadType::Ascii, fields, bits);
}

// 40 data slots x 8 rings, black and white: C = 40, Low t = 3.
const SamplingGrid kSmallGrid = makeGrid(45, 8, false);

TEST(DecodeFrame, WorkedExampleDecodesAtTheLowAttempt) {
    Bytes frame{0xA0, 0x01, 0x56, 0x0D, 0xFA};
    for (std::size_t i = 0; frame.size() < 40 - 2 * 3; ++i) {
        frame.push_back(kPaddingBytes[i % 2]);
    }
    test::LogCapture log(LogLevel::All);
    const Decoded result = decodeBlock(kSmallGrid, test::withParity(frame, 3));
    ASSERT_EQ(result.code, Success);
    EXPECT_EQ(result.payload, "19");
    EXPECT_EQ(result.payloadType, 3);
    EXPECT_EQ(result.eccType, 0);
    const std::string text = log.text();
    const auto high = text.find("try ECC strength: High\n");
    const auto low = text.find("try ECC strength: Low\n");
    EXPECT_TRUE(high != std::string::npos && low != std::string::npos && high < low);
}

// The High and Quartile splits do not match a Medium symbol; the search stops at Medium. A
// full 255-byte codeword is accepted; one byte more is refused before any attempt.
TEST(DecodeFrame, MediumSymbolStopsAtItsAttemptAndCodewordLengthLimit) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("Quorel", bits);
    test::LogCapture log(LogLevel::All);
    const Decoded result =
        decodeBlock(kSmallGrid, symbolBlock(kSmallGrid, ECCtype::Medium, 1, bits, payload));
    EXPECT_EQ(result.payload, "Quorel");
    EXPECT_EQ(result.payloadType, 4);
    EXPECT_EQ(result.eccType, 1);
    EXPECT_TRUE(log.contains("try ECC strength: Medium\n"));
    EXPECT_FALSE(log.contains("try ECC strength: Low\n"));

    const SamplingGrid full = makeGrid(56, 40, false);  // 2040 modules = 255 bytes
    EXPECT_EQ(decodeBlock(full, symbolBlock(full, ECCtype::High, 3, bits, payload)).payload,
              "Quorel");
    test::LogCapture longer(LogLevel::All);
    EXPECT_EQ(decodeModules(makeGrid(69, 32, false), ModuleList(2048, 1)).code, WrongGrid);
    EXPECT_FALSE(longer.contains("try ECC strength"));
}

// C = 200: High has t = 60, a frame of 80 bytes and room for 77 payload bytes; Low has t = 15
// and a frame of 170 bytes.
TEST(DecodeFrame, CapacityArithmeticOnATwoHundredByteGrid) {
    const SamplingGrid grid = makeGrid(45, 40, false);
    ASSERT_EQ(test::capacityOf(grid), 200);
    std::uint16_t bits = 0;
    const Bytes largest = test::payloadStream(
        PayloadType::UTF8, std::vector<std::pair<unsigned, int>>(76, {'q', 8}), bits);
    ASSERT_EQ(largest.size(), 77u);
    const Decoded result = decodeBlock(grid, symbolBlock(grid, ECCtype::High, 3, bits, largest));
    EXPECT_EQ(result.code, Success);
    EXPECT_EQ(result.payload, std::string(76, 'q'));
    // A length beyond the Low frame is code 12.
    EXPECT_EQ(decodeBlock(grid, test::withParity(test::makeFrame(0, 168 * 8, {}, 170), 15)).code,
              NotEnoughCapacity);
}

// 64 modules per ring and 4 rings: 236 modules, 29 bytes in black and white, 88 in colour; the
// last 4 bits are dropped either way.
TEST(DecodeFrame, PartialLastByteIsDropped) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("Hi", bits);
    for (bool colour : {false, true}) {
        const SamplingGrid grid = makeGrid(64, 4, colour);
        ASSERT_EQ(test::capacityOf(grid), colour ? 88 : 29);
        const Decoded result =
            decodeBlock(grid, symbolBlock(grid, ECCtype::Quartile, 2, bits, payload));
        EXPECT_EQ(result.code, Success);
        EXPECT_EQ(result.payload, "Hi");
    }
}

// Only the Low attempt's code is returned.
TEST(DecodeFrame, FailureCodes) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("abc", bits);
    Bytes beyondRepair = symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload);
    for (std::size_t i = 0; i < 40; i += 3) {
        beyondRepair[i] ^= 0x5A;
    }
    const std::pair<Bytes, ErrorCode> cases[] = {
        {symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload, 0x10), WrongChecksum},
        {symbolBlock(kSmallGrid, ECCtype::Low, 1, bits, payload), EccStrengthInconsistent},
        {beyondRepair, EccCannotCorrect},
        // An empty payload does not stop the search: a High symbol fails at the Low attempt.
        {symbolBlock(kSmallGrid, ECCtype::High, 3, 0, {}), EccCannotCorrect},
        // Nor is it a symbol at Low.
        {symbolBlock(kSmallGrid, ECCtype::Low, 0, 0, {}), WrongChecksum},
    };
    for (const auto& [block, code] : cases) {
        const Decoded result = decodeBlock(kSmallGrid, block);
        EXPECT_EQ(result.code, code) << errorMessage(code);
        EXPECT_EQ(result.payload, "keep");
    }
    // A grid of five bytes leaves no room for fill: all zeros (a blank grid) is the codeword of
    // an empty Low frame, and was once read as an empty text.
    const Decoded blank = decodeBlock(makeGrid(25, 2, false), Bytes(5, 0));
    EXPECT_EQ(blank.code, WrongChecksum);
    EXPECT_EQ(blank.payload, "keep");
}

TEST(DecodeFrame, NineBitPayloadHasItsChecksumAtOffsetFour) {
    std::uint16_t bits = 0;
    const Bytes payload = test::payloadStream(PayloadType::Binary, {{0b1101, 4}}, bits);
    ASSERT_EQ(bits, 9);
    const Bytes block = symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload);
    EXPECT_EQ(block[4], block[0] ^ block[1] ^ block[2] ^ block[3]);
    EXPECT_EQ(decodeBlock(kSmallGrid, block).payload, "0b1011");
}

TEST(DecodeFrame, GridsTooSmallForAFrame) {
    // One whole byte: shorter than any parity, rejected before error correction.
    EXPECT_EQ(decodeModules(makeGrid(9, 2, false), ModuleList(8, 1)).code, WrongGrid);
    // No data slots, or a list that does not match the grid.
    EXPECT_EQ(decodeModules(makeGrid(5, 4, false), ModuleList{}).code, WrongGrid);
    EXPECT_EQ(decodeModules(kSmallGrid, ModuleList(319, 0)).code, WrongGrid);
    // No whole byte: t works out at 0 and error correction refuses the parameters.
    EXPECT_EQ(test::thrownCode([] { decodeModules(makeGrid(6, 2, false), ModuleList(2, 1)); }),
              EccParamsWrong);
}

// Every call that reaches error correction is one try, whatever its outcome; grids rejected
// before it are none. Each thread counts its own.
TEST(DecodeFrame, CountsTheTriesOfItsThread) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("abc", bits);
    const Bytes good = symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload);
    const Bytes badChecksum = symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload, 0x10);
    const struct {
        SamplingGrid grid;
        ModuleList modules;
        std::uint64_t tries;
    } cases[] = {
        {kSmallGrid, test::streamModules(kSmallGrid, good), 1},
        {kSmallGrid, test::streamModules(kSmallGrid, badChecksum), 1},
        {kSmallGrid, ModuleList(319, 0), 0},
        {makeGrid(9, 2, false), ModuleList(8, 1), 0},
        {makeGrid(80, 30, true), ModuleList(75 * 30, 0), 0},  // more than one codeword
    };
    for (const auto& c : cases) {
        const std::uint64_t before = frameDecodeTries();
        decodeModules(c.grid, c.modules);
        EXPECT_EQ(frameDecodeTries() - before, c.tries) << c.modules.size() << " modules";
    }
    const std::uint64_t here = frameDecodeTries();
    std::uint64_t there = 0;
    std::thread other([&] {
        decodeModules(kSmallGrid, test::streamModules(kSmallGrid, good));
        there = frameDecodeTries();
    });
    other.join();
    EXPECT_EQ(there, 1U);
    EXPECT_EQ(frameDecodeTries(), here);
}

}  // namespace
}  // namespace qcl
