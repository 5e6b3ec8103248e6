// Sharpening for blurred pictures: an unsharp mask that steepens the edges a defocused lens or
// a shaking hand softened, so that the thresholds find the modules' borders again.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// The 8-bit `image` (any channel count) plus `amount` times its difference from a Gaussian blur
// of standard deviation `sigma` pixels, saturated to 0..255.
cv::Mat unsharpMask(const cv::Mat& image, double sigma, double amount);

}  // namespace qcl
