// The rim rectifier: frontal views of symbols seen at a slant. The symbol's rim is a circle, and
// under a tilt it is the largest and best measured ellipse the symbol shows: fitted to the convex
// hull of the symbol's dark area, it gives an affine map that makes the rim round again. The stage
// chain then reads the view as if the symbol faced the camera; what little perspective is left is
// what its own corrections handle.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace qcl {

struct RimView {
    cv::Mat image;           // kRimViewSide square, the rim a centred circle
    cv::Matx33d toCaller;    // view pixels -> caller's image pixels
    cv::RotatedRect rim;     // the rim's ellipse in the caller's image
    cv::Point2d discCenter;  // the white disc the rim was grown from, caller's pixels
};

// A symbol already read, in the caller's pixels: discs within `radius` of its centre are its own.
struct ReadSymbol {
    cv::Point2d center;
    double radius = 0.0;
};

// Side of every view, pixels: the stage chain's working size, so nothing is resized again.
constexpr int kRimViewSide = 640;

// Views of the slanted symbols in an 8-bit image with 1 or 3 channels: one for every white,
// elliptical disc whose surrounding dark area has an elliptical rim of like shape and centre,
// largest rim first, at most `maxViews`. Discs inside the symbols in `known` are not looked at.
std::vector<RimView> rimViews(const cv::Mat& image, int maxViews,
                              const std::vector<ReadSymbol>& known = {});

}  // namespace qcl
