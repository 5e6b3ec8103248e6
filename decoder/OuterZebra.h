// The outer zebra: the rim ring of alternating modules that gives the angular grid and the outer
// radius; and transform 2, which moves its black modules onto an exact circle.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Returns 0 and the ring, or WrongNumberOfOuterZebraModules.
ErrorCode findOuterZebra(const cv::Mat& binaryImage, std::int32_t modulesPerRing,
                         const cv::Point2d& startPoint, OuterZebra& zebra);

// The pixels of the one-pixel, 8-connected outline that cv::ellipse draws for the whole ellipse
// with this centre, semi-axes (their absolute values) and rotation in degrees, as far as they lie
// in the image, in row-major order (the order of cv::findNonZero). `scratch` is an 8-bit
// one-channel image of the size to clip to, all zero on entry; it is all zero again on return, so
// one scratch image serves any number of outlines.
std::vector<cv::Point> ellipseOutline(cv::Mat& scratch, const cv::Point& center,
                                      const cv::Size& axes, int angle);

// Builds the homography H that maps the ring's modules onto a circle (slot 0 at angle 0), warps
// and re-binarises binaryImage into `corrected`, and moves the marker's points and angle into the
// corrected frame. Returns WrongNumberOfOuterZebraModules, leaving the outputs untouched, when the
// ring has too few modules for a homography or their positions are degenerate.
ErrorCode applyTransform2(const cv::Mat& binaryImage, const OuterZebra& zebra,
                          StartMarkerCandidate& marker, cv::Mat& corrected,
                          cv::Matx33d& homography);

}  // namespace qcl
