#include "imaging/Preprocessing.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/ErrorCodes.h"

namespace qcl {
namespace {

using Histogram = std::array<std::int32_t, 256>;

// Threshold used when no method applies or no split separates anything.
constexpr int kFallbackThreshold = 127;
// Threshold reported for an image that was binary already.
constexpr int kBinaryPassThrough = 128;
// Share of the darkest and of the brightest values clipped by the enhancement's contrast stretch.
constexpr float kEnhanceClipFraction = 0.001f;
constexpr int kMedianAperture = 3;
constexpr int kGaussianKernel = 5;

// Only 8-bit images with one (grey or binary) or three (BGR) channels are conditioned.
void requireGreyOrBgr(const cv::Mat& image) {
    if (image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3)) {
        throw QCException(WrongImageType);
    }
}

// A one-channel view of the image: BGR converted to grey, grey used as it is.
cv::Mat greyOf(const cv::Mat& source) {
    requireGreyOrBgr(source);
    if (source.channels() == 1) {
        return source;
    }
    cv::Mat grey;
    cv::cvtColor(source, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

// Counts of `count` values read `stride` bytes apart. Four partial histograms, summed at the
// end, keep runs of equal values (flat areas) from stalling on one counter.
Histogram strideHistogram(const cv::Mat& image, int channel, int stride) {
    std::array<Histogram, 4> part{};
    for (int row = 0; row < image.rows; ++row) {
        const std::uint8_t* p = image.ptr<std::uint8_t>(row) + channel;
        const int count = image.cols;
        int col = 0;
        for (; col + 4 <= count; col += 4, p += 4 * stride) {
            ++part[0][p[0]];
            ++part[1][p[stride]];
            ++part[2][p[2 * stride]];
            ++part[3][p[3 * stride]];
        }
        for (; col < count; ++col, p += stride) {
            ++part[0][p[0]];
        }
    }
    Histogram h{};
    for (int v = 0; v < 256; ++v) {
        h[v] = part[0][v] + part[1][v] + part[2][v] + part[3][v];
    }
    return h;
}

Histogram greyHistogram(const cv::Mat& grey) {
    return strideHistogram(grey, 0, 1);
}

std::array<Histogram, 3> bgrHistograms(const cv::Mat& bgr) {
    return {strideHistogram(bgr, 0, 3), strideHistogram(bgr, 1, 3), strideHistogram(bgr, 2, 3)};
}

// Entropy of the counts h[from..to): ln S - sum(c ln c) / S, minus infinity when empty.
double partEntropy(const std::array<double, 256>& cLogC, const Histogram& h, int from, int to) {
    double total = 0.0;
    double weighted = 0.0;
    for (int v = from; v < to; ++v) {
        total += h[v];
        weighted += cLogC[v];
    }
    if (total == 0.0) {
        return -std::numeric_limits<double>::infinity();
    }
    return std::log(total) - weighted / total;
}

int maximumEntropyThreshold(const Histogram& h) {
    std::array<double, 256> cLogC{};
    for (int v = 0; v < 256; ++v) {
        cLogC[v] = h[v] > 0 ? h[v] * std::log(static_cast<double>(h[v])) : 0.0;
    }
    double best = -std::numeric_limits<double>::infinity();
    int threshold = kFallbackThreshold;
    for (int t = 1; t < 256; ++t) {
        const double entropy = partEntropy(cLogC, h, 0, t) + partEntropy(cLogC, h, t, 256);
        if (entropy > best) {  // the first of equal maxima stays
            best = entropy;
            threshold = t - 1;
        }
    }
    return threshold;
}

int otsuThreshold(const Histogram& h, double pixelCount) {
    double totalSum = 0.0;
    for (int v = 0; v < 256; ++v) {
        totalSum += static_cast<double>(v) * h[v];
    }
    const double mean = totalSum / pixelCount;
    double best = 0.0;
    int threshold = kFallbackThreshold;
    double omega = 0.0;
    double lowerSum = 0.0;
    for (int t = 0; t < 255; ++t) {
        omega += h[t];
        lowerSum += static_cast<double>(t) * h[t];
        if (omega == 0.0 || omega == pixelCount) {
            continue;
        }
        const double w = omega / pixelCount;
        const double upperMean = (totalSum - lowerSum) / (pixelCount - omega) - mean;
        const double lowerMean = lowerSum / omega - mean;
        const double between = (1.0 - w) * upperMean * upperMean + w * lowerMean * lowerMean;
        if (between >= best) {  // the last of equal maxima wins
            best = between;
            threshold = t;
        }
    }
    return threshold;
}

// Per-channel table of the contrast stretch: (v - offset) * 255 / range, clamped; a channel
// whose clipped range is empty keeps its values.
std::array<std::uint8_t, 256> stretchTable(std::uint8_t offset, std::uint8_t range) {
    std::array<std::uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        if (range == 0) {
            table[v] = static_cast<std::uint8_t>(v);
            continue;
        }
        const int mapped = (v - offset) * 255 / range;
        table[v] = static_cast<std::uint8_t>(mapped < 0 ? 0 : (mapped > 255 ? 255 : mapped));
    }
    return table;
}

// Offset and range of one channel after clipping clipCount values at each end.
void clippedRange(const Histogram& h, int clipCount, std::uint8_t& offset, std::uint8_t& range) {
    int low = 0;
    for (std::int64_t sum = 0; sum < clipCount && low < 256; ++low) {
        sum += h[low];
    }
    int high = 255;
    for (std::int64_t sum = 0; sum < clipCount && high >= 0; --high) {
        sum += h[high];
    }
    offset = static_cast<std::uint8_t>(low);
    range = static_cast<std::uint8_t>(high - low);  // modulo 256
}

}  // namespace

std::array<std::int32_t, 256> greyLevelCounts(const cv::Mat& grey) {
    CV_Assert(grey.type() == CV_8UC1);
    return greyHistogram(grey);
}

void enhanceImage(const cv::Mat& source, cv::Mat& destination) {
    requireGreyOrBgr(source);
    cv::Mat stretched;
    if (source.channels() == 3) {
        contrastAdjustment(source, stretched, kEnhanceClipFraction);
    } else {
        stretched = source;
    }
    cv::Mat median;
    cv::medianBlur(stretched, median, kMedianAperture);
    cv::GaussianBlur(median, destination, cv::Size(kGaussianKernel, kGaussianKernel), 0.0, 0.0,
                     cv::BORDER_DEFAULT);
}

void contrastAdjustment(const cv::Mat& source, cv::Mat& destination, float clipFraction) {
    requireGreyOrBgr(source);
    CV_Assert(!source.empty());
    const cv::Mat src = source;  // keeps the input alive should destination be the same matrix
    const int channels = src.channels();
    const int clipCount = static_cast<int>(static_cast<float>(src.rows * src.cols) * clipFraction);

    std::array<Histogram, 3> histograms{};
    if (channels == 3) {
        histograms = bgrHistograms(src);
    } else {
        histograms[0] = greyHistogram(src);
    }
    std::array<std::array<std::uint8_t, 256>, 3> tables{};
    for (int c = 0; c < channels; ++c) {
        std::uint8_t offset = 0;
        std::uint8_t range = 255;
        if (clipCount >= 1) {
            clippedRange(histograms[c], clipCount, offset, range);
        }
        tables[c] = stretchTable(offset, range);
    }

    // A picture that spans the full range already (a rendered symbol, a well exposed print) maps
    // onto itself.
    const std::array<std::uint8_t, 256> identity = stretchTable(0, 255);
    const bool unchanged =
        std::all_of(tables.begin(), tables.begin() + channels,
                    [&](const std::array<std::uint8_t, 256>& table) { return table == identity; });
    if (unchanged) {
        if (destination.data != src.data) {
            src.copyTo(destination);
        }
        return;
    }
    destination.create(src.size(), src.type());
    const int rowValues = src.cols * channels;
    for (int row = 0; row < src.rows; ++row) {
        const std::uint8_t* in = src.ptr<std::uint8_t>(row);
        std::uint8_t* out = destination.ptr<std::uint8_t>(row);
        if (channels == 3) {
            for (int i = 0; i < rowValues; i += 3) {
                out[i] = tables[0][in[i]];
                out[i + 1] = tables[1][in[i + 1]];
                out[i + 2] = tables[2][in[i + 2]];
            }
        } else {
            for (int i = 0; i < rowValues; ++i) {
                out[i] = tables[0][in[i]];
            }
        }
    }
}

int computeThreshold(const cv::Mat& grey, int method) {
    if (grey.depth() != CV_8U || grey.channels() != 1) {
        throw QCException(WrongImageType);
    }
    const Histogram h = greyHistogram(grey);
    const double pixelCount = static_cast<double>(grey.total());
    if (static_cast<double>(h[0]) + h[255] == pixelCount) {
        return -1;
    }
    switch (method) {
        case MaximumEntropy:
            return maximumEntropyThreshold(h);
        case Otsu:
            return otsuThreshold(h, pixelCount);
        default:
            return kFallbackThreshold;
    }
}

void thresholdImage(const cv::Mat& source, cv::Mat& destination, int threshold) {
    if (threshold == -1) {
        source.copyTo(destination);
        return;
    }
    const cv::Mat grey = greyOf(source);
    cv::threshold(grey, destination, threshold, 255, cv::THRESH_BINARY);
}

void binarizeColorMode(const cv::Mat& source, cv::Mat& destination, int threshold) {
    requireGreyOrBgr(source);
    CV_Assert(!source.empty());
    if (source.channels() == 1) {  // one channel: "any channel above" is the plain threshold
        cv::threshold(source, destination, threshold, 255, cv::THRESH_BINARY);
        return;
    }
    const cv::Mat src = source;  // keeps the input alive should destination be the same matrix
    destination.create(src.size(), CV_8UC1);
    destination.forEach<std::uint8_t>([&](std::uint8_t& out, const int* pos) {
        const cv::Vec3b& in = src.ptr<cv::Vec3b>(pos[0])[pos[1]];
        out = (in[0] > threshold || in[1] > threshold || in[2] > threshold) ? 255 : 0;
    });
}

int binarizeImage(const cv::Mat& source, cv::Mat& destination, int colorFlag, int method) {
    const cv::Mat src = source;
    const cv::Mat grey = greyOf(src);
    const int threshold = computeThreshold(grey, method);
    if (threshold == -1) {
        grey.copyTo(destination);
        return kBinaryPassThrough;
    }
    cv::Mat binary;
    if (colorFlag != 0) {
        binarizeColorMode(src, binary, threshold);
    } else {
        thresholdImage(grey, binary, threshold);
    }
    const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::morphologyEx(binary, destination, cv::MORPH_OPEN, element, cv::Point(-1, -1), 1,
                     cv::BORDER_CONSTANT, cv::morphologyDefaultBorderValue());
    return threshold;
}

void binarizeOtsu(const cv::Mat& source, cv::Mat& destination) {
    const cv::Mat grey = greyOf(source);
    const int threshold = computeThreshold(grey, Otsu);
    if (threshold == -1) {
        grey.copyTo(destination);
        return;
    }
    cv::threshold(grey, destination, threshold, 255, cv::THRESH_BINARY);
}

}  // namespace qcl
