#include "decoder/ViewCorrection.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

// The mirror is checked through the stage chain's views.
TEST(ViewCorrection, WarpsFillFromOutsideWithWhiteNearestPixels) {
    cv::Mat dark(20, 30, CV_8UC1, cv::Scalar(0));
    dark.at<std::uint8_t>(5, 5) = 100;
    cv::Mat shifted;
    warpView(dark, shifted, (cv::Mat_<double>(2, 3) << 1, 0, 4.4, 0, 1, -2.4));
    EXPECT_EQ(shifted.size(), dark.size());
    EXPECT_EQ(shifted.at<std::uint8_t>(3, 9), 100) << "nearest neighbour, no blending";
    EXPECT_EQ(shifted.at<std::uint8_t>(10, 2), 255) << "brought in from the left: white";
    EXPECT_EQ(shifted.at<std::uint8_t>(19, 20), 255) << "brought in from below: white";
    EXPECT_EQ(shifted.at<std::uint8_t>(10, 10), 0);
    // A 3x3 matrix on a colour image.
    cv::Mat warped;
    warpView(cv::Mat(20, 30, CV_8UC3, cv::Scalar::all(0)), warped,
             cv::Mat(cv::Matx33d(1, 0, 5, 0, 1, 0, 0, 0, 1)));
    EXPECT_EQ(warped.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(warped.at<cv::Vec3b>(0, 29), cv::Vec3b(0, 0, 0));
}

TEST(ViewCorrection, AffineCorrectionTurnsAnEllipticDiscIntoACircleAtTheCentre) {
    cv::Mat image(160, 200, CV_8UC1, cv::Scalar(255));
    const cv::RotatedRect ellipse({120.0f, 70.0f}, {60.0f, 30.0f}, 35.0f);
    cv::ellipse(image, ellipse, cv::Scalar(0), cv::FILLED, cv::LINE_8);
    const double r = 30.0;
    cv::Mat corrected;
    const cv::Matx33d a = affineCorrection(image, ellipse, r, corrected);
    EXPECT_EQ(cv::Vec3d(a(2, 0), a(2, 1), a(2, 2)), cv::Vec3d(0, 0, 1));
    const cv::Vec3d centre = a * cv::Vec3d(120, 70, 1);
    EXPECT_NEAR(centre[0], 100.0, 1e-3);
    EXPECT_NEAR(centre[1], 80.0, 1e-3);
    ASSERT_EQ(corrected.type(), CV_8UC1);
    // Black everywhere within 0.9 r of the centre, white beyond 1.1 r.
    for (int k = 0; k < 32; ++k) {
        const cv::Point2d u(std::cos(k * CV_PI / 16), std::sin(k * CV_PI / 16));
        EXPECT_EQ(corrected.at<std::uint8_t>(cv::Point2d(100, 80) + 0.9 * r * u), 0) << k;
        EXPECT_EQ(corrected.at<std::uint8_t>(cv::Point2d(100, 80) + 1.1 * r * u), 255) << k;
    }
}

TEST(ViewCorrection, Transform1MovesEdgePointsOntoTheirSlotsAndNeedsFourOfThem) {
    const cv::Mat image(81, 101, CV_8UC1, cv::Scalar(255));
    InnerZebra zebra;
    zebra.slotCount = 8;
    zebra.radius = 20.0;
    const cv::Point2d c(50.5, 40.5);
    // Measured points: the ideal ring stretched by 1.2 along x and shifted by (3, -2).
    for (int slot = 0; slot < 8; ++slot) {
        const double angle = slot * 2 * CV_PI / 8;
        zebra.edges.push_back({slot, angle,
                               cv::Point2f(static_cast<float>(c.x + 3 + 24 * std::cos(angle)),
                                           static_cast<float>(c.y - 2 + 20 * std::sin(angle)))});
    }
    cv::Mat corrected;
    cv::Matx33d h;
    ASSERT_TRUE(transform1(image, zebra, corrected, h));
    EXPECT_EQ(corrected.size(), image.size());
    for (const RingPoint& edge : zebra.edges) {
        const cv::Vec3d p = h * cv::Vec3d(edge.position.x, edge.position.y, 1);
        EXPECT_NEAR(p[0] / p[2], c.x + 20 * std::cos(edge.angle), 1e-3);
        EXPECT_NEAR(p[1] / p[2], c.y + 20 * std::sin(edge.angle), 1e-3);
    }

    zebra.edges.resize(3);
    cv::Mat none;
    EXPECT_FALSE(transform1(image, zebra, none, h));
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace qcl
