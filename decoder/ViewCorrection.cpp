#include "decoder/ViewCorrection.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

#include "imaging/NearestWarp.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

// Least squares over every edge point: the library's robust-method settings are passed along
// but the plain method does not use them.
constexpr double kReprojectionThreshold = 3.0;
constexpr int kMaxIterations = 2000;
constexpr double kConfidence = 0.995;
// A homography needs four point pairs.
constexpr std::size_t kMinHomographyPoints = 4;

const cv::Scalar kWhite(255, 255, 255, 255);

}  // namespace

void warpView(const cv::Mat& source, cv::Mat& destination, const cv::Mat& matrix) {
    warpNearest(source, destination, matrix, source.size(), cv::BORDER_CONSTANT, kWhite);
}

cv::Matx33d affineCorrection(const cv::Mat& binaryImage, const cv::RotatedRect& ellipse,
                             double innerRadius, cv::Mat& corrected) {
    const double cx = binaryImage.cols * 0.5;
    const double cy = binaryImage.rows * 0.5;
    const double r = innerRadius;

    cv::Point2f corners[4];  // bottom-left, top-left, top-right, bottom-right
    ellipse.points(corners);
    const cv::Point2f target[3] = {
        {static_cast<float>(cx - r), static_cast<float>(cy + r)},
        {static_cast<float>(cx - r), static_cast<float>(cy - r)},
        {static_cast<float>(cx + r), static_cast<float>(cy - r)},
    };
    const cv::Mat affine = cv::getAffineTransform(corners, target);  // 2x3 doubles

    cv::Mat warped;
    warpView(binaryImage, warped, affine);
    binarizeOtsu(warped, corrected);

    cv::Matx33d matrix = cv::Matx33d::eye();
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            matrix(row, col) = affine.at<double>(row, col);
        }
    }
    return matrix;
}

bool transform1(const cv::Mat& binaryImage, const InnerZebra& zebra, cv::Mat& corrected,
                cv::Matx33d& homography) {
    if (zebra.edges.size() < kMinHomographyPoints || zebra.slotCount <= 0) {
        return false;
    }
    const float cx = static_cast<float>(binaryImage.cols * 0.5);
    const float cy = static_cast<float>(binaryImage.rows * 0.5);
    const float radius = static_cast<float>(zebra.radius);
    const float slotAngle = static_cast<float>(2.0 * CV_PI) / static_cast<float>(zebra.slotCount);

    std::vector<cv::Point2f> source;
    std::vector<cv::Point2f> target;
    source.reserve(zebra.edges.size());
    target.reserve(zebra.edges.size());
    for (const RingPoint& edge : zebra.edges) {
        const float angle = static_cast<float>(edge.slot) * slotAngle;
        source.push_back(edge.position);
        target.emplace_back(std::cos(angle) * radius + cx, std::sin(angle) * radius + cy);
    }
    const cv::Mat h = cv::findHomography(source, target, 0, kReprojectionThreshold, cv::noArray(),
                                         kMaxIterations, kConfidence);
    if (h.empty()) {
        return false;
    }
    cv::Mat warped;
    warpView(binaryImage, warped, h);
    binarizeOtsu(warped, corrected);
    homography = cv::Matx33d(h);
    return true;
}

cv::Matx33d mirrorView(const cv::Mat& binaryImage, cv::Mat& mirrored) {
    cv::flip(binaryImage, mirrored, 1);
    const double width = static_cast<double>(binaryImage.cols);
    return cv::Matx33d(-1.0, 0.0, width, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
}

}  // namespace qcl
