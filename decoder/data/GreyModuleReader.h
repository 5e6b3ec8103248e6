// Reading black-and-white data modules from their grey levels: each module's mean over most of
// its area, judged against the dark and light levels of the modules around it. An alternative to
// the one-threshold sampling for blurred, noisy or unevenly lit symbols.
#pragma once

#include <opencv2/core.hpp>

#include "decoder/DecodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// The grey mean of every data module, in readMaskedData's order (outermost ring first); empty
// when the grid has fewer than 2 rings or no data slot, or a module lies outside the image.
std::vector<double> moduleGreyMeans(const SamplingGrid& grid, const cv::Point2d& center,
                                    double startAngle, const RadialZebra& radialZebra);

// Dark (1) or light (0) for each module, each judged against the dark and light levels of its
// neighbourhood (a few modules either way on its own and the adjacent rings), with its doubt: how
// close its grey lies to the threshold between those levels. Empty where moduleGreyMeans is
// empty. Black-and-white grids only.
ModuleList readModulesByGrey(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                             const RadialZebra& radialZebra);

}  // namespace qcl
