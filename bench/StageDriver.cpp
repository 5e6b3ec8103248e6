#include "StageDriver.h"

#include <cmath>
#include <map>
#include <memory>
#include <sstream>

#include "decoder/CenterFinder.h"
#include "decoder/InnerZebra.h"
#include "decoder/OuterZebra.h"
#include "decoder/RadialZebra.h"
#include "decoder/StageChain.h"
#include "decoder/StartMarker.h"
#include "decoder/data/ModuleSampler.h"
#include "imaging/Preprocessing.h"

namespace qcl::test {

namespace {

cv::Point2d centreOf(const cv::Mat& image) {
    return {image.cols * 0.5, image.rows * 0.5};
}

PlainPath& failAt(PlainPath& path, ErrorCode code, Stage stage) {
    path.code = code;
    path.stage = stage;
    return path;
}

// The radial zebra as the findRadialZebra level measures it from the marker.
RadialZebra measureRadialZebra(const cv::Mat& binary, const StartMarkerCandidate& marker,
                               std::int32_t modulesPerRing, std::int32_t& p1) {
    const cv::Point2d c = centreOf(binary);
    const double twoModules = 4.0 * CV_PI / modulesPerRing;
    const int rIn = static_cast<int>(std::round(cv::norm(marker.innerPoint - c)));
    const int limit = (9 * rIn) / 10;
    const int rOut = static_cast<int>(std::round(cv::norm(marker.outerPoint - c)));
    p1 = radialProbe(binary, twoModules, marker.angle + twoModules / 2, limit, true);
    const int p0 = radialProbe(binary, twoModules, marker.angle, limit, false);
    if (!(p0 < p1 && p1 < rOut)) {
        return RadialZebra();
    }
    return findRadialZebra(binary, twoModules, marker.angle + twoModules, p1, rOut, p0);
}

// Every field of a setup, which together decide its drawing: the key of the drawn paths' cache.
std::string cacheKey(const SymbolSetup& s) {
    std::ostringstream key;
    key << s.modulesPerRing << ' ' << s.ringCount << ' ' << static_cast<int>(s.codeType) << ' '
        << s.pitch << ' ' << s.diameter << ' ' << s.imageSize << ' ' << s.rotation << ' '
        << s.mirrored << ' ' << s.seed;
    return key.str();
}

}  // namespace

PlainPath runPlainPath(const cv::Mat& image, CodeType codeType, std::int32_t knownModulesPerRing) {
    PlainPath path;
    cv::Mat conditioned;  // as the decode entry conditions its input
    enhanceImage(image, conditioned);
    path.threshold = binarizeImage(conditioned, path.binary, static_cast<int>(codeType), Otsu);

    cv::RotatedRect ellipse;
    if (const ErrorCode code = findCenter(path.binary, ellipse); code != Success) {
        return failAt(path, code, StageFindCenter);
    }
    path.center = ellipse.center;
    path.innerRadius =
        static_cast<double>(std::max(ellipse.size.width, ellipse.size.height) * 0.5f);

    path.innerZebraCode = findInnerZebra(path.binary, path.innerRadius, path.innerZebra);
    if (path.innerZebraCode == Success) {
        path.modulesPerRing = 4 * path.innerZebra.slotCount;
    } else if (knownModulesPerRing > 0) {
        path.modulesPerRing = knownModulesPerRing;
    } else {
        return failAt(path, path.innerZebraCode, StageFindInnerZebra);
    }

    path.candidates =
        candidatesToTry(findStartMarker(path.binary, path.innerRadius, path.modulesPerRing));
    if (path.candidates.empty()) {
        return failAt(path, StartMarkerNotDetected, StageFindStartMarker);
    }
    const StartMarkerCandidate& marker = path.candidates.front();

    ErrorCode outer = WrongNumberOfOuterZebraModules;
    for (const cv::Point2d& start : outerZebraStartPoints(marker, centreOf(path.binary))) {
        outer = findOuterZebra(path.binary, path.modulesPerRing, start, path.outerZebra);
        if (outer == Success) {
            path.outerStartPoint = start;
            break;
        }
    }
    if (outer != Success) {
        return failAt(path, outer, StageFindOuterZebra);
    }

    path.radialZebra =
        measureRadialZebra(path.binary, marker, path.modulesPerRing, path.radialZebraStart);
    if (path.radialZebra.ringCount < 2) {
        return failAt(path, RadialZebraNotDetected, StageFindRadialZebra);
    }

    path.warped = warpInputImage(path.binary, conditioned, cv::Matx33d::eye(), marker);
    SamplingGrid grid;
    grid.image = &path.warped;
    grid.codeType = codeType;
    grid.modulesPerRing = path.modulesPerRing;
    grid.ringCount = path.radialZebra.ringCount;
    grid.bitsPerModule = codeType == CodeType::Color ? 3 : 1;
    grid.threshold = path.threshold;
    path.modules = readMaskedData(grid, centreOf(path.warped), marker.angle, path.radialZebra);
    path.stage = StageReadMaskedData;
    return path;
}

const RenderedPath& renderedPlainPath(const SymbolSetup& setup) {
    static std::map<std::string, std::unique_ptr<RenderedPath>> cache;
    std::unique_ptr<RenderedPath>& entry = cache[cacheKey(setup)];
    if (!entry) {
        entry = std::make_unique<RenderedPath>();
        entry->symbol = renderTestSymbol(setup);
        try {
            entry->path = runPlainPath(entry->symbol.image, setup.codeType, setup.modulesPerRing);
        } catch (const std::exception& e) {
            entry->error = e.what();
        }
    }
    return *entry;
}

}  // namespace qcl::test
