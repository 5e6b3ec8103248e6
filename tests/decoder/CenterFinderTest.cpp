#include "decoder/CenterFinder.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <utility>
#include <vector>

#include "support/PolarPainter.h"

namespace qcl {
namespace {

const cv::Scalar kBlack(0);
const cv::Scalar kWhite(255);

using test::Shape;

// Draws the shapes on a white square of side `size` and expects the disc at (centre, centre)
// with the larger axis `axis`, and the (x, y) -> value pixels afterwards.
void expectDisc(const char* name, int size, const std::vector<Shape>& shapes, double centre,
                double centreTolerance, double axis, double axisTolerance,
                const std::vector<std::pair<cv::Point, int>>& pixels = {}) {
    SCOPED_TRACE(name);
    cv::Mat image(size, size, CV_8UC1, kWhite);
    test::drawShapes(image, shapes);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(ellipse.center.x, centre, centreTolerance);
    EXPECT_NEAR(ellipse.center.y, centre, centreTolerance);
    EXPECT_NEAR(std::max(ellipse.size.width, ellipse.size.height), axis, axisTolerance);
    for (const auto& [at, value] : pixels) {
        EXPECT_EQ(image.at<std::uint8_t>(at), value) << at;
    }
    // The repainted ellipse is antialiased: grey values along its edge.
    EXPECT_GT(cv::countNonZero((image > 0) & (image < 255)), 0);
}

TEST(CenterFinderTest, DiscFoundAndRepaintedWhite) {
    expectDisc("white disc in a ring, a black speck inside", 320,
               {{160, 160, 70, 0, 0}, {160, 160, 30, 0, 255}, {170, 158, 3, 3, 0}}, 160, 1.0, 60,
               3.0, {{{171, 159}, 255}, {{210, 160}, 0}});
    expectDisc("black centre repaired first", 400,
               {{200, 200, 100, 0, 0}, {200, 200, 40, 0, 255}, {200, 200, 14, 0, 0}}, 200, 2.0, 80,
               4.0, {{{200, 200}, 255}, {{212, 200}, 255}, {{270, 200}, 0}});
    expectDisc("smallest blob round the estimate wins", 400,
               {{200, 200, 100, 0, 0},
                {200, 200, 80, 0, 255},
                {200, 200, 50, 0, 0},
                {200, 200, 25, 0, 255}},
               200, 1.0, 50, 3.0, {{{260, 200}, 255}, {{240, 200}, 0}});
    // A 2 px white bridge joins the disc to the background: one region, too large for the area
    // filter. The decoy keeps keypoints coming, so the openings run.
    expectDisc("openings cut a thin bridge", 320,
               {{160, 160, 90, 0, 0},
                {160, 160, 30, 0, 255},
                {185, 159, 80, 2, 255},
                {160, 230, 15, 0, 255}},
               160, 1.5, 60, 4.0);
    // Radius 6 is below the smallest area of the first four attempts (D / 32 = 10).
    expectDisc("small disc found without area limits", 320,
               {{160, 160, 40, 0, 0}, {160, 160, 6, 0, 255}}, 160, 1.5, 12, 2.5);
}

TEST(CenterFinderTest, NoRoundWhiteBlobOrNoImageFails) {
    // Upright white stripes 5 px wide on black: never circular enough, so no keypoint in any
    // attempt; the estimate falls on a white stripe, so no black-centre repair either.
    cv::Mat image(201, 201, CV_8UC1, kBlack);
    for (int x = 0; x < image.cols; ++x) {
        if (((x - 98) % 8 + 8) % 8 < 5) {
            image.col(x).setTo(kWhite);
        }
    }
    ASSERT_EQ(image.at<std::uint8_t>(100, 100), 255);
    const cv::Mat before = image.clone();
    cv::RotatedRect ellipse;
    EXPECT_EQ(findCenter(image, ellipse), InnerCircleNotFound);
    EXPECT_EQ(cv::countNonZero(image != before), 0);

    cv::Mat empty;
    EXPECT_EQ(findCenter(empty, ellipse), InnerCircleNotFound);
    // A blank image is one white region, round enough for the last attempt without area limits;
    // an all-black one would have its whole area repaired into a disc.
    for (const cv::Scalar& colour : {kWhite, kBlack}) {
        cv::Mat blank(201, 201, CV_8UC1, colour);
        EXPECT_EQ(findCenter(blank, ellipse), InnerCircleNotFound);
    }
}

}  // namespace
}  // namespace qcl
