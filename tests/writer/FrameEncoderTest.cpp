#include "writer/FrameEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/ErrorCodes.h"
#include "reedsolomon/ReedSolomon.h"
#include "support/SeededRandom.h"

namespace qcl::writer {
namespace {

TEST(FrameEncoder, CorrectionCapabilityRoundsUp) {
    EXPECT_EQ(correctionCapability(ECCtype::High, 200), 60u);
    EXPECT_EQ(correctionCapability(ECCtype::Quartile, 200), 50u);
    EXPECT_EQ(correctionCapability(ECCtype::Medium, 200), 30u);
    EXPECT_EQ(correctionCapability(ECCtype::Low, 200), 15u);
    EXPECT_EQ(correctionCapability(ECCtype::Low, 29), 3u);  // 2.175 rounds up
    EXPECT_EQ(correctionCapability(ECCtype::High, 1), 1u);
    EXPECT_EQ(frameLength(ECCtype::High, 200), 80u);
    EXPECT_EQ(maxPayloadBytes(ECCtype::High, 200), 77u);
    EXPECT_EQ(maxPayloadBytes(ECCtype::Low, 200), 167u);
    EXPECT_EQ(maxPayloadBytes(ECCtype::High, 2), 0u);  // parity fills the block
    EXPECT_THROW(correctionCapability(static_cast<ECCtype>(4), 10), QCException);
}

TEST(FrameEncoder, FrameMatchesTheReadersExample) {
    // "19" as Numbers at Low: header 416 (B = 13), payload 0x56 0x0D, checksum 0xFA.
    EncodedPayload payload;
    payload.type = PayloadType::Numbers;
    payload.bitLength = 13;
    payload.bytes = {0x56, 0x0D};
    const std::vector<std::uint8_t> block = encodeFrame(payload, ECCtype::Low, 29);
    ASSERT_EQ(block.size(), 29u);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 5),
              (std::vector<std::uint8_t>{0xA0, 0x01, 0x56, 0x0D, 0xFA}));
    // Padding alternates up to the frame length k = 29 - 6.
    for (std::size_t i = 5; i < 23; ++i) {
        EXPECT_EQ(block[i], kPaddingBytes[(i - 5) % 2]) << i;
    }
}

TEST(FrameEncoder, BlockIsACodewordThatCorrectsErrors) {
    test::SeededRandom random(41);
    for (ECCtype strength : {ECCtype::Low, ECCtype::Medium, ECCtype::Quartile, ECCtype::High}) {
        for (std::size_t capacity : {8u, 29u, 88u, 200u, 255u}) {
            const std::size_t room = maxPayloadBytes(strength, capacity);
            EncodedPayload payload;
            if (room == 0) {  // the frame's header and checksum alone do not fit
                payload.bitLength = 5;
                payload.bytes = {0x00};
                EXPECT_THROW(encodeFrame(payload, strength, capacity), QCException);
                continue;
            }
            payload.bytes = random.bytes(room);
            payload.bitLength = static_cast<std::uint16_t>(room * 8);
            const std::vector<std::uint8_t> block = encodeFrame(payload, strength, capacity);
            ASSERT_EQ(block.size(), capacity);
            const std::size_t t = correctionCapability(strength, capacity);
            const std::vector<std::uint8_t> frame(block.begin(),
                                                  block.begin() + (capacity - 2 * t));

            std::vector<std::uint8_t> damaged = block;
            for (std::size_t i = 0; i < t; ++i) {
                damaged[(i * 7 + 3) % capacity] ^= 0x5A;
            }
            EXPECT_EQ(decodeRS(damaged, static_cast<std::uint8_t>(t)), frame)
                << strength << " capacity " << capacity;

            const unsigned header = frame[0] | (frame[1] << 8);
            EXPECT_EQ(header & 3u, static_cast<unsigned>(strength));
            EXPECT_EQ(header >> 5, payload.bitLength);
            std::uint8_t checksum = 0;
            for (std::size_t i = 0; i < 2 + room; ++i) {
                checksum ^= frame[i];
            }
            EXPECT_EQ(frame[2 + room], checksum);
        }
    }
}

TEST(FrameEncoder, RefusesWhatTheBlockCannotHold) {
    EncodedPayload payload;
    payload.bitLength = 13;
    payload.bytes = {0x56, 0x0D};
    try {
        encodeFrame(payload, ECCtype::High, 14);  // t = 5, k = 4: room for one byte
        FAIL() << "no exception";
    } catch (const QCException& e) {
        EXPECT_EQ(e.code, NotEnoughCapacity);
    }
    EXPECT_EQ(encodeFrame(payload, ECCtype::High, 15).size(), 15u);  // t = 5, k = 5
    EXPECT_THROW(encodeFrame(payload, ECCtype::Low, 256), QCException);

    EncodedPayload inconsistent = payload;
    inconsistent.bitLength = 17;  // needs three bytes
    try {
        encodeFrame(inconsistent, ECCtype::Low, 100);
        FAIL() << "no exception";
    } catch (const QCException& e) {
        EXPECT_EQ(e.code, InvalidConfiguration);
    }
}

}  // namespace
}  // namespace qcl::writer
