#include "decoder/CenterFinder.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "common/Logger.h"
#include "decoder/BlobDetector.h"

namespace qcl {

namespace {

const cv::Scalar kBlack(0, 0, 0, 255);
const cv::Scalar kWhite(255, 255, 255, 255);
// Black centres are repaired on a copy this many times smaller in each direction.
constexpr int kRepairScale = 7;
// Radius of the black dot that joins a black centre into one region before the flood fill.
constexpr int kCentreDotRadius = 10;
// The repaired region is enlarged by this many small pixels in each size.
constexpr float kRepairGrowth = 3.0f;
constexpr int kMaxRepairOpenings = 9;
constexpr int kBlobAttempts = 6;
// From this attempt on the disc may be of any size.
constexpr int kFirstAttemptWithoutArea = 5;

cv::Mat openingKernel() {
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(3, 3));
}

bool containsPoint(const cv::Rect& rect, const cv::Point2f& point) {
    return point.x >= rect.x && point.y >= rect.y && point.x < rect.x + rect.width &&
           point.y < rect.y + rect.height;
}

// Centre of the extent of all black pixels, in whole pixels.
cv::Point2f estimateCenter(const cv::Mat& binaryImage) {
    const cv::Rect box = blackExtent(binaryImage);
    return {std::nearbyint((box.width + 2.0f * box.x) * 0.5f),
            std::nearbyint((box.height + 2.0f * box.y) * 0.5f)};
}

// Contours of the black region round the seed after 1, 2, ... openings, as long as some
// opening still leaves a region round the seed.
std::vector<std::vector<cv::Point>> blackRegionOutlines(const cv::Mat& small,
                                                        const cv::Point& seed) {
    cv::Mat filled = small.clone();
    cv::Rect area;
    cv::floodFill(filled, seed, kWhite, &area, cv::Scalar(0), cv::Scalar(0), 4);
    cv::Mat region;
    cv::bitwise_xor(small(area), filled(area), region);

    std::vector<std::vector<cv::Point>> collected;
    const cv::Mat kernel = openingKernel();
    for (int iterations = 1; iterations <= kMaxRepairOpenings; ++iterations) {
        cv::Mat opened;
        cv::morphologyEx(region, opened, cv::MORPH_OPEN, kernel, cv::Point(-1, -1), iterations);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(opened, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE, area.tl());
        bool kept = false;
        for (auto& contour : contours) {
            if (cv::boundingRect(contour).contains(seed)) {
                collected.push_back(std::move(contour));
                kept = true;
            }
        }
        if (!kept) {
            break;
        }
    }
    return collected;
}

// The roundest outline (0 for a circle, 1 for a line); the first one when none is below 1.
std::size_t roundestOutline(const std::vector<std::vector<cv::Point>>& outlines) {
    std::size_t chosen = 0;
    double best = 1.0;
    for (std::size_t i = 0; i < outlines.size() && outlines.size() > 1; ++i) {
        const cv::Moments m = cv::moments(outlines[i]);
        const double spread = m.mu20 + m.mu02;
        const double e =
            (4.0 * m.mu11 * m.mu11 + (m.mu20 - m.mu02) * (m.mu20 - m.mu02)) / (spread * spread);
        if (e < best) {
            best = e;
            chosen = i;
            logTrace() << "Black center: contour " << i << " eccentricity = " << e;
        }
    }
    return chosen;
}

// Paints the black region round the estimate white, so the disc becomes a white blob.
void repairBlackCenter(cv::Mat& binaryImage, const cv::Point2f& estimate) {
    cv::circle(binaryImage, cv::Point(cvRound(estimate.x), cvRound(estimate.y)), kCentreDotRadius,
               kBlack, cv::FILLED, cv::LINE_8);
    const int smallWidth = binaryImage.cols / kRepairScale;
    const int smallHeight = binaryImage.rows / kRepairScale;
    if (smallWidth == 0 || smallHeight == 0) {
        return;  // too small to hold a symbol
    }
    const float fx = static_cast<float>(binaryImage.cols) / smallWidth;
    const float fy = static_cast<float>(binaryImage.rows) / smallHeight;
    cv::Mat small;
    cv::resize(binaryImage, small, cv::Size(smallWidth, smallHeight), 0, 0, cv::INTER_NEAREST);
    // The estimate near the right or bottom border can round onto the pixel past the end.
    const cv::Point seed(
        std::min(static_cast<int>(std::nearbyint(estimate.x / fx)), smallWidth - 1),
        std::min(static_cast<int>(std::nearbyint(estimate.y / fy)), smallHeight - 1));
    small.at<std::uint8_t>(seed) = 0;

    const auto outlines = blackRegionOutlines(small, seed);
    if (outlines.empty()) {
        return;
    }
    const cv::RotatedRect box = cv::minAreaRect(outlines[roundestOutline(outlines)]);
    const cv::RotatedRect scaled(
        cv::Point2f(box.center.x * fx, box.center.y * fy),
        cv::Size2f((box.size.width + kRepairGrowth) * fx, (box.size.height + kRepairGrowth) * fx),
        box.angle);
    cv::ellipse(binaryImage, scaled, kWhite, cv::FILLED, cv::LINE_8);
}

// The smallest blob outline whose box contains the estimate; false when there is none.
bool smallestBlobAround(const BlobDetector& detector, const cv::Point2f& estimate,
                        cv::RotatedRect& result) {
    double bestArea = std::numeric_limits<double>::max();
    bool found = false;
    for (const auto& contour : detector.blobContours) {
        const cv::RotatedRect box = cv::minAreaRect(contour);
        const float area = box.size.width * box.size.height;
        if (containsPoint(box.boundingRect(), estimate) && area < bestArea) {
            bestArea = area;
            result = box;
            found = true;
        }
    }
    return found;
}

// Attempts differ only in whether the disc's size is bounded.
bool sameFilters(int attempt, int other) {
    return (attempt < kFirstAttemptWithoutArea) == (other < kFirstAttemptWithoutArea);
}

}  // namespace

cv::SimpleBlobDetector::Params discParams(int attempt, double minArea, double maxArea) {
    cv::SimpleBlobDetector::Params params;
    params.minDistBetweenBlobs = 25;
    params.filterByColor = true;
    params.blobColor = 255;
    params.filterByCircularity = true;
    params.minCircularity = 0.1f;
    params.maxCircularity = 1.0f;
    params.filterByInertia = false;
    params.filterByConvexity = false;
    params.minRepeatability = 1;
    params.filterByArea = attempt < kFirstAttemptWithoutArea;
    params.minArea = static_cast<float>(minArea);
    params.maxArea = static_cast<float>(maxArea);
    return params;
}

cv::Rect blackExtent(const cv::Mat& binaryImage) {
    CV_Assert(binaryImage.type() == CV_8UC1);
    const int cols = binaryImage.cols;
    // Whole white rows are recognised by comparing against a white row.
    const std::vector<std::uint8_t> whiteRow(static_cast<std::size_t>(cols), 255);
    auto white = [&](int y) {
        return std::memcmp(binaryImage.ptr<std::uint8_t>(y), whiteRow.data(), whiteRow.size()) == 0;
    };
    int top = 0;
    while (top < binaryImage.rows && white(top)) {
        ++top;
    }
    if (top == binaryImage.rows) {
        return cv::Rect();
    }
    int bottom = binaryImage.rows - 1;
    while (white(bottom)) {
        --bottom;
    }
    // Each row only needs looking at outside the columns already known to hold black.
    int left = cols;
    int right = -1;
    for (int y = top; y <= bottom; ++y) {
        const std::uint8_t* row = binaryImage.ptr<std::uint8_t>(y);
        for (int x = 0; x < left; ++x) {
            if (row[x] != 255) {
                left = x;
                break;
            }
        }
        for (int x = cols - 1; x > right; --x) {
            if (row[x] != 255) {
                right = x;
                break;
            }
        }
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

ErrorCode findCenter(cv::Mat& binaryImage, cv::RotatedRect& ellipse) {
    if (binaryImage.empty()) {
        return InnerCircleNotFound;
    }
    // An image of one colour holds no disc ringed by black. Without black, the blob search
    // without area limits would take the whole white image for one; without white, the repair of
    // a black centre would paint one over the whole image (a flat grey frame binarises so).
    const int whitePixels = cv::countNonZero(binaryImage);
    if (whitePixels == static_cast<int>(binaryImage.total())) {
        logDebug() << "Center: image without black";
        return InnerCircleNotFound;
    }
    if (whitePixels == 0) {
        logDebug() << "Center: image without white";
        return InnerCircleNotFound;
    }
    const cv::Point2f estimate = estimateCenter(binaryImage);
    if (binaryImage.at<std::uint8_t>(static_cast<int>(estimate.y), static_cast<int>(estimate.x)) ==
        0) {
        repairBlackCenter(binaryImage, estimate);
    }

    cv::Mat search = binaryImage.clone();
    const int meanSide = (binaryImage.cols + binaryImage.rows) / 2;
    const double minArea = CV_PI * std::pow(meanSide / 32.0, 2);
    const double maxArea = CV_PI * std::pow(meanSide * 3.5 / 8.0, 2);
    const cv::Mat kernel = openingKernel();
    bool lastFoundNone = false;
    for (int attempt = 1; attempt <= kBlobAttempts; ++attempt) {
        // An attempt that found no blob left the search image as it was: the next attempt with
        // the same filters would find none again.
        if (lastFoundNone && sameFilters(attempt, attempt - 1)) {
            continue;
        }
        auto detector = std::make_shared<BlobDetector>(discParams(attempt, minArea, maxArea));
        std::vector<cv::KeyPoint> keypoints;
        detector->detect(search, keypoints);
        lastFoundNone = keypoints.empty();
        if (!keypoints.empty()) {
            if (smallestBlobAround(*detector, estimate, ellipse)) {
                cv::ellipse(binaryImage, ellipse, kWhite, cv::FILLED, cv::LINE_AA);
                return Success;
            }
            // Thin white bridges join the disc to its surroundings: cut them a little more.
            cv::morphologyEx(search, search, cv::MORPH_OPEN, kernel, cv::Point(-1, -1), attempt);
        }
    }
    logDebug() << "Center: No keypoints found, iteration = " << kBlobAttempts;
    return InnerCircleNotFound;
}

}  // namespace qcl
