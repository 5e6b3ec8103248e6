#include "decoder/StageChain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeStages.h"

namespace qcl {
namespace {

using test::ChainRun;
using test::fakeMarker;
using test::LogCapture;
using test::succeedingStages;

const cv::Size kImageSize = test::kFakeImageSize;

TEST(StageChainOuterZebra, PlainViewThenTransform2WithTheMovedMarker) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    StartMarkerCandidate found = fakeMarker(kImageSize);
    found.angle = 0.5;
    found.measuredOuterPoint = found.outerPoint + cv::Point2d(0, 4);
    std::vector<cv::Point2d> starts;
    stages.findOuterZebra = [&starts](const cv::Mat&, std::int32_t, const cv::Point2d& start,
                                      OuterZebra& zebra) {
        starts.push_back(start);
        zebra.radius = test::kFakeOuterRadius;
        return Success;
    };
    std::vector<cv::Point2d> movedOuter;
    stages.applyTransform2 = [&movedOuter](const cv::Mat& binary, const OuterZebra&,
                                           StartMarkerCandidate& marker, cv::Mat& corrected,
                                           cv::Matx33d& homography) {
        movedOuter.push_back(marker.outerPoint);
        marker.angle = 1.25;
        corrected = binary.clone();
        homography = cv::Matx33d::eye();
        return Success;
    };
    std::vector<double> angles;
    stages.radialProbe = [&angles](const cv::Mat&, double, double angle, std::int32_t, bool black) {
        if (!black) {
            angles.push_back(angle);
        }
        return black ? 0 : 1;  // p0 >= p1: the radial zebra is never walked
    };
    LogCapture log(LogLevel::Debug);
    EXPECT_EQ(StageChain(stages).findOuterZebraLevel(run.markerContext(found)),
              RadialZebraNotDetected);

    EXPECT_EQ(starts, (std::vector<cv::Point2d>{found.measuredOuterPoint, found.outerPoint}));
    const cv::Point2d onRim = cv::Point2d(kImageSize.width * 0.5, kImageSize.height * 0.5) +
                              test::kFakeOuterRadius * cv::Point2d(std::cos(0.5), std::sin(0.5));
    ASSERT_EQ(movedOuter.size(), 2u);
    EXPECT_LT(cv::norm(movedOuter[0] - onRim), 1e-9);
    // Plain view with the marker as found, transform 2 with the moved copy; twice.
    EXPECT_EQ(angles, (std::vector<double>{0.5, 1.25, 0.5, 1.25}));
    const std::vector<std::string> trace = log.trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "     |transform 2"), 2);
    EXPECT_EQ(run.status.errorCode, RadialZebraNotDetected);
    EXPECT_EQ(run.status.stage, StageFindRadialZebra);
}

// Probes out of order (p0 >= p1, or p1 not inside rOut) skip the walk; a failed transform 2 then
// ends the attempt without a second radial zebra search.
TEST(StageChainOuterZebra, ProbesOutOfOrderAndAFailedTransform2EndTheAttempt) {
    StageFunctions stages = succeedingStages();
    stages.applyTransform2 = [](const cv::Mat&, const OuterZebra&, StartMarkerCandidate&, cv::Mat&,
                                cv::Matx33d&) { return WrongNumberOfOuterZebraModules; };
    int walks = 0;
    stages.findRadialZebra = [&walks](const cv::Mat&, double, double, std::int32_t, std::int32_t,
                                      std::int32_t) {
        ++walks;
        return RadialZebra{};
    };
    const StartMarkerCandidate marker = fakeMarker(kImageSize);  // rOut 30
    for (const auto& [p1, p0] : std::vector<std::pair<int, int>>{{11, 11}, {30, 11}, {5, 11}}) {
        SCOPED_TRACE(std::to_string(p1) + " " + std::to_string(p0));
        ChainRun run;
        int probes = 0;
        stages.radialProbe = [&probes, p1 = p1, p0 = p0](const cv::Mat&, double, double,
                                                         std::int32_t, bool black) {
            ++probes;
            return black ? p1 : p0;
        };
        EXPECT_EQ(StageChain(stages).findOuterZebraLevel(run.markerContext(marker)),
                  WrongNumberOfOuterZebraModules);
        EXPECT_EQ(probes, 2);
        EXPECT_EQ(walks, 0);
        // The plain view's failure at the deeper stage stays the recorded one.
        EXPECT_EQ(run.status.errorCode, RadialZebraNotDetected);
        EXPECT_EQ(run.status.stage, StageFindRadialZebra);
    }
}

TEST(StageChainReading, MasksInOrderOnFreshCopiesAndRefusedGridsNotDecoded) {
    ChainRun run(CodeType::Color);
    run.context.parameters.layout = Layout::Scrambled;
    StageFunctions stages = succeedingStages();
    stages.readMaskedData = [](const SamplingGrid& grid, const cv::Point2d&, double,
                               const RadialZebra&) {
        EXPECT_EQ(grid.bitsPerModule, 3);
        EXPECT_EQ(grid.threshold, test::kFakeThreshold);
        return ModuleList{1, 2, 3};
    };
    std::vector<int> masks;
    stages.applyMaskAndLayout = [&](const SamplingGrid&, ModuleList& modules, int mask,
                                    Layout layout) {
        masks.push_back(mask);
        EXPECT_EQ(modules, (ModuleList{1, 2, 3})) << "a fresh copy for mask " << mask;
        EXPECT_EQ(layout, Layout::Scrambled);
        modules.assign(modules.size(), 7);
        return mask == 1 ? WrongGrid : Success;
    };
    std::vector<int> frames;
    stages.decodeFrame = [&](const SamplingGrid&, const ModuleList& modules, std::string* payload,
                             std::uint8_t*, std::uint8_t*, FrameReport*) {
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

TEST(StageChainFailureRule, DeeperFailuresWinAcrossAlternatives) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
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
    stages.decodeFrame = [&](const SamplingGrid&, const ModuleList&, std::string*, std::uint8_t*,
                             std::uint8_t*, FrameReport*) { return EccCannotCorrect; };
    DecodeStatus beforeStage7;
    bool captured = false;
    stages.warpInputImage = [&](const cv::Mat&, const cv::Mat& image, const cv::Matx33d&,
                                const StartMarkerCandidate&) {
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
TEST(StageChainFailureRule, SamplingOutsideTheImageFailsOnlyThatPath) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    int readings = 0;
    stages.readMaskedData = [&readings](const SamplingGrid& grid, const cv::Point2d&, double,
                                        const RadialZebra&) {
        if (++readings < 3) {
            throw QCException(WrongGrid);
        }
        return ModuleList(static_cast<std::size_t>(grid.modulesPerRing), 0);
    };
    EXPECT_EQ(run.run(stages), Success);
    EXPECT_EQ(readings, 3) << "plain, transform 2 of the normal view, then transform 1";
    EXPECT_EQ(run.status.errorCode, WrongGrid);
    EXPECT_EQ(run.status.stage, StageReadMaskedData);

    stages.readMaskedData = [](const SamplingGrid&, const cv::Point2d&, double,
                               const RadialZebra&) -> ModuleList {
        throw QCException(InvalidInputSymbols);
    };
    EXPECT_THROW(run.run(stages), QCException);
}

}  // namespace
}  // namespace qcl
