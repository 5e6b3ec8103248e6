// First detection stage: the white centre disc of the symbol.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

#include "common/ErrorCodes.h"

namespace qcl {

// Finds the centre disc in the binary working image and paints it as a filled white ellipse into
// that image. Returns 0 and the disc's ellipse, or InnerCircleNotFound.
ErrorCode findCenter(cv::Mat& binaryImage, cv::RotatedRect& ellipse);

// Blob detector parameters of blob attempt 1..6: white, roughly round blobs; the area limits
// apply to the first four attempts only.
cv::SimpleBlobDetector::Params discParams(int attempt, double minArea, double maxArea);

// Upright bounding box of every pixel that is not 255 in an 8-bit one-channel image; an empty
// rectangle at (0, 0) when there is none.
cv::Rect blackExtent(const cv::Mat& binaryImage);

}  // namespace qcl
