// Distortion families of the evaluation: each maps a clean picture to a degraded one at a level,
// the same way for our symbols and for the QR codes they are compared with.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace qcl::eval {

struct Family {
    std::string name;
    std::vector<double> levels;  // in the family's own unit (see families())
    // Degrades an 8-bit picture at `level`; `seed` fixes every random choice of the variant.
    cv::Mat (*apply)(const cv::Mat& image, double level, std::uint32_t seed);
};

// Every family, in report order.
const std::vector<Family>& families();

// The whole picture (`picture`, quiet zone included) scaled with area interpolation to `width`
// pixels and centred on a white canvas of `canvas` pixels.
cv::Mat placeCentred(const cv::Mat& picture, int width, cv::Size canvas);

}  // namespace qcl::eval
