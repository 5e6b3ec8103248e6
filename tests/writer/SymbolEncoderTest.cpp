// Round trips through the reader's own data path: text -> encodeSymbol -> module list ->
// applyMaskAndLayout + decodeFrame for the masks 0..4 in the reader's order -> text.
#include "writer/SymbolEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SeededRandom.h"
#include "writer/FrameEncoder.h"
#include "writer/SymbolSizing.h"

namespace qcl::writer {
namespace {

struct ReadBack {
    ErrorCode code = WrongGrid;
    int mask = -1;
    std::string text;
    PayloadType type = PayloadType::Automatic;
    ECCtype strength = ECCtype::Low;
};

// What the reader's last stage does with a sampled module list: masks 0..4 in turn, the first
// frame that decodes wins.
ReadBack readBack(const SymbolContent& content, Layout layout) {
    SamplingGrid grid;
    grid.codeType = content.codeType;
    grid.modulesPerRing = content.modulesPerRing;
    grid.ringCount = content.ringCount;
    grid.bitsPerModule = content.codeType == CodeType::Color ? 3 : 1;
    ReadBack result;
    for (int mask = 0; mask < 5; ++mask) {
        ModuleList modules = content.modules;
        if (applyMaskAndLayout(grid, modules, mask, layout) != Success) {
            result.code = WrongGrid;
            continue;
        }
        std::uint8_t type = 0;
        std::uint8_t strength = 0;
        result.code = decodeFrame(grid, modules, &result.text, &type, &strength);
        if (result.code == Success) {
            result.mask = mask;
            result.type = static_cast<PayloadType>(type);
            result.strength = static_cast<ECCtype>(strength);
            return result;
        }
    }
    return result;
}

const PayloadType kTypes[] = {PayloadType::Digits, PayloadType::Letters, PayloadType::Numbers,
                              PayloadType::Ascii,  PayloadType::Binary,  PayloadType::UTF8};
const Layout kLayouts[] = {Layout::Horizontal,           Layout::Vertical,
                           Layout::VerticalSnake,        Layout::HorizontalSnake,
                           Layout::HorizontalShortSnake, Layout::Scrambled};
const ECCtype kStrengths[] = {ECCtype::Low, ECCtype::Medium, ECCtype::Quartile, ECCtype::High};

std::string alphabet(PayloadType type) {
    std::string all;
    switch (type) {
        case PayloadType::Digits:
            return "0123456789";
        case PayloadType::Letters:
            return " .0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        case PayloadType::Numbers:
            return ",-./0123456789:_";
        case PayloadType::Binary:
            return "01";
        case PayloadType::Ascii:
            for (int c = 0; c < 128; ++c) {
                all += static_cast<char>(c);
            }
            return all;
        default:
            for (int c = 0; c < 256; ++c) {
                all += static_cast<char>(c);
            }
            return all;
    }
}

// Most characters of `type` whose payload fits `roomBytes` bytes.
std::size_t maxCharacters(PayloadType type, std::size_t roomBytes) {
    if (roomBytes == 0) {
        return 0;
    }
    const std::size_t dataBits = std::min<std::size_t>(roomBytes * 8 - 5, kMaxPayloadBits - 5);
    switch (type) {
        case PayloadType::Digits: {
            const std::size_t rest = dataBits % 10;
            return dataBits / 10 * 3 + (rest >= 7 ? 2 : rest >= 4 ? 1 : 0);
        }
        case PayloadType::Letters:
            return dataBits / 6;
        case PayloadType::Numbers:
            return dataBits / 4;
        case PayloadType::Ascii:
            return dataBits / 7;
        case PayloadType::Binary:
            return dataBits;
        default:
            return dataBits / 8;
    }
}

std::string randomText(test::SeededRandom& random, PayloadType type, std::size_t length) {
    const std::string text = random.text(length, alphabet(type));
    return type == PayloadType::Binary ? "0b" + text : text;
}

// Encodes a random text of `type` that fills the given size fully or partly, reads it back and
// checks every field.
void expectRoundTrip(test::SeededRandom& random, const SymbolOptions& options, bool fill) {
    const SymbolSize size{options.modulesPerRing, options.ringCount};
    const std::size_t room =
        symbolPayloadBytes(size, options.eccStrength, options.codeType, options.layout);
    const std::size_t most = maxCharacters(options.payloadType, room);
    const std::size_t length =
        fill ? most : static_cast<std::size_t>(random.uniformInt(0, static_cast<int>(most)));
    const std::string text = randomText(random, options.payloadType, length);
    const std::string where =
        "seed " + std::to_string(random.seed()) + ", " + toString(options.codeType) + " " +
        std::to_string(size.modulesPerRing) + "x" + std::to_string(size.ringCount) + " " +
        toString(options.layout) + " " + toString(options.eccStrength) + " " +
        toString(options.payloadType) + " mask " + std::to_string(options.mask) + " length " +
        std::to_string(length);

    const SymbolContent content = encodeSymbol(text, options);
    ASSERT_EQ(content.modulesPerRing, size.modulesPerRing) << where;
    ASSERT_EQ(content.ringCount, size.ringCount) << where;
    ASSERT_EQ(content.modules.size(),
              static_cast<std::size_t>((size.modulesPerRing - 5) * size.ringCount))
        << where;
    const std::uint8_t limit = options.codeType == CodeType::Color ? 7 : 1;
    ASSERT_TRUE(std::all_of(content.modules.begin(), content.modules.end(),
                            [limit](std::uint8_t v) { return v <= limit; }))
        << where;
    if (options.mask >= 0) {
        EXPECT_EQ(content.mask, options.mask) << where;
    }

    const ReadBack back = readBack(content, options.layout);
    ASSERT_EQ(back.code, Success) << where;
    EXPECT_EQ(back.mask, content.mask) << where;
    EXPECT_EQ(back.text, text) << where;
    EXPECT_EQ(back.type, options.payloadType) << where;
    EXPECT_EQ(back.strength, options.eccStrength) << where;
}

TEST(SymbolEncoder, RoundTripEverySizeAndLayout) {
    test::SeededRandom random(20261206);
    int counter = 0;
    for (CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        for (int modulesPerRing : kModulesPerRingChoices) {
            for (int rings = kMinRingCount; rings <= kMaxAutoRingCount; ++rings) {
                for (Layout layout : kLayouts) {
                    SymbolOptions options;
                    options.codeType = codeType;
                    options.layout = layout;
                    options.modulesPerRing = modulesPerRing;
                    options.ringCount = rings;
                    options.eccStrength = kStrengths[counter % 4];
                    options.payloadType = kTypes[counter % 6];
                    options.mask = counter % 6 - 1;  // -1 (choose) and 0..4, drifting
                    ++counter;
                    if (symbolPayloadBytes({modulesPerRing, rings}, options.eccStrength, codeType,
                                           layout) == 0) {
                        continue;  // too small for any payload at this strength
                    }
                    expectRoundTrip(random, options, counter % 2 == 0);
                }
            }
        }
    }
}

TEST(SymbolEncoder, RoundTripEveryTypeStrengthAndMask) {
    test::SeededRandom random(4242);
    for (CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        for (PayloadType type : kTypes) {
            for (ECCtype strength : kStrengths) {
                for (int mask = 0; mask < 5; ++mask) {
                    SymbolOptions options;
                    options.codeType = codeType;
                    options.payloadType = type;
                    options.eccStrength = strength;
                    options.mask = mask;
                    options.modulesPerRing = 48;
                    options.ringCount = 4;
                    expectRoundTrip(random, options, mask % 2 == 0);
                }
            }
        }
    }
}

TEST(SymbolEncoder, LargestGridsRoundTrip) {
    test::SeededRandom random(255);
    SymbolOptions options;
    options.payloadType = PayloadType::UTF8;
    options.eccStrength = ECCtype::Low;
    options.modulesPerRing = 16;
    options.ringCount = 186;  // 2046 bits: 255 bytes
    expectRoundTrip(random, options, true);
    options.codeType = CodeType::Color;
    options.modulesPerRing = 80;
    options.ringCount = 9;
    options.layout = Layout::Scrambled;
    expectRoundTrip(random, options, true);
}

TEST(SymbolEncoder, AutomaticChoicesRoundTrip) {
    const std::pair<std::string, PayloadType> cases[] = {
        {"", PayloadType::Digits},
        {"0123456789", PayloadType::Digits},
        {"12:30-1.5", PayloadType::Numbers},
        {"Quorel code 42", PayloadType::Letters},
        {"Hello, World!", PayloadType::Ascii},
        {"Gr\xc3\xbc\xc3\x9f Gott", PayloadType::UTF8},
        {"0b1011001110001111", PayloadType::Binary},
    };
    for (CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        for (const auto& [text, type] : cases) {
            SymbolOptions options;
            options.codeType = codeType;
            const SymbolContent content = encodeSymbol(text, options);
            EXPECT_EQ(content.payloadType, type) << text;
            EXPECT_EQ(content.layout, Layout::HorizontalShortSnake);
            const SymbolSize smallest = chooseSymbolSize(
                (content.payloadBits + 7u) / 8u, options.eccStrength, codeType, options.layout);
            EXPECT_EQ(content.modulesPerRing, smallest.modulesPerRing) << text;
            EXPECT_EQ(content.ringCount, smallest.ringCount) << text;
            const ReadBack back = readBack(content, Layout::HorizontalShortSnake);
            ASSERT_EQ(back.code, Success) << text;
            EXPECT_EQ(back.text, text);
            EXPECT_EQ(back.type, type);
            EXPECT_EQ(back.strength, ECCtype::Medium);
            EXPECT_EQ(back.mask, content.mask);
        }
    }
}

TEST(SymbolEncoder, HexadecimalBinaryReadsBackAsBinaryDigits) {
    SymbolOptions options;
    options.payloadType = PayloadType::Binary;
    const ReadBack back = readBack(encodeSymbol("0x50", options), options.layout);
    ASSERT_EQ(back.code, Success);
    EXPECT_EQ(back.text, "0b10100000");
    EXPECT_EQ(back.type, PayloadType::Binary);
}

TEST(SymbolEncoder, DamagedModulesWithinTheStrengthStillRead) {
    test::SeededRandom random(99);
    for (CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        SymbolOptions options;
        options.codeType = codeType;
        options.eccStrength = ECCtype::High;
        options.modulesPerRing = 64;
        options.ringCount = 5;
        const std::string text = "DAMAGE 0123";
        SymbolContent content = encodeSymbol(text, options);
        // A module spans at most two bytes: t / 2 flipped modules damage at most t bytes.
        const std::size_t t = correctionCapability(ECCtype::High, content.blockBytes);
        const std::uint8_t full = codeType == CodeType::Color ? 7 : 1;
        for (std::size_t i = 0; i < t / 2; ++i) {
            const int index = random.uniformInt(0, static_cast<int>(content.modules.size()) - 1);
            content.modules[index] = static_cast<std::uint8_t>(full - content.modules[index]);
        }
        const ReadBack back = readBack(content, options.layout);
        ASSERT_EQ(back.code, Success) << codeType;
        EXPECT_EQ(back.text, text);
    }
}

TEST(SymbolEncoder, RefusalsCarryTheirReason) {
    const auto codeOf = [](const std::string& text, const SymbolOptions& options) {
        try {
            encodeSymbol(text, options);
        } catch (const QCException& e) {
            return e.code;
        }
        return Success;
    };
    SymbolOptions digits;
    digits.payloadType = PayloadType::Digits;
    EXPECT_EQ(codeOf("12a4", digits), InvalidInputSymbols);
    SymbolOptions bigLetters;
    bigLetters.payloadType = PayloadType::BigLetters;
    EXPECT_EQ(codeOf("ABC", bigLetters), UnknownDataType);
    EXPECT_EQ(codeOf(std::string(300, 'x'), SymbolOptions{}), DataSizeExceedsMaximum);
    SymbolOptions tiny;
    tiny.modulesPerRing = 16;
    tiny.ringCount = 2;
    EXPECT_EQ(codeOf("12", tiny), NotEnoughCapacity);
    SymbolOptions badMask;
    badMask.mask = 5;
    EXPECT_EQ(codeOf("12", badMask), InvalidConfiguration);
    SymbolOptions badStrength;
    badStrength.eccStrength = static_cast<ECCtype>(7);
    EXPECT_EQ(codeOf("12", badStrength), InvalidConfiguration);
    SymbolOptions badModules;
    badModules.modulesPerRing = 40;
    EXPECT_EQ(codeOf("12", badModules), InvalidConfiguration);
}

}  // namespace
}  // namespace qcl::writer
