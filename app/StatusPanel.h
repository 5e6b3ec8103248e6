// The camera view's window picture: the frame at its own size and aspect ratio, and below it a
// panel with the status lines, so that no line covers the picture or is cut off by its edge.
#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

namespace qcl {

// The text size and the lines as the panel draws them in a picture `width` pixels wide: each
// line at the largest size up to the designed one that fits, down to a smallest legible one,
// and a line still too long broken between its parts (" | ") or words.
struct FittedLines {
    double scale = 1.0;
    std::vector<std::string> lines;
};
FittedLines fitLines(const std::vector<std::string>& lines, int width);

// The frame (1 or 3 channels) as a colour picture with the panel of `lines` below it.
cv::Mat withStatusPanel(const cv::Mat& frame, const std::vector<std::string>& lines);

}  // namespace qcl
