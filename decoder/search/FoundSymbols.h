// The symbols a search has read: how large each is, whether a point lies within one, and the
// order in which they are reported.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#include "decoder/SymbolResult.h"

namespace qcl {

// The mean distance (px) from a read symbol's centre to its outline; 0 without an outline.
double rimRadius(const DecodedSymbol& symbol);

// True when `center` lies within `share` rim radii of one of `symbols`.
bool nearSymbol(const std::vector<DecodedSymbol>& symbols, const cv::Point2d& center, double share);

// Top to bottom, then left to right: symbols whose centres lie within a rim radius of each
// other vertically form one row.
void sortInReadingOrder(std::vector<DecodedSymbol>& symbols);

}  // namespace qcl
