// Whether an image shows colour: a colour symbol read with the black-and-white code type fails,
// and both the scripting mode's automatic code type and the failure hint of the file decode
// look at this before suggesting or trying the colour code type.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// True for a three-channel image in which more than a small share of a grid of sampled pixels
// has channels that differ clearly (grey, black and white pixels do not count).
bool hasColour(const cv::Mat& image);

}  // namespace qcl
