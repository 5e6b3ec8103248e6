// A misread campaign: writer symbols under heavy distortions, and images that hold no symbol,
// read by the whole-image reader. A symbol image may read right or not at all; a no-symbol image
// must read nothing. Counts images, decodes, misreads and false positives; with --compare, the
// designed search also runs with header and checksum alone (the frame checks before the writer's
// layout rules) so the decode rate and the misreads of both sets of checks stand side by side.
//
//   quorview_misread_campaign [--count N] [--seed S] [--compare] [--progress K]
//
// N symbol images and N no-symbol images; every K images a progress line. Image i is drawn from
// seed S + i alone, so a case printed as "misread i" replays with --seed S+i --count 1.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PhotoScene.h"
#include "common/ImageMemory.h"
#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/RoundTrip.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"
#include "writer/SymbolSizing.h"

namespace {

using qcl::CodeType;

using qcl::test::SeededRandom;

// The reader's working width: symbol images are drawn at it before they are shrunk.
constexpr int kCanvas = 640;
// Narrowest image a distorted symbol is shrunk to.
constexpr int kNarrowest = 80;

struct Counts {
    long images = 0;
    long decoded = 0;
    long misread = 0;        // a payload the symbol does not hold
    long laxDecoded = 0;     // --compare: designed search, header and checksum only
    long laxMisread = 0;     // --compare: its wrong payloads (no-symbol images: any payload)
    long strictDecoded = 0;  // --compare: designed search, every frame check
    long frameChecks = 0;    // --compare: decodeFrame calls of the designed search
};

// One random symbol shape and content, written by the writer; throws when it does not fit.
qcl::test::WrittenSymbol tryRandomSymbol(SeededRandom& random, std::string& text) {
    qcl::writer::SymbolOptions options;
    options.codeType = random.uniformInt(0, 3) == 0 ? CodeType::Color : CodeType::BlackAndWhite;
    options.modulesPerRing = 16 * random.uniformInt(1, 5);
    const int most =
        std::min(9, qcl::writer::maxRingCount(options.codeType, options.modulesPerRing));
    options.ringCount = random.uniformInt(2, std::max(2, most));
    options.eccStrength = static_cast<qcl::ECCtype>(random.uniformInt(0, 3));
    const qcl::PayloadType types[] = {qcl::PayloadType::Automatic, qcl::PayloadType::Digits,
                                      qcl::PayloadType::Ascii};
    const qcl::PayloadType type = types[random.uniformInt(0, 2)];
    text = qcl::test::fillingPayload(type, options, random.uniformReal(0.2, 1.0), random);
    if (text.empty()) {
        text = "0";
    }
    qcl::RenderOptions render;
    render.imageSize = cv::Size(kCanvas, kCanvas);
    render.diameter = random.uniformReal(0.3, 0.95) * kCanvas;
    render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
    render.mirrored = random.uniformInt(0, 7) == 0;
    return qcl::test::writeSymbol(text, options, render);
}

// Random symbol shape and content, written by the writer; shapes too small for the strength are
// drawn again.
qcl::test::WrittenSymbol writeRandomSymbol(SeededRandom& random, std::string& text) {
    for (;;) {
        try {
            return tryRandomSymbol(random, text);
        } catch (const qcl::QCException&) {
        }
    }
}

// Every family at its heavy levels, then the whole image shrunk to a random width.
cv::Mat distort(const cv::Mat& image, SeededRandom& random) {
    cv::Mat out = image;
    switch (random.uniformInt(0, 5)) {
        case 0:
            out = qcl::test::gaussianBlur(out, random.uniformReal(2.0, 6.0));
            break;
        case 1:
            out = qcl::test::addGaussianNoise(out, random.uniformReal(25.0, 70.0), random.seed());
            break;
        case 2:
            out = qcl::test::tilt(out, random.uniformReal(0.3, 0.6), random.uniformReal(0, CV_PI));
            break;
        case 3:
            out = qcl::test::rotateAndScale(out, random.uniformReal(0, 2 * CV_PI),
                                            random.uniformReal(0.4, 1.0));
            break;
        case 4:  // several at once, milder
            out = qcl::test::gaussianBlur(out, random.uniformReal(1.0, 3.0));
            out = qcl::test::addGaussianNoise(out, random.uniformReal(10.0, 30.0), random.seed());
            break;
        default:
            break;  // JPEG and size alone
    }
    const int width = random.uniformInt(kNarrowest, kCanvas);
    if (width < kCanvas) {
        cv::resize(out, out, cv::Size(width, width), 0, 0, cv::INTER_AREA);
    }
    return qcl::test::jpegRoundTrip(out, random.uniformInt(5, 60));
}

// Noise, textures, text, discs and rings, or a symbol whose data modules are noise.
cv::Mat noSymbolImage(SeededRandom& random, CodeType& codeType) {
    codeType = random.uniformInt(0, 3) == 0 ? CodeType::Color : CodeType::BlackAndWhite;
    const int side = random.uniformInt(kNarrowest, kCanvas);
    cv::Mat image(side, side, CV_8UC3, cv::Scalar::all(random.uniformInt(128, 255)));
    const int kind = random.uniformInt(0, 4);
    const int shapes = random.uniformInt(5, 60);
    if (kind == 0) {
        cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(255));
        cv::GaussianBlur(image, image, cv::Size(), random.uniformReal(0.3, 4.0));
    } else if (kind == 1) {  // stripes and blocks
        for (int s = 0; s < shapes; ++s) {
            const cv::Point a(random.uniformInt(0, side), random.uniformInt(0, side));
            const cv::Point b(random.uniformInt(0, side), random.uniformInt(0, side));
            cv::line(image, a, b, cv::Scalar::all(random.uniformInt(0, 80)),
                     random.uniformInt(1, side / 10 + 1));
        }
    } else if (kind == 2) {  // a page of text
        for (int y = 12; y < side; y += random.uniformInt(10, 30)) {
            const std::string line = random.text(static_cast<std::size_t>(random.uniformInt(5, 40)),
                                                 "abcdefghijklmnopqrstuvwxyz0123456789 O@o.");
            cv::putText(image, line, cv::Point(2, y), random.uniformInt(0, 7),
                        random.uniformReal(0.3, 1.2), cv::Scalar::all(0), random.uniformInt(1, 2));
        }
    } else if (kind == 3) {  // discs and rings, concentric or not
        const cv::Point centre(side / 2 + random.uniformInt(-side / 8, side / 8),
                               side / 2 + random.uniformInt(-side / 8, side / 8));
        for (int s = 0; s < shapes; ++s) {
            const bool concentric = random.uniformInt(0, 1) == 0;
            const cv::Point c =
                concentric ? centre
                           : cv::Point(random.uniformInt(0, side), random.uniformInt(0, side));
            cv::circle(image, c, random.uniformInt(2, side / 2),
                       cv::Scalar::all(random.uniformInt(0, 1) * 255), random.uniformInt(-1, 12));
        }
    } else {  // a symbol's finder and zebras around random data modules
        qcl::test::SymbolSetup setup;
        setup.codeType = codeType;
        setup.modulesPerRing = 16 * random.uniformInt(1, 5);
        setup.ringCount = random.uniformInt(
            2, std::min(9, qcl::writer::maxRingCount(setup.codeType, setup.modulesPerRing)));
        setup.diameter = random.uniformReal(0.4, 0.95) * kCanvas;
        setup.rotation = random.uniformReal(0, 2 * CV_PI);
        setup.seed = random.seed();
        image = qcl::test::renderTestSymbol(setup).image;
        if (random.uniformInt(0, 1) == 0) {
            image = qcl::test::jpegRoundTrip(image, random.uniformInt(20, 90));
        }
    }
    return image;
}

// The designed search with header and checksum alone, or with every frame check; counts calls.
qcl::StageFunctions designedStages(bool lax, long& calls) {
    qcl::StageFunctions stages = qcl::realStages();
    const auto real = stages.decodeFrame;
    stages.decodeFrame =
        [real, lax, &calls](const qcl::SamplingGrid& grid, const qcl::ModuleList& modules,
                            std::string* p, std::uint8_t* t, std::uint8_t* e, qcl::FrameReport* r) {
            ++calls;
            qcl::SamplingGrid tried = grid;
            tried.checkWriterLayout = !lax;
            return real(tried, modules, p, t, e, r);
        };
    return stages;
}

// One designed decode; true with the payload when it decoded.
bool designedDecode(const cv::Mat& image, CodeType codeType, bool lax, long& calls,
                    std::string& payload) {
    qcl::DecodeParameters parameters;
    parameters.codeType = codeType;
    try {
        payload = qcl::decode(parameters, image, true, designedStages(lax, calls));
        return true;
    } catch (const qcl::QCException&) {
        return false;
    }
}

// Reads one image; `expected` null for a no-symbol image.
void readImage(const cv::Mat& image, CodeType codeType, const std::string* expected, bool compare,
               Counts& counts, long index, const char* what) {
    ++counts.images;
    qcl::DecodeParameters parameters;
    parameters.codeType = codeType;
    const qcl::DecodeAllResult result = qcl::decodeAll(parameters, image, qcl::DecodeOptions{});
    for (const qcl::DecodedSymbol& symbol : result.symbols) {
        const bool right = expected != nullptr && symbol.payload == *expected;
        counts.decoded += right ? 1 : 0;
        if (!right) {
            ++counts.misread;
            std::printf("misread %s %ld: \"%s\"\n", what, index, symbol.payload.c_str());
        }
    }
    if (!compare) {
        return;
    }
    std::string payload;
    long laxCalls = 0;
    if (designedDecode(image, codeType, true, laxCalls, payload)) {
        const bool right = expected != nullptr && payload == *expected;
        counts.laxDecoded += right ? 1 : 0;
        counts.laxMisread += right ? 0 : 1;
    }
    if (designedDecode(image, codeType, false, counts.frameChecks, payload)) {
        counts.strictDecoded += expected != nullptr && payload == *expected ? 1 : 0;
    }
}

void printCounts(const char* what, const Counts& c, bool compare) {
    std::printf("%s: images %ld, decoded %ld, misread %ld", what, c.images, c.decoded, c.misread);
    if (compare) {
        std::printf(
            " | designed search: decoded %ld (header+checksum only: %ld, misread %ld), "
            "frame checks %.1f per image",
            c.strictDecoded, c.laxDecoded, c.laxMisread,
            c.images == 0 ? 0.0 : static_cast<double>(c.frameChecks) / c.images);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    qcl::keepImageMemory();
    long count = 1000;
    std::uint32_t seed = 1;
    long progress = 500;
    bool compare = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--count") == 0 && hasValue) {
            count = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            seed = static_cast<std::uint32_t>(std::atol(argv[++i]));
        } else if (std::strcmp(argv[i], "--progress") == 0 && hasValue) {
            progress = std::max(1L, std::atol(argv[++i]));
        } else if (std::strcmp(argv[i], "--compare") == 0) {
            compare = true;
        } else {
            std::fprintf(stderr, "usage: %s [--count N] [--seed S] [--compare] [--progress K]\n",
                         argv[0]);
            return 2;
        }
    }
    qcl::logger().setFileThreshold(qcl::LogLevel::Off);
    qcl::logger().setConsoleThreshold(qcl::LogLevel::Off);

    Counts symbols;
    Counts empty;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        const auto imageSeed = static_cast<std::uint32_t>(seed + i);
        {
            SeededRandom random(imageSeed);
            std::string text;
            const qcl::test::WrittenSymbol written = writeRandomSymbol(random, text);
            const cv::Mat image = distort(written.image, random);
            readImage(image, written.content.codeType, &text, compare, symbols, i, "symbol");
        }
        {
            SeededRandom random(imageSeed ^ 0x9E3779B9u);
            CodeType codeType = CodeType::BlackAndWhite;
            const cv::Mat image = noSymbolImage(random, codeType);
            readImage(image, codeType, nullptr, compare, empty, i, "no-symbol");
        }
        if ((i + 1) % progress == 0 || i + 1 == count) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("after %ld pairs, %.1f images/s\n", i + 1, 2.0 * (i + 1) / seconds);
            printCounts("  symbol images", symbols, compare);
            printCounts("  no-symbol images", empty, compare);
            std::fflush(stdout);
        }
    }
    return symbols.misread + empty.misread == 0 ? 0 : 1;
}
