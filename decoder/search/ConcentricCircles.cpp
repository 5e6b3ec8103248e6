#include "decoder/search/ConcentricCircles.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qcl {
namespace {

// The two eigenvalues that stand for the vanishing line differ by at most this share of their
// distance from the third: measured ellipses are never exact, but two ellipses that are not the
// images of concentric circles give three eigenvalues well apart.
constexpr double kMaxPairSpread = 0.1;
// In the plane found, the inner ellipse must be a circle about the centre too: its centre within
// this share of its radius of 0 and its axes within this ratio (a disc of a few pixels is measured
// to a pixel or so).
constexpr double kMaxInnerOffCentre = 0.25;
constexpr double kMinInnerRoundness = 0.8;
// Any two nested ellipses are the images of concentric circles under some homography, so what
// tells a symbol seen in perspective from a disc off its rim's centre is how near the horizon
// that homography puts: a page tilted 65 degrees before a camera of a focal length of one picture
// width, the symbol a third of the picture across, has it 1.4 rim radii from the centre. Nearer
// than this many rim radii (outer semi-major axes), the pair is taken for no page.
constexpr double kMinHorizon = 1.25;
// Points of the outer ellipse at which the vanishing line is checked to stay on the centre's side.
constexpr int kRimChecks = 16;

double semiMajor(const cv::RotatedRect& e) {
    return 0.5 * std::max(e.size.width, e.size.height);
}

// The conic x^T C x = 0 of an ellipse, in coordinates where `origin` is 0 and `unit` pixels are 1
// (pixel coordinates would leave the conic's entries 1e-5 to 1e5 apart).
cv::Matx33d conicOf(const cv::RotatedRect& e, const cv::Point2d& origin, double unit) {
    const double a = 0.5 * e.size.width / unit;
    const double b = 0.5 * e.size.height / unit;
    const double t = e.angle * CV_PI / 180.0;
    const double cx = (e.center.x - origin.x) / unit;
    const double cy = (e.center.y - origin.y) / unit;
    // Local axes of the ellipse: u = R^T (x - c).
    const cv::Matx33d toLocal(std::cos(t), std::sin(t), 0.0, -std::sin(t), std::cos(t), 0.0, 0.0,
                              0.0, 1.0);
    const cv::Matx33d shift(1.0, 0.0, -cx, 0.0, 1.0, -cy, 0.0, 0.0, 1.0);
    const cv::Matx33d m = toLocal * shift;
    const cv::Matx33d axes(1.0 / (a * a), 0.0, 0.0, 0.0, 1.0 / (b * b), 0.0, 0.0, 0.0, -1.0);
    return m.t() * axes * m;
}

// The eigenvector of inner^-1 * outer for its isolated eigenvalue: the centre's image, in
// homogeneous coordinates. False without a clear double eigenvalue beside it.
bool centreOfPencil(const cv::Matx33d& inner, const cv::Matx33d& outer, cv::Vec3d& centre) {
    const cv::Matx33d pencil = inner.inv() * outer;
    cv::Mat values;
    cv::Mat vectors;
    try {
        cv::eigenNonSymmetric(cv::Mat(pencil), values, vectors);
    } catch (const cv::Exception&) {
        return false;  // no real eigenvalues found: no pair of concentric circles either
    }
    const std::array<double, 3> l = {values.at<double>(0), values.at<double>(1),
                                     values.at<double>(2)};
    int alone = 0;
    double apart = -1.0;
    for (int i = 0; i < 3; ++i) {
        const double gap =
            std::min(std::abs(l[i] - l[(i + 1) % 3]), std::abs(l[i] - l[(i + 2) % 3]));
        if (gap > apart) {
            apart = gap;
            alone = i;
        }
    }
    const double pairSpread = std::abs(l[(alone + 1) % 3] - l[(alone + 2) % 3]);
    if (!(apart > 0.0) || pairSpread > kMaxPairSpread * apart) {
        return false;
    }
    centre = cv::Vec3d(vectors.at<double>(alone, 0), vectors.at<double>(alone, 1),
                       vectors.at<double>(alone, 2));
    return std::abs(centre[2]) > 1e-12;
}

// The symmetric square root of a positive definite 2 x 2 matrix; false when it is not positive.
bool squareRoot(const cv::Matx22d& m, cv::Matx22d& root) {
    cv::Mat values;
    cv::Mat vectors;
    cv::eigen(cv::Mat(m), values, vectors);
    if (!(values.at<double>(0) > 0.0 && values.at<double>(1) > 0.0)) {
        return false;
    }
    const cv::Matx22d u(vectors.at<double>(0, 0), vectors.at<double>(0, 1),
                        vectors.at<double>(1, 0), vectors.at<double>(1, 1));
    const cv::Matx22d d(std::sqrt(values.at<double>(0)), 0.0, 0.0, std::sqrt(values.at<double>(1)));
    root = u.t() * d * u;
    return true;
}

// An ellipse's conic as its centre and its quadratic part scaled to 1 on the ellipse:
// (x - middle)^T shape (x - middle) = 1. False when the conic is no real ellipse.
bool ellipseOfConic(const cv::Matx33d& conic, cv::Vec2d& middle, cv::Matx22d& shape) {
    const cv::Matx22d quadratic(conic(0, 0), conic(0, 1), conic(1, 0), conic(1, 1));
    const cv::Vec2d linear(conic(0, 2), conic(1, 2));
    if (std::abs(cv::determinant(quadratic)) < 1e-300) {
        return false;
    }
    middle = -(quadratic.inv() * linear);
    const double level = -(conic(2, 2) + linear.dot(middle));
    if (level == 0.0) {
        return false;
    }
    shape = quadratic * (1.0 / level);
    return shape(0, 0) > 0.0 && cv::determinant(shape) > 0.0;
}

// True when `conic` is a circle about 0, within what measuring a small disc allows.
bool roundAboutZero(const cv::Matx33d& conic) {
    cv::Vec2d middle;
    cv::Matx22d shape;
    if (!ellipseOfConic(conic, middle, shape)) {
        return false;
    }
    cv::Mat values;
    cv::eigen(cv::Mat(shape), values);
    const double longer = 1.0 / std::sqrt(values.at<double>(1));
    const double shorter = 1.0 / std::sqrt(values.at<double>(0));
    return shorter >= kMinInnerRoundness * longer &&
           cv::norm(middle) <= kMaxInnerOffCentre * 0.5 * (longer + shorter);
}

}  // namespace

bool planeOfConcentricCircles(const cv::RotatedRect& inner, const cv::RotatedRect& outer,
                              PlaneView& view) {
    // Both ellipses need two finite axes: a flat one has no conic to invert.
    const auto proper = [](const cv::RotatedRect& e) {
        return std::min(e.size.width, e.size.height) > 0.0f &&
               std::isfinite(e.size.width * e.size.height) && std::isfinite(e.center.x) &&
               std::isfinite(e.center.y) && std::isfinite(e.angle);
    };
    if (!proper(inner) || !proper(outer)) {
        return false;
    }
    const double unit = semiMajor(outer);
    const cv::Point2d origin(inner.center);
    const cv::Matx33d toUnits(1.0 / unit, 0.0, -origin.x / unit, 0.0, 1.0 / unit, -origin.y / unit,
                              0.0, 0.0, 1.0);
    const cv::Matx33d innerConic = conicOf(inner, origin, unit);
    const cv::Matx33d outerConic = conicOf(outer, origin, unit);
    cv::Vec3d centre;
    if (!centreOfPencil(innerConic, outerConic, centre)) {
        return false;
    }
    centre *= 1.0 / centre[2];
    if (centre.dot(innerConic * centre) >= 0.0) {
        return false;  // the centre of a circle is seen inside its image
    }
    // The vanishing line is the centre's polar; scaled so that the centre keeps its place.
    cv::Vec3d line = innerConic * centre;
    line *= 1.0 / line.dot(centre);
    if (std::hypot(line[0], line[1]) * kMinHorizon > 1.0) {
        return false;
    }
    const cv::Matx33d toAffine(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, line[0], line[1], line[2]);
    for (int i = 0; i < kRimChecks; ++i) {
        const double a = 2.0 * CV_PI * i / kRimChecks;
        const double t = outer.angle * CV_PI / 180.0;
        const cv::Point2d u(0.5 * outer.size.width * std::cos(a),
                            0.5 * outer.size.height * std::sin(a));
        const cv::Vec3d p =
            toUnits * cv::Vec3d(outer.center.x + u.x * std::cos(t) - u.y * std::sin(t),
                                outer.center.y + u.x * std::sin(t) + u.y * std::cos(t), 1.0);
        if (line.dot(p) <= 0.0) {
            return false;  // the rim would reach beyond the horizon
        }
    }
    // With the vanishing line at infinity the rim is an ellipse: round it about its own centre.
    const cv::Matx33d back = toAffine.inv();
    const cv::Matx33d rim = back.t() * outerConic * back;
    cv::Vec2d middle;
    cv::Matx22d shape;
    cv::Matx22d root;
    if (!ellipseOfConic(rim, middle, shape) || !squareRoot(shape, root)) {
        return false;
    }
    const cv::Vec2d shift = -(root * middle);
    const cv::Matx33d round(root(0, 0), root(0, 1), shift[0], root(1, 0), root(1, 1), shift[1], 0.0,
                            0.0, 1.0);
    const cv::Matx33d inPlane = (round * toAffine).inv();
    if (!roundAboutZero(inPlane.t() * innerConic * inPlane)) {
        return false;
    }
    view.toPlane = round * toAffine * toUnits;
    view.centre = origin + unit * cv::Point2d(centre[0], centre[1]);
    return true;
}

}  // namespace qcl
