// Photo-like scenes without a symbol, for benchmarks of the whole-image search: smooth
// shading, overlapping shapes of every size and fine texture, what a camera sees on a desk.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>

namespace qcl::test {

// 8-bit BGR scene of `size`, the same for the same seed; plenty of blobs and edges, no symbol.
cv::Mat photoLikeScene(cv::Size size, std::uint32_t seed);

// Copies `picture` into `scene` with its top-left corner at `topLeft`; the part outside is cut.
void placePicture(cv::Mat& scene, const cv::Mat& picture, cv::Point topLeft);

// Tilts the image plane: a perspective map whose scale changes by +-`strength` across the image
// along direction `angle`.
cv::Mat tilt(const cv::Mat& image, double strength, double angle);

// A hand-held photograph of `image`: slight perspective, blur (sigma 1.5), sensor noise and
// JPEG at quality 60.
cv::Mat photographed(const cv::Mat& image, std::uint32_t seed);

}  // namespace qcl::test
