#include "imaging/Distortion.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <random>

namespace qcl {
namespace {

// Every call starts from the same state, so the warp and the destroyed areas stay put.
constexpr std::uint32_t kDistortionSeed = 5489;
// Counted area of an ellipse relative to w * h: pi times a margin for overlaps and clipping.
constexpr double kEllipseAreaFactor = CV_PI * 1.6;
// Smallest half-axis of a destroyed area, in pixels.
constexpr double kMinHalfAxis = 5.0;

void warpCorners(const cv::Mat& input, cv::Mat& result, double strength, std::mt19937& engine) {
    std::normal_distribution<double> normal(0.0, 1.0);
    const double a = (input.cols / 2) * strength;
    const double b = (input.rows / 2) * strength;
    const float cols = static_cast<float>(input.cols);
    const float rows = static_cast<float>(input.rows);
    double d[8];
    for (double& value : d) {
        value = normal(engine);
    }
    const cv::Point2f from[4] = {{0.0f, 0.0f}, {cols, 0.0f}, {cols, rows}, {0.0f, rows}};
    const cv::Point2f to[4] = {
        {static_cast<float>(d[1] * a), static_cast<float>(d[0] * b)},
        {static_cast<float>(cols - d[3] * a), static_cast<float>(d[2] * b)},
        {static_cast<float>(cols - d[5] * a), static_cast<float>(rows - d[4] * b)},
        {static_cast<float>(d[7] * a), static_cast<float>(rows - d[6] * b)},
    };
    const cv::Mat homography = cv::getPerspectiveTransform(from, to, cv::DECOMP_LU);
    cv::warpPerspective(input, result, homography, result.size(), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(0));
}

void addSaltAndPepper(cv::Mat& result, double strength) {
    const int k = static_cast<int>(std::lround(strength * 255.0 * 0.5));
    cv::Mat draw(result.size(), CV_8UC1);
    cv::randu(draw, 0, 255);
    result.setTo(cv::Scalar::all(255), draw > 255 - k);
    result.setTo(cv::Scalar::all(0), draw < k);
}

// Covers about strength of the frame with black and white filled ellipses. The random values
// are uniform in [0, 1): every centre lies in the frame and every half-axis is positive.
void destroyAreas(cv::Mat& result, double strength, std::mt19937& engine) {
    const double target = static_cast<double>(result.cols * result.rows) * strength;
    if (!(target > 0.0)) {
        return;
    }
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const double r = static_cast<double>((result.cols + result.rows) / 40 - 5);
    double covered = 0.0;
    do {
        double u[6];
        for (double& value : u) {
            value = uniform(engine);
        }
        const cv::Point centre(static_cast<int>(std::lround(u[1] * result.cols)),
                               static_cast<int>(std::lround(u[0] * result.rows)));
        const double h = u[2] * r + kMinHalfAxis;
        const double w = u[3] * r + kMinHalfAxis;
        const cv::Scalar colour = u[4] > 0.5 ? cv::Scalar::all(0) : cv::Scalar::all(255);
        const cv::Size axes(static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h)));
        cv::ellipse(result, centre, axes, u[5] * 360.0, 0.0, 360.0, colour, cv::FILLED, cv::LINE_8);
        covered += w * h * kEllipseAreaFactor;
    } while (target > covered);
}

}  // namespace

cv::Mat distortImage(const DistortionStrengths& strengths, const cv::Mat& input) {
    std::mt19937 engine(kDistortionSeed);
    cv::Mat result = input.clone();
    if (strengths.perspective > 0.0) {
        warpCorners(input, result, strengths.perspective, engine);
    }
    if (strengths.noise > 0.0) {
        addSaltAndPepper(result, strengths.noise);
    }
    if (strengths.areaDestruction > 0.0) {
        destroyAreas(result, strengths.areaDestruction, engine);
    }
    return result;
}

}  // namespace qcl
