// The two readers compared: ours as `Quorview FILE` reads, and zxing-cpp reading QR codes.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace qcl::eval {

struct ReadOutcome {
    bool decoded = false;
    std::string payload;
    double milliseconds = 0.0;
};

// Our reader as the command line runs it: the designed search, then the locator.
ReadOutcome readOurs(const cv::Mat& image);

// Our writer's whole picture of `payload` (black and white, default shape and quiet zone).
cv::Mat ourPicture(const std::string& payload);

// Whether the QR side is built in (zxing-cpp found when configuring).
bool haveQr();
// zxing-cpp's own QR picture of `payload`: error correction M, 4-module quiet zone, large
// enough to be scaled down like ours.
cv::Mat qrPicture(const std::string& payload);
// zxing-cpp reading QR codes only, trying harder, on an 8-bit picture.
ReadOutcome readQr(const cv::Mat& image);

}  // namespace qcl::eval
