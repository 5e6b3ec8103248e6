#include "decoder/search/SearchImage.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

#include "imaging/ColourImage.h"
#include "imaging/LocalThreshold.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

// Aperture of the median that cleans the detection picture of salt-and-pepper noise (px), and
// the mean change (grey levels) from which a picture counts as noisy: clean, blurred and JPEG
// pictures change by well under one level, a picture with one pixel in twenty flipped by about 3.
constexpr int kDetectionMedian = 3;
constexpr double kNoiseLevel = 1.5;

cv::Mat greyOf(const cv::Mat& image) {
    if (image.channels() != 3) {
        return image;
    }
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

}  // namespace

cv::Mat SearchImage::greyRegion(const cv::Rect& region) {
    detectionGrey();
    if (fullGrey_.empty()) {
        // Regions of a reduced picture are asked for by the dozen, and overlap: the whole grey,
        // once, costs less than converting each.
        fullGrey_ = greyOf(image_);
    }
    return fullGrey_(region);
}

const cv::Mat& SearchImage::fullGrey() {
    detectionGrey();
    return fullGrey_;
}

const cv::Mat& SearchImage::detectionGrey() {
    if (!detectionGrey_) {
        const int longer = std::max(image_.cols, image_.rows);
        cv::Mat grey;
        if (longer > kDetectionSide) {
            // The picture is reduced before it is made grey, so that a 12-megapixel photo is
            // never converted whole.
            const double scale = static_cast<double>(kDetectionSide) / longer;
            const cv::Size size(std::max(1, cvRound(image_.cols * scale)),
                                std::max(1, cvRound(image_.rows * scale)));
            detectionScale_ = static_cast<double>(size.width) / image_.cols;
            cv::Mat reduced;
            cv::resize(image_, reduced, size, 0, 0, cv::INTER_AREA);
            grey = greyOf(reduced);
        } else {
            fullGrey_ = greyOf(image_);
            grey = fullGrey_;
        }
        cv::Mat cleaned;
        if (!grey.empty()) {
            cv::medianBlur(grey, cleaned, kDetectionMedian);
            // The median takes thin lines with the specks: a small symbol's marker is a pixel
            // wide near its disc. A picture that the median hardly changes keeps its own pixels.
            cv::Mat change;
            cv::absdiff(grey, cleaned, change);
            noisy_ = cv::mean(change)[0] >= kNoiseLevel;
            if (!noisy_) {
                cleaned = grey;
            }
        }
        detectionGrey_ = cleaned;
    }
    return *detectionGrey_;
}

bool SearchImage::noisy() {
    detectionGrey();
    return noisy_;
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
            detectionThreshold_ = std::max(0, computeThreshold(grey, Otsu));
            binary = localThreshold(grey, detectionThreshold_);
        }
        detectionBinary_ = binary;
    }
    return *detectionBinary_;
}

double SearchImage::detectionContrast() {
    if (!detectionContrast_) {
        const cv::Mat& grey = detectionGrey();
        detectionBinary();
        detectionContrast_ = grey.empty() ? 0.0 : pictureContrast(grey, detectionThreshold_);
    }
    return *detectionContrast_;
}

bool SearchImage::hasColour() {
    if (!hasColour_) {
        hasColour_ = qcl::hasColour(image_);
    }
    return *hasColour_;
}

}  // namespace qcl
