#include "common/Angles.h"
#include "decoder/InnerZebra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "support/PolarPainter.h"

namespace qcl {
namespace {

// A drawn inner zebra: a white disc of radius 30, then a black ring two pitches (60 px) wide
// with `places` evenly spaced short places (parallel-sided white notches above a black floor).
struct RingDrawing {
    int places = 16;
    double rotation = 0.3;  // angle of the first notch's centre line
    static constexpr double kDisc = 30.0;
    static constexpr double kFloor = 39.0;  // the notches' floor radius
    const cv::Point2d center{200.0, 200.25};

    double moduleAngle() const { return 2 * kPi / (4 * places); }
    double notchAngle(int q) const { return rotation + q * 4 * moduleAngle(); }

    cv::Mat render() const {
        const int modules = places == 4 ? 1 : 2;
        const double halfChord = kFloor * std::sin(modules * moduleAngle() / 2);
        return test::paintPolar({400, 400}, center, [&](double rho, double angle) {
            if (rho < kDisc || rho >= kDisc + 60.0) {
                return false;
            }
            for (int q = 0; q < places && rho >= kFloor; ++q) {
                const double d = angle - notchAngle(q);
                if (std::cos(d) > 0 && std::abs(rho * std::sin(d)) < halfChord) {
                    return false;
                }
            }
            return true;
        });
    }
};

TEST(InnerZebraTest, EveryPlaceCountOfADrawnRing) {
    for (const auto& [places, rotation] : std::vector<std::pair<int, double>>{
             {4, 0.3}, {8, 1.234}, {12, 4.0}, {16, 0.3}, {20, 1.234}}) {
        SCOPED_TRACE("places " + std::to_string(places));
        RingDrawing ring;
        ring.places = places;
        ring.rotation = rotation;
        InnerZebra zebra;
        ASSERT_EQ(findInnerZebra(ring.render(), RingDrawing::kDisc - 0.5, zebra), Success);
        ASSERT_EQ(zebra.slotCount, places);
        ASSERT_EQ(zebra.edges.size(), static_cast<std::size_t>(places));
        EXPECT_NEAR(zebra.radius, RingDrawing::kFloor, 1.5);
        for (std::size_t i = 0; i < zebra.edges.size(); ++i) {
            const RingPoint& point = zebra.edges[i];
            EXPECT_EQ(point.slot, static_cast<int>(i));
            EXPECT_TRUE(i == 0 || point.angle > zebra.edges[i - 1].angle) << i;
            // On a notch's centre line (edge i nearest notch i - k for a fixed k) at its floor.
            const double slots = (point.angle - ring.rotation) / (4 * ring.moduleAngle());
            EXPECT_LT(std::abs(slots - std::round(slots)), 0.0625) << i;
            const double rho = cv::norm(cv::Point2d(point.position) - ring.center);
            EXPECT_NEAR(rho, RingDrawing::kFloor, 2.0) << "edge " << i;
        }
    }
}

// Black ring from radius 100 whose outer radius is set per degree sector (sector d covers
// [d - 0.5, d + 0.5) degrees), so every sample ray of the reach scan reads a chosen reach.
cv::Mat sectorRing(const std::function<double(int)>& outerRadius) {
    return test::paintPolar({520, 520}, {260.0, 260.0}, [&](double rho, double angle) {
        const int sector = static_cast<int>(std::floor(angle * 180.0 / kPi + 0.5)) % 360;
        return rho >= 100.0 && rho < outerRadius(sector);
    });
}

// Four places 23 degrees wide at 0, 90, 180 and 270 degrees: their reach, else `elsewhere`.
double fourPlaces(int degree, double elsewhere) {
    for (int centre : {0, 90, 180, 270}) {
        if (std::abs(((degree - centre) % 360 + 540) % 360 - 180) <= 11) {
            return 110.5;
        }
    }
    return elsewhere;
}

// Four places at the quarter turns are found at their reach, 10.5 px beyond the disc.
TEST(InnerZebraTest, PlacesAcrossZeroAndBesideAWideDiscAreKept) {
    const struct {
        const char* name;
        std::function<double(int)> reach;
    } cases[] = {
        // The place across 0 begins with a higher floor (349..359 degrees), so its first sample
        // is not below the clipped mean and the place is taken from sample 0 on; its refined
        // middle lies just past 0 while the previous place lies near 270 degrees, more than a
        // degree away round the circle.
        {"short place across zero",
         [](int degree) { return degree >= 349 ? 120.5 : fourPlaces(degree, 240.0); }},
        // A disc of radius 100 and 50 px of black beside the places: every ray's run is shorter
        // than the places' distance from the centre / 0.9, so only their own 10 px run from the
        // disc tells them from the black beside them.
        {"wide disc beside", [](int degree) { return fourPlaces(degree, 150.0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InnerZebra zebra;
        ASSERT_EQ(findInnerZebra(sectorRing(c.reach), 99.5, zebra), Success);
        EXPECT_EQ(zebra.slotCount, 4);
        ASSERT_EQ(zebra.edges.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) {
            const double quarters = zebra.edges[i].angle / (kPi / 2);
            EXPECT_LT(std::abs(quarters - std::round(quarters)), 0.03) << i;
            EXPECT_NEAR(cv::norm(cv::Point2d(zebra.edges[i].position) - cv::Point2d(260, 260)),
                        110.5, 1.5)
                << i;
        }
    }
}

void expectFailure(const char* name, const cv::Mat& image, double radius, ErrorCode code) {
    InnerZebra zebra;
    EXPECT_EQ(findInnerZebra(image, radius, zebra), code) << name;
    EXPECT_EQ(zebra.slotCount, 0) << name;
    EXPECT_TRUE(zebra.edges.empty()) << name;
}

TEST(InnerZebraTest, RingsWithoutUsablePlacesAndUnusableInputFail) {
    const double radius = RingDrawing::kDisc - 0.5;
    RingDrawing ring;
    ring.places = 0;
    expectFailure("all reaches equal", ring.render(), radius, PerspectiveMarkersNotDetected);
    ring.places = 24;
    expectFailure("15 degrees fit no spacing class", ring.render(), radius,
                  WrongNumberOfPerspectiveMarkers);
    // Black beside the places barely longer than theirs: every ray counts as inside a place
    // whether its run is weighed against the place's distance from the centre or its run from
    // the disc; the median width is about pi and no module angle follows (no division by 0).
    expectFailure("places that never end", sectorRing([](int d) { return fourPlaces(d, 112.0); }),
                  99.5, PerspectiveMarkersNotDetected);
    const cv::Mat black(300, 300, CV_8UC1, cv::Scalar(0));
    expectFailure("white image", cv::Mat(300, 300, CV_8UC1, cv::Scalar(255)), 20.0,
                  PerspectiveMarkersNotDetected);
    expectFailure("empty image", cv::Mat(), 20.0, PerspectiveMarkersNotDetected);
    expectFailure("radius not a number", black, std::nan(""), PerspectiveMarkersNotDetected);
    expectFailure("negative radius", black, -1.0, PerspectiveMarkersNotDetected);
}

}  // namespace
}  // namespace qcl
