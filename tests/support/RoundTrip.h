// Writer-to-reader round trips: a payload written as a symbol image by the writer, read back by
// the decode entry as the command line does, and payload texts that fill a symbol.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "common/CodeTypes.h"
#include "support/SeededRandom.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace qcl::test {

struct WrittenSymbol {
    cv::Mat image;  // 8-bit BGR
    writer::SymbolContent content;
    SymbolGeometry geometry;
};

// Encodes and renders `text`; throws what the writer throws.
WrittenSymbol writeSymbol(const std::string& text, const writer::SymbolOptions& symbol,
                          const RenderOptions& render);

// A random text of `type` (Automatic: a mixed text) that fills about `share` of what a symbol of
// the options' size holds; the options must fix modules per ring and ring count.
std::string fillingPayload(PayloadType type, const writer::SymbolOptions& options, double share,
                           SeededRandom& random);

// `length` random printable characters ('!' to '~'), as the evaluation's payloads are.
std::string printableText(SeededRandom& random, int length);

// The writer's symbol of `text` (default options) as the evaluation places it: written in
// 640 x 640, reduced by area to `width` px and centred in a white 640 x 640 picture.
cv::Mat centredSymbol(const std::string& text, int width);

struct ReadResult {
    bool decoded = false;
    std::string payload;
    int errorCode = 0;  // the QCException's code when not decoded
};

// Decodes as the command line does (HorizontalShortSnake layout, enhancement on).
ReadResult readSymbol(const cv::Mat& image, CodeType codeType);

}  // namespace qcl::test
