// What the camera view adds to its frames and its console about the symbols it read: their
// outlines and texts, held for a moment after the last read, and the choice of repeating an
// unchanged payload on the console.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/SymbolResult.h"

namespace qcl {

// The symbols of the last frame that read, kept for a short while so that the marks do not
// flicker off in the frames between two reads.
class HeldMarks {
  public:
    // Symbols read at `nowTicks` replace the held ones; a frame without any keeps them.
    void update(const std::vector<DecodedSymbol>& symbols, std::int64_t nowTicks);
    // Draws the outline and the text of every held symbol that is still fresh; a one-channel
    // frame is turned into a colour frame first so that the marks stand out.
    void draw(cv::Mat& frame, std::int64_t nowTicks) const;
    bool holding(std::int64_t nowTicks) const;

  private:
    std::vector<DecodedSymbol> symbols_;
    std::int64_t readTicks_ = 0;
};

// Draws the outline and text of the symbols into a three-channel frame.
void drawSymbolMarks(cv::Mat& frame, const std::vector<DecodedSymbol>& symbols);

// Decides which reads reach the console: every one, or only a read whose payloads differ from
// the ones printed last.
class OutputRepeats {
  public:
    explicit OutputRepeats(bool changesOnly) : changesOnly_(changesOnly) {}
    // True when the payloads of this read are to be printed.
    bool shouldPrint(const std::vector<DecodedSymbol>& symbols);

  private:
    bool changesOnly_;
    std::string last_;
};

}  // namespace qcl
