// The misread campaign's pictures: each follows its seed alone (so a reported seed replays), and
// a symbol whose data modules were scrambled holds no symbol any more.
#include "bench/misread/MisreadMix.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "decoder/Decoder.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl::misread {
namespace {

TEST(MisreadMix, APictureFollowsItsSeedAlone) {
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        const Picture symbols = symbolPicture(seed);
        const Picture again = symbolPicture(seed);
        EXPECT_TRUE(test::identical(symbols.image, again.image)) << symbols.scene;
        EXPECT_EQ(symbols.payloads, again.payloads);
        EXPECT_EQ(symbols.scene, again.scene);
        EXPECT_FALSE(symbols.payloads.empty()) << symbols.scene;
        const Picture empty = noSymbolPicture(seed);
        EXPECT_TRUE(test::identical(empty.image, noSymbolPicture(seed).image)) << empty.scene;
        EXPECT_TRUE(empty.payloads.empty()) << empty.scene;
        EXPECT_FALSE(test::identical(symbols.image, symbolPicture(seed + 1).image));
    }
}

struct Written {
    test::WrittenSymbol symbol;
    RenderOptions render;
};

Written written(CodeType codeType) {
    writer::SymbolOptions options;
    options.codeType = codeType;
    options.eccStrength = ECCtype::High;  // the most a frame can repair
    Written w;
    w.render.imageSize = {640, 640};
    w.symbol = test::writeSymbol("scrambled beyond repair", options, w.render);
    return w;
}

bool readsAnything(const cv::Mat& image, CodeType codeType) {
    DecodeParameters parameters;
    parameters.codeType = codeType;
    return !decodeAll(parameters, image, DecodeOptions{}).symbols.empty();
}

TEST(MisreadMix, ScrambledDataModulesHoldNoSymbol) {
    const struct {
        CodeType codeType;
        Scramble how;
    } cases[] = {
        {CodeType::BlackAndWhite, Scramble::Shuffled},
        {CodeType::BlackAndWhite, Scramble::OneValue},
        {CodeType::BlackAndWhite, Scramble::Noise},
        {CodeType::Color, Scramble::Shuffled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.how));
        const Written w = written(c.codeType);
        const ModuleList& original = w.symbol.content.modules;
        ASSERT_TRUE(readsAnything(w.symbol.image, c.codeType));
        test::SeededRandom random(7);
        const ModuleList modules = scramble(original, c.codeType, c.how, random);
        ASSERT_EQ(modules.size(), original.size());
        const int largest = c.codeType == CodeType::Color ? 7 : 1;
        EXPECT_TRUE(std::all_of(modules.begin(), modules.end(),
                                [&](std::uint8_t m) { return m <= largest; }));
        EXPECT_NE(modules, original);
        if (c.how == Scramble::Shuffled) {
            EXPECT_TRUE(std::is_permutation(modules.begin(), modules.end(), original.begin()));
        }
        if (c.how == Scramble::OneValue) {
            EXPECT_EQ(std::count(modules.begin(), modules.end(), modules[0]),
                      static_cast<long>(modules.size()));
        }
        const SymbolRenderer renderer(w.symbol.content.modulesPerRing, w.symbol.content.ringCount,
                                      c.codeType, w.render);
        EXPECT_FALSE(readsAnything(renderer.render(modules), c.codeType));
    }
}

}  // namespace
}  // namespace qcl::misread
