// What a white disc shows of a symbol around it. A symbol's centre disc is ringed by the inner
// zebra's thin black floor and, beyond it, by the zebra's notches, white gaps spaced evenly round
// the disc; one long black radial run, the start marker, reaches from it to the rim; and just
// inside the rim the outer zebra alternates black and white modules of one size. The checks run
// cheapest first and stop at the first that fails, so a speck of texture costs a few rings of
// samples and only a disc that looks like a symbol's pays for the long marker rays.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/search/DiscScan.h"

namespace qcl {

// How far the checks got, in the order they run.
enum class Evidence : int {
    None = 0,        // no symbol's centre: no black floor round it, or no zebra and no blur
    Disc = 1,        // a uniform disc in dark surroundings without notches: a blurred symbol's
    InnerZebra = 2,  // evenly spaced notches round the disc
    Marker = 3,      // a long black radial run to a rim
    OuterZebra = 4,  // alternating modules of one size just inside that rim
};

struct DiscEvidence {
    Evidence reached = Evidence::None;
    bool floorSeen = false;  // black rings the disc all round (whatever else it showed)
    int notches = 0;         // the inner zebra's notches counted round the disc; 0 unseen
    // Px: how far the inner zebra's black reaches beyond the disc; 0 unmeasured.
    double spokeLength = 0.0;
    double markerReach = 0.0;  // px from the centre to the marker's far end; 0 without a marker
    // Px from the centre to where the quiet zone begins; 0 without a marker.
    double rimRadius = 0.0;
    bool quietZone = false;  // a white circle rings the symbol just beyond that rim
};

// What the checks read: the binary picture (0 black), its grey levels (the same pixels, 8-bit one
// channel) and the picture's contrast (grey levels between the mean of its light pixels and the
// mean of its dark ones).
struct EvidenceImages {
    const cv::Mat& grey;
    const cv::Mat& binary;
    double contrast = 0.0;
};

DiscEvidence measureEvidence(const EvidenceImages& images, const DiscBlob& disc);

// True when the ring halfway from `disc` to a rim of `rimRadius` px crosses modules: grey levels
// that spread, black and white each on a good share of it. A solid dark ring round a white hole
// (a washer, a bold letter) shows none, however round.
bool showsModules(const EvidenceImages& images, const DiscBlob& disc, double rimRadius);

}  // namespace qcl
