#include "common/Angles.h"
#include "decoder/PolarHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "support/PolarPainter.h"

namespace qcl {
namespace {

// One row image from a pattern: 'b' black, anything else white.
cv::Mat rowImage(const std::string& pattern) {
    cv::Mat image(1, static_cast<int>(pattern.size()), CV_8UC1);
    for (int x = 0; x < image.cols; ++x) {
        image.at<std::uint8_t>(0, x) = pattern[x] == 'b' ? 0 : 255;
    }
    return image;
}

void expectRun(const char* pattern, cv::Point2d start, bool black, bool skip, int count,
               cv::Point2d end, cv::Point2d step = {1, 0}) {
    SCOPED_TRACE(std::string(pattern) + (black ? " black" : " white") + (skip ? " skip" : "") +
                 " from x " + std::to_string(start.x));
    const cv::Mat image = rowImage(pattern);
    EXPECT_EQ(
        black ? countBlackRun(start, step, image, skip) : countWhiteRun(start, step, image, skip),
        count);
    EXPECT_EQ(start, end);
}

TEST(RayRunTest, CountsBridgesAndWhereTheWalkStops) {
    expectRun("bwbbbww", {0, 0}, true, false, 4, {5, 0});       // a run of one bridges one pixel
    expectRun("bbwwbbbw", {0, 0}, true, false, 2, {2, 0});      // a longer run does not
    expectRun("wbwwb", {0, 0}, false, false, 3, {4, 0});        // white runs bridge too
    expectRun("wwwbbw", {0, 0}, true, true, 2, {5, 0});         // skipOther
    expectRun("wwwbbw", {0, 0}, true, false, 0, {0, 0});        // no skip: nothing counted
    expectRun("wwww", {0, 0}, true, true, 0, {4, 0});           // skipped out of the image
    expectRun("wbbb", {1, 0}, true, false, 3, {4, 0});          // ends at the border
    expectRun("bbbb", {-3, 0}, true, true, 0, {-3, 0});         // starts outside: stays
    expectRun("bbbb", {0, 5}, false, true, 0, {0, 5});          // below the image: stays
    expectRun("wwwbw", {2.5, 0}, true, false, 1, {4.5, 0});     // 2.5 reads column 3, bridges
    expectRun("wwwbw", {-0.5, 0}, false, false, 0, {-0.5, 0});  // -0.5 rounds to -1
    expectRun("bbbb", {0, 0}, true, false, 0, {0, 0}, {0, 0});  // a standing walk ends at once
}

// 401 x 401 white image with black sectors [lo, hi) x [inner, outer) about (200.5, 200.5).
const cv::Point2d kCenter(200.5, 200.5);
struct Sector {
    double lo, hi, inner, outer;
};
cv::Mat sectors(const std::vector<Sector>& black) {
    return test::paintPolar({401, 401}, kCenter, [&](double rho, double angle) {
        for (const Sector& s : black) {
            const double phi = s.lo + std::fmod(angle - s.lo + 4 * kPi, 2 * kPi);
            if (rho >= s.inner && rho < s.outer && phi < s.hi) {
                return true;
            }
        }
        return false;
    });
}

double markerEdge(const cv::Mat& image, double start, double step) {
    return findMarkerEdgeAngle(start, step, image, kCenter, 20.0, 130, 0.8);
}

// Rounding near the start radius lets grazing rays still hit: an edge lies a little outside.
void expectMarkerEdges(const char* name, const std::vector<Sector>& bar, double edge) {
    SCOPED_TRACE(name);
    const cv::Mat image = sectors(bar);
    EXPECT_NEAR(markerEdge(image, 0.0, kPi / 180), edge, 0.02);
    EXPECT_NEAR(markerEdge(image, 0.0, -kPi / 180), -edge, 0.02);
}

TEST(EdgeSearchTest, MarkerEdgesOfABarAndOfABarWithAWhiteGap) {
    expectMarkerEdges("solid", {{-0.1, 0.1, 20, 150}}, 0.1);
    expectMarkerEdges("short gap bridged", {{-0.1, 0.1, 20, 60}, {-0.1, 0.1, 64, 150}}, 0.1);
    // Not bridged: no ray hits, the search returns its start.
    expectMarkerEdges("long gap", {{-0.1, 0.1, 20, 60}, {-0.1, 0.1, 100, 150}}, 0.0);
}

TEST(EdgeSearchTest, FeatureThatNeverEndsStopsAfterAQuarterTurn) {
    const cv::Mat image(401, 401, CV_8UC1, cv::Scalar(0));
    const double step = kPi / 180;
    for (const double sign : {1.0, -1.0}) {
        const double beyond = (markerEdge(image, 1.0, sign * step) - 1.0) * sign - kPi / 2;
        EXPECT_GT(beyond, 0.0) << sign;
        EXPECT_LE(beyond, step + 1e-9) << sign;
    }
}

// Slots on an even grid of n from `start`, measured where `measured` holds, else interpolated.
std::vector<GridSlot> evenGrid(double start, int n, const std::function<bool(int)>& measured) {
    std::vector<GridSlot> grid;
    for (int i = 0; i < n; ++i) {
        grid.push_back({start + i * 2 * kPi / n, 0.0f, i, !measured(i)});
    }
    return grid;
}

void expectGrid(const char* name, const std::vector<double>& angles,
                const std::vector<int>& selected, int n, bool fill,
                const std::vector<GridSlot>& expected) {
    SCOPED_TRACE(name);
    const std::vector<GridSlot> grid = fitAngularGrid(angles, selected, n, fill);
    ASSERT_EQ(grid.size(), expected.size());
    for (std::size_t i = 0; i < grid.size(); ++i) {
        EXPECT_NEAR(grid[i].angle, expected[i].angle, 1e-9) << i;
        EXPECT_EQ(grid[i].radius, 0.0f) << i;
        EXPECT_EQ(grid[i].slot, expected[i].slot) << i;
        EXPECT_EQ(grid[i].interpolated, expected[i].interpolated) << i;
    }
}

TEST(AngularGridTest, SnapsSelectedAnglesAndFillsOrLeavesGaps) {
    const double s = kPi / 4;
    expectGrid("empty selection", {1.0, 2.0}, {}, 4, true, {});
    expectGrid("one angle filled", {1.0}, {0}, 4, true, evenGrid(1.0, 4, [](int i) { return !i; }));
    expectGrid("one angle alone", {1.0}, {0}, 4, false, {{1.0, 0.0f, 0, false}});
    expectGrid("second in the same slot ignored", {0.1, 0.15, 1.7}, {0, 1, 2}, 4, false,
               {{0.1, 0.0f, 0, false}, {1.7, 0.0f, 1, false}});
    // Interpolation past 2 pi wraps: the smallest angle, an interpolated one, comes first.
    expectGrid("rotated to the smallest angle", {5.0}, {0}, 4, true,
               evenGrid(5.0 + 2 * s - 2 * kPi, 4, [](int i) { return i == 3; }));
    const double raw = 1.0 + 2 * s + 0.01;
    expectGrid("gap takes an unselected raw angle", {1.0, raw, 1.0 + 3 * s}, {0, 2}, 8, false,
               {{1.0, 0.0f, 0, false}, {raw, 0.0f, 2, false}, {1.0 + 3 * s, 0.0f, 3, false}});
    expectGrid("gaps between and after interpolated", {0.2, 0.2 + 2 * s}, {0, 1}, 8, true,
               evenGrid(0.2, 8, [](int i) { return i == 0 || i == 2; }));
}

}  // namespace
}  // namespace qcl
