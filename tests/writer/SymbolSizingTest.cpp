#include "writer/SymbolSizing.h"

#include <gtest/gtest.h>

#include <utility>

#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"
#include "writer/FrameEncoder.h"

namespace qcl::writer {
namespace {

constexpr auto kBW = CodeType::BlackAndWhite;

ErrorCode sizeError(const SymbolSize& size, std::size_t payloadBytes, ECCtype strength,
                    CodeType codeType = kBW) {
    return test::thrownCode([&] {
        chooseSymbolSize(payloadBytes, strength, codeType, Layout::HorizontalShortSnake, size);
    });
}

std::pair<int, int> dimensions(const SymbolSize& size) {
    return {size.modulesPerRing, size.ringCount};
}

TEST(SymbolSizing, KnownSizesAndFixedDimensions) {
    // One byte at Low: 16 x 2 holds 2 grid bytes, 16 x 3 holds 4 (t 1, k 2: no room); 32 x 2
    // (6 bytes, t 1, k 4) holds one. Colour 16 x 2 holds 8 bytes: t 1, k 6, three payload bytes.
    const SymbolSize small = chooseSymbolSize(1, ECCtype::Low, kBW, Layout::HorizontalShortSnake);
    EXPECT_EQ(dimensions(small), std::make_pair(32, 2));
    const SymbolSize colour =
        chooseSymbolSize(3, ECCtype::Low, CodeType::Color, Layout::HorizontalShortSnake);
    EXPECT_EQ(dimensions(colour), std::make_pair(16, 2));
    // 80 x 0: rings chosen, 80 x 2 (18 bytes, t 3) holds 9 bytes.
    const SymbolSize fixed =
        chooseSymbolSize(9, ECCtype::Medium, kBW, Layout::Scrambled, SymbolSize{80, 0});
    EXPECT_EQ(dimensions(fixed), std::make_pair(80, 2));

    const struct {
        SymbolSize size;
        std::size_t bytes;
        ErrorCode code;
    } cases[] = {
        {{16, 186}, 10, Success},  // explicit sizes beyond the automatic range, up to 255 bytes
        {{16, 187}, 10, InvalidConfiguration},
        {{24, 4}, 1, InvalidConfiguration},  // not a modules-per-ring value
        {{32, 1}, 1, InvalidConfiguration},  // one ring shows no pitch
        {{0, 1}, 1, InvalidConfiguration},
        {{32, 2}, 1, Success},
        {{32, 2}, 2, NotEnoughCapacity},
        {{16, 2}, 0, NotEnoughCapacity},        // a frame without a payload byte cannot be read
        {{0, 0}, 100, DataSizeExceedsMaximum},  // nothing within nine rings
        {{80, 0}, 100, DataSizeExceedsMaximum},
        {{80, 20}, 100, Success},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sizeError(c.size, c.bytes, ECCtype::Low), c.code)
            << c.size.modulesPerRing << " x " << c.size.ringCount << ", " << c.bytes << " bytes";
    }
    // Sizes the reader cannot read hold nothing.
    const Layout layout = Layout::HorizontalShortSnake;
    EXPECT_EQ(symbolPayloadBytes({20, 4}, ECCtype::Low, CodeType::Color, layout), 0u);
    EXPECT_EQ(symbolPayloadBytes({80, 10}, ECCtype::Low, CodeType::Color, layout), 0u);
    EXPECT_EQ(symbolPayloadBytes({80, 9}, ECCtype::Low, CodeType::Color, layout), 212u);
}

}  // namespace
}  // namespace qcl::writer
