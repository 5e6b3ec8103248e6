#include "decoder/Locator.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/Angles.h"
#include "common/Rounding.h"
#include "decoder/PolarHelpers.h"
#include "imaging/AreaReduction.h"

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

// The quick look at the inner zebra, before any long ray is cast: rays at least two to a notch
// of the finest zebra (20 notches, 9 degrees wide at their floor).
constexpr int kZebraRays = 96;
// The rays start this share of the disc radius out from the centre: inside the white disc even
// where its outline is a rough estimate, outside a black centre of the usual size.
constexpr double kZebraRayStart = 0.8;
// How far the quick look reaches, in disc radii: the inner zebra's two pitches are at most 8/3
// disc radii wide; the walk ends at the border of a window this large.
constexpr double kZebraLookReach = 4.0;
// A run shorter than this share of the long runs' length is a notch floor (0.3 pitches against
// 1.8 beside it, widened by blur).
constexpr double kNotchRunShare = 0.5;
// Rays whose disc edge lies beyond kDiscEdgeReach: a few where the outline estimate is rough.
constexpr int kMaxOpenRays = kZebraRays / 16;
// The coarsest zebra has 4 notches, one in every quarter turn.
constexpr int kMinNotches = 4;
// The disc's contrast is read on circles at these shares of its radius (the thin black beyond
// it, widened by blur), from this many samples each.
constexpr double kContrastCircles[] = {1.25, 1.6};
constexpr int kContrastSamples = 32;
// Grey levels the disc stands above that black at least: a symbol at a tenth of full contrast
// keeps about 20, a speck of noise cut out by the local threshold a few.
constexpr double kMinDiscContrast = 12.0;
// The quiet zone's circle may carry a speck or two of black; it is sought out to this many
// marker lengths: blur and resampling break a thin marker at a third of its length or less.
constexpr double kQuietBlackShare = 0.02;
constexpr double kMaxRimToReach = 4.0;
// Below this disc radius (px) the thin black under the notches is about a pixel and the notches
// blur together: such discs skip the quick look and face only the marker and rim tests.
constexpr double kMinResolvedDisc = 6.0;

bool isBlack(const cv::Mat& binary, const cv::Point2d& p) {
    return pixelAt(p, binary) == 0;
}

// Farthest radius a black run reaches along one ray, starting with the first black beyond the
// disc; 0 when the ray meets no black within the disc's edge reach.
double blackRunEnd(const cv::Mat& binary, const cv::Point2d& c, double angle, double discRadius) {
    const double dx = std::cos(angle);
    const double dy = std::sin(angle);
    const double limit = kMaxRimToDisc * discRadius;
    const double gapLimit = std::max(1.0, kRunGapShare * discRadius);
    double rho = 0.5 * discRadius;
    while (!isBlack(binary, c + rho * cv::Point2d(dx, dy))) {
        rho += 1.0;
        if (rho > kDiscEdgeReach * discRadius) {
            return 0.0;
        }
    }
    double lastBlack = rho;
    while (rho <= limit && rho - lastBlack <= gapLimit) {
        if (isBlack(binary, c + rho * cv::Point2d(dx, dy))) {
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
            isBlack(binary, cv::Point2d(c.x + radius * std::cos(a), c.y + radius * std::sin(a)));
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

// The cheap test every round hole passes before the long rays look for the marker: the black
// just beyond the disc falls short at regularly spaced notches, at least one in every quarter
// turn, and reaches well beyond them elsewhere.
bool looksLikeInnerZebra(const cv::Mat& binary, const cv::Point2d& c, double discRadius) {
    // The walks stay inside a window around the disc: the walker stops at its border.
    const int half = static_cast<int>(std::ceil(kZebraLookReach * discRadius)) + 2;
    const cv::Rect window =
        cv::Rect(cvFloor(c.x) - half, cvFloor(c.y) - half, 2 * half + 1, 2 * half + 1) &
        cv::Rect(0, 0, binary.cols, binary.rows);
    if (window.empty()) {
        return false;
    }
    const cv::Mat near = binary(window);
    const cv::Point2d centre = c - cv::Point2d(window.tl());
    std::array<std::int32_t, kZebraRays> runs{};
    int open = 0;
    for (int k = 0; k < kZebraRays; ++k) {
        const double a = kTwoPi * k / kZebraRays;
        const cv::Point2d step(std::cos(a), std::sin(a));
        cv::Point2d p = centre + kZebraRayStart * discRadius * step;
        countWhiteRun(p, step, near, false);
        if (cv::norm(p - centre) > kDiscEdgeReach * discRadius) {
            ++open;
            continue;
        }
        runs[static_cast<std::size_t>(k)] = countBlackRun(p, step, near, false);
    }
    if (open > kMaxOpenRays) {
        return false;
    }
    std::array<std::int32_t, kZebraRays> sorted = runs;
    std::nth_element(sorted.begin(), sorted.begin() + 3 * kZebraRays / 4, sorted.end());
    const double shortRun = kNotchRunShare * sorted[3 * kZebraRays / 4];
    // Notches: runs of short rays, counted where one begins, per quarter turn.
    std::array<int, 4> notches{};
    bool wasShort = runs.back() < shortRun;
    for (int k = 0; k < kZebraRays; ++k) {
        const bool isShort = runs[static_cast<std::size_t>(k)] < shortRun;
        if (isShort && !wasShort) {
            ++notches[static_cast<std::size_t>(4 * k / kZebraRays)];
        }
        wasShort = isShort;
    }
    const int total = notches[0] + notches[1] + notches[2] + notches[3];
    return total >= kMinNotches &&
           std::all_of(notches.begin(), notches.end(), [](int n) { return n > 0; });
}

// The rim: where the quiet zone begins, the first circle beyond the marker's end with almost no
// black on it. A marker broken by blur or resampling ends short of the rim; without a quiet
// circle (a busy background) the marker's end stands.
double rimRadius(const cv::Mat& binary, const cv::Point2d& c, double discRadius, double reach) {
    const double limit = std::min(kMaxRimToDisc * discRadius, kMaxRimToReach * reach);
    for (double radius = reach + 1.0; radius <= limit; radius += 1.0) {
        const int samples = std::max(kMinZebraSamples, static_cast<int>(kTwoPi * radius));
        // A circle with more black than this is no quiet zone; on a busy background the count
        // passes it after a few samples.
        const int allowed = static_cast<int>(kQuietBlackShare * samples);
        // The sample point turns by one step each time (a rotation, not a sine per sample).
        const double turnCos = std::cos(kTwoPi / samples);
        const double turnSin = std::sin(kTwoPi / samples);
        cv::Point2d offset(radius, 0.0);
        int black = 0;
        for (int i = 0; i < samples && black <= allowed; ++i) {
            black += isBlack(binary, c + offset) ? 1 : 0;
            offset = cv::Point2d(offset.x * turnCos - offset.y * turnSin,
                                 offset.x * turnSin + offset.y * turnCos);
        }
        if (black <= allowed) {
            return radius - 1.0;
        }
    }
    return reach;
}

// Grey-level step from the middle of the disc down to the black around it: the mean of the
// darkest quarter of a circle's samples just beyond the disc, the darker of two such circles.
double discContrast(const cv::Mat& grey, const cv::Point2d& c, double discRadius) {
    const auto at = [&grey](const cv::Point2d& p) {
        const int x = std::clamp(roundHalfAway(p.x), 0, grey.cols - 1);
        const int y = std::clamp(roundHalfAway(p.y), 0, grey.rows - 1);
        return static_cast<double>(grey.at<std::uint8_t>(y, x));
    };
    double middle = 0.0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            middle += at(c + cv::Point2d(dx, dy)) / 9.0;
        }
    }
    double darkest = 255.0;
    for (const double share : kContrastCircles) {
        std::array<double, kContrastSamples> ring{};
        for (int k = 0; k < kContrastSamples; ++k) {
            const double a = kTwoPi * k / kContrastSamples;
            ring[static_cast<std::size_t>(k)] =
                at(c + share * discRadius * cv::Point2d(std::cos(a), std::sin(a)));
        }
        std::sort(ring.begin(), ring.end());
        double sum = 0.0;
        for (int k = 0; k < kContrastSamples / 4; ++k) {
            sum += ring[static_cast<std::size_t>(k)];
        }
        darkest = std::min(darkest, sum / (kContrastSamples / 4));
    }
    return middle - darkest;
}

// Round white holes in black, with a marker-like run, in one binary image (0 black).
void collectCandidates(const cv::Mat& grey, const cv::Mat& binary, double toCaller,
                       const LocatorOptions& options, std::vector<SymbolCandidate>& candidates) {
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
        if (discContrast(grey, center, radius) < kMinDiscContrast) {
            continue;
        }
        if (radius >= kMinResolvedDisc && !looksLikeInnerZebra(binary, center, radius)) {
            continue;
        }
        const double reach = markerReach(binary, center, radius);
        if (reach - radius < kMinMarkerToDisc * radius || reach >= kMaxRimToDisc * radius ||
            !looksLikeOuterZebra(binary, center, kZebraCircleShare * reach)) {
            continue;
        }
        SymbolCandidate candidate;
        candidate.center = center * toCaller;
        candidate.discRadius = radius * toCaller;
        candidate.outerRadius = rimRadius(binary, center, radius, reach) * toCaller;
        if (candidate.outerRadius < options.minRimRadius) {
            continue;
        }
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
        grey = reduceByArea(grey, reduced);
    }
    if (std::min(grey.cols, grey.rows) < 8) {
        return {};
    }

    std::vector<SymbolCandidate> candidates;
    cv::Mat binary;
    cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    collectCandidates(grey, binary, toCaller, options, candidates);
    // A local threshold finds the symbols that uneven light hides from the global one.
    int window = static_cast<int>(std::min(grey.cols, grey.rows) * kAdaptiveWindowShare) | 1;
    window = std::max(window, kMinAdaptiveWindow);
    cv::adaptiveThreshold(grey, binary, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY, window,
                          kAdaptiveOffset);
    collectCandidates(grey, binary, toCaller, options, candidates);

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
