// Synthetic degradations of camera frames that demonstrate how robust the reader is.
#pragma once

#include <opencv2/core.hpp>

namespace qcl {

// Strength of each distortion; 0 switches it off.
struct DistortionStrengths {
    double perspective = 0.0;      // corner displacement as a share of the half sizes
    double noise = 0.0;            // salt-and-pepper: about strength / 2 of the pixels each way
    double areaDestruction = 0.0;  // share of the frame covered by filled ellipses
};

// Returns a distorted copy of the 8-bit one- or three-channel input; the input is not changed.
// The perspective warp and the destroyed areas depend only on the strengths and the frame size,
// so they stay put from frame to frame; the noise changes with every call.
cv::Mat distortImage(const DistortionStrengths& strengths, const cv::Mat& input);

}  // namespace qcl
