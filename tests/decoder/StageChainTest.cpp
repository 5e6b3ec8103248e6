#include "decoder/StageChain.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeStages.h"

namespace qcl {
namespace {

using test::fakeMarker;
using test::LogCapture;
using test::succeedingStages;

using test::ChainRun;
const cv::Size kImageSize = test::kFakeImageSize;
const cv::Point kMarkPixel = test::kFakeMarkPixel;

// The one black pixel of a working image, or (-1, -1).
cv::Point blackPixel(const cv::Mat& binary) {
    std::vector<cv::Point> black;
    cv::findNonZero(binary == 0, black);
    return black.size() == 1 ? black[0] : cv::Point(-1, -1);
}

cv::Matx33d translation(double dx, double dy) {
    return {1, 0, dx, 0, 1, dy, 0, 0, 1};
}

// Inner zebra whose edge points lie (dx, dy) away from their ideal places, so that transform 1
// is the translation by (-dx, -dy).
void shiftInnerZebra(StageFunctions& stages, float dx, float dy) {
    const auto ideal = stages.findInnerZebra;
    stages.findInnerZebra = [ideal, dx, dy](const cv::Mat& binary, double radius,
                                            InnerZebra& zebra) {
        const ErrorCode code = ideal(binary, radius, zebra);
        for (RingPoint& edge : zebra.edges) {
            edge.position += cv::Point2f(dx, dy);
        }
        return code;
    };
}

// A centre ellipse (dx, 0) away from the image centre: the affine view is the shift by (-dx, 0).
void shiftCenter(StageFunctions& stages, float dx) {
    stages.findCenter = [dx](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ellipse = cv::RotatedRect(cv::Point2f(binary.cols * 0.5f + dx, binary.rows * 0.5f),
                                  cv::Size2f(20, 20), 0.0f);
        return Success;
    };
}

void expectNear(const cv::Matx33d& actual, const cv::Matx33d& expected, const std::string& what) {
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(actual.val[i], expected.val[i], 1e-4) << what << " element " << i;
    }
}

TEST(StageChainTrace, HeadOnSymbolTakesTheFirstPathOnly) {
    ChainRun run;
    LogCapture log(LogLevel::Debug);
    ASSERT_EQ(run.run(succeedingStages()), Success);
    const std::vector<std::string> expected = {
        " findCenter",           "  findInnerZebra",      "   perspectiveTransform",
        "   |normal image",      "    findStartMarker",   "     findOuterZebra",
        "      findRadialZebra", "       readMaskedData",
    };
    EXPECT_EQ(log.trace(), expected);
    EXPECT_EQ(run.payload, "payload");
    EXPECT_EQ(run.status.errorCode, 0);
}

TEST(StageChainTrace, EveryViewIsTriedInOrderWhenNoMarkerIsFound) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.findStartMarker = [](const cv::Mat&, double, std::int32_t) {
        return std::vector<StartMarkerCandidate>{};
    };
    LogCapture log(LogLevel::Debug);
    EXPECT_EQ(run.run(stages), StartMarkerNotDetected);

    const std::vector<std::string> views = {
        "  findInnerZebra",        "   perspectiveTransform", "   |normal image",
        "    findStartMarker",     "   |transform 1",         "    findStartMarker",
        "   perspectiveTransform", "   |flipped image",       "    findStartMarker",
        "   |transform 1",         "    findStartMarker",
    };
    std::vector<std::string> expected = {" findCenter"};
    expected.insert(expected.end(), views.begin(), views.end());
    expected.push_back(" |affine transform");
    expected.insert(expected.end(), views.begin(), views.end());
    EXPECT_EQ(log.trace(), expected);
    EXPECT_EQ(run.status.errorCode, StartMarkerNotDetected);
    EXPECT_EQ(run.status.stage, StageFindStartMarker);
}

TEST(StageChainViews, MarkerSearchSeesTheEightViewsInOrder) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    shiftInnerZebra(stages, 2.0f, 1.0f);
    shiftCenter(stages, 3.0f);
    std::vector<cv::Point> seen;
    stages.findStartMarker = [&seen](const cv::Mat& binary, double, std::int32_t) {
        seen.push_back(blackPixel(binary));
        return std::vector<StartMarkerCandidate>{};
    };
    run.run(stages);
    const int mirrorX = kImageSize.width - 1;
    const std::vector<cv::Point> expected = {
        {5, 7}, {3, 6}, {mirrorX - 5, 7}, {mirrorX - 5 - 2, 6},  // identity view
        {2, 7}, {0, 6}, {mirrorX - 2, 7}, {mirrorX - 2 - 2, 6},  // affine view
    };
    EXPECT_EQ(seen, expected);
    // findCenter works on the caller's working image; the views are copies.
    EXPECT_EQ(blackPixel(run.binary), kMarkPixel);
}

TEST(StageChainViews, TransformsComposeNewCorrectionsOnTheLeft) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    shiftInnerZebra(stages, 2.0f, 1.0f);
    shiftCenter(stages, 3.0f);
    const cv::Matx33d m = translation(0, 5);
    stages.applyTransform2 = [m](const cv::Mat& binary, const OuterZebra&, StartMarkerCandidate&,
                                 cv::Mat& corrected, cv::Matx33d& homography) {
        corrected = binary.clone();
        homography = m;
        return Success;
    };
    std::vector<cv::Matx33d> transforms;
    stages.warpInputImage = [&transforms](const cv::Mat&, const cv::Mat& image,
                                          const cv::Matx33d& transform,
                                          const StartMarkerCandidate&) {
        transforms.push_back(transform);
        return image.clone();
    };
    int frames = 0;
    stages.decodeFrame = [&frames](const SamplingGrid&, const ModuleList&, std::string*,
                                   std::uint8_t*, std::uint8_t*) {
        ++frames;
        return EccCannotCorrect;
    };
    EXPECT_EQ(run.run(stages), EccCannotCorrect);

    const cv::Matx33d h = translation(-2, -1);
    const cv::Matx33d f(-1, 0, kImageSize.width, 0, 1, 0, 0, 0, 1);
    const cv::Matx33d a = translation(-3, 0);
    std::vector<cv::Matx33d> expected;
    for (const cv::Matx33d& base : {cv::Matx33d::eye(), a}) {
        for (const cv::Matx33d& view : {base, h * base, f * base, h * f * base}) {
            expected.push_back(view);
            expected.push_back(m * view);
        }
    }
    ASSERT_EQ(transforms.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expectNear(transforms[i], expected[i], "path " + std::to_string(i));
    }
    EXPECT_EQ(frames, static_cast<int>(expected.size()) * kMaskCount);
    EXPECT_EQ(run.status.errorCode, EccCannotCorrect);
    EXPECT_EQ(run.status.stage, StageReadMaskedData);
}

TEST(StageChainLevels, CentreAndInnerZebraFindingsTravelDown) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.findCenter = [](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ellipse = cv::RotatedRect(cv::Point2f(binary.cols * 0.5f, binary.rows * 0.5f),
                                  cv::Size2f(13.0f, 17.0f), 30.0f);
        return Success;
    };
    std::vector<double> radii;
    std::vector<std::int32_t> modules;
    stages.findStartMarker = [&](const cv::Mat&, double innerRadius, std::int32_t perRing) {
        radii.push_back(innerRadius);
        modules.push_back(perRing);
        return std::vector<StartMarkerCandidate>{};
    };
    run.run(stages);
    ASSERT_EQ(radii.size(), 8u);
    for (std::size_t i = 0; i < radii.size(); ++i) {
        EXPECT_DOUBLE_EQ(radii[i], 8.5) << "the affine view keeps the radius too";
        EXPECT_EQ(modules[i], 4 * test::kFakeSlotCount);
    }
}

TEST(StageChainLevels, FailedCentreEndsThePassAtOnce) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    int innerCalls = 0;
    stages.findCenter = [](cv::Mat&, cv::RotatedRect&) { return InnerCircleNotFound; };
    stages.findInnerZebra = [&innerCalls](const cv::Mat&, double, InnerZebra&) {
        ++innerCalls;
        return PerspectiveMarkersNotDetected;
    };
    EXPECT_EQ(run.run(stages), InnerCircleNotFound);
    EXPECT_EQ(innerCalls, 0);
    EXPECT_EQ(run.status.errorCode, InnerCircleNotFound);
    EXPECT_EQ(run.status.stage, StageFindCenter);
}

TEST(StageChainLevels, InnerZebraFailureIsTriedInBothViews) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    int calls = 0;
    stages.findInnerZebra = [&calls](const cv::Mat&, double, InnerZebra&) {
        return ++calls == 1 ? WrongNumberOfPerspectiveMarkers : PerspectiveMarkersNotDetected;
    };
    EXPECT_EQ(run.run(stages), PerspectiveMarkersNotDetected);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(run.status.errorCode, WrongNumberOfPerspectiveMarkers) << "first of one depth stays";
    EXPECT_EQ(run.status.stage, StageFindInnerZebra);
}

TEST(StageChainCandidates, SortedByPlausibilityThenLengthAndWeakOnesPassedOver) {
    std::vector<StartMarkerCandidate> found = {
        fakeMarker(kImageSize, 11, 10.0), fakeMarker(kImageSize, 9, 30.0),
        fakeMarker(kImageSize, 10, 12.0), fakeMarker(kImageSize, 11, 14.0),
        fakeMarker(kImageSize, 3, 40.0),
    };
    const std::vector<StartMarkerCandidate> tried = candidatesToTry(found);
    ASSERT_EQ(tried.size(), 3u);
    EXPECT_EQ(tried[0].plausibility, 11);
    EXPECT_DOUBLE_EQ(tried[0].outerPoint.x - tried[0].innerPoint.x, 14.0);
    EXPECT_EQ(tried[1].plausibility, 11);
    EXPECT_DOUBLE_EQ(tried[1].outerPoint.x - tried[1].innerPoint.x, 10.0);
    EXPECT_EQ(tried[2].plausibility, 10);

    const std::vector<StartMarkerCandidate> weak =
        candidatesToTry({fakeMarker(kImageSize, 6), fakeMarker(kImageSize, 9)});
    ASSERT_EQ(weak.size(), 1u) << "the first candidate is always tried";
    EXPECT_EQ(weak[0].plausibility, 9);
    EXPECT_TRUE(candidatesToTry({}).empty());
}

TEST(StageChainCandidates, LevelTriesCandidatesInOrderAndReportsTheLastCode) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.findStartMarker = [](const cv::Mat& binary, double, std::int32_t) {
        return std::vector<StartMarkerCandidate>{fakeMarker(binary.size(), 11, 10.0),
                                                 fakeMarker(binary.size(), 9, 20.0),
                                                 fakeMarker(binary.size(), 10, 30.0)};
    };
    std::vector<double> lengths;
    stages.findOuterZebra = [&lengths](const cv::Mat& binary, std::int32_t,
                                       const cv::Point2d& start, OuterZebra&) {
        lengths.push_back(start.x - binary.cols * 0.5 - test::kFakeDiscDiameter / 2);
        return WrongNumberOfOuterZebraModules;
    };
    DecodeContext marker = run.context;
    marker.modulesPerRing = 16;
    EXPECT_EQ(StageChain(stages).findStartMarkerLevel(marker), WrongNumberOfOuterZebraModules);
    EXPECT_EQ(lengths, (std::vector<double>{10.0, 30.0}));
    EXPECT_EQ(run.status.stage, StageFindOuterZebra);
}

TEST(StageChainOuterZebra, StartPointsFartherFirstAndOneWhenEqual) {
    const cv::Point2d center(20, 15);
    StartMarkerCandidate marker = fakeMarker(kImageSize);
    EXPECT_EQ(outerZebraStartPoints(marker, center).size(), 1u);

    marker.measuredOuterPoint = marker.outerPoint + cv::Point2d(3, 0);
    EXPECT_EQ(outerZebraStartPoints(marker, center),
              (std::vector<cv::Point2d>{marker.measuredOuterPoint, marker.outerPoint}));
    marker.measuredOuterPoint = marker.outerPoint - cv::Point2d(3, 0);
    EXPECT_EQ(outerZebraStartPoints(marker, center),
              (std::vector<cv::Point2d>{marker.outerPoint, marker.measuredOuterPoint}));
    // Equally far, different places: the outer point goes first.
    marker.outerPoint = center + cv::Point2d(0, 10);
    marker.measuredOuterPoint = center + cv::Point2d(10, 0);
    EXPECT_EQ(outerZebraStartPoints(marker, center).front(), marker.outerPoint);
}

}  // namespace
}  // namespace qcl
