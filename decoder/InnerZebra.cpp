#include "decoder/InnerZebra.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/Angles.h"
#include "common/Logger.h"
#include "decoder/PolarHelpers.h"

namespace qcl {

namespace {

constexpr int kNeededPoints = 4;
// A threshold whose combined spread stays below this is good enough to use.
constexpr double kMaxVarianceCoeff = 0.8;
// After a good threshold, a spread above this means the short places have fallen apart again.
constexpr double kFallOffVarianceCoeff = kMaxVarianceCoeff * 5.0 / 4.0;
constexpr double kPerfectFit = 0.0001;
// Smallest span of the threshold search above the smallest reach, pixels.
constexpr int kMinThresholdSpan = 25;
// A ray still belongs to a short place while its black run is at most reach / 0.9 + 1.
constexpr double kRunFactor = 0.9;
constexpr double kLeftStep = -CV_PI / 1800.0;
constexpr double kRightStep = CV_PI / 180.0;
// Widths are held in units of 0.0001 rad.
constexpr double kWidthUnits = 10000.0;
constexpr double kTooWide = 0.2;
constexpr double kTooNarrow = 0.05;
constexpr double kSpacingTolerance = 0.15;
constexpr int kSpacingClasses = 5;
// Angle of a record taken out of the list; far from every real angle.
constexpr double kRemoved = -1024.0;
// An edge angle this close to 0 or 2 pi is stored as 0.
constexpr double kZeroAngle = 0.000001;

struct ReachSample {
    std::int32_t reach;
    double angle;
};

struct EdgeRecord {
    std::int32_t width;
    double angle;
};

double shortAngularDistance(double a, double b) {
    return CV_PI - std::abs(std::abs(a - b) - CV_PI);
}

cv::Point2d direction(double angle) {
    return {std::cos(angle), std::sin(angle)};
}

std::vector<ReachSample> scanReaches(const cv::Mat& image, const cv::Point2d& c, double r) {
    std::vector<ReachSample> samples;
    for (double a = 0.0; a < kTwoPi; a += kDegree) {
        if (!samples.empty() && shortAngularDistance(a, samples.front().angle) <= kDegree / 2) {
            continue;
        }
        const cv::Point2d step = direction(a);
        cv::Point2d p = c + r * step;
        countBlackRun(p, step, image, true);
        samples.push_back({static_cast<std::int32_t>(cv::norm(p - c)), a});
    }
    return samples;
}

// Indices of the first sample of every run of samples shorter than t (runs may wrap).
std::vector<std::size_t> edgesAt(const std::vector<ReachSample>& samples, std::int32_t t) {
    std::vector<std::size_t> edges;
    bool inShortRun = samples.back().reach < t;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].reach >= t) {
            inShortRun = false;
        } else if (!inShortRun) {
            edges.push_back(i);
            inShortRun = true;
        }
    }
    return edges;
}

struct Spread {
    double quadrants;  // spread of the edge counts over the four quadrants
    double gaps;       // spread of the angular gaps between edges
};

Spread spreadOf(const std::vector<ReachSample>& samples, const std::vector<std::size_t>& edges) {
    double counts[4] = {0, 0, 0, 0};
    for (std::size_t e : edges) {
        const int quadrant = static_cast<int>(samples[e].angle / (CV_PI / 2));
        counts[std::min(std::max(quadrant, 0), 3)] += 1;
    }
    const double quarter = edges.size() / 4.0;
    double sum = 0.0;
    for (double count : counts) {
        sum += (count - quarter) * (count - quarter);
    }
    const double quadrantSpread = std::sqrt(sum / 4) / quarter;

    std::vector<double> gaps;
    double total = 0.0;
    for (std::size_t i = 1; i < edges.size(); ++i) {
        gaps.push_back(samples[edges[i]].angle - samples[edges[i - 1]].angle);
        total += gaps.back();
    }
    if (total < kTwoPi) {
        gaps.push_back(kTwoPi - total);
    }
    const double mean = kTwoPi / gaps.size();
    double squares = 0.0;
    for (double gap : gaps) {
        squares += (gap - mean) * (gap - mean);
    }
    return {quadrantSpread, std::sqrt(squares / gaps.size()) / mean};
}

// The reach threshold at which the short places are most evenly spread; -1 when none is.
std::int32_t findBestThreshold(const std::vector<ReachSample>& samples) {
    std::int32_t minReach = std::numeric_limits<std::int32_t>::max();
    std::int32_t maxReach = 0;
    for (const ReachSample& s : samples) {
        minReach = std::min(minReach, s.reach);
        maxReach = std::max(maxReach, s.reach);
    }
    const std::int32_t maxThreshold =
        minReach + std::max(kMinThresholdSpan, (3 * ((maxReach - minReach) / 5)) / 2);
    const double infinity = std::numeric_limits<double>::infinity();
    double bestCombi = infinity;
    double bestVarCoeff = infinity;
    double bestAngleDiffsVarCoeff = infinity;
    std::int32_t bestThreshold = 0;
    for (std::int32_t t = minReach; t < maxThreshold; ++t) {
        const auto edges = edgesAt(samples, t);
        if (edges.size() < static_cast<std::size_t>(kNeededPoints)) {
            continue;
        }
        const Spread spread = spreadOf(samples, edges);
        bestVarCoeff = std::min(bestVarCoeff, spread.quadrants);
        bestAngleDiffsVarCoeff = std::min(bestAngleDiffsVarCoeff, spread.gaps);
        const double combi = spread.quadrants + spread.gaps;
        if (combi < bestCombi) {
            bestCombi = combi;
            bestThreshold = t;
        }
        if (bestCombi < kMaxVarianceCoeff && combi > kFallOffVarianceCoeff) {
            break;
        }
        logTrace() << "bestThreshold <= threshold < maxThreshold : " << bestThreshold << " <= " << t
                   << " < " << maxThreshold;
        logTrace() << "nPoints >= NeededPoints : " << edges.size() << " >= " << kNeededPoints;
        logTrace() << "varCoeff >= bestVarCoeff : " << spread.quadrants << " >= " << bestVarCoeff;
        logTrace() << "angleDiffsVarCoeff >= bestAngleDiffsVarCoeff : " << spread.gaps
                   << " >= " << bestAngleDiffsVarCoeff;
        logTrace() << "combiVarCoeff <= maxVarianceCoeff*5/4 : " << combi
                   << " <= " << kFallOffVarianceCoeff;
        if (bestCombi <= kPerfectFit) {
            break;
        }
    }
    if (bestCombi >= kMaxVarianceCoeff) {
        logTrace() << "minBlack: " << minReach;
        logTrace() << "bestCombiVarCoeff >= maxVarianceCoeff : " << bestCombi
                   << " >= " << kMaxVarianceCoeff;
        return -1;
    }
    return bestThreshold;
}

double normalizedAngle(double angle) {
    if (angle < 0.0) {
        angle += kTwoPi;
    } else if (angle >= kTwoPi) {
        angle -= kTwoPi;
    }
    if (std::abs(angle) <= kZeroAngle || std::abs(angle - kTwoPi) <= kZeroAngle) {
        angle = 0.0;
    }
    return angle;
}

// Moves an edge whose sample is not clearly short onto the next sample below meanClipped.
// `s` carries over from one edge to the next.
ReachSample repickedEdge(const std::vector<ReachSample>& samples, ReachSample edge,
                         std::int32_t meanClipped, std::size_t& s) {
    const std::size_t n = samples.size();
    if (edge.reach < meanClipped) {
        return edge;
    }
    for (std::size_t guard = 0; guard < n && edge.angle > samples[s].angle; ++guard) {
        s = (s + 1) % n;
    }
    const std::size_t stop = (s + n - 1) % n;
    while (samples[s].reach >= meanClipped && s != stop) {
        s = (s + 1) % n;
    }
    return samples[s];
}

// Bisects every short place for its two edges; a place within a degree of the previous one
// (compared the short way round the circle) is the same place seen twice and is dropped.
// With runFromDisc the expected run is the place's own black counted from the disc, not its
// distance from the centre.
std::vector<EdgeRecord> refineEdges(const cv::Mat& image, const cv::Point2d& c, double r,
                                    const std::vector<ReachSample>& samples, std::int32_t threshold,
                                    bool runFromDisc) {
    std::int64_t clippedSum = 0;
    for (const ReachSample& s : samples) {
        clippedSum += std::min(s.reach, threshold);
    }
    const auto meanClipped =
        static_cast<std::int32_t>(clippedSum / static_cast<std::int64_t>(samples.size()));

    std::vector<EdgeRecord> records;
    std::size_t s = 0;
    for (std::size_t index : edgesAt(samples, threshold)) {
        const ReachSample edge = repickedEdge(samples, samples[index], meanClipped, s);
        const std::int32_t run =
            runFromDisc ? std::max(1, edge.reach - static_cast<std::int32_t>(r)) : edge.reach;
        const double left = findRunEdgeAngle(edge.angle, kLeftStep, image, c, r, run, kRunFactor);
        const double right = findRunEdgeAngle(edge.angle, kRightStep, image, c, r, run, kRunFactor);
        const auto width = static_cast<std::int32_t>(std::nearbyint((right - left) * kWidthUnits));
        const double mid = normalizedAngle((left + right) / 2);
        const bool duplicate = !records.empty() && records.back().angle != kRemoved &&
                               shortAngularDistance(mid, records.back().angle) <= kDegree;
        records.push_back({width, duplicate ? kRemoved : mid});
    }
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const EdgeRecord& e) { return e.angle == kRemoved; }),
                  records.end());
    return records;
}

// Median width in radians, or a non-positive value for an empty list.
double medianWidth(std::vector<EdgeRecord> records) {
    if (records.empty()) {
        return 0.0;
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const EdgeRecord& a, const EdgeRecord& b) { return a.width < b.width; });
    const std::size_t n = records.size();
    if (n % 2 == 1) {
        return records[n / 2].width / kWidthUnits;
    }
    return (records[n / 2 - 1].width + records[n / 2].width) / (2.0 * kWidthUnits);
}

// The number of places per turn, rounded to a multiple of 8, sets the module angle; 0 when the
// median width is too large or too small to give one place per turn.
double placesPerTurn(const std::vector<EdgeRecord>& records) {
    const double median = medianWidth(records);
    const double places = median > 0.0 ? std::nearbyint(kTwoPi / median / 8) : 0.0;
    if (!(places >= 1.0) || !std::isfinite(places)) {
        logTrace() << "median place width gives no module angle: " << median;
        return 0.0;
    }
    return places;
}

std::int32_t roundedWidth(double left, double right) {
    return static_cast<std::int32_t>(std::round((right - left) * kWidthUnits));
}

}  // namespace

namespace {

bool isTooNarrow(std::int32_t width, std::int32_t expected) {
    return width < expected && !withinTolerance(width, expected, kTooNarrow);
}

// Keeps places of about the module width, drops much wider ones and merges a too narrow place
// with a neighbour less than a module angle away. Returns the angles of the places kept.
std::vector<double> cleanPlaces(std::vector<EdgeRecord>& r, double moduleAngle) {
    const auto expected = static_cast<std::int32_t>(moduleAngle * kWidthUnits);
    const std::size_t n = r.size();
    auto angleBefore = [&r](std::size_t i) { return i == 0 ? 0.0 : r[i - 1].angle; };
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t w = r[i].width;
        if (w >= expected || !isTooNarrow(w, expected)) {
            if (w > expected && !withinTolerance(w, expected, kTooWide)) {
                r[i].angle = kRemoved;
            }
            continue;
        }
        if (i >= 1 && r[i].angle - r[i - 1].angle < moduleAngle) {
            const double right = r[i].angle + w / (2 * kWidthUnits);
            const double left = r[i - 1].angle - r[i - 1].width / (2 * kWidthUnits);
            r[i - 1].angle = std::max(angleBefore(i - 1), (left + right) / 2);
            r[i - 1].width = roundedWidth(left, right);
            if (i >= 2 && r[i - 1].angle == r[i - 2].angle) {
                r[i - 2].width = std::max(r[i - 2].width, r[i - 1].width);
                r[i - 1].angle = kRemoved;
            }
            r[i].angle = kRemoved;
        } else if (i + 1 < n && !isTooNarrow(r[i + 1].width, expected) &&
                   r[i + 1].angle - r[i].angle < moduleAngle) {
            const double right = r[i + 1].angle + r[i + 1].width / (2 * kWidthUnits);
            const double left = r[i].angle - w / (2 * kWidthUnits);
            r[i].angle = std::max(angleBefore(i), (left + right) / 2);
            r[i].width = roundedWidth(left, right);
            if (i >= 1 && r[i].angle == r[i - 1].angle) {
                r[i].width = std::max(r[i].width, r[i - 1].width);
                r[i - 1].angle = kRemoved;
            }
            r[i + 1].angle = kRemoved;
            ++i;
        }
    }
    std::vector<double> angles;
    for (const EdgeRecord& record : r) {
        if (record.angle != kRemoved) {
            angles.push_back(record.angle);
        }
    }
    return angles;
}

// Spacing class k (gap near (pi/2)/k), or 0 for none.
int spacingClass(double gap) {
    for (int k = 1; k <= kSpacingClasses; ++k) {
        if (withinTolerance(gap, (CV_PI / 2) / k, kSpacingTolerance)) {
            return k;
        }
    }
    return 0;
}

// Indices of the angles whose gaps fit the most common spacing class, and that class.
std::vector<int> dominantSpacing(const std::vector<double>& a, int& chosenClass) {
    std::vector<std::vector<int>> classes(kSpacingClasses + 1);
    const std::size_t n = a.size();
    double closing = a[0] - a[n - 1];
    if (a[0] < a[n - 1]) {
        closing += kTwoPi;
    }
    if (const int k = spacingClass(closing)) {
        classes[k].push_back(0);
    }
    for (std::size_t i = 1; i < n; ++i) {
        double gap = a[i] - a[i - 1];
        if (gap < 0.0) {
            gap += kTwoPi;
        }
        if (const int k = spacingClass(gap)) {
            std::vector<int>& list = classes[k];
            if (list.empty() || list.back() != static_cast<int>(i - 1)) {
                list.push_back(static_cast<int>(i - 1));
            }
            list.push_back(static_cast<int>(i));
        }
    }
    chosenClass = 1;
    for (int k = 2; k <= kSpacingClasses; ++k) {
        if (classes[k].size() > classes[chosenClass].size()) {
            chosenClass = k;
        }
    }
    return classes[chosenClass];
}

// Measures the edge point of every grid slot and the ring's mean radius; slots without a
// measured angle get a radius interpolated between their measured neighbours.
bool measureEdges(const cv::Mat& image, const cv::Point2d& c, double r, std::vector<GridSlot>& grid,
                  InnerZebra& zebra) {
    std::vector<bool> measured(grid.size(), false);
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        GridSlot& g = grid[i];
        if (!zebra.edges.empty() && g.angle <= zebra.edges.back().angle) {
            continue;
        }
        const cv::Point2d step = direction(g.angle);
        cv::Point2d p = c + r * step;
        if (!g.interpolated) {
            countBlackRun(p, step, image, true);
            g.radius = static_cast<float>(cv::norm(p - c));
            sum += g.radius;
            ++count;
            measured[i] = true;
        }
        zebra.edges.push_back({g.slot, g.angle, cv::Point2f(p)});
    }
    if (count == 0) {
        return false;
    }
    zebra.radius = std::round(sum / count);

    const std::size_t size = grid.size();
    std::size_t j = size;
    for (std::size_t i = 0; i < size; ++i) {
        j = measured[i] ? i : j;
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (!measured[i]) {
            continue;
        }
        if (!(j + 1 == i || (i == 0 && j == size - 1))) {
            const std::size_t gap = j < i ? i - j : size - j + i;
            const float step = (grid[i].radius - grid[j].radius) / static_cast<float>(gap);
            float rho = grid[j].radius;
            for (std::size_t k = (j + 1) % size; k != i; k = (k + 1) % size) {
                rho += step;
                for (RingPoint& point : zebra.edges) {
                    if (point.slot == grid[k].slot) {
                        point.position = cv::Point2f(c + rho * direction(grid[k].angle));
                    }
                }
            }
        }
        j = i;
    }
    return true;
}

}  // namespace

ErrorCode findInnerZebra(const cv::Mat& binaryImage, double innerRadius, InnerZebra& zebra) {
    zebra = InnerZebra();
    if (binaryImage.empty() || !(innerRadius >= 0.0 && innerRadius < binaryImage.total())) {
        return PerspectiveMarkersNotDetected;  // no disc edge to measure from
    }
    const cv::Point2d c(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const auto samples = scanReaches(binaryImage, c, innerRadius);
    const std::int32_t threshold = findBestThreshold(samples);
    if (threshold < 0) {
        return PerspectiveMarkersNotDetected;
    }
    std::vector<EdgeRecord> records =
        refineEdges(binaryImage, c, innerRadius, samples, threshold, false);
    double places = placesPerTurn(records);
    if (places < 1.0) {
        // The bisection weighs the black beside a place, counted from the disc, against the
        // place's distance from the centre: a disc wider than about a pitch makes every ray a hit
        // and every place a half turn wide. The place's own run from the disc still tells them.
        records = refineEdges(binaryImage, c, innerRadius, samples, threshold, true);
        places = placesPerTurn(records);
    }
    if (places < 1.0) {
        return PerspectiveMarkersNotDetected;
    }
    const double moduleAngle = kTwoPi / (8 * places);
    std::stable_sort(records.begin(), records.end(),
                     [](const EdgeRecord& a, const EdgeRecord& b) { return a.angle < b.angle; });
    const std::vector<double> angles = cleanPlaces(records, moduleAngle);

    if (angles.size() < static_cast<std::size_t>(kNeededPoints)) {
        return WrongNumberOfPerspectiveMarkers;
    }
    int spacing = 0;
    const std::vector<int> selected = dominantSpacing(angles, spacing);
    const std::int32_t slotCount = 4 * spacing;
    logTrace() << "maxAngles: " << slotCount;
    if (selected.size() < static_cast<std::size_t>(kNeededPoints)) {
        logTrace() << "m >= NeededPoints: " << selected.size() << " >= " << kNeededPoints;
        return WrongNumberOfPerspectiveMarkers;
    }
    std::vector<GridSlot> grid = fitAngularGrid(angles, selected, slotCount, true);
    if (grid.size() > static_cast<std::size_t>(slotCount) ||
        grid.size() < static_cast<std::size_t>(kNeededPoints)) {
        return WrongNumberOfPerspectiveMarkers;
    }
    zebra.slotCount = slotCount;
    if (!measureEdges(binaryImage, c, innerRadius, grid, zebra)) {
        zebra = InnerZebra();
        return WrongNumberOfPerspectiveMarkers;
    }
    return Success;
}

}  // namespace qcl
