#include "decoder/RadialZebra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/LogCapture.h"
#include "support/PolarPainter.h"

namespace qcl {
namespace {

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

// Walks black bands [from, to) with p1, rOut and p0 (twice the module angle 0 puts the three rays
// of the walk on top of each other) and expects the rings, radii (unless 0) and log lines.
void expectWalk(const char* name, const std::vector<std::pair<int, int>>& black,
                std::vector<int> radii, int rings, double first = 0, double last = 0,
                const std::vector<std::string>& lines = {}) {
    SCOPED_TRACE(name);
    test::LogCapture log(LogLevel::All);
    const RadialZebra z = findRadialZebra(bands(black), 0.0, 0.0, radii[0], radii[1], radii[2]);
    EXPECT_EQ(z.ringCount, rings);
    if (first > 0) {
        EXPECT_DOUBLE_EQ(z.firstRingRadius, first);
        EXPECT_DOUBLE_EQ(z.lastRingRadius, last);
        EXPECT_DOUBLE_EQ(z.innerEdge, radii[2]);
        EXPECT_DOUBLE_EQ(z.outerEdge, radii[1]);
    }
    for (const std::string& line : lines) {
        EXPECT_TRUE(log.contains("\t" + line + "\n")) << line << " in " << log.text();
    }
}

TEST(FindRadialZebra, RingsAndRadiiFromTheWalk) {
    const std::string twelves = "Radial Zebra module sizes: [12,12,12,12,12,]";
    // Five modules of 12: 4 rings; pitch (100 - 16) / 7 = 12. rOut - p1 = 60: W = (20 + 5) / 2 =
    // 12 and maxVar = 144.
    expectWalk("even modules", {{40, 52}, {64, 76}, {88, 100}}, {40, 100, 16}, 4, 46.0, 82.0,
               {"Radial Zebra var < maxVar : 0 < 144", "Radial Zebra minRadius, maxRadius: 40, 100",
                twelves, "first module is white: 0", "firstModuleOffset: 0"});
    // Sizes [41, 19]: variance 121, above W and below W^2, so the module size is (p1 - p0) / 2 =
    // 15: round(90 / 15) - 3 = 3 rings (the mean, 30, would give 2).
    expectWalk("variance between W and W squared", {{81, 100}}, {40, 100, 10}, 3, 47.5, 77.5);
    expectWalk("variance W squared", {{82, 100}}, {40, 100, 10}, 0);
    expectWalk("one black pixel at the start is no module", {{40, 41}, {53, 65}, {77, 89}},
               {40, 88, 16}, 3, 0, 0,
               {"blackPixels: 12", "whitePixels: 12", "first module is white: 1",
                "firstModuleOffset: 0", "Radial Zebra module sizes: [12,12,12,12,]"});
    expectWalk("last white run of 24 holds two modules", {{40, 52}, {64, 76}, {100, 110}},
               {40, 100, 16}, 4, 0, 0, {twelves});
    expectWalk("last white run of 2 before rOut joins the module before",
               {{40, 52}, {64, 76}, {88, 98}, {106, 120}}, {40, 100, 16}, 4, 0, 0, {twelves});
    // Two modules of 30: count - 1 = 1 and round(70 / 30) - 3 = -1.
    expectWalk("ring count never 1", {{70, 100}}, {40, 100, 30}, 2, 47.0, 79.0);
    // Sizes [5, 5] from p1 = 90 with p0 = 0: 17 rings of pitch 5, first = last = 92.5.
    expectWalk("last ring not beyond the first", {{95, 100}}, {90, 100, 0}, 0);
    expectWalk("no module", {}, {40, 100, 16}, 0);
    // Variance 121 > W calls for the size (p1 - p0) / 2: below 0 it gives no ring estimate.
    expectWalk("negative module size", {{81, 100}}, {40, 100, 60}, 0);
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
    for (const auto& [radius, value] : std::vector<std::pair<int, int>>{
             {0, 255}, {16, 255}, {19, 0}, {40, 0}, {61, 0}, {64, 255}, {199, 255}}) {
        EXPECT_EQ(warped.at<cv::Vec3b>(cv::Point(kCenter) + cv::Point(radius, 0)),
                  cv::Vec3b::all(static_cast<uchar>(value)))
            << radius;
    }
}

}  // namespace
}  // namespace qcl
