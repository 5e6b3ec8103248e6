#include "support/SymbolFixtures.h"

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

}  // namespace qcl::test
