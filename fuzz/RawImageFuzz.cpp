// Raw small grey and colour images of any size up to a small cap: the designed search, the
// detector with options of its own and, for one input in eight, the whole-image reader. Only the
// reader's own errors may come out.
#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

#include "decoder/Decoder.h"
#include "decoder/search/Detector.h"
#include "decoder/StageChain.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange(1, qcl::fuzz::kMaxReadSide);
    const int height = in.ConsumeIntegralInRange(1, qcl::fuzz::kMaxReadSide);
    const bool colour = in.ConsumeBool();
    qcl::DecodeParameters parameters;
    parameters.codeType = in.ConsumeBool() ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
    const bool enhance = in.ConsumeBool();
    const bool wholeImage = in.ConsumeIntegralInRange(0, 7) == 0;
    qcl::DetectorOptions detector;
    detector.maxHypotheses = in.ConsumeIntegralInRange(0, 16);
    detector.minDiscRadius = in.ConsumeIntegralInRange(0, 40) * 0.25;
    cv::Mat image(height, width, colour ? CV_8UC3 : CV_8UC1, cv::Scalar::all(255));
    const std::vector<std::uint8_t> pixels = in.ConsumeRemainingBytes<std::uint8_t>();
    std::copy_n(pixels.begin(), std::min(pixels.size(), image.total() * image.elemSize()),
                image.data);

    qcl::fuzz::expectingOurErrors(
        [&] { qcl::runDesignedDecode(parameters, image, enhance, qcl::realStages()); });
    // The whole-image reader runs the designed search again and reads every located candidate
    // from a view of its own: the costly path, so only for some inputs.
    qcl::fuzz::expectingOurErrors([&] {
        if (!wholeImage) {
            return;
        }
        qcl::DecodeOptions options;
        options.enhance = enhance;
        qcl::decodeAll(parameters, image, options);
    });
    qcl::SearchImage picture(image);
    const std::vector<qcl::Hypothesis> found = qcl::detectSymbols(picture, detector);
    if (static_cast<int>(found.size()) > detector.maxHypotheses) {
        __builtin_trap();
    }
    return 0;
}
