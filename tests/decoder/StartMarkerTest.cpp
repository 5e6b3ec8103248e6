#include "decoder/StartMarker.h"

#include <gtest/gtest.h>

#include <string>

#include "common/Logger.h"
#include "support/FakeStages.h"
#include "support/PolarPainter.h"
#include "support/StageDriver.h"

namespace qcl {
namespace {

using test::angularDistance;
using test::paintPolar;

constexpr int kModules = 16;
constexpr double kModuleAngle = 2.0 * CV_PI / kModules;
constexpr double kInnerRadius = 20.0;
const cv::Size kSize(240, 240);
const cv::Point2d kCenter(120.0, 120.0);

struct Bar {
    double angle;
    double outerRadius;
    double width = kModuleAngle;
};

// A black band just outside the disc (short runs everywhere) and radial bars from the disc out.
cv::Mat drawBars(const std::vector<Bar>& bars, cv::Size size = kSize,
                 cv::Point2d center = kCenter) {
    return paintPolar(size, center, [&](double rho, double angle) {
        if (rho < kInnerRadius) {
            return false;
        }
        if (rho < kInnerRadius + 10.0) {
            return true;
        }
        for (const Bar& bar : bars) {
            if (angularDistance(angle, bar.angle) <= bar.width / 2 && rho < bar.outerRadius) {
                return true;
            }
        }
        return false;
    });
}

// Runs findStartMarker with the Trace lines collected.
std::vector<StartMarkerCandidate> findWithLog(const cv::Mat& image, std::string& log) {
    test::LogCapture capture(LogLevel::All);
    auto candidates = findStartMarker(image, kInnerRadius, kModules);
    log.clear();
    for (const std::string& line : capture.lines()) {
        log += line + "\n";
    }
    return candidates;
}

int countOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(FindStartMarker, BarStraddlingZeroIsFoundOnce) {
    const auto candidates = findStartMarker(drawBars({{0.0, 100.0}}), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), 1u);
    const StartMarkerCandidate& c = candidates[0];
    EXPECT_GE(c.angle, 0.0);
    EXPECT_LT(c.angle, 2.0 * CV_PI);
    EXPECT_LT(angularDistance(c.angle, 0.0), 0.1 * kModuleAngle) << c.angle;
    EXPECT_GE(c.plausibility, 2);
    EXPECT_NEAR(cv::norm(c.outerPoint - kCenter), 100.0, 2.0);
    EXPECT_EQ(c.outerPoint, c.measuredOuterPoint);
}

TEST(FindStartMarker, ClearlyLongerBarDiscardsEarlierEntries) {
    const double late = 200.0 * CV_PI / 180.0;
    // 0.8 of the late bar's run (80 px) exceeds the early bar's 40 px: only the late one stays.
    auto candidates =
        findStartMarker(drawBars({{1.0, 60.0}, {late, 100.0}}), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_LT(angularDistance(candidates[0].angle, late), 0.1 * kModuleAngle);

    // 0.8 of 50 px does not exceed 40 px: both bars are reported, in scan order.
    candidates = findStartMarker(drawBars({{1.0, 60.0}, {late, 70.0}}), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_LT(angularDistance(candidates[0].angle, 1.0), 0.1 * kModuleAngle);
    EXPECT_LT(angularDistance(candidates[1].angle, late), 0.1 * kModuleAngle);
}

TEST(FindStartMarker, BarsCloserThanTwoModuleAnglesGiveOneCandidateButTwoLogLines) {
    const double first = 100.0 * CV_PI / 180.0;
    const double second = first + 1.6 * kModuleAngle;
    std::string log;
    const auto candidates = findWithLog(drawBars({{first, 100.0}, {second, 100.0}}), log);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_LT(angularDistance(candidates[0].angle, first), 0.1 * kModuleAngle);
    // Both raw entries are evaluated and logged, the duplicate too.
    EXPECT_EQ(countOf(log, "angle: "), 2) << log;
    EXPECT_EQ(countOf(log, ", plausibility: "), 2) << log;
}

TEST(FindStartMarker, TraceLineGivesDegreesAndScore) {
    std::string log;
    const auto candidates = findWithLog(drawBars({{CV_PI / 2, 100.0}}), log);
    ASSERT_EQ(candidates.size(), 1u);
    const auto at = log.find("angle: ");
    ASSERT_NE(at, std::string::npos);
    std::size_t used = 0;
    const double degrees = std::stod(log.substr(at + 7), &used);
    EXPECT_NEAR(degrees, candidates[0].angle * 180.0 / CV_PI, 1e-3);
    const std::string rest = ", plausibility: " + std::to_string(candidates[0].plausibility) + "\n";
    EXPECT_EQ(log.substr(at + 7 + used, rest.size()), rest) << log;
}

TEST(FindStartMarker, OddSizedImageHasItsCentreRoundedDown) {
    const cv::Size odd(241, 241);
    const cv::Point2d centre(120.0, 120.0);  // 241 div 2
    const auto candidates =
        findStartMarker(drawBars({{0.8, 100.0}}, odd, centre), kInnerRadius, kModules);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_NEAR(cv::norm(candidates[0].innerPoint - centre), kInnerRadius, 1e-9);
}

TEST(FindStartMarker, NothingLongGivesNoCandidate) {
    EXPECT_TRUE(
        findStartMarker(cv::Mat(kSize, CV_8UC1, cv::Scalar(255)), kInnerRadius, kModules).empty());
    EXPECT_TRUE(findStartMarker(drawBars({{0.5, 100.0}}), kInnerRadius, 0).empty());
}

}  // namespace
}  // namespace qcl

namespace qcl {
namespace {

class RenderedStartMarker : public ::testing::TestWithParam<test::SymbolSpec> {};

// On a drawn symbol the true marker is the first candidate tried, pointing along the drawn marker.
TEST_P(RenderedStartMarker, TrueMarkerRanksFirst) {
    const test::RenderedPath& run = test::renderedPlainPath(GetParam());
    ASSERT_TRUE(run.error.empty()) << run.error;
    const test::PlainPath& path = run.path;
    ASSERT_GT(path.stage, StageFindStartMarker) << "failed with " << path.code;
    const SymbolGeometry& g = run.symbol.geometry;
    const StartMarkerCandidate& first = path.candidates.front();
    EXPECT_LT(angularDistance(first.angle, g.startAngle), 0.25 * g.moduleAngle())
        << "found " << first.angle << ", drawn " << g.startAngle;
    EXPECT_GE(first.plausibility, 6);
    RecordProperty("plausibility", first.plausibility);
    RecordProperty("candidates", static_cast<int>(path.candidates.size()));
    // The marker runs from the disc to the rim.
    EXPECT_NEAR(cv::norm(first.outerPoint - g.center), g.outerRadius(), 2.0 + g.pitch / 4);
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderedStartMarker, ::testing::ValuesIn(test::stageSweepSpecs()));

}  // namespace
}  // namespace qcl
