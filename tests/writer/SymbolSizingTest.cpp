#include "writer/SymbolSizing.h"

#include <gtest/gtest.h>

#include "common/ErrorCodes.h"
#include "writer/FrameEncoder.h"

namespace qcl::writer {
namespace {

ErrorCode sizeError(const SymbolSize& size, std::size_t payloadBytes, ECCtype strength,
                    CodeType codeType, Layout layout = Layout::HorizontalShortSnake) {
    try {
        chooseSymbolSize(payloadBytes, strength, codeType, layout, size);
    } catch (const QCException& e) {
        return e.code;
    }
    return Success;
}

TEST(SymbolSizing, GridBytesDropAPartialLastByte) {
    EXPECT_EQ(gridBytes(CodeType::BlackAndWhite, 64, 4), 29u);  // 236 bits
    EXPECT_EQ(gridBytes(CodeType::Color, 64, 4), 88u);          // 708 bits
    EXPECT_EQ(gridBytes(CodeType::BlackAndWhite, 16, 2), 2u);
    EXPECT_EQ(gridBytes(CodeType::BlackAndWhite, 5, 4), 0u);
    // The largest ring counts whose grid stays within 255 whole bytes.
    EXPECT_EQ(maxRingCount(CodeType::BlackAndWhite, 80), 27);   // 2025 bits; 28 rings: 2100
    EXPECT_EQ(maxRingCount(CodeType::Color, 80), 9);            // 2025 bits; 10 rings: 2250
    EXPECT_EQ(maxRingCount(CodeType::BlackAndWhite, 16), 186);  // 2046 bits = 255 bytes
    EXPECT_EQ(gridBytes(CodeType::BlackAndWhite, 16, 186), 255u);
    EXPECT_EQ(gridBytes(CodeType::BlackAndWhite, 16, 187), 257u);
}

TEST(SymbolSizing, ChoosesTheFewestModulesThatHoldThePayload) {
    for (CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        for (ECCtype strength : {ECCtype::Low, ECCtype::High}) {
            for (std::size_t bytes = 1; bytes <= 220; bytes += 3) {
                std::size_t bestTotal = 0;
                int bestRings = 0;
                for (int m : kModulesPerRingChoices) {
                    for (int r = kMinRingCount; r <= kMaxAutoRingCount; ++r) {
                        const std::size_t cap = gridBytes(codeType, m, r);
                        const std::size_t total = static_cast<std::size_t>(m * r);
                        if (cap <= kMaxBlockBytes && maxPayloadBytes(strength, cap) >= bytes &&
                            (bestTotal == 0 || total < bestTotal ||
                             (total == bestTotal && r < bestRings))) {
                            bestTotal = total;
                            bestRings = r;
                        }
                    }
                }
                if (bestTotal == 0) {
                    EXPECT_EQ(sizeError({}, bytes, strength, codeType), DataSizeExceedsMaximum);
                    continue;
                }
                const SymbolSize size =
                    chooseSymbolSize(bytes, strength, codeType, Layout::HorizontalShortSnake);
                EXPECT_EQ(static_cast<std::size_t>(size.modulesPerRing * size.ringCount), bestTotal)
                    << codeType << " " << strength << " " << bytes;
                EXPECT_EQ(size.ringCount, bestRings);
                EXPECT_GE(
                    symbolPayloadBytes(size, strength, codeType, Layout::HorizontalShortSnake),
                    bytes);
            }
        }
    }
}

TEST(SymbolSizing, KnownSizes) {
    // One payload byte at Low: 16 x 2 gives 2 bytes only; 16 x 3 gives 4 = t 1, k 2: too small;
    // 32 x 2 (54 bits, 6 bytes, t 1, k 4) holds one byte.
    const SymbolSize small =
        chooseSymbolSize(1, ECCtype::Low, CodeType::BlackAndWhite, Layout::HorizontalShortSnake);
    EXPECT_EQ(small.modulesPerRing, 32);
    EXPECT_EQ(small.ringCount, 2);
    // Colour carries three times the bits: 16 x 2 holds 66 bits = 8 bytes, t 1, k 6.
    const SymbolSize colour =
        chooseSymbolSize(3, ECCtype::Low, CodeType::Color, Layout::HorizontalShortSnake);
    EXPECT_EQ(colour.modulesPerRing, 16);
    EXPECT_EQ(colour.ringCount, 2);
}

TEST(SymbolSizing, FixedDimensionsAreKeptAndChecked) {
    const SymbolSize ringsFixed = chooseSymbolSize(10, ECCtype::Medium, CodeType::BlackAndWhite,
                                                   Layout::Scrambled, SymbolSize{0, 5});
    EXPECT_EQ(ringsFixed.ringCount, 5);
    EXPECT_GE(
        symbolPayloadBytes(ringsFixed, ECCtype::Medium, CodeType::BlackAndWhite, Layout::Scrambled),
        10u);
    // 80 x 2: 150 bits, 18 bytes, t 3, room for 9 payload bytes.
    const SymbolSize modulesFixed = chooseSymbolSize(9, ECCtype::Medium, CodeType::BlackAndWhite,
                                                     Layout::Scrambled, SymbolSize{80, 0});
    EXPECT_EQ(modulesFixed.modulesPerRing, 80);
    EXPECT_EQ(modulesFixed.ringCount, 2);

    // Explicit sizes beyond the automatic ring limit are allowed up to 255 grid bytes.
    EXPECT_EQ(sizeError({16, 186}, 10, ECCtype::Low, CodeType::BlackAndWhite), Success);
    EXPECT_EQ(sizeError({16, 187}, 10, ECCtype::Low, CodeType::BlackAndWhite),
              InvalidConfiguration);
    EXPECT_EQ(sizeError({24, 4}, 1, ECCtype::Low, CodeType::BlackAndWhite), InvalidConfiguration);
    EXPECT_EQ(sizeError({24, 0}, 1, ECCtype::Low, CodeType::BlackAndWhite), InvalidConfiguration);
    EXPECT_EQ(sizeError({32, 1}, 1, ECCtype::Low, CodeType::BlackAndWhite), InvalidConfiguration);
    EXPECT_EQ(sizeError({0, 1}, 1, ECCtype::Low, CodeType::BlackAndWhite), InvalidConfiguration);
    EXPECT_EQ(sizeError({16, 2}, 1, ECCtype::Low, CodeType::BlackAndWhite), NotEnoughCapacity);
    EXPECT_EQ(sizeError({32, 2}, 1, ECCtype::Low, CodeType::BlackAndWhite), Success);
    EXPECT_EQ(sizeError({32, 2}, 2, ECCtype::Low, CodeType::BlackAndWhite), NotEnoughCapacity);
    // A frame without a payload byte cannot be read either.
    EXPECT_EQ(sizeError({16, 2}, 0, ECCtype::Low, CodeType::BlackAndWhite), NotEnoughCapacity);
    EXPECT_EQ(chooseSymbolSize(0, ECCtype::Low, CodeType::BlackAndWhite, Layout::Horizontal)
                  .modulesPerRing,
              32);
    // Nothing within nine black-and-white rings holds 100 bytes.
    EXPECT_EQ(sizeError({0, 0}, 100, ECCtype::Low, CodeType::BlackAndWhite),
              DataSizeExceedsMaximum);
    EXPECT_EQ(sizeError({80, 0}, 100, ECCtype::Low, CodeType::BlackAndWhite),
              DataSizeExceedsMaximum);
    EXPECT_EQ(sizeError({80, 20}, 100, ECCtype::Low, CodeType::BlackAndWhite), Success);
}

TEST(SymbolSizing, UnreadableSizesHoldNothing) {
    const Layout layout = Layout::HorizontalShortSnake;
    EXPECT_EQ(symbolPayloadBytes({20, 4}, ECCtype::Low, CodeType::Color, layout), 0u);
    EXPECT_EQ(symbolPayloadBytes({80, 10}, ECCtype::Low, CodeType::Color, layout), 0u);
    EXPECT_EQ(symbolPayloadBytes({80, 9}, ECCtype::Low, CodeType::Color, layout), 212u);
}

}  // namespace
}  // namespace qcl::writer
