// The two readers compared: ours as the command line reads, and zxing-cpp reading QR codes.
// Every function here may be called from several threads at once. A read is timed by the
// processor time of its thread, so the image library's own worker threads must be off (one
// thread) for the time to hold all of the read's work.
#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

#include "common/CodeTypes.h"

namespace qcl::eval {

struct ReadOutcome {
    std::vector<std::string> payloads;  // every symbol reported, in the reader's order
    double milliseconds = 0.0;          // processor time of the reading thread
};

// Our reader's single read, `decode` as the command line calls it (enhancement on).
ReadOutcome readOurs(const cv::Mat& image, CodeType codeType);
// Our reader's whole-image read: every symbol `decodeAll` finds; with `autoCodeType` either code
// type, `codeType` being where the search starts.
ReadOutcome readOursAll(const cv::Mat& image, CodeType codeType, bool autoCodeType = false);

// Whether the QR side is built in (zxing-cpp found when configuring).
bool haveQr();
// zxing-cpp's own QR picture of `payload`: error correction M, 4-module quiet zone, large
// enough to be scaled down like ours.
cv::Mat qrPicture(const std::string& payload);
// zxing-cpp reading QR codes only, trying harder, on an 8-bit picture: the first code found, or
// with `all` every code found.
ReadOutcome readQr(const cv::Mat& image, bool all);

}  // namespace qcl::eval
