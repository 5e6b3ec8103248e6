// How the reader targets read their pictures: small, and with the whole search.
#pragma once

#include <cstddef>
#include <cstdlib>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "fuzz/FuzzSupport.h"

namespace qcl::fuzz {

// Longest side of the images the reader is given: large enough for a legible small symbol and
// for the locator's candidates, small enough that the whole search stays cheap.
constexpr int kMaxReadSide = 128;

// Whether the reader targets read with the designed search alone instead of the whole-image
// read (QUORVIEW_FUZZ_DESIGNED_ONLY set): the smoke run's choice while a failing whole-image read
// still costs seconds under the sanitizers. Campaigns read whole.
inline bool designedOnly() {
    static const bool only = std::getenv("QUORVIEW_FUZZ_DESIGNED_ONLY") != nullptr;
    return only;
}

// The reader on `image`: the whole-image read, or with designedOnly() the designed search; the
// number of symbols read. Only the reader's own errors may come out.
inline std::size_t readImage(const DecodeParameters& parameters, const cv::Mat& image,
                             const DecodeOptions& options) {
    std::size_t symbols = 0;
    expectingOurErrors([&] {
        if (designedOnly()) {
            const DesignedDecode read =
                runDesignedDecode(parameters, image, options.enhance, realStages());
            symbols = read.decoded ? 1 : 0;
        } else {
            symbols = decodeAll(parameters, image, options).symbols.size();
        }
    });
    return symbols;
}

}  // namespace qcl::fuzz
