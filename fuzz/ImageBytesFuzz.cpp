// Image file bytes: decoding from memory, then the whole-image reader on the picture that came
// out, made small: reduced as a whole, or a window of its own pixels cut out, as the file's
// bytes choose. A file that cannot be read is answered with one line of our own and no picture.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzRead.h"
#include "imaging/ImageFile.h"

namespace {

// FNV-1a: a cheap hash of the input, so the choice of window follows the input alone.
std::uint32_t hashOf(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

// The picture with no side above the read side: the whole of it reduced, or a window of it.
cv::Mat madeSmall(const cv::Mat& image, std::uint32_t choice) {
    const int side = qcl::fuzz::kMaxReadSide;
    if (image.cols <= side && image.rows <= side) {
        return image;
    }
    if (choice % 2 == 0) {
        const double scale = static_cast<double>(side) / std::max(image.cols, image.rows);
        // At least one pixel each way: a very thin picture must not reduce to nothing.
        const cv::Size reduced(std::max(1, cvRound(image.cols * scale)),
                               std::max(1, cvRound(image.rows * scale)));
        cv::Mat small;
        cv::resize(image, small, reduced, 0, 0, cv::INTER_AREA);
        return small;
    }
    const int width = std::min(side, image.cols);
    const int height = std::min(side, image.rows);
    const int x =
        static_cast<int>((choice / 2) % static_cast<std::uint32_t>(image.cols - width + 1));
    const int y =
        static_cast<int>((choice / 7) % static_cast<std::uint32_t>(image.rows - height + 1));
    return image(cv::Rect(x, y, width, height)).clone();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > qcl::fuzz::kMaxFileBytes) {
        return -1;
    }
    const qcl::ImageReadResult read = qcl::readImageBytes({data, data + size});
    if (!read.ok()) {
        const bool oneLine = read.error.find('\n') == std::string::npos;
        if (!read.image.empty() || !oneLine || read.error.rfind("The image bytes", 0) != 0) {
            __builtin_trap();
        }
        return 0;
    }
    const cv::Mat& image = read.image;
    if (image.empty() || image.depth() != CV_8U ||
        (image.channels() != 1 && image.channels() != 3)) {
        __builtin_trap();
    }
    const cv::Mat small = madeSmall(image, hashOf(data, size));
    qcl::fuzz::readImage(qcl::DecodeParameters{}, small, qcl::DecodeOptions{});
    return 0;
}
