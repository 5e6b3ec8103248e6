// The shared writer: what it refuses, and that what it hands out reads back.
#include "writer/SymbolWriter.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ProgramRunner.h"
#include "support/ThrownCode.h"

namespace qcl::writer {
namespace {

SymbolRequest request(const std::string& payload, const RenderOptions& render) {
    SymbolRequest r;
    r.payload = payload;
    r.render = render;
    return r;
}

RenderOptions imageOf(int side) {
    RenderOptions render;
    render.imageSize = cv::Size(side, side);
    return render;
}

// The message of the refusal, or "" when the symbol is handed out.
std::string refusal(const SymbolRequest& r) {
    try {
        writeCheckedSymbol(r);
    } catch (const QCException& e) {
        return e.what();
    }
    return "";
}

TEST(SymbolWriter, RefusesWhatCannotBeWrittenOrRead) {
    RenderOptions tinyDisc;
    tinyDisc.diameter = 50;
    RenderOptions thinRings;
    thinRings.ringPitch = 2;
    SymbolRequest manyRings = request("Hello", imageOf(640));
    manyRings.symbol.ringCount = 100;
    const struct {
        SymbolRequest request;
        std::string message;  // "" when written
    } cases[] = {
        {request("", imageOf(640)), "the payload is empty; a symbol holds at least one character"},
        {request("x", imageOf(kMaxImageSide + 1)), "at most 20000 px a side are drawn"},
        {request("Hello", imageOf(100)),
         "our reader does not read this symbol at an image of 100 x 100 px; the smallest size "
         "that reads is an image of "},
        {request("Hello", tinyDisc),
         "at a diameter of 50 px; the smallest size that reads is a "
         "diameter of "},
        {request("Hello", thinRings), "at a ring pitch of 2 px; the smallest size that reads is"},
        {manyRings, "at an image of 640 x 640 px; no larger size reads it either"},
        {request("Hello", imageOf(300)), ""},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.request);
        EXPECT_TRUE(c.message.empty() ? message.empty() : test::contains(message, c.message))
            << message;
    }
}

// The size a refusal names reads, and forcing hands out the unreadable drawing as asked.
TEST(SymbolWriter, TheSizeNamedReadsAndForceWritesAnyway) {
    SymbolRequest small = request("Hello", imageOf(100));
    const std::string message = refusal(small);
    const std::string marker = "an image of ";
    const std::size_t at = message.rfind(marker);
    ASSERT_NE(at, std::string::npos) << message;
    const int side = std::stoi(message.substr(at + marker.size()));
    EXPECT_GT(side, 100);
    EXPECT_LT(side, 640);
    EXPECT_EQ(refusal(request("Hello", imageOf(side))), "");

    small.force = true;
    const CheckedSymbol forced = writeCheckedSymbol(small);
    EXPECT_EQ(forced.image.size(), cv::Size(100, 100));
    EXPECT_FALSE(readsBack(forced.image, forced.content, small.payload));
}

// Every layout and both code types read back with the reader told the layout (a read with any
// other layout fails); so do bytes that are no text, written as Binary.
TEST(SymbolWriter, EveryLayoutReadsBackWithTheMatchingReaderLayout) {
    for (int layout = 0; layout <= 5; ++layout) {
        for (const CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
            SymbolRequest r = request("Layout 12345", imageOf(480));
            r.symbol.layout = static_cast<Layout>(layout);
            r.symbol.codeType = codeType;
            const CheckedSymbol written = writeCheckedSymbol(r);
            EXPECT_EQ(written.content.layout, r.symbol.layout);
        }
    }
    const CheckedSymbol bytes =
        writeCheckedSymbol(request(std::string("\xff\x00\x80", 3), imageOf(400)));
    EXPECT_EQ(bytes.content.payloadType, PayloadType::Binary);
}

}  // namespace
}  // namespace qcl::writer
