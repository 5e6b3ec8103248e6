#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "decoder/Decoder.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

// Random modules make no valid frame: the deepest attempt reads every module and fails on the
// frame, so its trace holds the modules exactly as drawn.
DecodeAllResult traceOf(const cv::Mat& image) {
    DecodeOptions options;
    options.traceStages = true;
    return decodeAll(DecodeParameters{}, image, options);
}

TEST(StageTrace, DeepestFailureShowsEveryStageAndTheModulesAsDrawn) {
    test::SymbolSetup setup;
    setup.diameter = 560;
    const test::TestSymbol symbol = test::renderTestSymbol(setup);
    const DecodeAllResult result = traceOf(symbol.image);
    ASSERT_TRUE(result.symbols.empty());
    const StageTrace& trace = result.failureTrace;
    EXPECT_EQ(trace.reachedStage, StageReadMaskedData);
    EXPECT_FALSE(trace.centreDisc.empty());
    EXPECT_FALSE(trace.innerZebra.empty());
    EXPECT_EQ(trace.outerZebra.size(), static_cast<std::size_t>(setup.modulesPerRing / 2));
    ASSERT_EQ(trace.modules.size(), symbol.modules.size());
    for (std::size_t i = 0; i < trace.modules.size(); ++i) {
        EXPECT_EQ(trace.modules[i].value, symbol.modules[i]) << "module " << i;
    }

    // Found on an image twice the size, the points map back to it: each module where the
    // smaller image has it, to within a quarter pitch (the two are read from views of their own).
    cv::Mat doubled;
    cv::resize(symbol.image, doubled, cv::Size(), 2.0, 2.0, cv::INTER_NEAREST);
    const StageTrace large = traceOf(doubled).failureTrace;
    ASSERT_EQ(large.modules.size(), trace.modules.size());
    const double tolerance = 0.25 * 2.0 * symbol.geometry.pitch;
    for (std::size_t i = 0; i < large.modules.size(); ++i) {
        EXPECT_LT(cv::norm(large.modules[i].position - 2.0 * trace.modules[i].position), tolerance);
    }
}

}  // namespace
}  // namespace qcl
