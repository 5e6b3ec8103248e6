#include "bench/misread/MisreadMix.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

#include "bench/eval/EvalFamilies.h"
#include "common/ErrorCodes.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"
#include "writer/SymbolSizing.h"

namespace qcl::misread {
namespace {

using eval::Family;
using eval::SymbolCount;
using test::SeededRandom;

// Shares of the mix, as "one in N".
constexpr int kColourOneIn = 4;    // symbols written and read in colour (all of the colour family)
constexpr int kMirroredOneIn = 8;  // symbols drawn as their mirror image
constexpr int kJpegOneIn = 2;      // pictures JPEG-compressed after their family's distortion
// Smallest and largest share of a symbol's capacity its payload fills.
constexpr double kLeastFilled = 0.2;
constexpr double kMostFilled = 1.0;
// The no-symbol pictures of one seed come from a stream of their own.
constexpr std::uint32_t kNoSymbolStream = 0x9E3779B9u;
// Most rings of a drawn symbol.
constexpr int kMostRings = 9;
// Modules per ring are 16 times 1 to 5.
constexpr int kModuleStep = 16;
constexpr int kMostModuleSteps = 5;

const std::vector<const Family*>& familiesWith(bool symbols) {
    static const auto pick = [](bool wanted) {
        std::vector<const Family*> chosen;
        for (const Family& family : eval::families()) {
            if ((family.count != SymbolCount::None) == wanted) {
                chosen.push_back(&family);
            }
        }
        return chosen;
    };
    static const std::vector<const Family*> withSymbols = pick(true);
    static const std::vector<const Family*> without = pick(false);
    return symbols ? withSymbols : without;
}

const Family& anyOf(const std::vector<const Family*>& families, SeededRandom& random) {
    return *families[random.uniformInt(0, static_cast<int>(families.size()) - 1)];
}

// One of the upper half of a family's levels, which run from light to heavy.
double heavyLevel(const Family& family, SeededRandom& random) {
    const int count = static_cast<int>(family.levels.size());
    return family.levels[random.uniformInt(count / 2, count - 1)];
}

// A symbol of random shape and content, to be drawn in a full writer picture.
struct RandomSymbol {
    std::string text;
    writer::SymbolContent content;
    RenderOptions render;

    cv::Mat draw(const ModuleList& modules) const {
        const SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                      render);
        return renderer.render(modules);
    }
};

// Throws what the writer throws when the shape is too small for the strength.
RandomSymbol tryRandomSymbol(CodeType codeType, SeededRandom& random) {
    writer::SymbolOptions options;
    options.codeType = codeType;
    options.modulesPerRing = kModuleStep * random.uniformInt(1, kMostModuleSteps);
    const int most = std::min(kMostRings, writer::maxRingCount(codeType, options.modulesPerRing));
    options.ringCount = random.uniformInt(2, std::max(2, most));
    options.eccStrength = static_cast<ECCtype>(random.uniformInt(0, 3));
    const PayloadType types[] = {PayloadType::Automatic, PayloadType::Digits, PayloadType::Ascii};
    const PayloadType type = types[random.uniformInt(0, 2)];
    RandomSymbol symbol;
    symbol.text =
        test::fillingPayload(type, options, random.uniformReal(kLeastFilled, kMostFilled), random);
    if (symbol.text.empty()) {
        symbol.text = "0";
    }
    symbol.content = writer::encodeSymbol(symbol.text, options);
    symbol.render.imageSize = cv::Size(eval::kPictureSide, eval::kPictureSide);
    symbol.render.startAngle = random.uniformReal(0.0, 2.0 * CV_PI);
    symbol.render.mirrored = random.uniformInt(1, kMirroredOneIn) == 1;
    return symbol;
}

RandomSymbol randomSymbol(CodeType codeType, SeededRandom& random) {
    for (;;) {
        try {
            return tryRandomSymbol(codeType, random);
        } catch (const QCException&) {
        }
    }
}

void maybeCompress(Picture& picture, SeededRandom& random) {
    if (random.uniformInt(1, kJpegOneIn) == 1) {
        const int quality = random.uniformInt(kWorstJpeg, kBestJpeg);
        picture.image = test::jpegRoundTrip(picture.image, quality);
        picture.scene += cv::format(" jpeg %d", quality);
    }
}

// One family of symbols at one of its heaviest levels; `draw` gives the writer picture of each
// symbol shown and adds its payload to the picture's when it is readable.
template <typename Draw>
Picture throughFamily(SeededRandom& random, Draw&& draw) {
    const Family& family = anyOf(familiesWith(true), random);
    const double level = heavyLevel(family, random);
    Picture picture;
    const bool colour = family.colour || random.uniformInt(1, kColourOneIn) == 1;
    picture.codeType = colour ? CodeType::Color : CodeType::BlackAndWhite;
    const int shown = family.count == SymbolCount::Several ? static_cast<int>(level) : 1;
    std::vector<cv::Mat> writerPictures;
    for (int i = 0; i < shown; ++i) {
        writerPictures.push_back(draw(randomSymbol(picture.codeType, random), picture));
    }
    const int width = random.uniformInt(kNarrowest, kWidest);
    picture.image = family.build(writerPictures, width, level, random.engine()());
    picture.scene = cv::format("%s level %g width %d%s", family.name.c_str(), level, width,
                               colour ? " colour" : "");
    maybeCompress(picture, random);
    return picture;
}

}  // namespace

Picture symbolPicture(std::uint32_t seed) {
    SeededRandom random(seed);
    return throughFamily(random, [](const RandomSymbol& symbol, Picture& picture) {
        picture.payloads.push_back(symbol.text);
        return symbol.draw(symbol.content.modules);
    });
}

Picture noSymbolPicture(std::uint32_t seed) {
    SeededRandom random(seed ^ kNoSymbolStream);
    if (random.uniformInt(0, 1) == 0) {
        const auto how = static_cast<Scramble>(random.uniformInt(0, 2));
        const char* const names[] = {"shuffled", "one value", "noise"};
        Picture picture = throughFamily(random, [&](const RandomSymbol& symbol, Picture&) {
            return symbol.draw(
                scramble(symbol.content.modules, symbol.content.codeType, how, random));
        });
        picture.scene += cv::format(", data modules scrambled: %s", names[static_cast<int>(how)]);
        return picture;
    }
    const Family& family = anyOf(familiesWith(false), random);
    const double kind =
        family.levels[random.uniformInt(0, static_cast<int>(family.levels.size()) - 1)];
    Picture picture;
    picture.codeType =
        random.uniformInt(1, kColourOneIn) == 1 ? CodeType::Color : CodeType::BlackAndWhite;
    const cv::Mat full = family.build({}, 0, kind, random.engine()());
    const int width = random.uniformInt(kNarrowest, std::min(kWidest, full.cols));
    picture.image = width < full.cols ? eval::scaleToWidth(full, width) : full;
    picture.scene = cv::format("%s kind %g width %d", family.name.c_str(), kind, width);
    maybeCompress(picture, random);
    return picture;
}

ModuleList scramble(const ModuleList& modules, CodeType codeType, Scramble how,
                    SeededRandom& random) {
    const int largest = codeType == CodeType::Color ? 7 : 1;
    ModuleList out = modules;
    switch (how) {
        case Scramble::Shuffled:
            std::shuffle(out.begin(), out.end(), random.engine());
            break;
        case Scramble::OneValue:
            std::fill(out.begin(), out.end(),
                      static_cast<std::uint8_t>(random.uniformInt(0, largest)));
            break;
        case Scramble::Noise:
            for (std::uint8_t& module : out) {
                module = static_cast<std::uint8_t>(random.uniformInt(0, largest));
            }
            break;
    }
    return out;
}

}  // namespace qcl::misread
