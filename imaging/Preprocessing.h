// Conditioning of input images and corrected views: enhancement and binarisation.
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>

namespace qcl {

enum ThresholdMethod : int { MaximumEntropy = 0, Otsu = 1 };

void enhanceImage(const cv::Mat& source, cv::Mat& destination);
void contrastAdjustment(const cv::Mat& source, cv::Mat& destination, float clipFraction);
// Threshold 0..255, or -1 when every pixel is already 0 or 255.
int computeThreshold(const cv::Mat& grey, int method);
void thresholdImage(const cv::Mat& source, cv::Mat& destination, int threshold);
void binarizeColorMode(const cv::Mat& source, cv::Mat& destination, int threshold);
// Returns the threshold used, 128 when the image was binary already.
int binarizeImage(const cv::Mat& source, cv::Mat& destination, int colorFlag, int method);
void binarizeOtsu(const cv::Mat& source, cv::Mat& destination);
// How many pixels of the 8-bit one-channel `grey` have each grey level.
std::array<std::int32_t, 256> greyLevelCounts(const cv::Mat& grey);

}  // namespace qcl
