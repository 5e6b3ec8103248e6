// Builds a reduced 8-bit BGR image from full-size rows delivered one at a time, so that a very
// large picture never has to be held at its own size.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace qcl {

// Most pixels an image read from a file keeps; larger pictures are reduced by a whole factor
// while they are read (about 48 MB as BGR, ample for the reader's own reduction).
constexpr std::int64_t kMaxReadPixels = 16LL * 1024 * 1024;

// Smallest whole factor that brings width x height within kMaxReadPixels.
std::int32_t readReductionFactor(std::int64_t width, std::int64_t height);

// Averages blocks of factor x factor pixels. Rows arrive as 8-bit BGR (3 channels) or BGRA
// (4 channels, composited over white so transparent areas read as the light background).
class RowShrinker {
  public:
    RowShrinker(std::int32_t width, std::int32_t height, std::int32_t channels,
                std::int32_t factor);

    void addRow(const std::uint8_t* row);
    // The reduced image; rows never delivered (a truncated file) stay white.
    cv::Mat result();

  private:
    void flush();

    std::int32_t width_;
    std::int32_t channels_;
    std::int32_t factor_;
    std::int32_t rowsInBlock_ = 0;
    std::int32_t outputRow_ = 0;
    std::vector<std::uint32_t> sums_;
    cv::Mat output_;
};

}  // namespace qcl
