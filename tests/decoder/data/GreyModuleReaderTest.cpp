#include "decoder/data/GreyModuleReader.h"

#include <gtest/gtest.h>

#include <string>

#include "support/SymbolFixtures.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

struct Reading {
    int wrong = 0;
    double wrongDoubt = 0.0;  // mean doubt of the wrong modules
    double rightDoubt = 0.0;  // and of the right ones
    int confidentWrong = 0;   // wrong modules without doubt
};

// The grey reading of a drawn symbol at its true geometry, judged against what was drawn.
Reading readAtTruth(const test::TestSymbol& symbol, const cv::Mat& image) {
    const SymbolGeometry& g = symbol.geometry;
    SamplingGrid grid = test::makeGrid(g.modulesPerRing, g.ringCount, false);
    grid.image = &image;
    RadialZebra zebra;
    zebra.ringCount = g.ringCount;
    zebra.firstRingRadius = g.ringCenterRadius(0);
    zebra.lastRingRadius = g.ringCenterRadius(g.ringCount - 1);
    const ModuleList read = readModulesByGrey(grid, g.center, g.startAngle, zebra);
    EXPECT_EQ(read.size(), symbol.modules.size());
    Reading r;
    for (std::size_t i = 0; i < read.size() && i < symbol.modules.size(); ++i) {
        const int doubt = moduleDoubt(read[i]);
        if (moduleValues({read[i]})[0] != symbol.modules[i]) {
            ++r.wrong;
            r.wrongDoubt += doubt;
            r.confidentWrong += doubt == 0 ? 1 : 0;
        } else {
            r.rightDoubt += doubt;
        }
    }
    r.wrongDoubt /= std::max(r.wrong, 1);
    r.rightDoubt /= std::max(static_cast<int>(read.size()) - r.wrong, 1);
    return r;
}

// Sharp modules are read right and mostly without doubt; under a heavy blur (sigma 3.5 px on
// modules about 6 px wide) the modules read wrong are the doubtful ones, which is what makes
// their bytes worth erasing.
TEST(GreyModuleReader, WrongModulesAreTheDoubtfulOnes) {
    test::SymbolSetup setup;
    setup.modulesPerRing = 64;
    setup.ringCount = 5;
    setup.diameter = 200;
    setup.imageSize = cv::Size(240, 240);
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        setup.seed = seed;
        const test::TestSymbol symbol = test::renderTestSymbol(setup);
        const Reading sharp = readAtTruth(symbol, symbol.image);
        EXPECT_EQ(sharp.wrong, 0) << seed;
        EXPECT_LT(sharp.rightDoubt, 0.25 * kMaxDoubt) << seed;

        const Reading blurred = readAtTruth(symbol, test::gaussianBlur(symbol.image, 3.5));
        EXPECT_GT(blurred.wrong, 0) << seed;
        EXPECT_GT(blurred.wrongDoubt, 2.0 * blurred.rightDoubt) << seed;
        EXPECT_LE(blurred.confidentWrong, blurred.wrong / 4) << seed;
    }
}

}  // namespace
}  // namespace qcl
