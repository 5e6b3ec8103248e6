#include "decoder/RadialZebra.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "common/Logger.h"
#include "decoder/PolarHelpers.h"
#include "imaging/NearestWarp.h"

namespace qcl {

namespace {

// The probe and the walk look at three rays, this share of two module angles apart.
constexpr double kRaySpread = 0.125;
// Runs shorter than this are slivers, not modules.
constexpr int kMinModuleRun = 2;
// A last white module at least this long holds a ring and the rim's outer part.
constexpr int kSplitWhiteRun = 6;
// Data rings are the rings between the inner zebra (2 pitches) and the outer zebra (1 pitch).
constexpr int kNonDataPitches = 3;
// The warp keeps this many pixels on either side of the symbol's rings.
constexpr int kRingMaskMargin = 2;

cv::Point2d direction(double angle) {
    return {std::cos(angle), std::sin(angle)};
}

int countRun(bool black, cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image) {
    return black ? countBlackRun(point, step, image, true)
                 : countWhiteRun(point, step, image, true);
}

// A run of fewer than two pixels is a sliver: the next run of the same colour counts instead.
int runSkippingSliver(bool black, cv::Point2d& point, const cv::Point2d& step,
                      const cv::Mat& image) {
    int run = countRun(black, point, step, image);
    if (run < kMinModuleRun) {
        run = countRun(black, point, step, image);
    }
    return run;
}

struct Walk {
    std::vector<int> sizes;
    int offset = 0;
};

// Where the walk begins: at P, or past a first run that is only a cut-off part of a module.
// Sets walk.offset and returns whether the first module walked is white.
bool firstModule(const cv::Mat& image, const cv::Point2d& c, const cv::Point2d& u,
                 const cv::Point2d& start, cv::Point2d& p, Walk& walk) {
    cv::Point2d b = start;
    const int black = runSkippingSliver(true, b, u, image);
    cv::Point2d q = start;
    const int white = runSkippingSliver(false, q, u, image);

    bool firstWhite = false;
    p = start;
    if (cv::norm(b - c) > cv::norm(q - c)) {
        // The white run comes first; a third or less of the black run is a cut-off module.
        firstWhite = white > black / 3;
        if (!firstWhite) {
            walk.offset = white;
            p = q;
        }
    } else {
        firstWhite = black <= white / 3;
        if (firstWhite) {
            walk.offset = black;
            p = b;
        }
    }
    logTrace() << "first module is white: " << (firstWhite ? 1 : 0);
    logTrace() << "firstModuleOffset: " << walk.offset;
    logTrace() << "blackPixels: " << black;
    logTrace() << "whitePixels: " << white;
    return firstWhite;
}

// Module sizes along one ray from radius p1 to rOut.
Walk walkRay(const cv::Mat& image, const cv::Point2d& c, double angle, int p1, int rOut) {
    Walk walk;
    const cv::Point2d u = direction(angle);
    cv::Point2d p;
    const bool firstWhite = firstModule(image, c, u, c + p1 * u, p, walk);

    double r = cv::norm(p - c);
    bool blackNow = !firstWhite;
    bool lastWalkedWhite = firstWhite;
    while (r < rOut) {
        const int count = countRun(blackNow, p, u, image);
        if (count == 0) {
            break;
        }
        if (count >= kMinModuleRun) {
            walk.sizes.push_back(count);
        } else if (!walk.sizes.empty()) {
            walk.sizes.back() += 1;
        }
        r += count;
        lastWalkedWhite = !blackNow;
        blackNow = !blackNow;
    }
    if (!walk.sizes.empty()) {
        walk.sizes.back() -= static_cast<int>(std::trunc(r - rOut));  // the part beyond rOut
        if (lastWalkedWhite) {
            if (walk.sizes.back() < kSplitWhiteRun) {
                if (walk.sizes.size() >= 2) {
                    const int last = walk.sizes.back();
                    walk.sizes.pop_back();
                    walk.sizes.back() += last;
                }
            } else {
                walk.sizes.back() /= 2;
                walk.sizes.push_back(walk.sizes.back());
            }
        }
    }
    return walk;
}

void logSizes(double var, int maxVar, int p1, int rOut, const std::vector<int>& sizes) {
    logTrace() << "Radial Zebra var < maxVar : " << var << " < " << maxVar;
    logTrace() << "Radial Zebra minRadius, maxRadius: " << p1 << ", " << rOut;
    LogLine line = logTrace();
    if (line.enabled()) {
        line << "Radial Zebra module sizes: [";
        for (int s : sizes) {
            line << s << ",";
        }
        line << "]";
    }
}

}  // namespace

std::int32_t radialProbe(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                         std::int32_t startRadius, bool black) {
    const cv::Point2d c(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const double delta = twoModuleAngle * kRaySpread;
    std::array<double, 3> distances{};
    for (int j = -1; j <= 1; ++j) {
        const cv::Point2d u = direction(angle + j * delta);
        cv::Point2d p = c + startRadius * u;
        countRun(black, p, u, binaryImage);
        distances[j + 1] = cv::norm(p - c);
    }
    std::sort(distances.begin(), distances.end());
    return static_cast<std::int32_t>(std::nearbyint(distances[1]));
}

RadialZebra findRadialZebra(const cv::Mat& binaryImage, double twoModuleAngle, double angle,
                            std::int32_t p1, std::int32_t rOut, std::int32_t p0) {
    RadialZebra result;
    const cv::Point2d c(binaryImage.cols * 0.5f, binaryImage.rows * 0.5f);
    const double delta = twoModuleAngle * kRaySpread;
    const int w = ((rOut - p1) / 3 + 5) / 2;
    const int maxVar = w * w;

    double best = std::numeric_limits<double>::max();
    double keptMean = 0.0;
    int keptCount = 0;
    int keptOffset = 0;
    for (int j = -1; j <= 1; ++j) {
        const Walk walk = walkRay(binaryImage, c, angle + j * delta, p1, rOut);
        if (walk.sizes.size() < 2) {
            continue;
        }
        const double n = static_cast<double>(walk.sizes.size());
        double sum = 0.0;
        for (int s : walk.sizes) {
            sum += s;
        }
        const double mean = sum / n;
        double squares = 0.0;
        for (int s : walk.sizes) {
            squares += (s - mean) * (s - mean);
        }
        const double var = squares / n;
        logSizes(var, maxVar, p1, rOut, walk.sizes);
        if (var < best) {
            best = var;
            keptMean = mean;
            keptCount = static_cast<int>(walk.sizes.size()) - 1;
            keptOffset = walk.offset;
        }
    }

    if (best >= maxVar) {
        return result;
    }
    const double size = best > w ? (p1 - p0) * 0.5 : keptMean;
    // A module size of zero or less, or one so small that the ring count overflows, is no zebra.
    if (!(size > 0.0)) {
        return result;
    }
    const double estimate = std::nearbyint((rOut - p0) / size) - kNonDataPitches;
    const double rings = std::max({static_cast<double>(keptCount), estimate, 2.0});
    if (!(rings <= std::numeric_limits<std::int32_t>::max() - kNonDataPitches)) {
        return result;
    }
    const int ringCount = static_cast<int>(rings);
    const double pitch = static_cast<double>(rOut - p0) / (ringCount + kNonDataPitches);
    result.lastRingRadius = rOut - 1.5 * pitch;
    result.firstRingRadius = (keptOffset + pitch) * 0.5 + p1;
    if (result.lastRingRadius > result.firstRingRadius) {
        result.ringCount = ringCount;
        result.angle = angle;
        result.innerEdge = p0;
        result.outerEdge = rOut;
    }
    return result;
}

cv::Mat warpInputImage(const cv::Mat& binaryImage, const cv::Mat& image,
                       const cv::Matx33d& transform, const StartMarkerCandidate& marker) {
    const cv::Point2d c(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const double dOut = cv::norm(marker.outerPoint - c);
    const double dIn = cv::norm(marker.innerPoint - c);
    const cv::Point centre(static_cast<int>(std::round(c.x)), static_cast<int>(std::round(c.y)));
    const int outerRadius = static_cast<int>(std::trunc(dOut)) + kRingMaskMargin;
    const int innerRadius = static_cast<int>(std::trunc(dIn)) - kRingMaskMargin;

    // Everything outside the filled outer circle is white: only the square round it is warped
    // and masked (one pixel wider than the circle's reach, for safety).
    cv::Mat warped(image.size(), CV_8UC3, cv::Scalar::all(255));
    const int reach = std::max(outerRadius, 0) + 1;
    const cv::Rect ring =
        cv::Rect(centre.x - reach, centre.y - reach, 2 * reach + 1, 2 * reach + 1) &
        cv::Rect(cv::Point(), image.size());
    if (ring.empty()) {
        return warped;
    }
    cv::Mat source;
    if (transform == cv::Matx33d::eye()) {
        source = image(ring);  // the identity warp with nearest pixels is a copy
    } else {
        source =
            warpNearestRegion(image, cv::Mat(transform), image.size(), ring, cv::BORDER_REPLICATE);
    }
    cv::Mat inside = warped(ring);
    if (source.channels() == 1) {
        cv::cvtColor(source, inside, cv::COLOR_GRAY2BGR);
    } else {
        source.copyTo(inside);
    }
    // White outside the outer circle and inside the inner one; the circles are drawn shifted by
    // whole pixels, which draws the same pixels.
    cv::Mat white(ring.size(), CV_8UC1, cv::Scalar(255));
    const cv::Point shifted = centre - ring.tl();
    cv::circle(white, shifted, outerRadius, cv::Scalar(0), cv::FILLED, cv::LINE_8);
    if (innerRadius >= 0) {  // a marker starting at the very centre leaves no inner hole
        cv::circle(white, shifted, innerRadius, cv::Scalar(255), cv::FILLED, cv::LINE_8);
    }
    inside.setTo(cv::Scalar::all(255), white);
    return warped;
}

}  // namespace qcl
