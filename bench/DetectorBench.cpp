// The whole-image read of a photograph: a 1280 x 960 photo-like scene without a symbol, the same
// scene with one 400 px symbol in it, and the clean centred 640 x 640 symbol; each through
// decodeAll and through the detector alone (detectSymbols), so that its share shows on its own.
// CPU time is the whole process's, so the image library's worker threads count too.
#include <benchmark/benchmark.h>

#include <string>

#include "PhotoScene.h"
#include "decoder/Decoder.h"
#include "decoder/search/Detector.h"
#include "support/RoundTrip.h"

namespace {

const cv::Size kSceneSize(1280, 960);
constexpr int kSymbolSide = 400;  // px: a symbol a third of the frame wide
const cv::Point kSymbolTopLeft(700, 380);
constexpr std::uint32_t kSceneSeed = 31;

cv::Mat writtenSymbol(cv::Size size, const char* text) {
    qcl::RenderOptions render;
    render.imageSize = size;
    render.startAngle = 0.7;
    return qcl::test::writeSymbol(text, qcl::writer::SymbolOptions{}, render).image;
}

const cv::Mat& sceneWithout() {
    static const cv::Mat scene =
        qcl::test::photographed(qcl::test::photoLikeScene(kSceneSize, kSceneSeed), kSceneSeed);
    return scene;
}

const cv::Mat& sceneWithSymbol() {
    static const cv::Mat scene = [] {
        cv::Mat page = qcl::test::photoLikeScene(kSceneSize, kSceneSeed);
        qcl::test::placePicture(page, writtenSymbol({kSymbolSide, kSymbolSide}, "Detector bench"),
                                kSymbolTopLeft);
        return qcl::test::photographed(page, kSceneSeed);
    }();
    return scene;
}

const cv::Mat& cleanCentred() {
    static const cv::Mat image = writtenSymbol({640, 640}, "Quorel code benchmark payload");
    return image;
}

void decodeAllOf(benchmark::State& state, const cv::Mat& image) {
    std::size_t found = 0;
    for (auto _ : state) {
        const qcl::DecodeAllResult result =
            qcl::decodeAll(qcl::DecodeParameters{}, image, qcl::DecodeOptions{});
        found = result.symbols.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["symbols"] = static_cast<double>(found);
}

void detectIn(benchmark::State& state, const cv::Mat& image) {
    std::size_t hypotheses = 0;
    for (auto _ : state) {
        qcl::SearchImage picture(image);
        hypotheses = qcl::detectSymbols(picture).size();
        benchmark::DoNotOptimize(hypotheses);
    }
    state.counters["hypotheses"] = static_cast<double>(hypotheses);
}

void BM_DecodeAllScene1280NoSymbol(benchmark::State& state) {
    decodeAllOf(state, sceneWithout());
}
BENCHMARK(BM_DecodeAllScene1280NoSymbol)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DetectScene1280NoSymbol(benchmark::State& state) {
    detectIn(state, sceneWithout());
}
BENCHMARK(BM_DetectScene1280NoSymbol)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DecodeAllScene1280OneSymbol(benchmark::State& state) {
    decodeAllOf(state, sceneWithSymbol());
}
BENCHMARK(BM_DecodeAllScene1280OneSymbol)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DetectScene1280OneSymbol(benchmark::State& state) {
    detectIn(state, sceneWithSymbol());
}
BENCHMARK(BM_DetectScene1280OneSymbol)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DecodeAllClean640(benchmark::State& state) {
    decodeAllOf(state, cleanCentred());
}
BENCHMARK(BM_DecodeAllClean640)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DetectClean640(benchmark::State& state) {
    detectIn(state, cleanCentred());
}
BENCHMARK(BM_DetectClean640)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
