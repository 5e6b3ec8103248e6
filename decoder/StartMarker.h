// The start marker: the long black radial bar that fixes angle zero of the module grid.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Every plausible marker, scored, in increasing order of the scan angle that found it.
std::vector<StartMarkerCandidate> findStartMarker(const cv::Mat& binaryImage, double innerRadius,
                                                  std::int32_t modulesPerRing);

}  // namespace qcl
