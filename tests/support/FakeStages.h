// Fake stages for exercising the stage chain and the decode entry without real images: every
// stage succeeds with simple, self-consistent values until a test replaces it.
#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

#include "decoder/StageChain.h"

namespace qcl::test {

// Values the default fakes report.
constexpr float kFakeDiscDiameter = 20.0f;
constexpr std::int32_t kFakeSlotCount = 4;
constexpr double kFakeZebraRadius = 10.0;
constexpr double kFakeOuterRadius = 30.0;

// Working image of the fake runs: white with one black pixel, so that each view can be told
// apart by where that pixel went.
const cv::Size kFakeImageSize(40, 30);
const cv::Point kFakeMarkPixel(5, 7);
constexpr std::int32_t kFakeThreshold = 99;

// Everything one chain run needs, owned by one object as the decode entry owns it.
struct ChainRun {
    explicit ChainRun(CodeType codeType = CodeType::BlackAndWhite);
    ChainRun(const ChainRun&) = delete;
    ChainRun& operator=(const ChainRun&) = delete;

    ErrorCode run(const StageFunctions& stages) { return StageChain(stages).run(context); }
    // The context the levels below the start marker see: `marker` found in the plain view of a
    // symbol of 16 modules per ring.
    DecodeContext markerContext(const StartMarkerCandidate& marker) const;

    DecodeStatus status;
    std::string payload;
    std::uint8_t payloadType = 0;
    std::uint8_t eccType = 0;
    cv::Mat image;
    cv::Mat binary;
    DecodeContext context;
    cv::Matx33d identity = cv::Matx33d::eye();
};

// A marker along +x from the image centre of an image of `size`.
StartMarkerCandidate fakeMarker(const cv::Size& size, std::int32_t plausibility = 11,
                                double length = 20.0);

// Every stage succeeds; decodeFrame writes "payload" as Ascii with ECC High.
StageFunctions succeedingStages();

}  // namespace qcl::test
