// The views the stage chain reads of one hypothesis: the square around it with everything beyond
// its rim painted white, brought to the scale the chain reads best, and the costlier alternatives
// for a hypothesis whose first view got far but did not read.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/search/Detector.h"

namespace qcl {

struct CandidateView {
    cv::Mat image;
    cv::Matx33d toCaller = cv::Matx33d::eye();  // view pixels -> caller's image pixels
};

// The square around a hypothesis in the caller's pixels, with everything beyond its rim white.
struct CandidateCrop {
    cv::Mat image;
    cv::Point origin;           // the square's top-left corner in the caller's image
    double scaleToPitch = 1.0;  // the factor that brings the ring pitch to the chain's best
};

// Ring pitch (px) at which the chain reads a view best: every modules-per-ring count reads from
// 18 px on; the rest is room for blur and noise.
constexpr double kViewPitch = 24.0;
// Longest side (px) of any view: the chain's own working size.
constexpr int kMaxViewSide = 640;

CandidateCrop cutCrop(const cv::Mat& image, const Hypothesis& hypothesis);

// The crop scaled so that the pitch becomes kViewPitch (area reduction when it shrinks, cubic
// interpolation when it grows), the side at most kMaxViewSide; or scaled by `scale` when given.
CandidateView pitchView(const CandidateCrop& crop, double scale = 0.0);

// The crop brought to `side` px, enlarged with `interpolation` when it grows.
CandidateView scaledView(const CandidateCrop& crop, int side, int interpolation);

// The crop with its light evened and sharpened in its own pixels, where the blur that merged
// the modules has its own size: a blur of up to about 3 px is partly undone.
CandidateCrop sharpenedCrop(const CandidateCrop& crop);

// A picture (or crop) with its light evened and an unsharp mask applied, in its own geometry.
cv::Mat sharpenedPicture(const cv::Mat& image);

}  // namespace qcl
