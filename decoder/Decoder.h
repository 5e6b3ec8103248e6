// The one entry to the reader: an image in, the payload out.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "decoder/DecodeTypes.h"

namespace qcl {

// Decodes the symbol shown in an 8-bit image with 1 or 3 (BGR) channels. Returns the payload
// bytes; throws QCException with the deepest failure when nothing decodes.
std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance);

struct StageFunctions;

// The same with the stages of the chain given by the caller (tests steer the search with fakes).
std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance,
                   const StageFunctions& stages);

// The decode entry's size rule: an image whose longer side exceeds 640 pixels is resized to 640
// on that side (truncating integer arithmetic, bilinear); any other image is returned as it is.
cv::Mat limitImageSize(const cv::Mat& image);

// "0b" + binary digits (least significant first in each group of four) -> "0x" + hex digits.
std::string binaryToHex(const std::string& text, bool lowerCase);

}  // namespace qcl
