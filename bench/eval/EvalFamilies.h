// Families of the evaluation: each builds, at a level, the picture a reader is given from the
// writers' clean pictures, the same way for our symbols and for the QR codes they are compared
// with.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "support/SeededRandom.h"

namespace qcl::eval {

// How many symbols a family's pictures show.
enum class SymbolCount {
    One,      // one symbol, read with the single read
    Several,  // as many as the level says, read with the whole-image read
    None,     // no symbol at all: anything reported is a false positive
};

// Builds the picture read at `level` from the writer pictures `symbols` (one per symbol, quiet
// zone included), each scaled to `width` pixels; `seed` fixes every random choice of the variant.
using SceneBuilder = cv::Mat (*)(const std::vector<cv::Mat>& symbols, int width, double level,
                                 std::uint32_t seed);

struct Family {
    std::string name;
    std::vector<double> levels;
    std::string unit;  // what the levels measure, for the plot's axis
    SceneBuilder build;
    SymbolCount count = SymbolCount::One;
    bool colour = false;  // the writer's eight-colour symbols, read as colour codes
    // Read with the automatic code type, as the scripting mode reads: the whole-image read tries
    // black and white, then colour.
    bool autoCodeType = false;
};

// Every family, in report order.
const std::vector<Family>& families();

// The reader's working square: single symbols are placed in pictures of this size.
const cv::Size kCanvas(640, 640);

// The whole picture (`picture`, quiet zone included) scaled with area interpolation to `width`
// pixels wide.
cv::Mat scaleToWidth(const cv::Mat& picture, int width);
// `picture` scaled to `width` and centred on a white canvas of `canvas` pixels.
cv::Mat placeCentred(const cv::Mat& picture, int width, cv::Size canvas);

// Side of both writers' pictures before scaling: the writer's default picture.
constexpr int kPictureSide = 640;

// Our writer's whole picture of `payload` (default shape and quiet zone), black and white or in
// the eight colours.
cv::Mat ourPicture(const std::string& payload, CodeType codeType);

// The items of a comma-separated list, as the measuring programs' options take them.
std::vector<std::string> splitList(const std::string& text);

// A payload of `length` random printable ASCII characters (33-126), as the evaluation writes.
std::string printablePayload(test::SeededRandom& random, std::size_t length);

}  // namespace qcl::eval
