// Writer -> image -> reader: clean symbols of every shape must decode to the exact payload.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/Angles.h"
#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/RoundTrip.h"
#include "writer/SymbolSizing.h"

namespace qcl {
namespace {

using test::fillingPayload;
using test::readSymbol;
using test::SeededRandom;
using test::writeSymbol;

// Most rings that fit a 640-px view at the smallest ring pitch.
constexpr int kMaxRingsIn640 = 9;
// Payload bytes a case wants room for at least.
constexpr std::size_t kMinPayloadBytes = 3;

struct Case {
    std::string text;
    writer::SymbolOptions symbol;
    RenderOptions render;
};

// Writes and reads one case, from a grey copy when asked; the payload must come back exactly.
void expectRoundTrip(const Case& c, bool grey = false) {
    cv::Mat image = writeSymbol(c.text, c.symbol, c.render).image;
    if (grey) {
        cv::extractChannel(image, image, 0);
    }
    const test::ReadResult read = readSymbol(image, c.symbol.codeType);
    EXPECT_TRUE(read.decoded) << "error " << read.errorCode;
    EXPECT_EQ(read.payload, c.text);
}

// A symbol of `modules` per ring and at least `rings` rings (more when the strength leaves too
// little room for a payload) filling the reader's 640 x 640 square.
Case shapeCase(int modules, int rings, CodeType codeType, ECCtype strength = ECCtype::Medium) {
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
    c.render.imageSize = cv::Size(640, 640);
    return c;
}

// Every modules-per-ring value, strength and payload type in both code types, ring counts from
// 2 to 9, start markers all round, plain and mirrored, some read from grey images.
TEST(RoundTrip, ShapesStrengthsPayloadTypesAndRotations) {
    const struct {
        int modules, rings;
        CodeType codeType;
        ECCtype strength;
        PayloadType type;
        int degrees;
        bool mirrored, grey;
    } cases[] = {
        {16, 5, CodeType::BlackAndWhite, ECCtype::Low, PayloadType::Digits, 0, false, false},
        {16, 9, CodeType::Color, ECCtype::Medium, PayloadType::Letters, 135, true, false},
        {32, 2, CodeType::BlackAndWhite, ECCtype::Quartile, PayloadType::Numbers, 30, false, true},
        {32, 7, CodeType::Color, ECCtype::High, PayloadType::Ascii, 210, false, false},
        {48, 3, CodeType::BlackAndWhite, ECCtype::High, PayloadType::Binary, 345, true, false},
        {48, 9, CodeType::Color, ECCtype::Low, PayloadType::UTF8, 60, false, false},
        {64, 5, CodeType::BlackAndWhite, ECCtype::Medium, PayloadType::Automatic, 165, false, true},
        {64, 2, CodeType::Color, ECCtype::Quartile, PayloadType::Digits, 270, true, false},
        {80, 9, CodeType::BlackAndWhite, ECCtype::Low, PayloadType::Letters, 90, true, false},
        {80, 3, CodeType::Color, ECCtype::Medium, PayloadType::Ascii, 315, false, false},
    };
    SeededRandom random(2026);
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.modules << " x " << k.rings << " " << k.degrees);
        Case c = shapeCase(k.modules, k.rings, k.codeType, k.strength);
        c.symbol.payloadType = k.type;
        c.render.startAngle = k.degrees * kDegree;
        c.render.mirrored = k.mirrored;
        c.text = fillingPayload(k.type, c.symbol, random.uniformReal(0.3, 1.0), random);
        ASSERT_FALSE(c.text.empty());
        expectRoundTrip(c, k.grey);
    }
}

// Sixteen modules per ring leave shallow notches in the inner zebra; at some rotations (30 degrees
// and its quarter turns for one payload, 17 degrees and its quarter turns for others) an edge
// used to slip into the next notch. The designed search alone must read them: the locator's
// fallback would hide the fault.
TEST(RoundTrip, SixteenModulesNineRingsAtEveryRotation) {
    Case c = shapeCase(16, 9, CodeType::BlackAndWhite);
    DecodeParameters parameters;
    parameters.codeType = c.symbol.codeType;
    for (const char* text : {"0b0001", "0b1011"}) {
        c.text = text;
        for (int degrees : {0, 17, 30, 45, 107, 120, 197, 210, 287, 300}) {
            SCOPED_TRACE(degrees);
            c.render.startAngle = degrees * CV_PI / 180;
            const cv::Mat image = writeSymbol(c.text, c.symbol, c.render).image;
            EXPECT_EQ(runDesignedDecode(parameters, image, false, realStages()).payload, c.text);
        }
    }
}

// The whole-image read reports where the symbol is and how it is built, in the caller's pixels:
// centre and rim within a few pixels, the marker's direction, mirroring and shape.
TEST(DecodeAll, ReportsTheSymbolAsDrawn) {
    struct View {
        double angle;
        bool mirrored;
        cv::Size imageSize;
    };
    const View views[] = {{0.0, false, {640, 640}},
                          {1.1, false, {640, 640}},
                          {2.5, true, {640, 640}},
                          {0.7, false, {1280, 960}}};
    for (const View& view : views) {
        SCOPED_TRACE(::testing::Message() << view.angle << " " << view.imageSize);
        Case c = shapeCase(32, 7, CodeType::BlackAndWhite);
        c.text = "where am I";
        c.render.startAngle = view.angle;
        c.render.mirrored = view.mirrored;
        c.render.imageSize = view.imageSize;
        const test::WrittenSymbol written = writeSymbol(c.text, c.symbol, c.render);
        DecodeParameters parameters;
        const DecodeAllResult result = decodeAll(parameters, written.image, DecodeOptions{});
        ASSERT_EQ(result.symbols.size(), 1u);
        const DecodedSymbol& symbol = result.symbols[0];
        const SymbolGeometry& drawn = written.geometry;
        // A few working-image pixels, in the caller's pixels.
        const double tolerance = 3.0 * drawn.workingScale;
        EXPECT_EQ(symbol.payload, c.text);
        EXPECT_EQ(symbol.modulesPerRing, 32);
        EXPECT_EQ(symbol.ringCount, c.symbol.ringCount);
        EXPECT_EQ(symbol.mirrored, view.mirrored);
        EXPECT_LT(cv::norm(symbol.center - drawn.center), tolerance);
        const double turn = std::remainder(symbol.startMarkerAngle - drawn.startAngle, kTwoPi);
        EXPECT_LT(std::abs(turn), 0.1);
        ASSERT_FALSE(symbol.outline.empty());
        for (const cv::Point2d& p : symbol.outline) {
            EXPECT_NEAR(cv::norm(p - drawn.center), drawn.outerRadius(), 2 * tolerance);
        }
    }
}

}  // namespace
}  // namespace qcl
