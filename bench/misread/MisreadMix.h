// The pictures of the misread campaign, each drawn from its seed alone: writer symbols of random
// shape and content through the evaluation's families at their heaviest levels, and pictures
// that hold no symbol (the evaluation's noise, textures, text pages, discs and rings, and writer
// symbols whose data modules were scrambled).
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"
#include "support/SeededRandom.h"

namespace qcl::misread {

// Narrowest and widest symbol width (and no-symbol picture width) drawn, in pixels.
constexpr int kNarrowest = 80;
constexpr int kWidest = 640;
// Lowest and highest JPEG quality of the pictures that are compressed.
constexpr int kWorstJpeg = 5;
constexpr int kBestJpeg = 60;

struct Picture {
    cv::Mat image;
    CodeType codeType = CodeType::BlackAndWhite;  // how the campaign reads it
    std::vector<std::string> payloads;            // what it shows; empty for no symbol
    std::string scene;  // family, level, width and JPEG quality, for the report of a misread
};

// The symbol picture of `seed`.
Picture symbolPicture(std::uint32_t seed);

// The no-symbol picture of `seed`.
Picture noSymbolPicture(std::uint32_t seed);

// How a written symbol's data modules are made into a picture without a symbol.
enum class Scramble {
    Shuffled,  // the same values in a random order
    OneValue,  // every module the same value, as a blank or one-colour grid
    Noise,     // random values
};

// `modules` of a written symbol (bit values, or colour values 0..7) scrambled as `how` says.
ModuleList scramble(const ModuleList& modules, CodeType codeType, Scramble how,
                    test::SeededRandom& random);

}  // namespace qcl::misread
