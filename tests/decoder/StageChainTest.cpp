#include "decoder/StageChain.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <string>
#include <utility>
#include <vector>

#include "support/FakeStages.h"

namespace qcl {
namespace {

using test::ChainRun;
using test::fakeMarker;
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

// A black-and-white run whose stages all succeed until a test replaces some of them.
class StageChainTest : public ::testing::Test {
  protected:
    ChainRun run;
    StageFunctions stages = succeedingStages();
};

// Every view and correction is tried in order, each composed on the left of the view it
// corrects: the marker search sees the moved mark pixel, the warp gets the composed matrix. The
// search gets the centre's half larger axis and four times the inner zebra's slot count.
TEST_F(StageChainTest, EightViewsEachWithAndWithoutTransform2) {
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
    stages.findStartMarker = [&seen](const cv::Mat& binary, double innerRadius,
                                     std::int32_t perRing) {
        EXPECT_DOUBLE_EQ(innerRadius, 10.0);
        EXPECT_EQ(perRing, 4 * test::kFakeSlotCount);
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
    stages.warpInputImage = [&transforms](const auto&, const cv::Mat& image,
                                          const cv::Matx33d& transform, const auto&) {
        transforms.push_back(transform);
        return image.clone();
    };
    stages.decodeFrame = [](auto&&...) { return EccCannotCorrect; };
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

// Higher plausibility first, then the longer marker; after the first, only 10 or more.
TEST_F(StageChainTest, LevelTriesCandidatesInOrderAndReportsTheLastCode) {
    stages.findStartMarker = [](const cv::Mat& binary, double, std::int32_t) {
        const cv::Size size = binary.size();
        return std::vector<StartMarkerCandidate>{
            fakeMarker(size, 11, 10.0), fakeMarker(size, 9, 30.0), fakeMarker(size, 10, 12.0),
            fakeMarker(size, 11, 14.0), fakeMarker(size, 3, 40.0)};
    };
    std::vector<double> lengths;
    stages.findOuterZebra = [&lengths](const cv::Mat& binary, auto, const cv::Point2d& start,
                                       auto&) {
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

TEST_F(StageChainTest, PlainViewThenTransform2WithTheMovedMarker) {
    StartMarkerCandidate found = fakeMarker(kImageSize);
    found.angle = 0.5;
    found.measuredOuterPoint = found.outerPoint + cv::Point2d(0, 4);
    std::vector<cv::Point2d> starts;
    stages.findOuterZebra = [&starts](const auto&, auto, const cv::Point2d& start,
                                      OuterZebra& zebra) {
        starts.push_back(start);
        zebra.radius = test::kFakeOuterRadius;
        return Success;
    };
    std::vector<cv::Point2d> movedOuter;
    stages.applyTransform2 = [&movedOuter](const cv::Mat& binary, const auto&,
                                           StartMarkerCandidate& marker, cv::Mat& corrected,
                                           cv::Matx33d& homography) {
        movedOuter.push_back(marker.outerPoint);
        marker.angle = 1.25;
        corrected = binary.clone();
        homography = cv::Matx33d::eye();
        return Success;
    };
    std::vector<double> angles;
    stages.radialProbe = [&angles](const auto&, double, double angle, auto, bool black) {
        if (!black) {
            angles.push_back(angle);
        }
        return black ? 0 : 1;  // p0 >= p1: the radial zebra is never walked
    };
    EXPECT_EQ(StageChain(stages).findOuterZebraLevel(run.markerContext(found)),
              RadialZebraNotDetected);

    EXPECT_EQ(starts, (std::vector<cv::Point2d>{found.measuredOuterPoint, found.outerPoint}));
    const cv::Point2d onRim = cv::Point2d(kImageSize.width * 0.5, kImageSize.height * 0.5) +
                              test::kFakeOuterRadius * cv::Point2d(std::cos(0.5), std::sin(0.5));
    ASSERT_EQ(movedOuter.size(), 2u);
    EXPECT_LT(cv::norm(movedOuter[0] - onRim), 1e-9);
    // Plain view with the marker as found, transform 2 with the moved copy; twice.
    EXPECT_EQ(angles, (std::vector<double>{0.5, 1.25, 0.5, 1.25}));
    EXPECT_EQ(run.status.errorCode, RadialZebraNotDetected);
    EXPECT_EQ(run.status.stage, StageFindRadialZebra);
}

TEST_F(StageChainTest, MasksInOrderOnFreshCopiesAndRefusedGridsNotDecoded) {
    run.context.parameters.codeType = CodeType::Color;
    run.context.parameters.layout = Layout::Scrambled;
    stages.readMaskedData = [](const SamplingGrid& grid, auto&&...) {
        EXPECT_EQ(grid.bitsPerModule, 3);
        EXPECT_EQ(grid.threshold, test::kFakeThreshold);
        return ModuleList{1, 2, 3};
    };
    std::vector<int> masks;
    stages.applyMaskAndLayout = [&](const auto&, ModuleList& modules, int mask, Layout layout) {
        masks.push_back(mask);
        EXPECT_EQ(modules, (ModuleList{1, 2, 3})) << "a fresh copy for mask " << mask;
        EXPECT_EQ(layout, Layout::Scrambled);
        modules.assign(modules.size(), 7);
        return mask == 1 ? WrongGrid : Success;
    };
    std::vector<int> frames;
    stages.decodeFrame = [&](const auto&, const ModuleList& modules, std::string* payload,
                             auto&&...) {
        EXPECT_EQ(modules, ModuleList(3, 7));
        frames.push_back(masks.back());
        *payload = "found";
        return masks.back() == 3 ? Success : WrongChecksum;
    };
    ASSERT_EQ(run.run(stages), Success);
    EXPECT_EQ(masks, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(frames, (std::vector<int>{0, 2, 3})) << "mask 1's grid was refused";
    EXPECT_EQ(run.payload, "found");
    EXPECT_EQ(run.status.errorCode, 0);
}

TEST_F(StageChainTest, DeeperFailuresWinAcrossAlternatives) {
    int markerSearches = 0;
    stages.findStartMarker = [&markerSearches](const cv::Mat& binary, double, std::int32_t) {
        // Normal view: a marker whose radial zebra is missing (stage 6); transform 1: none
        // (stage 4); flipped view: a marker that reaches the frame decoder (stage 7).
        if (++markerSearches == 2) {
            return std::vector<StartMarkerCandidate>{};
        }
        return std::vector<StartMarkerCandidate>{fakeMarker(binary.size())};
    };
    int probes = 0;
    stages.radialProbe = [&probes](const cv::Mat&, double, double, std::int32_t, bool black) {
        // Two probes per radial level, plain and transform 2, for the first marker.
        return ++probes <= 4 ? 5 : (black ? 21 : 11);
    };
    stages.decodeFrame = [](auto&&...) { return EccCannotCorrect; };
    DecodeStatus beforeStage7;
    bool captured = false;
    stages.warpInputImage = [&](const auto&, const cv::Mat& image, auto&&...) {
        if (!std::exchange(captured, true)) {
            beforeStage7 = run.status;
        }
        return image.clone();
    };
    EXPECT_NE(run.run(stages), Success);
    EXPECT_EQ(beforeStage7.errorCode, RadialZebraNotDetected) << "stage 4 did not overwrite 6";
    EXPECT_EQ(beforeStage7.stage, StageFindRadialZebra);
    EXPECT_EQ(run.status.errorCode, EccCannotCorrect) << "stage 7 overwrote 6";
    EXPECT_EQ(run.status.stage, StageReadMaskedData);
}

// A grid that reaches outside the image (WrongGrid) fails only that path; any other exception
// leaves the chain.
TEST_F(StageChainTest, SamplingOutsideTheImageFailsOnlyThatPath) {
    int readings = 0;
    stages.readMaskedData = [&readings](const SamplingGrid& grid, auto&&...) {
        if (++readings < 3) {
            throw QCException(WrongGrid);
        }
        return ModuleList(static_cast<std::size_t>(grid.modulesPerRing), 0);
    };
    EXPECT_EQ(run.run(stages), Success);
    EXPECT_EQ(readings, 3) << "plain, transform 2 of the normal view, then transform 1";
    EXPECT_EQ(run.status.errorCode, WrongGrid);
    EXPECT_EQ(run.status.stage, StageReadMaskedData);

    stages.readMaskedData = [](auto&&...) -> ModuleList { throw QCException(InvalidInputSymbols); };
    EXPECT_THROW(run.run(stages), QCException);
}

}  // namespace
}  // namespace qcl
