#include "common/Angles.h"
#include "decoder/StartMarker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/LogCapture.h"
#include "support/PolarPainter.h"

namespace qcl {
namespace {

using test::angularDistance;

constexpr int kModules = 16;
constexpr double kModuleAngle = 2.0 * CV_PI / kModules;
constexpr double kInnerRadius = 20.0;

struct Bar {
    double angle;
    double outerRadius;
    double width = 1.0;  // in module angles
};

// A black band just outside the disc (short runs everywhere) and radial bars, one module angle
// wide, from the disc out, about the image centre rounded down.
cv::Mat drawBars(const std::vector<Bar>& bars, int side = 240) {
    const cv::Point2d center(side / 2, side / 2);
    return test::paintPolar({side, side}, center, [&](double rho, double angle) {
        if (rho < kInnerRadius) {
            return false;
        }
        for (const Bar& bar : bars) {
            if (angularDistance(angle, bar.angle) <= bar.width * kModuleAngle / 2 &&
                rho < bar.outerRadius) {
                return true;
            }
        }
        return rho < kInnerRadius + 10.0;
    });
}

// The candidates (angle and outer radius, in scan order) found among the bars, and the number of
// raw entries evaluated: each logs one line.
void expectCandidates(const char* name, const std::vector<Bar>& bars, const std::vector<Bar>& found,
                      std::size_t logged) {
    SCOPED_TRACE(name);
    test::LogCapture log(LogLevel::All);
    const auto candidates = findStartMarker(drawBars(bars), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), found.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const StartMarkerCandidate& m = candidates[i];
        EXPECT_GE(m.angle, 0.0);
        EXPECT_LT(m.angle, 2.0 * CV_PI);
        EXPECT_LT(angularDistance(m.angle, found[i].angle), 0.1 * kModuleAngle) << m.angle;
        EXPECT_GE(m.plausibility, 2);
        EXPECT_NEAR(cv::norm(m.outerPoint - cv::Point2d(120, 120)), found[i].outerRadius, 2);
        EXPECT_EQ(m.outerPoint, m.measuredOuterPoint);
    }
    const std::string text = log.text();
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), logged) << text;
}

TEST(FindStartMarker, CandidatesFromBars) {
    const double late = 200.0 * kDegree;
    const double first = 100.0 * kDegree;
    expectCandidates("bar straddling 0 found once", {{0.0, 100.0}}, {{0.0, 100.0}}, 1);
    // 0.8 of the late bar's run (80 px) exceeds the early bar's 40 px; 0.8 of 50 px does not.
    expectCandidates("clearly longer late bar discards", {{1.0, 60.0}, {late, 100.0}},
                     {{late, 100.0}}, 1);
    expectCandidates("slightly longer bar keeps both", {{1.0, 60.0}, {late, 70.0}},
                     {{1.0, 60.0}, {late, 70.0}}, 2);
    // The duplicate is evaluated and logged but not accepted.
    expectCandidates("bars closer than two module angles",
                     {{first, 100.0}, {first + 1.6 * kModuleAngle, 100.0}}, {{first, 100.0}}, 2);
}

TEST(FindStartMarker, OddSizedImageHasItsCentreRoundedDown) {
    const auto candidates = findStartMarker(drawBars({{0.8, 100.0}}, 241), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_NEAR(cv::norm(candidates[0].innerPoint - cv::Point2d(120, 120)), kInnerRadius, 1e-9);
}

// Three modules wide and black up to the border below the centre: its runs grow towards its
// edges, so it is too wide, its sides and neighbours are long and its centre line short. No test
// passes, and such a bar is no candidate.
TEST(FindStartMarker, WideWedgeToTheBorderIsNoCandidate) {
    test::LogCapture log(LogLevel::All);
    EXPECT_TRUE(
        findStartMarker(drawBars({{CV_PI / 2, 400.0, 3.0}}), kInnerRadius, kModules).empty());
    EXPECT_TRUE(log.contains(", plausibility: 0\n")) << log.text();
}

TEST(FindStartMarker, NothingLongOrNoModuleCountGivesNoCandidate) {
    EXPECT_TRUE(findStartMarker(cv::Mat(240, 240, CV_8UC1, cv::Scalar(255)), kInnerRadius, kModules)
                    .empty());
    EXPECT_TRUE(findStartMarker(drawBars({{0.5, 100.0}}), kInnerRadius, 0).empty());
}

}  // namespace
}  // namespace qcl
