#include "imaging/Preprocessing.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <vector>

#include "common/ErrorCodes.h"
#include "support/SeededRandom.h"

namespace qcl {
namespace {

// A one-row grey image holding the given values in order.
cv::Mat greyRow(const std::vector<std::uint8_t>& values) {
    cv::Mat row(1, static_cast<int>(values.size()), CV_8UC1);
    for (int i = 0; i < row.cols; ++i) {
        row.at<std::uint8_t>(0, i) = values[static_cast<std::size_t>(i)];
    }
    return row;
}

// A grey image with `count` pixels of each value.
cv::Mat greyWithCounts(const std::vector<std::pair<std::uint8_t, int>>& counts) {
    std::vector<std::uint8_t> values;
    for (const auto& [value, count] : counts) {
        values.insert(values.end(), static_cast<std::size_t>(count), value);
    }
    return greyRow(values);
}

cv::Mat randomImage(int rows, int cols, int type, std::uint32_t seed) {
    cv::Mat image(rows, cols, type);
    cv::RNG rng(seed);
    rng.fill(image, cv::RNG::UNIFORM, 0, 256);
    return image;
}

bool identical(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// --- automatic threshold ---------------------------------------------------------------------

TEST(ComputeThreshold, TwoValuesTieOtsuTakesTheLastAndEntropyTheFirstMaximum) {
    // Every split from 50 to 199 separates the same two classes.
    const cv::Mat grey = greyWithCounts({{50, 40}, {200, 60}});
    EXPECT_EQ(computeThreshold(grey, Otsu), 199);
    EXPECT_EQ(computeThreshold(grey, MaximumEntropy), 50);
}

TEST(ComputeThreshold, ThreeValuesPickTheBestSplitOfEachMethod) {
    // Counts 2, 2, 4 at 10, 20, 30. Otsu: splitting after 20 gives 56.25 against 52.08 after 10.
    // Entropy: {10,20}|{30} gives ln 2 against 0.637 for {10}|{20,30}.
    const cv::Mat grey = greyWithCounts({{10, 2}, {20, 2}, {30, 4}});
    EXPECT_EQ(computeThreshold(grey, Otsu), 29);
    EXPECT_EQ(computeThreshold(grey, MaximumEntropy), 20);
}

TEST(ComputeThreshold, OtsuAgreesWithTheLibraryOnAFullHistogram) {
    // Two broad humps fill every bin, so no tie can separate the two tie rules.
    cv::Mat grey(200, 200, CV_8UC1);
    cv::RNG rng(7);
    cv::Mat dark = grey.colRange(0, 120);
    cv::Mat bright = grey.colRange(120, 200);
    rng.fill(dark, cv::RNG::NORMAL, 70, 30);
    rng.fill(bright, cv::RNG::NORMAL, 180, 30);
    cv::Mat unused;
    const double library = cv::threshold(grey, unused, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    EXPECT_EQ(computeThreshold(grey, Otsu), static_cast<int>(library));
}

TEST(ComputeThreshold, UniformGreyFallsBackTo127) {
    const cv::Mat grey(20, 20, CV_8UC1, cv::Scalar(100));
    EXPECT_EQ(computeThreshold(grey, Otsu), 127);
    EXPECT_EQ(computeThreshold(grey, MaximumEntropy), 127);
}

TEST(ComputeThreshold, UnknownMethodGives127) {
    const cv::Mat grey = greyWithCounts({{10, 5}, {240, 5}});
    EXPECT_EQ(computeThreshold(grey, 2), 127);
    EXPECT_EQ(computeThreshold(grey, -1), 127);
}

TEST(ComputeThreshold, BinaryImageGivesMinusOne) {
    EXPECT_EQ(computeThreshold(greyWithCounts({{0, 3}, {255, 7}}), Otsu), -1);
    EXPECT_EQ(computeThreshold(greyWithCounts({{255, 4}}), MaximumEntropy), -1);
    // One grey pixel is enough to threshold again.
    EXPECT_NE(computeThreshold(greyWithCounts({{0, 3}, {1, 1}, {255, 7}}), Otsu), -1);
}

TEST(ComputeThreshold, RejectsColourImages) {
    const cv::Mat bgr(4, 4, CV_8UC3, cv::Scalar(1, 2, 3));
    try {
        computeThreshold(bgr, Otsu);
        FAIL() << "a colour image was accepted";
    } catch (const QCException& e) {
        EXPECT_EQ(e.code, WrongImageType);
    }
}

// --- binarisation ----------------------------------------------------------------------------

TEST(ThresholdImage, WhiteOnlyAboveTheThreshold) {
    cv::Mat binary;
    thresholdImage(greyRow({0, 99, 100, 101, 255}), binary, 100);
    EXPECT_TRUE(identical(binary, greyRow({0, 0, 0, 255, 255})));
}

TEST(ThresholdImage, MinusOneCopiesTheSource) {
    const cv::Mat bgr = randomImage(5, 6, CV_8UC3, 3);
    cv::Mat out;
    thresholdImage(bgr, out, -1);
    EXPECT_TRUE(identical(out, bgr));
    EXPECT_NE(out.data, bgr.data);
}

TEST(BinarizeColorMode, AnyBrightChannelMakesWhite) {
    const cv::Mat red(3, 3, CV_8UC3, cv::Scalar(0, 0, 200));
    cv::Mat colourMode;
    binarizeColorMode(red, colourMode, 120);
    EXPECT_EQ(colourMode.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(colourMode == 255), 9);

    cv::Mat greyMode;  // grey value of pure red 200 is about 60
    thresholdImage(red, greyMode, 120);
    EXPECT_EQ(cv::countNonZero(greyMode), 0);

    cv::Mat mixed(1, 4, CV_8UC3);
    mixed.at<cv::Vec3b>(0, 0) = {121, 0, 0};
    mixed.at<cv::Vec3b>(0, 1) = {0, 121, 0};
    mixed.at<cv::Vec3b>(0, 2) = {120, 120, 120};
    mixed.at<cv::Vec3b>(0, 3) = {0, 0, 0};
    binarizeColorMode(mixed, colourMode, 120);
    EXPECT_TRUE(identical(colourMode, greyRow({255, 255, 0, 0})));
}

TEST(BinarizeColorMode, OneChannelIsThePlainThreshold) {
    const cv::Mat grey = randomImage(20, 30, CV_8UC1, 13);
    cv::Mat colourMode;
    cv::Mat plain;
    binarizeColorMode(grey, colourMode, 90);
    thresholdImage(grey, plain, 90);
    EXPECT_TRUE(identical(colourMode, plain));

    cv::Mat binary;  // so a grey input with the colour flag binarises like the grey path
    cv::Mat expected;
    EXPECT_EQ(binarizeImage(grey, binary, 1, Otsu), binarizeImage(grey, expected, 0, Otsu));
    EXPECT_TRUE(identical(binary, expected));
}

TEST(BinarizeColorMode, ReusesOrReplacesTheDestination) {
    cv::Mat image(2, 2, CV_8UC3, cv::Scalar(0, 200, 0));
    binarizeColorMode(image, image, 100);  // same matrix: the result replaces it
    EXPECT_EQ(image.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(image), 4);
}

// Three blocks side by side: black, bright red and light grey.
cv::Mat threeBlocks() {
    cv::Mat bgr(30, 90, CV_8UC3, cv::Scalar(0, 0, 0));
    bgr.colRange(30, 60).setTo(cv::Scalar(0, 0, 250));  // grey value 75
    bgr.colRange(60, 90).setTo(cv::Scalar(230, 230, 230));
    return bgr;
}

TEST(BinarizeImage, ColourFlagKeepsSaturatedColoursWhite) {
    const cv::Mat bgr = threeBlocks();
    cv::Mat colourMode;
    cv::Mat greyMode;
    const int t = binarizeImage(bgr, colourMode, 1, Otsu);
    EXPECT_EQ(binarizeImage(bgr, greyMode, 0, Otsu), t);
    ASSERT_GE(t, 75);
    ASSERT_LT(t, 230);
    EXPECT_EQ(cv::countNonZero(colourMode.colRange(0, 30)), 0);
    EXPECT_EQ(cv::countNonZero(colourMode.colRange(30, 90)), 30 * 60);
    EXPECT_EQ(cv::countNonZero(greyMode.colRange(0, 60)), 0);
    EXPECT_EQ(cv::countNonZero(greyMode.colRange(60, 90)), 30 * 30);
}

TEST(BinarizeImage, OpeningRemovesSpecksButOtsuAloneKeepsThem) {
    cv::Mat grey(20, 20, CV_8UC1, cv::Scalar(30));
    grey(cv::Rect(10, 10, 6, 6)).setTo(200);
    grey.at<std::uint8_t>(3, 3) = 200;  // an isolated bright speck

    cv::Mat opened;
    EXPECT_EQ(binarizeImage(grey, opened, 0, Otsu), 199);
    EXPECT_EQ(opened.at<std::uint8_t>(3, 3), 0);
    EXPECT_EQ(cv::countNonZero(opened), 36);

    cv::Mat plain;
    binarizeOtsu(grey, plain);
    EXPECT_EQ(plain.at<std::uint8_t>(3, 3), 255);
    EXPECT_EQ(cv::countNonZero(plain), 37);
}

TEST(BinarizeImage, UniformGreyBecomesBlackAt127) {
    const cv::Mat grey(16, 16, CV_8UC1, cv::Scalar(100));
    cv::Mat binary;
    EXPECT_EQ(binarizeImage(grey, binary, 0, Otsu), 127);
    EXPECT_EQ(cv::countNonZero(binary), 0);
    EXPECT_EQ(binarizeImage(grey, binary, 0, MaximumEntropy), 127);
    EXPECT_EQ(cv::countNonZero(binary), 0);
}

TEST(BinarizeImage, BinaryInputPassesThroughWithoutOpening) {
    cv::Mat binary(12, 12, CV_8UC1, cv::Scalar(0));
    binary.at<std::uint8_t>(5, 5) = 255;  // would not survive an opening
    cv::Mat out;
    EXPECT_EQ(binarizeImage(binary, out, 0, Otsu), 128);
    EXPECT_TRUE(identical(out, binary));
    EXPECT_EQ(binarizeImage(binary, out, 1, MaximumEntropy), 128);
    EXPECT_TRUE(identical(out, binary));

    cv::Mat otsu;
    binarizeOtsu(binary, otsu);
    EXPECT_TRUE(identical(otsu, binary));

    cv::Mat bgr;  // a black-and-white colour image passes through as its grey image
    cv::cvtColor(binary, bgr, cv::COLOR_GRAY2BGR);
    EXPECT_EQ(binarizeImage(bgr, out, 1, Otsu), 128);
    EXPECT_TRUE(identical(out, binary));
}

TEST(BinarizeImage, ResultIsStrictlyBlackAndWhite) {
    const cv::Mat bgr = randomImage(64, 64, CV_8UC3, 11);
    cv::Mat binary;
    binarizeImage(bgr, binary, 0, MaximumEntropy);
    EXPECT_EQ(binary.type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(binary == 0) + cv::countNonZero(binary == 255), 64 * 64);
}

// --- channel counts --------------------------------------------------------------------------

template <typename Operation>
void expectWrongImageType(const Operation& operation, const char* what) {
    for (const int type : {CV_8UC2, CV_8UC4}) {
        const cv::Mat image(8, 8, type, cv::Scalar::all(90));
        try {
            operation(image);
            ADD_FAILURE() << what << " accepted " << image.channels() << " channels";
        } catch (const QCException& e) {
            EXPECT_EQ(e.code, WrongImageType) << what;
            EXPECT_STREQ(e.what(), "Image type should be binary, grayscale or BGR") << what;
        }
    }
}

TEST(Preprocessing, TwoAndFourChannelsThrowCode22) {
    cv::Mat out;
    expectWrongImageType([&](const cv::Mat& m) { thresholdImage(m, out, 100); }, "threshold");
    expectWrongImageType([&](const cv::Mat& m) { binarizeImage(m, out, 0, Otsu); }, "binarize");
    expectWrongImageType([&](const cv::Mat& m) { binarizeImage(m, out, 1, Otsu); }, "colour");
    expectWrongImageType([&](const cv::Mat& m) { binarizeOtsu(m, out); }, "otsu");
    expectWrongImageType([&](const cv::Mat& m) { binarizeColorMode(m, out, 100); }, "mode");
    expectWrongImageType([&](const cv::Mat& m) { enhanceImage(m, out); }, "enhance");
    expectWrongImageType([&](const cv::Mat& m) { contrastAdjustment(m, out, 0.01f); }, "stretch");
}

TEST(Preprocessing, EmptyImagesFailInTheLibrary) {
    cv::Mat out;
    EXPECT_THROW(contrastAdjustment(cv::Mat(), out, 0.001f), cv::Exception);
    EXPECT_THROW(binarizeColorMode(cv::Mat(0, 0, CV_8UC3), out, 100), cv::Exception);
}

// --- contrast stretch and enhancement --------------------------------------------------------

TEST(ContrastAdjustment, StretchesEachChannelBetweenItsClippedEnds) {
    // 10 000 pixels, so 10 are clipped at each end of each channel.
    cv::Mat bgr(100, 100, CV_8UC3);
    for (int i = 0; i < 10000; ++i) {
        const std::uint8_t blue = i < 20 ? 10 : (i >= 9980 ? 200 : 100);
        const std::uint8_t green = (i % 2 == 0) ? 50 : 52;  // clipped ends meet: range 0
        const std::uint8_t red = static_cast<std::uint8_t>(i % 256);
        bgr.at<cv::Vec3b>(i / 100, i % 100) = {blue, green, red};
    }
    cv::Mat out;
    contrastAdjustment(bgr, out, 0.001f);
    ASSERT_EQ(out.type(), CV_8UC3);
    for (int i = 0; i < 10000; ++i) {
        const cv::Vec3b in = bgr.at<cv::Vec3b>(i / 100, i % 100);
        const cv::Vec3b got = out.at<cv::Vec3b>(i / 100, i % 100);
        // Blue: offset 11, upper 199, range 188. Red: offset 1, upper 254, range 253.
        const int blue = in[0] == 10 ? 0 : (in[0] == 100 ? 120 : 255);
        const int red = std::max(0, std::min(255, (in[2] - 1) * 255 / 253));
        ASSERT_EQ(got[0], blue) << "pixel " << i;
        ASSERT_EQ(got[1], in[1]) << "pixel " << i;
        ASSERT_EQ(got[2], red) << "pixel " << i;
    }
    EXPECT_EQ(out.at<cv::Vec3b>(0, 128)[2], 128);  // (128 - 1) * 255 / 253 truncates to 128
    EXPECT_EQ(out.at<cv::Vec3b>(2, 0)[2], 200);    // value 200: 199 * 255 / 253 = 200.57
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

TEST(ContrastAdjustment, InPlaceMatchesOutOfPlace) {
    const cv::Mat bgr = randomImage(40, 50, CV_8UC3, 9);
    cv::Mat expected;
    contrastAdjustment(bgr, expected, 0.05f);
    cv::Mat inPlace = bgr.clone();
    contrastAdjustment(inPlace, inPlace, 0.05f);
    EXPECT_TRUE(identical(inPlace, expected));
    EXPECT_FALSE(identical(expected, bgr));
}

TEST(EnhanceImage, StretchesColourThenSmoothesAndLeavesTheSourceAlone) {
    const cv::Mat bgr = randomImage(48, 64, CV_8UC3, 21);
    const cv::Mat before = bgr.clone();
    cv::Mat enhanced;
    enhanceImage(bgr, enhanced);
    EXPECT_TRUE(identical(bgr, before));

    cv::Mat stretched, median, expected;
    contrastAdjustment(bgr, stretched, 0.001f);
    cv::medianBlur(stretched, median, 3);
    cv::GaussianBlur(median, expected, cv::Size(5, 5), 0.0);
    EXPECT_TRUE(identical(enhanced, expected));

    cv::Mat inPlace = bgr.clone();
    enhanceImage(inPlace, inPlace);
    EXPECT_TRUE(identical(inPlace, expected));
}

TEST(EnhanceImage, GreyIsOnlySmoothed) {
    const cv::Mat grey = randomImage(40, 40, CV_8UC1, 22);
    cv::Mat enhanced, median, expected;
    enhanceImage(grey, enhanced);
    cv::medianBlur(grey, median, 3);
    cv::GaussianBlur(median, expected, cv::Size(5, 5), 0.0);
    EXPECT_TRUE(identical(enhanced, expected));
}

}  // namespace
}  // namespace qcl
