// Binarisation that follows the light: uneven lighting (a lamp on one side, a dark corner, a
// vignette) is divided out before one global threshold is chosen.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// Each channel divided by its local white level (the brightest value nearby, smoothed), so that
// paper reads as 255 wherever it is and dark marks keep their share of the local light. The
// result has the source's size and channel count (1 or 3, 8 bits).
cv::Mat flattenIllumination(const cv::Mat& source);

// Flattens the light of `source` into `flattened` and binarises that as the designed binarisation
// does (Otsu's threshold, the colour flag, the opening); returns the threshold, which applies to
// `flattened`, not to `source`.
int binarizeAdaptive(const cv::Mat& source, cv::Mat& flattened, cv::Mat& binary, int colorFlag);

}  // namespace qcl
