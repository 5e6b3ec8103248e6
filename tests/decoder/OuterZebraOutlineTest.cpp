// The outline pixels that the outer zebra trials read must be exactly the pixels cv::ellipse draws:
// same set, same row-major order, for every kind of ellipse the trials can meet.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <vector>

#include "decoder/OuterZebra.h"
#include "support/SeededRandom.h"

namespace qcl {
namespace {

// The outline as drawn into a blank image of its own and read back pixel by pixel.
std::vector<cv::Point> drawnOutline(const cv::Size& size, const cv::Point& center,
                                    const cv::Size& axes, int angle) {
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    cv::ellipse(mask, center, cv::Size(std::abs(axes.width), std::abs(axes.height)), angle, 0, 360,
                cv::Scalar(255), 1, cv::LINE_8, 0);
    std::vector<cv::Point> pixels;
    cv::findNonZero(mask, pixels);
    return pixels;
}

struct Shape {
    cv::Point center;
    cv::Size axes;
    int angle;
};

// Ellipses of every size from a point to far beyond the image, centred inside, near and outside
// the border, at any rotation, some with negative semi-axes.
Shape randomShape(test::SeededRandom& random, const cv::Size& size) {
    const int reach = std::max(size.width, size.height);
    const int longest = random.uniformInt(0, 3) == 0 ? 20 : reach;
    Shape shape{{random.uniformInt(-reach / 4, size.width + reach / 4),
                 random.uniformInt(-reach / 4, size.height + reach / 4)},
                {random.uniformInt(0, longest), random.uniformInt(0, longest)},
                random.uniformInt(-400, 800)};
    if (random.uniformInt(0, 9) == 0) {
        shape.axes.width = -shape.axes.width;
    }
    return shape;
}

TEST(OuterZebraOutline, SamePixelsInTheSameOrderAsTheDrawnOutline) {
    test::SeededRandom random(20261206);
    for (const cv::Size size : {cv::Size(640, 640), cv::Size(301, 199), cv::Size(48, 64)}) {
        cv::Mat scratch = cv::Mat::zeros(size, CV_8UC1);
        for (int i = 0; i < 500; ++i) {
            const Shape s = randomShape(random, size);
            ASSERT_EQ(ellipseOutline(scratch, s.center, s.axes, s.angle),
                      drawnOutline(size, s.center, s.axes, s.angle))
                << "seed " << random.seed() << ", image " << size << ", centre " << s.center
                << ", axes " << s.axes << ", angle " << s.angle;
            ASSERT_EQ(cv::countNonZero(scratch), 0) << "scratch image not cleared";
        }
    }
}

TEST(OuterZebraOutline, PointAndOutsideCases) {
    cv::Mat scratch = cv::Mat::zeros(cv::Size(40, 30), CV_8UC1);
    EXPECT_EQ(ellipseOutline(scratch, {5, 7}, {0, 0}, 0), std::vector<cv::Point>{cv::Point(5, 7)});
    EXPECT_TRUE(ellipseOutline(scratch, {200, 200}, {10, 20}, 30).empty());
    // A circle round the whole image leaves nothing inside it.
    EXPECT_TRUE(ellipseOutline(scratch, {20, 15}, {100, 100}, 0).empty());
    // A circle of radius 10 is a closed ring: every row it spans has pixels on both sides.
    const std::vector<cv::Point> ring = ellipseOutline(scratch, {20, 15}, {10, 10}, 0);
    EXPECT_EQ(ring, drawnOutline(scratch.size(), {20, 15}, {10, 10}, 0));
    EXPECT_EQ(ring.front().y, 5);
    EXPECT_EQ(ring.back().y, 25);
    EXPECT_EQ(cv::countNonZero(scratch), 0);
}

}  // namespace
}  // namespace qcl
