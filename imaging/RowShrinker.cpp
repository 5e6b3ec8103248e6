#include "imaging/RowShrinker.h"

#include <algorithm>

namespace qcl {

namespace {

constexpr std::uint32_t kWhite = 255;

std::int32_t reducedSize(std::int32_t size, std::int32_t factor) {
    return (size + factor - 1) / factor;
}

}  // namespace

std::int32_t readReductionFactor(std::int64_t width, std::int64_t height) {
    std::int64_t factor = 1;
    while (((width + factor - 1) / factor) * ((height + factor - 1) / factor) > kMaxReadPixels) {
        ++factor;
    }
    return static_cast<std::int32_t>(factor);
}

RowShrinker::RowShrinker(std::int32_t width, std::int32_t height, std::int32_t channels,
                         std::int32_t factor)
    : width_(width), channels_(channels), factor_(std::max(1, factor)) {
    output_ = cv::Mat(reducedSize(height, factor_), reducedSize(width, factor_), CV_8UC3,
                      cv::Scalar::all(kWhite));
    sums_.assign(static_cast<std::size_t>(output_.cols) * 3, 0);
}

void RowShrinker::addRow(const std::uint8_t* row) {
    if (outputRow_ >= output_.rows) {
        return;
    }
    for (std::int32_t x = 0; x < width_; ++x) {
        const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * channels_;
        std::uint32_t* sum = &sums_[static_cast<std::size_t>(x / factor_) * 3];
        if (channels_ == 4) {
            const std::uint32_t alpha = pixel[3];
            for (int c = 0; c < 3; ++c) {
                sum[c] += (pixel[c] * alpha + kWhite * (255 - alpha) + 127) / 255;
            }
        } else {
            for (int c = 0; c < 3; ++c) {
                sum[c] += pixel[c];
            }
        }
    }
    if (++rowsInBlock_ == factor_) {
        flush();
    }
}

void RowShrinker::flush() {
    if (rowsInBlock_ == 0 || outputRow_ >= output_.rows) {
        return;
    }
    auto* out = output_.ptr<std::uint8_t>(outputRow_);
    for (std::int32_t x = 0; x < output_.cols; ++x) {
        const std::uint32_t columns = std::min(factor_, width_ - x * factor_);
        const std::uint32_t count = columns * static_cast<std::uint32_t>(rowsInBlock_);
        for (int c = 0; c < 3; ++c) {
            const std::size_t at = static_cast<std::size_t>(x) * 3 + c;
            out[at] = static_cast<std::uint8_t>((sums_[at] + count / 2) / count);
        }
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsInBlock_ = 0;
    ++outputRow_;
}

cv::Mat RowShrinker::result() {
    flush();
    return output_;
}

}  // namespace qcl
