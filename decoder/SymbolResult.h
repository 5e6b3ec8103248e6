// What the reader reports about each symbol it reads, and the options of a whole-image read.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/DecodeTypes.h"
#include "decoder/StageTrace.h"
#include "decoder/data/FrameDecoder.h"

namespace qcl {

// What the successful path of the stage chain knew when the frame decoded, in the working frame
// of that path (the conditioned image mapped by `transform`; the symbol centre is the centre of
// that frame).
struct SymbolDetails {
    cv::Matx33d transform = cv::Matx33d::eye();  // conditioned image -> working frame
    cv::Size frameSize;                          // size of the working frame in pixels
    std::int32_t modulesPerRing = 0;
    std::int32_t ringCount = 0;
    double startMarkerAngle = 0.0;  // radians, in the working frame
    double outerRadius = 0.0;       // the symbol's rim (outer edge of the data rings), pixels
    bool mirrored = false;
    FrameReport frame;
};

// One symbol read from an image. Positions are in the caller's image coordinates.
struct DecodedSymbol {
    std::string payload;  // bytes as decoded; a Binary payload in the parameters' binary format
    PayloadType payloadType = PayloadType::Automatic;
    ECCtype eccType = ECCtype::Low;
    CodeType codeType = CodeType::BlackAndWhite;
    std::int32_t modulesPerRing = 0;
    std::int32_t ringCount = 0;
    bool mirrored = false;
    cv::Point2d center;
    std::vector<cv::Point2d> outline;  // points on the symbol's rim, in order around it
    double startMarkerAngle = 0.0;     // radians from +x towards +y, in the caller's image
    std::int32_t correctedSymbols = 0;
    std::int32_t correctableSymbols = 0;
    StageTrace trace;  // what each stage found on the way; empty unless the options asked
};

// Options of a whole-image read.
struct DecodeOptions {
    bool enhance = true;          // run the input enhancement before binarisation
    std::int32_t maxSymbols = 0;  // stop after this many symbols; 0 reads every symbol found
    double timeBudgetMs = 0.0;    // return what was found after this many milliseconds; 0: none
    bool traceStages = false;     // keep what each stage found, for pictures of the search
    // Read either code type: the parameters' code type is only where the search starts, and a
    // symbol is reported with the code type it was read as.
    bool autoCodeType = false;
};

// Every symbol read from one image; when there is none, the deepest failure of the search.
struct DecodeAllResult {
    std::vector<DecodedSymbol> symbols;
    DecodeStatus failure;
    StageTrace failureTrace;  // how far the deepest attempt got, when the options asked
};

// Points evenly spaced on the rim of the symbol the details describe, mapped into the caller's
// image by `toCaller` (conditioned image -> caller's image) after the inverse of the details'
// transform.
std::vector<cv::Point2d> symbolOutline(const SymbolDetails& details, const cv::Matx33d& toCaller,
                                       int pointCount);

// The symbol record for a decoded payload and the details of its path.
DecodedSymbol makeDecodedSymbol(std::string payload, std::uint8_t payloadType, std::uint8_t eccType,
                                CodeType codeType, const SymbolDetails& details,
                                const cv::Matx33d& toCaller);

}  // namespace qcl
