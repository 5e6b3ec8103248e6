// The one entry to the reader: an image in, the payload out.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Decodes the symbol shown in an 8-bit image with 1 or 3 (BGR) channels. Returns the payload
// bytes; throws QCException with the deepest failure when nothing decodes.
std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance);

// "0b" + binary digits (least significant first in each group of four) -> "0x" + hex digits.
std::string binaryToHex(const std::string& text, bool lowerCase);

}  // namespace qcl
