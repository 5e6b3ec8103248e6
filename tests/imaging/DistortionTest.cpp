#include "imaging/Distortion.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cstdint>

namespace qcl {
namespace {

bool identical(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
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

int countPixelsOf(const cv::Mat& image, std::uint8_t value) {
    if (image.channels() == 3) {
        cv::Mat all;
        cv::inRange(image, cv::Scalar::all(value), cv::Scalar::all(value), all);
        return cv::countNonZero(all);
    }
    return cv::countNonZero(image == value);
}

TEST(DistortImage, ZeroStrengthsGiveAnUnchangedCopy) {
    const cv::Mat input = frame(60, 80, CV_8UC3);
    const cv::Mat out = distortImage({}, input);
    EXPECT_TRUE(identical(out, input));
    EXPECT_NE(out.data, input.data);
}

TEST(DistortImage, PerspectiveIsTheSameOnEveryCall) {
    for (const int type : {CV_8UC1, CV_8UC3}) {
        const cv::Mat input = frame(120, 160, type);
        const cv::Mat before = input.clone();
        const DistortionStrengths strengths{0.25, 0.0, 0.0};
        const cv::Mat first = distortImage(strengths, input);
        const cv::Mat second = distortImage(strengths, input);
        EXPECT_TRUE(identical(input, before));
        EXPECT_EQ(first.size(), input.size());
        EXPECT_EQ(first.type(), input.type());
        EXPECT_TRUE(identical(first, second));
        EXPECT_FALSE(identical(first, input));
        // Another strength moves the corners by other amounts.
        EXPECT_FALSE(identical(first, distortImage({0.1, 0.0, 0.0}, input)));
    }
}

TEST(DistortImage, AreaDestructionIsTheSameOnEveryCallAndOnlyPaintsBlackOrWhite) {
    const cv::Mat input(480, 640, CV_8UC3, cv::Scalar::all(128));
    const DistortionStrengths strengths{0.0, 0.0, 0.09};
    const cv::Mat first = distortImage(strengths, input);
    const cv::Mat second = distortImage(strengths, input);
    EXPECT_TRUE(identical(first, second));
    EXPECT_EQ(countPixelsOf(input, 128), 640 * 480);

    const int black = countPixelsOf(first, 0);
    const int white = countPixelsOf(first, 255);
    const int untouched = countPixelsOf(first, 128);
    EXPECT_EQ(black + white + untouched, 640 * 480);
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);
    // The counted area (27 648 square pixels) is pi * 1.6 times the sum of w * h, so the painted
    // pixels make up at most 1 / 1.6 of it, less overlaps; ellipses centred in the frame keep
    // most of their area inside it.
    EXPECT_LE(black + white, 27648 / 1.6 + 4000);
    EXPECT_GT(black + white, 27648 / 1.6 / 2);
}

TEST(DistortImage, AreaDestructionNeverThrowsAtAnyLevelOrSize) {
    for (const cv::Size size : {cv::Size(640, 480), cv::Size(480, 640), cv::Size(100, 60),
                                cv::Size(30, 20), cv::Size(1, 1)}) {
        const cv::Mat input(size, CV_8UC1, cv::Scalar(128));
        for (int digit = 1; digit <= 9; ++digit) {
            cv::Mat out;
            EXPECT_NO_THROW(out = distortImage({digit / 20.0, 0.0, digit / 100.0}, input))
                << size << " digit " << digit;
            EXPECT_EQ(out.size(), size);
        }
    }
}

TEST(DistortImage, PerspectiveAndAreasTogetherStayDeterministic) {
    const cv::Mat input = frame(240, 320, CV_8UC3);
    const DistortionStrengths strengths{0.45, 0.0, 0.05};
    EXPECT_TRUE(identical(distortImage(strengths, input), distortImage(strengths, input)));
}

TEST(DistortImage, NoiseTurnsAboutKOver255OfThePixelsEachWay) {
    const cv::Mat input(480, 640, CV_8UC3, cv::Scalar::all(128));
    const double pixels = 640.0 * 480.0;
    const cv::Mat out = distortImage({0.0, 0.225, 0.0}, input);  // digit 9: k = 29
    EXPECT_EQ(countPixelsOf(input, 128), 640 * 480);
    const int black = countPixelsOf(out, 0);
    const int white = countPixelsOf(out, 255);
    EXPECT_EQ(black + white + countPixelsOf(out, 128), 640 * 480);  // whole pixels only
    EXPECT_NEAR(black / pixels, 29.0 / 255.0, 0.01);
    EXPECT_NEAR(white / pixels, 28.0 / 255.0, 0.01);
}

TEST(DistortImage, WeakestNoiseStillReachesBothEnds) {
    const cv::Mat input(480, 640, CV_8UC1, cv::Scalar(128));
    const cv::Mat out = distortImage({0.0, 0.025, 0.0}, input);  // digit 1: k = 3
    const double pixels = 640.0 * 480.0;
    EXPECT_NEAR(countPixelsOf(out, 0) / pixels, 3.0 / 255.0, 0.003);
    EXPECT_NEAR(countPixelsOf(out, 255) / pixels, 2.0 / 255.0, 0.003);
}

}  // namespace
}  // namespace qcl
