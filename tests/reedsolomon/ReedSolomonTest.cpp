#include "reedsolomon/ReedSolomon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "common/ErrorCodes.h"
#include "support/SeededRandom.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using qcl::test::SeededRandom;

// Per-mille correction shares of the four ECC strengths, Low to High.
constexpr int kShares[] = {75, 150, 250, 300};

int capabilityFor(int share, int capacity) {
    return (share * capacity + 999) / 1000;
}

Bytes encodeBlock(const Bytes& data, int t) {
    Bytes block = data;
    const Bytes parity = reedsolomon::encodeParity(data, static_cast<std::uint8_t>(t));
    block.insert(block.end(), parity.begin(), parity.end());
    return block;
}

// Flips `count` distinct bytes of the block to other values.
void corrupt(Bytes& block, int count, SeededRandom& random) {
    std::set<int> positions;
    while (static_cast<int>(positions.size()) < count) {
        positions.insert(random.uniformInt(0, static_cast<int>(block.size()) - 1));
    }
    for (int position : positions) {
        block[position] ^= static_cast<std::uint8_t>(random.uniformInt(1, 255));
    }
}

// Evaluates the word held by the codec at alpha^i.
std::uint8_t evaluateAt(const reedsolomon::ReedSolomon& codec, int i) {
    std::uint8_t sum = 0;
    for (int j = 0; j < reedsolomon::kCodeLength; ++j) {
        sum ^= codec.multiply(codec.received(j), static_cast<std::uint8_t>(codec.power(i * j)));
    }
    return sum;
}

TEST(ReedSolomonField, PowerAndLogTablesFollowThePrimitivePolynomial) {
    const reedsolomon::ReedSolomon codec(10, 2);
    EXPECT_EQ(codec.power(0), 1);
    EXPECT_EQ(codec.power(7), 128);
    EXPECT_EQ(codec.power(8), 0x1D);
    EXPECT_EQ(codec.power(9), 0x3A);
    EXPECT_EQ(codec.power(255), 1);
    EXPECT_EQ(codec.logarithm(0), -1);
    std::set<int> elements;
    for (int i = 0; i < reedsolomon::kCodeLength; ++i) {
        elements.insert(codec.power(i));
        EXPECT_EQ(codec.logarithm(static_cast<std::uint8_t>(codec.power(i))), i);
    }
    EXPECT_EQ(elements.size(), 255u);  // alpha is primitive: every non-zero element once
    EXPECT_EQ(codec.multiply(0x80, 2), 0x1D);
    EXPECT_EQ(codec.multiply(0, 77), 0);
}

TEST(ReedSolomonField, GeneratorVanishesAtItsRootsOnly) {
    const int t = 6;
    const reedsolomon::ReedSolomon codec(50, t);
    EXPECT_EQ(codec.parityLength(), 12);
    EXPECT_EQ(codec.informationLength(), 243);
    EXPECT_EQ(codec.dataLength(), 50);
    EXPECT_EQ(codec.generatorCoefficient(2 * t), 1);  // monic
    for (int i = 0; i <= 2 * t + 1; ++i) {
        std::uint8_t value = 0;
        for (int j = 0; j <= 2 * t; ++j) {
            value ^= codec.multiply(codec.generatorCoefficient(j),
                                    static_cast<std::uint8_t>(codec.power(i * j)));
        }
        if (i >= 1 && i <= 2 * t) {
            EXPECT_EQ(value, 0) << "root alpha^" << i;
        } else {
            EXPECT_NE(value, 0) << "alpha^" << i;
        }
    }
}

TEST(ReedSolomonEncode, ParityAtTheHighPositionsMakesACodeword) {
    SeededRandom random(11);
    for (int t : {1, 5, 20, 77, 127}) {
        const int k = std::max(1, 255 - 2 * t - random.uniformInt(0, 30));
        const Bytes data = random.bytes(static_cast<std::size_t>(k));
        const Bytes parity = reedsolomon::encodeParity(data, static_cast<std::uint8_t>(t));
        ASSERT_EQ(parity.size(), static_cast<std::size_t>(2 * t));
        reedsolomon::ReedSolomon codec(static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(t));
        codec.clearReceived();
        for (int i = 0; i < k; ++i) {
            codec.setReceived(i, data[i]);
        }
        for (int i = 0; i < 2 * t; ++i) {
            codec.setReceived(255 - 2 * t + i, parity[i]);
        }
        for (int i = 1; i <= 2 * t; ++i) {
            ASSERT_EQ(evaluateAt(codec, i), 0) << "t=" << t << " root " << i;
        }
        EXPECT_FALSE(codec.decode());
        EXPECT_TRUE(codec.syndromesZero());
    }
}

TEST(ReedSolomonEncode, RejectsImpossibleParameters) {
    const Bytes data(10, 0x42);
    EXPECT_THROW(reedsolomon::encodeParity(data, 0), qcl::QCException);
    EXPECT_THROW(reedsolomon::encodeParity(data, 128), qcl::QCException);
    EXPECT_THROW(reedsolomon::encodeParity(Bytes(250, 1), 3), qcl::QCException);
    EXPECT_NO_THROW(reedsolomon::encodeParity(Bytes(249, 1), 3));
}

TEST(DecodeRS, CleanBlockReturnsItsDataAndZeroSyndromes) {
    SeededRandom random(3);
    const Bytes data = random.bytes(90);
    EXPECT_EQ(qcl::decodeRS(encodeBlock(data, 5), 5), data);
    const Bytes zeros(40, 0);  // all-zero words enter as logarithm -1 everywhere
    EXPECT_EQ(qcl::decodeRS(encodeBlock(zeros, 4), 4), zeros);
}

TEST(DecodeRS, HundredByteBlockWithFiveParityPairs) {
    SeededRandom random(5);
    const Bytes data = random.bytes(90);
    const Bytes block = encodeBlock(data, 5);
    ASSERT_EQ(block.size(), 100u);
    for (int errors = 1; errors <= 5; ++errors) {
        Bytes damaged = block;
        corrupt(damaged, errors, random);
        EXPECT_EQ(qcl::decodeRS(damaged, 5), data) << errors << " errors";
    }
    // Errors in the first and the last byte: data position 0 and parity position 254.
    Bytes edges = block;
    edges.front() ^= 0xFF;
    edges.back() ^= 0x01;
    EXPECT_EQ(qcl::decodeRS(edges, 5), data);
}

TEST(DecodeRS, ZeroParityLengthThrowsEccParamsWrong) {
    const Bytes block(20, 7);
    for (int t : {0, 128}) {  // 2 * 128 wraps to 0 as an 8-bit length
        try {
            qcl::decodeRS(block, static_cast<std::uint8_t>(t));
            FAIL() << "no exception for t=" << t;
        } catch (const qcl::QCException& e) {
            EXPECT_EQ(e.code, qcl::EccParamsWrong);
            EXPECT_STREQ(e.what(), "ECC params are wrong (ECC length must be larger than 0)");
        }
    }
}

TEST(DecodeRS, BlockShorterThanItsParityOrLongerThanTheCodeIsRejected) {
    EXPECT_TRUE(qcl::decodeRS(Bytes{0x12}, 1).empty());  // one byte, parity length 2
    EXPECT_TRUE(qcl::decodeRS(Bytes(9, 0), 5).empty());
    EXPECT_TRUE(qcl::decodeRS(Bytes(256, 0), 5).empty());
    // Exactly the parity length: a word without data decodes to the empty block.
    EXPECT_TRUE(qcl::decodeRS(Bytes(10, 0), 5).empty());
}

TEST(DecodeRS, ErrorsInTheZeroFillAreCorrectedWithoutFailure) {
    SeededRandom random(9);
    const Bytes data = random.bytes(60);
    const Bytes parity = reedsolomon::encodeParity(data, 4);
    reedsolomon::ReedSolomon codec(60, 4);
    codec.clearReceived();
    for (int i = 0; i < 60; ++i) {
        codec.setReceived(i, data[i]);
    }
    for (int i = 0; i < 8; ++i) {
        codec.setReceived(247 + i, parity[i]);
    }
    codec.setReceived(100, 0x5A);  // inside the zero fill
    codec.setReceived(3, static_cast<std::uint8_t>(data[3] ^ 0x11));
    EXPECT_FALSE(codec.decode());
    EXPECT_FALSE(codec.syndromesZero());
    EXPECT_EQ(codec.received(100), 0);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(codec.received(i), data[i]);
    }
}

// Every ECC strength on several block lengths: up to t errors at random places always come
// back to the original data.
TEST(DecodeRSProperty, UpToTErrorsAreAlwaysCorrected) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SeededRandom random(seed);
        for (int capacity : {5, 16, 29, 88, 200, 255}) {
            for (int share : kShares) {
                const int t = capabilityFor(share, capacity);
                if (capacity <= 2 * t) {
                    continue;
                }
                const Bytes data = random.bytes(static_cast<std::size_t>(capacity - 2 * t));
                Bytes block = encodeBlock(data, t);
                corrupt(block, random.uniformInt(0, t), random);
                ASSERT_EQ(qcl::decodeRS(block, static_cast<std::uint8_t>(t)), data)
                    << "seed " << seed << " C=" << capacity << " t=" << t;
            }
        }
        // Exactly t errors on a full-length block.
        const int t = random.uniformInt(1, 100);
        const Bytes data = random.bytes(static_cast<std::size_t>(255 - 2 * t));
        Bytes block = encodeBlock(data, t);
        corrupt(block, t, random);
        ASSERT_EQ(qcl::decodeRS(block, static_cast<std::uint8_t>(t)), data)
            << "seed " << seed << " t=" << t;
    }
}

// Beyond t errors the result is the empty block or a different codeword's data, never a crash.
TEST(DecodeRSProperty, MoreThanTErrorsFailSafely) {
    int rejected = 0;
    int trials = 0;
    for (std::uint32_t seed = 100; seed < 140; ++seed) {
        SeededRandom random(seed);
        const int capacity = random.uniformInt(8, 255);
        const int t = capabilityFor(kShares[random.uniformInt(0, 3)], capacity);
        if (capacity <= 2 * t) {
            continue;
        }
        const Bytes data = random.bytes(static_cast<std::size_t>(capacity - 2 * t));
        Bytes block = encodeBlock(data, t);
        corrupt(block, std::min(capacity, t + 1 + random.uniformInt(0, 2 * t)), random);
        const Bytes result = qcl::decodeRS(block, static_cast<std::uint8_t>(t));
        ++trials;
        if (result.empty()) {
            ++rejected;
        } else {
            EXPECT_EQ(result.size(), data.size());
            EXPECT_NE(result, data) << "seed " << seed;
        }
    }
    EXPECT_GT(rejected, trials / 2);  // miscorrection is the rare case
}

TEST(DecodeRSProperty, RandomBlocksNeverCrash) {
    SeededRandom random(77);
    for (int i = 0; i < 300; ++i) {
        const Bytes block = random.bytes(static_cast<std::size_t>(random.uniformInt(0, 300)));
        const auto t = static_cast<std::uint8_t>(random.uniformInt(1, 255));
        if (static_cast<std::uint8_t>(2 * t) == 0) {
            continue;
        }
        const Bytes result = qcl::decodeRS(block, t);
        EXPECT_LE(result.size(), block.size());
    }
}

}  // namespace
