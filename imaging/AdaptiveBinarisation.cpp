#include "imaging/AdaptiveBinarisation.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <vector>

#include "imaging/AreaReduction.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

// The white level is estimated on an image this many times smaller: lighting varies slowly, and
// the large windows below stay cheap.
constexpr int kReduction = 4;
// Window of the white estimate as a share of the shorter side: wider than any dark part of a
// symbol (the centre disc, a thick ring), so that every window reaches paper.
constexpr double kWindowShare = 1.0 / 6.0;
// Smallest white level divided by; keeps black paper and empty dark corners from being stretched
// into noise.
constexpr double kMinWhite = 16.0;

int oddAtLeast(int value, int minimum) {
    const int v = std::max(value, minimum);
    return v % 2 == 1 ? v : v + 1;
}

// The smoothed local maximum of one channel, at the channel's own size.
cv::Mat whiteLevel(const cv::Mat& channel) {
    const cv::Size reduced(std::max(channel.cols / kReduction, 1),
                           std::max(channel.rows / kReduction, 1));
    const cv::Mat small = reduceByArea(channel, reduced);
    const int side =
        oddAtLeast(static_cast<int>(std::min(reduced.width, reduced.height) * kWindowShare), 3);
    cv::Mat white;
    cv::dilate(small, white, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side)));
    cv::blur(white, white, cv::Size(side, side), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::Mat full;
    cv::resize(white, full, channel.size(), 0, 0, cv::INTER_LINEAR);
    return full;
}

}  // namespace

cv::Mat flattenIllumination(const cv::Mat& source) {
    if (source.empty()) {
        return cv::Mat();
    }
    std::vector<cv::Mat> channels;
    cv::split(source, channels);
    for (cv::Mat& channel : channels) {
        cv::Mat white;
        whiteLevel(channel).convertTo(white, CV_32F);
        cv::max(white, kMinWhite, white);
        cv::Mat value;
        channel.convertTo(value, CV_32F);
        cv::divide(value, white, value, 255.0);
        value.convertTo(channel, CV_8U);  // saturating
    }
    cv::Mat flattened;
    cv::merge(channels, flattened);
    return flattened;
}

int binarizeAdaptive(const cv::Mat& source, cv::Mat& flattened, cv::Mat& binary, int colorFlag) {
    flattened = flattenIllumination(source);
    return binarizeImage(flattened, binary, colorFlag, Otsu);
}

}  // namespace qcl
