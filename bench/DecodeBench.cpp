// Whole decodes as the command line and the camera view run them: a clean symbol filling the
// reader's 640 x 640 square, the centred 384 x 384 square of a 640 x 480 camera frame, and a
// photo-like 640 x 640 image without any symbol (the cost of a frame that finds nothing).
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include <string>

#include "PhotoScene.h"
#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"
#include "support/RoundTrip.h"

namespace {

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
    const cv::Mat image = qcl::test::photoLikeScene(cv::Size(640, 640), 77);
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
