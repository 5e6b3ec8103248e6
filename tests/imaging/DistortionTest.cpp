#include "imaging/Distortion.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cstdint>

#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

using test::identical;

int countPixelsOf(const cv::Mat& image, std::uint8_t value) {
    cv::Mat all;
    cv::inRange(image, cv::Scalar::all(value), cv::Scalar::all(value), all);
    return cv::countNonZero(all);
}

// A frame with some structure, so that a warp visibly moves things.
cv::Mat frame(int rows, int cols, int type) {
    cv::Mat image(rows, cols, type, cv::Scalar::all(128));
    cv::circle(image, cv::Point(cols / 2, rows / 2), std::min(rows, cols) / 3,
               cv::Scalar(40, 90, 200), cv::FILLED);
    cv::rectangle(image, cv::Rect(cols / 8, rows / 8, cols / 6, rows / 5), cv::Scalar::all(250),
                  cv::FILLED);
    return image;
}

// The same strengths on frames of the same size give the same result, and the input stays.
TEST(DistortImage, EveryCallGivesTheSameDistortion) {
    const DistortionStrengths cases[] = {{0.25, 0.0, 0.0}, {0.0, 0.0, 0.09}, {0.45, 0.0, 0.05}};
    for (const int type : {CV_8UC1, CV_8UC3}) {
        const cv::Mat input = frame(240, 320, type);
        const cv::Mat before = input.clone();
        for (const DistortionStrengths& strengths : cases) {
            SCOPED_TRACE(testing::Message()
                         << strengths.perspective << "/" << strengths.areaDestruction);
            const cv::Mat first = distortImage(strengths, input);
            EXPECT_EQ(first.size(), input.size());
            EXPECT_EQ(first.type(), input.type());
            EXPECT_TRUE(identical(first, distortImage(strengths, input)));
            EXPECT_FALSE(identical(first, input));
        }
        EXPECT_TRUE(identical(input, before));
        const cv::Mat unchanged = distortImage({}, input);  // zero strengths: a copy
        EXPECT_TRUE(identical(unchanged, input));
        EXPECT_NE(unchanged.data, input.data);
        // Another perspective strength moves the corners by other amounts.
        EXPECT_FALSE(
            identical(distortImage(cases[0], input), distortImage({0.1, 0.0, 0.0}, input)));
    }
}

TEST(DistortImage, AreaDestructionPaintsBlackOrWhiteEllipsesOfTheCountedArea) {
    const cv::Mat input(480, 640, CV_8UC3, cv::Scalar::all(128));
    const cv::Mat out = distortImage({0.0, 0.0, 0.09}, input);
    const int black = countPixelsOf(out, 0);
    const int white = countPixelsOf(out, 255);
    EXPECT_EQ(black + white + countPixelsOf(out, 128), 640 * 480);
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    // At digit 9 the counted area is 27 648 square pixels, pi * 1.6 times the sum of w * h, so
    // the painted pixels make up at most 1 / 1.6 of it, less overlaps; ellipses centred in the
    // frame keep most of their area inside it.
    EXPECT_LE(black + white, 27648 / 1.6 + 4000);
    EXPECT_GT(black + white, 27648 / 1.6 / 2);
}

}  // namespace
}  // namespace qcl
