// The radial zebra: the radial row of alternating modules beside the start marker that gives the
// number and radii of the data rings; and the warp of the input image into the working frame.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Median over three neighbouring rays of where the first black (black = true) or white run from
// startRadius ends, in pixels from the image centre. twoModuleAngle is 4 pi / modulesPerRing.
std::int32_t radialProbe(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                         std::int32_t startRadius, bool black);

// Walks the radial zebra at `angle` from radius p1 to rOut; ringCount 0 means not found.
RadialZebra findRadialZebra(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                            std::int32_t p1, std::int32_t rOut, std::int32_t p0);

// Warps the input image into the working frame and whitens everything outside the symbol's
// rings; the result always has three channels.
cv::Mat warpInputImage(const cv::Mat& binaryImage, const cv::Mat& image,
                       const cv::Matx33d& transform, const StartMarkerCandidate& marker);

}  // namespace qcl
