#include "decoder/data/DataMask.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::Layout;
using qcl::maskInverts;

TEST(MaskInverts, EachMaskTestsItsQuantityForOddness) {
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 9; ++column) {
            EXPECT_FALSE(maskInverts(0, row, column));
            EXPECT_EQ(maskInverts(1, row, column), row % 2 == 1);
            EXPECT_EQ(maskInverts(2, row, column), (row + column) % 2 == 1);
            EXPECT_EQ(maskInverts(3, row, column), ((row + column) / 2) % 2 == 1);
            EXPECT_FALSE(maskInverts(5, row, column));
            EXPECT_FALSE(maskInverts(17, row, column));
            EXPECT_FALSE(maskInverts(-1, row, column));
        }
    }
}

TEST(MaskInverts, MaskFourTruncatesTowardZero) {
    EXPECT_TRUE(maskInverts(4, 3, 0));   // (0 - 3) / 2 = -1: odd
    EXPECT_FALSE(maskInverts(4, 2, 1));  // (1 - 2) / 2 = 0
    EXPECT_FALSE(maskInverts(4, 4, 0));  // -2: even
    EXPECT_TRUE(maskInverts(4, 7, 0));   // -3: odd
    EXPECT_TRUE(maskInverts(4, 0, 3));   // 1
    EXPECT_FALSE(maskInverts(4, 0, 1));  // 0
    EXPECT_FALSE(maskInverts(4, 1, 0));  // -1 / 2 truncates to 0 (flooring would give -1)
}

TEST(ApplyMask, ColourModulesInvertWithinThreeBits) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(7, 2, true);  // 2 rows x 2 columns
    qcl::ModuleList modules{2, 0, 2, 0};                             // row 1 is inverted by mask 1
    ASSERT_EQ(qcl::applyMaskAndLayout(grid, modules, 1, Layout::Horizontal), qcl::Success);
    EXPECT_EQ(modules, (qcl::ModuleList{2, 0, 5, 7}));
}

TEST(ApplyMask, BlackAndWhiteModulesInvertWithinOneBit) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(8, 2, false);  // 2 rows x 3 columns
    qcl::ModuleList modules{1, 1, 1, 0, 0, 0};
    ASSERT_EQ(qcl::applyMaskAndLayout(grid, modules, 2, Layout::Horizontal), qcl::Success);
    EXPECT_EQ(modules, (qcl::ModuleList{1, 0, 1, 1, 0, 1}));
}

TEST(ApplyMask, MaskZeroKeepsTheListButStillLogs) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(8, 2, false);
    qcl::ModuleList modules{1, 0, 1, 1, 0, 0};
    const qcl::ModuleList original = modules;
    qcl::test::LogCapture log(qcl::LogLevel::All);
    ASSERT_EQ(qcl::applyMaskAndLayout(grid, modules, 0, Layout::Horizontal), qcl::Success);
    EXPECT_EQ(modules, original);
    EXPECT_TRUE(log.contains("Debug\ttry mask                         : 0\n"));
    EXPECT_TRUE(log.contains("Trace\tunmasked modules: {1,0,1,1,0,0,}\n"));
}

// The mask works on grid coordinates, so it must be removed before the layout reorders.
TEST(ApplyMask, MaskUsesGridPositionsBeforeTheLayout) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(9, 3, false);  // 3 rows x 4 columns
    qcl::ModuleList modules(12, 0);
    ASSERT_EQ(qcl::applyMaskAndLayout(grid, modules, 1, Layout::Vertical), qcl::Success);
    // Row 1 (entries 4..7) became 1; vertical order reads rows 0, 1, 2 of every column.
    EXPECT_EQ(modules, (qcl::ModuleList{0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}));
}

TEST(ApplyMask, GridsWithoutDataSlotsAreRejected) {
    for (int modulesPerRing : {0, 3, 5}) {
        const qcl::SamplingGrid grid = qcl::test::makeGrid(modulesPerRing, 4, false);
        qcl::ModuleList modules;
        EXPECT_EQ(qcl::applyMaskAndLayout(grid, modules, 2, Layout::Horizontal), qcl::WrongGrid);
    }
    const qcl::SamplingGrid noRings = qcl::test::makeGrid(20, 0, false);
    qcl::ModuleList none;
    EXPECT_EQ(qcl::applyMaskAndLayout(noRings, none, 0, Layout::Vertical), qcl::WrongGrid);
}

TEST(ApplyMask, ListOfTheWrongLengthIsRejected) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(9, 3, false);
    qcl::ModuleList modules(11, 1);
    EXPECT_EQ(qcl::applyMaskAndLayout(grid, modules, 3, Layout::Vertical), qcl::WrongGrid);
    EXPECT_TRUE(modules.empty());
}

}  // namespace
