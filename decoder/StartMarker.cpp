#include "decoder/StartMarker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/Angles.h"
#include "common/Logger.h"
#include "decoder/PolarHelpers.h"

namespace qcl {

namespace {

// A run shorter than this share of the longest run is not a marker.
constexpr double kRunShare = 0.8;
// Tolerance of the marker width against one module angle.
constexpr double kWidthTolerance = 0.3;
// Tolerance of a run length against the longest run.
constexpr double kLengthTolerance = 0.05;
// A white run must be at least this long to count as a side gap.
constexpr int kMinWhiteRun = 2;
// Pixels stepped past the end of a side ray's black run before its white run is counted.
constexpr double kSideStepOver = 2.0;
// Fewest passed tests a returned candidate has.
constexpr int kMinPlausibility = 2;
// Plausibility after the width, the two side and the two short-neighbour tests all passed.
constexpr int kAllFirstTestsPassed = 5;

struct RawEntry {
    double angle = 0.0;
    cv::Point2d start;
    cv::Point2d end;
    int run = 0;
};

// The measurement frame of one call.
struct Frame {
    const cv::Mat& image;
    cv::Point2d center;
    double radius;
};

cv::Point2d direction(double angle) {
    return {std::cos(angle), std::sin(angle)};
}

cv::Point2d rayStart(const Frame& f, double angle) {
    return f.center + f.radius * direction(angle);
}

// Black run on the ray at `angle`, white skipped first; `end` is where it stopped.
int blackRunOnRay(const Frame& f, double angle, cv::Point2d& end) {
    end = rayStart(f, angle);
    return countBlackRun(end, direction(angle), f.image, true);
}

double distance(const cv::Point2d& a, const cv::Point2d& b) {
    return cv::norm(a - b);
}

// Angular distance the short way round the circle.
double circularDistance(double a, double b) {
    const double d = std::fmod(std::abs(a - b), kTwoPi);
    return std::min(d, kTwoPi - d);
}

std::vector<RawEntry> angularScan(const Frame& f, double moduleAngle, int& maxRun, int& minRun) {
    std::vector<RawEntry> raw;
    maxRun = 0;
    minRun = std::numeric_limits<std::int32_t>::max();
    // The angle grows by repeated addition, so the last of the 361 angles lies a hair below 2 pi.
    for (double a = 0.0; a < kTwoPi; a += kDegree) {
        cv::Point2d end;
        const int run = blackRunOnRay(f, a, end);
        minRun = std::min(minRun, run);
        // A ray without black is no bar, even before any run has been seen.
        if (run == 0 || run < kRunShare * maxRun) {
            continue;
        }
        cv::Point2d unused;
        const int before = blackRunOnRay(f, a - kDegree, unused);
        const int after = blackRunOnRay(f, a + kDegree, unused);
        if (before < kRunShare * run && after < kRunShare * run) {
            continue;  // an isolated spike
        }
        const RawEntry entry{a, rayStart(f, a), end, run};
        if (raw.empty()) {
            raw.push_back(entry);
            maxRun = std::max(maxRun, run);
        } else if (kRunShare * run > maxRun) {
            raw.assign(1, entry);  // a clearly longer bar replaces everything found so far
            maxRun = std::max(maxRun, run);
        } else if (a > raw.back().angle + 2.0 * moduleAngle) {
            // A bar straddling 0 must not be found a second time near 2 pi.
            if (circularDistance(a, raw.front().angle) > 2.0 * moduleAngle) {
                raw.push_back(entry);
                maxRun = std::max(maxRun, run);
            }
        } else if (run > raw.back().run) {
            raw.back() = entry;
            maxRun = std::max(maxRun, run);
        }
    }
    return raw;
}

// Black run from the ray start, then the white run after it; dist is where the white run ended.
struct SideRun {
    int black = 0;
    int white = 0;
    double dist = 0.0;
};

SideRun measureSide(const Frame& f, double angle) {
    SideRun side;
    const cv::Point2d step = direction(angle);
    cv::Point2d p = rayStart(f, angle);
    side.black = countBlackRun(p, step, f.image, true);
    if (side.black > 0) {
        p += kSideStepOver * step;
    } else {
        p = rayStart(f, angle);
    }
    side.white = countWhiteRun(p, step, f.image, true);
    side.dist = distance(p, f.center);
    return side;
}

// Steps 5 to 8 of the evaluation: side, short-neighbour, second-neighbour and asymmetry tests.
int neighbourTests(const Frame& f, double t, double m, const RawEntry& entry, int minRun,
                   int plausibility, SideRun& left, SideRun& right) {
    left = measureSide(f, t - m);
    right = measureSide(f, t + m);
    const double longEnough = kRunShare * entry.run;
    if (left.black + left.white >= longEnough && left.white >= kMinWhiteRun) {
        ++plausibility;
    }
    if (right.black + right.white >= longEnough && right.white >= kMinWhiteRun) {
        ++plausibility;
    }
    const int k = std::max(5, std::abs(right.black - left.black));
    const int limit = minRun + 10 + k;
    if (left.black <= limit) {
        ++plausibility;
    }
    if (right.black <= limit) {
        ++plausibility;
    }
    if (plausibility == kAllFirstTestsPassed) {
        const SideRun left2 = measureSide(f, t - 2.0 * m);
        const SideRun right2 = measureSide(f, t + 2.0 * m);
        if (left2.black <= limit) {
            ++plausibility;
        }
        if (left2.black + left2.white + k >= longEnough && left2.white >= kMinWhiteRun) {
            ++plausibility;
        }
        if (right2.black <= limit) {
            ++plausibility;
        }
        if (right2.white >= kMinWhiteRun && right2.white <= 2 * k + 5) {
            ++plausibility;
        }
    }
    if (left.black + 5 <= right.black) {
        ++plausibility;  // the neighbour on the right of the marker carries the longer run
    }
    return plausibility;
}

// Step 9: the centre line, its inner point and the (possibly refined) outer end.
int centreLine(const Frame& f, double t, const RawEntry& entry, int maxRun, const SideRun& left,
               const SideRun& right, StartMarkerCandidate& candidate) {
    int plausibility = 0;
    const cv::Point2d step = direction(t);
    candidate.innerPoint = rayStart(f, t);
    cv::Point2d p = candidate.innerPoint;
    const int centreRun = countBlackRun(p, step, f.image, true);
    candidate.measuredOuterPoint = p;
    candidate.outerPoint = p;
    if (withinTolerance(centreRun, maxRun, kLengthTolerance)) {
        ++plausibility;
    } else {
        const int next = countBlackRun(p, step, f.image, true);
        if (next > 1 &&
            withinTolerance(distance(p, f.center) - f.radius, maxRun, kLengthTolerance)) {
            candidate.outerPoint = p;  // the bar was interrupted
        }
    }
    const double mean = (left.dist + right.dist) / 2.0;
    if (!withinTolerance(mean, entry.run, kLengthTolerance) && mean < entry.run) {
        candidate.outerPoint = f.center + mean * step;
    }
    return plausibility;
}

}  // namespace

std::vector<StartMarkerCandidate> findStartMarker(const cv::Mat& binaryImage, double innerRadius,
                                                  std::int32_t modulesPerRing) {
    std::vector<StartMarkerCandidate> candidates;
    if (modulesPerRing <= 0) {
        return candidates;  // no module angle to measure against
    }
    const Frame f{binaryImage,
                  cv::Point2d(static_cast<double>(binaryImage.cols / 2),
                              static_cast<double>(binaryImage.rows / 2)),
                  innerRadius};
    const double m = kTwoPi / modulesPerRing;
    int maxRun = 0;
    int minRun = 0;
    const std::vector<RawEntry> raw = angularScan(f, m, maxRun, minRun);

    for (const RawEntry& entry : raw) {
        const double leftEdge = findMarkerEdgeAngle(entry.angle, -kDegree, binaryImage, f.center,
                                                    f.radius, entry.run, kRunShare);
        const double rightEdge = findMarkerEdgeAngle(entry.angle, kDegree, binaryImage, f.center,
                                                     f.radius, entry.run, kRunShare);
        StartMarkerCandidate candidate;
        candidate.plausibility = withinTolerance(rightEdge - leftEdge, m, kWidthTolerance) ? 1 : 0;
        double t = (leftEdge + rightEdge) / 2.0;
        if (t < 0.0) {
            t += kTwoPi;
        }
        candidate.angle = t;
        const bool duplicate =
            !candidates.empty() && std::abs(t - candidates.back().angle) <= 2.0 * m;
        if (!duplicate) {
            SideRun left;
            SideRun right;
            candidate.plausibility =
                neighbourTests(f, t, m, entry, minRun, candidate.plausibility, left, right);
            candidate.plausibility += centreLine(f, t, entry, maxRun, left, right, candidate);
        }
        logTrace() << "angle: " << t / kDegree << ", plausibility: " << candidate.plausibility;
        if (!duplicate && candidate.plausibility >= kMinPlausibility) {
            candidates.push_back(candidate);
        }
    }
    return candidates;
}

}  // namespace qcl
