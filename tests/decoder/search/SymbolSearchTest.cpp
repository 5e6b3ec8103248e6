// The whole-image read: symbols anywhere, of any size, several per image, each reported once,
// nothing reported where there is none.
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "decoder/search/Detector.h"
#include "support/RoundTrip.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

// The writer's whole 640 x 640 image of `text`, scaled to `width`.
cv::Mat symbolImage(const std::string& text, int width, double angle = 0.4) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.startAngle = angle;
    const cv::Mat image = test::writeSymbol(text, writer::SymbolOptions{}, render).image;
    cv::Mat scaled;
    cv::resize(image, scaled, cv::Size(width, width), 0, 0, cv::INTER_AREA);
    return scaled;
}

struct Placed {
    std::string text;
    int width;
    cv::Point topLeft;   // may lie partly outside the page: the part inside is drawn
    bool round = false;  // only the circle within the square is drawn: squares may overlap
};

cv::Mat page(cv::Size size, const std::vector<Placed>& symbols, bool text = false) {
    cv::Mat image(size, CV_8UC3, cv::Scalar::all(255));
    if (text) {
        for (int y = 40; y < size.height; y += 28) {
            cv::putText(image, "Lorem ipsum dolor sit amet 0123456789 o e a", {20, y},
                        cv::FONT_HERSHEY_SIMPLEX, 0.8, cv::Scalar::all(0), 2);
        }
    }
    for (const Placed& s : symbols) {
        const cv::Mat symbol = symbolImage(s.text, s.width);
        const cv::Rect where(s.topLeft, symbol.size());
        const cv::Rect inside = where & cv::Rect(cv::Point(0, 0), size);
        cv::Mat mask(symbol.size(), CV_8UC1, cv::Scalar(255));
        if (s.round) {
            mask.setTo(0);
            cv::circle(mask, {s.width / 2, s.width / 2}, s.width / 2, cv::Scalar(255), cv::FILLED);
        }
        symbol(inside - where.tl()).copyTo(image(inside), mask(inside - where.tl()));
    }
    return image;
}

TEST(DecodeAll, SymbolAndHypothesisLimits) {
    const cv::Mat two = page({1280, 640}, {{"left", 560, {40, 40}}, {"right", 560, {680, 40}}});
    DecodeOptions one;
    one.maxSymbols = 1;
    EXPECT_EQ(decodeAll(DecodeParameters{}, two, one).symbols.size(), 1u);
    // The hypothesis limit holds for every value, none asked included (a fuzz find).
    for (int limit : {0, 1, 2}) {
        DetectorOptions options;
        options.maxHypotheses = limit;
        SearchImage picture(two);
        EXPECT_EQ(detectSymbols(picture, options).size(), static_cast<std::size_t>(limit));
    }
}

// A white disc in a black ring, with a black bar from the ring outward like a marker; the ring
// has no notches.
// A blur that merges the modules of a 320 px symbol: only the search on the picture sharpened as a
// whole, where the detector measures the symbol again, reads it, and byte for byte.
TEST(DecodeAll, StronglyBlurredSymbolReadFromTheSharpenedPicture) {
    const std::string text = "K7#q!vR2@xY9&mB4$tW6*pL1^zN8";
    const cv::Mat picture = test::centredSymbol(text, 320);
    for (const double sigma : {3.5, 4.0}) {
        const DecodeAllResult result =
            decodeAll(DecodeParameters{}, test::gaussianBlur(picture, sigma), DecodeOptions{});
        ASSERT_EQ(result.symbols.size(), 1u) << sigma;
        EXPECT_EQ(result.symbols.front().payload, text) << sigma;
    }
}

// A 120 px symbol under a mild blur spends the picture's budget on its alternatives: the
// sharpened pass, which reads it, has views of its own.
TEST(DecodeAll, SharpenedPassRunsAfterTheBudgetIsSpent) {
    test::SeededRandom random(3);
    const std::string text = test::printableText(random, 32);
    const cv::Mat picture = test::centredSymbol(text, 120);
    const DecodeAllResult result =
        decodeAll(DecodeParameters{}, test::gaussianBlur(picture, 1.0), DecodeOptions{});
    ASSERT_EQ(result.symbols.size(), 1u);
    EXPECT_EQ(result.symbols.front().payload, text);
}

void drawDiscInRing(cv::Mat& image, cv::Point centre, int ring, int disc, int bar) {
    cv::circle(image, centre, ring, cv::Scalar::all(0), cv::FILLED);
    cv::circle(image, centre, disc, cv::Scalar::all(255), cv::FILLED);
    cv::line(image, centre + cv::Point(disc, 0), centre + cv::Point(bar, 0), cv::Scalar::all(0),
             ring / 8);
}

// Symbols anywhere, at the borders and overlapping, are read once each in reading order, each
// centre inside the symbol placed with that text.
TEST(DecodeAll, SymbolsAtBordersOverlapsAndBesideLookAlikes) {
    struct Case {
        const char* name;
        cv::Size size;
        std::vector<Placed> symbols;
        std::vector<std::string> expected;  // in reading order
        bool mayMiss = false;               // partly outside: a miss is allowed, a misread not
        bool text = false;                  // lines of text around the symbols
    };
    const Case cases[] = {
        {"two side by side",
         {1280, 640},
         {{"right", 560, {680, 40}}, {"left", 560, {40, 40}}},
         {"left", "right"}},
        {"beside lines of text", {1280, 960}, {{"page", 640, {600, 200}}}, {"page"}, false, true},
        {"at the border, quiet zone cut off", {640, 640}, {{"edge", 300, {-12, 352}}}, {"edge"}},
        {"300 px in a 4000 x 3000 photo", {4000, 3000}, {{"photo", 300, {2500, 1200}}}, {"photo"}},
        {"partly outside on the left", {1280, 960}, {{"cut", 400, {-130, 300}}}, {"cut"}, true},
        {"inside, touching the right border", {1280, 960}, {{"right", 300, {980, 80}}}, {"right"}},
        {"two whose squares overlap",
         {1000, 1000},
         {{"first", 420, {100, 100}, true}, {"second", 420, {400, 400}, true}},
         {"first", "second"}},
    };
    for (const Case& c : cases) {
        const cv::Mat image = page(c.size, c.symbols, c.text);
        const DecodeAllResult result = decodeAll(DecodeParameters{}, image, DecodeOptions{});
        std::vector<std::string> read;
        for (const DecodedSymbol& symbol : result.symbols) {
            read.push_back(symbol.payload);
            for (const Placed& p : c.symbols) {
                const cv::Point2d middle = cv::Point2d(p.topLeft) + cv::Point2d(1, 1) * p.width / 2;
                if (p.text == symbol.payload && !c.mayMiss) {
                    EXPECT_LT(cv::norm(symbol.center - middle), p.width * 0.05) << c.name;
                }
            }
        }
        if (!c.mayMiss || !read.empty()) {
            EXPECT_EQ(read, c.expected) << c.name;
        }
    }

    // Look-alikes: a disc ringed by black without notches, with and without a marker-like bar,
    // beside a real symbol, at several sizes: only the symbol is proposed and read.
    cv::Mat shapes = page({1280, 960}, {{"real", 320, {900, 500}}});
    drawDiscInRing(shapes, {200, 200}, 120, 40, 300);
    drawDiscInRing(shapes, {600, 250}, 80, 30, 60);
    drawDiscInRing(shapes, {250, 700}, 150, 25, 330);
    SearchImage picture(shapes);
    const std::vector<Hypothesis> hypotheses = detectSymbols(picture);
    ASSERT_EQ(hypotheses.size(), 1u);
    EXPECT_LT(cv::norm(hypotheses[0].center - cv::Point2d(1060, 660)), 8.0);
    const DecodeAllResult result = decodeAll(DecodeParameters{}, shapes, DecodeOptions{});
    ASSERT_EQ(result.symbols.size(), 1u);
    EXPECT_EQ(result.symbols[0].payload, "real");
}

}  // namespace
}  // namespace qcl
