#include "writer/ModuleStream.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "common/ErrorCodes.h"
#include "decoder/data/DataMask.h"
#include "support/SeededRandom.h"

namespace qcl::writer {
namespace {

// Grid entry that the reader reads at each stream position (row * columns + column), for grids
// of 4 rows and 10 columns.
const std::vector<int> kHorizontalSnake = {0,  1,  2,  3,  13, 12, 11, 10, 20, 21, 22, 23, 33, 32,
                                           31, 30, 34, 35, 36, 37, 27, 26, 25, 24, 14, 15, 16, 17,
                                           7,  6,  5,  4,  8,  9,  19, 18, 28, 29, 39, 38};
const std::vector<int> kShortSnake = {0,  1,  11, 10, 20, 21, 31, 30, 32, 33, 23, 22, 12, 13,
                                      3,  2,  4,  5,  15, 14, 24, 25, 35, 34, 36, 37, 27, 26,
                                      16, 17, 7,  6,  8,  9,  19, 18, 28, 29, 39, 38};
const std::vector<int> kScrambled = {0,  6,  22, 28, 10, 16, 32, 38, 1,  7,  23, 29, 11, 17,
                                     33, 39, 2,  8,  24, 12, 18, 34, 3,  9,  25, 13, 19, 35,
                                     4,  20, 26, 14, 30, 36, 5,  21, 27, 15, 31, 37};

std::size_t countSetBits(const ModuleList& modules) {
    std::size_t count = 0;
    for (std::uint8_t v : modules) {
        for (; v != 0; v >>= 1) {
            count += v & 1u;
        }
    }
    return count;
}

TEST(ModuleStream, BitsFillModulesLeastSignificantFirst) {
    EXPECT_EQ(blockToStream({0xA5}, 1, 10), (ModuleList{1, 0, 1, 0, 0, 1, 0, 1, 0, 0}));
    // 0xD6 0x01: bits 0 1 1 | 0 1 0 | 1 1 1 | 0 0 0 ...
    EXPECT_EQ(blockToStream({0xD6, 0x01}, 3, 6), (ModuleList{6, 2, 7, 0, 0, 0}));
    EXPECT_THROW(blockToStream({0xD6, 0x01}, 3, 5), QCException);
    EXPECT_THROW(blockToStream({0xFF}, 1, 7), QCException);
}

TEST(ModuleStream, GridOrderInvertsEveryLayout) {
    const int rows = 4;
    const int columns = 10;
    ModuleList stream(rows * columns);
    std::iota(stream.begin(), stream.end(), 0);
    std::vector<int> vertical;
    std::vector<int> verticalSnake;
    for (int c = 0; c < columns; ++c) {
        for (int i = 0; i < rows; ++i) {
            vertical.push_back(i * columns + c);
            verticalSnake.push_back((c % 2 == 0 ? i : rows - 1 - i) * columns + c);
        }
    }
    std::vector<int> horizontal(rows * columns);
    std::iota(horizontal.begin(), horizontal.end(), 0);
    const std::pair<Layout, std::vector<int>> cases[] = {
        {Layout::Horizontal, horizontal},
        {Layout::Vertical, vertical},
        {Layout::VerticalSnake, verticalSnake},
        {Layout::HorizontalSnake, kHorizontalSnake},
        {Layout::HorizontalShortSnake, kShortSnake},
        {Layout::Scrambled, kScrambled},
        {static_cast<Layout>(6), horizontal},
    };
    for (const auto& [layout, order] : cases) {
        const ModuleList grid = streamToGrid(stream, layout, rows, columns);
        for (std::size_t k = 0; k < order.size(); ++k) {
            EXPECT_EQ(grid[order[k]], k) << layout << " position " << k;
        }
    }
}

TEST(ModuleStream, GridOrderRefusesMisfits) {
    EXPECT_THROW(streamToGrid(ModuleList(6), Layout::Scrambled, 2, 3), QCException);
    EXPECT_THROW(streamToGrid(ModuleList(4), Layout::Scrambled, 1, 4), QCException);
    EXPECT_THROW(streamToGrid(ModuleList(7), Layout::Horizontal, 2, 4), QCException);
    EXPECT_EQ(streamToGrid(ModuleList(8, 1), Layout::Scrambled, 2, 4), ModuleList(8, 1));
}

TEST(ModuleStream, MaskInvertsWithinTheValueWidth) {
    const int columns = 4;
    ModuleList grid(4 * columns, 0);
    applyMask(grid, 4, columns, 1);
    EXPECT_EQ(grid[3 * columns + 0], 1);  // (0 - 3) / 2 = -1: odd
    EXPECT_EQ(grid[2 * columns + 1], 0);  // (1 - 2) / 2 = 0
    applyMask(grid, 4, columns, 1);
    EXPECT_EQ(grid, ModuleList(4 * columns, 0));

    ModuleList colour = {2, 0, 7, 5};
    applyMask(colour, 2, 2, 3);  // row + column odd: entries 1 and 2
    EXPECT_EQ(colour, (ModuleList{2, 7, 0, 5}));
    ModuleList untouched = colour;
    applyMask(untouched, 0, 2, 3);
    EXPECT_EQ(untouched, colour);
}

TEST(ModuleStream, ChosenMaskIsTheMostBalancedAndLowestOnTies) {
    // An all-light grid: mask 0 leaves it all light, masks 1 and 2 invert exactly half.
    EXPECT_EQ(chooseMask(ModuleList(2 * 11, 0), 11, 1), 1);

    test::SeededRandom random(7);
    for (int trial = 0; trial < 50; ++trial) {
        const int bits = trial % 2 == 0 ? 1 : 3;
        const int columns = random.uniformInt(4, 20);
        const int rows = random.uniformInt(2, 6);
        ModuleList grid(static_cast<std::size_t>(rows * columns));
        const int bias = random.uniformInt(0, 3);  // skew the content so masks differ
        for (auto& v : grid) {
            v = static_cast<std::uint8_t>(random.uniformInt(0, 3) < bias ? (1 << bits) - 1 : 0);
        }
        std::vector<std::size_t> imbalance;
        for (int mask = 0; mask < kMaskCount; ++mask) {
            ModuleList masked = grid;
            applyMask(masked, mask, columns, bits);
            const long ones = static_cast<long>(countSetBits(masked));
            const long all = static_cast<long>(grid.size()) * bits;
            imbalance.push_back(static_cast<std::size_t>(std::labs(2 * ones - all)));
            EXPECT_EQ(maskImbalance(grid, mask, columns, bits), imbalance.back());
        }
        const int chosen = chooseMask(grid, columns, bits);
        for (int mask = 0; mask < kMaskCount; ++mask) {
            EXPECT_TRUE(imbalance[chosen] < imbalance[mask] ||
                        (imbalance[chosen] == imbalance[mask] && chosen <= mask))
                << "seed " << random.seed() << " trial " << trial;
        }
    }
}

TEST(ModuleStream, BlockToModulesUsesTheForcedOrChosenMask) {
    const std::vector<std::uint8_t> block = {0x00, 0x00, 0x00};
    int used = -2;
    const ModuleList plain =
        blockToModules(block, CodeType::BlackAndWhite, Layout::Horizontal, 2, 12, 0, &used);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(plain, ModuleList(24, 0));
    const ModuleList masked =
        blockToModules(block, CodeType::BlackAndWhite, Layout::Horizontal, 2, 12, 1, &used);
    EXPECT_EQ(used, 1);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(masked[i], i >= 12 ? 1 : 0) << i;
    }
    blockToModules(block, CodeType::Color, Layout::Horizontal, 2, 12, -1, &used);
    EXPECT_EQ(used, 1);  // all-white colour grid: masks 1 and 2 tie, the lower wins
    EXPECT_THROW(blockToModules(block, CodeType::Color, Layout::Horizontal, 2, 12, 5, nullptr),
                 QCException);
    EXPECT_THROW(blockToModules(block, CodeType::Color, Layout::Horizontal, 2, 12, -2, nullptr),
                 QCException);
}

}  // namespace
}  // namespace qcl::writer
