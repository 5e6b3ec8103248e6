#include "imaging/ColourImage.h"

#include <algorithm>

namespace qcl {
namespace {

// A pixel counts as coloured when its channels differ by more than this.
constexpr int kColourSpread = 48;
// An image has colour when more than this share of its sampled pixels is coloured.
constexpr double kColouredShare = 0.02;
// Pixels sampled per side when looking for colour.
constexpr int kColourSamples = 64;

}  // namespace

bool hasColour(const cv::Mat& image) {
    if (image.channels() != 3 || image.empty() || image.depth() != CV_8U) {
        return false;
    }
    int coloured = 0;
    int sampled = 0;
    for (int y = 0; y < kColourSamples; ++y) {
        const cv::Vec3b* row = image.ptr<cv::Vec3b>(y * image.rows / kColourSamples);
        for (int x = 0; x < kColourSamples; ++x) {
            const cv::Vec3b& p = row[x * image.cols / kColourSamples];
            const int spread = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            coloured += spread > kColourSpread ? 1 : 0;
            ++sampled;
        }
    }
    return coloured > kColouredShare * sampled;
}

}  // namespace qcl
