// The stage chain: a depth-first search over the alternatives of seven nested levels (centre,
// inner zebra, view correction, start marker, outer zebra, radial zebra, module reading). Each
// level runs its stage, adds what it found to a copy of the context and calls the next level once
// per alternative, in a fixed order, until the rest of the chain succeeds.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decoder/DecodeTypes.h"
#include "decoder/SymbolResult.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// The detection and data stages the chain calls. realStages() gives the decoder's own; tests
// replace single entries with fakes to steer the search.
struct StageFunctions {
    std::function<ErrorCode(cv::Mat& binaryImage, cv::RotatedRect& ellipse)> findCenter;
    std::function<ErrorCode(const cv::Mat& binaryImage, double innerRadius, InnerZebra& zebra)>
        findInnerZebra;
    std::function<std::vector<StartMarkerCandidate>(const cv::Mat& binaryImage, double innerRadius,
                                                    std::int32_t modulesPerRing)>
        findStartMarker;
    std::function<ErrorCode(const cv::Mat& binaryImage, std::int32_t modulesPerRing,
                            const cv::Point2d& startPoint, OuterZebra& zebra)>
        findOuterZebra;
    std::function<ErrorCode(const cv::Mat& binaryImage, const OuterZebra& zebra,
                            StartMarkerCandidate& marker, cv::Mat& corrected,
                            cv::Matx33d& homography)>
        applyTransform2;
    std::function<std::int32_t(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                               std::int32_t startRadius, bool black)>
        radialProbe;
    std::function<RadialZebra(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                              std::int32_t p1, std::int32_t rOut, std::int32_t p0)>
        findRadialZebra;
    std::function<cv::Mat(const cv::Mat& binaryImage, const cv::Mat& image,
                          const cv::Matx33d& transform, const StartMarkerCandidate& marker)>
        warpInputImage;
    std::function<ModuleList(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                             const RadialZebra& radialZebra)>
        readMaskedData;
    // Alternative reading of black-and-white modules from their grey levels, tried after the
    // designed reading failed every mask; left empty, the alternative is skipped.
    std::function<ModuleList(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                             const RadialZebra& radialZebra)>
        readModulesByGrey;
    std::function<ErrorCode(const SamplingGrid& grid, ModuleList& modules, int maskIndex,
                            Layout layout)>
        applyMaskAndLayout;
    std::function<ErrorCode(const SamplingGrid& grid, const ModuleList& modules,
                            std::string* payload, std::uint8_t* payloadType, std::uint8_t* eccType,
                            FrameReport* report)>
        decodeFrame;
};

// The decoder's own stages.
const StageFunctions& realStages();

// Number of data masks tried on the modules of one reading.
constexpr int kMaskCount = 5;
// Later start-marker candidates are tried only from this plausibility on.
constexpr std::int32_t kMinPlausibilityOfLaterCandidates = 10;

class StageChain {
  public:
    explicit StageChain(const StageFunctions& stages) : stages_(stages) {}

    // The whole search for one binarisation; returns 0 when a payload was decoded, otherwise the
    // code of the alternative tried last, the deepest failure being held in the status.
    ErrorCode run(const DecodeContext& context) const { return findCenterLevel(context); }

    // The levels, outermost first. Each logs its stage name, and every failure it returns is
    // recorded in the context's status by the deepest-failure rule.
    ErrorCode findCenterLevel(const DecodeContext& context) const;
    ErrorCode findInnerZebraLevel(const DecodeContext& context) const;
    ErrorCode perspectiveTransformLevel(const DecodeContext& context, bool flipped,
                                        const InnerZebra& zebra) const;
    ErrorCode findStartMarkerLevel(const DecodeContext& context) const;
    ErrorCode findOuterZebraLevel(const DecodeContext& context) const;
    ErrorCode findRadialZebraLevel(const DecodeContext& context) const;
    ErrorCode readMaskedDataLevel(const DecodeContext& context) const;

  private:
    // Unmasks and decodes one reading of the modules with every mask in turn.
    ErrorCode decodeModules(const DecodeContext& context, const SamplingGrid& grid,
                            const ModuleList& masked) const;

    const StageFunctions& stages_;
};

// The start-marker candidates in the order the chain tries them: higher plausibility first, then
// the longer marker (inner to outer point) first; after the first, only candidates of
// plausibility 10 or more.
std::vector<StartMarkerCandidate> candidatesToTry(std::vector<StartMarkerCandidate> candidates);

// The outer-zebra start points of a marker: its outer point alone when the measured outer point
// is the same, otherwise both, the one farther from `center` first (the outer point on a tie).
std::vector<cv::Point2d> outerZebraStartPoints(const StartMarkerCandidate& marker,
                                               const cv::Point2d& center);

}  // namespace qcl
