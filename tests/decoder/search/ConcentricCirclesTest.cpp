// Two concentric circles seen through a known perspective: the page's plane recovered from their
// ellipses maps the rim to the unit circle and the centre to its true image; ellipses that no
// tilted page shows as such a pair give no plane.
#include "decoder/search/ConcentricCircles.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

cv::Matx33d tiltedPage(double degrees, double axis, double focal) {
    return test::pageTilt(cv::Size(640, 640), degrees, axis, focal);
}

cv::Point2d mapped(const cv::Matx33d& h, const cv::Point2d& p) {
    const cv::Vec3d v = h * cv::Vec3d(p.x, p.y, 1.0);
    return {v[0] / v[2], v[1] / v[2]};
}

// The ellipse fitted to the image of the circle of `radius` about `centre` on the page.
cv::RotatedRect imageOfCircle(const cv::Matx33d& h, const cv::Point2d& centre, double radius) {
    std::vector<cv::Point2f> points;
    for (int i = 0; i < 90; ++i) {
        const double a = 2 * CV_PI * i / 90;
        points.emplace_back(mapped(h, centre + radius * cv::Point2d(std::cos(a), std::sin(a))));
    }
    return cv::fitEllipse(points);
}

TEST(ConcentricCircles, TiltedPageSeenFaceOnWithItsCentre) {
    const cv::Point2d centre(340, 300);
    for (const double degrees : {0.0, 30.0, 50.0, 65.0}) {
        SCOPED_TRACE(degrees);
        const cv::Matx33d h = tiltedPage(degrees, 0.7, 640.0);
        PlaneView view;
        ASSERT_TRUE(planeOfConcentricCircles(imageOfCircle(h, centre, 25.0),
                                             imageOfCircle(h, centre, 200.0), view));
        // Where the two ellipses' own centres lie apart, the circles' centre is neither of them.
        EXPECT_LT(cv::norm(view.centre - mapped(h, centre)), 0.5);
        // Every circle about the centre on the page is a circle about 0 in the plane.
        const cv::Matx33d pageToPlane = view.toPlane * h;
        for (const double radius : {25.0, 120.0, 200.0}) {
            for (int i = 0; i < 12; ++i) {
                const double a = 2 * CV_PI * i / 12;
                const cv::Point2d p =
                    mapped(pageToPlane, centre + radius * cv::Point2d(std::cos(a), std::sin(a)));
                EXPECT_NEAR(cv::norm(p), radius / 200.0, 2e-3) << radius << " at " << a;
            }
        }
    }
}

TEST(ConcentricCircles, NoPlaneFromEllipsesOfDifferentCentres) {
    const cv::Matx33d h = tiltedPage(40.0, 0.3, 640.0);
    const cv::RotatedRect rim = imageOfCircle(h, {320, 320}, 200.0);
    PlaneView view;
    // Two nested ellipses are always the images of concentric circles under some homography: a
    // disc three quarters of the rim off its centre needs a horizon nearer than any page's tilt
    // puts it. A disc outside the rim altogether is no pair at all.
    EXPECT_FALSE(planeOfConcentricCircles(imageOfCircle(h, {470, 320}, 25.0), rim, view));
    EXPECT_FALSE(planeOfConcentricCircles(imageOfCircle(h, {320, 600}, 25.0), rim, view));
    // A disc as flat as the rim but turned across it is no circle of the same page.
    const cv::RotatedRect disc = imageOfCircle(h, {320, 320}, 25.0);
    const cv::RotatedRect across(disc.center, disc.size, disc.angle + 90.0f);
    EXPECT_FALSE(planeOfConcentricCircles(across, rim, view));
    // A flat or empty ellipse, as a fit to points on a line gives, is no circle of any page.
    const cv::RotatedRect flat(disc.center, cv::Size2f(disc.size.width, 0.0f), disc.angle);
    EXPECT_FALSE(planeOfConcentricCircles(flat, rim, view));
    EXPECT_FALSE(planeOfConcentricCircles(disc, cv::RotatedRect(), view));
}

// Whatever two ellipses the detector measures, flat, huge, far apart or turned, the answer is a
// plane or none, never an exception out of the eigen solver.
TEST(ConcentricCircles, AnyPairOfEllipsesGivesAnAnswer) {
    test::SeededRandom random(17);
    // A tenth of the axes are 0, as a fit to points on a line gives.
    const auto axis = [&]() {
        return static_cast<float>(
            random.uniformReal(0.0, 1.0) < 0.1 ? 0.0 : std::pow(10.0, random.uniformReal(-3, 4)));
    };
    const auto ellipse = [&]() {
        return cv::RotatedRect(cv::Point2f(static_cast<float>(random.uniformReal(-1e3, 2e3)),
                                           static_cast<float>(random.uniformReal(-1e3, 2e3))),
                               cv::Size2f(axis(), axis()),
                               static_cast<float>(random.uniformReal(-360, 360)));
    };
    for (int i = 0; i < 3000; ++i) {
        PlaneView view;
        EXPECT_NO_THROW(planeOfConcentricCircles(ellipse(), ellipse(), view));
    }
}

}  // namespace
}  // namespace qcl
