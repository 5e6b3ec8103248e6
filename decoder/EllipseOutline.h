// The pixels of an ellipse's outline as the image library draws it, picked up near a walk along
// the drawing's polygon instead of searched for over the whole image.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace qcl {

// The pixels of the one-pixel, 8-connected outline that cv::ellipse draws for the whole ellipse
// with this centre, semi-axes (their absolute values) and rotation in degrees, as far as they lie
// in the image, as offsets from `center`, ordered by their angle in (-pi, pi] (atan2's order);
// pixels of equal angle in row-major order. `scratch` is an 8-bit one-channel image of the size
// to clip to, all zero on entry; it is all zero again on return, so one scratch image serves any
// number of outlines.
std::vector<cv::Point> outlineAroundCentre(cv::Mat& scratch, const cv::Point& center,
                                           const cv::Size& axes, int angle);

}  // namespace qcl
