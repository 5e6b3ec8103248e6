#include "decoder/data/DataMask.h"

#include <gtest/gtest.h>

#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using test::makeGrid;

TEST(MaskInverts, HandComputedEntries) {
    const struct {
        int mask, row, column;
        bool inverts;
    } cases[] = {
        {0, 1, 1, false},  {1, 1, 0, true},  {1, 2, 5, false}, {2, 1, 2, true},
        {2, 3, 5, false},  {3, 1, 1, true},  {3, 0, 3, true},  {3, 2, 2, false},
        {3, 3, 2, false},  {4, 3, 0, true},  // (0 - 3) / 2 = -1: odd
        {4, 2, 1, false},                    // (1 - 2) / 2 = 0
        {4, 1, 0, false},                    // -1 / 2 truncates to 0 (flooring would give -1)
        {4, 7, 0, true},   {4, 4, 0, false}, {4, 0, 3, true},  {5, 1, 0, false},
        {-1, 1, 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(maskInverts(c.mask, c.row, c.column), c.inverts)
            << "mask " << c.mask << " at " << c.row << "," << c.column;
    }
}

// Inverting is V minus the value within the module's bits: 2 (red) becomes 5 (cyan), 0 (white)
// becomes 7 (yellow).
TEST(ApplyMask, InvertsWithinTheModuleBits) {
    ModuleList colour{2, 0, 2, 0};  // 2 rows x 2 columns; mask 1 inverts row 1
    ASSERT_EQ(applyMaskAndLayout(makeGrid(7, 2, true), colour, 1, Layout::Horizontal), Success);
    EXPECT_EQ(colour, (ModuleList{2, 0, 5, 7}));
    ModuleList blackAndWhite{1, 1, 1, 0, 0, 0};  // 2 rows x 3 columns; mask 2: row + column odd
    ASSERT_EQ(applyMaskAndLayout(makeGrid(8, 2, false), blackAndWhite, 2, Layout::Horizontal),
              Success);
    EXPECT_EQ(blackAndWhite, (ModuleList{1, 0, 1, 1, 0, 1}));
}

// The mask works on grid positions, so it must be removed before the layout reorders.
TEST(ApplyMask, MaskUsesGridPositionsBeforeTheLayout) {
    ModuleList modules(12, 0);  // 3 rows x 4 columns
    ASSERT_EQ(applyMaskAndLayout(makeGrid(9, 3, false), modules, 1, Layout::Vertical), Success);
    EXPECT_EQ(modules, (ModuleList{0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}));
}

// No data slot, no ring, a list of the wrong length or Scrambled on one ring: the list is
// emptied, so that nothing can be mistaken for data.
TEST(ApplyMask, GridsThatCannotCarryDataAreRejected) {
    const struct {
        int modulesPerRing, rings;
        std::size_t length;
        Layout layout;
    } cases[] = {{0, 4, 0, Layout::Horizontal},  {5, 4, 0, Layout::Horizontal},
                 {20, 0, 0, Layout::Vertical},   {9, 3, 11, Layout::Vertical},
                 {20, 1, 15, Layout::Scrambled}, {8, 3, 9, Layout::Scrambled}};
    for (const auto& c : cases) {
        ModuleList modules(c.length, 1);
        EXPECT_EQ(
            applyMaskAndLayout(makeGrid(c.modulesPerRing, c.rings, false), modules, 1, c.layout),
            WrongGrid)
            << c.modulesPerRing << " x " << c.rings;
        EXPECT_TRUE(modules.empty());
    }
}

}  // namespace
}  // namespace qcl
