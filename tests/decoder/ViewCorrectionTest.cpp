#include "decoder/ViewCorrection.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

cv::Mat whiteImage(const cv::Size& size) {
    return cv::Mat(size, CV_8UC1, cv::Scalar(255));
}

TEST(MirrorView, MatrixTranslatesByTheWidthAndTheImageFlips) {
    cv::Mat image = whiteImage({640, 480});
    image.at<std::uint8_t>(10, 3) = 0;
    cv::Mat mirrored;
    const cv::Matx33d f = mirrorView(image, mirrored);
    EXPECT_EQ(f, cv::Matx33d(-1, 0, 640, 0, 1, 0, 0, 0, 1));
    EXPECT_EQ(mirrored.at<std::uint8_t>(10, 640 - 1 - 3), 0);
    EXPECT_EQ(cv::countNonZero(mirrored == 0), 1);
    EXPECT_EQ(image.at<std::uint8_t>(10, 3), 0) << "the source is left alone";
}

TEST(WarpView, PixelsFromOutsideAreWhiteAndSamplingIsNearest) {
    cv::Mat image(20, 30, CV_8UC1, cv::Scalar(0));
    image.at<std::uint8_t>(5, 5) = 100;
    cv::Mat shifted;
    const cv::Mat move = (cv::Mat_<double>(2, 3) << 1, 0, 4.4, 0, 1, -2.4);
    warpView(image, shifted, move);
    EXPECT_EQ(shifted.size(), image.size());
    EXPECT_EQ(shifted.at<std::uint8_t>(3, 9), 100) << "nearest neighbour, no blending";
    EXPECT_EQ(shifted.at<std::uint8_t>(10, 2), 255) << "brought in from the left: white";
    EXPECT_EQ(shifted.at<std::uint8_t>(19, 20), 255) << "brought in from below: white";
    EXPECT_EQ(shifted.at<std::uint8_t>(10, 10), 0);

    cv::Mat colour(20, 30, CV_8UC3, cv::Scalar(0, 0, 0));
    cv::Mat warped;
    warpView(colour, warped, cv::Mat(cv::Matx33d(1, 0, 5, 0, 1, 0, 0, 0, 1)));
    EXPECT_EQ(warped.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(warped.at<cv::Vec3b>(0, 29), cv::Vec3b(0, 0, 0));
}

TEST(AffineCorrection, EllipticDiscBecomesACircleAtTheImageCentre) {
    cv::Mat image = whiteImage({200, 160});
    const cv::RotatedRect ellipse({120.0f, 70.0f}, {60.0f, 30.0f}, 35.0f);
    cv::ellipse(image, ellipse, cv::Scalar(0), cv::FILLED, cv::LINE_8);
    const double r = 30.0;
    cv::Mat corrected;
    const cv::Matx33d a = affineCorrection(image, ellipse, r, corrected);
    EXPECT_EQ(a(2, 0), 0.0);
    EXPECT_EQ(a(2, 1), 0.0);
    EXPECT_EQ(a(2, 2), 1.0);
    const cv::Vec3d centre = a * cv::Vec3d(120, 70, 1);
    EXPECT_NEAR(centre[0], 100.0, 1e-3);
    EXPECT_NEAR(centre[1], 80.0, 1e-3);

    // The warped disc: black everywhere within 0.9 r of the centre, white beyond 1.1 r.
    for (int k = 0; k < 32; ++k) {
        const double angle = k * CV_PI / 16;
        const cv::Point inside(cvRound(100 + 0.9 * r * std::cos(angle)),
                               cvRound(80 + 0.9 * r * std::sin(angle)));
        const cv::Point outside(cvRound(100 + 1.1 * r * std::cos(angle)),
                                cvRound(80 + 1.1 * r * std::sin(angle)));
        EXPECT_EQ(corrected.at<std::uint8_t>(inside), 0) << k;
        EXPECT_EQ(corrected.at<std::uint8_t>(outside), 255) << k;
    }
    EXPECT_EQ(corrected.type(), CV_8UC1);
}

TEST(Transform1, MovesEdgePointsOntoTheirSlotsOnACircle) {
    const cv::Mat image = whiteImage({101, 81});
    InnerZebra zebra;
    zebra.slotCount = 8;
    zebra.radius = 20.0;
    const cv::Point2d c(50.5, 40.5);
    // Measured points: the ideal ring stretched by 1.2 along x and shifted by (3, -2).
    for (int slot = 0; slot < 8; ++slot) {
        const double angle = slot * 2 * CV_PI / 8;
        RingPoint point;
        point.slot = slot;
        point.angle = angle;
        point.position = cv::Point2f(static_cast<float>(c.x + 3 + 1.2 * 20 * std::cos(angle)),
                                     static_cast<float>(c.y - 2 + 20 * std::sin(angle)));
        zebra.edges.push_back(point);
    }
    cv::Mat corrected;
    cv::Matx33d h;
    ASSERT_TRUE(transform1(image, zebra, corrected, h));
    for (const RingPoint& edge : zebra.edges) {
        const cv::Vec3d p = h * cv::Vec3d(edge.position.x, edge.position.y, 1);
        EXPECT_NEAR(p[0] / p[2], c.x + 20 * std::cos(edge.angle), 1e-3);
        EXPECT_NEAR(p[1] / p[2], c.y + 20 * std::sin(edge.angle), 1e-3);
    }
    EXPECT_EQ(corrected.size(), image.size());
}

TEST(Transform1, TooFewEdgePointsGiveNoCorrection) {
    const cv::Mat image = whiteImage({50, 50});
    InnerZebra zebra;
    zebra.slotCount = 4;
    zebra.radius = 10;
    for (int slot = 0; slot < 3; ++slot) {
        zebra.edges.push_back({slot, 0.0, cv::Point2f(10.0f * slot, 5.0f)});
    }
    cv::Mat corrected;
    cv::Matx33d h = cv::Matx33d::eye();
    EXPECT_FALSE(transform1(image, zebra, corrected, h));
    EXPECT_TRUE(corrected.empty());
}

}  // namespace
}  // namespace qcl
