#include "writer/FrameEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/ErrorCodes.h"
#include "reedsolomon/ReedSolomon.h"
#include "support/SeededRandom.h"

namespace qcl::writer {
namespace {

using Bytes = std::vector<std::uint8_t>;

ErrorCode refusal(const EncodedPayload& payload, ECCtype strength, std::size_t capacity) {
    try {
        encodeFrame(payload, strength, capacity);
    } catch (const QCException& e) {
        return e.code;
    }
    return Success;
}

// t = ceil(share * C): with C = 200 High gives t = 60, a frame of 80 bytes and room for 77.
TEST(FrameEncoder, CapabilityRoundsUpAndFrameArithmetic) {
    const struct {
        ECCtype strength;
        std::size_t capacity, t, frame, room;
    } cases[] = {
        {ECCtype::High, 200, 60, 80, 77},     {ECCtype::Quartile, 200, 50, 100, 97},
        {ECCtype::Medium, 200, 30, 140, 137}, {ECCtype::Low, 200, 15, 170, 167},
        {ECCtype::Low, 29, 3, 23, 20},  // 2.175 rounds up
        {ECCtype::High, 2, 1, 0, 0},    // parity fills the block
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.strength << " C=" << c.capacity);
        EXPECT_EQ(correctionCapability(c.strength, c.capacity), c.t);
        EXPECT_EQ(frameLength(c.strength, c.capacity), c.frame);
        EXPECT_EQ(maxPayloadBytes(c.strength, c.capacity), c.room);
    }
    EXPECT_THROW(correctionCapability(static_cast<ECCtype>(4), 10), QCException);
}

// "19" as Numbers at Low: header 416 (B = 13), payload 0x56 0x0D, checksum 0xFA, then padding
// alternating up to the frame length k = 29 - 6.
TEST(FrameEncoder, FrameMatchesTheReadersExample) {
    const Bytes block = encodeFrame({PayloadType::Numbers, 13, {0x56, 0x0D}}, ECCtype::Low, 29);
    ASSERT_EQ(block.size(), 29u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 5), (Bytes{0xA0, 0x01, 0x56, 0x0D, 0xFA}));
    for (std::size_t i = 5; i < 23; ++i) {
        EXPECT_EQ(block[i], kPaddingBytes[(i - 5) % 2]) << i;
    }
}

// Full payloads at every strength: the block is a codeword whose t damaged bytes are corrected.
TEST(FrameEncoder, BlockIsACodewordThatCorrectsErrors) {
    test::SeededRandom random(41);
    for (ECCtype strength : {ECCtype::Low, ECCtype::Medium, ECCtype::Quartile, ECCtype::High}) {
        for (std::size_t capacity : {29u, 88u, 255u}) {
            const std::size_t room = maxPayloadBytes(strength, capacity);
            const EncodedPayload payload{PayloadType::UTF8, static_cast<std::uint16_t>(room * 8),
                                         random.bytes(room)};
            const Bytes block = encodeFrame(payload, strength, capacity);
            ASSERT_EQ(block.size(), capacity);
            const std::size_t t = correctionCapability(strength, capacity);
            Bytes damaged = block;
            for (std::size_t i = 0; i < t; ++i) {
                damaged[(i * 7 + 3) % capacity] ^= 0x5A;
            }
            EXPECT_EQ(decodeRS(damaged, static_cast<std::uint8_t>(t)),
                      Bytes(block.begin(), block.begin() + (capacity - 2 * t)))
                << strength << " C=" << capacity;
        }
    }
}

TEST(FrameEncoder, RefusesWhatTheBlockCannotHold) {
    const EncodedPayload two{PayloadType::Numbers, 13, {0x56, 0x0D}};
    EXPECT_EQ(refusal(two, ECCtype::High, 14), NotEnoughCapacity);  // t = 5, k = 4: one byte
    EXPECT_EQ(refusal(two, ECCtype::High, 15), Success);            // t = 5, k = 5
    EXPECT_EQ(refusal(two, ECCtype::High, 8), NotEnoughCapacity);   // header and checksum only
    EXPECT_EQ(refusal(two, ECCtype::Low, 256), InvalidConfiguration);
    EXPECT_EQ(refusal({PayloadType::Numbers, 17, {0x56, 0x0D}}, ECCtype::Low, 100),
              InvalidConfiguration);  // 17 bits need three bytes
}

}  // namespace
}  // namespace qcl::writer
