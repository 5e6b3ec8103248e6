// The locator and the whole-image read: symbols anywhere, of any size, several per image, each
// reported once, nothing reported where there is none.
#include "decoder/Locator.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "support/RoundTrip.h"

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
    cv::Point topLeft;  // may lie partly outside the page: the part inside is drawn
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
        symbol(inside - where.tl()).copyTo(image(inside));
    }
    return image;
}

TEST(DecodeAll, SymbolsAnywhereAreReadOnceEachInReadingOrder) {
    struct Case {
        const char* name;
        cv::Size size;
        std::vector<Placed> symbols;
        bool text;
        std::vector<std::string> expected;  // in reading order
    };
    const Case cases[] = {
        {"two side by side",
         {1280, 640},
         {{"right", 560, {680, 40}}, {"left", 560, {40, 40}}},
         false,
         {"left", "right"}},
        {"two stacked, the lower one further left",
         {640, 1000},
         {{"lower", 300, {40, 620}}, {"upper", 300, {300, 40}}},
         false,
         {"upper", "lower"}},
        {"beside lines of text", {1280, 960}, {{"page", 640, {600, 200}}}, true, {"page"}},
        {"small, off centre", {640, 640}, {{"small", 160, {60, 420}}}, false, {"small"}},
        {"at the border, quiet zone cut off",
         {640, 640},
         {{"edge", 300, {-12, 352}}},
         false,
         {"edge"}},
        {"300 px in a 4000 x 3000 photo",
         {4000, 3000},
         {{"photo", 300, {2500, 1200}}},
         false,
         {"photo"}},
        {"centred: the designed search and the locator find the same symbol",
         {640, 640},
         {{"once", 576, {32, 32}}},
         false,
         {"once"}},
    };
    for (const Case& c : cases) {
        const cv::Mat image = page(c.size, c.symbols, c.text);
        const DecodeAllResult result = decodeAll(DecodeParameters{}, image, DecodeOptions{});
        std::vector<std::string> read;
        for (const DecodedSymbol& symbol : result.symbols) {
            read.push_back(symbol.payload);
        }
        EXPECT_EQ(read, c.expected) << c.name;
        for (std::size_t i = 0; i < result.symbols.size() && i < c.symbols.size(); ++i) {
            // Each centre lies inside a placed symbol of that text.
            for (const Placed& p : c.symbols) {
                if (p.text == result.symbols[i].payload) {
                    const cv::Point2d middle(p.topLeft.x + p.width / 2.0,
                                             p.topLeft.y + p.width / 2.0);
                    EXPECT_LT(cv::norm(result.symbols[i].center - middle), p.width * 0.05)
                        << c.name;
                }
            }
        }
    }
}

TEST(DecodeAll, SymbolLimitAndAnImageWithoutSymbols) {
    const cv::Mat two = page({1280, 640}, {{"left", 560, {40, 40}}, {"right", 560, {680, 40}}});
    DecodeOptions one;
    one.maxSymbols = 1;
    EXPECT_EQ(decodeAll(DecodeParameters{}, two, one).symbols.size(), 1u);
    // The candidate limit holds for every value, none asked included (a fuzz find).
    for (int limit : {0, 1, 2}) {
        LocatorOptions options;
        options.maxCandidates = limit;
        EXPECT_EQ(locateSymbols(two, options).size(), static_cast<std::size_t>(limit));
    }

    // Plain rings have no marker: not even proposed.
    cv::Mat rings = page({640, 640}, {});
    cv::circle(rings, {320, 320}, 120, cv::Scalar::all(0), cv::FILLED);
    cv::circle(rings, {320, 320}, 50, cv::Scalar::all(255), cv::FILLED);
    EXPECT_TRUE(locateSymbols(rings).empty());

    // Disc-like shapes that are no symbol, beside text: white discs in black, some with a bar.
    cv::Mat shapes = page({1280, 960}, {}, true);
    for (int i = 0; i < 6; ++i) {
        const cv::Point c(150 + 200 * i, 480);
        cv::circle(shapes, c, 60, cv::Scalar::all(0), cv::FILLED);
        cv::circle(shapes, c, 25, cv::Scalar::all(255), cv::FILLED);
        if (i % 2 == 1) {
            cv::line(shapes, c + cv::Point(20, 0), c + cv::Point(90 + 10 * i, 0),
                     cv::Scalar::all(0), 6);
        }
    }
    const DecodeAllResult none = decodeAll(DecodeParameters{}, shapes, DecodeOptions{});
    EXPECT_TRUE(none.symbols.empty());
    EXPECT_NE(none.failure.errorCode, 0);
}

TEST(Decode, FallsBackToTheLocatedSymbolWhenTheDesignedSearchFails) {
    // Beside text the designed centre search sees the page, not the disc.
    const cv::Mat image = page({1280, 960}, {{"fallback", 500, {700, 300}}}, true);
    EXPECT_EQ(decode(DecodeParameters{}, image, true), "fallback");
    EXPECT_THROW(decode(DecodeParameters{}, page({1280, 960}, {}, true), true), QCException);
}

}  // namespace
}  // namespace qcl
