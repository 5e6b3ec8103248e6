// Hand-made binary test images: shapes described in polar terms, every pixel black or white by
// its distance and angle from a chosen centre, or filled discs and rectangles.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <functional>
#include <vector>

namespace qcl::test {

// Angle in [0, 2 pi) of a pixel about the centre, +x towards +y.
inline double polarAngle(double dx, double dy) {
    const double a = std::atan2(dy, dx);
    return a < 0.0 ? a + 2.0 * CV_PI : a;
}

// Distance of angle a from angle b the short way round the circle.
inline double angularDistance(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 2.0 * CV_PI);
    return std::min(d, 2.0 * CV_PI - d);
}

// A white 8-bit one-channel image of the given size in which every pixel whose centre satisfies
// isBlack(radius, angle) about `center` is black (0).
inline cv::Mat paintPolar(cv::Size size, cv::Point2d center,
                          const std::function<bool(double radius, double angle)>& isBlack) {
    cv::Mat image(size, CV_8UC1, cv::Scalar(255));
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const double dx = x - center.x;
            const double dy = y - center.y;
            if (isBlack(std::hypot(dx, dy), polarAngle(dx, dy))) {
                image.at<std::uint8_t>(y, x) = 0;
            }
        }
    }
    return image;
}

// A filled disc of centre (x, y) and radius w when h is 0, else a w x h rectangle from (x, y).
struct Shape {
    int x, y, w, h = 0;
    int value = 255;
};

inline void drawShapes(cv::Mat& image, const std::vector<Shape>& shapes) {
    for (const Shape& s : shapes) {
        if (s.h == 0) {
            cv::circle(image, {s.x, s.y}, s.w, cv::Scalar(s.value), cv::FILLED);
        } else {
            cv::rectangle(image, cv::Rect(s.x, s.y, s.w, s.h), cv::Scalar(s.value), cv::FILLED);
        }
    }
}

}  // namespace qcl::test
