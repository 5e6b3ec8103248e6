#include "decoder/OuterZebra.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "common/Angles.h"
#include "common/Logger.h"
#include "decoder/PolarHelpers.h"
#include "imaging/Preprocessing.h"

namespace qcl {

namespace {

// Contour points this far beyond the start point still belong to the symbol's outline.
constexpr double kOutlineMargin = 5.0;
// Outline ellipses tried, each one pixel smaller on both semi-axes than the one before.
constexpr int kTrials = 11;
// Fewest black modules, and fewest well-spaced ones, that make a ring.
constexpr int kMinModules = 4;
// Tolerance of the black module count against modulesPerRing / 2.
constexpr double kCountTolerance = 0.33;
// Tolerance of a gap between black modules against the expected spacing.
constexpr double kSpacingTolerance = 0.15;
// Margin between the corrected ring and the image border, in pixels.
constexpr double kTransform2Margin = 10.0;

double roundHalfAway(double v) {
    return std::round(v);
}

// The ellipse fitted to the convex hull of the symbol's outline up to the start point; all zero
// when there are too few points.
cv::RotatedRect fitOutline(const cv::Mat& binaryImage, const cv::Point2d& startPoint) {
    const cv::Point2d c0(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const double d = cv::norm(startPoint - c0);
    const cv::Point2d rounded(roundHalfAway(c0.x), roundHalfAway(c0.y));

    cv::Mat copy = binaryImage.clone();
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(copy, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);

    std::vector<cv::Point> points;
    // The first contour of the list is left out.
    for (std::size_t i = 1; i < contours.size(); ++i) {
        for (const cv::Point& p : contours[i]) {
            if (cv::norm(cv::Point2d(p) - rounded) <= d + kOutlineMargin) {
                points.push_back(p);
            }
        }
    }
    cv::RotatedRect ellipse(cv::Point2f(0.0f, 0.0f), cv::Size2f(0.0f, 0.0f), 0.0f);
    if (points.size() > 1) {
        std::vector<cv::Point> hull;
        cv::convexHull(points, hull, false, true);
        if (hull.size() >= 5) {
            ellipse = cv::fitEllipse(hull);
        }
    }
    return ellipse;
}

struct ColourChanges {
    std::vector<double> angles;
    int startColour = 0;
};

// Corner step, in degrees, of the polygon by which cv::ellipse draws an ellipse whose longer
// semi-axis is `longer` pixels.
int outlineStep(int longer) {
    return longer < 3 ? 90 : longer < 10 ? 30 : longer < 15 ? 18 : 5;
}

// Every drawn outline pixel lies within this many pixels, across and along, of the walk along the
// polygon with rounded corners: drawn pixels stray half a pixel from the exact edge, rounding the
// corners moves the edge by up to half a pixel, and the walk stays within a pixel of the rounded
// edge (half a pixel more where it is clipped): at most 2.5, so 2 in whole pixels.
constexpr int kOutlineReach = 2;

// Moves the marked pixels of `scratch` in columns x0..x1 and rows y0..y1 (clipped to the image) to
// `pixels`, clearing them.
void pickUpMarked(cv::Mat& scratch, int x0, int y0, int x1, int y1,
                  std::vector<cv::Point>& pixels) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, scratch.cols - 1);
    y1 = std::min(y1, scratch.rows - 1);
    for (int y = y0; y <= y1; ++y) {
        std::uint8_t* row = scratch.data + static_cast<std::size_t>(y) * scratch.step[0];
        for (int x = x0; x <= x1; ++x) {
            if (row[x] != 0) {
                row[x] = 0;
                pixels.emplace_back(x, y);
            }
        }
    }
}

// Sorts pixels of rows 0 .. rows - 1 by row, then by column: bucketed by row, which holds few.
void sortRowMajor(std::vector<cv::Point>& pixels, int rows) {
    std::vector<std::size_t> next(static_cast<std::size_t>(rows) + 1, 0);
    for (const cv::Point& p : pixels) {
        ++next[static_cast<std::size_t>(p.y) + 1];
    }
    std::partial_sum(next.begin(), next.end(), next.begin());
    std::vector<cv::Point> sorted(pixels.size());
    for (const cv::Point& p : pixels) {
        sorted[next[static_cast<std::size_t>(p.y)]++] = p;
    }
    // next[y] is now where row y ends.
    auto byColumn = [](const cv::Point& l, const cv::Point& r) { return l.x < r.x; };
    std::size_t begin = 0;
    for (int y = 0; y < rows; ++y) {
        std::sort(sorted.begin() + begin, sorted.begin() + next[y], byColumn);
        begin = next[y];
    }
    pixels.swap(sorted);
}

// True when the direction of `a` has a smaller angle in (-pi, pi] than that of `b`, the way
// atan2 orders them, decided exactly on the integer offsets (the zero offset counts as angle 0).
// Offsets of pixels in one image differ in angle by far more than atan2's rounding, so sorting
// by this gives the order of sorting by atan2, ties included, without an atan2 per pixel.
bool smallerAngle(const cv::Point& a, const cv::Point& b) {
    // 0: angles in (-pi, 0); 1: angles in [0, pi].
    const int halfA = a.y < 0 ? 0 : 1;
    const int halfB = b.y < 0 ? 0 : 1;
    if (halfA != halfB) {
        return halfA < halfB;
    }
    const long cross = static_cast<long>(a.x) * b.y - static_cast<long>(a.y) * b.x;
    if (cross != 0) {
        return cross > 0;
    }
    // Same or opposite directions on the x axis (0 and pi), or the zero offset (0).
    const bool piA = a.y == 0 && a.x < 0;
    const bool piB = b.y == 0 && b.x < 0;
    return !piA && piB;
}

// Colour changes along the outline of the ellipse with centre q, semi-axes (a, b) and rotation
// phi (degrees); false when the outline has no pixel inside the image.
// scratch: all-zero image of the size of `image`, left all zero.
bool readColourChanges(const cv::Mat& image, cv::Mat& scratch, const cv::Point& q, int a, int b,
                       int phi, ColourChanges& result) {
    std::vector<cv::Point> offsets = ellipseOutline(scratch, q, cv::Size(a, b), phi);
    if (offsets.empty()) {
        return false;
    }
    // Around the centre by angle; pixels of equal angle stay in row-major order.
    for (cv::Point& p : offsets) {
        p -= q;
    }
    std::stable_sort(offsets.begin(), offsets.end(), smallerAngle);
    offsets.push_back(offsets.front());

    result.angles.clear();
    auto valueAt = [&](const cv::Point& offset) { return image.at<std::uint8_t>(offset + q); };
    result.startColour = valueAt(offsets.front());
    int current = result.startColour;
    for (const cv::Point& offset : offsets) {
        const int value = valueAt(offset);
        if (value != current) {
            result.angles.push_back(std::atan2(offset.y, offset.x));
            current = value;
        }
    }
    if (!result.angles.empty() && result.angles.back() < 0.0) {
        result.angles.back() += kTwoPi;  // the closing change at the seam
    }
    return true;
}

std::vector<double> blackCentres(const ColourChanges& changes) {
    std::vector<double> centres;
    const std::vector<double>& a = changes.angles;
    if (a.empty()) {
        return centres;
    }
    std::size_t u = 0;
    if (changes.startColour == 0) {
        double seam = (a.back() + a.front() + kTwoPi) / 2.0;
        if (seam > kTwoPi) {
            seam -= kTwoPi;
        }
        centres.push_back(seam);
        u = 1;
    }
    for (; u + 1 < a.size(); u += 2) {
        centres.push_back((a[u] + a[u + 1]) / 2.0);
    }
    return centres;
}

// Gap from the centre before to the one after, going forward round the circle.
double forwardGap(double before, double after) {
    return after < before ? after - before + kTwoPi : after - before;
}

// Root mean square deviation of the gaps from the expected spacing, relative to it.
double spacingScore(const std::vector<double>& centres, double expected) {
    std::vector<double> gaps;
    double sum = 0.0;
    for (std::size_t i = 1; i < centres.size(); ++i) {
        gaps.push_back(forwardGap(centres[i - 1], centres[i]));
        sum += gaps.back();
    }
    if (sum < kTwoPi) {
        gaps.push_back(kTwoPi - sum);
    }
    double squares = 0.0;
    for (double g : gaps) {
        squares += (g - expected) * (g - expected);
    }
    return std::sqrt(squares / gaps.size()) / expected;
}

std::vector<int> selectWellSpaced(const std::vector<double>& centres, double expected) {
    std::vector<int> selected;
    const int n = static_cast<int>(centres.size());
    if (withinTolerance(forwardGap(centres[n - 1], centres[0]), expected, kSpacingTolerance)) {
        selected.push_back(0);
    }
    for (int i = 1; i < n; ++i) {
        if (withinTolerance(forwardGap(centres[i - 1], centres[i]), expected, kSpacingTolerance)) {
            if (selected.empty() || selected.back() != i - 1) {
                selected.push_back(i - 1);
            }
            selected.push_back(i);
        }
    }
    return selected;
}

// Distance from the centre of an ellipse (semi-axes a along its rotated x axis, b) to its outline
// in the direction theta.
double outlineRadius(double a, double b, double rotation, double theta) {
    const double local = theta - rotation;
    const double bc = b * std::cos(local);
    const double as = a * std::sin(local);
    return a * b / std::sqrt(bc * bc + as * as);
}

bool finite(const cv::RotatedRect& e) {
    return std::isfinite(e.center.x) && std::isfinite(e.center.y) && std::isfinite(e.size.width) &&
           std::isfinite(e.size.height) && std::isfinite(e.angle);
}

// Black module centres of the most evenly spaced of the eleven outline readings, each reading
// one pixel inside the one before.
std::vector<double> bestTrialCentres(const cv::Mat& binaryImage, const cv::RotatedRect& e,
                                     double expected) {
    const cv::Point q(static_cast<int>(roundHalfAway(e.center.x)),
                      static_cast<int>(roundHalfAway(e.center.y)));
    const int phi = static_cast<int>(roundHalfAway(e.angle));
    double best = std::numeric_limits<double>::infinity();
    std::vector<double> bestCentres;
    ColourChanges changes;
    cv::Mat scratch = cv::Mat::zeros(binaryImage.size(), CV_8UC1);
    for (int k = 0; k < kTrials; ++k) {
        const int a = static_cast<int>(std::round((e.size.width - 2.0f * k) / 2.0f));
        const int b = static_cast<int>(std::round((e.size.height - 2.0f * k) / 2.0f));
        if (!readColourChanges(binaryImage, scratch, q, a, b, phi, changes) ||
            changes.angles.size() % 2 != 0) {
            continue;
        }
        logTrace() << "startColor: " << changes.startColour;
        logTrace() << "colorChanges.size(): " << changes.angles.size();
        std::vector<double> centres = blackCentres(changes);
        const double score = spacingScore(centres, expected);
        if (score < best) {
            best = score;
            bestCentres = std::move(centres);
        }
        logTrace() << "Outer Zebra angleDiffsVarCoeff < bestAngleDiffsVarCoeff : " << score << " < "
                   << best;
    }
    return bestCentres;
}

}  // namespace

std::vector<cv::Point> ellipseOutline(cv::Mat& scratch, const cv::Point& center,
                                      const cv::Size& axes, int angle) {
    CV_Assert(scratch.type() == CV_8UC1);
    const cv::Size semi(std::abs(axes.width), std::abs(axes.height));
    cv::ellipse(scratch, center, semi, angle, 0, 360, cv::Scalar(255), 1, cv::LINE_8, 0);

    // The drawn pixels are picked up, and cleared, near a walk along the same polygon: a few
    // thousand pixels looked at instead of the whole image.
    std::vector<cv::Point2d> corners;
    cv::ellipse2Poly(cv::Point2d(center), cv::Size2d(semi), angle, 0, 360,
                     outlineStep(std::max(semi.width, semi.height)), corners);
    const int r = kOutlineReach;
    const cv::Rect reachable(-r, -r, scratch.cols + 2 * r, scratch.rows + 2 * r);
    std::vector<cv::Point> pixels;
    cv::Point previous;
    bool walking = false;
    for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
        const cv::Point from(cvRound(corners[i].x), cvRound(corners[i].y));
        const cv::Point to(cvRound(corners[i + 1].x), cvRound(corners[i + 1].y));
        cv::LineIterator walk(reachable, from, to, 8);
        for (int step = 0; step < walk.count; ++step, ++walk) {
            const cv::Point p = walk.pos();
            const cv::Point d = p - previous;
            if (walking && std::abs(d.x) <= 1 && std::abs(d.y) <= 1) {
                // One step on: only the column and row that enter the window are new.
                if (d.x != 0) {
                    const int x = p.x + d.x * r;
                    pickUpMarked(scratch, x, p.y - r, x, p.y + r, pixels);
                }
                if (d.y != 0) {
                    const int y = p.y + d.y * r;
                    pickUpMarked(scratch, p.x - r, y, p.x + r, y, pixels);
                }
            } else {
                pickUpMarked(scratch, p.x - r, p.y - r, p.x + r, p.y + r, pixels);
            }
            previous = p;
            walking = true;
        }
    }
    sortRowMajor(pixels, scratch.rows);
    return pixels;
}

ErrorCode findOuterZebra(const cv::Mat& binaryImage, std::int32_t modulesPerRing,
                         const cv::Point2d& startPoint, OuterZebra& zebra) {
    zebra = OuterZebra();
    const int half = modulesPerRing / 2;
    const cv::RotatedRect e = fitOutline(binaryImage, startPoint);
    // Without an outline there is nothing to sample, and a ring without modules has no spacing.
    if (half < 1 || !finite(e) || e.size.width <= 0.0f || e.size.height <= 0.0f) {
        return WrongNumberOfOuterZebraModules;
    }
    const double expected = kTwoPi / half;
    const std::vector<double> centres = bestTrialCentres(binaryImage, e, expected);

    const int n = static_cast<int>(centres.size());
    if (n < kMinModules || !withinTolerance(n, half, kCountTolerance)) {
        return WrongNumberOfOuterZebraModules;
    }
    const std::vector<int> selected = selectWellSpaced(centres, expected);
    if (static_cast<int>(selected.size()) < kMinModules) {
        return WrongNumberOfOuterZebraModules;
    }
    const std::vector<GridSlot> grid = fitAngularGrid(centres, selected, half, false);
    if (static_cast<int>(grid.size()) > half || static_cast<int>(grid.size()) < kMinModules) {
        return WrongNumberOfOuterZebraModules;
    }

    const cv::Point2d c(e.center.x, e.center.y);
    const double phiRadians = e.angle * kPi / 180.0;
    const double semiA = e.size.width / 2.0;
    const double semiB = e.size.height / 2.0;
    zebra.slotCount = half;
    double sum = 0.0;
    for (const GridSlot& g : grid) {
        if (!zebra.modules.empty() && g.angle <= zebra.modules.back().angle) {
            continue;
        }
        const double rho = outlineRadius(semiA, semiB, phiRadians, g.angle);
        const cv::Point2f position(static_cast<float>(c.x + rho * std::cos(g.angle)),
                                   static_cast<float>(c.y + rho * std::sin(g.angle)));
        zebra.modules.push_back(RingPoint{g.slot, g.angle, position});
        sum += rho;
    }
    zebra.radius = roundHalfAway(sum / zebra.modules.size());
    return Success;
}

ErrorCode applyTransform2(const cv::Mat& binaryImage, const OuterZebra& zebra,
                          StartMarkerCandidate& marker, cv::Mat& corrected,
                          cv::Matx33d& homography) {
    if (zebra.slotCount <= 0 || zebra.modules.size() < static_cast<std::size_t>(kMinModules)) {
        return WrongNumberOfOuterZebraModules;
    }
    const cv::Point2d c(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const double target = std::min(c.x, c.y) - kTransform2Margin;
    std::vector<cv::Point2f> sources;
    std::vector<cv::Point2f> targets;
    for (const RingPoint& module : zebra.modules) {
        const float t = static_cast<float>(module.slot * kTwoPi / zebra.slotCount);
        sources.push_back(module.position);
        targets.emplace_back(std::cos(t) * static_cast<float>(target) + static_cast<float>(c.x),
                             std::sin(t) * static_cast<float>(target) + static_cast<float>(c.y));
    }
    const cv::Mat h = cv::findHomography(sources, targets, 0, 3.0, cv::noArray(), 2000, 0.995);
    if (h.empty()) {
        return WrongNumberOfOuterZebraModules;  // degenerate module positions
    }
    homography = cv::Matx33d(h);

    std::vector<cv::Point2f> points{cv::Point2f(marker.innerPoint), cv::Point2f(marker.outerPoint)};
    cv::perspectiveTransform(points, points, homography);
    marker.innerPoint = points[0];
    marker.outerPoint = points[1];
    marker.angle = std::atan2(marker.outerPoint.y - c.y, marker.outerPoint.x - c.x);
    if (marker.angle < 0.0) {
        marker.angle += kTwoPi;
    }

    cv::Mat warped;
    cv::warpPerspective(binaryImage, warped, h, binaryImage.size(), cv::INTER_NEAREST,
                        cv::BORDER_REPLICATE);
    binarizeOtsu(warped, corrected);
    return Success;
}

}  // namespace qcl
