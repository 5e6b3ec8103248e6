// The inner zebra: the black ring round the centre disc whose short-reach places give the number
// of modules per ring and the points of the first view correction.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Returns 0 and the measured ring, PerspectiveMarkersNotDetected or
// WrongNumberOfPerspectiveMarkers. A degenerate measurement fails with one of these codes too.
ErrorCode findInnerZebra(const cv::Mat& binaryImage, double innerRadius, InnerZebra& zebra);

}  // namespace qcl
