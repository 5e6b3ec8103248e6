// Writer -> image -> "photograph" -> reader: decode rates under blur, compression, noise,
// resampling, tilt, lighting and the camera view's test distortions. Each condition has a
// pass-rate threshold; the rates are printed so that a change in robustness shows in the log.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "imaging/Distortion.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSymbolsPerCondition = 3;  // the sanitizer build: a lean sample
#else
constexpr int kSymbolsPerCondition = 12;
#endif

using Photograph = std::function<cv::Mat(const cv::Mat& image, std::uint32_t seed)>;

struct Condition {
    std::string name;
    CodeType codeType;
    Photograph photograph;
    double minRate;  // share of symbols that must decode
};

struct Sample {
    cv::Mat image;
    std::string text;
};

// Symbols of random shape and strength filling a 640 x 640 image, with a payload that fits.
std::vector<Sample> randomSamples(CodeType codeType, std::uint32_t seed) {
    const int modulesPerRing[] = {16, 32, 48, 64, 80};
    test::SeededRandom random(seed);
    std::vector<Sample> samples(kSymbolsPerCondition);
    for (Sample& sample : samples) {
        writer::SymbolOptions symbol;
        symbol.codeType = codeType;
        symbol.modulesPerRing = modulesPerRing[random.uniformInt(0, 4)];
        symbol.ringCount = random.uniformInt(symbol.modulesPerRing == 16 ? 5 : 3, 8);
        symbol.eccStrength = static_cast<ECCtype>(random.uniformInt(1, 3));
        RenderOptions render;
        render.imageSize = cv::Size(640, 640);
        render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
        sample.text = test::fillingPayload(PayloadType::Letters, symbol, 0.8, random);
        if (sample.text.empty()) {
            symbol.eccStrength = ECCtype::Low;  // small 16-module symbols beside strong parity
            sample.text = test::fillingPayload(PayloadType::Letters, symbol, 0.8, random);
        }
        sample.image = test::writeSymbol(sample.text, symbol, render).image;
    }
    return samples;
}

// Decodes every sample after each condition's photograph, prints the rate and checks it; a
// condition below 100 % forgives at least one failure, also in a small sample.
void runConditions(const std::vector<Condition>& conditions, std::uint32_t seed) {
    std::map<CodeType, std::vector<Sample>> samples;
    for (const Condition& condition : conditions) {
        auto& set = samples[condition.codeType];
        if (set.empty()) {
            set = randomSamples(condition.codeType, seed);
        }
        test::RateCounter counter;
        for (std::size_t i = 0; i < set.size(); ++i) {
            const cv::Mat photo = condition.photograph(set[i].image, static_cast<std::uint32_t>(i));
            const test::ReadResult read = test::readSymbol(photo, condition.codeType);
            // A wrong payload reported as success would be the worst outcome of all.
            if (read.decoded) {
                EXPECT_EQ(read.payload, set[i].text) << condition.name << " sample " << i;
            }
            counter.add(read.decoded && read.payload == set[i].text);
        }
        std::cout << "[ decode rate ] " << std::left << std::setw(34) << condition.name << " "
                  << counter.decoded << "/" << counter.total << " (" << std::fixed
                  << std::setprecision(0) << 100.0 * counter.rate() << " %)\n";
        const int forgiven =
            std::max(static_cast<int>(std::floor((1.0 - condition.minRate) * counter.total + 1e-9)),
                     condition.minRate < 1.0 ? 1 : 0);
        EXPECT_LE(counter.total - counter.decoded, forgiven)
            << condition.name << ": rate below " << condition.minRate;
    }
}

Photograph blur(double sigma) {
    return [sigma](const cv::Mat& m, std::uint32_t) { return test::gaussianBlur(m, sigma); };
}
Photograph jpeg(int quality) {
    return [quality](const cv::Mat& m, std::uint32_t) { return test::jpegRoundTrip(m, quality); };
}

cv::Mat lowContrast(const cv::Mat& image, std::uint32_t) {
    cv::Mat out;
    image.convertTo(out, -1, 110.0 / 255.0, 75.0);  // black 75, white 185
    return out;
}

TEST(Photograph, BlurCompressionNoiseResamplingAndLight) {
    const CodeType bw = CodeType::BlackAndWhite;
    const CodeType colour = CodeType::Color;
    const Photograph clean = [](const cv::Mat& m, std::uint32_t) { return m; };
    runConditions(
        {{"clean", bw, clean, 1.0},
         {"blur sigma 1.0", bw, blur(1.0), 1.0},
         {"blur sigma 2.0", bw, blur(2.0), 0.9},
         {"JPEG quality 75", bw, jpeg(75), 1.0},
         {"JPEG quality 40", bw, jpeg(40), 0.9},
         {"Gaussian noise sigma 8", bw,
          [](const cv::Mat& m, std::uint32_t s) { return test::addGaussianNoise(m, 8, s); }, 1.0},
         {"rotated 7 deg, scaled 0.9", bw,
          [](const cv::Mat& m, std::uint32_t) { return test::rotateAndScale(m, 0.122, 0.9); }, 0.9},
         {"tilt 0.05", bw,
          [](const cv::Mat& m, std::uint32_t s) { return test::tilt(m, 0.05, s * 0.7); }, 0.8},
         {"low contrast 75..185", bw, lowContrast, 1.0},
         {"blur 1.0 + JPEG 75 + noise 4", bw,
          [](const cv::Mat& m, std::uint32_t s) {
              return test::addGaussianNoise(test::jpegRoundTrip(test::gaussianBlur(m, 1), 75), 4,
                                            s);
          },
          0.9},
         {"colour clean", colour, clean, 1.0},
         {"colour blur sigma 1.0", colour, blur(1.0), 0.9},
         {"colour JPEG quality 75", colour, jpeg(75), 0.9},
         {"colour low contrast 75..185", colour, lowContrast, 0.9}},
        404);
}

TEST(Photograph, CameraViewTestDistortionsAtLowLevels) {
    // The camera view's digit keys 1 to 3 of each distortion: {perspective, noise, area}
    // strengths of digit d are d / 20, d / 40 and d / 100.
    const double rates[3][3] = {{0.9, 0.9, 0.9}, {0.8, 0.9, 0.8}, {0.5, 0.8, 0.7}};
    const char* names[] = {"perspective", "salt and pepper", "area destruction"};
    const double perDigit[] = {20.0, 40.0, 100.0};
    std::vector<Condition> conditions;
    for (int d = 1; d <= 3; ++d) {
        for (int kind = 0; kind < 3; ++kind) {
            DistortionStrengths strengths;
            double* levels[] = {&strengths.perspective, &strengths.noise,
                                &strengths.areaDestruction};
            *levels[kind] = d / perDigit[kind];
            const Photograph distort = [strengths](const cv::Mat& image, std::uint32_t seed) {
                cv::theRNG().state = 0x5EED0000u + seed;  // the noise draws from OpenCV's RNG
                return distortImage(strengths, image);
            };
            conditions.push_back({std::string(names[kind]) + " level " + std::to_string(d),
                                  CodeType::BlackAndWhite, distort, rates[d - 1][kind]});
        }
    }
    runConditions(conditions, 606);
}

}  // namespace
}  // namespace qcl
