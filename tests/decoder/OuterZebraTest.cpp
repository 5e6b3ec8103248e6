#include "decoder/OuterZebra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "support/PolarPainter.h"

namespace qcl {
namespace {

using test::angularDistance;
using test::paintPolar;

const cv::Size kSize(400, 400);
const cv::Point2d kCenter(200.0, 200.0);
constexpr double kRingInner = 150.0;
constexpr double kRingOuter = 170.0;
const cv::Point2d kStartPoint(kCenter.x + kRingOuter, kCenter.y);

// Slot of an angle on a ring of `modules` slots whose slot 0 is centred at `offset`.
int slotOf(double angle, int modules, double offset) {
    const double step = 2.0 * CV_PI / modules;
    const double turns = std::fmod(angle - offset + 4.0 * CV_PI + step / 2, 2.0 * CV_PI);
    return static_cast<int>(turns / step) % modules;
}

// A ring of `modules` slots, the even ones black, with a narrow black bar (a sixth of a module
// wide) in the middle of the white slots `2b + 1` for which bar(b) holds, and the black slots
// `2b` for which gap(b) holds left white.
cv::Mat drawRing(int modules, double offset, const std::function<bool(int)>& gap = {},
                 const std::function<bool(int)>& bar = {}) {
    const double step = 2.0 * CV_PI / modules;
    return paintPolar(kSize, kCenter, [&](double rho, double angle) {
        if (rho < kRingInner || rho >= kRingOuter) {
            return false;
        }
        const int slot = slotOf(angle, modules, offset);
        if (slot % 2 == 0) {
            return !(gap && gap(slot / 2));
        }
        return bar && bar(slot / 2) && angularDistance(angle, offset + slot * step) < step / 6;
    });
}

void expectEvenRing(const OuterZebra& zebra, int modules, double offset) {
    const int half = modules / 2;
    EXPECT_EQ(zebra.slotCount, half);
    ASSERT_EQ(zebra.modules.size(), static_cast<std::size_t>(half));
    EXPECT_NEAR(zebra.radius, kRingOuter, 1.0);
    const double step = 2.0 * CV_PI / modules;
    for (std::size_t i = 0; i < zebra.modules.size(); ++i) {
        const RingPoint& p = zebra.modules[i];
        EXPECT_EQ(p.slot, static_cast<int>(i));
        if (i > 0) {
            EXPECT_GT(p.angle, zebra.modules[i - 1].angle);
        }
        // Every module centre lies on a black slot's centre line.
        const int slot = slotOf(p.angle, modules, offset);
        EXPECT_EQ(slot % 2, 0) << p.angle;
        EXPECT_LT(angularDistance(p.angle, offset + slot * step), 0.15 * step) << p.angle;
        EXPECT_NEAR(cv::norm(cv::Point2d(p.position) - kCenter), zebra.radius, 1.0);
    }
}

TEST(FindOuterZebra, EveryBlackModuleWhiteOrBlackAtTheSeamNearPi) {
    const double step = 2.0 * CV_PI / 32;
    for (const double offset : {0.1, CV_PI, CV_PI + step}) {
        SCOPED_TRACE(offset);
        OuterZebra zebra;
        ASSERT_EQ(findOuterZebra(drawRing(32, offset), 32, kStartPoint, zebra), Success);
        expectEvenRing(zebra, 32, offset);
    }
}

// A colour change is read at the first outline pixel of the new colour: a black module spans its
// first black pixel to the first white one after it, so round the whole ring its centre lies about
// half an outline pixel (1 / 2r radians) past its slot's centre line.
TEST(FindOuterZebra, ModuleCentresLieHalfAnOutlinePixelPastTheSlotCentres) {
    const double halfPixel = 0.5 / kRingOuter;
    for (const int modules : {32, 80}) {
        const double step = 2.0 * CV_PI / modules;
        double sum = 0.0;
        int count = 0;
        for (const double offset : {0.1, 1.9, 3.3}) {
            OuterZebra zebra;
            ASSERT_EQ(findOuterZebra(drawRing(modules, offset), modules, kStartPoint, zebra),
                      Success);
            for (const RingPoint& p : zebra.modules) {
                const int slot = slotOf(p.angle, modules, offset);
                sum += std::remainder(p.angle - (offset + slot * step), 2.0 * CV_PI);
                ++count;
            }
        }
        EXPECT_NEAR(sum / count, halfPixel, halfPixel / 2) << modules << " modules";
    }
}

TEST(FindOuterZebra, BlackModuleCountWithinAThirdOfHalfTheRing) {
    // 80 modules per ring, 40 black: the best trial may hold 27 to 59 black modules. Modules are
    // left out spread round the ring (every third, and the last one for 26) so it stays round;
    // narrow bars in the white modules add black ones.
    const auto count = [](const std::function<bool(int)>& gap,
                          const std::function<bool(int)>& bar) {
        OuterZebra zebra;
        return findOuterZebra(drawRing(80, 0.05, gap, bar), 80, kStartPoint, zebra);
    };
    EXPECT_EQ(count([](int b) { return b % 3 == 1; }, {}), Success) << 27;
    EXPECT_EQ(count([](int b) { return b % 3 == 1 || b == 39; }, {}),
              WrongNumberOfOuterZebraModules)
        << 26;
    EXPECT_EQ(count({}, [](int b) { return b < 19; }), Success) << 59;
    EXPECT_EQ(count({}, [](int b) { return b < 20; }), WrongNumberOfOuterZebraModules) << 60;
}

TEST(FindOuterZebra, NoChangeNoOutlineOrNoModulesFail) {
    const cv::Mat solid = paintPolar(
        kSize, kCenter, [](double rho, double) { return rho >= kRingInner && rho < kRingOuter; });
    const cv::Mat ring = drawRing(32, 0.0);
    for (const auto& [image, modules] : std::vector<std::pair<cv::Mat, int>>{
             {solid, 32}, {cv::Mat(kSize, CV_8UC1, cv::Scalar(255)), 32}, {ring, 1}, {ring, 0}}) {
        OuterZebra zebra;
        EXPECT_EQ(findOuterZebra(image, modules, kStartPoint, zebra),
                  WrongNumberOfOuterZebraModules);
        EXPECT_TRUE(zebra.modules.empty());
    }
}

TEST(ApplyTransform2, MovesSlotZeroToPlusXOnTheLargestCircle) {
    const cv::Mat ring = drawRing(32, 0.3);
    OuterZebra zebra;
    ASSERT_EQ(findOuterZebra(ring, 32, kStartPoint, zebra), Success);
    const double target = 200.0 - 10.0;  // min(cols, rows) / 2 - 10

    StartMarkerCandidate marker;
    marker.angle = zebra.modules[0].angle;
    const cv::Point2d dir(std::cos(marker.angle), std::sin(marker.angle));
    marker.innerPoint = kCenter + 40.0 * dir;
    marker.outerPoint = kCenter + zebra.radius * dir;
    marker.measuredOuterPoint = kCenter + 99.0 * dir;
    const cv::Point2d measured = marker.measuredOuterPoint;
    cv::Mat corrected;
    cv::Matx33d h;
    ASSERT_EQ(applyTransform2(ring, zebra, marker, corrected, h), Success);

    for (const RingPoint& p : zebra.modules) {
        const cv::Vec3d mapped = h * cv::Vec3d(p.position.x, p.position.y, 1.0);
        const double t = p.slot * 2.0 * CV_PI / zebra.slotCount;
        EXPECT_NEAR(mapped[0] / mapped[2], kCenter.x + target * std::cos(t), 0.5);
        EXPECT_NEAR(mapped[1] / mapped[2], kCenter.y + target * std::sin(t), 0.5);
    }
    EXPECT_LT(angularDistance(marker.angle, 0.0), 0.01);
    EXPECT_GE(marker.angle, 0.0);
    EXPECT_NEAR(cv::norm(marker.outerPoint - kCenter), target, 0.5);
    EXPECT_NEAR(cv::norm(marker.innerPoint - kCenter), 40.0 * target / zebra.radius, 0.5);
    EXPECT_EQ(marker.measuredOuterPoint, measured);  // stays where it was measured

    // Slot 0 (black) now straddles +x just inside the circle, slot 1 (white) beside it.
    const double middle = (kRingInner + kRingOuter) / 2 * target / zebra.radius;
    const double step = 2.0 * CV_PI / 32;
    EXPECT_EQ(corrected.at<std::uint8_t>(cv::Point(kCenter + cv::Point2d(middle, 0.0))), 0);
    EXPECT_NE(corrected.at<std::uint8_t>(
                  cv::Point(kCenter + middle * cv::Point2d(std::cos(step), std::sin(step)))),
              0);
}

}  // namespace
}  // namespace qcl
