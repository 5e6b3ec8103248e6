// The rim rectifier: frontal views of symbols seen at a slant. The symbol's rim is a circle, and
// under a tilt it is the largest and best measured ellipse the symbol shows: fitted to the convex
// hull of the symbol's dark area, and together with the centre disc's ellipse, it gives the map
// that makes the symbol round again. The stage chain then reads the view as if the symbol faced
// the camera.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

struct RimView {
    cv::Mat image;         // a square of the asked side, the rim a centred circle
    cv::Matx33d toCaller;  // view pixels -> caller's image pixels
    cv::RotatedRect rim;   // the rim's ellipse in the caller's image
};

// The ellipse of the rim around the white disc `disc` (both in pixels of the 8-bit image, grey or
// BGR), measured on the dark area of its symbol; false when no rim of a symbol's proportions,
// centred on the disc (or, in perspective, concentric with it) and of the disc's slant, fits.
bool findRim(const cv::Mat& grey, const cv::RotatedRect& disc, cv::RotatedRect& rim);

// The square view of `side` pixels in which `rim` (caller's pixels) is a centred circle, with
// everything beyond the rim white. Where the rim and its `disc` are the images of concentric
// circles in perspective, the view is the page's plane seen face on; otherwise it is the affine
// map that makes the rim round.
RimView makeRimView(const cv::Mat& image, const cv::RotatedRect& disc, const cv::RotatedRect& rim,
                    int side);

}  // namespace qcl
