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

// Builds the homography H that maps the ring's modules onto a circle (slot 0 at angle 0), warps
// and re-binarises binaryImage into `corrected`, and moves the marker's points and angle into the
// corrected frame. Returns WrongNumberOfOuterZebraModules, leaving the outputs untouched, when the
// ring has too few modules for a homography or their positions are degenerate.
ErrorCode applyTransform2(const cv::Mat& binaryImage, const OuterZebra& zebra,
                          StartMarkerCandidate& marker, cv::Mat& corrected,
                          cv::Matx33d& homography);

}  // namespace qcl
