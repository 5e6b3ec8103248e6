#include "imaging/Preprocessing.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <vector>

#include "common/ErrorCodes.h"
#include "support/SymbolFixtures.h"
#include "support/ThrownCode.h"

namespace qcl {
namespace {

using test::identical;

// A one-row grey image with `count` pixels of each value, in order.
cv::Mat greyWithCounts(const std::vector<std::pair<int, int>>& counts) {
    std::vector<std::uint8_t> values;
    for (const auto& [value, count] : counts) {
        values.insert(values.end(), static_cast<std::size_t>(count),
                      static_cast<std::uint8_t>(value));
    }
    return cv::Mat(values, true).reshape(1, 1);
}

cv::Mat randomImage(int rows, int cols, int type, std::uint32_t seed) {
    cv::Mat image(rows, cols, type);
    cv::RNG(seed).fill(image, cv::RNG::UNIFORM, 0, 256);
    return image;
}

TEST(ComputeThreshold, HistogramCases) {
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> counts;
        int otsu, entropy;
    } cases[] = {
        // Every split from 50 to 199 gives the same classes: Otsu keeps the last equal maximum,
        // maximum entropy the first.
        {"two values", {{50, 40}, {200, 60}}, 199, 50},
        // Otsu: after 20 gives 56.25 against 52.08 after 10; entropy: {10,20}|{30} gives ln 2.
        {"three values", {{10, 2}, {20, 2}, {30, 4}}, 29, 20},
        {"uniform grey", {{100, 400}}, 127, 127},  // no split has both classes
        {"binary", {{0, 3}, {255, 7}}, -1, -1},    // not thresholded again
        {"white", {{255, 4}}, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const cv::Mat grey = greyWithCounts(c.counts);
        EXPECT_EQ(computeThreshold(grey, Otsu), c.otsu);
        EXPECT_EQ(computeThreshold(grey, MaximumEntropy), c.entropy);
    }
    const cv::Mat grey = greyWithCounts({{0, 3}, {1, 1}, {255, 7}});  // one grey pixel suffices
    EXPECT_NE(computeThreshold(grey, Otsu), -1);
    EXPECT_EQ(computeThreshold(grey, 2), 127);  // unknown method
}

// Colour mode: white when any channel exceeds the threshold. Pure red 200 has a grey value of
// about 60, so the grey path makes it black.
TEST(BinarizeColorMode, AnyBrightChannelMakesWhite) {
    cv::Mat mixed(1, 5, CV_8UC3);
    mixed.at<cv::Vec3b>(0, 0) = {0, 0, 200};
    mixed.at<cv::Vec3b>(0, 1) = {121, 0, 0};
    mixed.at<cv::Vec3b>(0, 2) = {0, 121, 0};
    mixed.at<cv::Vec3b>(0, 3) = {120, 120, 120};
    mixed.at<cv::Vec3b>(0, 4) = {0, 0, 0};
    cv::Mat colourMode, greyMode;
    thresholdImage(mixed, greyMode, 120);
    EXPECT_EQ(greyMode.at<std::uint8_t>(0, 0), 0);
    binarizeColorMode(mixed, colourMode, 120);
    EXPECT_TRUE(identical(colourMode, greyWithCounts({{255, 3}, {0, 2}})));
    binarizeColorMode(mixed, mixed, 120);  // in place: the result replaces the source
    EXPECT_TRUE(identical(mixed, colourMode));

    const cv::Mat grey = randomImage(20, 30, CV_8UC1, 13);  // one channel: the plain threshold
    binarizeColorMode(grey, colourMode, 90);
    thresholdImage(grey, greyMode, 90);
    EXPECT_TRUE(identical(colourMode, greyMode));
}

TEST(BinarizeImage, OpeningRemovesSpecksButOtsuAloneKeepsThem) {
    cv::Mat grey(20, 20, CV_8UC1, cv::Scalar(30));
    grey(cv::Rect(10, 10, 6, 6)).setTo(200);
    grey.at<std::uint8_t>(3, 3) = 200;  // an isolated bright speck
    cv::Mat opened, plain;
    EXPECT_EQ(binarizeImage(grey, opened, 0, Otsu), 199);
    EXPECT_EQ(cv::countNonZero(opened), 36);
    binarizeOtsu(grey, plain);
    EXPECT_EQ(plain.at<std::uint8_t>(3, 3), 255);
    EXPECT_EQ(cv::countNonZero(plain), 37);

    cv::Mat noise;  // whatever the input, the result is strictly black and white
    binarizeImage(randomImage(64, 64, CV_8UC3, 11), noise, 0, MaximumEntropy);
    EXPECT_EQ(cv::countNonZero(noise == 0) + cv::countNonZero(noise == 255), 64 * 64);
}

TEST(BinarizeImage, UniformGreyBecomesBlackAndBinaryInputPassesThrough) {
    cv::Mat out;
    for (const int method : {Otsu, MaximumEntropy}) {
        EXPECT_EQ(binarizeImage(cv::Mat(16, 16, CV_8UC1, cv::Scalar(100)), out, 0, method), 127);
        EXPECT_EQ(cv::countNonZero(out), 0);
    }
    cv::Mat binary(12, 12, CV_8UC1, cv::Scalar(0));
    binary.at<std::uint8_t>(5, 5) = 255;  // would not survive an opening
    EXPECT_EQ(binarizeImage(binary, out, 0, Otsu), 128);
    EXPECT_TRUE(identical(out, binary));
    binarizeOtsu(binary, out);
    EXPECT_TRUE(identical(out, binary));
    cv::Mat bgr;  // a black-and-white colour image passes through as its grey image
    cv::cvtColor(binary, bgr, cv::COLOR_GRAY2BGR);
    EXPECT_EQ(binarizeImage(bgr, out, 1, MaximumEntropy), 128);
    EXPECT_TRUE(identical(out, binary));
}

TEST(Preprocessing, OnlyOneOrThreeChannelsAreAccepted) {
    cv::Mat out;
    for (const int type : {CV_8UC2, CV_8UC4}) {
        SCOPED_TRACE(type);
        const cv::Mat m(8, 8, type, cv::Scalar::all(90));
        EXPECT_EQ(test::thrownCode([&] { binarizeImage(m, out, 0, Otsu); }), WrongImageType);
        EXPECT_EQ(test::thrownCode([&] { binarizeOtsu(m, out); }), WrongImageType);
        EXPECT_EQ(test::thrownCode([&] { enhanceImage(m, out); }), WrongImageType);
        EXPECT_EQ(test::thrownCode([&] { contrastAdjustment(m, out, 0.01f); }), WrongImageType);
    }
    EXPECT_EQ(test::thrownCode([&] { computeThreshold(cv::Mat(4, 4, CV_8UC3), Otsu); }),
              WrongImageType);
    EXPECT_THROW(contrastAdjustment(cv::Mat(), out, 0.001f), cv::Exception);
}

TEST(ContrastAdjustment, StretchesEachChannelBetweenItsClippedEnds) {
    // 10 000 pixels, so 10 are clipped at each end of each channel.
    cv::Mat bgr(100, 100, CV_8UC3);
    for (int i = 0; i < 10000; ++i) {
        const std::uint8_t blue = i < 20 ? 10 : (i >= 9980 ? 200 : 100);
        const std::uint8_t green = (i % 2 == 0) ? 50 : 52;  // clipped ends meet: range 0
        bgr.at<cv::Vec3b>(i / 100, i % 100) = {blue, green, static_cast<std::uint8_t>(i % 256)};
    }
    cv::Mat out;
    contrastAdjustment(bgr, out, 0.001f);
    ASSERT_EQ(out.type(), CV_8UC3);
    std::vector<cv::Mat> in(3), got(3);
    cv::split(bgr, in);
    cv::split(out, got);
    // Blue: offset 11, range 188, so 10 -> 0, 100 -> 120, 200 -> 255.
    cv::Mat blue = (in[0] == 200);
    blue.setTo(120, in[0] == 100);
    EXPECT_TRUE(identical(got[0], blue));
    EXPECT_TRUE(identical(got[1], in[1]));  // left unchanged, not divided by zero
    // Red: offset 1, range 253.
    EXPECT_EQ(out.at<cv::Vec3b>(0, 0)[2], 0);
    EXPECT_EQ(out.at<cv::Vec3b>(0, 128)[2], 128);  // (128 - 1) * 255 / 253 truncates to 128
    EXPECT_EQ(out.at<cv::Vec3b>(2, 0)[2], 200);    // 199 * 255 / 253 = 200.57
    EXPECT_EQ(out.at<cv::Vec3b>(2, 55)[2], 255);

    cv::Mat inPlace = bgr.clone();
    contrastAdjustment(inPlace, inPlace, 0.001f);
    EXPECT_TRUE(identical(inPlace, out));
}

TEST(ContrastAdjustment, FewerThanThousandPixelsAtOnePerMilleAreUnchanged) {
    const cv::Mat small = randomImage(30, 33, CV_8UC3, 5);  // 990 pixels: nothing clipped
    cv::Mat out;
    contrastAdjustment(small, out, 0.001f);
    EXPECT_TRUE(identical(out, small));

    // 1000 pixels of values 50..149 clip one value at each end and stretch.
    cv::Mat thousand(25, 40, CV_8UC3);
    for (int i = 0; i < 1000; ++i) {
        thousand.at<cv::Vec3b>(i / 40, i % 40) =
            cv::Vec3b::all(static_cast<std::uint8_t>(50 + i % 100));
    }
    contrastAdjustment(thousand, out, 0.001f);
    EXPECT_EQ(out.at<cv::Vec3b>(0, 0), cv::Vec3b::all(0));               // below the offset 51
    EXPECT_EQ(out.at<cv::Vec3b>(0, 30), cv::Vec3b::all(255 * 29 / 97));  // value 80, range 97
}

}  // namespace
}  // namespace qcl
