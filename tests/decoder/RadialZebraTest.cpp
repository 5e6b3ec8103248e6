#include "decoder/RadialZebra.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeStages.h"
#include "support/PolarPainter.h"
#include "support/StageDriver.h"

namespace qcl {
namespace {

using test::LogCapture;
using test::paintPolar;

const cv::Size kSize(400, 400);
const cv::Point2d kCenter(200.0, 200.0);

// Concentric black bands [from, to) about the image centre. Along the +x ray the walk then sees
// run lengths equal to the band widths exactly.
cv::Mat bands(const std::vector<std::pair<int, int>>& black) {
    return paintPolar(kSize, kCenter, [&](double rho, double) {
        return std::any_of(black.begin(), black.end(),
                           [&](const auto& b) { return rho >= b.first && rho < b.second; });
    });
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Twice the module angle 0 puts the three rays of the walk on top of each other, at angle 0.
RadialZebra walk(const cv::Mat& image, int p1, int rOut, int p0, std::vector<std::string>* log) {
    LogCapture capture(LogLevel::All);
    const RadialZebra zebra = findRadialZebra(image, 0.0, 0.0, p1, rOut, p0);
    if (log != nullptr) {
        *log = capture.lines();
    }
    return zebra;
}

TEST(FindRadialZebra, EvenModulesGiveRingsAndRadii) {
    std::vector<std::string> log;
    const RadialZebra z = walk(bands({{40, 52}, {64, 76}, {88, 100}}), 40, 100, 16, &log);
    // Five modules of 12: 4 rings; pitch (100 - 16) / 7 = 12.
    EXPECT_EQ(z.ringCount, 4);
    EXPECT_DOUBLE_EQ(z.lastRingRadius, 82.0);
    EXPECT_DOUBLE_EQ(z.firstRingRadius, 46.0);
    EXPECT_DOUBLE_EQ(z.angle, 0.0);
    EXPECT_DOUBLE_EQ(z.innerEdge, 16.0);
    EXPECT_DOUBLE_EQ(z.outerEdge, 100.0);
    // rOut - p1 = 60: W = (20 + 5) / 2 = 12, maxVar = 144.
    EXPECT_TRUE(contains(log, "Radial Zebra var < maxVar : 0 < 144"))
        << ::testing::PrintToString(log);
    EXPECT_TRUE(contains(log, "Radial Zebra minRadius, maxRadius: 40, 100"));
    EXPECT_TRUE(contains(log, "Radial Zebra module sizes: [12,12,12,12,12,]"));
    EXPECT_TRUE(contains(log, "first module is white: 0"));
    EXPECT_TRUE(contains(log, "firstModuleOffset: 0"));
}

TEST(FindRadialZebra, VarianceFromWUpToWSquaredUsesHalfTheInnerGap) {
    // Sizes [41, 19]: variance 121, above W = 12 and below 144. The module size is then
    // (p1 - p0) / 2 = 15: round(90 / 15) - 3 = 3 rings (the mean, 30, would give 2).
    RadialZebra z = walk(bands({{81, 100}}), 40, 100, 10, nullptr);
    EXPECT_EQ(z.ringCount, 3);
    EXPECT_DOUBLE_EQ(z.lastRingRadius, 100.0 - 1.5 * 15.0);
    EXPECT_DOUBLE_EQ(z.firstRingRadius, 15.0 * 0.5 + 40.0);
    // Sizes [42, 18]: variance 144 is not below maxVar.
    z = walk(bands({{82, 100}}), 40, 100, 10, nullptr);
    EXPECT_EQ(z.ringCount, 0);
}

TEST(FindRadialZebra, OnePixelBlackAtTheStartIsNotTheFirstModule) {
    std::vector<std::string> log;
    const RadialZebra z = walk(bands({{40, 41}, {53, 65}, {77, 89}}), 40, 88, 16, &log);
    EXPECT_TRUE(contains(log, "blackPixels: 12")) << ::testing::PrintToString(log);
    EXPECT_TRUE(contains(log, "whitePixels: 12"));
    EXPECT_TRUE(contains(log, "first module is white: 1"));
    EXPECT_TRUE(contains(log, "firstModuleOffset: 0"));
    EXPECT_TRUE(contains(log, "Radial Zebra module sizes: [12,12,12,12,]"));
    EXPECT_EQ(z.ringCount, 3);
}

TEST(FindRadialZebra, LastWhiteModuleIsSplitOrMerged) {
    std::vector<std::string> log;
    // A last white run of 24 reaching rOut holds two modules.
    RadialZebra z = walk(bands({{40, 52}, {64, 76}, {100, 110}}), 40, 100, 16, &log);
    EXPECT_TRUE(contains(log, "Radial Zebra module sizes: [12,12,12,12,12,]"))
        << ::testing::PrintToString(log);
    EXPECT_EQ(z.ringCount, 4);
    // A last white run of 8 of which 6 lie beyond rOut: the 2 left join the module before.
    z = walk(bands({{40, 52}, {64, 76}, {88, 98}, {106, 120}}), 40, 100, 16, &log);
    EXPECT_TRUE(contains(log, "Radial Zebra module sizes: [12,12,12,12,12,]"))
        << ::testing::PrintToString(log);
    EXPECT_EQ(z.ringCount, 4);
}

TEST(FindRadialZebra, RingCountIsNeverOne) {
    // Two modules of 30: count - 1 = 1 and round(70 / 30) - 3 = -1, so 2 rings.
    const RadialZebra z = walk(bands({{70, 100}}), 40, 100, 30, nullptr);
    EXPECT_EQ(z.ringCount, 2);
    EXPECT_DOUBLE_EQ(z.lastRingRadius, 100.0 - 1.5 * 14.0);
    EXPECT_DOUBLE_EQ(z.firstRingRadius, 7.0 + 40.0);
}

TEST(FindRadialZebra, LastRingNotBeyondTheFirstIsNoZebra) {
    // Sizes [5, 5] from p1 = 90 with p0 = 0: 17 rings of pitch 5, first = last = 92.5.
    EXPECT_EQ(walk(bands({{95, 100}}), 90, 100, 0, nullptr).ringCount, 0);
    // No module at all.
    EXPECT_EQ(walk(cv::Mat(kSize, CV_8UC1, cv::Scalar(255)), 40, 100, 16, nullptr).ringCount, 0);
}

TEST(FindRadialZebra, NoModuleSizeIsNoZebra) {
    // Variance 121 > W calls for the size (p1 - p0) / 2, which is 0 here: no ring estimate.
    EXPECT_EQ(walk(bands({{81, 100}}), 40, 100, 40, nullptr).ringCount, 0);
    EXPECT_EQ(walk(bands({{81, 100}}), 40, 100, 60, nullptr).ringCount, 0);
}

TEST(RadialProbe, MedianOfThreeRays) {
    const double twoModules = 1.6;  // the side rays lie 0.2 rad either side
    auto image = [](double left, double right) {
        return paintPolar(kSize, kCenter, [=](double rho, double angle) {
            const double fromLeft = test::angularDistance(angle, 2.0 * CV_PI - 0.2);
            const double fromRight = test::angularDistance(angle, 0.2);
            return (rho >= 30 && rho < 50) || (fromLeft < 0.05 && rho >= 30 && rho < left) ||
                   (fromRight < 0.05 && rho >= 30 && rho < right);
        });
    };
    // Slanted rays end within a pixel of a band's radius.
    EXPECT_NEAR(radialProbe(image(50, 50), twoModules, 0.0, 10, true), 50, 1);
    EXPECT_NEAR(radialProbe(image(50, 80), twoModules, 0.0, 10, true), 50, 1);
    EXPECT_NEAR(radialProbe(image(70, 80), twoModules, 0.0, 10, true), 70, 1);
    // White from inside the band: the black is skipped and the white counted to the border,
    // which the slanted rays (two of three) reach 204 px out.
    EXPECT_EQ(radialProbe(image(50, 50), twoModules, 0.0, 35, false), 204);
}

TEST(WarpInputImage, WhitensOutsideTheRingAndGivesThreeChannels) {
    const cv::Mat grey(kSize, CV_8UC1, cv::Scalar(0));
    StartMarkerCandidate marker;
    marker.innerPoint = kCenter + cv::Point2d(20.0, 0.0);
    marker.outerPoint = kCenter + cv::Point2d(0.0, 60.4);
    const cv::Mat warped = warpInputImage(grey, grey, cv::Matx33d::eye(), marker);
    ASSERT_EQ(warped.type(), CV_8UC3);
    ASSERT_EQ(warped.size(), kSize);
    // Kept: radii 18 to 62 (trunc(60.4) + 2).
    auto at = [&](double radius) {
        return warped.at<cv::Vec3b>(cv::Point(kCenter + cv::Point2d(radius, 0.0)));
    };
    const cv::Vec3b white(255, 255, 255);
    const cv::Vec3b black(0, 0, 0);
    EXPECT_EQ(at(0), white);
    EXPECT_EQ(at(16), white);
    EXPECT_EQ(at(19), black);
    EXPECT_EQ(at(40), black);
    EXPECT_EQ(at(61), black);
    EXPECT_EQ(at(64), white);
    EXPECT_EQ(warped.at<cv::Vec3b>(0, 0), white);
}

TEST(WarpInputImage, AppliesTheTransformWithReplicatedBorder) {
    cv::Mat colour(kSize, CV_8UC3, cv::Scalar(10, 20, 30));
    colour.colRange(0, 200).setTo(cv::Scalar(40, 50, 60));
    StartMarkerCandidate marker;
    marker.innerPoint = kCenter;  // no hole: the whole disc is kept
    marker.outerPoint = kCenter + cv::Point2d(150.0, 0.0);
    // Shift right by 100 px: the left border column is replicated into the gap.
    const cv::Matx33d shift(1, 0, 100, 0, 1, 0, 0, 0, 1);
    const cv::Mat warped = warpInputImage(colour, colour, shift, marker);
    EXPECT_EQ(warped.at<cv::Vec3b>(200, 50), cv::Vec3b(40, 50, 60));      // from the border
    EXPECT_EQ(warped.at<cv::Vec3b>(200, 290), cv::Vec3b(40, 50, 60));     // from column 190
    EXPECT_EQ(warped.at<cv::Vec3b>(200, 310), cv::Vec3b(10, 20, 30));     // from column 210
    EXPECT_EQ(warped.at<cv::Vec3b>(200, 399), cv::Vec3b(255, 255, 255));  // outside the ring
}

}  // namespace
}  // namespace qcl

namespace qcl {
namespace {

class RenderedRadialZebra : public ::testing::TestWithParam<test::SymbolSpec> {};

// The drawn rings are found, their radii within a quarter pitch, and every module reads back.
TEST_P(RenderedRadialZebra, RingsRadiiAndModules) {
    const test::RenderedPath& run = test::renderedPlainPath(GetParam());
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_GT(run.path.stage, StageFindRadialZebra) << "failed with " << run.path.code;
    const SymbolGeometry& g = run.symbol.geometry;
    const RadialZebra& zebra = run.path.radialZebra;
    ASSERT_EQ(zebra.ringCount, g.ringCount);
    EXPECT_NEAR(zebra.firstRingRadius, g.ringCenterRadius(0), g.pitch / 4);
    EXPECT_NEAR(zebra.lastRingRadius, g.ringCenterRadius(g.ringCount - 1), g.pitch / 4);
    ASSERT_EQ(run.path.warped.type(), CV_8UC3);
    EXPECT_EQ(run.path.modules, run.symbol.modules);
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderedRadialZebra, ::testing::ValuesIn(test::stageSweepSpecs()));

}  // namespace
}  // namespace qcl
