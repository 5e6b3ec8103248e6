#include "decoder/Locator.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/Angles.h"

namespace qcl {
namespace {

// 4 pi area / perimeter^2 of the disc's outline: 1 for a circle; a disc seen at up to about 55
// degrees of tilt, or blurred into a rounded polygon, still passes.
constexpr double kMinCircularity = 0.6;
// The marker reaches (D + 3) pitches from the disc of 0.75 to 1 pitch: at least 5 disc radii for
// two rings. Somewhat less is allowed for foreshortening.
constexpr double kMinMarkerToDisc = 2.5;
// ... and at most (9 + 3) / 0.75 = 16 disc radii; a run much longer left the symbol.
constexpr double kMaxRimToDisc = 24.0;
// Rays cast from a disc centre to find the marker: fine enough to hit a marker one module wide
// (2 pi / 80) at half its length.
constexpr int kMarkerRays = 256;
// A ray reaching beyond this share of the marker's length counts as long; a symbol has few
// (the marker, a module of 16 at most, 16 of 256 rays, plus blur at its sides).
constexpr double kLongRunShare = 0.75;
constexpr long kMaxLongRays = 28;
// The median ray ends within the inner zebra, at most about half the marker's reach.
constexpr double kMaxMedianRunShare = 0.6;
// The circle that probes the outer zebra, as a share of the rim radius: inside its one pitch for
// 2 to 9 rings.
constexpr double kZebraCircleShare = 0.96;
constexpr int kMinZebraSamples = 64;
// A zebra of 16 or more modules shows at least 8 black runs; some merge under blur or tilt.
constexpr int kMinZebraModules = 6;
// Black and white share the circle about equally.
constexpr double kMinZebraBlackShare = 0.2;
// The black runs are modules of one size: their spread (standard deviation / mean) stays small.
constexpr double kMaxZebraRunSpread = 0.7;
// White specks (JPEG, noise) bridged inside a black run, as a share of the disc radius.
constexpr double kRunGapShare = 0.2;
// The black enclosing the disc must start within this many disc radii from the centre.
constexpr double kDiscEdgeReach = 1.6;
// Adaptive threshold: window side as a share of the search image's shorter side (odd, >= 15 px)
// and the offset below the local mean still taken as white (grey levels).
constexpr double kAdaptiveWindowShare = 1.0 / 12.0;
constexpr int kMinAdaptiveWindow = 15;
constexpr double kAdaptiveOffset = 7.0;

bool isBlack(const cv::Mat& binary, int x, int y) {
    return x >= 0 && y >= 0 && x < binary.cols && y < binary.rows &&
           binary.at<std::uint8_t>(y, x) == 0;
}

// Farthest radius a black run reaches along one ray, starting with the first black beyond the
// disc; 0 when the ray meets no black within the disc's edge reach.
double blackRunEnd(const cv::Mat& binary, const cv::Point2d& c, double angle, double discRadius) {
    const double dx = std::cos(angle);
    const double dy = std::sin(angle);
    const double limit = kMaxRimToDisc * discRadius;
    const double gapLimit = std::max(1.0, kRunGapShare * discRadius);
    double rho = 0.5 * discRadius;
    while (!isBlack(binary, static_cast<int>(std::lround(c.x + rho * dx)),
                    static_cast<int>(std::lround(c.y + rho * dy)))) {
        rho += 1.0;
        if (rho > kDiscEdgeReach * discRadius) {
            return 0.0;
        }
    }
    double lastBlack = rho;
    while (rho <= limit && rho - lastBlack <= gapLimit) {
        if (isBlack(binary, static_cast<int>(std::lround(c.x + rho * dx)),
                    static_cast<int>(std::lround(c.y + rho * dy)))) {
            lastBlack = rho;
        }
        rho += 1.0;
    }
    return lastBlack;
}

// The start marker: the one long black radial run from the disc. Its far end is the symbol's
// rim; 0 when the runs do not look like a marker (every other ray ends its black by R0 + 2p,
// less than half the marker's length, and the marker is at most a module or two wide).
double markerReach(const cv::Mat& binary, const cv::Point2d& c, double discRadius) {
    std::array<double, kMarkerRays> ends{};
    double reach = 0.0;
    for (int k = 0; k < kMarkerRays; ++k) {
        ends[k] = blackRunEnd(binary, c, kTwoPi * k / kMarkerRays, discRadius);
        reach = std::max(reach, ends[k]);
    }
    const auto longRays = std::count_if(ends.begin(), ends.end(),
                                        [&](double end) { return end > kLongRunShare * reach; });
    std::nth_element(ends.begin(), ends.begin() + kMarkerRays / 2, ends.end());
    const double median = ends[kMarkerRays / 2];
    if (longRays > kMaxLongRays || median > kMaxMedianRunShare * reach) {
        return 0.0;
    }
    return reach;
}

// The outer zebra: just inside the rim, a circle crosses M / 2 black modules of one module angle
// each, M >= 16. True when the circle at `radius` shows such a regular alternation.
bool looksLikeOuterZebra(const cv::Mat& binary, const cv::Point2d& c, double radius) {
    const int samples = std::max(kMinZebraSamples, static_cast<int>(kTwoPi * radius));
    std::vector<bool> black(static_cast<std::size_t>(samples));
    int blackCount = 0;
    for (int i = 0; i < samples; ++i) {
        const double a = kTwoPi * i / samples;
        black[static_cast<std::size_t>(i)] =
            isBlack(binary, static_cast<int>(std::lround(c.x + radius * std::cos(a))),
                    static_cast<int>(std::lround(c.y + radius * std::sin(a))));
        blackCount += black[static_cast<std::size_t>(i)] ? 1 : 0;
    }
    const double share = static_cast<double>(blackCount) / samples;
    if (share < kMinZebraBlackShare || share > 1.0 - kMinZebraBlackShare) {
        return false;
    }
    // Lengths of the black runs round the circle (the run across sample 0 joined up).
    std::vector<int> runs;
    int first = 0;
    while (first < samples && black[static_cast<std::size_t>(first)]) {
        ++first;
    }
    int run = 0;
    for (int k = 1; k <= samples; ++k) {
        const bool b = black[static_cast<std::size_t>((first + k) % samples)];
        if (b) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (static_cast<int>(runs.size()) < kMinZebraModules) {
        return false;
    }
    double mean = 0.0;
    for (int r : runs) {
        mean += r;
    }
    mean /= static_cast<double>(runs.size());
    double variance = 0.0;
    for (int r : runs) {
        variance += (r - mean) * (r - mean);
    }
    variance /= static_cast<double>(runs.size());
    return std::sqrt(variance) <= kMaxZebraRunSpread * mean;
}

// Round white holes in black, with a marker-like run, in one binary image (0 black).
void collectCandidates(const cv::Mat& binary, double toCaller, const LocatorOptions& options,
                       std::vector<SymbolCandidate>& candidates) {
    cv::Mat black = binary == 0;
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(black, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
    const double minArea = kPi * options.minDiscRadius * options.minDiscRadius;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        if (hierarchy[i][3] < 0) {
            continue;  // an outer boundary of black, not a hole in it
        }
        const double area = cv::contourArea(contours[i]);
        if (area < minArea) {
            continue;
        }
        const double perimeter = cv::arcLength(contours[i], true);
        const double circularity = 4.0 * kPi * area / (perimeter * perimeter);
        if (circularity < kMinCircularity) {
            continue;
        }
        const cv::Moments m = cv::moments(contours[i]);
        if (m.m00 <= 0.0) {
            continue;
        }
        const cv::Point2d center(m.m10 / m.m00, m.m01 / m.m00);
        const double radius = std::sqrt(area / kPi);
        const double reach = markerReach(binary, center, radius);
        if (reach - radius < kMinMarkerToDisc * radius || reach >= kMaxRimToDisc * radius ||
            !looksLikeOuterZebra(binary, center, kZebraCircleShare * reach)) {
            continue;
        }
        SymbolCandidate candidate;
        candidate.center = center * toCaller;
        candidate.discRadius = radius * toCaller;
        candidate.outerRadius = reach * toCaller;
        candidate.score = circularity * radius * toCaller;
        candidates.push_back(candidate);
    }
}

}  // namespace

std::vector<SymbolCandidate> locateSymbols(const cv::Mat& image, const LocatorOptions& options) {
    if (image.empty() || image.depth() != CV_8U ||
        (image.channels() != 1 && image.channels() != 3)) {
        return {};
    }
    cv::Mat grey;
    if (image.channels() == 3) {
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    } else {
        grey = image;
    }
    // Huge photographs are searched at a reduced size; the views are cut from the full image.
    double toCaller = 1.0;
    const int longer = std::max(grey.cols, grey.rows);
    if (longer > options.searchSide) {
        toCaller = static_cast<double>(longer) / options.searchSide;
        // At least one pixel each way: a very thin image must not reduce to nothing.
        const cv::Size reduced(std::max(1, cvRound(grey.cols / toCaller)),
                               std::max(1, cvRound(grey.rows / toCaller)));
        cv::resize(grey, grey, reduced, 0, 0, cv::INTER_AREA);
    }
    if (std::min(grey.cols, grey.rows) < 8) {
        return {};
    }

    std::vector<SymbolCandidate> candidates;
    cv::Mat binary;
    cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    collectCandidates(binary, toCaller, options, candidates);
    // A local threshold finds the symbols that uneven light hides from the global one.
    int window = static_cast<int>(std::min(grey.cols, grey.rows) * kAdaptiveWindowShare) | 1;
    window = std::max(window, kMinAdaptiveWindow);
    cv::adaptiveThreshold(grey, binary, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY, window,
                          kAdaptiveOffset);
    collectCandidates(binary, toCaller, options, candidates);

    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const SymbolCandidate& a, const SymbolCandidate& b) { return a.score > b.score; });
    std::vector<SymbolCandidate> kept;
    for (const SymbolCandidate& candidate : candidates) {
        if (static_cast<int>(kept.size()) >= options.maxCandidates) {
            break;
        }
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const SymbolCandidate& k) {
            return cv::norm(k.center - candidate.center) <
                   std::max(k.discRadius, candidate.discRadius);
        });
        if (!seen) {
            kept.push_back(candidate);
        }
    }
    return kept;
}

}  // namespace qcl
