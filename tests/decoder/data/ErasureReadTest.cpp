#include "decoder/data/ErasureChoice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SeededRandom.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using test::Bytes;
using test::SeededRandom;

// 75 data slots x 5 rings, black and white: C = 46 bytes, Medium t = 7.
const SamplingGrid kGrid = test::makeGrid(80, 5, false);
constexpr int kCapacity = 46;
constexpr int kMediumT = 7;

// A Medium symbol's modules in stream order and its payload text.
ModuleList mediumSymbol(std::string& text) {
    text = "erasures";
    std::vector<std::pair<unsigned, int>> fields;
    for (char c : text) {
        fields.emplace_back(static_cast<unsigned char>(c), 7);
    }
    std::uint16_t bits = 0;
    const Bytes payload = test::payloadStream(PayloadType::Ascii, fields, bits);
    return test::streamModules(kGrid, test::symbolBlock(kGrid, ECCtype::Medium, 1, bits, payload));
}

// Flips one module of each of `bytes` block bytes; with `doubt` the flipped module carries it.
void damageBytes(ModuleList& modules, const std::vector<int>& bytes, std::uint8_t doubt) {
    for (const int byte : bytes) {
        std::uint8_t& module = modules[static_cast<std::size_t>(byte * 8 + byte % 8)];
        module = withDoubt(static_cast<std::uint8_t>(module ^ 1), doubt);
    }
}

std::vector<int> firstBytes(int count, int from = 0) {
    std::vector<int> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(from + 3 * i);
    }
    return bytes;
}

// Errors in doubtful modules are erased and corrected past the designed read's t; the same
// errors in modules read with confidence are not, and neither are errors while more doubtful
// correct modules take the erasures: those reads fail, they never report a wrong payload.
TEST(ErasureRead, DoubtfulErrorsAreCorrectedPastTAndConfidentOnesAreNot) {
    std::string text;
    const ModuleList clean = mediumSymbol(text);
    struct Case {
        const char* name;
        int doubtfulErrors;   // damaged bytes whose modules carry some doubt
        int confidentErrors;  // damaged bytes read with confidence
        int decoys;           // correct bytes in the most doubt
        bool decodes;
    } cases[] = {
        {"t errors, no doubt: the designed read", 0, kMediumT, 0, true},
        {"t + 1 errors, no doubt", 0, kMediumT + 1, 0, false},
        {"10 doubtful errors", 10, 0, 0, true},
        {"8 doubtful errors behind 2 decoys", 8, 0, 2, true},
        {"10 doubtful errors behind 4 decoys", 10, 0, 4, false},
        {"8 doubtful and 2 confident errors behind 2 decoys", 8, 2, 2, false},
        {"6 doubtful and 1 confident error behind 2 decoys", 6, 1, 2, true},
        {"10 confident errors, 10 decoys", 0, 10, 10, false},
    };
    for (const Case& c : cases) {
        ModuleList modules = clean;
        const std::vector<int> errors = firstBytes(c.doubtfulErrors + c.confidentErrors);
        damageBytes(modules, {errors.begin(), errors.begin() + c.doubtfulErrors}, kMaxDoubt / 2);
        damageBytes(modules, {errors.begin() + c.doubtfulErrors, errors.end()}, 0);
        for (const int byte : firstBytes(c.decoys, 1)) {
            std::uint8_t& module = modules[static_cast<std::size_t>(byte * 8)];
            module = withDoubt(module, kMaxDoubt);
        }
        std::string payload;
        FrameReport report;
        const ErrorCode code = decodeFrame(kGrid, modules, &payload, nullptr, nullptr, &report);
        EXPECT_EQ(code == Success, c.decodes) << c.name;
        if (code == Success) {
            EXPECT_EQ(payload, text) << c.name;
            EXPECT_LE(report.correctedSymbols, report.correctableSymbols) << c.name;
        }
    }
}

// The mask inverts the value bits and keeps the doubt above them.
TEST(ErasureRead, MaskKeepsTheDoubt) {
    const SamplingGrid colour = test::makeGrid(7, 2, true);  // 2 rows x 2 columns
    ModuleList modules{withDoubt(2, 5), withDoubt(0, 0), withDoubt(7, kMaxDoubt), 1};
    ASSERT_EQ(applyMaskAndLayout(colour, modules, 1, Layout::Horizontal), Success);
    EXPECT_EQ(modules, (ModuleList{withDoubt(2, 5), 0, withDoubt(0, kMaxDoubt), 6}));
}

// The share of random blocks a read accepts: the words within its reach of a codeword, counted
// by hand.
TEST(ErasureRead, AcceptedShareCountsTheWordsWithinReach) {
    struct Case {
        std::size_t length;
        int parity, erasures, errors;
        double words;  // within reach, on the positions not erased
    } cases[] = {
        {16, 4, 0, 2, 1.0 + 16 * 255.0 + 120 * 255.0 * 255.0},
        {16, 4, 3, 0, 1.0},
        {30, 10, 6, 1, 1.0 + 24 * 255.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(acceptedShare(c.length, c.parity, c.erasures, c.errors),
                    std::log2(c.words) - 8.0 * (c.parity - c.erasures), 1e-9)
            << c.length << " " << c.erasures << " " << c.errors;
    }
}

// Every try erases the most doubtful bytes and stays as safe as the designed read; the first
// erases all it may without an error, the later ones trade erasures for errors.
TEST(ErasureRead, TriesEraseTheMostDoubtfulBytesWithinTheDesignedReadsRisk) {
    SeededRandom random(3);
    std::vector<std::uint8_t> doubts(kCapacity, 0);
    for (std::uint8_t& d : doubts) {
        d = static_cast<std::uint8_t>(random.uniformInt(0, 3) == 0 ? random.uniformInt(1, 31) : 0);
    }
    const std::vector<ErasureTry> tries = erasureTries(doubts, kMediumT);
    ASSERT_FALSE(tries.empty());
    EXPECT_LE(tries.size(), 3u);
    const double designed = acceptedShare(kCapacity, 2 * kMediumT, 0, kMediumT);
    EXPECT_EQ(tries.front().maxErrors, 0);
    for (std::size_t i = 0; i < tries.size(); ++i) {
        const ErasureTry& each = tries[i];
        const int s = static_cast<int>(each.erasures.size());
        EXPECT_LE(acceptedShare(kCapacity, 2 * kMediumT, s, each.maxErrors), designed);
        EXPECT_LE(2 * each.maxErrors + s, 2 * kMediumT);
        if (i > 0) {
            EXPECT_LT(s, static_cast<int>(tries[i - 1].erasures.size()));
            EXPECT_GT(each.maxErrors, tries[i - 1].maxErrors);
        }
        int weakest = 31;
        for (const std::uint8_t position : each.erasures) {
            weakest = std::min<int>(weakest, doubts[position]);
        }
        for (std::size_t b = 0; b < doubts.size(); ++b) {
            const bool erased =
                std::find(each.erasures.begin(), each.erasures.end(), b) != each.erasures.end();
            EXPECT_TRUE(erased || doubts[b] <= weakest) << "byte " << b;
        }
    }
    EXPECT_TRUE(erasureTries(std::vector<std::uint8_t>(kCapacity, 0), kMediumT).empty());
}

// Random modules with random doubts, the grid of a search that went astray: never a payload.
TEST(ErasureRead, RandomDoubtfulModulesNeverDecode) {
    SeededRandom random(2034);
    int decoded = 0;
    for (int trial = 0; trial < 400; ++trial) {
        ModuleList modules(75 * 5);
        for (std::uint8_t& m : modules) {
            m = withDoubt(static_cast<std::uint8_t>(random.uniformInt(0, 1)),
                          static_cast<std::uint8_t>(random.uniformInt(0, kMaxDoubt)));
        }
        decoded += decodeFrame(kGrid, modules, nullptr, nullptr, nullptr) == Success ? 1 : 0;
    }
    EXPECT_EQ(decoded, 0);
}

}  // namespace
}  // namespace qcl
