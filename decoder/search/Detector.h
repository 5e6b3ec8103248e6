// The detector: one cheap pass over a picture that proposes where symbols lie. It scans the
// picture for white discs ringed by black, asks each what it shows of a symbol around it, and
// ranks what it finds; a picture where it finds nothing holds no symbol the search could read.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#include "decoder/search/SearchImage.h"
#include "decoder/search/SymbolEvidence.h"

namespace qcl {

// Where a symbol may be, in the caller's pixels, and how sure the detector is of it.
struct Hypothesis {
    cv::Point2d center;        // centre of the disc
    cv::RotatedRect disc;      // the disc's ellipse
    double discRadius = 0.0;   // mean radius of the disc
    double pitch = 0.0;        // estimated ring pitch
    double outerRadius = 0.0;  // centre to rim: where the quiet zone begins, else the marker's end
    bool rimMeasured = false;  // the rim was measured; otherwise it is the largest a disc allows
    bool quietZone = false;    // a white circle rings the symbol just beyond the rim
    Evidence evidence = Evidence::None;
    double score = 0.0;  // within one evidence level, higher first
};

struct DetectorOptions {
    // Least evidence a disc needs to become a hypothesis.
    Evidence minEvidence = Evidence::Disc;
    // Px in the caller's image. The smallest symbol that reads, one of two rings, has a rim of
    // about 17 px; a smaller candidate is a speck of texture or noise.
    double minRimRadius = 16.0;
    // Px in the caller's image: the disc of an 80 px symbol (two or three rings) is about 5 px;
    // smaller discs belong to symbols too small to read, or to specks of noise.
    double minDiscRadius = 3.5;
    int maxHypotheses = 16;  // hypotheses handed on, best first
};

// The hypotheses of the picture, best first: more evidence first, then the higher score; none
// centred within the disc of a better one.
std::vector<Hypothesis> detectSymbols(SearchImage& image, const DetectorOptions& options = {});

}  // namespace qcl
