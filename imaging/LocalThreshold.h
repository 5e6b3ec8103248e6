// A binarisation for finding symbols anywhere in a picture: each pixel is compared with the grey
// level halfway between the darkest and brightest pixel of its neighbourhood, so uneven light (a
// lamp on one side, a vignette, a shadow) does not swallow a symbol, and flat areas without
// contrast keep the global threshold.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

struct LocalThresholdOptions {
    // Side (px) of the square blocks whose grey statistics set the thresholds.
    int blockSide = 8;
    // Blocks on each side of a block whose pixels make its threshold: a window of
    // (2 * reach + 1) blocks, wide enough to hold black and white of a symbol's structure.
    int reach = 2;
    // A window is flat (one colour: the inside of a disc, paper, a black area) when its darkest
    // and brightest pixel differ by less than this many grey levels, or by less than
    // `flatShare` of the picture's contrast (the gap between the mean grey levels of its dark and
    // its light pixels). A flat block takes the threshold of the nearest block that is not.
    int minRange = 16;
    double flatShare = 0.3;
};

// 255 where the grey pixel is above its threshold, 0 elsewhere; the output has the size of the
// 8-bit one-channel `grey`. `globalThreshold` splits the picture's dark pixels from its light
// ones (Otsu's threshold, say): it sets the picture's contrast, and it judges every block when
// no window of the picture has contrast.
cv::Mat localThreshold(const cv::Mat& grey, int globalThreshold,
                       const LocalThresholdOptions& options = {});

// The grey levels between the mean of the pixels above `threshold` and the mean of the others;
// 0 when either side is empty.
double pictureContrast(const cv::Mat& grey, int threshold);

}  // namespace qcl
