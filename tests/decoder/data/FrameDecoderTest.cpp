#include "decoder/data/FrameDecoder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/DataMask.h"
#include "support/SeededRandom.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::ECCtype;
using qcl::Layout;
using qcl::PayloadType;
using qcl::test::BitWriter;
using qcl::test::Bytes;
using qcl::test::makeGrid;
using qcl::test::SeededRandom;

struct Decoded {
    qcl::ErrorCode code = qcl::Success;
    std::string payload = "keep";
    std::uint8_t payloadType = 99;
    std::uint8_t eccType = 99;
};

Decoded decodeBlock(const qcl::SamplingGrid& grid, const Bytes& block) {
    Decoded out;
    out.code = qcl::decodeFrame(grid, qcl::test::streamModules(grid, block), &out.payload,
                                &out.payloadType, &out.eccType);
    return out;
}

Bytes asciiPayload(const std::string& text, std::uint16_t& bits) {
    return qcl::test::payloadStream(
        PayloadType::Ascii,
        [&](BitWriter& writer) {
            for (char c : text) {
                writer.put(static_cast<unsigned char>(c), 7);
            }
        },
        bits);
}

bool appearsBefore(const std::string& text, const std::string& first, const std::string& second) {
    const auto a = text.find(first);
    const auto b = text.find(second);
    return a != std::string::npos && b != std::string::npos && a < b;
}

// 40 data slots x 8 rings, black and white: C = 40, Low t = 3.
const qcl::SamplingGrid kSmallGrid = makeGrid(45, 8, false);

TEST(DecodeFrame, WorkedExampleDecodesAtTheLowAttempt) {
    const Bytes frameStart{0xA0, 0x01, 0x56, 0x0D, 0xFA};
    Bytes frame = frameStart;
    frame.resize(40 - 2 * 3, 0);
    const Bytes block = qcl::test::withParity(frame, 3);
    qcl::test::LogCapture log(qcl::LogLevel::All);
    const Decoded result = decodeBlock(kSmallGrid, block);
    ASSERT_EQ(result.code, qcl::Success);
    EXPECT_EQ(result.payload, "19");
    EXPECT_EQ(result.payloadType, 3);
    EXPECT_EQ(result.eccType, 0);
    const std::string text = log.text();
    EXPECT_TRUE(appearsBefore(text, "try ECC strength: High\n", "try ECC strength: Quartile\n"));
    EXPECT_TRUE(appearsBefore(text, "try ECC strength: Medium\n", "try ECC strength: Low\n"));
    EXPECT_TRUE(log.contains("Debug\t        readData\n"));
    EXPECT_TRUE(log.contains("Debug\tcapacity                   [Bits]: 320 = 40 Bytes\n"));
    EXPECT_TRUE(log.contains("Debug\tdata (incl. ECC)                 : { a0 01 56 0d fa 00"));
    EXPECT_TRUE(log.contains("Info\theader value                     : 416\n"));
    EXPECT_TRUE(log.contains("Info\tpayload length             [Bits]: 13\n"));
    EXPECT_TRUE(log.contains("Info\tECC length                [Bytes]: 6\n"));
    EXPECT_TRUE(
        log.contains("Debug\tcorrect checksum                 : 250, stored checksum: 250\n"));
    EXPECT_TRUE(log.contains("Debug\tcompressed payload               : { 56 0d}\n"));
}

TEST(DecodeFrame, MediumSymbolDecodesAtTheThirdAttempt) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("Quorel", bits);
    qcl::test::LogCapture log(qcl::LogLevel::All);
    const Decoded result = decodeBlock(
        kSmallGrid, qcl::test::symbolBlock(kSmallGrid, ECCtype::Medium, 1, bits, payload));
    ASSERT_EQ(result.code, qcl::Success);
    EXPECT_EQ(result.payload, "Quorel");
    EXPECT_EQ(result.payloadType, 4);
    EXPECT_EQ(result.eccType, 1);
    EXPECT_TRUE(log.contains("try ECC strength: Medium\n"));
    EXPECT_FALSE(log.contains("try ECC strength: Low\n"));
}

TEST(DecodeFrame, CapacityArithmeticOnATwoHundredByteGrid) {
    const qcl::SamplingGrid grid = makeGrid(45, 40, false);  // 1600 modules
    ASSERT_EQ(qcl::test::capacityOf(grid), 200);
    // High: t = 60, frame of 80 bytes, room for 77 payload bytes.
    std::uint16_t bits = 0;
    const Bytes largest = qcl::test::payloadStream(
        PayloadType::UTF8,
        [](BitWriter& w) {
            for (int i = 0; i < 76; ++i) {
                w.put(static_cast<unsigned>('a' + i % 26), 8);
            }
        },
        bits);
    ASSERT_EQ(largest.size(), 77u);
    {
        qcl::test::LogCapture log(qcl::LogLevel::All);
        const Decoded result =
            decodeBlock(grid, qcl::test::symbolBlock(grid, ECCtype::High, 3, bits, largest));
        ASSERT_EQ(result.code, qcl::Success);
        EXPECT_EQ(result.payload.size(), 76u);
        EXPECT_EQ(result.eccType, 3);
        EXPECT_TRUE(log.contains("Info\tECC length                [Bytes]: 120\n"));
        EXPECT_TRUE(log.contains("Info\tdata length                [Bits]: 640 = 80 Bytes\n"));
    }
    // One byte more than the High frame holds.
    {
        qcl::test::LogCapture log(qcl::LogLevel::All);
        const Bytes frame = qcl::test::makeFrame(3, static_cast<std::uint16_t>(78 * 8), {}, 80);
        decodeBlock(grid, qcl::test::withParity(frame, 60));
        EXPECT_TRUE(log.contains("wrong payload length             : 78, max payload length = 77"));
    }
    // Low: t = 15, 30 parity bytes, frame of 170 bytes; a length beyond it is code 12.
    {
        qcl::test::LogCapture log(qcl::LogLevel::All);
        const Bytes frame = qcl::test::makeFrame(0, static_cast<std::uint16_t>(168 * 8), {}, 170);
        const Decoded result = decodeBlock(grid, qcl::test::withParity(frame, 15));
        EXPECT_EQ(result.code, qcl::NotEnoughCapacity);
        EXPECT_TRUE(log.contains("Info\tECC length                [Bytes]: 30\n"));
        EXPECT_TRUE(log.contains("Info\tdata length                [Bits]: 1360 = 170 Bytes\n"));
    }
}

TEST(DecodeFrame, PartialLastByteIsDropped) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("Hi", bits);
    for (bool colour : {false, true}) {
        const qcl::SamplingGrid grid = makeGrid(64, 4, colour);  // 59 x 4 = 236 modules
        qcl::test::LogCapture log(qcl::LogLevel::All);
        const Decoded result =
            decodeBlock(grid, qcl::test::symbolBlock(grid, ECCtype::Quartile, 2, bits, payload));
        EXPECT_EQ(result.code, qcl::Success);
        EXPECT_EQ(result.payload, "Hi");
        EXPECT_TRUE(log.contains(colour ? "[Bits]: 704 = 88 Bytes\n" : "[Bits]: 232 = 29 Bytes\n"));
    }
}

TEST(DecodeFrame, FullCodewordIsAcceptedAndOneByteMoreRejected) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("full", bits);
    const qcl::SamplingGrid full = makeGrid(56, 40, false);  // 2040 modules = 255 bytes
    const Decoded result =
        decodeBlock(full, qcl::test::symbolBlock(full, ECCtype::High, 3, bits, payload));
    EXPECT_EQ(result.code, qcl::Success);
    EXPECT_EQ(result.payload, "full");

    const qcl::SamplingGrid tooLarge = makeGrid(69, 32, false);  // 2048 modules = 256 bytes
    qcl::test::LogCapture log(qcl::LogLevel::All);
    const qcl::ModuleList modules(2048, 1);
    Decoded out;
    EXPECT_EQ(qcl::decodeFrame(tooLarge, modules, &out.payload, &out.payloadType, &out.eccType),
              qcl::WrongGrid);
    EXPECT_FALSE(log.contains("try ECC strength"));
}

TEST(DecodeFrame, FailureCodesOfTheLowAttempt) {
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("abc", bits);
    // Stored checksum off by one bit.
    EXPECT_EQ(decodeBlock(kSmallGrid,
                          qcl::test::symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload, 0x10))
                  .code,
              qcl::WrongChecksum);
    // Frame split for Low, header naming Medium.
    EXPECT_EQ(
        decodeBlock(kSmallGrid, qcl::test::symbolBlock(kSmallGrid, ECCtype::Low, 1, bits, payload))
            .code,
        qcl::EccStrengthInconsistent);
    // Far more damage than three correctable bytes.
    Bytes block = qcl::test::symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload);
    for (int i = 0; i < 40; i += 3) {
        block[static_cast<std::size_t>(i)] ^= 0x5A;
    }
    EXPECT_EQ(decodeBlock(kSmallGrid, block).code, qcl::EccCannotCorrect);
}

TEST(DecodeFrame, EmptyPayloadSucceedsOnlyAtLowAndLeavesThePayload) {
    const Decoded low =
        decodeBlock(kSmallGrid, qcl::test::symbolBlock(kSmallGrid, ECCtype::Low, 0, 0, {}));
    EXPECT_EQ(low.code, qcl::Success);
    EXPECT_EQ(low.payload, "keep");
    EXPECT_EQ(low.payloadType, 99);
    EXPECT_EQ(low.eccType, 0);
    // At High an empty payload does not stop the search; the Low attempt's error is returned.
    const Decoded high =
        decodeBlock(kSmallGrid, qcl::test::symbolBlock(kSmallGrid, ECCtype::High, 3, 0, {}));
    EXPECT_NE(high.code, qcl::Success);
    EXPECT_EQ(high.payload, "keep");
}

TEST(DecodeFrame, NineBitPayloadHasItsChecksumAtOffsetFour) {
    std::uint16_t bits = 0;
    const Bytes payload = qcl::test::payloadStream(
        PayloadType::Binary, [](BitWriter& w) { w.put(0b1101, 4); }, bits);
    ASSERT_EQ(bits, 9);
    ASSERT_EQ(payload.size(), 2u);
    const Bytes block = qcl::test::symbolBlock(kSmallGrid, ECCtype::Low, 0, bits, payload);
    EXPECT_EQ(block[4], block[0] ^ block[1] ^ block[2] ^ block[3]);
    const Decoded result = decodeBlock(kSmallGrid, block);
    ASSERT_EQ(result.code, qcl::Success);
    EXPECT_EQ(result.payload, "0b1011");
}

TEST(DecodeFrame, UpToTDamagedBytesAreCorrectedForEveryStrength) {
    const qcl::SamplingGrid grid = makeGrid(73, 10, true);  // colour, C = 255
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("Reed-Solomon", bits);
    SeededRandom random(21);
    for (ECCtype strength : {ECCtype::Low, ECCtype::Medium, ECCtype::Quartile, ECCtype::High}) {
        const int t = qcl::test::capabilityFor(strength, 255);
        Bytes block =
            qcl::test::symbolBlock(grid, strength, static_cast<int>(strength), bits, payload);
        std::set<int> damaged;
        while (static_cast<int>(damaged.size()) < t) {
            damaged.insert(random.uniformInt(0, 254));
        }
        for (int i : damaged) {
            block[static_cast<std::size_t>(i)] ^=
                static_cast<std::uint8_t>(random.uniformInt(1, 255));
        }
        const Decoded result = decodeBlock(grid, block);
        ASSERT_EQ(result.code, qcl::Success) << static_cast<int>(strength);
        EXPECT_EQ(result.payload, "Reed-Solomon");
        EXPECT_EQ(result.eccType, static_cast<int>(strength));
    }
}

// Symbols laid out and masked as the writer does come back through the reader's unmasking.
TEST(DecodeFrame, EveryMaskAndLayoutRoundTrips) {
    const qcl::SamplingGrid grid = makeGrid(21, 5, true);  // 16 x 5 colour modules, C = 30
    std::uint16_t bits = 0;
    const Bytes payload = asciiPayload("mask", bits);
    const qcl::ModuleList stream = qcl::test::streamModules(
        grid, qcl::test::symbolBlock(grid, ECCtype::Quartile, 2, bits, payload));
    for (int layout = 0; layout <= 5; ++layout) {
        for (int mask = 0; mask <= 4; ++mask) {
            const qcl::ModuleList sampled =
                qcl::test::gridModules(grid, stream, mask, static_cast<Layout>(layout));
            for (int tried = 0; tried <= 4; ++tried) {
                qcl::ModuleList modules = sampled;
                ASSERT_EQ(
                    qcl::applyMaskAndLayout(grid, modules, tried, static_cast<Layout>(layout)),
                    qcl::Success);
                Decoded out;
                out.code =
                    qcl::decodeFrame(grid, modules, &out.payload, &out.payloadType, &out.eccType);
                if (tried == mask) {
                    EXPECT_EQ(out.code, qcl::Success) << layout << "/" << mask;
                    EXPECT_EQ(out.payload, "mask");
                } else if (mask != 0 && tried != 0) {
                    // Masks 1 to 4 differ on many modules: the wrong one never decodes.
                    EXPECT_NE(out.code, qcl::Success) << layout << "/" << mask << "/" << tried;
                }
            }
        }
    }
}

TEST(DecodeFrame, GridsTooSmallForAFrame) {
    Decoded out;
    // One whole byte: shorter than any parity, rejected before error correction.
    EXPECT_EQ(qcl::decodeFrame(makeGrid(9, 2, false), qcl::ModuleList(8, 1), &out.payload,
                               &out.payloadType, &out.eccType),
              qcl::WrongGrid);
    // No whole byte: t works out at 0 and error correction refuses the parameters.
    try {
        qcl::decodeFrame(makeGrid(6, 2, false), qcl::ModuleList(2, 1), &out.payload,
                         &out.payloadType, &out.eccType);
        FAIL() << "no exception";
    } catch (const qcl::QCException& e) {
        EXPECT_EQ(e.code, qcl::EccParamsWrong);
    }
    // No data slots, or a list that does not match the grid.
    EXPECT_EQ(qcl::decodeFrame(makeGrid(5, 4, false), qcl::ModuleList{}, &out.payload,
                               &out.payloadType, &out.eccType),
              qcl::WrongGrid);
    EXPECT_EQ(qcl::decodeFrame(kSmallGrid, qcl::ModuleList(319, 0), &out.payload, &out.payloadType,
                               &out.eccType),
              qcl::WrongGrid);
    EXPECT_EQ(out.payload, "keep");
}

// Random modules: any outcome but a crash or an out-of-bounds read (checked under ASan).
TEST(DecodeFrameRobustness, RandomModuleLists) {
    const std::set<int> returnCodes{0, 8, 9, 10, 12, 20};
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        SeededRandom random(seed);
        const bool colour = random.uniformInt(0, 1) == 1;
        const qcl::SamplingGrid grid =
            makeGrid(random.uniformInt(4, 85), random.uniformInt(0, 12), colour);
        const int count = std::max(0, qcl::test::moduleCount(grid));
        qcl::ModuleList modules(static_cast<std::size_t>(count));
        for (auto& m : modules) {
            m = static_cast<std::uint8_t>(random.uniformInt(0, colour ? 7 : 1));
        }
        const auto layout = static_cast<Layout>(random.uniformInt(0, 7));
        const qcl::ErrorCode unmasked =
            qcl::applyMaskAndLayout(grid, modules, random.uniformInt(0, 5), layout);
        Decoded out;
        try {
            out.code =
                qcl::decodeFrame(grid, modules, &out.payload, &out.payloadType, &out.eccType);
            EXPECT_TRUE(returnCodes.count(out.code)) << "seed " << seed;
            if (unmasked != qcl::Success) {
                EXPECT_EQ(out.code, qcl::WrongGrid) << "seed " << seed;
            }
        } catch (const qcl::QCException& e) {
            EXPECT_TRUE(e.code == qcl::EccParamsWrong || e.code == qcl::InvalidInputSymbols)
                << "seed " << seed;
        }
    }
}

// Valid frames with random headers, lengths and payload bytes exercise the decompressor.
TEST(DecodeFrameRobustness, RandomHeadersAndPayloads) {
    const qcl::SamplingGrid grid = makeGrid(45, 16, false);  // C = 80
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SeededRandom random(seed);
        const auto strength = static_cast<ECCtype>(random.uniformInt(0, 3));
        const int t = qcl::test::capabilityFor(strength, 80);
        const int frameLength = 80 - 2 * t;
        const auto payloadBits = static_cast<std::uint16_t>(random.uniformInt(0, 2047));
        const int claimed = (payloadBits + 7) / 8;
        const Bytes payload =
            random.bytes(static_cast<std::size_t>(std::min(claimed, frameLength - 3)));
        const Bytes frame = qcl::test::makeFrame(static_cast<int>(strength), payloadBits, payload,
                                                 static_cast<std::size_t>(frameLength));
        Bytes block = qcl::test::withParity(Bytes(frame.begin(), frame.begin() + frameLength), t);
        Decoded out;
        try {
            out = decodeBlock(grid, block);
            if (claimed > frameLength - 3) {
                // Only the last attempt's code is returned: 12 when the symbol is Low.
                EXPECT_NE(out.code, qcl::Success) << "seed " << seed;
                if (strength == ECCtype::Low) {
                    EXPECT_EQ(out.code, qcl::NotEnoughCapacity) << "seed " << seed;
                }
            } else if (claimed == 0 && strength != ECCtype::Low) {
                EXPECT_NE(out.code, qcl::Success) << "seed " << seed;
            } else {
                EXPECT_EQ(out.code, qcl::Success) << "seed " << seed;
                if (claimed > 0) {
                    EXPECT_EQ(out.payloadType, (payload[0] >> 1) & 7) << "seed " << seed;
                }
            }
        } catch (const qcl::QCException& e) {
            EXPECT_EQ(e.code, qcl::InvalidInputSymbols) << "seed " << seed;
        }
    }
}

}  // namespace
