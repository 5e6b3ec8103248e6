#include "decoder/BlobDetector.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace qcl {

namespace {

// Smallest spread of the second moments below which a blob counts as perfectly round.
constexpr double kRoundSpread = 0.01;

// Ratio of the smaller to the larger principal moment of inertia, and 1 for a round blob.
double inertiaRatio(const cv::Moments& m) {
    const double spread = std::sqrt(std::pow(2.0 * m.mu11, 2) + std::pow(m.mu20 - m.mu02, 2));
    if (spread <= kRoundSpread) {
        return 1.0;
    }
    const double cosMin = (m.mu20 - m.mu02) / spread;
    const double sinMin = 2.0 * m.mu11 / spread;
    const double iMin =
        0.5 * (m.mu20 + m.mu02) - 0.5 * (m.mu20 - m.mu02) * cosMin - m.mu11 * sinMin;
    const double iMax =
        0.5 * (m.mu20 + m.mu02) + 0.5 * (m.mu20 - m.mu02) * cosMin + m.mu11 * sinMin;
    return iMin / iMax;
}

// True for the boundary of a region, false for the boundary of a hole (opposite direction).
bool runsLikeAnOuterBoundary(const std::vector<cv::Point>& contour) {
    if (contour.size() < 3) {
        return true;
    }
    std::size_t v = 0;
    for (std::size_t i = 1; i < contour.size(); ++i) {
        if (contour[i].x > contour[v].x ||
            (contour[i].x == contour[v].x && contour[i].y > contour[v].y)) {
            v = i;
        }
    }
    const cv::Point& p = contour[v];
    const cv::Point& a = contour[(v + contour.size() - 1) % contour.size()];
    const cv::Point& b = contour[(v + 1) % contour.size()];
    return !((b.y - p.y) * (a.x - p.x) < (a.y - p.y) * (b.x - p.x));
}

double medianDistance(const cv::Point2d& location, const std::vector<cv::Point>& contour) {
    std::vector<double> distances;
    distances.reserve(contour.size());
    for (const cv::Point& point : contour) {
        distances.push_back(cv::norm(location - cv::Point2d(point)));
    }
    std::sort(distances.begin(), distances.end());
    const std::size_t n = distances.size();
    return (distances[(n - 1) / 2] + distances[n / 2]) / 2.0;
}

bool outside(double value, float low, float high) {
    return value < low || value >= high;
}

}  // namespace

BlobDetector::BlobDetector(const cv::SimpleBlobDetector::Params& parameters)
    : params_(parameters) {}

void BlobDetector::setParams(const cv::SimpleBlobDetector::Params& parameters) {
    params_ = parameters;
}

cv::SimpleBlobDetector::Params BlobDetector::getParams() const {
    return params_;
}

void BlobDetector::detect(cv::InputArray image, std::vector<cv::KeyPoint>& keypoints,
                          cv::InputArray /*mask*/) {
    blobContours.clear();
    blobMoments.clear();
    keypoints.clear();
    // A single pass can never see a blob twice, so any repeatability above one rejects all.
    if (params_.minRepeatability > 1) {
        return;
    }
    std::vector<Blob> blobs;
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Moments> moments;
    findBlobs(image, image, blobs, contours, moments);
    keypoints.reserve(blobs.size());
    for (std::size_t i = 0; i < blobs.size(); ++i) {
        keypoints.emplace_back(cv::Point2f(blobs[i].location), static_cast<float>(blobs[i].radius),
                               -1.0f, 0.0f, 0, -1);
        blobContours.push_back(std::move(contours[i]));
        blobMoments.push_back(moments[i]);
    }
}

void BlobDetector::findBlobs(cv::InputArray /*image*/, cv::InputArray binaryImage,
                             std::vector<Blob>& blobs,
                             std::vector<std::vector<cv::Point>>& contours,
                             std::vector<cv::Moments>& moments) const {
    blobs.clear();
    contours.clear();
    moments.clear();
    const cv::Mat binary = binaryImage.getMat();
    std::vector<std::vector<cv::Point>> found;
    // The contour search works on its own copy and leaves the image as it is.
    cv::findContours(binary, found, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);

    for (std::vector<cv::Point>& contour : found) {
        const cv::Moments m = cv::moments(contour);
        Blob blob;
        if (params_.filterByArea && outside(m.m00, params_.minArea, params_.maxArea)) {
            continue;
        }
        if (params_.filterByCircularity) {
            const double perimeter = cv::arcLength(contour, true);
            const double circularity = 4.0 * CV_PI * m.m00 / (perimeter * perimeter);
            if (outside(circularity, params_.minCircularity, params_.maxCircularity)) {
                continue;
            }
        }
        if (params_.filterByInertia) {
            const double ratio = inertiaRatio(m);
            if (outside(ratio, params_.minInertiaRatio, params_.maxInertiaRatio)) {
                continue;
            }
            blob.confidence = ratio * ratio;
        }
        if (params_.filterByConvexity) {
            std::vector<cv::Point> hull;
            cv::convexHull(contour, hull);
            const double ratio = cv::contourArea(contour) / cv::contourArea(hull);
            if (outside(ratio, params_.minConvexity, params_.maxConvexity)) {
                continue;
            }
        }
        if (m.m00 == 0.0) {
            continue;
        }
        blob.location = cv::Point2d(m.m10 / m.m00, m.m01 / m.m00);
        if (params_.filterByColor) {
            const int row = static_cast<int>(std::nearbyint(blob.location.y));
            const int col = static_cast<int>(std::nearbyint(blob.location.x));
            if (binary.at<std::uint8_t>(row, col) != params_.blobColor ||
                !runsLikeAnOuterBoundary(contour)) {
                continue;
            }
        }
        blob.radius = medianDistance(blob.location, contour);
        blobs.push_back(blob);
        contours.push_back(std::move(contour));
        moments.push_back(m);
    }
}

}  // namespace qcl
