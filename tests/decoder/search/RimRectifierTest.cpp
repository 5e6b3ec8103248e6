// The rim rectifier: a slanted symbol's rim is measured round its disc, and the view that makes
// it round again reads; rings without a symbol's proportions give no rim.
#include "decoder/search/RimRectifier.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/RoundTrip.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

const std::string kText = "Tilted symbol";

// A 400 px symbol centred in 640 x 640, squeezed vertically by `squeeze` (what a tilt about the
// horizontal axis does, to first order), in grey; `disc` is its centre disc's ellipse.
cv::Mat squeezedSymbol(double squeeze, cv::RotatedRect& disc) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.diameter = 400.0;
    render.startAngle = 1.1;
    const test::WrittenSymbol written = test::writeSymbol(kText, writer::SymbolOptions{}, render);
    cv::Mat squeezed;
    cv::resize(written.image, squeezed, cv::Size(), 1.0, squeeze, cv::INTER_AREA);
    const SymbolGeometry& g = written.geometry;
    disc = cv::RotatedRect(
        cv::Point2f(static_cast<float>(g.center.x), static_cast<float>(g.center.y * squeeze)),
        cv::Size2f(static_cast<float>(2 * g.discRadius),
                   static_cast<float>(2 * g.discRadius * squeeze)),
        0.0f);
    return squeezed;
}

TEST(RimRectifier, SqueezedSymbolGetsARoundViewThatReads) {
    for (const double squeeze : {0.55, 0.8}) {
        SCOPED_TRACE(squeeze);
        cv::RotatedRect disc;
        const cv::Mat image = squeezedSymbol(squeeze, disc);
        cv::Mat grey;
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
        cv::RotatedRect rim;
        ASSERT_TRUE(findRim(grey, disc, rim));
        EXPECT_LT(cv::norm(rim.center - disc.center), 4.0);
        const double minor = std::min(rim.size.width, rim.size.height);
        const double major = std::max(rim.size.width, rim.size.height);
        EXPECT_NEAR(minor / major, squeeze, 0.04);
        EXPECT_NEAR(major, 400.0, 16.0);
        const RimView view = makeRimView(image, disc, rim, 480);
        ASSERT_EQ(view.image.size(), cv::Size(480, 480));
        // The view's middle is the rim's centre in the caller's image.
        const cv::Vec3d middle = view.toCaller * cv::Vec3d(239.5, 239.5, 1.0);
        EXPECT_LT(cv::norm(cv::Point2d(middle[0], middle[1]) - cv::Point2d(rim.center)), 1.0);
        const DesignedDecode read =
            runDesignedDecode(DecodeParameters{}, view.image, true, realStages());
        ASSERT_TRUE(read.decoded);
        EXPECT_EQ(read.payload, kText);
    }
}

// A page tilted 45-60 degrees close before the camera: the rim's ellipse lies well off its disc's,
// and only the view through the page's plane, not the one that rounds the rim, reads.
TEST(RimRectifier, SymbolOnAPageTiltedInPerspectiveReadsFaceOn) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.diameter = 560.0;
    render.startAngle = 0.4;
    const test::WrittenSymbol written = test::writeSymbol(kText, writer::SymbolOptions{}, render);
    for (const double degrees : {45.0, 60.0}) {
        SCOPED_TRACE(degrees);
        const cv::Matx33d toImage = test::pageTilt(render.imageSize, degrees, 1.2, 960.0);
        cv::Mat image = test::tiltPage(written.image, degrees, 1.2, 960.0);
        cv::cvtColor(image, image, cv::COLOR_BGR2GRAY);
        // The disc's ellipse, as the detector measures it, from its outline in the image.
        std::vector<cv::Point2f> outline;
        for (int i = 0; i < 64; ++i) {
            const double a = 2 * CV_PI * i / 64;
            const cv::Point2d p =
                written.geometry.center +
                written.geometry.discRadius * cv::Point2d(std::cos(a), std::sin(a));
            const cv::Vec3d q = toImage * cv::Vec3d(p.x, p.y, 1.0);
            outline.emplace_back(static_cast<float>(q[0] / q[2]), static_cast<float>(q[1] / q[2]));
        }
        const cv::RotatedRect disc = cv::fitEllipse(outline);
        cv::RotatedRect rim;
        ASSERT_TRUE(findRim(image, disc, rim));
        const RimView view = makeRimView(image, disc, rim, 560);
        const DesignedDecode read =
            runDesignedDecode(DecodeParameters{}, view.image, true, realStages());
        ASSERT_TRUE(read.decoded) << read.status.errorCode;
        EXPECT_EQ(read.payload, kText);
    }
}

TEST(RimRectifier, NoRimWithoutASymbolsProportions) {
    // A white disc in a black ring only twice its size: round, but no symbol's proportions.
    cv::Mat ring(480, 640, CV_8UC1, cv::Scalar(255));
    cv::circle(ring, {320, 240}, 60, cv::Scalar(0), cv::FILLED);
    cv::circle(ring, {320, 240}, 30, cv::Scalar(255), cv::FILLED);
    const cv::RotatedRect disc(cv::Point2f(320, 240), cv::Size2f(60, 60), 0.0f);
    cv::RotatedRect rim;
    EXPECT_FALSE(findRim(ring, disc, rim));
    EXPECT_FALSE(findRim(cv::Mat(480, 640, CV_8UC1, cv::Scalar(255)), disc, rim));
}

}  // namespace
}  // namespace qcl
