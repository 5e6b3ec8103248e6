#include "decoder/search/SymbolEvidence.h"

#include "decoder/search/RingSamples.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/Angles.h"
#include "common/Rounding.h"
#include "decoder/PolarHelpers.h"

namespace qcl {
namespace {

// The marker reaches (D + 3) pitches from the disc of 0.75 to 1 pitch: at least 5 disc radii for
// two rings. Somewhat less is allowed for foreshortening.
constexpr double kMinMarkerToDisc = 2.5;
// ... and at most (9 + 3) / 0.75 = 16 disc radii; a run much longer left the symbol.
constexpr double kMaxRimToDisc = 24.0;
// The quiet zone begins at most (9 + 3) / 0.75 + 1 = 17 disc radii out, a little more seen at a
// slant; a white ring much farther out is the paper round some other shape.
constexpr double kMaxQuietToDisc = 18.0;
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
// Modules per ring: 16 to 80 in steps of 16.
constexpr int kMinModulesPerRing = 16;
constexpr int kMaxModulesPerRing = 80;
constexpr int kModulesPerRingStep = 16;
// Black and white share the circle about equally.
constexpr double kMinZebraBlackShare = 0.2;
// The modules are of one size: the spacing of the white ones round the ring stays regular
// (standard deviation over mean), and their count is twice the notches' to within a few
// (blur merges some, a tilt of the ring against the rim cuts others).
constexpr double kMaxOuterSpacingSpread = 0.35;
constexpr int kOuterCountSlack = 2;
constexpr double kOuterCountShare = 0.15;
// White specks (JPEG, noise) bridged inside a black run, as a share of the disc radius.
constexpr double kRunGapShare = 0.2;
// The black enclosing the disc must start within this many disc radii from the centre.
constexpr double kDiscEdgeReach = 1.6;

// The quick look at the inner zebra, before any long ray is cast: rays at least two to a notch
// of the finest zebra (20 notches, 9 degrees wide at their floor).
constexpr int kZebraRays = 96;
// The rays start this share of the disc radius out from the centre: inside the white disc even
// where its outline is a rough estimate, outside a black centre of the usual size.
constexpr double kZebraRayStart = 0.8;
// How far the quick look reaches, in disc radii: the inner zebra's two pitches are at most 8/3
// disc radii wide; the walk ends at the border of a window this large.
constexpr double kZebraLookReach = 4.0;
// Rays whose disc edge lies beyond kDiscEdgeReach: a few where the outline estimate is rough.
constexpr int kMaxOpenRays = kZebraRays / 16;
// The coarsest zebra has 4 notches, one in every quarter turn.
constexpr int kMinNotches = 4;
// The quiet zone's circle may carry a speck or two of black; it is sought out to this many
// marker lengths: blur and resampling break a thin marker at a third of its length or less.
constexpr double kQuietBlackShare = 0.02;
constexpr double kMaxRimToReach = 4.0;
// The inner zebra's thin black floor, just beyond the disc: black all round but for specks.
constexpr double kFloorRing = 1.15;
constexpr double kMinFloorBlack = 0.8;
// Rings across the inner zebra, in disc radii: inside its two pitches for discs of 0.75 to 1.3
// pitches.
constexpr double kZebraRings[] = {1.5, 1.8, 2.2};
// The notches, one per four modules of 16 to 80: 4 to 20 of them, evenly spaced, as far as a
// strong tilt leaves them so (it crowds them on the far side of a small disc).
constexpr int kMaxNotches = 20;
constexpr double kMaxNotchSpacingSpread = 0.3;
// A blurred disc, or one too small to show its notches: its floor black all round, and the rings
// across its zebra mostly dark (a motion blur leaves the notches along it open, so "mostly") ...
constexpr double kMinBlurredFloorBlack = 0.9;
constexpr double kMinBlurredZebraBlack = 0.6;
constexpr double kMinBlurredOuterZebraBlack = 0.6;
// ... its inside (the points of a 5 x 5 grid within 0.6 of its radius) uniform to a few grey
// levels, and its surroundings darker by at least this share of its grey level.
constexpr double kDiscInside = 0.6;
constexpr int kInsideGrid = 2;
constexpr double kMaxDiscSpread = 10.0;
constexpr double kMinBlurredContrast = 0.4;
// The grey levels along a ring halfway to the rim spread by at least this much where it crosses
// modules, even blurred ones, and black and white each take at least this share of it.
constexpr double kMinModuleSpread = 8.0;
constexpr double kMinModuleBlack = 0.1;
// ... or, in a picture of low contrast, by this share of the picture's own contrast.
constexpr double kMinPictureContrastShare = 0.6;

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

// The outer zebra: just inside the rim, a ring crosses M / 2 black modules of one module angle
// each with white ones between, M / 2 being twice the inner zebra's notches. True when the ring
// at `scale` times the disc shows such a regular alternation, of that count when `notches` is
// known (not 0).
bool looksLikeOuterZebra(const cv::Mat& binary, const cv::RotatedRect& disc, double scale,
                         int notches) {
    const RingSample ring = sampleRing(binary, cv::Mat(), disc, scale);
    if (ring.blackShare < kMinZebraBlackShare || ring.blackShare > 1.0 - kMinZebraBlackShare ||
        ring.spacingSpread > kMaxOuterSpacingSpread) {
        return false;
    }
    const auto near = [&](int expected) {
        return std::abs(ring.whiteRuns - expected) <=
               std::max(kOuterCountSlack, static_cast<int>(kOuterCountShare * expected));
    };
    if (notches > 0) {
        return near(2 * notches);
    }
    // Without the notches' count, one of the counts a symbol can have: 8, 16, ... 40.
    for (int half = kMinModulesPerRing / 2; half <= kMaxModulesPerRing / 2;
         half += kModulesPerRingStep / 2) {
        if (near(half)) {
            return true;
        }
    }
    return false;
}

// How far the inner zebra's black reaches beyond the disc where no notch cuts it: the length
// that three quarters of the rays from the disc reach at most, 0 when too many rays find no black
// near the disc. The walks stay inside a window around the disc.
double spokeLength(const cv::Mat& binary, const cv::Point2d& c, double discRadius) {
    const int half = static_cast<int>(std::ceil(kZebraLookReach * discRadius)) + 2;
    const cv::Rect window =
        cv::Rect(cvFloor(c.x) - half, cvFloor(c.y) - half, 2 * half + 1, 2 * half + 1) &
        cv::Rect(0, 0, binary.cols, binary.rows);
    if (window.empty()) {
        return 0.0;
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
        return 0.0;
    }
    std::nth_element(runs.begin(), runs.begin() + 3 * kZebraRays / 4, runs.end());
    return runs[3 * kZebraRays / 4];
}

// The rim: where the quiet zone begins, the first ring beyond the marker's end (of the disc's
// shape, so that a slanted symbol's elliptic quiet zone is followed) with almost no black on it.
// A marker broken by blur or resampling ends short of the rim; without a quiet ring (a busy
// background) the marker's end stands, and `quiet` is false. The radius returned is the ring's
// largest: along the slant's long axis.
double rimRadius(const cv::Mat& binary, const DiscBlob& disc, double reach, bool& quiet) {
    const double limit = std::min(kMaxQuietToDisc * disc.radius, kMaxRimToReach * reach);
    const double longAxis =
        0.5 * std::max(disc.ellipse.size.width, disc.ellipse.size.height) / disc.radius;
    for (double radius = reach + 1.0; radius <= limit; radius += 1.0) {
        if (ringMostly(binary, disc.ellipse, radius / disc.radius, false, 1.0 - kQuietBlackShare)) {
            quiet = true;
            return (radius - 1.0) * longAxis;
        }
    }
    quiet = false;
    return reach;
}

// The inner zebra seen on rings around the disc: its notches are white runs spaced evenly round
// the ring, a multiple of four of them (one fewer or more where the marker or a rounding merges or
// splits one). The count of the first ring across the zebra that shows them; 0 when none does.
int innerZebraNotches(const cv::Mat& binary, const cv::RotatedRect& disc) {
    for (const double scale : kZebraRings) {
        const RingSample ring = sampleRing(binary, cv::Mat(), disc, scale);
        const int fromFour = ring.whiteRuns % 4;
        const bool count =
            ring.whiteRuns >= kMinNotches - 1 && ring.whiteRuns <= kMaxNotches + 1 && fromFour != 2;
        if (count && ring.spacingSpread <= kMaxNotchSpacingSpread) {
            return ring.whiteRuns;
        }
    }
    return 0;
}

// A disc whose notches a blur has merged: a uniform white disc ringed by dark surroundings that
// are much darker than it. Texture shows light spots ringed by darker texture too, but neither so
// uniform nor so far apart in grey.
bool looksBlurred(const EvidenceImages& images, const DiscBlob& disc) {
    const cv::Mat& grey = images.grey;
    const cv::Mat& binary = images.binary;
    if (!ringMostly(binary, disc.ellipse, kFloorRing, true, kMinBlurredFloorBlack)) {
        return false;
    }
    const RingSample near = sampleRing(binary, grey, disc.ellipse, kZebraRings[0]);
    const RingSample middle = sampleRing(binary, cv::Mat(), disc.ellipse, kZebraRings[1]);
    if (near.blackShare < kMinBlurredZebraBlack || middle.blackShare < kMinBlurredOuterZebraBlack) {
        return false;
    }
    // The disc's inside on a grid of its inner part.
    double sum = 0.0;
    double squares = 0.0;
    int count = 0;
    const double reach = kDiscInside * disc.radius;
    for (int dy = -kInsideGrid; dy <= kInsideGrid; ++dy) {
        for (int dx = -kInsideGrid; dx <= kInsideGrid; ++dx) {
            if (dx * dx + dy * dy > kInsideGrid * kInsideGrid) {
                continue;  // the grid's corners lie outside the inner part
            }
            const cv::Point2d p(disc.ellipse.center.x + reach * dx / kInsideGrid,
                                disc.ellipse.center.y + reach * dy / kInsideGrid);
            const int x = std::clamp(roundHalfAway(p.x), 0, grey.cols - 1);
            const int y = std::clamp(roundHalfAway(p.y), 0, grey.rows - 1);
            const double v = grey.at<std::uint8_t>(y, x);
            sum += v;
            squares += v * v;
            ++count;
        }
    }
    const double mean = sum / count;
    const double spread = std::sqrt(std::max(0.0, squares / count - mean * mean));
    const double step = mean - near.meanGrey;
    return spread <= kMaxDiscSpread && (step >= kMinBlurredContrast * mean ||
                                        step >= kMinPictureContrastShare * images.contrast);
}

}  // namespace

DiscEvidence measureEvidence(const EvidenceImages& images, const DiscBlob& disc) {
    const cv::Mat& binary = images.binary;
    DiscEvidence evidence;
    const cv::Point2d centre(disc.ellipse.center);
    if (!ringMostly(binary, disc.ellipse, kFloorRing, true, kMinFloorBlack)) {
        return evidence;
    }
    evidence.floorSeen = true;
    evidence.notches = innerZebraNotches(binary, disc.ellipse);
    if (evidence.notches > 0) {
        evidence.reached = Evidence::InnerZebra;
        evidence.spokeLength = spokeLength(binary, centre, disc.radius);
    } else if (looksBlurred(images, disc)) {
        evidence.reached = Evidence::Disc;
    } else {
        return evidence;
    }
    const double reach = markerReach(binary, centre, disc.radius);
    if (reach - disc.radius < kMinMarkerToDisc * disc.radius ||
        reach >= kMaxRimToDisc * disc.radius) {
        return evidence;
    }
    evidence.markerReach = reach;
    evidence.rimRadius = rimRadius(binary, disc, reach, evidence.quietZone);
    // A blurred disc's quiet zone counts only round modules: a solid dark ring round a white hole
    // (a washer, a bold letter) is no symbol, however round.
    if (evidence.reached == Evidence::Disc && evidence.quietZone) {
        evidence.quietZone = showsModules(images, disc, evidence.rimRadius);
    }
    const double zebraScale = kZebraCircleShare * reach / disc.radius;
    // A disc without visible notches is its symbol's only when the outer zebra or the quiet zone
    // says so; one with notches has shown its inner zebra and its marker.
    if (looksLikeOuterZebra(binary, disc.ellipse, zebraScale, evidence.notches)) {
        evidence.reached = Evidence::OuterZebra;
    } else if (evidence.reached == Evidence::InnerZebra) {
        evidence.reached = Evidence::Marker;
    }
    return evidence;
}

bool showsModules(const EvidenceImages& images, const DiscBlob& disc, double rimRadius) {
    const double middle = 0.5 * (1.0 + rimRadius / disc.radius);
    const RingSample modules = sampleRing(images.binary, images.grey, disc.ellipse, middle);
    return modules.greySpread >= kMinModuleSpread && modules.blackShare >= kMinModuleBlack &&
           modules.blackShare <= 1.0 - kMinModuleBlack;
}

}  // namespace qcl
