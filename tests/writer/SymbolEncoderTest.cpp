// Round trips through the reader's own data path: text -> encodeSymbol -> module list ->
// applyMaskAndLayout + decodeFrame for the masks 0..4 in the reader's order -> text. Images are
// left to the end-to-end tests; here every layout, mask and size is cheap.
#include "writer/SymbolEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SeededRandom.h"
#include "support/ThrownCode.h"
#include "tests/decoder/data/DataPathFixture.h"
#include "writer/FrameEncoder.h"
#include "writer/SymbolSizing.h"

namespace qcl::writer {
namespace {

struct ReadBack {
    ErrorCode code = WrongGrid;
    int mask = -1;
    std::string text;
    int type = -1;
    int strength = -1;
};

// What the reader's last stage does with a sampled module list: masks 0..4 in turn, the first
// frame that decodes wins.
ReadBack readBack(const SymbolContent& content, Layout layout) {
    const SamplingGrid grid = test::makeGrid(content.modulesPerRing, content.ringCount,
                                             content.codeType == CodeType::Color);
    ReadBack result;
    for (int mask = 0; mask < kMaskCount && result.code != Success; ++mask) {
        ModuleList modules = content.modules;
        std::uint8_t type = 0;
        std::uint8_t strength = 0;
        result.code = applyMaskAndLayout(grid, modules, mask, layout);
        if (result.code == Success) {
            result.code = decodeFrame(grid, modules, &result.text, &type, &strength);
        }
        result.mask = mask;
        result.type = type;
        result.strength = strength;
    }
    return result;
}

std::string describe(const SymbolOptions& o, const std::string& text) {
    return toString(o.codeType) + " " + std::to_string(o.modulesPerRing) + "x" +
           std::to_string(o.ringCount) + " " + toString(o.layout) + " " + toString(o.eccStrength) +
           " " + toString(o.payloadType) + " mask " + std::to_string(o.mask) + " text \"" + text +
           "\"";
}

void expectRoundTrip(const std::string& text, const SymbolOptions& options) {
    const std::string where = describe(options, text);
    const SymbolContent content = encodeSymbol(text, options);
    ASSERT_EQ(content.modules.size(),
              static_cast<std::size_t>((options.modulesPerRing - 5) * options.ringCount))
        << where;
    const std::uint8_t limit = options.codeType == CodeType::Color ? 7 : 1;
    ASSERT_TRUE(std::all_of(content.modules.begin(), content.modules.end(),
                            [limit](std::uint8_t v) { return v <= limit; }))
        << where;
    EXPECT_TRUE(options.mask < 0 || content.mask == options.mask) << where;
    const ReadBack back = readBack(content, options.layout);
    ASSERT_EQ(back.code, Success) << where;
    EXPECT_EQ(back.mask, content.mask) << where;  // no earlier mask decoded
    EXPECT_EQ(back.text, text) << where;
    EXPECT_EQ(back.type, static_cast<int>(options.payloadType)) << where;
    EXPECT_EQ(back.strength, static_cast<int>(options.eccStrength)) << where;
}

// A symbol holds exactly what sizing promises: with UTF8 (8 bits a byte, 5 more in all) one
// character fewer than the payload bytes fits and one more does not. Sizes up to the 255-byte
// codeword, beyond the automatic ring range, are included.
TEST(SymbolEncoder, SizingPromiseIsExact) {
    test::SeededRandom random(255);
    const struct {
        CodeType codeType;
        int modulesPerRing, rings;
        Layout layout;
    } cases[] = {{CodeType::BlackAndWhite, 16, 186, Layout::HorizontalShortSnake},
                 {CodeType::Color, 80, 9, Layout::Scrambled},
                 {CodeType::BlackAndWhite, 64, 3, Layout::Vertical},
                 {CodeType::Color, 48, 5, Layout::HorizontalSnake}};
    for (const auto& c : cases) {
        for (ECCtype strength : {ECCtype::Low, ECCtype::High}) {
            SymbolOptions options;
            options.codeType = c.codeType;
            options.layout = c.layout;
            options.modulesPerRing = c.modulesPerRing;
            options.ringCount = c.rings;
            options.eccStrength = strength;
            options.payloadType = PayloadType::UTF8;
            const std::size_t room =
                symbolPayloadBytes({c.modulesPerRing, c.rings}, strength, c.codeType, c.layout);
            ASSERT_GT(room, 1u);
            const std::string text = random.text(room - 1,
                                                 "\x01\x7f"
                                                 "aZ");
            expectRoundTrip(text, options);
            EXPECT_EQ(test::thrownCode([&] { encodeSymbol(text + "x", options); }),
                      NotEnoughCapacity)
                << describe(options, text) << ": one byte more";
        }
    }
}

// Refusals of the payload and of the size are checked with their own parts; these are the
// encoder's own.
TEST(SymbolEncoder, RefusesImpossibleOptions) {
    const auto codeOf = [](const SymbolOptions& options) {
        return test::thrownCode([&] { encodeSymbol("12", options); });
    };
    SymbolOptions options;
    options.mask = kMaskCount;
    EXPECT_EQ(codeOf(options), InvalidConfiguration);
    options.mask = -1;
    options.eccStrength = static_cast<ECCtype>(7);
    EXPECT_EQ(codeOf(options), InvalidConfiguration);
}

}  // namespace
}  // namespace qcl::writer
