#include "decoder/OuterZebra.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/Angles.h"
#include "common/Logger.h"
#include "common/Rounding.h"
#include "decoder/EllipseOutline.h"
#include "decoder/PolarHelpers.h"
#include "imaging/NearestWarp.h"
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

// The ellipse fitted to the convex hull of the symbol's outline up to the start point; all zero
// when there are too few points.
cv::RotatedRect fitOutline(const cv::Mat& binaryImage, const cv::Point2d& startPoint) {
    const cv::Point2d c0(binaryImage.cols * 0.5, binaryImage.rows * 0.5);
    const double d = cv::norm(startPoint - c0);
    const cv::Point2d rounded(roundHalfAway(c0.x), roundHalfAway(c0.y));

    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    // The contour search works on its own copy and leaves the image as it is.
    cv::findContours(binaryImage, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);

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

// Colour changes along the outline of the ellipse with centre q, semi-axes (a, b) and rotation
// phi (degrees); false when the outline has no pixel inside the image.
// scratch: all-zero image of the size of `image`, left all zero.
bool readColourChanges(const cv::Mat& image, cv::Mat& scratch, const cv::Point& q, int a, int b,
                       int phi, ColourChanges& result) {
    std::vector<cv::Point> offsets = outlineAroundCentre(scratch, q, cv::Size(a, b), phi);
    if (offsets.empty()) {
        return false;
    }
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
    const cv::Point q(roundHalfAway(e.center.x), roundHalfAway(e.center.y));
    const int phi = roundHalfAway(e.angle);
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
    warpNearest(binaryImage, warped, h, binaryImage.size(), cv::BORDER_REPLICATE);
    binarizeOtsu(warped, corrected);
    return Success;
}

}  // namespace qcl
