#include "PhotoScene.h"

#include <opencv2/imgproc.hpp>

#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl::test {
namespace {

// Shapes per 640 x 640 pixels: a busy desk.
constexpr double kShapesPer640Square = 120.0;
// The photograph's tilt (scale change across the image), blur (px), noise (grey levels) and
// JPEG quality: a phone held slightly askew in room light.
constexpr double kPhotoTilt = 0.08;
constexpr double kPhotoBlur = 1.5;
constexpr double kPhotoNoise = 4.0;
constexpr int kPhotoJpegQuality = 60;

}  // namespace

cv::Mat photoLikeScene(cv::Size size, std::uint32_t seed) {
    SeededRandom random(seed);
    cv::Mat image(size, CV_8UC3);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            image.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>(90 + x / 8),
                                                  static_cast<std::uint8_t>(120 + y / 10),
                                                  static_cast<std::uint8_t>(160 - (x + y) / 12));
        }
    }
    const int shapes = static_cast<int>(kShapesPer640Square * size.area() / (640.0 * 640.0));
    for (int i = 0; i < shapes; ++i) {
        const cv::Point center(random.uniformInt(0, size.width - 1),
                               random.uniformInt(0, size.height - 1));
        const cv::Scalar colour(random.uniformInt(0, 255), random.uniformInt(0, 255),
                                random.uniformInt(0, 255));
        const int side = random.uniformInt(3, 60);
        if (i % 3 == 0) {
            cv::circle(image, center, side, colour, cv::FILLED, cv::LINE_AA);
        } else if (i % 3 == 1) {
            cv::rectangle(image, center, center + cv::Point(side, side / 2 + 2), colour,
                          cv::FILLED);
        } else {
            cv::line(image, center, center + cv::Point(side * 2, side - 30), colour, 3,
                     cv::LINE_AA);
        }
    }
    cv::Mat noise(image.size(), CV_8UC3);
    cv::RNG(seed).fill(noise, cv::RNG::NORMAL, 0.0, 6.0);  // the same texture in every process
    image += noise;
    cv::GaussianBlur(image, image, cv::Size(0, 0), 1.0);
    return image;
}

void placePicture(cv::Mat& scene, const cv::Mat& picture, cv::Point topLeft) {
    const cv::Rect where(topLeft, picture.size());
    const cv::Rect inside = where & cv::Rect(cv::Point(0, 0), scene.size());
    if (inside.area() > 0) {
        picture(inside - where.tl()).copyTo(scene(inside));
    }
}

cv::Mat tilt(const cv::Mat& image, double strength, double angle) {
    const double cx = image.cols / 2.0;
    const double cy = image.rows / 2.0;
    const double a = 2.0 * strength / std::max(image.cols, image.rows);
    const cv::Matx33d toCentre(1, 0, -cx, 0, 1, -cy, 0, 0, 1);
    const cv::Matx33d back(1, 0, cx, 0, 1, cy, 0, 0, 1);
    const cv::Matx33d bend(1, 0, 0, 0, 1, 0, a * std::cos(angle), a * std::sin(angle), 1);
    const cv::Matx33d map = back * bend * toCentre;
    cv::Mat out;
    cv::warpPerspective(image, out, cv::Mat(map), image.size(), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return out;
}

cv::Mat photographed(const cv::Mat& image, std::uint32_t seed) {
    const cv::Mat tilted = tilt(image, kPhotoTilt, 0.6);
    const cv::Mat noisy = addGaussianNoise(gaussianBlur(tilted, kPhotoBlur), kPhotoNoise, seed);
    return jpegRoundTrip(noisy, kPhotoJpegQuality);
}

}  // namespace qcl::test
