#include "decoder/RimRectifier.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "decoder/PolarHelpers.h"
#include "imaging/AreaReduction.h"

namespace qcl {
namespace {

// Longer side (px) of the image the discs are searched on; larger images are reduced first.
constexpr int kSearchSide = 1280;
// Shorter side (px, in the search image) below which no symbol fits.
constexpr double kMinSearchSide = 16.0;
// Smallest disc outline (points) and semi-minor axis (px) worth an ellipse fit: smaller white
// specks are print noise.
constexpr int kMinDiscPoints = 10;
constexpr double kMinDiscSemiAxis = 2.5;
// Semi-minor over semi-major axis of a disc seen at up to about 70 degrees of tilt.
constexpr double kMinAxisRatio = 0.35;
// Area of the outline over the area of its fitted ellipse: a disc fills its ellipse.
constexpr double kMinFill = 0.85;
constexpr double kMaxFill = 1.12;
// The area bounds implied by the fill and size limits are loosened by 1 %, so that rounding in
// the products never rejects an outline the limits themselves would keep.
constexpr double kAreaBoundMargin = 0.99;
// A disc larger than this share of the image's shorter side leaves no room for its symbol.
constexpr double kMaxDiscShare = 0.15;
// Discs tried per image, largest first: each costs a morphological closing of its surroundings.
constexpr std::size_t kMaxDiscs = 24;
// The rim lies within 16 disc radii (9 rings of pitch 0.75 disc radius, plus the zebras); the
// search square reaches a little farther so that a rim touching its border is not a rim.
constexpr double kRimReach = 26.0;
// The dark area is closed at a scale where the disc's semi-minor axis is this many pixels; the
// closing element, one disc diameter, bridges the white modules between dark ones.
constexpr double kClosingDiscRadius = 4.0;
// The search image is halved this many times at most, once for all discs: each disc's
// surroundings are then reduced from the nearest half, not from the full image again.
constexpr int kMaxHalvings = 8;
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
constexpr double kMinRimToDisc = 3.0;
constexpr double kMaxRimToDisc = 24.0;
constexpr double kMaxRatioDifference = 0.2;
// Half the view's side in rim radii: the same quiet zone as the locator's views.
constexpr double kViewHalfSide = 1.08;
// Beyond the rim plus this share of it the view is painted white, so that neighbours of the
// symbol (other symbols, the edge of a page) do not reach the chain's centre search.
constexpr double kRimMargin = 0.06;

struct Disc {
    cv::RotatedRect ellipse;  // search image pixels
    double area = 0.0;
};

double semiMajor(const cv::RotatedRect& e) {
    return 0.5 * std::max(e.size.width, e.size.height);
}

double semiMinor(const cv::RotatedRect& e) {
    return 0.5 * std::min(e.size.width, e.size.height);
}

double axisRatio(const cv::RotatedRect& e) {
    return semiMinor(e) / std::max(semiMajor(e), 1e-9);
}

// White regions of the binary image that fill an ellipse of plausible size and tilt, the
// kMaxDiscs largest, largest first (outlines of equal area in the order they were traced).
std::vector<Disc> findDiscs(const cv::Mat& binary) {
    std::vector<std::vector<cv::Point>> contours;
    // The contour search works on its own copy and leaves the image as it is.
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);
    const double maxSemiAxis = kMaxDiscShare * std::min(binary.cols, binary.rows);
    struct Outline {
        const std::vector<cv::Point>* contour;
        double area;
    };
    std::vector<Outline> outlines;
    for (const std::vector<cv::Point>& contour : contours) {
        if (static_cast<int>(contour.size()) < kMinDiscPoints) {
            continue;
        }
        // Whatever ellipse fits, an outline that fills it with a semi-minor axis of at least
        // kMinDiscSemiAxis and a semi-major one of at most maxSemiAxis has an area within these
        // bounds; outlines outside them are not fitted at all (the fit of a long outline costs).
        const double area = cv::contourArea(contour);
        if (area >= kAreaBoundMargin * kMinFill * CV_PI * kMinDiscSemiAxis * kMinDiscSemiAxis &&
            area <= kMaxFill * CV_PI * maxSemiAxis * maxSemiAxis / kAreaBoundMargin) {
            outlines.push_back({&contour, area});
        }
    }
    // Largest first, so that fitting stops once enough discs are found: a picture of texture
    // traces thousands of outlines of a plausible area.
    std::stable_sort(outlines.begin(), outlines.end(),
                     [](const Outline& l, const Outline& r) { return l.area > r.area; });
    std::vector<Disc> discs;
    for (const Outline& outline : outlines) {
        if (discs.size() >= kMaxDiscs) {
            break;
        }
        const cv::RotatedRect e = cv::fitEllipse(*outline.contour);
        const double a = semiMajor(e);
        const double b = semiMinor(e);
        if (b < kMinDiscSemiAxis || a > maxSemiAxis || b / a < kMinAxisRatio) {
            continue;
        }
        const double fill = outline.area / (CV_PI * a * b);
        const cv::Point c(static_cast<int>(e.center.x), static_cast<int>(e.center.y));
        const bool whiteCentre =
            cv::Rect(0, 0, binary.cols, binary.rows).contains(c) && binary.at<std::uint8_t>(c) != 0;
        if (fill >= kMinFill && fill <= kMaxFill && whiteCentre) {
            discs.push_back({e, outline.area});
        }
    }
    return discs;
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

// The binary search image and its halves, each the previous one area-averaged to half size.
std::vector<cv::Mat> halvings(const cv::Mat& binary) {
    std::vector<cv::Mat> levels = {binary};
    while (static_cast<int>(levels.size()) <= kMaxHalvings &&
           std::min(levels.back().cols, levels.back().rows) >= 2) {
        cv::Mat half;
        cv::resize(levels.back(), half, cv::Size(levels.back().cols / 2, levels.back().rows / 2), 0,
                   0, cv::INTER_AREA);
        levels.push_back(half);
    }
    return levels;
}

// The surroundings `square` (search image pixels) of a disc reduced by `f` <= 1, from the
// nearest halving at or above that size; `origin` is where the reduced image's corner lies in
// the search image.
cv::Mat reduceSquare(const std::vector<cv::Mat>& levels, const cv::Rect& square, double f,
                     cv::Point2d& origin) {
    std::size_t k = 0;
    while (k + 1 < levels.size() && f * (1 << (k + 1)) <= 1.0) {
        ++k;
    }
    const int step = 1 << k;
    const cv::Rect at = cv::Rect(square.x / step, square.y / step, (square.width + step - 1) / step,
                                 (square.height + step - 1) / step) &
                        cv::Rect(0, 0, levels[k].cols, levels[k].rows);
    origin = cv::Point2d(at.x * step, at.y * step);
    const double g = f * step;
    cv::Mat reduced;
    if (at.area() > 0) {
        reduced = reduceByArea(levels[k](at), g);
    }
    return reduced;
}

// The ellipse of the rim around `disc`, in search image pixels: from the hull of the symbol's
// dark area, or where that area runs into a neighbour, from rays; false when neither fits.
// `levels` are the binary search image's halvings.
bool rimAround(const std::vector<cv::Mat>& levels, const Disc& disc, cv::RotatedRect& rim) {
    const cv::Mat& binary = levels.front();
    const double reach = kRimReach * semiMajor(disc.ellipse);
    const cv::Rect square = cv::Rect(static_cast<int>(disc.ellipse.center.x - reach),
                                     static_cast<int>(disc.ellipse.center.y - reach),
                                     static_cast<int>(2 * reach), static_cast<int>(2 * reach)) &
                            cv::Rect(0, 0, binary.cols, binary.rows);
    const double f = std::min(1.0, kClosingDiscRadius / semiMinor(disc.ellipse));
    if (std::min(square.width, square.height) * f < 1.0) {
        return false;
    }
    cv::Point2d origin;
    const cv::Mat reduced = reduceSquare(levels, square, f, origin);
    if (reduced.empty()) {
        return false;
    }
    cv::Mat dark;
    cv::threshold(reduced, dark, 127, 255, cv::THRESH_BINARY_INV);
    const int side = 2 * static_cast<int>(std::ceil(f * semiMinor(disc.ellipse))) + 1;
    cv::morphologyEx(dark, dark, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(side, side)));

    const cv::Point2f centre(static_cast<float>((disc.ellipse.center.x - origin.x) * f),
                             static_cast<float>((disc.ellipse.center.y - origin.y) * f));
    if (!hullRim(dark, centre, rim) &&
        !rayRim(dark, centre, kRimSkipDiscs * f * semiMajor(disc.ellipse), rim)) {
        return false;
    }
    rim.center = cv::Point2f(static_cast<float>(rim.center.x / f + origin.x),
                             static_cast<float>(rim.center.y / f + origin.y));
    rim.size =
        cv::Size2f(static_cast<float>(rim.size.width / f), static_cast<float>(rim.size.height / f));
    return true;
}

bool belongTogether(const cv::RotatedRect& rim, const cv::RotatedRect& disc) {
    const double rimToDisc = semiMajor(rim) / semiMajor(disc);
    return cv::norm(rim.center - disc.center) <= kMaxOffCentre * semiMinor(rim) &&
           rimToDisc >= kMinRimToDisc && rimToDisc <= kMaxRimToDisc &&
           std::abs(axisRatio(rim) - axisRatio(disc)) <= kMaxRatioDifference;
}

// The view in which `rim` (caller's pixels) is a circle centred in the square.
RimView makeView(const cv::Mat& image, const cv::RotatedRect& rim) {
    const double radius = 0.5 * kRimViewSide / kViewHalfSide;
    const double theta = rim.angle * CV_PI / 180.0;
    const cv::Matx22d turn(std::cos(theta), -std::sin(theta), std::sin(theta), std::cos(theta));
    const cv::Matx22d stretch(radius / (0.5 * rim.size.width), 0.0, 0.0,
                              radius / (0.5 * rim.size.height));
    const cv::Matx22d a = turn * stretch * turn.t();
    const double middle = 0.5 * (kRimViewSide - 1);
    const cv::Vec2d shift = cv::Vec2d(middle, middle) - a * cv::Vec2d(rim.center.x, rim.center.y);
    const cv::Matx23d toView(a(0, 0), a(0, 1), shift[0], a(1, 0), a(1, 1), shift[1]);

    RimView view;
    view.rim = rim;
    cv::warpAffine(image, view.image, toView, cv::Size(kRimViewSide, kRimViewSide),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    cv::Mat outside(view.image.size(), CV_8UC1, cv::Scalar(255));
    cv::circle(outside, cv::Point(kRimViewSide / 2, kRimViewSide / 2),
               static_cast<int>(std::ceil(radius * (1.0 + kRimMargin))), cv::Scalar(0), cv::FILLED);
    view.image.setTo(cv::Scalar::all(255), outside);
    const cv::Matx22d back = a.inv();
    const cv::Vec2d origin = -(back * shift);
    view.toCaller = cv::Matx33d(back(0, 0), back(0, 1), origin[0], back(1, 0), back(1, 1),
                                origin[1], 0.0, 0.0, 1.0);
    return view;
}

}  // namespace

std::vector<RimView> rimViews(const cv::Mat& image, int maxViews,
                              const std::vector<ReadSymbol>& known) {
    if (image.empty() || image.depth() != CV_8U ||
        (image.channels() != 1 && image.channels() != 3) || maxViews <= 0) {
        return {};
    }
    cv::Mat grey = image;
    if (image.channels() == 3) {
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    }
    const double scale =
        std::min(1.0, static_cast<double>(kSearchSide) / std::max(grey.cols, grey.rows));
    if (scale * std::min(grey.cols, grey.rows) < kMinSearchSide) {
        return {};
    }
    if (scale < 1.0) {
        grey = reduceByArea(grey, scale);
    }
    cv::Mat binary;
    cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    // Search pixel centres back to the caller's: x -> (x + 0.5) / scale - 0.5.
    const auto toCaller = [scale](cv::Point2f p) {
        return cv::Point2f(static_cast<float>((p.x + 0.5) / scale - 0.5),
                           static_cast<float>((p.y + 0.5) / scale - 0.5));
    };
    const auto read = [&](const Disc& disc) {
        const cv::Point2d centre(toCaller(disc.ellipse.center));
        return std::any_of(known.begin(), known.end(), [&](const ReadSymbol& symbol) {
            return cv::norm(symbol.center - centre) < symbol.radius;
        });
    };

    struct Found {
        cv::RotatedRect rim;
        cv::Point2f disc;
    };
    std::vector<Found> found;
    const std::vector<Disc> discs = findDiscs(binary);
    // Halved only when some disc needs its surroundings reduced.
    const std::vector<cv::Mat> levels =
        discs.empty() ? std::vector<cv::Mat>{binary} : halvings(binary);
    for (const Disc& disc : discs) {
        // A disc within a rim already found is that symbol's own centre or one of its modules:
        // measuring a rim around each module of a symbol cost most of the search.
        const bool seen = std::any_of(found.begin(), found.end(), [&](const Found& f) {
            return cv::norm(f.rim.center - disc.ellipse.center) < semiMinor(f.rim);
        });
        cv::RotatedRect rim;
        if (!seen && !read(disc) && rimAround(levels, disc, rim) &&
            belongTogether(rim, disc.ellipse)) {
            found.push_back({rim, disc.ellipse.center});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Found& l, const Found& r) { return l.rim.size.area() > r.rim.size.area(); });
    if (static_cast<int>(found.size()) > maxViews) {
        found.resize(static_cast<std::size_t>(maxViews));
    }
    std::vector<RimView> views;
    for (Found f : found) {
        f.rim.center = toCaller(f.rim.center);
        f.rim.size = cv::Size2f(static_cast<float>(f.rim.size.width / scale),
                                static_cast<float>(f.rim.size.height / scale));
        views.push_back(makeView(image, f.rim));
        views.back().discCenter = toCaller(f.disc);
    }
    return views;
}

}  // namespace qcl
