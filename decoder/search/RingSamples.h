// Samples of a picture along an ellipse around a disc: what the detector reads of the rings a
// symbol draws around its centre disc.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

struct RingSample {
    int whiteRuns = 0;           // white runs round the ring
    double spacingSpread = 0.0;  // standard deviation of the runs' spacing over its mean; 0 for
                                 // fewer than two runs
    double blackShare = 0.0;     // share of the samples that are black
    double meanGrey = 0.0;       // mean grey level of the samples (with a grey image given)
    double greySpread = 0.0;     // their standard deviation
};

// The ring `scale` times the ellipse `disc` (same centre and slant, axes times `scale`) in
// `binary` (0 black; outside the image counts as white), and in `grey` when it is not empty.
RingSample sampleRing(const cv::Mat& binary, const cv::Mat& grey, const cv::RotatedRect& disc,
                      double scale);

// True when at least `share` of the same ring is black (or with `black` false, white); stops as
// soon as the other colour seen rules it out, which is after a few samples for almost every ring
// that is not.
bool ringMostly(const cv::Mat& binary, const cv::RotatedRect& disc, double scale, bool black,
                double share);

}  // namespace qcl
