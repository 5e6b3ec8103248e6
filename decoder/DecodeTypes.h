// Records shared by the decode entry, the stage chain and the detection stages.
#pragma once

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "common/Stage.h"

namespace qcl {

// What a caller chooses for one decode.
struct DecodeParameters {
    CodeType codeType = CodeType::BlackAndWhite;
    Layout layout = Layout::HorizontalShortSnake;
    BinaryFormat binaryFormat = BinaryFormat::Binary;
};

// The deepest failure seen so far; among failures of the same depth, the first.
struct DecodeStatus {
    std::int32_t errorCode = 0;
    std::int32_t stage = 0;

    // Records {code, stage} unless a failure at this stage or deeper is already held.
    void record(std::int32_t code, std::int32_t atStage) {
        if (code != 0 && (errorCode == 0 || stage < atStage)) {
            errorCode = code;
            stage = atStage;
        }
    }
};

// Relative tolerance used by every detection stage: u lies within p of v when
// |u - v| <= p * max(|u|, |v|).
inline bool withinTolerance(double u, double v, double p) {
    return std::abs(u - v) <= p * std::max(std::abs(u), std::abs(v));
}

// One entry of an angular grid snapped from measured angles.
struct GridSlot {
    double angle = 0.0;
    float radius = 0.0f;  // 0 as produced by the grid fit; the inner zebra stores a radius here
    std::int32_t slot = 0;
    bool interpolated = false;
};

// One measured point of a zebra ring.
struct RingPoint {
    std::int32_t slot = 0;
    double angle = 0.0;
    cv::Point2f position;
};

struct InnerZebra {
    std::vector<RingPoint> edges;  // at most one per slot, angles strictly increasing
    double radius = 0.0;           // a whole number of pixels
    std::int32_t slotCount = 0;    // 4, 8, 12, 16 or 20
};

struct StartMarkerCandidate {
    std::int32_t plausibility = 0;  // 2..11 in every returned candidate
    double angle = 0.0;             // radians, never negative
    cv::Point2d innerPoint;
    cv::Point2d outerPoint;
    cv::Point2d measuredOuterPoint;
};

struct OuterZebra {
    std::vector<RingPoint> modules;  // black module centres, increasing angle
    double radius = 0.0;             // a whole number of pixels
    std::int32_t slotCount = 0;      // modulesPerRing / 2
};

struct RadialZebra {
    double angle = 0.0;
    std::int32_t ringCount = 0;  // 0 when not found, otherwise at least 2
    double innerEdge = 0.0;
    double firstRingRadius = 0.0;
    double lastRingRadius = 0.0;
    double outerEdge = 0.0;
};

struct SymbolDetails;
struct StageTraceRecorder;

// What travels down the stage chain, by copy; each level changes its own fields.
struct DecodeContext {
    DecodeStatus* status = nullptr;
    std::string* payload = nullptr;
    std::uint8_t* payloadType = nullptr;
    std::uint8_t* eccType = nullptr;
    DecodeParameters parameters;
    const cv::Mat* image = nullptr;  // conditioned input; the warped input from readMaskedData on
    cv::Mat* binaryImage = nullptr;  // working image of the detection stages
    std::int32_t threshold = 0;
    const cv::Matx33d* transform = nullptr;  // input image coordinates -> binaryImage coordinates
    double innerRadius = 0.0;
    std::int32_t modulesPerRing = 0;
    const StartMarkerCandidate* startMarker = nullptr;
    const RadialZebra* radialZebra = nullptr;
    bool mirrored = false;  // the view is the mirror image of the input
    // Filled with what the successful path knew; null when the caller needs only the payload.
    SymbolDetails* details = nullptr;
    // Collects what each stage found, for pictures of the search; null when nobody looks.
    StageTraceRecorder* trace = nullptr;
};

}  // namespace qcl
