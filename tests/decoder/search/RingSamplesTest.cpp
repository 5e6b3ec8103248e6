// Rings sampled round a disc: white runs counted once each, with the spread of their spacing;
// slivers inside a black run (a motion blur opens them) are no runs, while the one-sample notches
// of a small ring still count.
#include "decoder/search/RingSamples.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>

namespace qcl {
namespace {

// A black picture with `count` white wedges round `centre`, each `share` of its period wide.
cv::Mat wedges(cv::Point centre, int count, double share, int radius) {
    cv::Mat binary(2 * radius + 40, 2 * radius + 40, CV_8UC1, cv::Scalar(0));
    for (int i = 0; i < count; ++i) {
        const double start = 360.0 * i / count;
        cv::ellipse(binary, centre, {radius, radius}, 0.0, start, start + 360.0 * share / count,
                    cv::Scalar(255), cv::FILLED);
    }
    return binary;
}

TEST(RingSamples, WhiteRunsAreCountedOnceAndSliversAreNone) {
    const cv::Point centre(120, 120);
    const cv::RotatedRect disc(cv::Point2f(centre), cv::Size2f(40.0f, 40.0f), 0.0f);
    cv::Mat binary = wedges(centre, 20, 0.4, 100);
    RingSample ring = sampleRing(binary, cv::Mat(), disc, 3.0);
    EXPECT_EQ(ring.whiteRuns, 20);
    EXPECT_LT(ring.spacingSpread, 0.05);
    EXPECT_NEAR(ring.blackShare, 0.6, 0.05);

    // A one-pixel line down the middle of four black runs.
    for (const double degrees :
         {9.0 + 18.0 * 2, 9.0 + 18.0 * 7, 9.0 + 18.0 * 12, 9.0 + 18.0 * 17}) {
        const double a = (degrees + 3.6) * CV_PI / 180.0;
        cv::line(binary, centre,
                 centre + cv::Point(cvRound(100 * std::cos(a)), cvRound(100 * std::sin(a))),
                 cv::Scalar(255), 1);
    }
    ring = sampleRing(binary, cv::Mat(), disc, 3.0);
    EXPECT_EQ(ring.whiteRuns, 20);

    // A small ring whose notches are a sample or two wide keeps every one of them.
    const cv::RotatedRect small(cv::Point2f(centre), cv::Size2f(8.0f, 8.0f), 0.0f);
    const RingSample fine = sampleRing(wedges(centre, 8, 0.3, 100), cv::Mat(), small, 1.5);
    EXPECT_EQ(fine.whiteRuns, 8);
}

}  // namespace
}  // namespace qcl
