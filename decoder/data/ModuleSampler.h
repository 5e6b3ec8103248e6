// Reading every data module of the warped input image once.
#pragma once

#include <opencv2/core.hpp>

#include <random>
#include <vector>

#include "decoder/DecodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// Samples all (modulesPerRing - 5) * ringCount data modules, outermost ring first. A grid of fewer
// than 2 rings (no pitch) or of 5 or fewer modules per ring (no data slot) is rejected with
// QCException(WrongGrid), as is a sample outside the image.
ModuleList readMaskedData(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                          const RadialZebra& radialZebra);

// Where readMaskedData samples each data module, in its order; empty for a grid it rejects.
std::vector<cv::Point> moduleCentres(const SamplingGrid& grid, const cv::Point2d& center,
                                     double startAngle, const RadialZebra& radialZebra);

// Classifies one module from its centre pixel, up to four neighbours and up to 20 random samples.
std::uint8_t classifyModule(const SamplingGrid& grid, std::mt19937& generator,
                            std::normal_distribution<double>& distribution, const cv::Point& center,
                            double angle, int tangentialWindow, int radialWindow,
                            int randomSamples);

// Distance between neighbouring rings (at least 5 pixels); the grid must have 2 rings or more.
double ringPitch(const SamplingGrid& grid, const RadialZebra& radialZebra);

// The blue, green and red values of one pixel; throws QCException(WrongGrid) outside the image.
cv::Vec3b modulePixel(const SamplingGrid& grid, const cv::Point& point);

}  // namespace qcl
