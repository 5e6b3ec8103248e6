#include "decoder/StageTrace.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

std::vector<cv::Point2d> mapped(const std::vector<cv::Point2d>& points,
                                const cv::Matx33d& homography) {
    std::vector<cv::Point2d> out;
    if (!points.empty()) {
        cv::perspectiveTransform(points, out, homography);
    }
    return out;
}

cv::Point2d mapped(const cv::Point2d& point, const cv::Matx33d& homography) {
    return mapped(std::vector<cv::Point2d>{point}, homography).front();
}

}  // namespace

std::vector<cv::Point2d> toConditioned(const std::vector<cv::Point2d>& points,
                                       const cv::Matx33d& transform) {
    return mapped(points, transform.inv());
}

void mapStageTrace(StageTrace& trace, const cv::Matx33d& homography) {
    trace.centreDisc = mapped(trace.centreDisc, homography);
    trace.innerZebra = mapped(trace.innerZebra, homography);
    trace.markerInner = mapped(trace.markerInner, homography);
    trace.markerOuter = mapped(trace.markerOuter, homography);
    trace.outerZebra = mapped(trace.outerZebra, homography);
    std::vector<cv::Point2d> positions;
    positions.reserve(trace.modules.size());
    for (const TracedModule& module : trace.modules) {
        positions.push_back(module.position);
    }
    positions = mapped(positions, homography);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        trace.modules[i].position = positions[i];
    }
}

std::vector<cv::Point2d> ellipsePoints(const cv::RotatedRect& ellipse, int count) {
    std::vector<cv::Point2d> points;
    const double angle = ellipse.angle * CV_PI / 180.0;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    for (int i = 0; i < count; ++i) {
        const double t = 2.0 * CV_PI * i / count;
        const double x = 0.5 * ellipse.size.width * std::cos(t);
        const double y = 0.5 * ellipse.size.height * std::sin(t);
        points.emplace_back(ellipse.center.x + x * c - y * s, ellipse.center.y + x * s + y * c);
    }
    return points;
}

}  // namespace qcl
