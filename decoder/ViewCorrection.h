// The corrections of the view that the stage chain tries before it looks for the start marker:
// the affine view that turns the elliptic centre disc into a circle round the image centre,
// transform 1 that moves the inner zebra's edge points onto an exact circle, and the mirror.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Warps `source` with a 2x3 affine or 3x3 perspective matrix into an image of the same size:
// nearest-neighbour sampling, pixels from outside the image white.
void warpView(const cv::Mat& source, cv::Mat& destination, const cv::Mat& matrix);

// Maps the bounding rectangle of the centre ellipse onto an upright square of side 2 r centred on
// the image centre; `corrected` is the warped and re-binarised working image. Returns the 3x3 form
// of the affine matrix.
cv::Matx33d affineCorrection(const cv::Mat& binaryImage, const cv::RotatedRect& ellipse,
                             double innerRadius, cv::Mat& corrected);

// Least-squares homography from the inner zebra's edge points to their ideal places on a circle
// of the zebra's radius round the image centre; `corrected` is the warped and re-binarised
// image. Returns false (and leaves the outputs alone) when the edge points do not determine a
// homography.
bool transform1(const cv::Mat& binaryImage, const InnerZebra& zebra, cv::Mat& corrected,
                cv::Matx33d& homography);

// Mirrors the image about its vertical axis (column x goes to W - 1 - x) and returns the matrix
// (-1 0 W; 0 1 0; 0 0 1) that the chain composes onto its transform. The translation is the
// width itself, so the matrix and the mirrored image disagree by one pixel; the rest of the chain
// relies on exactly this matrix.
cv::Matx33d mirrorView(const cv::Mat& binaryImage, cv::Mat& mirrored);

}  // namespace qcl
