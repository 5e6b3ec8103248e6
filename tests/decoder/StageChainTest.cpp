#include "decoder/StageChain.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <string>
#include <vector>

#include "support/FakeStages.h"

namespace qcl {
namespace {

using test::ChainRun;
using test::fakeMarker;
using test::LogCapture;
using test::succeedingStages;

const cv::Size kImageSize = test::kFakeImageSize;

// The one black pixel of a working image, or (-1, -1).
cv::Point blackPixel(const cv::Mat& binary) {
    std::vector<cv::Point> black;
    cv::findNonZero(binary == 0, black);
    return black.size() == 1 ? black[0] : cv::Point(-1, -1);
}

cv::Matx33d translation(double dx, double dy) {
    return {1, 0, dx, 0, 1, dy, 0, 0, 1};
}

// The log names every view in order. The centre's half larger axis and four times the inner
// zebra's slot count reach the marker search in every view.
TEST(StageChainTrace, EveryViewIsTriedInOrderWhenNoMarkerIsFound) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.findCenter = [](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ellipse = cv::RotatedRect(cv::Point2f(binary.cols * 0.5f, binary.rows * 0.5f),
                                  cv::Size2f(13.0f, 17.0f), 30.0f);
        return Success;
    };
    stages.findStartMarker = [](const cv::Mat&, double innerRadius, std::int32_t perRing) {
        EXPECT_DOUBLE_EQ(innerRadius, 8.5);
        EXPECT_EQ(perRing, 4 * test::kFakeSlotCount);
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

// Every view and correction is tried in order, each composed on the left of the view it
// corrects: the marker search sees the moved mark pixel, the warp gets the composed matrix.
TEST(StageChainViews, EightViewsEachWithAndWithoutTransform2) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    // Inner zebra edges (2, 1) off their ideal places: transform 1 is the shift by (-2, -1).
    stages.findInnerZebra = [](const cv::Mat& binary, double radius, InnerZebra& zebra) {
        const ErrorCode code = succeedingStages().findInnerZebra(binary, radius, zebra);
        for (RingPoint& edge : zebra.edges) {
            edge.position += cv::Point2f(2.0f, 1.0f);
        }
        return code;
    };
    // A centre ellipse (3, 0) off the image centre: the affine view is the shift by (-3, 0).
    stages.findCenter = [](cv::Mat& binary, cv::RotatedRect& ellipse) {
        ellipse = cv::RotatedRect(cv::Point2f(binary.cols * 0.5f + 3, binary.rows * 0.5f),
                                  cv::Size2f(20, 20), 0.0f);
        return Success;
    };
    std::vector<cv::Point> seen;
    stages.findStartMarker = [&seen](const cv::Mat& binary, double, std::int32_t) {
        seen.push_back(blackPixel(binary));
        return std::vector<StartMarkerCandidate>{fakeMarker(binary.size())};
    };
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
    stages.decodeFrame = [](const SamplingGrid&, const ModuleList&, std::string*, std::uint8_t*,
                            std::uint8_t*, FrameReport*) { return EccCannotCorrect; };
    EXPECT_EQ(run.run(stages), EccCannotCorrect);

    const int mirrorX = kImageSize.width - 1;
    const std::vector<cv::Point> views = {
        {5, 7}, {3, 6}, {mirrorX - 5, 7}, {mirrorX - 5 - 2, 6},  // identity view
        {2, 7}, {0, 6}, {mirrorX - 2, 7}, {mirrorX - 2 - 2, 6},  // affine view
    };
    EXPECT_EQ(seen, views);
    EXPECT_EQ(blackPixel(run.binary), test::kFakeMarkPixel) << "the views are copies";

    const cv::Matx33d h = translation(-2, -1);
    // The mirror's translation is the width, not the width - 1.
    const cv::Matx33d f(-1, 0, kImageSize.width, 0, 1, 0, 0, 0, 1);
    std::vector<cv::Matx33d> expected;
    for (const cv::Matx33d& base : {cv::Matx33d::eye(), translation(-3, 0)}) {
        for (const cv::Matx33d& view : {base, h * base, f * base, h * f * base}) {
            expected.push_back(view);
            expected.push_back(m * view);
        }
    }
    ASSERT_EQ(transforms.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_LT(cv::norm(transforms[i] - expected[i], cv::NORM_INF), 1e-4) << "path " << i;
    }
}

TEST(StageChainLevels, FailedCentreEndsThePass) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    int innerCalls = 0;
    stages.findCenter = [](cv::Mat&, cv::RotatedRect&) { return InnerCircleNotFound; };
    stages.findInnerZebra = [&innerCalls](const cv::Mat&, double, InnerZebra&) {
        ++innerCalls;
        return Success;
    };
    EXPECT_EQ(run.run(stages), InnerCircleNotFound);
    EXPECT_EQ(innerCalls, 0);
    EXPECT_EQ(run.status.errorCode, InnerCircleNotFound);
    EXPECT_EQ(run.status.stage, StageFindCenter);
}

// Higher plausibility first, then the longer marker; after the first, only 10 or more.
TEST(StageChainCandidates, LevelTriesCandidatesInOrderAndReportsTheLastCode) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.findStartMarker = [](const cv::Mat& binary, double, std::int32_t) {
        const cv::Size size = binary.size();
        return std::vector<StartMarkerCandidate>{
            fakeMarker(size, 11, 10.0), fakeMarker(size, 9, 30.0), fakeMarker(size, 10, 12.0),
            fakeMarker(size, 11, 14.0), fakeMarker(size, 3, 40.0)};
    };
    std::vector<double> lengths;
    stages.findOuterZebra = [&lengths](const cv::Mat& binary, std::int32_t,
                                       const cv::Point2d& start, OuterZebra&) {
        lengths.push_back(start.x - binary.cols * 0.5 - test::kFakeDiscDiameter / 2);
        return WrongNumberOfOuterZebraModules;
    };
    DecodeContext context = run.context;
    context.modulesPerRing = 16;
    EXPECT_EQ(StageChain(stages).findStartMarkerLevel(context), WrongNumberOfOuterZebraModules);
    EXPECT_EQ(lengths, (std::vector<double>{14.0, 10.0, 12.0}));
    EXPECT_EQ(run.status.stage, StageFindOuterZebra);

    const auto weak = candidatesToTry({fakeMarker(kImageSize, 6), fakeMarker(kImageSize, 9)});
    ASSERT_EQ(weak.size(), 1u) << "the first candidate is always tried";
    EXPECT_EQ(weak[0].plausibility, 9);
}

TEST(StageChainOuterZebra, StartPointsFartherFirstAndOneWhenEqual) {
    const cv::Point2d center(20, 15);
    StartMarkerCandidate marker = fakeMarker(kImageSize);
    EXPECT_EQ(outerZebraStartPoints(marker, center).size(), 1u);
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
