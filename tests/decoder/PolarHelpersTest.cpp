#include "decoder/PolarHelpers.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <string>

namespace qcl {
namespace {

constexpr double kPi = CV_PI;

// One row image from a pattern: 'b' black, anything else white.
cv::Mat rowImage(const std::string& pattern) {
    cv::Mat image(1, static_cast<int>(pattern.size()), CV_8UC1);
    for (int x = 0; x < image.cols; ++x) {
        image.at<std::uint8_t>(0, x) = pattern[x] == 'b' ? 0 : 255;
    }
    return image;
}

const cv::Point2d kRight(1.0, 0.0);

TEST(RayRunTest, SinglePixelRunBridgesOneOtherPixel) {
    const cv::Mat image = rowImage("bwbbbww");
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 4);
    EXPECT_DOUBLE_EQ(point.x, 5.0);  // first white pixel after the run
}

TEST(RayRunTest, LongerRunIsNotBridged) {
    const cv::Mat image = rowImage("bbwwbbbw");
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 2);
    EXPECT_DOUBLE_EQ(point.x, 2.0);
    // The caller can go on from where the run ended.
    EXPECT_EQ(countWhiteRun(point, kRight, image, false), 2);
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 3);
}

TEST(RayRunTest, WhiteRunBridgesToo) {
    const cv::Mat image = rowImage("wbwwb");
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countWhiteRun(point, kRight, image, false), 3);
    EXPECT_DOUBLE_EQ(point.x, 4.0);
}

TEST(RayRunTest, SkipOtherSkipsLeadingPixels) {
    const cv::Mat image = rowImage("wwwbbw");
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, true), 2);
    EXPECT_DOUBLE_EQ(point.x, 5.0);
    point = {0.0, 0.0};
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 0);
    EXPECT_DOUBLE_EQ(point.x, 0.0);
}

TEST(RayRunTest, RayStartingOutsideCountsNothingAndStays) {
    const cv::Mat image = rowImage("bbbb");
    for (bool skip : {false, true}) {
        cv::Point2d point(-3.0, 0.0);
        EXPECT_EQ(countBlackRun(point, kRight, image, skip), 0);
        EXPECT_DOUBLE_EQ(point.x, -3.0);
        point = {0.0, 5.0};
        EXPECT_EQ(countWhiteRun(point, kRight, image, skip), 0);
        EXPECT_DOUBLE_EQ(point.y, 5.0);
    }
}

TEST(RayRunTest, SkipOtherToTheBorderLeavesPointOutside) {
    const cv::Mat image = rowImage("wwww");
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, true), 0);
    EXPECT_DOUBLE_EQ(point.x, 4.0);
}

TEST(RayRunTest, RunEndsAtTheImageBorder) {
    const cv::Mat image = rowImage("wbbb");
    cv::Point2d point(1.0, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 3);
    EXPECT_DOUBLE_EQ(point.x, 4.0);
}

TEST(RayRunTest, PixelTestRoundsHalfAwayFromZero) {
    // Column 2 is white, 3 black: x = 2.5 must read column 3 (ties to even would read 2).
    const cv::Mat image = rowImage("wwwbw");
    cv::Point2d point(2.5, 0.0);
    EXPECT_EQ(countBlackRun(point, kRight, image, false), 1);
    // -0.5 rounds to -1: outside the image.
    point = {-0.5, 0.0};
    EXPECT_EQ(countWhiteRun(point, kRight, image, false), 0);
    EXPECT_DOUBLE_EQ(point.x, -0.5);
}

TEST(RayRunTest, DiagonalStepReadsRoundedPositions) {
    cv::Mat image(10, 10, CV_8UC1, cv::Scalar(255));
    for (int i = 0; i < 5; ++i) {
        image.at<std::uint8_t>(i, i) = 0;
    }
    cv::Point2d point(0.0, 0.0);
    EXPECT_EQ(countBlackRun(point, cv::Point2d(1.0, 1.0), image, false), 5);
    EXPECT_DOUBLE_EQ(point.y, 5.0);
}

// 401 x 401 white image with centre (200.5, 200.5).
const cv::Point2d kCenter(200.5, 200.5);

// Black sector between angles lo and hi from radius inner to outer.
void drawSector(cv::Mat& image, double lo, double hi, double inner, double outer) {
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            const double dx = x - kCenter.x;
            const double dy = y - kCenter.y;
            const double rho = std::hypot(dx, dy);
            const double phi = lo + std::fmod(std::atan2(dy, dx) - lo + 4 * kPi, 2 * kPi);
            if (rho >= inner && rho < outer && phi >= lo && phi < hi) {
                image.at<std::uint8_t>(y, x) = 0;
            }
        }
    }
}

cv::Mat whiteImage() {
    return cv::Mat(401, 401, CV_8UC1, cv::Scalar(255));
}

TEST(EdgeSearchTest, MarkerEdgesOnBothSidesOfABar) {
    cv::Mat image = whiteImage();
    drawSector(image, -0.1, 0.1, 20.0, 150.0);
    const double right = findMarkerEdgeAngle(0.0, kPi / 180, image, kCenter, 20.0, 130, 0.8);
    const double left = findMarkerEdgeAngle(0.0, -kPi / 180, image, kCenter, 20.0, 130, 0.8);
    // Rounding near the start radius lets grazing rays still hit: the edge lies a little outside.
    EXPECT_NEAR(right, 0.1, 0.02);
    EXPECT_NEAR(left, -0.1, 0.02);
}

TEST(EdgeSearchTest, MarkerBridgesShortWhiteGapInsideTheBar) {
    cv::Mat image = whiteImage();
    drawSector(image, -0.1, 0.1, 20.0, 60.0);
    drawSector(image, -0.1, 0.1, 64.0, 150.0);
    // The first black run is 40 long; without the bridge no ray would hit and the search
    // would return its start.
    const double right = findMarkerEdgeAngle(0.0, kPi / 180, image, kCenter, 20.0, 130, 0.8);
    EXPECT_NEAR(right, 0.1, 0.02);
}

TEST(EdgeSearchTest, LongWhiteGapIsNotBridged) {
    cv::Mat image = whiteImage();
    drawSector(image, -0.1, 0.1, 20.0, 60.0);
    drawSector(image, -0.1, 0.1, 100.0, 150.0);
    EXPECT_DOUBLE_EQ(findMarkerEdgeAngle(0.0, kPi / 180, image, kCenter, 20.0, 130, 0.8), 0.0);
}

TEST(EdgeSearchTest, TinyInitialStepReturnsStart) {
    cv::Mat image = whiteImage();
    drawSector(image, -0.1, 0.1, 20.0, 150.0);
    EXPECT_DOUBLE_EQ(findMarkerEdgeAngle(0.05, 0.00025, image, kCenter, 20.0, 130, 0.8), 0.05);
    EXPECT_DOUBLE_EQ(findMarkerEdgeAngle(0.05, -0.0002, image, kCenter, 20.0, 130, 0.8), 0.05);
    EXPECT_DOUBLE_EQ(findRunEdgeAngle(0.05, 0.0001, image, kCenter, 20.0, 30, 0.9), 0.05);
}

TEST(EdgeSearchTest, FeatureThatNeverEndsStopsAfterAQuarterTurn) {
    const cv::Mat image(401, 401, CV_8UC1, cv::Scalar(0));
    const double step = kPi / 180;
    const double edge = findMarkerEdgeAngle(1.0, step, image, kCenter, 20.0, 100, 0.8);
    EXPECT_GT(edge, 1.0 + kPi / 2);
    EXPECT_LE(edge, 1.0 + kPi / 2 + step + 1e-9);
    const double back = findMarkerEdgeAngle(1.0, -step, image, kCenter, 20.0, 100, 0.8);
    EXPECT_LT(back, 1.0 - kPi / 2);
    EXPECT_GE(back, 1.0 - kPi / 2 - step - 1e-9);
}

TEST(EdgeSearchTest, MissAtTheStartReturnsStart) {
    cv::Mat image = whiteImage();
    drawSector(image, -0.1, 0.1, 20.0, 150.0);
    EXPECT_DOUBLE_EQ(findMarkerEdgeAngle(1.0, kPi / 180, image, kCenter, 20.0, 130, 0.8), 1.0);
    EXPECT_DOUBLE_EQ(findMarkerEdgeAngle(1.0, -kPi / 180, image, kCenter, 20.0, 130, 0.8), 1.0);
}

TEST(EdgeSearchTest, RunEdgesOfAShortPlaceInARing) {
    cv::Mat image = whiteImage();
    // Ring 20..60 black everywhere except a short place at [0.5, 0.7) where it is 20..26.
    drawSector(image, 0.7, 0.5 + 2 * kPi, 20.0, 60.0);
    drawSector(image, 0.5, 0.7, 20.0, 26.0);
    const double left = findRunEdgeAngle(0.6, -kPi / 1800, image, kCenter, 20.0, 26, 0.9);
    const double right = findRunEdgeAngle(0.6, kPi / 180, image, kCenter, 20.0, 26, 0.9);
    EXPECT_NEAR(left, 0.5, 0.025);
    EXPECT_NEAR(right, 0.7, 0.025);
    EXPECT_GT(right - left, 0.18);
}

TEST(AngularGridTest, EmptySelectionGivesEmptyGrid) {
    EXPECT_TRUE(fitAngularGrid({1.0, 2.0}, {}, 4, true).empty());
}

TEST(AngularGridTest, SingleAngleFilledRoundTheCircle) {
    const auto grid = fitAngularGrid({1.0}, {0}, 4, true);
    ASSERT_EQ(grid.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(grid[i].angle, 1.0 + i * kPi / 2, 1e-12) << i;
        EXPECT_EQ(grid[i].slot, i);
        EXPECT_EQ(grid[i].interpolated, i != 0);
        EXPECT_EQ(grid[i].radius, 0.0f);
    }
}

TEST(AngularGridTest, SingleAngleWithoutFillGivesOneSlot) {
    const auto grid = fitAngularGrid({1.0}, {0}, 4, false);
    ASSERT_EQ(grid.size(), 1u);
    EXPECT_DOUBLE_EQ(grid[0].angle, 1.0);
    EXPECT_EQ(grid[0].slot, 0);
    EXPECT_FALSE(grid[0].interpolated);
}

TEST(AngularGridTest, SecondAngleInTheSameSlotIsIgnored) {
    const auto grid = fitAngularGrid({0.1, 0.15, 1.7}, {0, 1, 2}, 4, false);
    ASSERT_EQ(grid.size(), 2u);
    EXPECT_DOUBLE_EQ(grid[0].angle, 0.1);
    EXPECT_DOUBLE_EQ(grid[1].angle, 1.7);
    EXPECT_EQ(grid[1].slot, 1);
}

TEST(AngularGridTest, RotatesSoTheSmallestAngleComesFirst) {
    // Interpolation past 2 pi wraps: the smallest angle is an interpolated slot.
    const auto grid = fitAngularGrid({5.0}, {0}, 4, true);
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_NEAR(grid[0].angle, 5.0 + kPi / 2 - 2 * kPi, 1e-12);
    EXPECT_TRUE(grid[0].interpolated);
    EXPECT_DOUBLE_EQ(grid[3].angle, 5.0);
    EXPECT_FALSE(grid[3].interpolated);
    EXPECT_EQ(grid[3].slot, 3);
}

TEST(AngularGridTest, GapBetweenSelectedTakesUnselectedRawAngle) {
    const double step = kPi / 4;
    const std::vector<double> angles{1.0, 1.0 + 2 * step + 0.01, 1.0 + 3 * step};
    const auto grid = fitAngularGrid(angles, {0, 2}, 8, false);
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_EQ(grid[1].slot, 2);
    EXPECT_DOUBLE_EQ(grid[1].angle, angles[1]);
    EXPECT_FALSE(grid[1].interpolated);
    EXPECT_EQ(grid[2].slot, 3);
}

TEST(AngularGridTest, MissingSlotsAreInterpolatedEvenly) {
    const double step = 2 * kPi / 16;
    std::vector<double> angles;
    std::vector<int> selected;
    for (int i = 0; i < 16; ++i) {
        if (i % 3 != 1) {
            selected.push_back(static_cast<int>(angles.size()));
            angles.push_back(0.2 + i * step);
        }
    }
    const auto grid = fitAngularGrid(angles, selected, 16, true);
    ASSERT_EQ(grid.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(grid[i].angle, 0.2 + i * step, 1e-9) << i;
        EXPECT_EQ(grid[i].interpolated, i % 3 == 1) << i;
    }
}

}  // namespace
}  // namespace qcl
