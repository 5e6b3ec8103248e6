#include "decoder/SymbolResult.h"

#include <cmath>
#include <utility>

#include "common/Angles.h"

namespace qcl {
namespace {

cv::Point2d mapPoint(const cv::Matx33d& m, const cv::Point2d& p) {
    const cv::Vec3d v = m * cv::Vec3d(p.x, p.y, 1.0);
    return {v[0] / v[2], v[1] / v[2]};
}

// Working frame -> caller's image.
cv::Matx33d toCallerImage(const SymbolDetails& details, const cv::Matx33d& toCaller) {
    return toCaller * details.transform.inv();
}

cv::Point2d frameCenter(const SymbolDetails& details) {
    return {details.frameSize.width * 0.5, details.frameSize.height * 0.5};
}

}  // namespace

std::vector<cv::Point2d> symbolOutline(const SymbolDetails& details, const cv::Matx33d& toCaller,
                                       int pointCount) {
    const cv::Matx33d back = toCallerImage(details, toCaller);
    const cv::Point2d c = frameCenter(details);
    std::vector<cv::Point2d> outline;
    outline.reserve(static_cast<std::size_t>(std::max(pointCount, 0)));
    for (int i = 0; i < pointCount; ++i) {
        const double a = kTwoPi * i / pointCount;
        outline.push_back(
            mapPoint(back, c + details.outerRadius * cv::Point2d(std::cos(a), std::sin(a))));
    }
    return outline;
}

DecodedSymbol makeDecodedSymbol(std::string payload, std::uint8_t payloadType, std::uint8_t eccType,
                                CodeType codeType, const SymbolDetails& details,
                                const cv::Matx33d& toCaller) {
    // Enough rim points for a smooth polygon at any size a caller draws it.
    constexpr int kOutlinePoints = 32;
    DecodedSymbol symbol;
    symbol.payload = std::move(payload);
    symbol.payloadType = static_cast<PayloadType>(payloadType);
    symbol.eccType = static_cast<ECCtype>(eccType);
    symbol.codeType = codeType;
    symbol.modulesPerRing = details.modulesPerRing;
    symbol.ringCount = details.ringCount;
    symbol.mirrored = details.mirrored;
    symbol.correctedSymbols = details.frame.correctedSymbols;
    symbol.correctableSymbols = details.frame.correctableSymbols;

    const cv::Matx33d back = toCallerImage(details, toCaller);
    const cv::Point2d c = frameCenter(details);
    symbol.center = mapPoint(back, c);
    // The marker's direction in the caller's image: map a point one rim radius along it.
    const double a = details.startMarkerAngle;
    const double reach = std::max(details.outerRadius, 1.0);
    const cv::Point2d along = mapPoint(back, c + reach * cv::Point2d(std::cos(a), std::sin(a)));
    double angle = std::atan2(along.y - symbol.center.y, along.x - symbol.center.x);
    if (angle < 0) {
        angle += kTwoPi;
    }
    symbol.startMarkerAngle = angle;
    symbol.outline = symbolOutline(details, toCaller, kOutlinePoints);
    return symbol;
}

}  // namespace qcl
