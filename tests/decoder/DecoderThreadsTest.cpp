// Several threads reading at once: every call of the reader must give what the same call gives
// on one thread, so the reader must hold no shared mutable state. The thread tests also run
// under ThreadSanitizer.
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

constexpr int kThreads = 8;
// Side of the test images: small, so that the sanitizer build runs the test quickly.
constexpr int kImageSide = 320;

struct Input {
    cv::Mat image;
    CodeType codeType;
};

cv::Mat written(const std::string& text, CodeType codeType, double angle) {
    writer::SymbolOptions symbol;
    symbol.codeType = codeType;
    RenderOptions render;
    render.imageSize = {kImageSide, kImageSide};
    render.startAngle = angle;
    return test::writeSymbol(text, symbol, render).image;
}

// Decodable symbols of both code types, two symbols in one image, and a disc without a symbol
// (a failure whose code must also be the same).
std::vector<Input> inputs() {
    std::vector<Input> result = {
        {written("threads at once", CodeType::BlackAndWhite, 0.0), CodeType::BlackAndWhite},
        {written("colour from eight threads", CodeType::Color, 1.0), CodeType::Color},
    };
    cv::Mat pair;
    cv::hconcat(written("left", CodeType::BlackAndWhite, 0.5),
                written("right", CodeType::BlackAndWhite, 4.0), pair);
    result.push_back({pair, CodeType::BlackAndWhite});
    cv::Mat disc(kImageSide, kImageSide, CV_8UC3, cv::Scalar::all(255));
    cv::circle(disc, {kImageSide / 2, kImageSide / 2}, kImageSide / 4, cv::Scalar::all(0), -1);
    result.push_back({disc, CodeType::BlackAndWhite});
    return result;
}

// Everything both entries report about one image, as one text.
std::string readAll(const Input& input) {
    DecodeParameters parameters;
    parameters.codeType = input.codeType;
    std::ostringstream out;
    out.precision(17);
    try {
        const std::string payload = decode(parameters, input.image, true);
        out << "decode " << payload << '\n';
    } catch (const QCException& error) {
        out << "decode failed " << error.code << '\n';
    }
    const DecodeAllResult all = decodeAll(parameters, input.image, DecodeOptions{});
    for (const DecodedSymbol& symbol : all.symbols) {
        out << symbol.payload << ' ' << symbol.center << ' ' << symbol.startMarkerAngle << ' '
            << symbol.correctedSymbols << '\n';
    }
    out << "failure " << all.failure.errorCode << ' ' << all.failure.stage << '\n';
    // The whole-image read's options: either code type, what each stage found, one symbol. Either
    // code type starts with black and white, which would cost a colour symbol a whole failing
    // search: colour symbols are read as colour.
    DecodeOptions options;
    options.autoCodeType = input.codeType == CodeType::BlackAndWhite;
    options.traceStages = true;
    options.maxSymbols = 1;
    const DecodeAllResult traced = decodeAll(parameters, input.image, options);
    for (const DecodedSymbol& symbol : traced.symbols) {
        out << "traced " << symbol.payload << ' ' << static_cast<int>(symbol.codeType) << ' '
            << symbol.trace.reachedStage << ' ' << symbol.trace.modules.size() << '\n';
    }
    out << "traced failure " << traced.failure.errorCode << ' ' << traced.failureTrace.reachedStage
        << ' ' << traced.failureTrace.modules.size() << '\n';
    return out.str();
}

TEST(DecoderThreads, EightThreadsReadWhatOneThreadReads) {
    // The vision library's worker pool hands work over in code a race detector does not see,
    // which it would report as races; the reader's own threads are what is tested.
    cv::setNumThreads(0);
    const std::vector<Input> images = inputs();
    std::vector<std::string> expected;
    for (const Input& input : images) {
        expected.push_back(readAll(input));
    }
    ASSERT_NE(expected[0].find("decode threads at once\n"), std::string::npos) << expected[0];
    ASSERT_NE(expected[2].find("\nright "), std::string::npos) << expected[2];
    ASSERT_EQ(expected[3].rfind("decode failed ", 0), 0U) << expected[3];
    ASSERT_NE(expected[1].find("traced colour from eight threads 1 "), std::string::npos)
        << expected[1];
    // One symbol asked for, one symbol read (either of the two).
    ASSERT_EQ(expected[2].find("traced left 0 ") == std::string::npos,
              expected[2].find("traced right 0 ") != std::string::npos)
        << expected[2];

    // Each thread starts at another image, so different images are read at the same time.
    std::vector<std::vector<std::string>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < images.size(); ++i) {
                got[t].push_back(readAll(images[(t + i) % images.size()]));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(got[t][i], expected[(t + i) % images.size()]) << "thread " << t;
        }
    }
}

}  // namespace
}  // namespace qcl
