#include "decoder/search/SearchImage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

#include "imaging/ColourImage.h"
#include "imaging/LocalThreshold.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

// Aperture of the median that cleans the detection picture (px).
constexpr int kDetectionMedian = 3;

}  // namespace

const cv::Mat& SearchImage::grey() {
    if (!grey_) {
        cv::Mat grey;
        if (image_.channels() == 3) {
            cv::cvtColor(image_, grey, cv::COLOR_BGR2GRAY);
        } else {
            grey = image_;
        }
        grey_ = grey;
    }
    return *grey_;
}

const cv::Mat& SearchImage::detectionGrey() {
    if (!detectionGrey_) {
        cv::Mat grey = this->grey();
        const int longer = std::max(grey.cols, grey.rows);
        if (longer > kDetectionSide) {
            // A whole number of pixels to one: the reduction then averages fixed squares.
            const int factor = (longer + kDetectionSide - 1) / kDetectionSide;
            detectionScale_ = 1.0 / factor;
            cv::Mat reduced;
            cv::resize(grey, reduced, cv::Size(grey.cols / factor, grey.rows / factor), 0, 0,
                       cv::INTER_AREA);
            grey = reduced;
        }
        cv::Mat cleaned;
        if (!grey.empty()) {
            cv::medianBlur(grey, cleaned, kDetectionMedian);
        }
        detectionGrey_ = cleaned;
    }
    return *detectionGrey_;
}

double SearchImage::detectionScale() {
    detectionGrey();
    return detectionScale_;
}

const cv::Mat& SearchImage::detectionBinary() {
    if (!detectionBinary_) {
        const cv::Mat& grey = detectionGrey();
        cv::Mat binary;
        if (!grey.empty()) {
            const int global = std::max(0, computeThreshold(grey, Otsu));
            binary = localThreshold(grey, global);
        }
        detectionBinary_ = binary;
    }
    return *detectionBinary_;
}

bool SearchImage::hasColour() {
    if (!hasColour_) {
        hasColour_ = qcl::hasColour(image_);
    }
    return *hasColour_;
}

}  // namespace qcl
