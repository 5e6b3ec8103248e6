#include "reedsolomon/ReedSolomon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "common/ErrorCodes.h"
#include "support/SeededRandom.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::test::Bytes;
using qcl::test::SeededRandom;

// Changes `count` distinct bytes of the block to other values.
void corrupt(Bytes& block, int count, SeededRandom& random) {
    std::set<int> positions;
    while (static_cast<int>(positions.size()) < count) {
        positions.insert(random.uniformInt(0, static_cast<int>(block.size()) - 1));
    }
    for (int position : positions) {
        block[position] ^= static_cast<std::uint8_t>(random.uniformInt(1, 255));
    }
}

// A codec holding data at positions 0..k-1 and parity at 255-2t..254.
reedsolomon::ReedSolomon codecHolding(const Bytes& data, const Bytes& parity) {
    const auto t = static_cast<std::uint8_t>(parity.size() / 2);
    reedsolomon::ReedSolomon codec(static_cast<std::uint8_t>(data.size()), t);
    codec.clearReceived();
    for (std::size_t i = 0; i < data.size(); ++i) {
        codec.setReceived(static_cast<int>(i), data[i]);
    }
    for (std::size_t i = 0; i < parity.size(); ++i) {
        codec.setReceived(static_cast<int>(255 - parity.size() + i), parity[i]);
    }
    return codec;
}

// With the parity at the highest positions the word vanishes at alpha^1..alpha^2t.
TEST(ReedSolomonEncode, ParityAtTheHighPositionsMakesACodeword) {
    SeededRandom random(11);
    for (int t : {1, 5, 20, 77, 127}) {
        const int k = std::max(1, 255 - 2 * t - random.uniformInt(0, 30));
        const Bytes data = random.bytes(static_cast<std::size_t>(k));
        const Bytes parity = reedsolomon::encodeParity(data, static_cast<std::uint8_t>(t));
        ASSERT_EQ(parity.size(), static_cast<std::size_t>(2 * t));
        const reedsolomon::ReedSolomon codec = codecHolding(data, parity);
        for (int i = 1; i <= 2 * t; ++i) {
            std::uint8_t sum = 0;
            for (int j = 0; j < reedsolomon::kCodeLength; ++j) {
                sum ^= codec.multiply(codec.received(j),
                                      static_cast<std::uint8_t>(codec.power(i * j)));
            }
            ASSERT_EQ(sum, 0) << "t=" << t << " root " << i;
        }
    }
    EXPECT_THROW(reedsolomon::encodeParity(Bytes(10, 1), 0), qcl::QCException);
    EXPECT_THROW(reedsolomon::encodeParity(Bytes(10, 1), 128), qcl::QCException);
    EXPECT_THROW(reedsolomon::encodeParity(Bytes(250, 1), 3), qcl::QCException);
    EXPECT_NO_THROW(reedsolomon::encodeParity(Bytes(249, 1), 3));
}

TEST(DecodeRS, CleanWordHasZeroSyndromesAndAnErrorInTheZeroFillIsCorrected) {
    SeededRandom random(9);
    const Bytes data = random.bytes(60);
    const Bytes parity = reedsolomon::encodeParity(data, 4);
    reedsolomon::ReedSolomon clean = codecHolding(data, parity);
    EXPECT_FALSE(clean.decode());
    EXPECT_TRUE(clean.syndromesZero());

    reedsolomon::ReedSolomon codec = codecHolding(data, parity);
    codec.setReceived(100, 0x5A);  // inside the zero fill
    codec.setReceived(3, static_cast<std::uint8_t>(data[3] ^ 0x11));
    EXPECT_FALSE(codec.decode());
    EXPECT_FALSE(codec.syndromesZero());
    EXPECT_EQ(codec.received(100), 0);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(codec.received(i), data[i]);
    }
}

TEST(DecodeRS, ZeroParityLengthThrowsEccParamsWrong) {
    for (int t : {0, 128}) {  // 2 * 128 wraps to 0 as an 8-bit length
        try {
            qcl::decodeRS(Bytes(20, 7), static_cast<std::uint8_t>(t));
            FAIL() << "no exception for t=" << t;
        } catch (const qcl::QCException& e) {
            EXPECT_EQ(e.code, qcl::EccParamsWrong);
            EXPECT_STREQ(e.what(), "ECC params are wrong (ECC length must be larger than 0)");
        }
    }
}

// A block shorter than its parity would make the data length wrap; one longer than the code
// cannot be placed. Both give the empty block, like an uncorrectable one.
TEST(DecodeRS, BlocksOfImpossibleLengthAreRejected) {
    EXPECT_TRUE(qcl::decodeRS(Bytes{0x12}, 1).empty());
    EXPECT_TRUE(qcl::decodeRS(Bytes(9, 0), 5).empty());
    EXPECT_TRUE(qcl::decodeRS(Bytes(256, 0), 5).empty());
    EXPECT_TRUE(qcl::decodeRS(Bytes(10, 0), 5).empty());  // parity only: no data
}

// Every ECC strength on several block lengths: exactly t errors anywhere come back to the
// original data; more than t give the empty block or a miscorrection, never the original.
TEST(DecodeRSProperty, UpToTErrorsAreCorrectedAndMoreFailSafely) {
    SeededRandom random(2026);
    for (int capacity : {5, 16, 29, 88, 200, 255}) {
        for (int strength = 0; strength < 4; ++strength) {
            const int t = qcl::test::capabilityFor(static_cast<qcl::ECCtype>(strength), capacity);
            if (capacity <= 2 * t) {
                continue;
            }
            const Bytes data = random.bytes(static_cast<std::size_t>(capacity - 2 * t));
            for (const int errors : {t, std::min(capacity, t + 1 + random.uniformInt(0, t))}) {
                Bytes block = qcl::test::withParity(data, t);
                corrupt(block, errors, random);
                const Bytes result = qcl::decodeRS(block, static_cast<std::uint8_t>(t));
                const std::string where = "C=" + std::to_string(capacity) +
                                          " t=" + std::to_string(t) +
                                          " errors=" + std::to_string(errors);
                if (errors <= t) {
                    ASSERT_EQ(result, data) << where;
                } else {
                    EXPECT_NE(result, data) << where;
                    EXPECT_TRUE(result.empty() || result.size() == data.size()) << where;
                }
            }
        }
    }
}

}  // namespace
