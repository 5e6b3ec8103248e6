// A picture of what the reader found in an image, for users who need to see why a symbol is or is
// not read: every symbol's outline, centre disc, start marker and payload, or, when nothing was
// read, how far the deepest attempt got.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "app/JsonOutput.h"

namespace qcl {

// The input image (8-bit, 1 or 3 channels) with the outcome drawn on it, 8-bit BGR.
cv::Mat drawOverlay(const cv::Mat& image, const InputOutcome& outcome);

// Writes an 8-bit BGR image as a PNG file. Returns false with a one-line reason in `error`.
bool writePng(const std::string& path, const cv::Mat& image, std::string& error);

}  // namespace qcl
