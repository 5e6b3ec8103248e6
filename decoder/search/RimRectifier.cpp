#include "decoder/search/RimRectifier.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "decoder/PolarHelpers.h"
#include "decoder/search/ConcentricCircles.h"
#include "imaging/AreaReduction.h"

namespace qcl {
namespace {

// The rim lies within 16 disc radii (9 rings of pitch 0.75 disc radius, plus the zebras); the
// search square reaches a little farther so that a rim touching its border is not a rim.
constexpr double kRimReach = 26.0;
// The dark area is closed at a scale where the disc's semi-minor axis is this many pixels; the
// closing element, one disc diameter, bridges the white modules between dark ones.
constexpr double kClosingDiscRadius = 4.0;
// Rays from the disc that look for the rim, and the disc radii they skip first (the disc and the
// black that encloses it).
constexpr int kRimRays = 180;
constexpr double kRimSkipDiscs = 2.0;
// The rim's ellipse is refitted to the ray ends within 8 % of it, at most three times; it stands
// when at least 60 % of the rays that saw an end (and 24 rays at least) agree with it.
constexpr int kFitRounds = 3;
constexpr double kRimTolerance = 0.08;
constexpr std::size_t kMinRimPoints = 24;
constexpr double kMinRimShare = 0.6;
// A rim and its disc are one symbol's when the rim's centre lies within this share of the rim's
// semi-minor axis of the disc's, the rim is 3 to 24 disc radii across and both ellipses show the
// same slant (their axis ratios differ by at most kMaxRatioDifference).
constexpr double kMaxOffCentre = 0.15;
// Seen in strong perspective (a page tilted 45 degrees or more close to the camera) the rim's
// ellipse is centred well off its disc's; up to this share it is still the disc's rim when the
// two ellipses are the images of concentric circles.
constexpr double kMaxPerspectiveOffCentre = 0.35;
constexpr double kMinRimToDisc = 3.0;
constexpr double kMaxRimToDisc = 24.0;
constexpr double kMaxRatioDifference = 0.2;
// Half the view's side in rim radii: the same quiet zone as the candidate views.
constexpr double kViewHalfSide = 1.08;
// Beyond the rim plus this share of it the view is painted white, so that neighbours of the
// symbol (other symbols, the edge of a page) do not reach the chain's centre search.
constexpr double kRimMargin = 0.06;

double semiMajor(const cv::RotatedRect& e) {
    return 0.5 * std::max(e.size.width, e.size.height);
}

double semiMinor(const cv::RotatedRect& e) {
    return 0.5 * std::min(e.size.width, e.size.height);
}

double axisRatio(const cv::RotatedRect& e) {
    return semiMinor(e) / std::max(semiMajor(e), 1e-9);
}

// Where a ray from `from` leaves the dark area for good: the first white pixel after at least
// `skip` pixels. False when the ray reaches the image's edge first, where the rim is not seen.
bool rayExit(const cv::Mat& dark, const cv::Point2f& from, double angle, double skip,
             cv::Point2f& exit) {
    const cv::Point2f step(static_cast<float>(std::cos(angle)),
                           static_cast<float>(std::sin(angle)));
    const double limit = static_cast<double>(dark.cols + dark.rows);
    for (double rho = skip; rho < limit; rho += 1.0) {
        const cv::Point2f p = from + step * static_cast<float>(rho);
        const int value = pixelAt(cv::Point2d(p), dark);
        if (value < 0) {
            return false;
        }
        if (value == 0) {
            exit = p;
            return true;
        }
    }
    return false;
}

// Radial position of p relative to ellipse e: 1 on the ellipse, below 1 inside.
double ellipseRadius(const cv::RotatedRect& e, const cv::Point2f& p) {
    const double theta = e.angle * CV_PI / 180.0;
    const double dx = p.x - e.center.x;
    const double dy = p.y - e.center.y;
    const double u = dx * std::cos(theta) + dy * std::sin(theta);
    const double v = -dx * std::sin(theta) + dy * std::cos(theta);
    return std::hypot(u / (0.5 * e.size.width), v / (0.5 * e.size.height));
}

// An ellipse through most of `points`: refitted to the points near the last fit, so that rays
// that ran into a dark neighbour or left through a white gap in the symbol do not pull it.
bool robustEllipse(std::vector<cv::Point2f> points, cv::RotatedRect& ellipse) {
    const std::size_t all = points.size();
    for (int round = 0; round < kFitRounds; ++round) {
        if (points.size() < kMinRimPoints || points.size() < all * kMinRimShare) {
            return false;
        }
        ellipse = cv::fitEllipse(points);
        std::vector<cv::Point2f> near;
        for (const cv::Point2f& p : points) {
            if (std::abs(ellipseRadius(ellipse, p) - 1.0) <= kRimTolerance) {
                near.push_back(p);
            }
        }
        if (near.size() == points.size()) {
            return true;
        }
        points = std::move(near);
    }
    return points.size() >= kMinRimPoints && points.size() >= all * kMinRimShare;
}

// The hull's outline at about one point per pixel: an ellipse fitted to the hull's corners alone
// would lean towards wherever the corners crowd.
std::vector<cv::Point2f> evenOutline(const std::vector<cv::Point>& hull) {
    std::vector<cv::Point2f> points;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const cv::Point2f a = hull[i];
        const cv::Point2f b = hull[(i + 1) % hull.size()];
        const int steps = std::max(1, static_cast<int>(cv::norm(b - a)));
        for (int s = 0; s < steps; ++s) {
            points.push_back(a + (b - a) * (static_cast<float>(s) / steps));
        }
    }
    return points;
}

// The rim as the convex hull of the innermost dark area around `centre`: the hull spans the
// white modules between dark ones. False when that area reaches beyond the rim (a dark
// neighbour touches the symbol) so that no ellipse fits most of the hull.
bool hullRim(const cv::Mat& dark, const cv::Point2f& centre, cv::RotatedRect& rim) {
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(dark, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
    int best = -1;
    double bestArea = 0.0;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        // Outer outlines of dark areas only; the innermost one around the disc is its symbol's.
        if (hierarchy[i][3] != -1 || cv::pointPolygonTest(contours[i], centre, false) <= 0) {
            continue;
        }
        const double area = cv::contourArea(contours[i]);
        if (best < 0 || area < bestArea) {
            best = static_cast<int>(i);
            bestArea = area;
        }
    }
    if (best < 0) {
        return false;
    }
    std::vector<cv::Point> hull;
    cv::convexHull(contours[best], hull);
    // Where the image cuts the symbol, the hull follows the image's edge, not the rim.
    std::vector<cv::Point2f> outline;
    for (const cv::Point2f& p : evenOutline(hull)) {
        if (p.x >= 1.0f && p.y >= 1.0f && p.x <= dark.cols - 2.0f && p.y <= dark.rows - 2.0f) {
            outline.push_back(p);
        }
    }
    return robustEllipse(outline, rim);
}

// The rim from rays cast from `centre`, each ending where it first leaves the dark area beyond
// `skip` pixels: for a symbol that a dark neighbour touches, most rays still end at the rim.
bool rayRim(const cv::Mat& dark, const cv::Point2f& centre, double skip, cv::RotatedRect& rim) {
    std::vector<cv::Point2f> exits;
    for (int i = 0; i < kRimRays; ++i) {
        cv::Point2f exit;
        if (rayExit(dark, centre, 2.0 * CV_PI * i / kRimRays, skip, exit)) {
            exits.push_back(exit);
        }
    }
    return robustEllipse(exits, rim);
}

// The ellipse of the rim around `disc` in `grey`, from the hull of the symbol's dark area, or
// where that area runs into a neighbour, from rays; false when neither fits. The surroundings are
// thresholded on their own (Otsu's method) and reduced until the disc's semi-minor axis is
// kClosingDiscRadius pixels.
bool rimAround(const cv::Mat& grey, const cv::RotatedRect& disc, cv::RotatedRect& rim) {
    const double reach = kRimReach * semiMajor(disc);
    const cv::Rect square =
        cv::Rect(static_cast<int>(disc.center.x - reach), static_cast<int>(disc.center.y - reach),
                 static_cast<int>(2 * reach), static_cast<int>(2 * reach)) &
        cv::Rect(0, 0, grey.cols, grey.rows);
    const double f = std::min(1.0, kClosingDiscRadius / std::max(semiMinor(disc), 1e-9));
    if (std::min(square.width, square.height) * f < 1.0) {
        return false;
    }
    cv::Mat part = grey(square);
    if (part.channels() == 3) {
        cv::cvtColor(part, part, cv::COLOR_BGR2GRAY);
    }
    const cv::Mat reduced = f < 1.0 ? reduceByArea(part, f) : part;
    cv::Mat dark;
    cv::threshold(reduced, dark, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
    const int side = 2 * static_cast<int>(std::ceil(f * semiMinor(disc))) + 1;
    cv::morphologyEx(dark, dark, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(side, side)));
    // Pixel centres of the square and of its reduction: x -> (x - origin + 0.5) * f - 0.5.
    const auto toReduced = [&](double v, int origin) { return (v - origin + 0.5) * f - 0.5; };
    const cv::Point2f centre(static_cast<float>(toReduced(disc.center.x, square.x)),
                             static_cast<float>(toReduced(disc.center.y, square.y)));
    if (!hullRim(dark, centre, rim) &&
        !rayRim(dark, centre, kRimSkipDiscs * f * semiMajor(disc), rim)) {
        return false;
    }
    rim.center = cv::Point2f(static_cast<float>((rim.center.x + 0.5) / f - 0.5 + square.x),
                             static_cast<float>((rim.center.y + 0.5) / f - 0.5 + square.y));
    rim.size =
        cv::Size2f(static_cast<float>(rim.size.width / f), static_cast<float>(rim.size.height / f));
    return true;
}

bool belongTogether(const cv::RotatedRect& rim, const cv::RotatedRect& disc) {
    const double rimToDisc = semiMajor(rim) / semiMajor(disc);
    if (rimToDisc < kMinRimToDisc || rimToDisc > kMaxRimToDisc ||
        std::abs(axisRatio(rim) - axisRatio(disc)) > kMaxRatioDifference) {
        return false;
    }
    const double offCentre = cv::norm(rim.center - disc.center) / semiMinor(rim);
    PlaneView plane;
    return offCentre <= kMaxOffCentre ||
           (offCentre <= kMaxPerspectiveOffCentre && planeOfConcentricCircles(disc, rim, plane));
}

// The map from the caller's image to the view of `side` pixels in which the rim is a circle of
// `radius` at the middle: through the page's plane that disc and rim fix, or where they fix none
// (the ellipses are too noisy for it), the affine map that makes the rim round.
cv::Matx33d viewOfRim(const cv::RotatedRect& disc, const cv::RotatedRect& rim, int side,
                      double radius) {
    const double middle = 0.5 * (side - 1);
    PlaneView plane;
    if (planeOfConcentricCircles(disc, rim, plane)) {
        return cv::Matx33d(radius, 0.0, middle, 0.0, radius, middle, 0.0, 0.0, 1.0) * plane.toPlane;
    }
    const double theta = rim.angle * CV_PI / 180.0;
    const cv::Matx22d turn(std::cos(theta), -std::sin(theta), std::sin(theta), std::cos(theta));
    const cv::Matx22d stretch(radius / (0.5 * rim.size.width), 0.0, 0.0,
                              radius / (0.5 * rim.size.height));
    const cv::Matx22d a = turn * stretch * turn.t();
    const cv::Vec2d shift = cv::Vec2d(middle, middle) - a * cv::Vec2d(rim.center.x, rim.center.y);
    return cv::Matx33d(a(0, 0), a(0, 1), shift[0], a(1, 0), a(1, 1), shift[1], 0.0, 0.0, 1.0);
}

}  // namespace

RimView makeRimView(const cv::Mat& image, const cv::RotatedRect& disc, const cv::RotatedRect& rim,
                    int side) {
    const double radius = 0.5 * side / kViewHalfSide;
    const cv::Matx33d toView = viewOfRim(disc, rim, side, radius);
    RimView view;
    view.rim = rim;
    cv::warpPerspective(image, view.image, toView, cv::Size(side, side), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
    cv::Mat outside(view.image.size(), CV_8UC1, cv::Scalar(255));
    cv::circle(outside, cv::Point(side / 2, side / 2),
               static_cast<int>(std::ceil(radius * (1.0 + kRimMargin))), cv::Scalar(0), cv::FILLED);
    view.image.setTo(cv::Scalar::all(255), outside);
    view.toCaller = toView.inv();
    return view;
}

bool findRim(const cv::Mat& grey, const cv::RotatedRect& disc, cv::RotatedRect& rim) {
    return rimAround(grey, disc, rim) && belongTogether(rim, disc);
}

}  // namespace qcl
