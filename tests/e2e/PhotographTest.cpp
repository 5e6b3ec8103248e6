// Writer -> image -> "photograph" -> reader: decode rates under blur, compression, noise,
// resampling, tilt and the camera view's test distortions. Each condition has a pass-rate
// threshold; the rates are printed so that a change in robustness shows in the test log.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "imaging/Distortion.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

using test::RateCounter;
using test::SeededRandom;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSymbolsPerCondition = 3;  // the sanitizer build: a lean sample
#else
constexpr int kSymbolsPerCondition = 12;
#endif

constexpr int kModulesPerRing[] = {16, 32, 48, 64, 80};

using Photograph = std::function<cv::Mat(const cv::Mat& image, std::uint32_t seed)>;

struct Condition {
    std::string name;
    Photograph photograph;
    double minRate;  // share of symbols that must decode
};

// A symbol of random shape filling a 640 x 640 image, with a payload that fits it.
struct Sample {
    cv::Mat image;
    std::string text;
    CodeType codeType;
};

Sample randomSample(SeededRandom& random, CodeType codeType) {
    writer::SymbolOptions symbol;
    symbol.codeType = codeType;
    symbol.modulesPerRing = kModulesPerRing[random.uniformInt(0, 4)];
    symbol.ringCount = random.uniformInt(symbol.modulesPerRing == 16 ? 5 : 3, 8);
    symbol.eccStrength = static_cast<ECCtype>(random.uniformInt(1, 3));
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
    Sample sample;
    sample.codeType = codeType;
    sample.text = test::fillingPayload(PayloadType::Letters, symbol, 0.8, random);
    if (sample.text.empty()) {
        // Small 16-module symbols leave no room beside strong parity.
        symbol.eccStrength = ECCtype::Low;
        sample.text = test::fillingPayload(PayloadType::Letters, symbol, 0.8, random);
    }
    sample.image = test::writeSymbol(sample.text, symbol, render).image;
    return sample;
}

// Decodes every sample after the photograph; returns the rate and prints it.
RateCounter measure(const Condition& condition, const std::vector<Sample>& samples) {
    RateCounter counter;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const cv::Mat photo = condition.photograph(samples[i].image, static_cast<std::uint32_t>(i));
        const test::ReadResult read = test::readSymbol(photo, samples[i].codeType);
        // A wrong payload reported as success would be the worst outcome of all.
        if (read.decoded) {
            EXPECT_EQ(read.payload, samples[i].text) << condition.name << " sample " << i;
        }
        counter.add(read.decoded && read.payload == samples[i].text);
    }
    std::cout << "[ decode rate ] " << std::left << std::setw(34) << condition.name << " "
              << counter.decoded << "/" << counter.total << " (" << std::fixed
              << std::setprecision(0) << 100.0 * counter.rate() << " %)\n";
    return counter;
}

void runConditions(const std::vector<Condition>& conditions, CodeType codeType,
                   std::uint32_t seed) {
    SeededRandom random(seed);
    std::vector<Sample> samples;
    for (int i = 0; i < kSymbolsPerCondition; ++i) {
        samples.push_back(randomSample(random, codeType));
    }
    for (const Condition& condition : conditions) {
        const RateCounter counter = measure(condition, samples);
        // A condition below 100 % forgives at least one failure, also in a small sample.
        const int forgiven =
            std::max(static_cast<int>(std::floor((1.0 - condition.minRate) * counter.total + 1e-9)),
                     condition.minRate < 1.0 ? 1 : 0);
        EXPECT_LE(counter.total - counter.decoded, forgiven)
            << condition.name << ": rate below " << condition.minRate;
    }
}

cv::Mat lowContrast(const cv::Mat& image, std::uint32_t) {
    cv::Mat out;
    image.convertTo(out, -1, 110.0 / 255.0, 75.0);  // black 75, white 185
    return out;
}

cv::Mat colourCast(const cv::Mat& image, std::uint32_t) {
    cv::Mat out;
    cv::multiply(image, cv::Scalar(0.65, 0.9, 1.0), out);  // warm light: blue and green weak
    return out;
}

// Light falling off from one side to the other: white goes from 100 % down to 55 %.
cv::Mat unevenLight(const cv::Mat& image, std::uint32_t) {
    cv::Mat gain(image.size(), CV_32FC3);
    for (int x = 0; x < image.cols; ++x) {
        const float g = 1.0f - 0.45f * static_cast<float>(x) / static_cast<float>(image.cols);
        gain.col(x).setTo(cv::Scalar::all(g));
    }
    cv::Mat light;
    image.convertTo(light, CV_32FC3);
    cv::Mat out;
    cv::multiply(light, gain, light);
    light.convertTo(out, CV_8UC3);
    return out;
}

Photograph distortion(double perspective, double noise, double area) {
    return [=](const cv::Mat& image, std::uint32_t seed) {
        cv::theRNG().state = 0x5EED0000u + seed;  // the noise draws from the library's generator
        return distortImage({perspective, noise, area}, image);
    };
}

TEST(Photograph, BlurCompressionNoiseAndResampling) {
    const std::vector<Condition> conditions = {
        {"clean", [](const cv::Mat& m, std::uint32_t) { return m; }, 1.0},
        {"blur sigma 1.0",
         [](const cv::Mat& m, std::uint32_t) { return test::gaussianBlur(m, 1.0); }, 1.0},
        {"blur sigma 2.0",
         [](const cv::Mat& m, std::uint32_t) { return test::gaussianBlur(m, 2.0); }, 0.9},
        {"JPEG quality 75",
         [](const cv::Mat& m, std::uint32_t) { return test::jpegRoundTrip(m, 75); }, 1.0},
        {"JPEG quality 40",
         [](const cv::Mat& m, std::uint32_t) { return test::jpegRoundTrip(m, 40); }, 0.9},
        {"Gaussian noise sigma 8",
         [](const cv::Mat& m, std::uint32_t s) { return test::addGaussianNoise(m, 8, s); }, 1.0},
        {"rotated 7 deg, scaled 0.9",
         [](const cv::Mat& m, std::uint32_t) {
             return test::rotateAndScale(m, 7 * CV_PI / 180, 0.9);
         },
         0.9},
        {"tilt 0.05",
         [](const cv::Mat& m, std::uint32_t s) { return test::tilt(m, 0.05, s * 0.7); }, 0.8},
        {"low contrast 75..185", lowContrast, 1.0},
        {"colour cast", colourCast, 1.0},
        {"uneven light 100..55 %", unevenLight, 0.9},
        {"blur 1.0 + JPEG 75 + noise 4",
         [](const cv::Mat& m, std::uint32_t s) {
             return test::addGaussianNoise(test::jpegRoundTrip(test::gaussianBlur(m, 1.0), 75), 4,
                                           s);
         },
         0.9},
    };
    runConditions(conditions, CodeType::BlackAndWhite, 404);
}

TEST(Photograph, ColourSymbols) {
    const std::vector<Condition> conditions = {
        {"colour clean", [](const cv::Mat& m, std::uint32_t) { return m; }, 1.0},
        {"colour blur sigma 1.0",
         [](const cv::Mat& m, std::uint32_t) { return test::gaussianBlur(m, 1.0); }, 0.9},
        {"colour JPEG quality 75",
         [](const cv::Mat& m, std::uint32_t) { return test::jpegRoundTrip(m, 75); }, 0.9},
        {"colour low contrast 75..185", lowContrast, 0.9},
    };
    runConditions(conditions, CodeType::Color, 505);
}

TEST(Photograph, CameraViewTestDistortionsAtLowLevels) {
    // The camera view's digit keys 1 to 3 of each distortion.
    std::vector<Condition> conditions;
    const double perspectiveRates[] = {0.9, 0.8, 0.5};
    const double noiseRates[] = {0.9, 0.9, 0.8};
    const double areaRates[] = {0.9, 0.8, 0.7};
    for (int d = 1; d <= 3; ++d) {
        const std::string level = " level " + std::to_string(d);
        conditions.push_back(
            {"perspective" + level, distortion(d / 20.0, 0, 0), perspectiveRates[d - 1]});
        conditions.push_back(
            {"salt and pepper" + level, distortion(0, d / 40.0, 0), noiseRates[d - 1]});
        conditions.push_back(
            {"area destruction" + level, distortion(0, 0, d / 100.0), areaRates[d - 1]});
    }
    runConditions(conditions, CodeType::BlackAndWhite, 606);
}

}  // namespace
}  // namespace qcl
