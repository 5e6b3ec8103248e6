#include "writer/ModuleStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/ErrorCodes.h"

namespace qcl::writer {
namespace {

// The chosen mask has the smallest |set bits - clear bits|, the lowest index on ties.
TEST(ModuleStream, ChosenMaskIsTheMostBalancedAndLowestOnTies) {
    EXPECT_EQ(chooseMask(ModuleList(2 * 11, 0), 11, 1), 1);  // masks 1 and 2 tie at zero
    // Row 1 already black: mask 0 balances it, mask 1 would clear every module.
    const ModuleList rowOne{0, 0, 0, 0, 1, 1, 1, 1};
    EXPECT_EQ(chooseMask(rowOne, 4, 1), 0);
    EXPECT_EQ(maskImbalance(rowOne, 1, 4, 1), 8);
    EXPECT_EQ(maskImbalance(ModuleList{2, 0}, 0, 2, 3), 4);  // one set bit of six
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
