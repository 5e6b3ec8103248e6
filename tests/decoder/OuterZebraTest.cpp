#include "decoder/OuterZebra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "support/FakeStages.h"
#include "support/PolarPainter.h"
#include "support/StageDriver.h"

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

// A ring of `modules` slots with the listed slots black.
cv::Mat drawRing(int modules, double offset, const std::set<int>& black) {
    return paintPolar(kSize, kCenter, [&](double rho, double angle) {
        return rho >= kRingInner && rho < kRingOuter && black.count(slotOf(angle, modules, offset));
    });
}

std::set<int> evenSlots(int modules) {
    std::set<int> slots;
    for (int s = 0; s < modules; s += 2) {
        slots.insert(s);
    }
    return slots;
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
        EXPECT_EQ(slotOf(p.angle, modules, offset) % 2, 0) << p.angle;
        const double slotCentre = offset + slotOf(p.angle, modules, offset) * step;
        EXPECT_LT(angularDistance(p.angle, slotCentre), 0.15 * step) << p.angle;
        EXPECT_NEAR(cv::norm(cv::Point2d(p.position) - kCenter), zebra.radius, 1.0);
    }
}

TEST(FindOuterZebra, HeadOnRingGivesEveryBlackModuleAndTheRadius) {
    OuterZebra zebra;
    const double offset = 0.1;
    test::LogCapture log(LogLevel::All);
    ASSERT_EQ(findOuterZebra(drawRing(32, offset, evenSlots(32)), 32, kStartPoint, zebra), Success);
    expectEvenRing(zebra, 32, offset);
    // The largest outline runs just outside the ring: no change, scored half - 1 = 15.
    const std::vector<std::string> lines = log.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "startColor: 255");
    EXPECT_EQ(lines[1], "colorChanges.size(): 0");
    EXPECT_EQ(lines[2], "Outer Zebra angleDiffsVarCoeff < bestAngleDiffsVarCoeff : 15 < 15");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "colorChanges.size(): 32"), lines.end());
}

TEST(FindOuterZebra, BlackOrWhiteModuleAtTheSeamNearPi) {
    const double step = 2.0 * CV_PI / 32;
    for (const double offset : {CV_PI, CV_PI + step}) {
        SCOPED_TRACE(offset);
        OuterZebra zebra;
        ASSERT_EQ(findOuterZebra(drawRing(32, offset, evenSlots(32)), 32, kStartPoint, zebra),
                  Success);
        expectEvenRing(zebra, 32, offset);
    }
}

// For 80 modules per ring (40 black), the best trial may hold 27 to 59 black modules.
TEST(FindOuterZebra, BlackModuleCountWithinAThirdOfHalfTheRing) {
    const int modules = 80;
    const double offset = 0.05;
    for (const auto& [present, expected] :
         {std::pair{27, Success}, std::pair{26, WrongNumberOfOuterZebraModules}}) {
        // Leave out every third module (and the last one for 26), so the outline stays round.
        std::set<int> black = evenSlots(modules);
        for (int i = 1; static_cast<int>(black.size()) > present; i += 3) {
            black.erase(2 * (i < 40 ? i : 39));
        }
        OuterZebra zebra;
        EXPECT_EQ(findOuterZebra(drawRing(modules, offset, black), modules, kStartPoint, zebra),
                  expected)
            << present << " black modules";
    }
    // All 40 black modules plus narrow black bars inside some of the white ones.
    const double step = 2.0 * CV_PI / modules;
    for (const auto& [extra, expected] :
         {std::pair{19, Success}, std::pair{20, WrongNumberOfOuterZebraModules}}) {
        const cv::Mat image = paintPolar(kSize, kCenter, [&](double rho, double angle) {
            if (rho < kRingInner || rho >= kRingOuter) {
                return false;
            }
            const int slot = slotOf(angle, modules, offset);
            if (slot % 2 == 0) {
                return true;
            }
            const double centre = offset + slot * step;
            return slot / 2 < extra && angularDistance(angle, centre) < step / 6;
        });
        OuterZebra zebra;
        EXPECT_EQ(findOuterZebra(image, modules, kStartPoint, zebra), expected)
            << 40 + extra << " black modules";
    }
}

// A white module half of whose pixels read 200: one extra colour change on every outline through
// it, so those readings have an odd number of changes and are dropped.
cv::Mat ringWithGreyHalf(double greyFrom) {
    const int modules = 32;
    const double step = 2.0 * CV_PI / modules;
    cv::Mat image = drawRing(modules, 0.0, evenSlots(modules));
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            const double dx = x - kCenter.x;
            const double dy = y - kCenter.y;
            const double rho = std::hypot(dx, dy);
            const double angle = test::polarAngle(dx, dy);
            if (rho >= greyFrom && rho < kRingOuter && angle > 4.5 * step && angle < 5.0 * step) {
                image.at<std::uint8_t>(y, x) = 200;
            }
        }
    }
    return image;
}

TEST(FindOuterZebra, ReadingsWithAnOddNumberOfChangesAreDropped) {
    OuterZebra zebra;
    // Every reading crosses the grey half: nothing is left.
    EXPECT_EQ(findOuterZebra(ringWithGreyHalf(kRingInner), 32, kStartPoint, zebra),
              WrongNumberOfOuterZebraModules);
    // Only the outer readings cross it; the inner ones still find the ring.
    ASSERT_EQ(findOuterZebra(ringWithGreyHalf(kRingOuter - 6.0), 32, kStartPoint, zebra), Success);
    expectEvenRing(zebra, 32, 0.0);
}

TEST(FindOuterZebra, NoChangeNoOutlineOrNoModulesFail) {
    OuterZebra zebra;
    const cv::Mat solid = paintPolar(
        kSize, kCenter, [](double rho, double) { return rho >= kRingInner && rho < kRingOuter; });
    EXPECT_EQ(findOuterZebra(solid, 32, kStartPoint, zebra), WrongNumberOfOuterZebraModules);
    const cv::Mat white(kSize, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(findOuterZebra(white, 32, kStartPoint, zebra), WrongNumberOfOuterZebraModules);
    const cv::Mat ring = drawRing(32, 0.0, evenSlots(32));
    EXPECT_EQ(findOuterZebra(ring, 1, kStartPoint, zebra), WrongNumberOfOuterZebraModules);
    EXPECT_EQ(findOuterZebra(ring, 0, kStartPoint, zebra), WrongNumberOfOuterZebraModules);
    EXPECT_TRUE(zebra.modules.empty());
}

TEST(ApplyTransform2, MovesSlotZeroToPlusXOnTheLargestCircle) {
    const double offset = 0.3;
    const cv::Mat ring = drawRing(32, offset, evenSlots(32));
    OuterZebra zebra;
    ASSERT_EQ(findOuterZebra(ring, 32, kStartPoint, zebra), Success);
    const double target = 200.0 - 10.0;

    StartMarkerCandidate marker;
    const cv::Point2d dir(std::cos(zebra.modules[0].angle), std::sin(zebra.modules[0].angle));
    marker.innerPoint = kCenter + 40.0 * dir;
    marker.outerPoint = kCenter + zebra.radius * dir;
    marker.measuredOuterPoint = marker.outerPoint;
    marker.angle = zebra.modules[0].angle;
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

    ASSERT_EQ(corrected.size(), ring.size());
    ASSERT_EQ(corrected.type(), CV_8UC1);
    // Slot 0 (black) now straddles +x just inside the circle, slot 1 (white) beside it.
    const double middle = (kRingInner + kRingOuter) / 2 * target / zebra.radius;
    const double step = 2.0 * CV_PI / 32;
    EXPECT_EQ(corrected.at<std::uint8_t>(cv::Point(kCenter + cv::Point2d(middle, 0.0))), 0);
    EXPECT_NE(corrected.at<std::uint8_t>(
                  cv::Point(kCenter + middle * cv::Point2d(std::cos(step), std::sin(step)))),
              0);
}

TEST(ApplyTransform2, TooFewModulesForAHomographyFail) {
    const cv::Mat image(kSize, CV_8UC1, cv::Scalar(255));
    OuterZebra zebra;
    zebra.slotCount = 16;
    zebra.modules = {{0, 0.0, {370, 200}}, {1, 0.4, {357, 262}}, {2, 0.8, {318, 322}}};
    StartMarkerCandidate marker;
    cv::Mat corrected;
    cv::Matx33d h = cv::Matx33d::eye();
    EXPECT_EQ(applyTransform2(image, zebra, marker, corrected, h), WrongNumberOfOuterZebraModules);
    EXPECT_TRUE(corrected.empty());
}

}  // namespace
}  // namespace qcl

namespace qcl {
namespace {

class RenderedOuterZebra : public ::testing::TestWithParam<test::SymbolSpec> {};

TEST_P(RenderedOuterZebra, EveryBlackRimModuleAndTheOuterRadius) {
    const test::RenderedPath& run = test::renderedPlainPath(GetParam());
    ASSERT_TRUE(run.error.empty()) << run.error;
    ASSERT_GT(run.path.stage, StageFindOuterZebra) << "failed with " << run.path.code;
    const SymbolGeometry& g = run.symbol.geometry;
    const OuterZebra& zebra = run.path.outerZebra;
    EXPECT_EQ(zebra.slotCount, g.modulesPerRing / 2);
    // The hull hugs the outer edge of the rim's pixels.
    EXPECT_NEAR(zebra.radius, g.outerRadius(), 1.5);
    // All black rim modules are found; each lies on an even slot's centre line.
    EXPECT_EQ(zebra.modules.size(), static_cast<std::size_t>(g.modulesPerRing / 2));
    for (const RingPoint& p : zebra.modules) {
        const double slot = angularDistance(p.angle, g.startAngle) / g.moduleAngle();
        EXPECT_LT(std::abs(slot - std::round(slot)), 0.25) << p.angle;
        EXPECT_EQ(static_cast<int>(std::round(slot)) % 2, 0) << p.angle;
    }
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderedOuterZebra, ::testing::ValuesIn(test::stageSweepSpecs()));

}  // namespace
}  // namespace qcl
