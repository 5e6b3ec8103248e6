#include "decoder/EllipseOutline.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

// The outline holds exactly the pixels cv::ellipse draws, leaves the scratch image clear, and
// goes round the centre by atan2, equal angles in row-major order: whole and clipped outlines,
// wide and narrow, every rotation, centres inside and outside the image.
TEST(OutlineAroundCentre, DrawnPixelsInAtan2OrderTiesRowMajor) {
    const cv::Size size(200, 150);
    const struct {
        cv::Point center;
        cv::Size axes;
        int angle;
    } cases[] = {
        {{100, 75}, {60, 40}, 0},    {{100, 75}, {60, 40}, 37},  {{100, 75}, {3, 2}, 90},
        {{100, 75}, {70, 1}, 145},   {{10, 140}, {90, 50}, 200}, {{-20, 60}, {80, 80}, 0},
        {{190, 10}, {30, 120}, 300}, {{100, 75}, {8, 8}, 359},
    };
    cv::Mat scratch = cv::Mat::zeros(size, CV_8UC1);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.center << " " << c.axes << " " << c.angle);
        const std::vector<cv::Point> offsets =
            outlineAroundCentre(scratch, c.center, c.axes, c.angle);
        EXPECT_EQ(cv::countNonZero(scratch), 0);

        cv::Mat drawn = cv::Mat::zeros(size, CV_8UC1);
        cv::ellipse(drawn, c.center, c.axes, c.angle, 0, 360, cv::Scalar(255), 1, cv::LINE_8);
        cv::Mat found = cv::Mat::zeros(size, CV_8UC1);
        for (const cv::Point& offset : offsets) {
            found.at<std::uint8_t>(offset + c.center) += 255;  // a pixel twice would wrap to 254
        }
        EXPECT_EQ(cv::countNonZero(drawn != found), 0);
        ASSERT_FALSE(offsets.empty());

        for (std::size_t i = 1; i < offsets.size(); ++i) {
            const cv::Point& a = offsets[i - 1];
            const cv::Point& b = offsets[i];
            const double angleA = std::atan2(a.y, a.x);
            const double angleB = std::atan2(b.y, b.x);
            ASSERT_LE(angleA, angleB) << a << " before " << b;
            if (angleA == angleB) {
                ASSERT_TRUE(a.y < b.y || (a.y == b.y && a.x < b.x)) << a << " before " << b;
            }
        }
    }
}

}  // namespace
}  // namespace qcl
