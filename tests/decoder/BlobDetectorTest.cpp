#include "decoder/BlobDetector.h"
#include "decoder/CenterFinder.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <functional>

#include "support/PolarPainter.h"

namespace qcl {
namespace {

const cv::Scalar kBlack(0);

// The parameters of centre finding's last blob attempt, which has no area filter.
cv::SimpleBlobDetector::Params whiteBlobParams() {
    return discParams(6, 0.0, 0.0);
}

using test::Shape;

struct Expected {
    float x, y, size;  // size < 0: not checked
};

// Detects blobs in the shapes drawn on black; `blobs` by increasing size, then x.
void expectBlobs(const char* name, const std::vector<Shape>& shapes,
                 const std::function<void(cv::SimpleBlobDetector::Params&)>& tweak,
                 const std::vector<Expected>& blobs) {
    SCOPED_TRACE(name);
    cv::Mat image(200, 200, CV_8UC1, kBlack);
    test::drawShapes(image, shapes);
    cv::SimpleBlobDetector::Params params = whiteBlobParams();
    if (tweak) {
        tweak(params);
    }
    BlobDetector detector(params);
    std::vector<cv::KeyPoint> keypoints{cv::KeyPoint(1, 1, 1)};  // replaced, not appended to
    detector.detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), blobs.size());
    ASSERT_EQ(detector.blobContours.size(), keypoints.size());
    ASSERT_EQ(detector.blobMoments.size(), keypoints.size());
    for (std::size_t i = 0; i < keypoints.size(); ++i) {
        // Keypoint i belongs to outline i and moments i.
        const cv::Moments& m = detector.blobMoments[i];
        EXPECT_NEAR(m.m10 / m.m00, keypoints[i].pt.x, 0.5);
        EXPECT_NEAR(cv::moments(detector.blobContours[i]).m00, m.m00, 1e-6);
    }
    std::sort(keypoints.begin(), keypoints.end(), [](const auto& a, const auto& b) {
        return a.size != b.size ? a.size < b.size : a.pt.x < b.pt.x;
    });
    for (std::size_t i = 0; i < keypoints.size(); ++i) {
        EXPECT_NEAR(keypoints[i].pt.x, blobs[i].x, 0.5) << i;
        EXPECT_NEAR(keypoints[i].pt.y, blobs[i].y, 0.5) << i;
        if (blobs[i].size > 0) {
            EXPECT_NEAR(keypoints[i].size, blobs[i].size, 1.0) << i;
        }
    }
}

TEST(BlobDetectorTest, ReportedBlobsAndFilters) {
    using Params = cv::SimpleBlobDetector::Params;
    expectBlobs("disc: size is the radius", {{100, 90, 20}}, nullptr, {{100, 90, 20}});
    expectBlobs("ring round a dot: the hole's boundary is no blob",
                {{100, 100, 60}, {100, 100, 40, 0, 0}, {100, 100, 10}}, nullptr,
                {{100, 100, 10}, {100, 100, 60}});
    expectBlobs("one-pixel speck has area 0", {{50, 50, 1, 1}, {120, 120, 12}}, nullptr,
                {{120, 120, 12}});
    // The outline of an 11 px square has area 100, of a 21 px one 400.
    expectBlobs(
        "area limits: low inclusive, high exclusive", {{20, 20, 11, 11}, {100, 100, 21, 21}},
        [](Params& p) { p.filterByArea = true, p.minArea = 100, p.maxArea = 400; }, {{25, 25, -1}});
    expectBlobs("circularity drops a long bar", {{10, 10, 150, 3}, {100, 120, 20}},
                [](Params& p) { p.minCircularity = 0.5f; }, {{100, 120, 20}});
}

}  // namespace
}  // namespace qcl
