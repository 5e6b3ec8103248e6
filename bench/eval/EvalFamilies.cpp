#include "bench/eval/EvalFamilies.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

#include "imaging/Distortion.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl::eval {
namespace {

// The distortion library's levels 1-9 as strengths: a tenth of each distortion's full range.
constexpr double kPerspectivePerLevel = 0.05;
constexpr double kNoisePerLevel = 0.025;
constexpr double kAreaPerLevel = 0.01;

cv::Mat clean(const cv::Mat& image, double, std::uint32_t) {
    return image.clone();
}

cv::Mat perspective(const cv::Mat& image, double level, std::uint32_t) {
    return distortImage({level * kPerspectivePerLevel, 0.0, 0.0}, image);
}

cv::Mat noise(const cv::Mat& image, double level, std::uint32_t seed) {
    cv::theRNG().state = seed;  // the salt-and-pepper draw follows OpenCV's generator
    return distortImage({0.0, level * kNoisePerLevel, 0.0}, image);
}

cv::Mat area(const cv::Mat& image, double level, std::uint32_t) {
    return distortImage({0.0, 0.0, level * kAreaPerLevel}, image);
}

cv::Mat rotation(const cv::Mat& image, double degrees, std::uint32_t) {
    return test::rotateAndScale(image, degrees * CV_PI / 180.0, 1.0);
}

cv::Mat blur(const cv::Mat& image, double sigma, std::uint32_t) {
    return test::gaussianBlur(image, sigma);
}

cv::Mat jpeg(const cv::Mat& image, double quality, std::uint32_t) {
    return test::jpegRoundTrip(image, static_cast<int>(quality));
}

// A multiplicative ramp in a random direction: 1 on one side, 1 - depth on the other.
cv::Mat gradient(const cv::Mat& image, double depth, std::uint32_t seed) {
    test::SeededRandom random(seed);
    const double angle = random.uniformReal(0.0, 2.0 * CV_PI);
    const double dx = std::cos(angle);
    const double dy = std::sin(angle);
    const double reach = std::abs(dx) * image.cols + std::abs(dy) * image.rows;
    cv::Mat ramp(image.size(), CV_32F);
    for (int y = 0; y < image.rows; ++y) {
        float* row = ramp.ptr<float>(y);
        for (int x = 0; x < image.cols; ++x) {
            const double t = ((x - image.cols / 2.0) * dx + (y - image.rows / 2.0) * dy) / reach;
            row[x] = static_cast<float>(1.0 - depth * (t + 0.5));
        }
    }
    cv::Mat floats;
    image.convertTo(floats, CV_32F);
    std::vector<cv::Mat> channels;
    cv::split(floats, channels);
    for (cv::Mat& channel : channels) {
        channel = channel.mul(ramp);
    }
    cv::merge(channels, floats);
    cv::Mat out;
    floats.convertTo(out, image.type());
    return out;
}

// Black stays black, white becomes `level` of full brightness over a raised black.
cv::Mat lowContrast(const cv::Mat& image, double contrast, std::uint32_t) {
    cv::Mat out;
    image.convertTo(out, -1, contrast, 128.0 * (1.0 - contrast));
    return out;
}

cv::Mat dark(const cv::Mat& image, double brightness, std::uint32_t) {
    cv::Mat out;
    image.convertTo(out, -1, brightness, 0.0);
    return out;
}

// A blur, JPEG compression and sensor noise together, as a phone camera gives them.
cv::Mat cameraChain(const cv::Mat& image, double level, std::uint32_t seed) {
    const cv::Mat blurred = test::gaussianBlur(image, 0.5 * level);
    const cv::Mat noisy = test::addGaussianNoise(blurred, 2.0 * level, seed);
    return test::jpegRoundTrip(noisy, static_cast<int>(95 - 8 * level));
}

cv::Mat mirrored(const cv::Mat& image, double, std::uint32_t) {
    cv::Mat out;
    cv::flip(image, out, 1);
    return out;
}

}  // namespace

const std::vector<Family>& families() {
    static const std::vector<Family> all = {
        {"clean", {0}, clean},
        {"perspective", {1, 2, 3, 5, 7, 9}, perspective},
        {"noise", {1, 3, 5, 7, 9}, noise},
        {"area", {1, 3, 5, 7, 9}, area},
        {"rotation", {0, 15, 30, 45, 60, 75, 90, 135, 180, 225, 270, 315}, rotation},
        {"blur", {0.5, 1, 1.5, 2, 3, 4}, blur},
        {"jpeg", {90, 70, 50, 30, 20, 10}, jpeg},
        {"gradient", {0.5, 0.6, 0.7, 0.8, 0.9, 0.95}, gradient},
        {"lowcontrast", {0.5, 0.3, 0.2, 0.1}, lowContrast},
        {"dark", {0.5, 0.3, 0.2, 0.1}, dark},
        {"camera", {1, 2, 3, 4, 5}, cameraChain},
        {"mirrored", {0}, mirrored},
    };
    return all;
}

cv::Mat placeCentred(const cv::Mat& picture, int width, cv::Size canvas) {
    const int height = static_cast<int>(std::lround(picture.rows * double(width) / picture.cols));
    cv::Mat scaled;
    cv::resize(picture, scaled, cv::Size(width, height), 0, 0,
               width < picture.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::Mat out(canvas, picture.type(), cv::Scalar::all(255));
    const cv::Rect place((canvas.width - width) / 2, (canvas.height - height) / 2, width, height);
    scaled.copyTo(out(place & cv::Rect(cv::Point(), canvas)));
    return out;
}

}  // namespace qcl::eval
