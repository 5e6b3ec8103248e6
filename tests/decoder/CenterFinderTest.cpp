#include "decoder/CenterFinder.h"

#include "imaging/Preprocessing.h"
#include "support/SymbolFixtures.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

const cv::Scalar kBlack(0);
const cv::Scalar kWhite(255);

// White image with a black ring round a white disc at the image centre, like a symbol's centre.
cv::Mat discInRing(int size, int discRadius, int ringRadius) {
    cv::Mat image(size, size, CV_8UC1, kWhite);
    const cv::Point center(size / 2, size / 2);
    cv::circle(image, center, ringRadius, kBlack, cv::FILLED);
    cv::circle(image, center, discRadius, kWhite, cv::FILLED);
    return image;
}

float largerAxis(const cv::RotatedRect& box) {
    return std::max(box.size.width, box.size.height);
}

TEST(CenterFinderTest, WhiteDiscIsFoundAndRepainted) {
    cv::Mat image = discInRing(320, 30, 70);
    // A black speck inside the disc: the repaint fills it.
    cv::rectangle(image, cv::Rect(170, 158, 3, 3), kBlack, cv::FILLED);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(ellipse.center.x, 160.0, 1.0);
    EXPECT_NEAR(ellipse.center.y, 160.0, 1.0);
    EXPECT_NEAR(largerAxis(ellipse), 60.0, 3.0);
    EXPECT_EQ(image.at<std::uint8_t>(159, 171), 255);
    // The ring outside the ellipse stays black.
    EXPECT_EQ(image.at<std::uint8_t>(160, 160 + 50), 0);
}

TEST(CenterFinderTest, RepaintedEdgeIsAntialiased) {
    cv::Mat image = discInRing(320, 30, 70);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    int grey = 0;
    for (int x = 0; x < image.cols; ++x) {
        const int value = image.at<std::uint8_t>(160, x);
        grey += value != 0 && value != 255;
    }
    EXPECT_GT(grey, 0);
}

TEST(CenterFinderTest, BlackDiscIsRepairedAndFound) {
    cv::Mat image = discInRing(400, 40, 100);
    cv::circle(image, {200, 200}, 14, kBlack, cv::FILLED);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(ellipse.center.x, 200.0, 2.0);
    EXPECT_NEAR(ellipse.center.y, 200.0, 2.0);
    // The black disc has become white; the ring round the white disc is still there.
    EXPECT_EQ(image.at<std::uint8_t>(200, 200), 255);
    EXPECT_EQ(image.at<std::uint8_t>(200, 212), 255);
    EXPECT_EQ(image.at<std::uint8_t>(200, 200 + 70), 0);
    EXPECT_LT(largerAxis(ellipse), 2 * 100.0);
}

TEST(CenterFinderTest, SmallestBlobAroundTheEstimateWins) {
    // Disc r 25 in a black ring, in a white annulus to r 80, in a black ring to r 100.
    cv::Mat image(400, 400, CV_8UC1, kWhite);
    cv::circle(image, {200, 200}, 100, kBlack, cv::FILLED);
    cv::circle(image, {200, 200}, 80, kWhite, cv::FILLED);
    cv::circle(image, {200, 200}, 50, kBlack, cv::FILLED);
    cv::circle(image, {200, 200}, 25, kWhite, cv::FILLED);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(largerAxis(ellipse), 50.0, 3.0);
    EXPECT_EQ(image.at<std::uint8_t>(200, 200 + 60), 255);  // annulus untouched
    EXPECT_EQ(image.at<std::uint8_t>(200, 200 + 40), 0);
}

TEST(CenterFinderTest, OpeningsCutThinBridgesToTheDisc) {
    cv::Mat image = discInRing(320, 30, 90);
    // A 2 px white bridge joins the disc to the background: disc and background are one region,
    // too large for the area filter. The decoy keeps keypoints coming, so the openings run.
    cv::rectangle(image, cv::Rect(185, 159, 80, 2), kWhite, cv::FILLED);
    cv::circle(image, {160, 230}, 15, kWhite, cv::FILLED);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(ellipse.center.x, 160.0, 1.5);
    EXPECT_NEAR(ellipse.center.y, 160.0, 1.5);
    EXPECT_NEAR(largerAxis(ellipse), 60.0, 4.0);
}

TEST(CenterFinderTest, SmallDiscFoundWithoutAreaLimits) {
    // Radius 6 is below the smallest area of the first four attempts (D / 32 = 10).
    cv::Mat image = discInRing(320, 6, 40);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(image, ellipse), Success);
    EXPECT_NEAR(largerAxis(ellipse), 12.0, 2.5);
}

TEST(CenterFinderTest, NoRoundWhiteBlobFails) {
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
}

TEST(CenterFinderTest, EmptyImageFails) {
    cv::Mat image;
    cv::RotatedRect ellipse;
    EXPECT_EQ(findCenter(image, ellipse), InnerCircleNotFound);
}

TEST(CenterFinderTest, RenderedBlackCentresAreRepainted) {
    for (int m : {16, 48, 80}) {
        test::SymbolSpec spec;
        spec.modulesPerRing = m;
        spec.ringCount = 3;
        spec.blackCenter = true;
        spec.rotation = 0.7 * m;
        const test::TestSymbol symbol = test::renderTestSymbol(spec);
        ASSERT_GT(symbol.geometry.blackCenterRadius, 0.0);
        cv::Mat binary;
        binarizeImage(symbol.image, binary, 0, Otsu);
        const cv::Point center(cvRound(symbol.geometry.center.x),
                               cvRound(symbol.geometry.center.y));
        ASSERT_EQ(binary.at<std::uint8_t>(center), 0) << spec;
        cv::RotatedRect ellipse;
        ASSERT_EQ(findCenter(binary, ellipse), Success) << spec;
        EXPECT_LT(cv::norm(cv::Point2d(ellipse.center) - symbol.geometry.center), 1.5) << spec;
        EXPECT_NEAR(largerAxis(ellipse), 2 * symbol.geometry.discRadius, 3.0) << spec;
        EXPECT_EQ(binary.at<std::uint8_t>(center), 255) << spec;
        // The thin black below the notches survives the repaint.
        const double floor = symbol.geometry.notchFloorRadius() - 1.0;
        for (int slot : {5, 7}) {
            const cv::Point2d p = symbol.geometry.pointAt(floor, slot + 0.5);
            EXPECT_EQ(binary.at<std::uint8_t>(cvRound(p.y), cvRound(p.x)), 0) << spec;
        }
    }
}

}  // namespace
}  // namespace qcl
