// Reduction of an 8-bit image by a factor below one, each output pixel the average
// of the input area it covers: the same pixels as cv::resize with INTER_AREA, computed faster
// where the factor is not the inverse of a whole number.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// `image` (8 bits, any number of channels) reduced by `factor` in both directions,
// 0 < factor <= 1; the output is round(width * factor) x round(height * factor). Bit for bit
// what cv::resize(image, out, cv::Size(), factor, factor, cv::INTER_AREA) gives: the same
// weights, summed in the same order in single precision. The library recomputes the weighted
// sum of a source row for every output row it touches and walks a table per source pixel; here
// each source row is summed once, over a fixed number of neighbouring pixels per output column.
cv::Mat reduceByArea(const cv::Mat& image, double factor);

// `image` reduced to `size` (no larger than the image either way): what
// cv::resize(image, out, size, 0, 0, cv::INTER_AREA) gives.
cv::Mat reduceByArea(const cv::Mat& image, cv::Size size);

}  // namespace qcl
