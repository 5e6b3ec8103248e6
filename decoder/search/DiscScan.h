// The first look at a picture: white discs enclosed by black, found by scanning rows of a binary
// image for white runs and checking each on its column and both diagonals. A symbol's centre disc
// is such a disc (the inner zebra's black floor rings it all round); the scan costs a pass over
// the scanned rows plus a few short walks per white run, whatever the picture holds.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace qcl {

struct DiscScanOptions {
    // Every rowStep-th row is scanned (px): with 2, one row passes within a pixel of every centre.
    int rowStep = 2;
    double minRadius = 2.5;      // px: smaller white specks are print noise
    double maxRadius = 100.0;    // px: larger white areas are paper, not a disc
    double minAxisRatio = 0.35;  // a disc seen at up to about 70 degrees of tilt
    // How far the diagonals may stray from the ellipse that the row and the column give: the
    // sum of their 1 / s^2 (s: semi-diameter) may differ by this share from the ellipse's.
    double maxEdgeError = 0.35;
};

struct DiscBlob {
    cv::RotatedRect ellipse;  // through the disc's edges, pixels of the scanned image
    double radius = 0.0;      // mean of its semi-diameters along the row, column and diagonals
};

// The discs of `binary` (8-bit, 0 black, anything else white), in scan order, each once.
std::vector<DiscBlob> scanForDiscs(const cv::Mat& binary, const DiscScanOptions& options = {});

// The disc through the white pixel `seed`, measured as the scan measures it; false when the white
// area there is no disc.
bool discThrough(const cv::Mat& binary, cv::Point seed, const DiscScanOptions& options,
                 DiscBlob& disc);

// The white area at the middle of the dark pixels' extent, taken whole (its convex hull fitted
// by an ellipse), when it is of a disc's size: the disc of a symbol that fills the picture, even
// where damage has bitten into it or a black centre fills its middle. False otherwise.
// `enclosing`, when given, receives the smallest circle round that area: the disc of a round
// symbol whose edge a dark band (a shadow's edge) has cut off on one side, where the hull's
// ellipse comes out too small and off its centre.
bool discAtMiddle(const cv::Mat& binary, const DiscScanOptions& options, DiscBlob& disc,
                  DiscBlob* enclosing = nullptr);

}  // namespace qcl
