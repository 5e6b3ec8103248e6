#include "decoder/StageChain.h"

#include <gtest/gtest.h>

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
        return black ? 0 : 1;  // p0 >= p1: the radial zebra is never found
    };
    DecodeContext context = run.context;
    context.modulesPerRing = 16;
    const cv::Matx33d identity = cv::Matx33d::eye();
    context.transform = &identity;
    context.startMarker = &found;
    LogCapture log(LogLevel::Debug);
    EXPECT_EQ(StageChain(stages).findOuterZebraLevel(context), RadialZebraNotDetected);

    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0], found.measuredOuterPoint) << "farther from the centre first";
    EXPECT_EQ(starts[1], found.outerPoint);
    const cv::Point2d center(kImageSize.width * 0.5, kImageSize.height * 0.5);
    const cv::Point2d onRim =
        center + test::kFakeOuterRadius * cv::Point2d(std::cos(0.5), std::sin(0.5));
    ASSERT_EQ(movedOuter.size(), 2u);
    EXPECT_NEAR(movedOuter[0].x, onRim.x, 1e-9);
    EXPECT_NEAR(movedOuter[0].y, onRim.y, 1e-9);
    // Plain view with the marker as found, transform 2 with the moved copy; twice.
    EXPECT_EQ(angles, (std::vector<double>{0.5, 1.25, 0.5, 1.25}));
    int transform2Lines = 0;
    for (const std::string& line : log.trace()) {
        transform2Lines += line == "     |transform 2";
    }
    EXPECT_EQ(transform2Lines, 2);
    EXPECT_EQ(run.status.errorCode, RadialZebraNotDetected);
    EXPECT_EQ(run.status.stage, StageFindRadialZebra);
}

TEST(StageChainOuterZebra, AFailedTransform2EndsTheAttemptWithoutAWarp) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.radialProbe = [](const cv::Mat&, double, double, std::int32_t, bool black) {
        return black ? 0 : 1;  // the plain view never finds the radial zebra
    };
    stages.applyTransform2 = [](const cv::Mat&, const OuterZebra&, StartMarkerCandidate&, cv::Mat&,
                                cv::Matx33d&) { return WrongNumberOfOuterZebraModules; };
    int radialLevels = 0;
    stages.findRadialZebra = [&radialLevels](const cv::Mat&, double, double, std::int32_t,
                                             std::int32_t, std::int32_t) {
        ++radialLevels;
        return RadialZebra{};
    };
    const StartMarkerCandidate marker = fakeMarker(kImageSize);
    const cv::Matx33d identity = cv::Matx33d::eye();
    DecodeContext context = run.context;
    context.modulesPerRing = 16;
    context.transform = &identity;
    context.startMarker = &marker;

    EXPECT_EQ(StageChain(stages).findOuterZebraLevel(context), WrongNumberOfOuterZebraModules);
    EXPECT_EQ(radialLevels, 0) << "no radial zebra search on an image that was never corrected";
    // The plain view's failure at the deeper stage stays the recorded one.
    EXPECT_EQ(run.status.errorCode, RadialZebraNotDetected);
    EXPECT_EQ(run.status.stage, StageFindRadialZebra);
}

TEST(StageChainReadMaskedData, AGridTheLayoutRefusesSkipsTheFrameDecoder) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.applyMaskAndLayout = [](const SamplingGrid&, ModuleList&, int, Layout) {
        return WrongGrid;
    };
    int frames = 0;
    stages.decodeFrame = [&frames](const SamplingGrid&, const ModuleList&, std::string*,
                                   std::uint8_t*, std::uint8_t*) {
        ++frames;
        return Success;
    };
    EXPECT_EQ(run.run(stages), WrongGrid);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(run.status.errorCode, WrongGrid);
    EXPECT_EQ(run.status.stage, StageReadMaskedData);
}

TEST(StageChainRadialZebra, ProbesAndWalkUseTheMarkerGeometry) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    struct Probe {
        double angle;
        std::int32_t start;
        bool black;
    };
    std::vector<Probe> probes;
    stages.radialProbe = [&probes](const cv::Mat&, double, double angle, std::int32_t start,
                                   bool black) {
        probes.push_back({angle, start, black});
        return black ? 21 : 11;
    };
    std::vector<std::int32_t> walk;
    double walkAngle = 0;
    stages.findRadialZebra = [&](const cv::Mat&, double, double angle, std::int32_t p1,
                                 std::int32_t rOut, std::int32_t p0) {
        walk = {p1, rOut, p0};
        walkAngle = angle;
        return RadialZebra{};  // ringCount 0: not found
    };
    const StartMarkerCandidate marker = fakeMarker(kImageSize, 11, 20.4);  // rIn 10, rOut 30
    const cv::Matx33d identity = cv::Matx33d::eye();
    DecodeContext context = run.context;
    context.modulesPerRing = 16;
    context.transform = &identity;
    context.startMarker = &marker;
    LogCapture log(LogLevel::All);
    EXPECT_EQ(StageChain(stages).findRadialZebraLevel(context), RadialZebraNotDetected);

    const double s = 4 * CV_PI / 16;
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_DOUBLE_EQ(probes[0].angle, s / 2);
    EXPECT_EQ(probes[0].start, 9);
    EXPECT_TRUE(probes[0].black);
    EXPECT_DOUBLE_EQ(probes[1].angle, 0.0);
    EXPECT_EQ(probes[1].start, 9);
    EXPECT_FALSE(probes[1].black);
    EXPECT_EQ(walk, (std::vector<std::int32_t>{21, 30, 11}));
    EXPECT_DOUBLE_EQ(walkAngle, s);
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "no Radial Zebra found on the right of the start marker"),
              lines.end());
}

TEST(StageChainRadialZebra, ProbesOutOfOrderSkipTheWalk) {
    StageFunctions stages = succeedingStages();
    int walks = 0;
    stages.findRadialZebra = [&walks](const cv::Mat&, double, double, std::int32_t, std::int32_t,
                                      std::int32_t) {
        ++walks;
        return RadialZebra{};
    };
    for (const auto& [p1, p0] : std::vector<std::pair<int, int>>{{11, 11}, {30, 11}, {5, 11}}) {
        ChainRun run;
        stages.radialProbe = [p1 = p1, p0 = p0](const cv::Mat&, double, double, std::int32_t,
                                                bool black) { return black ? p1 : p0; };
        const StartMarkerCandidate marker = fakeMarker(kImageSize);  // rOut 30
        const cv::Matx33d identity = cv::Matx33d::eye();
        DecodeContext context = run.context;
        context.modulesPerRing = 16;
        context.transform = &identity;
        context.startMarker = &marker;
        EXPECT_EQ(StageChain(stages).findRadialZebraLevel(context), RadialZebraNotDetected);
        EXPECT_EQ(run.status.stage, StageFindRadialZebra);
    }
    EXPECT_EQ(walks, 0);
}

TEST(StageChainReading, GridFromTheContextAndMasksInOrderOnFreshCopies) {
    ChainRun run(CodeType::Color);
    run.context.parameters.layout = Layout::Scrambled;
    StageFunctions stages = succeedingStages();
    SamplingGrid seenGrid;
    cv::Point2d seenCenter;
    double seenAngle = -1;
    stages.readMaskedData = [&](const SamplingGrid& grid, const cv::Point2d& center,
                                double startAngle, const RadialZebra&) {
        seenGrid = grid;
        seenCenter = center;
        seenAngle = startAngle;
        return ModuleList{1, 2, 3};
    };
    std::vector<int> masks;
    std::vector<ModuleList> received;
    stages.applyMaskAndLayout = [&](const SamplingGrid&, ModuleList& modules, int mask,
                                    Layout layout) {
        masks.push_back(mask);
        received.push_back(modules);
        EXPECT_EQ(layout, Layout::Scrambled);
        modules.assign(modules.size(), 7);
        return Success;
    };
    int frames = 0;
    stages.decodeFrame = [&frames](const SamplingGrid&, const ModuleList& modules,
                                   std::string* payload, std::uint8_t*, std::uint8_t*) {
        EXPECT_EQ(modules, ModuleList(3, 7));
        *payload = "found";
        return ++frames == 4 ? Success : WrongChecksum;
    };
    ASSERT_EQ(run.run(stages), Success);
    EXPECT_EQ(masks, (std::vector<int>{0, 1, 2, 3}));
    for (const ModuleList& modules : received) {
        EXPECT_EQ(modules, (ModuleList{1, 2, 3}));
    }
    EXPECT_EQ(seenGrid.bitsPerModule, 3);
    EXPECT_EQ(seenGrid.codeType, CodeType::Color);
    EXPECT_EQ(seenGrid.threshold, test::kFakeThreshold);
    EXPECT_EQ(seenGrid.modulesPerRing, 4 * test::kFakeSlotCount);
    EXPECT_EQ(seenGrid.ringCount, 3);
    EXPECT_EQ(seenCenter, cv::Point2d(20.0, 15.0));
    EXPECT_DOUBLE_EQ(seenAngle, 0.0);
    EXPECT_EQ(run.payload, "found");
    EXPECT_EQ(run.status.errorCode, 0);
}

TEST(StageChainFailureRule, DeeperFailuresWinAcrossAlternatives) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    int markerSearches = 0;
    stages.findStartMarker = [&markerSearches](const cv::Mat& binary, double, std::int32_t) {
        ++markerSearches;
        // Normal view: a marker whose radial zebra is missing (stage 6); transform 1: none
        // (stage 4); flipped view: a marker that reaches the frame decoder (stage 7).
        if (markerSearches == 2) {
            return std::vector<StartMarkerCandidate>{};
        }
        return std::vector<StartMarkerCandidate>{fakeMarker(binary.size())};
    };
    int probes = 0;
    stages.radialProbe = [&probes](const cv::Mat&, double, double, std::int32_t, bool black) {
        ++probes;
        const bool firstMarker = probes <= 4;  // two probes per radial level, plain + transform 2
        return firstMarker ? 5 : (black ? 21 : 11);
    };
    DecodeStatus afterSecond;
    bool captured = false;
    stages.decodeFrame = [&](const SamplingGrid&, const ModuleList&, std::string*, std::uint8_t*,
                             std::uint8_t*) { return EccCannotCorrect; };
    stages.warpInputImage = [&](const cv::Mat&, const cv::Mat& image, const cv::Matx33d&,
                                const StartMarkerCandidate&) {
        if (!captured) {
            afterSecond = run.status;
            captured = true;
        }
        return image.clone();
    };
    EXPECT_NE(run.run(stages), Success);
    EXPECT_EQ(afterSecond.errorCode, RadialZebraNotDetected) << "stage 4 did not overwrite 6";
    EXPECT_EQ(afterSecond.stage, StageFindRadialZebra);
    EXPECT_EQ(run.status.errorCode, EccCannotCorrect) << "stage 7 overwrote 6";
    EXPECT_EQ(run.status.stage, StageReadMaskedData);
}

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

    ChainRun never;
    stages.readMaskedData = [](const SamplingGrid&, const cv::Point2d&, double,
                               const RadialZebra&) -> ModuleList { throw QCException(WrongGrid); };
    EXPECT_EQ(never.run(stages), WrongGrid);
    EXPECT_EQ(never.status.errorCode, WrongGrid);
    EXPECT_EQ(never.status.stage, StageReadMaskedData);
}

TEST(StageChainFailureRule, OtherExceptionsLeaveTheChain) {
    ChainRun run;
    StageFunctions stages = succeedingStages();
    stages.readMaskedData = [](const SamplingGrid&, const cv::Point2d&, double,
                               const RadialZebra&) -> ModuleList {
        throw QCException(InvalidInputSymbols);
    };
    try {
        run.run(stages);
        FAIL() << "expected the exception to pass through";
    } catch (const QCException& error) {
        EXPECT_EQ(error.code, InvalidInputSymbols);
    }
    stages = succeedingStages();
    stages.decodeFrame = [](const SamplingGrid&, const ModuleList&, std::string*, std::uint8_t*,
                            std::uint8_t*) -> ErrorCode { throw QCException(EccParamsWrong); };
    EXPECT_THROW(run.run(stages), QCException);
}

}  // namespace
}  // namespace qcl
