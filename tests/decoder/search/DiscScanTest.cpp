// The row scan for discs: white ellipses enclosed by black are found once each with their centre,
// axes and slant; white areas of other shapes, and areas open to the picture's edge, are not.
#include "decoder/search/DiscScan.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace qcl {
namespace {

TEST(DiscScan, EllipsesAreFoundOnceWithTheirShape) {
    struct Case {
        cv::Point centre;
        cv::Size axes;  // semi-axes
        double angle;   // degrees
    };
    const Case cases[] = {
        {{100, 100}, {30, 30}, 0.0}, {{300, 120}, {40, 20}, 30.0}, {{500, 300}, {12, 34}, -50.0},
        {{150, 350}, {5, 5}, 0.0},   {{330, 380}, {60, 24}, 90.0},
    };
    cv::Mat binary(480, 640, CV_8UC1, cv::Scalar(0));
    for (const Case& c : cases) {
        cv::ellipse(binary, c.centre, c.axes, c.angle, 0.0, 360.0, cv::Scalar(255), cv::FILLED);
    }
    const std::vector<DiscBlob> discs = scanForDiscs(binary);
    ASSERT_EQ(discs.size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.centre);
        const auto found = std::find_if(discs.begin(), discs.end(), [&](const DiscBlob& d) {
            return cv::norm(cv::Point2d(d.ellipse.center) - cv::Point2d(c.centre)) < 1.5;
        });
        ASSERT_NE(found, discs.end());
        const double major = std::max(c.axes.width, c.axes.height);
        const double minor = std::min(c.axes.width, c.axes.height);
        EXPECT_NEAR(0.5 * std::max(found->ellipse.size.width, found->ellipse.size.height), major,
                    0.08 * major + 1.0);
        EXPECT_NEAR(0.5 * std::min(found->ellipse.size.width, found->ellipse.size.height), minor,
                    0.08 * minor + 1.0);
        if (major > 1.3 * minor) {
            // The long axis's direction, modulo a half turn.
            const double along = c.axes.width >= c.axes.height ? c.angle : c.angle + 90.0;
            const double foundAlong = found->ellipse.size.width >= found->ellipse.size.height
                                          ? found->ellipse.angle
                                          : found->ellipse.angle + 90.0;
            const double difference = std::fmod(std::abs(along - foundAlong) + 360.0, 180.0);
            EXPECT_LT(std::min(difference, 180.0 - difference), 6.0);
        }
    }
}

TEST(DiscScan, OtherShapesAndOpenAreasAreNoDiscs) {
    cv::Mat binary(480, 640, CV_8UC1, cv::Scalar(0));
    cv::rectangle(binary, cv::Rect(40, 40, 80, 20), cv::Scalar(255), cv::FILLED);   // a bar
    cv::rectangle(binary, cv::Rect(200, 40, 60, 60), cv::Scalar(255), cv::FILLED);  // a square
    const std::vector<cv::Point> l = {{350, 40}, {450, 40},  {450, 60},
                                      {370, 60}, {370, 160}, {350, 160}};
    cv::fillPoly(binary, std::vector<std::vector<cv::Point>>{l}, cv::Scalar(255));  // an L
    cv::circle(binary, {620, 300}, 40, cv::Scalar(255), cv::FILLED);  // cut by the edge
    cv::circle(binary, {100, 300}, 2, cv::Scalar(255), cv::FILLED);   // smaller than a disc
    EXPECT_TRUE(scanForDiscs(binary).empty());
    EXPECT_TRUE(scanForDiscs(cv::Mat(100, 100, CV_8UC1, cv::Scalar(255))).empty());
    EXPECT_TRUE(scanForDiscs(cv::Mat()).empty());
}

TEST(DiscScan, DiscAtTheMiddleIsTakenWholeDespiteABlot) {
    cv::Mat binary(400, 400, CV_8UC1, cv::Scalar(255));
    cv::circle(binary, {200, 200}, 150, cv::Scalar(0), cv::FILLED);
    cv::circle(binary, {200, 200}, 40, cv::Scalar(255), cv::FILLED);
    cv::circle(binary, {175, 200}, 18, cv::Scalar(0), cv::FILLED);  // touches the disc's edge
    DiscBlob disc;
    ASSERT_TRUE(discAtMiddle(binary, DiscScanOptions{}, disc));
    EXPECT_LT(cv::norm(cv::Point2d(disc.ellipse.center) - cv::Point2d(200, 200)), 3.0);
    EXPECT_NEAR(disc.radius, 40.0, 3.0);
    // A dark band across one side (a shadow's edge) cuts the disc: the circle enclosing what is
    // left is the disc.
    cv::Mat cut = binary.clone();
    cv::circle(cut, {175, 200}, 18, cv::Scalar(255), cv::FILLED);
    cv::rectangle(cut, cv::Rect(225, 0, 30, 400), cv::Scalar(0), cv::FILLED);
    DiscBlob enclosing;
    ASSERT_TRUE(discAtMiddle(cut, DiscScanOptions{}, disc, &enclosing));
    EXPECT_LT(cv::norm(cv::Point2d(enclosing.ellipse.center) - cv::Point2d(200, 200)), 2.0);
    EXPECT_NEAR(enclosing.radius, 40.0, 2.0);
    // A middle that is black, or white open to the edge, gives none.
    EXPECT_FALSE(discAtMiddle(cv::Mat(100, 100, CV_8UC1, cv::Scalar(0)), DiscScanOptions{}, disc));
    cv::Mat open(400, 400, CV_8UC1, cv::Scalar(255));
    cv::rectangle(open, cv::Rect(0, 0, 40, 40), cv::Scalar(0), cv::FILLED);
    cv::rectangle(open, cv::Rect(360, 360, 40, 40), cv::Scalar(0), cv::FILLED);
    EXPECT_FALSE(discAtMiddle(open, DiscScanOptions{}, disc));
}

}  // namespace
}  // namespace qcl
