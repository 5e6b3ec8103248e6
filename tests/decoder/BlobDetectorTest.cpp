#include "decoder/BlobDetector.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <memory>

namespace qcl {
namespace {

// The parameters centre finding uses, without the area filter unless asked.
cv::SimpleBlobDetector::Params whiteBlobParams() {
    cv::SimpleBlobDetector::Params params;
    params.minDistBetweenBlobs = 25;
    params.filterByColor = true;
    params.blobColor = 255;
    params.filterByCircularity = true;
    params.minCircularity = 0.1f;
    params.maxCircularity = 1.0f;
    params.filterByInertia = false;
    params.filterByConvexity = false;
    params.filterByArea = false;
    params.minRepeatability = 1;
    return params;
}

cv::Mat blackImage() {
    return cv::Mat(200, 200, CV_8UC1, cv::Scalar(0));
}

TEST(BlobDetectorTest, DiscGivesOneKeypointWithRadiusAsSize) {
    cv::Mat image = blackImage();
    cv::circle(image, {100, 90}, 20, cv::Scalar(255), cv::FILLED);
    auto detector = std::make_shared<BlobDetector>(whiteBlobParams());
    std::vector<cv::KeyPoint> keypoints;
    detector->detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), 1u);
    EXPECT_NEAR(keypoints[0].pt.x, 100.0, 0.5);
    EXPECT_NEAR(keypoints[0].pt.y, 90.0, 0.5);
    EXPECT_NEAR(keypoints[0].size, 20.0, 1.0);
    EXPECT_EQ(keypoints[0].angle, -1.0f);
    EXPECT_EQ(keypoints[0].class_id, -1);
    ASSERT_EQ(detector->blobContours.size(), 1u);
    ASSERT_EQ(detector->blobMoments.size(), 1u);
    const cv::Rect box = cv::boundingRect(detector->blobContours[0]);
    EXPECT_EQ(box, cv::Rect(80, 70, 41, 41));
    EXPECT_NEAR(detector->blobMoments[0].m00, CV_PI * 20 * 20, CV_PI * 2 * 20 * 1.0);
}

TEST(BlobDetectorTest, HoleBoundaryOfARingIsNotReported) {
    cv::Mat image = blackImage();
    cv::circle(image, {100, 100}, 60, cv::Scalar(255), cv::FILLED);
    cv::circle(image, {100, 100}, 40, cv::Scalar(0), cv::FILLED);
    cv::circle(image, {100, 100}, 10, cv::Scalar(255), cv::FILLED);
    BlobDetector detector(whiteBlobParams());
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    // The hole's boundary (radius about 40) has a white centroid pixel but runs the other way.
    for (const cv::KeyPoint& keypoint : keypoints) {
        EXPECT_FALSE(std::abs(keypoint.size - 40.0f) < 3.0f) << keypoint.size;
    }
    std::vector<float> sizes;
    for (const cv::KeyPoint& keypoint : keypoints) {
        sizes.push_back(keypoint.size);
    }
    ASSERT_EQ(keypoints.size(), 2u);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_NEAR(sizes[0], 10.0, 1.0);
    EXPECT_NEAR(sizes[1], 60.0, 1.0);
    EXPECT_EQ(detector.blobContours.size(), 2u);
}

TEST(BlobDetectorTest, BlackBlobsWhenAskedForColourZero) {
    cv::Mat image(200, 200, CV_8UC1, cv::Scalar(255));
    cv::circle(image, {60, 60}, 15, cv::Scalar(0), cv::FILLED);
    auto params = whiteBlobParams();
    params.blobColor = 0;
    BlobDetector detector(params);
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    // The disc's boundary is a hole of the white region around it: the winding test drops it.
    // The white background's own outline is left, and its centroid pixel is white.
    EXPECT_TRUE(keypoints.empty());
}

TEST(BlobDetectorTest, RepeatabilityAboveOneGivesNothing) {
    cv::Mat image = blackImage();
    cv::circle(image, {100, 100}, 20, cv::Scalar(255), cv::FILLED);
    auto params = whiteBlobParams();
    params.minRepeatability = 2;
    BlobDetector detector(params);
    std::vector<cv::KeyPoint> keypoints{cv::KeyPoint(1, 1, 1)};
    detector.detect(image, keypoints);
    EXPECT_TRUE(keypoints.empty());
    EXPECT_TRUE(detector.blobContours.empty());
    EXPECT_TRUE(detector.blobMoments.empty());
}

TEST(BlobDetectorTest, OnePixelSpeckIsSkipped) {
    cv::Mat image = blackImage();
    image.at<std::uint8_t>(50, 50) = 255;
    cv::circle(image, {120, 120}, 12, cv::Scalar(255), cv::FILLED);
    BlobDetector detector(whiteBlobParams());
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), 1u);
    EXPECT_NEAR(keypoints[0].pt.x, 120.0, 0.5);
}

TEST(BlobDetectorTest, CloseDiscsAreBothReported) {
    cv::Mat image = blackImage();
    cv::circle(image, {80, 100}, 8, cv::Scalar(255), cv::FILLED);
    cv::circle(image, {100, 100}, 8, cv::Scalar(255), cv::FILLED);  // 20 px apart, below 25
    BlobDetector detector(whiteBlobParams());
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), 2u);
    EXPECT_NEAR(std::abs(keypoints[0].pt.x - keypoints[1].pt.x), 20.0, 0.5);
}

TEST(BlobDetectorTest, AreaFilterBoundsAreLowInclusiveHighExclusive) {
    cv::Mat image = blackImage();
    cv::rectangle(image, cv::Rect(20, 20, 11, 11), cv::Scalar(255), cv::FILLED);    // area 100
    cv::rectangle(image, cv::Rect(100, 100, 21, 21), cv::Scalar(255), cv::FILLED);  // area 400
    auto params = whiteBlobParams();
    params.filterByArea = true;
    params.minArea = 100;
    params.maxArea = 400;
    BlobDetector detector(params);
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), 1u);
    EXPECT_NEAR(keypoints[0].pt.x, 25.0, 0.01);
}

TEST(BlobDetectorTest, CircularityFilterDropsALongBar) {
    cv::Mat image = blackImage();
    cv::rectangle(image, cv::Rect(10, 10, 150, 3), cv::Scalar(255), cv::FILLED);
    cv::circle(image, {100, 120}, 20, cv::Scalar(255), cv::FILLED);
    auto params = whiteBlobParams();
    params.minCircularity = 0.5f;
    BlobDetector detector(params);
    std::vector<cv::KeyPoint> keypoints;
    detector.detect(image, keypoints);
    ASSERT_EQ(keypoints.size(), 1u);
    EXPECT_NEAR(keypoints[0].pt.y, 120.0, 0.5);
}

TEST(BlobDetectorTest, ParamsRoundTrip) {
    auto params = whiteBlobParams();
    BlobDetector detector(params);
    params.minArea = 123.0f;
    detector.setParams(params);
    EXPECT_EQ(detector.getParams().minArea, 123.0f);
    EXPECT_EQ(detector.getParams().blobColor, 255);
}

}  // namespace
}  // namespace qcl
