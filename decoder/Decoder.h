// The one entry to the reader: an image in, the payload out.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "decoder/DecodeTypes.h"
#include "decoder/SymbolResult.h"

namespace qcl {

// Decodes the symbol shown in an 8-bit image with 1 or 3 (BGR) channels. Returns the payload
// bytes; throws QCException with the deepest failure when nothing decodes. The symbol search
// reads what the detector finds, and the first symbol in reading order is returned.
std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance);

// Every symbol in the image, with what a caller needs to know about each, in reading order (top
// to bottom, then left to right): a view cut around every hypothesis the detector proposes, read
// by the stage chain, with alternatives for those that got far. Never throws for an image without a
// symbol: the result then holds no symbol and the deepest failure.
DecodeAllResult decodeAll(const DecodeParameters& parameters, const cv::Mat& image,
                          const DecodeOptions& options);

struct StageFunctions;

// The designed search through both binarisations, with what the successful path knew.
struct DesignedDecode {
    bool decoded = false;
    std::string payload;  // a Binary payload already in the parameters' binary format
    std::uint8_t payloadType = 0;
    std::uint8_t eccType = 0;
    DecodeStatus status;    // the deepest failure over both passes when nothing decoded
    SymbolDetails details;  // valid when decoded
    cv::Matx33d toCaller;   // conditioned image -> caller's image
    // With `traceStages`: the decoding path's findings, or the deepest failure's, in the
    // caller's image coordinates.
    StageTrace trace;
};
// Which of the designed search's binarisations a read runs the chain on: Otsu's threshold first,
// then maximum entropy and the evened light. A search that reads many views tries the first alone
// and the later ones only where the first got far.
enum class Binarisations { All, FirstOnly, LaterOnly };

DesignedDecode runDesignedDecode(const DecodeParameters& parameters, const cv::Mat& image,
                                 bool enhance, const StageFunctions& stages,
                                 bool traceStages = false,
                                 Binarisations binarisations = Binarisations::All);

// The designed search alone, with the stages of the chain given by the caller (tests steer the
// search with fakes).
std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance,
                   const StageFunctions& stages);

// The decode entry's size rule: an image whose longer side exceeds 640 pixels is resized to 640
// on that side (truncating integer arithmetic, bilinear); any other image is returned as it is.
cv::Mat limitImageSize(const cv::Mat& image);

// "0b" + binary digits (least significant first in each group of four) -> "0x" + hex digits.
std::string binaryToHex(const std::string& text, bool lowerCase);

}  // namespace qcl
