#include "reedsolomon/ErasureDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/SeededRandom.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::test::Bytes;
using qcl::test::SeededRandom;

// Every (capacity, t) a frame can have: the grids of every ring size, ring count and code type,
// at every strength.
std::set<std::pair<int, int>> frameCodes() {
    std::set<std::pair<int, int>> codes;
    for (int modules : {16, 32, 48, 64, 80}) {
        for (int rings = 2; rings <= 9; ++rings) {
            for (bool colour : {false, true}) {
                const int capacity =
                    qcl::test::capacityOf(qcl::test::makeGrid(modules, rings, colour));
                for (int strength = 0; strength < 4; ++strength) {
                    const int t =
                        qcl::test::capabilityFor(static_cast<qcl::ECCtype>(strength), capacity);
                    if (capacity > 2 * t) {
                        codes.insert({capacity, t});
                    }
                }
            }
        }
    }
    return codes;
}

// `count` distinct positions of a block of `size` bytes.
std::vector<int> distinctPositions(int size, int count, SeededRandom& random) {
    std::vector<int> all(static_cast<std::size_t>(size));
    std::iota(all.begin(), all.end(), 0);
    std::shuffle(all.begin(), all.end(), random.engine());
    all.resize(static_cast<std::size_t>(count));
    return all;
}

// Bytes that differ between two blocks, counted apart at erased and at other positions.
std::pair<int, int> differences(const Bytes& a, const Bytes& b, const Bytes& erasures) {
    int erased = 0;
    int other = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            const bool isErased = std::find(erasures.begin(), erasures.end(), i) != erasures.end();
            (isErased ? erased : other) += 1;
        }
    }
    return {erased, other};
}

struct Damage {
    Bytes block;
    Bytes erasures;
};

// s erasures (each erased byte changed or left, at random) and e errors elsewhere.
Damage damage(Bytes block, int erasureCount, int errorCount, SeededRandom& random) {
    const std::vector<int> positions =
        distinctPositions(static_cast<int>(block.size()), erasureCount + errorCount, random);
    Damage d;
    for (int i = 0; i < erasureCount + errorCount; ++i) {
        const auto p = static_cast<std::size_t>(positions[static_cast<std::size_t>(i)]);
        if (i < erasureCount) {
            d.erasures.push_back(static_cast<std::uint8_t>(p));
            block[p] = static_cast<std::uint8_t>(random.uniformInt(0, 255));
        } else {
            block[p] ^= static_cast<std::uint8_t>(random.uniformInt(1, 255));
        }
    }
    d.block = std::move(block);
    return d;
}

// Random codewords of every frame size: any mix of errors and erasures with 2e + s <= 2t comes
// back to the data; one error more is refused, or decodes to another codeword that lies within
// the bound of what was received (the frame checks are left to tell that one).
TEST(DecodeRSErasuresProperty, CorrectsUpToTheBoundAndNeverBeyondIt) {
    SeededRandom random(34);
    int beyond = 0;
    int miscorrected = 0;
    for (const auto& [capacity, t] : frameCodes()) {
        for (int trial = 0; trial < 4; ++trial) {
            const Bytes data = random.bytes(static_cast<std::size_t>(capacity - 2 * t));
            const Bytes sent = qcl::test::withParity(data, t);
            const int s = random.uniformInt(0, 2 * t);
            const int e = (2 * t - s) / 2;
            const std::string where = "C=" + std::to_string(capacity) + " t=" + std::to_string(t) +
                                      " s=" + std::to_string(s);

            const Damage within = damage(sent, s, e, random);
            ASSERT_EQ(qcl::decodeRS(within.block, static_cast<std::uint8_t>(t), within.erasures),
                      data)
                << where << " e=" << e;

            if (s + e + 1 > capacity) {
                continue;
            }
            const Damage past = damage(sent, s, e + 1, random);
            const Bytes result =
                qcl::decodeRS(past.block, static_cast<std::uint8_t>(t), past.erasures);
            ++beyond;
            ASSERT_NE(result, data) << where;
            if (!result.empty()) {
                ++miscorrected;
                const Bytes other = qcl::test::withParity(result, t);
                const auto [erased, changed] = differences(other, past.block, past.erasures);
                EXPECT_LE(2 * changed + s, 2 * t) << where << " erased changes " << erased;
            }
        }
    }
    EXPECT_GT(beyond, 300);
    EXPECT_GT(miscorrected, 0);  // the small codes do land on other codewords now and then
}

// Erasure lists the decoder cannot use are refused, whatever the block holds.
TEST(DecodeRSErasures, RefusesUnusableErasureLists) {
    SeededRandom random(7);
    const Bytes block = qcl::test::withParity(random.bytes(20), 4);  // 28 bytes, 2t = 8
    struct Case {
        const char* name;
        Bytes erasures;
    } cases[] = {
        {"more than 2t", {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"repeated position", {3, 5, 3}},
        {"outside the block", {2, 28}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(qcl::decodeRS(block, 4, c.erasures).empty()) << c.name;
    }
    // 2t erasures on a clean block, and no erasure at all, read the data unchanged.
    EXPECT_EQ(qcl::decodeRS(block, 4, {0, 1, 2, 3, 24, 25, 26, 27}), qcl::decodeRS(block, 4));
    EXPECT_EQ(qcl::decodeRS(block, 4, {}).size(), 20u);
}

// The zero fill of the shortened code is known: a word that only a non-zero fill symbol would
// make a codeword is refused and left as it was, where the designed decoder corrects it there.
TEST(DecodeRSErasures, RefusesCorrectionsInTheZeroFill) {
    SeededRandom random(5);
    const Bytes data = random.bytes(60);
    const Bytes parity = reedsolomon::encodeParity(data, 4);
    const reedsolomon::ReedSolomon codec(60, 4);
    reedsolomon::Word word{};
    std::copy(data.begin(), data.end(), word.begin());
    std::copy(parity.begin(), parity.end(), word.end() - 8);
    word[100] = 0x5A;
    const reedsolomon::Word before = word;
    const std::uint8_t erasures[] = {7};
    EXPECT_FALSE(reedsolomon::decodeWithErasures(codec, word, erasures, 1).corrected);
    EXPECT_EQ(word, before);
    const std::uint8_t inTheFill[] = {100};
    EXPECT_FALSE(reedsolomon::decodeWithErasures(codec, word, inTheFill, 1).corrected);

    word[100] = 0;
    word[7] ^= 0x33;
    word[40] ^= 0x01;
    const reedsolomon::ErasureOutcome outcome =
        reedsolomon::decodeWithErasures(codec, word, erasures, 1);
    EXPECT_TRUE(outcome.corrected);
    EXPECT_EQ(outcome.errors, 1);  // position 40; the erased 7 does not count
    EXPECT_TRUE(std::equal(data.begin(), data.end(), word.begin()));
}

}  // namespace
