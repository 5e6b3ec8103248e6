#include "support/SymbolFixtures.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "support/SeededRandom.h"

namespace qcl::test {

ModuleList randomModules(std::int32_t modulesPerRing, std::int32_t ringCount, CodeType codeType,
                         std::uint32_t seed) {
    SeededRandom random(seed);
    const int maxValue = codeType == CodeType::Color ? 7 : 1;
    ModuleList modules(static_cast<std::size_t>((modulesPerRing - kNonDataSlots) * ringCount));
    for (auto& v : modules) {
        v = static_cast<std::uint8_t>(random.uniformInt(0, maxValue));
    }
    return modules;
}

TestSymbol renderTestSymbol(const SymbolSetup& setup) {
    RenderOptions options;
    options.ringPitch = setup.pitch;
    options.diameter = setup.diameter;
    options.imageSize = setup.imageSize;
    options.startAngle = setup.rotation;
    options.mirrored = setup.mirrored;
    const SymbolRenderer renderer(setup.modulesPerRing, setup.ringCount, setup.codeType, options);
    TestSymbol symbol;
    symbol.modules =
        randomModules(setup.modulesPerRing, setup.ringCount, setup.codeType, setup.seed);
    symbol.image = renderer.render(symbol.modules);
    symbol.geometry = renderer.geometry();
    return symbol;
}

bool identical(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

cv::Mat gaussianBlur(const cv::Mat& image, double sigma) {
    cv::Mat out;
    cv::GaussianBlur(image, out, cv::Size(0, 0), sigma);
    return out;
}

cv::Mat addGaussianNoise(const cv::Mat& image, double sigma, std::uint32_t seed) {
    cv::Mat noise(image.size(), CV_32FC(image.channels()));
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat sum;
    image.convertTo(sum, noise.type());
    sum += noise;
    cv::Mat out;
    sum.convertTo(out, image.type());
    return out;
}

cv::Mat jpegRoundTrip(const cv::Mat& image, int quality) {
    std::vector<uchar> buffer;
    if (!cv::imencode(".jpg", image, buffer, {cv::IMWRITE_JPEG_QUALITY, quality})) {
        throw std::runtime_error("JPEG encoding failed");
    }
    return cv::imdecode(buffer, cv::IMREAD_COLOR);
}

cv::Mat rotateAndScale(const cv::Mat& image, double angle, double scale) {
    const cv::Point2f centre(image.cols / 2.0f, image.rows / 2.0f);
    // getRotationMatrix2D turns counter-clockwise on screen for a positive angle in degrees.
    const cv::Mat map = cv::getRotationMatrix2D(centre, -angle * 180.0 / CV_PI, scale);
    cv::Mat out;
    cv::warpAffine(image, out, map, image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(255));
    return out;
}

cv::Mat motionBlur(const cv::Mat& image, double length, double angle) {
    const int side = static_cast<int>(std::ceil(length)) | 1;
    cv::Mat kernel(side, side, CV_32F, cv::Scalar(0));
    const cv::Point2d centre((side - 1) / 2.0, (side - 1) / 2.0);
    const cv::Point2d half(0.5 * (length - 1.0) * std::cos(angle),
                           0.5 * (length - 1.0) * std::sin(angle));
    // Drawn in sixteenths of a pixel, so that the line's ends may fall between pixels.
    constexpr int kShift = 4;
    const auto fixed = [](const cv::Point2d& p) {
        return cv::Point(static_cast<int>(std::lround(p.x * (1 << kShift))),
                         static_cast<int>(std::lround(p.y * (1 << kShift))));
    };
    cv::line(kernel, fixed(centre - half), fixed(centre + half), cv::Scalar(1.0), 1, cv::LINE_AA,
             kShift);
    kernel /= cv::sum(kernel)[0];
    cv::Mat out;
    cv::filter2D(image, out, -1, kernel, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    return out;
}

cv::Matx33d pageTilt(cv::Size size, double degrees, double axis, double focal) {
    cv::Matx33d turn;
    cv::Rodrigues(cv::Vec3d(std::cos(axis), std::sin(axis), 0.0) * (degrees * CV_PI / 180.0), turn);
    const double cx = size.width / 2.0;
    const double cy = size.height / 2.0;
    // Page point (u, v) relative to the centre lies at turn * (u, v, 0) + (0, 0, focal).
    const cv::Matx33d camera(focal, 0, cx, 0, focal, cy, 0, 0, 1);
    const cv::Matx33d page(turn(0, 0), turn(0, 1), 0, turn(1, 0), turn(1, 1), 0, turn(2, 0),
                           turn(2, 1), focal);
    const cv::Matx33d fromCentre(1, 0, -cx, 0, 1, -cy, 0, 0, 1);
    return camera * page * fromCentre;
}

cv::Mat tiltPage(const cv::Mat& image, double degrees, double axis, double focal) {
    cv::Mat out;
    cv::warpPerspective(image, out, cv::Mat(pageTilt(image.size(), degrees, axis, focal)),
                        image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return out;
}

}  // namespace qcl::test
