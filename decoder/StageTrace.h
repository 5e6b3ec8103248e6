// What the stages of one path through the chain found, for pictures that show a user why a symbol
// is or is not read. Recorded only when a caller asks for it; the search is the same either way.
#pragma once

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "decoder/DecodeTypes.h"

namespace qcl {

struct TracedModule {
    cv::Point2d position;
    std::uint8_t value = 0;  // as read, before unmasking: 1 = dark, or a colour value
};

// One path's findings. Points are in the coordinates of the image the path started from until
// mapped with mapStageTrace; only the stages up to `reachedStage` belong to the path.
struct StageTrace {
    std::int32_t reachedStage = 0;         // deepest stage whose findings are held; 0: none
    std::vector<cv::Point2d> centreDisc;   // points around the centre disc's ellipse
    std::vector<cv::Point2d> innerZebra;   // the inner zebra's edge points
    cv::Point2d markerInner, markerOuter;  // the start marker tried, inner to outer point
    std::vector<cv::Point2d> outerZebra;   // the outer zebra's black module centres
    std::vector<TracedModule> modules;     // every data module sampled, with its value
};

// The findings of the path the chain is on, and those of the path that got deepest.
struct StageTraceRecorder {
    StageTrace path;
    StageTrace deepest;  // the path of the deepest failure so far
    StageTrace found;    // the path that decoded

    // The path just failed at `stage`, deeper than any before: its findings up to that stage
    // are the ones to show (deeper ones belong to an older path).
    void keepDeepest(std::int32_t stage) {
        deepest = path;
        deepest.reachedStage = std::min(path.reachedStage, stage);
    }
};

// Points of the chain's working image (`transform` maps the conditioned image into it) back in
// the conditioned image.
std::vector<cv::Point2d> toConditioned(const std::vector<cv::Point2d>& points,
                                       const cv::Matx33d& transform);

// Every point of the trace mapped by `homography` (e.g. conditioned image -> caller's image).
void mapStageTrace(StageTrace& trace, const cv::Matx33d& homography);

// Points around an ellipse, for drawing it through any later perspective map.
std::vector<cv::Point2d> ellipsePoints(const cv::RotatedRect& ellipse, int count);

}  // namespace qcl
