// Writer -> image -> reader: clean symbols of every shape must decode to the exact payload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "support/LogCapture.h"
#include "support/RoundTrip.h"
#include "writer/SymbolSizing.h"

namespace qcl {
namespace {

using test::fillingPayload;
using test::readSymbol;
using test::SeededRandom;
using test::writeSymbol;

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build runs every decode many times slower: a lean sample of the same cases.
constexpr bool kLean = true;
#else
constexpr bool kLean = false;
#endif

constexpr int kModulesPerRing[] = {16, 32, 48, 64, 80};
constexpr ECCtype kStrengths[] = {ECCtype::Low, ECCtype::Medium, ECCtype::Quartile, ECCtype::High};
constexpr PayloadType kPayloadTypes[] = {
    PayloadType::Automatic, PayloadType::Digits, PayloadType::Letters, PayloadType::Numbers,
    PayloadType::Ascii,     PayloadType::Binary, PayloadType::UTF8};
constexpr int kRingCounts[] = {2, 3, 5, 7, 9};
const cv::Size kReaderSquare(640, 640);

struct Case {
    std::string text;
    writer::SymbolOptions symbol;
    RenderOptions render;
};

std::string describe(const Case& c) {
    std::string d = "M=" + std::to_string(c.symbol.modulesPerRing) +
                    " R=" + std::to_string(c.symbol.ringCount) + " " + toString(c.symbol.codeType) +
                    " ECC=" + toString(c.symbol.eccStrength) +
                    " type=" + toString(c.symbol.payloadType) +
                    " angle=" + std::to_string(c.render.startAngle) +
                    " image=" + std::to_string(c.render.imageSize.width) + "x" +
                    std::to_string(c.render.imageSize.height);
    if (c.render.diameter > 0) {
        d += " diameter=" + std::to_string(c.render.diameter);
    }
    if (c.render.ringPitch > 0) {
        d += " pitch=" + std::to_string(c.render.ringPitch);
    }
    return d + (c.render.mirrored ? " mirrored" : "");
}

// Writes and reads one case; the payload must come back exactly.
void expectRoundTrip(const Case& c) {
    const test::WrittenSymbol written = writeSymbol(c.text, c.symbol, c.render);
    const test::ReadResult read = readSymbol(written.image, c.symbol.codeType);
    EXPECT_TRUE(read.decoded) << describe(c) << ": error " << read.errorCode;
    EXPECT_EQ(read.payload, c.text) << describe(c);
}

// Most rings that fit a 640-px view at the smallest ring pitch.
constexpr int kMaxRingsIn640 = 9;
// Payload bytes a case wants room for at least.
constexpr std::size_t kMinPayloadBytes = 3;

// A symbol of `modules` per ring and at least `rings` rings (more when the strength leaves too
// little room for a payload), at a random rotation, filling the reader's square.
Case shapeCase(int modules, int rings, CodeType codeType, SeededRandom& random,
               ECCtype strength = ECCtype::Medium) {
    Case c;
    c.symbol.codeType = codeType;
    c.symbol.modulesPerRing = modules;
    c.symbol.eccStrength = strength;
    const int most = std::min(kMaxRingsIn640, writer::maxRingCount(codeType, modules));
    int count = std::min(rings, most);
    while (count < most && writer::symbolPayloadBytes({modules, count}, strength, codeType,
                                                      c.symbol.layout) < kMinPayloadBytes) {
        ++count;
    }
    c.symbol.ringCount = count;
    c.render.imageSize = kReaderSquare;
    c.render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
    return c;
}

TEST(RoundTrip, EveryModuleCountStrengthAndPayloadType) {
    SeededRandom random(2026);
    int cases = 0;
    int tooSmall = 0;
    for (const CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        int shape = 0;
        for (const int modules : kModulesPerRing) {
            for (const ECCtype strength : kStrengths) {
                for (const PayloadType type : kPayloadTypes) {
                    ++shape;
                    // Colour (and the sanitizer build) takes every third combination.
                    if ((codeType == CodeType::Color || kLean) && shape % 3 != 0) {
                        continue;
                    }
                    Case c = shapeCase(modules, kRingCounts[shape % 5], codeType, random, strength);
                    c.symbol.payloadType = type;
                    c.text = fillingPayload(type, c.symbol, random.uniformReal(0.3, 1.0), random);
                    if (c.text.empty()) {
                        ++tooSmall;  // a 16-module symbol at High holds no payload at all
                        continue;
                    }
                    expectRoundTrip(c);
                    ++cases;
                }
            }
        }
    }
    std::cout << "[ round trip ] " << cases << " clean symbols; " << tooSmall
              << " combinations hold no payload of their type\n";
}

TEST(RoundTrip, SymbolSizesInTheReadersSquare) {
    SeededRandom random(7);
    // The smallest symbols: ring pitch 23 px, the least the inner zebra needs in a 640 view.
    for (const int modules : kModulesPerRing) {
        for (const CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
            Case c = shapeCase(modules, 2, codeType, random);
            c.render.ringPitch = minimumRingPitch(modules);
            c.text = fillingPayload(PayloadType::Letters, c.symbol, 0.8, random);
            expectRoundTrip(c);
        }
    }
    // Diameters across the range, with as many rings as the smallest pitch allows.
    const double diameters[] = {300, 360, 420, 480, 540, 620};
    int tooSmall = 0;
    for (const double diameter : diameters) {
        for (const int modules : kModulesPerRing) {
            if (kLean && modules % 32 != 16) {
                continue;
            }
            const double pitch = minimumRingPitch(modules);
            const double disc = std::max(0.75 * pitch, 22.0);
            const int rings = static_cast<int>((diameter / 2 - disc) / pitch) - 3;
            Case c;
            c.symbol.modulesPerRing = modules;
            c.symbol.ringCount = std::min(rings, writer::maxRingCount(c.symbol.codeType, modules));
            c.symbol.eccStrength = ECCtype::Low;
            c.render.imageSize = kReaderSquare;
            c.render.diameter = diameter;
            c.render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
            c.text = fillingPayload(PayloadType::Automatic, c.symbol, 0.9, random);
            if (c.text.empty()) {
                ++tooSmall;
                continue;
            }
            expectRoundTrip(c);
        }
    }
    std::cout << "[ sizes ] " << tooSmall << " black-and-white sizes hold no payload\n";
}

TEST(RoundTrip, LargerImagesWithTheSymbolScaledAlike) {
    SeededRandom random(11);
    // A 1280 x 960 frame: the reader halves it, so every size doubles.
    const cv::Size frame(1280, 960);
    const struct {
        int rings;
        double workingDiameter;
    } shapes[] = {{2, 290}, {4, 400}, {6, 470}};
    for (const auto& shape : shapes) {
        for (const int modules : kModulesPerRing) {
            if (kLean && modules != 48) {
                continue;
            }
            for (const CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
                Case c = shapeCase(modules, shape.rings, codeType, random);
                c.render.imageSize = frame;
                c.render.diameter = 2 * shape.workingDiameter;
                c.text = fillingPayload(PayloadType::Automatic, c.symbol, 0.7, random);
                expectRoundTrip(c);
            }
        }
    }
}

TEST(RoundTrip, EveryRotationInFifteenDegreeStepsPlainAndMirrored) {
    SeededRandom random(15);
    const int step = kLean ? 45 : 15;
    for (const int modules : {16, 48, 80}) {
        for (int degrees = 0; degrees < 360; degrees += step) {
            for (const bool mirrored : {false, true}) {
                Case c = shapeCase(modules, 4, CodeType::BlackAndWhite, random);
                c.render.startAngle = degrees * CV_PI / 180.0;
                c.render.mirrored = mirrored;
                c.text = fillingPayload(PayloadType::Letters, c.symbol, 0.6, random);
                expectRoundTrip(c);
            }
        }
    }
}

TEST(RoundTrip, BinaryPayloadComesBackAsDigitsOrHexadecimal) {
    SeededRandom random(23);
    Case c = shapeCase(32, 6, CodeType::BlackAndWhite, random);
    c.symbol.payloadType = PayloadType::Binary;
    c.text = fillingPayload(PayloadType::Binary, c.symbol, 0.8, random);
    const test::WrittenSymbol written = writeSymbol(c.text, c.symbol, c.render);
    EXPECT_EQ(readSymbol(written.image, CodeType::BlackAndWhite).payload, c.text);
    EXPECT_EQ(
        readSymbol(written.image, CodeType::BlackAndWhite, BinaryFormat::HexaLowerCase).payload,
        binaryToHex(c.text, true));
    EXPECT_EQ(
        readSymbol(written.image, CodeType::BlackAndWhite, BinaryFormat::HexaUpperCase).payload,
        binaryToHex(c.text, false));

    // Hexadecimal in: what the reader gives back in hexadecimal is what was written.
    c.text = "0x0123456789abcdef";
    const test::WrittenSymbol hex = writeSymbol(c.text, c.symbol, c.render);
    EXPECT_EQ(readSymbol(hex.image, CodeType::BlackAndWhite, BinaryFormat::HexaLowerCase).payload,
              c.text);
}

TEST(RoundTrip, GreyInputAndUnenhancedInput) {
    SeededRandom random(31);
    Case c = shapeCase(48, 5, CodeType::BlackAndWhite, random);
    c.text = fillingPayload(PayloadType::Ascii, c.symbol, 0.9, random);
    const test::WrittenSymbol written = writeSymbol(c.text, c.symbol, c.render);
    cv::Mat grey;
    cv::extractChannel(written.image, grey, 0);
    EXPECT_EQ(readSymbol(grey, CodeType::BlackAndWhite).payload, c.text);
    EXPECT_EQ(
        readSymbol(written.image, CodeType::BlackAndWhite, BinaryFormat::Binary, false).payload,
        c.text);
}

// The stage trace of one decode: only the lines of stage names and alternatives.
std::vector<std::string> traceOf(const cv::Mat& image) {
    test::LogCapture log(LogLevel::Debug);
    EXPECT_TRUE(readSymbol(image, CodeType::BlackAndWhite).decoded);
    return log.trace();
}

int count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(RoundTrip, HeadOnSymbolTakesTheFirstPathAndAMirroredOneTheFlippedView) {
    SeededRandom random(41);
    Case c = shapeCase(48, 4, CodeType::BlackAndWhite, random);
    c.text = "first path";
    const std::vector<std::string> plain = traceOf(writeSymbol(c.text, c.symbol, c.render).image);
    for (const char* stage :
         {" findCenter", "  findInnerZebra", "   perspectiveTransform", "    findStartMarker",
          "     findOuterZebra", "      findRadialZebra", "       readMaskedData"}) {
        EXPECT_EQ(count(plain, stage), 1) << stage;
    }
    EXPECT_EQ(count(plain, "   |normal image"), 1);
    for (const char* alternative :
         {" |affine transform", "   |transform 1", "   |flipped image", "     |transform 2"}) {
        EXPECT_EQ(count(plain, alternative), 0) << alternative;
    }

    c.render.mirrored = true;
    const std::vector<std::string> mirrored =
        traceOf(writeSymbol(c.text, c.symbol, c.render).image);
    EXPECT_EQ(count(mirrored, "   |flipped image"), 1);
    EXPECT_EQ(count(mirrored, " |affine transform"), 0);
}

TEST(RoundTrip, NoSymbolFailsWithACode) {
    const cv::Mat blank(480, 640, CV_8UC3, cv::Scalar(255, 255, 255));
    const test::ReadResult read = readSymbol(blank, CodeType::BlackAndWhite);
    EXPECT_FALSE(read.decoded);
    EXPECT_GT(read.errorCode, 0);
}

}  // namespace
}  // namespace qcl
