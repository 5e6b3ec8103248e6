// The locator: proposes where symbols lie in an image of any size, before the stage chain reads
// each one from a view cut around it. The signature it looks for is scale-free: a round white
// disc enclosed by black (the centre disc inside the inner zebra) from which one long black
// radial run, the start marker, reaches out to the symbol's rim.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace qcl {

struct SymbolCandidate {
    cv::Point2d center;        // centre of the disc, caller's image pixels
    double discRadius = 0.0;   // radius of the white centre disc, pixels
    double outerRadius = 0.0;  // centre to rim: where the quiet zone begins, else the marker's end
    double score = 0.0;        // higher first: roundness and size of the disc
};

struct LocatorOptions {
    int maxCandidates = 12;  // candidates handed on, best first
    // Longer side (px) of the image the search runs on: a 12-megapixel photo is searched at its
    // own size, so a symbol of 160 px in it keeps a disc the search can see.
    int searchSide = 4096;
    double minDiscRadius = 2.5;  // px in the search image: smaller holes are print noise
    // Px in the caller's image. The smallest symbol that reads, one of two rings, has a rim of
    // about 17 px; a smaller candidate is a speck of texture or noise, and each would cost a
    // failing search of its enlarged view.
    double minRimRadius = 16.0;
};

// Candidates in the image (8-bit, 1 or 3 channels), best first, at most maxCandidates; none
// with centres closer than their disc radius to a better one. A hole is rejected cheaply before
// the long marker rays are cast: too little contrast against the black around it, or (a disc
// large enough to show them) no notches of an inner zebra in every quarter turn.
std::vector<SymbolCandidate> locateSymbols(const cv::Mat& image,
                                           const LocatorOptions& options = {});

}  // namespace qcl
