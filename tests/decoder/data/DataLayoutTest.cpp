#include "decoder/data/DataLayout.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "decoder/data/DataMask.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::Layout;
using Order = std::vector<int>;

Order orderOf(Layout layout, int rows, int columns) {
    Order order(static_cast<std::size_t>(rows * columns), -1);
    int expectedPosition = 0;
    const bool walked = qcl::walkLayout(layout, rows, columns, [&](int position, int index) {
        EXPECT_EQ(position, expectedPosition++);  // stream order
        order.at(static_cast<std::size_t>(position)) = index;
    });
    EXPECT_TRUE(walked);
    return order;
}

TEST(WalkLayout, VerticalLayoutsOnThreeByFour) {
    EXPECT_EQ(orderOf(Layout::Vertical, 3, 4), (Order{0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11}));
    EXPECT_EQ(orderOf(Layout::VerticalSnake, 3, 4), (Order{0, 4, 8, 9, 5, 1, 2, 6, 10, 11, 7, 3}));
}

TEST(WalkLayout, ShortSnakeWithANarrowLastBand) {
    EXPECT_EQ(orderOf(Layout::HorizontalShortSnake, 3, 5),
              (Order{0, 1, 6, 5, 10, 11, 12, 13, 8, 7, 2, 3, 4, 9, 14}));
}

TEST(WalkLayout, FourByTenGrid) {
    EXPECT_EQ(
        orderOf(Layout::HorizontalSnake, 4, 10),
        (Order{0,  1,  2,  3,  13, 12, 11, 10, 20, 21, 22, 23, 33, 32, 31, 30, 34, 35, 36, 37,
               27, 26, 25, 24, 14, 15, 16, 17, 7,  6,  5,  4,  8,  9,  19, 18, 28, 29, 39, 38}));
    EXPECT_EQ(
        orderOf(Layout::HorizontalShortSnake, 4, 10),
        (Order{0,  1,  11, 10, 20, 21, 31, 30, 32, 33, 23, 22, 12, 13, 3,  2,  4,  5,  15, 14,
               24, 25, 35, 34, 36, 37, 27, 26, 16, 17, 7,  6,  8,  9,  19, 18, 28, 29, 39, 38}));
    EXPECT_EQ(
        orderOf(Layout::Scrambled, 4, 10),
        (Order{0,  6,  22, 28, 10, 16, 32, 38, 1, 7,  23, 29, 11, 17, 33, 39, 2,  8,  24, 12,
               18, 34, 3,  9,  25, 13, 19, 35, 4, 20, 26, 14, 30, 36, 5,  21, 27, 15, 31, 37}));
}

TEST(WalkLayout, HorizontalAndUnknownValuesKeepGridOrder) {
    Order identity(12);
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(orderOf(Layout::Horizontal, 3, 4), identity);
    EXPECT_EQ(orderOf(static_cast<Layout>(6), 3, 4), identity);
    EXPECT_EQ(orderOf(static_cast<Layout>(-1), 3, 4), identity);
}

// Every layout must visit each module exactly once, whatever the grid, or bits get lost.
TEST(WalkLayout, EveryLayoutIsAPermutationOnEveryAllowedGrid) {
    for (int layout = 0; layout <= 5; ++layout) {
        for (int rows = 1; rows <= 12; ++rows) {
            for (int columns = 1; columns <= 75; ++columns) {
                const auto value = static_cast<Layout>(layout);
                if (!qcl::layoutFits(value, rows, columns)) {
                    continue;
                }
                std::vector<int> seen(static_cast<std::size_t>(rows * columns), 0);
                int visits = 0;
                const bool walked =
                    qcl::walkLayout(value, rows, columns, [&](int position, int index) {
                        ASSERT_EQ(position, visits);
                        ASSERT_GE(index, 0);
                        ASSERT_LT(index, rows * columns);
                        ++seen[static_cast<std::size_t>(index)];
                        ++visits;
                    });
                ASSERT_TRUE(walked) << layout << " " << rows << "x" << columns;
                ASSERT_EQ(visits, rows * columns);
                for (int count : seen) {
                    ASSERT_EQ(count, 1) << layout << " " << rows << "x" << columns;
                }
            }
        }
    }
}

TEST(WalkLayout, ScrambledRefusesGridsItWouldLeave) {
    EXPECT_FALSE(qcl::layoutFits(Layout::Scrambled, 1, 40));
    EXPECT_FALSE(qcl::layoutFits(Layout::Scrambled, 5, 3));
    EXPECT_TRUE(qcl::layoutFits(Layout::Scrambled, 2, 4));
    EXPECT_TRUE(qcl::layoutFits(Layout::HorizontalSnake, 1, 1));
    int visits = 0;
    EXPECT_FALSE(qcl::walkLayout(Layout::Scrambled, 1, 40, [&](int, int) { ++visits; }));
    EXPECT_FALSE(qcl::walkLayout(Layout::Scrambled, 5, 3, [&](int, int) { ++visits; }));
    EXPECT_FALSE(qcl::walkLayout(Layout::Vertical, -1, 3, [&](int, int) { ++visits; }));
    EXPECT_EQ(visits, 0);
}

TEST(ApplyLayout, RewritesTheListIntoStreamOrderAndLogsTheLayout) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(9, 3, true);  // 3 rows x 4 columns
    qcl::ModuleList modules(12);
    std::iota(modules.begin(), modules.end(), 0);  // entry i holds i, mask 0 keeps it
    {
        qcl::test::LogCapture log(qcl::LogLevel::All);
        ASSERT_EQ(qcl::applyMaskAndLayout(grid, modules, 0, Layout::VerticalSnake), qcl::Success);
        EXPECT_TRUE(log.contains("Trace\tapply vertical snake layout\n"));
    }
    EXPECT_EQ(modules, (qcl::ModuleList{0, 4, 8, 9, 5, 1, 2, 6, 10, 11, 7, 3}));

    const std::pair<Layout, const char*> messages[] = {
        {Layout::Horizontal, "apply horizontal layout"},
        {Layout::Vertical, "apply vertical layout"},
        {Layout::HorizontalSnake, "apply horizontal snake layout"},
        {Layout::HorizontalShortSnake, "apply small horizontal snake layout"},
        {Layout::Scrambled, "apply scrambled layout"},
        {static_cast<Layout>(9), "apply horizontal layout"}};
    for (const auto& [layout, message] : messages) {
        qcl::ModuleList copy(12, 1);
        qcl::test::LogCapture log(qcl::LogLevel::All);
        ASSERT_EQ(qcl::applyMaskAndLayout(grid, copy, 0, layout), qcl::Success);
        EXPECT_TRUE(log.contains(std::string("Trace\t") + message + "\n")) << message;
    }
}

TEST(ApplyLayout, ScrambledOnASingleRingIsAWrongGrid) {
    const qcl::SamplingGrid grid = qcl::test::makeGrid(20, 1, false);
    qcl::ModuleList modules(15, 1);
    EXPECT_EQ(qcl::applyMaskAndLayout(grid, modules, 1, Layout::Scrambled), qcl::WrongGrid);
    EXPECT_TRUE(modules.empty());  // nothing a frame decoder could mistake for data
}

}  // namespace
