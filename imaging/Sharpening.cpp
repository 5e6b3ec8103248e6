#include "imaging/Sharpening.h"

#include <opencv2/imgproc.hpp>

namespace qcl {

cv::Mat unsharpMask(const cv::Mat& image, double sigma, double amount) {
    cv::Mat blurred;
    cv::GaussianBlur(image, blurred, cv::Size(), sigma, sigma, cv::BORDER_REPLICATE);
    cv::Mat sharpened;
    cv::addWeighted(image, 1.0 + amount, blurred, -amount, 0.0, sharpened);
    return sharpened;
}

}  // namespace qcl
