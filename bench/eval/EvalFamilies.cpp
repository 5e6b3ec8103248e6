#include "bench/eval/EvalFamilies.h"

#include "bench/eval/EvalScenes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "imaging/Distortion.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl::eval {
namespace {

// The distortion library's levels 1-9 as strengths: a tenth of each distortion's full range.
constexpr double kPerspectivePerLevel = 0.05;
constexpr double kNoisePerLevel = 0.025;
constexpr double kAreaPerLevel = 0.01;
// Printable ASCII: the evaluation's payload characters.
constexpr int kFirstPrintable = 33;
constexpr int kLastPrintable = 126;
// The vignette's centre lies within this share range of the width and height.
constexpr double kVignetteCentreLow = 0.4;
constexpr double kVignetteCentreHigh = 0.6;
// Focal length of the pinhole camera that sees a tilted page, in pixels of the working square
// (a field of view of about 37 degrees); the page's centre lies this far away, at scale 1.
constexpr double kTiltFocal = 960.0;
// A shadow's edge passes within this share of the picture's width of its centre, so that it
// crosses the symbol.
constexpr double kShadowEdgeReach = 0.15;

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

// A blur, JPEG compression and sensor noise together, as a phone camera gives them; level 0 is
// the clean picture.
cv::Mat cameraChain(const cv::Mat& image, double level, std::uint32_t seed) {
    if (level <= 0.0) {
        return image.clone();
    }
    const cv::Mat blurred = test::gaussianBlur(image, 0.5 * level);
    const cv::Mat noisy = test::addGaussianNoise(blurred, 2.0 * level, seed);
    return test::jpegRoundTrip(noisy, static_cast<int>(95 - 8 * level));
}

cv::Mat mirrored(const cv::Mat& image, double, std::uint32_t) {
    cv::Mat out;
    cv::flip(image, out, 1);
    return out;
}

// Light falling off towards the edges around a centre near the middle: the brightness drops by
// `depth` times the squared distance over the farthest corner's.
cv::Mat vignette(const cv::Mat& image, double depth, std::uint32_t seed) {
    test::SeededRandom random(seed);
    const double cx = image.cols * random.uniformReal(kVignetteCentreLow, kVignetteCentreHigh);
    const double cy = image.rows * random.uniformReal(kVignetteCentreLow, kVignetteCentreHigh);
    const double farthest = std::max(cx, image.cols - cx) * std::max(cx, image.cols - cx) +
                            std::max(cy, image.rows - cy) * std::max(cy, image.rows - cy);
    cv::Mat out = image.clone();
    for (int y = 0; y < out.rows; ++y) {
        std::uint8_t* row = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < out.cols; ++x) {
            const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const double gain = 1.0 - depth * r2 / farthest;
            for (int c = 0; c < out.channels(); ++c) {
                std::uint8_t& value = row[x * out.channels() + c];
                value = cv::saturate_cast<std::uint8_t>(value * gain);
            }
        }
    }
    return out;
}

// The page turned by `degrees` about an axis in its plane through the picture centre, in a
// random direction, and photographed by a pinhole camera looking at that centre.
cv::Mat tilt(const cv::Mat& image, double degrees, std::uint32_t seed) {
    test::SeededRandom random(seed);
    return test::tiltPage(image, degrees, random.uniformReal(0.0, CV_PI), kTiltFocal);
}

// The camera moving during the exposure: every pixel spread evenly along a line `length` pixels
// long in a random direction.
cv::Mat motion(const cv::Mat& image, double length, std::uint32_t seed) {
    test::SeededRandom random(seed);
    return test::motionBlur(image, length, random.uniformReal(0.0, CV_PI));
}

// A hard shadow: on one side of a straight edge near the centre the light falls by `depth`.
cv::Mat shadow(const cv::Mat& image, double depth, std::uint32_t seed) {
    test::SeededRandom random(seed);
    const double angle = random.uniformReal(0.0, 2.0 * CV_PI);
    const double offset = random.uniformReal(-kShadowEdgeReach, kShadowEdgeReach) * image.cols;
    const cv::Point2d normal(std::cos(angle), std::sin(angle));
    const cv::Point2d centre(image.cols / 2.0, image.rows / 2.0);
    cv::Mat out = image.clone();
    for (int y = 0; y < out.rows; ++y) {
        std::uint8_t* row = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < out.cols; ++x) {
            if ((cv::Point2d(x, y) - centre).dot(normal) < offset) {
                continue;
            }
            for (int c = 0; c < out.channels(); ++c) {
                std::uint8_t& value = row[x * out.channels() + c];
                value = cv::saturate_cast<std::uint8_t>(value * (1.0 - depth));
            }
        }
    }
    return out;
}

using Distortion = cv::Mat (*)(const cv::Mat& image, double level, std::uint32_t seed);

// A distortion family's scene: the one symbol centred in the working square, then distorted.
template <Distortion distort>
cv::Mat centred(const std::vector<cv::Mat>& symbols, int width, double level, std::uint32_t seed) {
    return distort(placeCentred(symbols.front(), width, kCanvas), level, seed);
}

}  // namespace

const std::vector<Family>& families() {
    static const std::vector<Family> all = {
        {"clean", {0}, "no level", centred<clean>},
        {"perspective", {1, 2, 3, 5, 7, 9}, "distortion level", centred<perspective>},
        {"noise", {1, 3, 5, 7, 9}, "distortion level", centred<noise>},
        {"area", {1, 3, 5, 7, 9}, "distortion level", centred<area>},
        {"rotation",
         {0, 15, 30, 45, 60, 75, 90, 135, 180, 225, 270, 315},
         "degrees",
         centred<rotation>},
        {"blur", {0.5, 1, 1.5, 2, 3, 4}, "sigma (px)", centred<blur>},
        {"jpeg", {90, 70, 50, 30, 20, 10}, "JPEG quality", centred<jpeg>},
        {"gradient", {0.5, 0.6, 0.7, 0.8, 0.9, 0.95}, "ramp depth", centred<gradient>},
        {"lowcontrast", {0.5, 0.3, 0.2, 0.1}, "contrast", centred<lowContrast>},
        {"dark", {0.5, 0.3, 0.2, 0.1}, "brightness", centred<dark>},
        {"vignette", {0.3, 0.5, 0.7, 0.9}, "fall-off depth", centred<vignette>},
        {"camera", {1, 2, 3, 4, 5}, "camera chain level", centred<cameraChain>},
        {"tilt", {15, 30, 45, 60}, "tilt (degrees)", centred<tilt>},
        {"motion", {3, 5, 7, 10, 15}, "blur length (px)", centred<motion>},
        {"shadow", {0.3, 0.4, 0.5, 0.6, 0.7}, "shadow depth", centred<shadow>},
        {"mirrored", {0}, "no level", centred<mirrored>},
        {"colour",
         {0, 1, 2, 3},
         "camera chain level",
         centred<cameraChain>,
         SymbolCount::One,
         true},
        {"offcentre", {0.25, 0.5, 0.75, 1}, "share of free room", offCentreScene},
        {"texture", {10, 20, 35, 50}, "texture spread (grey)", textureScene},
        {"text", {0.5, 0.8, 1.2, 1.8}, "font scale", textScene},
        {"multi", {2, 3, 4}, "symbols", multiScene, SymbolCount::Several},
        {"frame1280", {10, 25, 40}, "texture spread (grey)", frame1280Scene},
        {"frame4000", {10, 25, 40}, "texture spread (grey)", frame4000Scene},
        {"colourscene",
         {1, 2, 3, 4, 5, 6, 7},
         "scene kind",
         colourScene,
         SymbolCount::One,
         true,
         true},
        {"nosymbol", {1, 2, 3, 4, 5, 6, 7, 8}, "picture kind", noSymbolScene, SymbolCount::None},
    };
    return all;
}

cv::Mat scaleToWidth(const cv::Mat& picture, int width) {
    const int height = static_cast<int>(std::lround(picture.rows * double(width) / picture.cols));
    cv::Mat scaled;
    cv::resize(picture, scaled, cv::Size(width, height), 0, 0,
               width < picture.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
    return scaled;
}

cv::Mat placeCentred(const cv::Mat& picture, int width, cv::Size canvas) {
    const cv::Mat scaled = scaleToWidth(picture, width);
    const int height = scaled.rows;
    cv::Mat out(canvas, picture.type(), cv::Scalar::all(255));
    const cv::Rect place((canvas.width - width) / 2, (canvas.height - height) / 2, width, height);
    scaled.copyTo(out(place & cv::Rect(cv::Point(), canvas)));
    return out;
}

cv::Mat ourPicture(const std::string& payload, CodeType codeType) {
    RenderOptions render;
    render.imageSize = cv::Size(kPictureSide, kPictureSide);
    writer::SymbolOptions symbol;
    symbol.codeType = codeType;
    return test::writeSymbol(payload, symbol, render).image;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        items.push_back(item);
    }
    return items;
}

std::string printablePayload(test::SeededRandom& random, std::size_t length) {
    std::string text(length, ' ');
    for (char& c : text) {
        c = static_cast<char>(random.uniformInt(kFirstPrintable, kLastPrintable));
    }
    return text;
}

}  // namespace qcl::eval
