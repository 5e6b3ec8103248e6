// Image file bytes: decoding from memory, then the whole-image reader on the picture that came
// out, reduced, through the designed search (the locator's paths are the raw image target's).
// A file that cannot be read is answered with one line of our own and no picture.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/ImageFile.h"

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
    const double scale =
        static_cast<double>(qcl::fuzz::kMaxReadSide) / std::max(image.cols, image.rows);
    cv::Mat small = image;
    if (scale < 1.0) {
        // At least one pixel each way: a very thin picture must not reduce to nothing.
        const cv::Size reduced(std::max(1, cvRound(image.cols * scale)),
                               std::max(1, cvRound(image.rows * scale)));
        cv::resize(image, small, reduced, 0, 0, cv::INTER_AREA);
    }
    qcl::fuzz::expectingOurErrors(
        [&] { qcl::runDesignedDecode(qcl::DecodeParameters{}, small, true, qcl::realStages()); });
    return 0;
}
