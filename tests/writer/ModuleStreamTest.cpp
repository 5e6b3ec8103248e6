#include "writer/ModuleStream.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "common/ErrorCodes.h"
#include "decoder/data/DataLayout.h"
#include "support/SeededRandom.h"

namespace qcl::writer {
namespace {

TEST(ModuleStream, BitsFillModulesLeastSignificantFirst) {
    EXPECT_EQ(blockToStream({0xA5}, 1, 10), (ModuleList{1, 0, 1, 0, 0, 1, 0, 1, 0, 0}));
    // 0xD6 0x01: bits 011 010 111 000 ...
    EXPECT_EQ(blockToStream({0xD6, 0x01}, 3, 6), (ModuleList{6, 2, 7, 0, 0, 0}));
    EXPECT_THROW(blockToStream({0xD6, 0x01}, 3, 5), QCException);
    EXPECT_THROW(blockToStream({0xFF}, 1, 7), QCException);
}

// The reader's layout walk over the grid order gives the stream back, for every layout (the
// walk itself is checked against the worked examples in the reader's tests).
TEST(ModuleStream, GridOrderInvertsTheReadersWalk) {
    ModuleList stream(40);
    std::iota(stream.begin(), stream.end(), 0);
    for (int layout = 0; layout <= 6; ++layout) {
        const ModuleList grid = streamToGrid(stream, static_cast<Layout>(layout), 4, 10);
        ModuleList read(stream.size());
        walkLayout(static_cast<Layout>(layout), 4, 10,
                   [&](int position, int index) { read[position] = grid[index]; });
        EXPECT_EQ(read, stream) << static_cast<Layout>(layout);
    }
    EXPECT_THROW(streamToGrid(ModuleList(6), Layout::Scrambled, 2, 3), QCException);
    EXPECT_THROW(streamToGrid(ModuleList(4), Layout::Scrambled, 1, 4), QCException);
    EXPECT_THROW(streamToGrid(ModuleList(7), Layout::Horizontal, 2, 4), QCException);
}

// Inverting is V minus the value; the mask is its own inverse.
TEST(ModuleStream, MaskInvertsWithinTheValueWidth) {
    ModuleList colour = {2, 0, 7, 5};
    applyMask(colour, 2, 2, 3);  // row + column odd: entries 1 and 2
    EXPECT_EQ(colour, (ModuleList{2, 7, 0, 5}));
    ModuleList grid(16, 0);
    applyMask(grid, 4, 4, 1);
    EXPECT_EQ(grid[3 * 4 + 0], 1);  // (0 - 3) / 2 = -1: odd
    EXPECT_EQ(grid[2 * 4 + 1], 0);  // (1 - 2) / 2 = 0
    applyMask(grid, 4, 4, 1);
    EXPECT_EQ(grid, ModuleList(16, 0));
}

// The chosen mask has the smallest |set bits - clear bits|, the lowest index on ties.
TEST(ModuleStream, ChosenMaskIsTheMostBalancedAndLowestOnTies) {
    EXPECT_EQ(chooseMask(ModuleList(2 * 11, 0), 11, 1), 1);  // masks 1 and 2 tie at zero
    test::SeededRandom random(7);
    for (int trial = 0; trial < 50; ++trial) {
        const int bits = trial % 2 == 0 ? 1 : 3;
        const int columns = random.uniformInt(4, 20);
        ModuleList grid(static_cast<std::size_t>(random.uniformInt(2, 6) * columns));
        const int bias = random.uniformInt(0, 3);  // skews the content so that masks differ
        for (auto& v : grid) {
            v = static_cast<std::uint8_t>(random.uniformInt(0, 3) < bias ? (1 << bits) - 1 : 0);
        }
        std::vector<long> imbalance;
        for (int mask = 0; mask < kMaskCount; ++mask) {
            ModuleList masked = grid;
            applyMask(masked, mask, columns, bits);
            long ones = 0;
            for (std::uint8_t v : masked) {
                ones += __builtin_popcount(v);
            }
            imbalance.push_back(std::labs(2 * ones - static_cast<long>(grid.size()) * bits));
            EXPECT_EQ(maskImbalance(grid, mask, columns, bits), imbalance.back());
        }
        const auto best = std::min_element(imbalance.begin(), imbalance.end());
        EXPECT_EQ(chooseMask(grid, columns, bits), best - imbalance.begin()) << "trial " << trial;
    }
}

TEST(ModuleStream, BlockToModulesUsesTheForcedOrChosenMask) {
    const std::vector<std::uint8_t> block(3, 0);
    int used = -2;
    EXPECT_EQ(blockToModules(block, CodeType::BlackAndWhite, Layout::Horizontal, 2, 12, 0, &used),
              ModuleList(24, 0));
    EXPECT_EQ(used, 0);
    ModuleList rowOne(24, 0);
    std::fill(rowOne.begin() + 12, rowOne.end(), 1);
    EXPECT_EQ(blockToModules(block, CodeType::BlackAndWhite, Layout::Horizontal, 2, 12, 1, &used),
              rowOne);
    EXPECT_EQ(used, 1);
    blockToModules(block, CodeType::Color, Layout::Horizontal, 2, 12, -1, &used);
    EXPECT_EQ(used, 1);  // all-white colour grid: masks 1 and 2 tie, the lower wins
    for (const int mask : {5, -2}) {
        EXPECT_THROW(
            blockToModules(block, CodeType::Color, Layout::Horizontal, 2, 12, mask, nullptr),
            QCException);
    }
}

}  // namespace
}  // namespace qcl::writer
