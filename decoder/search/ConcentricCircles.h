// Two concentric circles seen in perspective: the centre disc and the rim of a symbol on a tilted
// page. Their images are two ellipses that fix the page's plane up to a rotation and a scale: the
// pencil of the two conics holds the vanishing line twice (a double eigenvalue of
// inner^-1 * outer) and the pair of lines through the centre's image once (the isolated
// eigenvalue, whose eigenvector is that centre). The homography that sends the vanishing line to
// infinity and then makes the rim round is the page seen face on; the stage chain finds the
// rotation from the start marker as in any view.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

struct PlaneView {
    cv::Matx33d toPlane;  // caller's pixels -> the plane where the rim is the unit circle at 0
    cv::Point2d centre;   // the image of the circles' common centre, in the caller's pixels
};

// The page's view from the ellipses of an inner and an outer circle of one centre, both in the
// caller's pixels; false when the two are not the images of concentric circles (the pencil shows
// no double eigenvalue, the centre lies outside the inner ellipse, or the vanishing line crosses
// the outer one).
bool planeOfConcentricCircles(const cv::RotatedRect& inner, const cv::RotatedRect& outer,
                              PlaneView& view);

}  // namespace qcl
