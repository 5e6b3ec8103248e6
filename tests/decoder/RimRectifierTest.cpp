// The rim rectifier: a slanted symbol's view makes its rim round and reads; shapes that are no
// symbol give no view.
#include "decoder/RimRectifier.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/RoundTrip.h"

namespace qcl {
namespace {

const std::string kText = "Tilted symbol";

// A 400 px symbol centred in 640 x 640, then squeezed vertically by `squeeze` and shifted right
// by `shift` pixels (what a tilt about the horizontal axis does, to first order).
cv::Mat squeezedSymbol(double squeeze, int shift) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    render.diameter = 400.0;
    render.startAngle = 1.1;
    const cv::Mat image = test::writeSymbol(kText, writer::SymbolOptions{}, render).image;
    cv::Mat squeezed;
    cv::resize(image, squeezed, cv::Size(), 1.0, squeeze, cv::INTER_AREA);
    const cv::Matx23d move(1, 0, shift, 0, 1, 0);
    cv::warpAffine(squeezed, squeezed, move, squeezed.size(), cv::INTER_NEAREST,
                   cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return squeezed;
}

TEST(RimRectifier, SqueezedSymbolGetsARoundViewThatReads) {
    struct Case {
        double squeeze;
        int shift;   // 180 px puts a tenth of the symbol beyond the right edge
        bool reads;  // with data rings cut away, only the rim's measure is asked for
    };
    for (const Case c : {Case{0.55, 0, true}, Case{0.8, 0, true}, Case{0.7, 180, false}}) {
        SCOPED_TRACE(c.squeeze);
        SCOPED_TRACE(c.shift);
        const cv::Mat image = squeezedSymbol(c.squeeze, c.shift);
        const std::vector<RimView> views = rimViews(image, 3);
        ASSERT_FALSE(views.empty());
        const RimView& view = views.front();
        const cv::Point2d centre(319.5 + c.shift, 319.5 * c.squeeze);
        EXPECT_LT(cv::norm(view.discCenter - centre), 3.0);
        EXPECT_LT(cv::norm(cv::Point2d(view.rim.center) - centre), 4.0);
        const double minor = std::min(view.rim.size.width, view.rim.size.height);
        const double major = std::max(view.rim.size.width, view.rim.size.height);
        EXPECT_NEAR(minor / major, c.squeeze, 0.04);
        // The view's middle is the rim's centre in the caller's image.
        const cv::Vec3d middle = view.toCaller * cv::Vec3d(319.5, 319.5, 1.0);
        EXPECT_LT(cv::norm(cv::Point2d(middle[0], middle[1]) - cv::Point2d(view.rim.center)), 1.0);
        if (!c.reads) {
            continue;
        }
        DecodeParameters parameters;
        const DesignedDecode read = runDesignedDecode(parameters, view.image, true, realStages());
        ASSERT_TRUE(read.decoded);
        EXPECT_EQ(read.payload, kText);
    }
}

// A symbol already read is not looked at again; one read elsewhere does not hide it.
TEST(RimRectifier, SymbolAlreadyReadGetsNoView) {
    const cv::Mat image = squeezedSymbol(0.7, 0);
    const cv::Point2d centre(319.5, 319.5 * 0.7);
    EXPECT_TRUE(rimViews(image, 3, {{centre, 200.0}}).empty());
    EXPECT_EQ(rimViews(image, 3, {{centre + cv::Point2d(250.0, 0.0), 200.0}}).size(), 1u);
}

TEST(RimRectifier, NoViewWithoutASymbol) {
    cv::Mat noise(480, 640, CV_8UC1);
    cv::randu(noise, 0, 256);
    // A white disc in a black ring only twice its size: round, but no symbol's proportions.
    cv::Mat ring(480, 640, CV_8UC3, cv::Scalar::all(255));
    cv::circle(ring, {320, 240}, 60, cv::Scalar::all(0), cv::FILLED);
    cv::circle(ring, {320, 240}, 30, cv::Scalar::all(255), cv::FILLED);
    const cv::Mat deep(480, 640, CV_16UC1, cv::Scalar(0));
    for (const cv::Mat& image : {cv::Mat(480, 640, CV_8UC1, cv::Scalar(255)), noise, ring, deep}) {
        EXPECT_TRUE(rimViews(image, 3).empty());
    }
}

}  // namespace
}  // namespace qcl
