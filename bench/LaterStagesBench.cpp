// The detection stages after the view correction and the module sampling, each on its own, on the
// binarised working image of a head-on symbol filling the 640 x 640 square (80 modules per ring,
// 9 rings: the most rays, ellipse samples and modules the reader meets).
#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>

#include "decoder/OuterZebra.h"
#include "decoder/RadialZebra.h"
#include "decoder/StartMarker.h"
#include "decoder/data/ModuleSampler.h"
#include "StageDriver.h"

namespace {

using qcl::test::RenderedPath;

const RenderedPath& largeSymbol() {
    qcl::test::SymbolSetup setup;
    setup.modulesPerRing = 80;
    setup.ringCount = 9;
    setup.diameter = 620;
    setup.rotation = 0.9;
    setup.seed = 11;
    const RenderedPath& run = qcl::test::renderedPlainPath(setup);
    if (run.path.stage != qcl::StageReadMaskedData) {
        throw std::runtime_error("benchmark symbol does not read on the plain path");
    }
    return run;
}

void BM_FindStartMarker(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            qcl::findStartMarker(run.path.binary, run.path.innerRadius, run.path.modulesPerRing));
    }
}
BENCHMARK(BM_FindStartMarker)->Unit(benchmark::kMillisecond);

void BM_FindOuterZebra(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    qcl::OuterZebra zebra;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::findOuterZebra(run.path.binary, run.path.modulesPerRing,
                                                     run.path.outerStartPoint, zebra));
    }
}
BENCHMARK(BM_FindOuterZebra)->Unit(benchmark::kMillisecond);

void BM_ApplyTransform2(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    cv::Mat corrected;
    cv::Matx33d homography;
    for (auto _ : state) {
        qcl::StartMarkerCandidate marker = run.path.candidates.front();
        benchmark::DoNotOptimize(qcl::applyTransform2(run.path.binary, run.path.outerZebra, marker,
                                                      corrected, homography));
    }
}
BENCHMARK(BM_ApplyTransform2)->Unit(benchmark::kMillisecond);

void BM_FindRadialZebra(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    const qcl::RadialZebra& found = run.path.radialZebra;
    const double twoModules = 4.0 * CV_PI / run.path.modulesPerRing;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::findRadialZebra(
            run.path.binary, twoModules, found.angle, run.path.radialZebraStart,
            static_cast<int>(found.outerEdge), static_cast<int>(found.innerEdge)));
    }
}
BENCHMARK(BM_FindRadialZebra)->Unit(benchmark::kMicrosecond);

void BM_WarpInputImage(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::warpInputImage(
            run.path.binary, run.symbol.image, cv::Matx33d::eye(), run.path.candidates.front()));
    }
}
BENCHMARK(BM_WarpInputImage)->Unit(benchmark::kMillisecond);

void BM_ReadMaskedData(benchmark::State& state) {
    const RenderedPath& run = largeSymbol();
    qcl::SamplingGrid grid;
    grid.image = &run.path.warped;
    grid.modulesPerRing = run.path.modulesPerRing;
    grid.ringCount = run.path.radialZebra.ringCount;
    grid.threshold = run.path.threshold;
    const cv::Point2d centre(run.path.warped.cols * 0.5, run.path.warped.rows * 0.5);
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::readMaskedData(
            grid, centre, run.path.candidates.front().angle, run.path.radialZebra));
    }
}
BENCHMARK(BM_ReadMaskedData)->Unit(benchmark::kMicrosecond);

}  // namespace
