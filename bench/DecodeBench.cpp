// Whole decodes as the command line and the camera view run them: a clean symbol filling the
// reader's 640 x 640 square, the centred 384 x 384 square of a 640 x 480 camera frame, and a
// photo-like 640 x 640 image without any symbol (the cost of a frame that finds nothing).
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include <string>

#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"
#include "support/RoundTrip.h"
#include "support/SeededRandom.h"

namespace {

using qcl::test::SeededRandom;

// Side of the centred square the camera view decodes from each frame.
constexpr int kCameraSquare = 384;

qcl::writer::SymbolOptions benchSymbol(int modulesPerRing, int ringCount) {
    qcl::writer::SymbolOptions symbol;
    symbol.modulesPerRing = modulesPerRing;
    symbol.ringCount = ringCount;
    symbol.eccStrength = qcl::ECCtype::Medium;
    return symbol;
}

cv::Mat cleanSquare() {
    qcl::RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.startAngle = 0.7;
    return qcl::test::writeSymbol("Quorel code benchmark payload 0123456789", benchSymbol(64, 9),
                                  render)
        .image;
}

cv::Mat cameraSquare() {
    qcl::RenderOptions render;
    render.imageSize = cv::Size(640, 480);
    render.diameter = kCameraSquare - 20;
    render.startAngle = 2.1;
    // Four rings keep the ring pitch above the reader's minimum in the small square.
    const cv::Mat frame = qcl::test::writeSymbol("Camera 384", benchSymbol(48, 4), render).image;
    const cv::Rect square((frame.cols - kCameraSquare) / 2, (frame.rows - kCameraSquare) / 2,
                          kCameraSquare, kCameraSquare);
    return frame(square).clone();
}

// Smooth shading, overlapping shapes of every size and fine texture: what a camera sees on a
// desk, with plenty of blobs for the centre search and no symbol.
cv::Mat photoWithoutSymbol() {
    SeededRandom random(77);
    cv::Mat image(640, 640, CV_8UC3);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            image.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<std::uint8_t>(90 + x / 8),
                                                  static_cast<std::uint8_t>(120 + y / 10),
                                                  static_cast<std::uint8_t>(160 - (x + y) / 12));
        }
    }
    for (int i = 0; i < 120; ++i) {
        const cv::Point center(random.uniformInt(0, 639), random.uniformInt(0, 639));
        const cv::Scalar colour(random.uniformInt(0, 255), random.uniformInt(0, 255),
                                random.uniformInt(0, 255));
        const int size = random.uniformInt(3, 60);
        if (i % 3 == 0) {
            cv::circle(image, center, size, colour, cv::FILLED, cv::LINE_AA);
        } else if (i % 3 == 1) {
            cv::rectangle(image, center, center + cv::Point(size, size / 2 + 2), colour,
                          cv::FILLED);
        } else {
            cv::line(image, center, center + cv::Point(size * 2, size - 30), colour, 3,
                     cv::LINE_AA);
        }
    }
    cv::Mat noise(image.size(), CV_8UC3);
    cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
    image += noise;
    cv::GaussianBlur(image, image, cv::Size(0, 0), 1.0);
    return image;
}

qcl::DecodeParameters blackAndWhite() {
    qcl::DecodeParameters parameters;
    parameters.codeType = qcl::CodeType::BlackAndWhite;
    return parameters;
}

void BM_DecodeClean640(benchmark::State& state) {
    const cv::Mat image = cleanSquare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::decode(blackAndWhite(), image, true));
    }
}
BENCHMARK(BM_DecodeClean640)->Unit(benchmark::kMillisecond);

void BM_DecodeCameraSquare384(benchmark::State& state) {
    const cv::Mat image = cameraSquare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::decode(blackAndWhite(), image, true));
    }
}
BENCHMARK(BM_DecodeCameraSquare384)->Unit(benchmark::kMillisecond);

void BM_DecodeNoSymbol640(benchmark::State& state) {
    const cv::Mat image = photoWithoutSymbol();
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(qcl::decode(blackAndWhite(), image, true));
            state.SkipWithError("decoded a symbol where there is none");
        } catch (const qcl::QCException& error) {
            benchmark::DoNotOptimize(error.code);
        }
    }
}
BENCHMARK(BM_DecodeNoSymbol640)->Unit(benchmark::kMillisecond);

}  // namespace
