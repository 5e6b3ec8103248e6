// The one writer behind Quorgen and the public C++ and Python interfaces: it refuses what cannot
// be written, draws the symbol and reads it back before handing it out, so that a symbol our
// reader cannot read is never given out as a success unless the caller insists.
#pragma once

#include <opencv2/core.hpp>

#include <string>

#include "common/ErrorCodes.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace qcl::writer {

// Largest image side drawn: a 20000 x 20000 BGR image already takes 1.2 GB.
constexpr int kMaxImageSide = 20000;

struct SymbolRequest {
    std::string payload;
    SymbolOptions symbol;
    RenderOptions render;
    bool force = false;  // hand the symbol out even when the reader does not read it back
};

struct CheckedSymbol {
    SymbolContent content;
    SymbolRenderer renderer;
    cv::Mat image;  // 8-bit BGR
};

// A symbol that was drawn but does not read back at the asked size. what() names the size and
// the smallest size of the same kind (ring pitch, diameter or image) that reads, if any.
class UnreadableSymbol : public QCException {
  public:
    explicit UnreadableSymbol(const std::string& detail)
        : QCException(CodeCannotBeCreated, detail), detail(detail) {}

    // The reason alone, for a caller that adds how to write the symbol anyway.
    std::string detail;
};

// Encodes (bytes that are not UTF-8, left to the automatic payload type, as a Binary payload of
// the same bytes, so that they read back unchanged), draws and (unless forced) reads the symbol
// back. Throws QCException:
// InvalidConfiguration for an empty payload or an image side above kMaxImageSide, what
// encodeSymbol throws, CodeCannotBeCreated when the drawing does not fit the asked size, and
// UnreadableSymbol.
CheckedSymbol writeCheckedSymbol(const SymbolRequest& request);

// True when the reader, told the symbol's code type and layout, reads `image` as the payload
// `content` was encoded from.
bool readsBack(const cv::Mat& image, const SymbolContent& content, const std::string& payload);

}  // namespace qcl::writer
