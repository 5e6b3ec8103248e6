// Raw small grey and colour images of any size up to the read side: the whole-image reader
// (the detector, then a view of every hypothesis it proposes) with fuzzed options, and the
// detector on its own with options of its own. Only the reader's own errors may come out.
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "decoder/search/Detector.h"
#include "fuzz/FuzzRead.h"

namespace {

// Largest symbol count asked for: 0 (every symbol) and a few limits.
constexpr int kMostSymbolsAsked = 3;
// Largest detector options drawn: hypotheses handed on, and the smallest disc radius in quarter
// pixels.
constexpr int kMostHypotheses = 16;
constexpr int kLargestDiscQuarters = 40;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange(1, qcl::fuzz::kMaxReadSide);
    const int height = in.ConsumeIntegralInRange(1, qcl::fuzz::kMaxReadSide);
    const bool colour = in.ConsumeBool();
    qcl::DecodeParameters parameters;
    parameters.codeType = in.ConsumeBool() ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
    qcl::DecodeOptions options;
    options.enhance = in.ConsumeBool();
    options.autoCodeType = in.ConsumeBool();
    options.maxSymbols = in.ConsumeIntegralInRange(0, kMostSymbolsAsked);
    qcl::DetectorOptions detector;
    detector.maxHypotheses = in.ConsumeIntegralInRange(0, kMostHypotheses);
    detector.minDiscRadius = 0.25 * in.ConsumeIntegralInRange(0, kLargestDiscQuarters);
    cv::Mat image(height, width, colour ? CV_8UC3 : CV_8UC1, cv::Scalar::all(255));
    const std::vector<std::uint8_t> pixels = in.ConsumeRemainingBytes<std::uint8_t>();
    std::copy_n(pixels.begin(), std::min(pixels.size(), image.total() * image.elemSize()),
                image.data);

    const std::size_t read = qcl::fuzz::readImage(parameters, image, options);
    if (options.maxSymbols > 0 && read > static_cast<std::size_t>(options.maxSymbols)) {
        __builtin_trap();
    }
    qcl::SearchImage picture(image);
    const std::vector<qcl::Hypothesis> found = qcl::detectSymbols(picture, detector);
    if (static_cast<int>(found.size()) > detector.maxHypotheses) {
        __builtin_trap();
    }
    return 0;
}
