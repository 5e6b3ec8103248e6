#include "support/SymbolFixtures.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <random>
#include <stdexcept>

#include "support/SeededRandom.h"

namespace qcl::test {

ModuleList randomModules(std::int32_t modulesPerRing, std::int32_t ringCount, CodeType codeType,
                         std::uint32_t seed) {
    SeededRandom random(seed);
    const int maxValue = codeType == CodeType::Color ? 7 : 1;
    ModuleList modules(static_cast<std::size_t>((modulesPerRing - kNonDataSlots) * ringCount));
    for (auto& v : modules) {
        v = static_cast<std::uint8_t>(random.uniformInt(0, maxValue));
    }
    return modules;
}

RenderOptions renderOptionsFor(const SymbolSetup& setup) {
    RenderOptions options;
    options.ringPitch = setup.pitch;
    options.diameter = setup.diameter;
    options.imageSize = setup.imageSize;
    options.startAngle = setup.rotation;
    options.blackCenter = setup.blackCenter;
    options.mirrored = setup.mirrored;
    return options;
}

TestSymbol renderTestSymbol(const SymbolSetup& setup, const ModuleList& modules) {
    const SymbolRenderer renderer(setup.modulesPerRing, setup.ringCount, setup.codeType,
                                  renderOptionsFor(setup));
    TestSymbol symbol;
    symbol.modules = modules;
    symbol.image = renderer.render(modules);
    symbol.geometry = renderer.geometry();
    return symbol;
}

TestSymbol renderTestSymbol(const SymbolSetup& setup) {
    return renderTestSymbol(
        setup, randomModules(setup.modulesPerRing, setup.ringCount, setup.codeType, setup.seed));
}

std::ostream& operator<<(std::ostream& os, const SymbolSetup& setup) {
    os << "M=" << setup.modulesPerRing << " D=" << setup.ringCount << " " << setup.codeType;
    if (setup.pitch > 0) {
        os << " pitch=" << setup.pitch;
    } else if (setup.diameter > 0) {
        os << " diameter=" << setup.diameter;
    }
    os << " image=" << setup.imageSize.width << "x" << setup.imageSize.height
       << " rotation=" << setup.rotation << " seed=" << setup.seed;
    if (setup.blackCenter) {
        os << " blackCenter";
    }
    if (setup.mirrored) {
        os << " mirrored";
    }
    return os;
}

cv::Mat jpegRoundTrip(const cv::Mat& image, int quality) {
    std::vector<uchar> buffer;
    if (!cv::imencode(".jpg", image, buffer, {cv::IMWRITE_JPEG_QUALITY, quality})) {
        throw std::runtime_error("JPEG encoding failed");
    }
    return cv::imdecode(buffer, cv::IMREAD_COLOR);
}

}  // namespace qcl::test
