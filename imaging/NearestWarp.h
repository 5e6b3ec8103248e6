// Nearest-pixel warps of 8-bit images that give the image library's own warpAffine and
// warpPerspective pixels (INTER_NEAREST) bit for bit, computed only where the caller looks.
//
// The library spends most of such a warp on building a coordinate map and reading it back one
// pixel at a time; a warp of a binary view or of the ring round a symbol needs neither. The source
// coordinates are computed here with the library's own fixed-point and floating-point steps, in its
// order (including where its blocks of columns start), so every pixel comes out the same.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// The pixels of `region` of the `size` image that warping `source` by `transform` (2x3 affine or
// 3x3 perspective, source to destination) with nearest pixels gives; outside the source the
// border rule `borderType` (BORDER_CONSTANT with `borderValue`, or BORDER_REPLICATE) decides.
// 8-bit images of 1 or 3 channels; other types and borders are handed to the library.
cv::Mat warpNearestRegion(const cv::Mat& source, const cv::Mat& transform, cv::Size size,
                          const cv::Rect& region, int borderType,
                          const cv::Scalar& borderValue = cv::Scalar());

// The whole warped image, as cv::warpAffine / cv::warpPerspective with INTER_NEAREST give it
// (a whole perspective view is the library's own: its coordinate step is quicker than ours).
void warpNearest(const cv::Mat& source, cv::Mat& destination, const cv::Mat& transform,
                 cv::Size size, int borderType, const cv::Scalar& borderValue = cv::Scalar());

}  // namespace qcl
