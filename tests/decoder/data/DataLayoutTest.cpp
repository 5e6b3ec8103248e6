#include "decoder/data/DataLayout.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "decoder/data/DataMask.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

using Order = std::vector<int>;

// The grid entry (row * columns + column) read at each stream position.
Order orderOf(Layout layout, int rows, int columns) {
    Order order;
    EXPECT_TRUE(walkLayout(layout, rows, columns, [&](int position, int index) {
        EXPECT_EQ(position, static_cast<int>(order.size()));  // stream order
        order.push_back(index);
    }));
    return order;
}

TEST(WalkLayout, WorkedExamples) {
    Order identity(12);
    std::iota(identity.begin(), identity.end(), 0);
    const struct {
        Layout layout;
        int rows, columns;
        Order order;
    } cases[] = {
        {Layout::Horizontal, 3, 4, identity},
        {static_cast<Layout>(6), 3, 4, identity},  // unknown values read as Horizontal
        {static_cast<Layout>(-1), 3, 4, identity},
        {Layout::Vertical, 3, 4, {0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11}},
        {Layout::VerticalSnake, 3, 4, {0, 4, 8, 9, 5, 1, 2, 6, 10, 11, 7, 3}},
        // The third band is one column wide and is read downward.
        {Layout::HorizontalShortSnake, 3, 5, {0, 1, 6, 5, 10, 11, 12, 13, 8, 7, 2, 3, 4, 9, 14}},
        {Layout::HorizontalSnake, 4, 10, {0,  1,  2,  3,  13, 12, 11, 10, 20, 21, 22, 23, 33, 32,
                                          31, 30, 34, 35, 36, 37, 27, 26, 25, 24, 14, 15, 16, 17,
                                          7,  6,  5,  4,  8,  9,  19, 18, 28, 29, 39, 38}},
        {Layout::HorizontalShortSnake, 4, 10, {0,  1,  11, 10, 20, 21, 31, 30, 32, 33,
                                               23, 22, 12, 13, 3,  2,  4,  5,  15, 14,
                                               24, 25, 35, 34, 36, 37, 27, 26, 16, 17,
                                               7,  6,  8,  9,  19, 18, 28, 29, 39, 38}},
        {Layout::Scrambled, 4, 10, {0,  6,  22, 28, 10, 16, 32, 38, 1,  7,  23, 29, 11, 17,
                                    33, 39, 2,  8,  24, 12, 18, 34, 3,  9,  25, 13, 19, 35,
                                    4,  20, 26, 14, 30, 36, 5,  21, 27, 15, 31, 37}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(orderOf(c.layout, c.rows, c.columns), c.order)
            << c.layout << " " << c.rows << "x" << c.columns;
    }
}

TEST(WalkLayout, ScrambledRefusesGridsItWouldLeave) {
    EXPECT_TRUE(layoutFits(Layout::Scrambled, 2, 4));
    EXPECT_TRUE(layoutFits(Layout::HorizontalSnake, 1, 1));
    int visits = 0;
    EXPECT_FALSE(walkLayout(Layout::Scrambled, 1, 40, [&](int, int) { ++visits; }));
    EXPECT_FALSE(walkLayout(Layout::Scrambled, 5, 3, [&](int, int) { ++visits; }));
    EXPECT_FALSE(walkLayout(Layout::Vertical, -1, 3, [&](int, int) { ++visits; }));
    EXPECT_EQ(visits, 0);
}

TEST(ApplyLayout, RewritesTheListIntoStreamOrder) {
    const SamplingGrid grid = test::makeGrid(9, 3, true);  // 3 rows x 4 columns
    for (const Layout layout :
         {Layout::Horizontal, Layout::Vertical, Layout::VerticalSnake, Layout::HorizontalSnake,
          Layout::HorizontalShortSnake, Layout::Scrambled}) {
        ModuleList modules(12);
        std::iota(modules.begin(), modules.end(), 0);  // entry i holds i, mask 0 keeps it
        ASSERT_EQ(applyMaskAndLayout(grid, modules, 0, layout), Success);
        const Order order = orderOf(layout, 3, 4);
        EXPECT_EQ(modules, ModuleList(order.begin(), order.end())) << layout;
    }
}

}  // namespace
}  // namespace qcl
