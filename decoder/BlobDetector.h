// Blob detection for an image that is already binary: one contour pass instead of a sweep of
// thresholds, hole boundaries rejected, and the contour of every reported blob kept beside it.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

#include <vector>

namespace qcl {

class BlobDetector : public cv::SimpleBlobDetector {
  public:
    // One blob found by findBlobs.
    struct Blob {
        cv::Point2d location;
        double radius = 0.0;
        double confidence = 1.0;
    };

    explicit BlobDetector(const cv::SimpleBlobDetector::Params& parameters);

    using cv::Feature2D::detect;
    // Keypoint i belongs to blobContours[i] and blobMoments[i]; a keypoint's size is the blob's
    // radius. The mask is ignored.
    void detect(cv::InputArray image, std::vector<cv::KeyPoint>& keypoints,
                cv::InputArray mask = cv::noArray()) override;

    // Later library versions declare these two as virtual in the base class; the same signature
    // then overrides them, while older versions simply gain them here.
    void setParams(const cv::SimpleBlobDetector::Params& parameters);
    cv::SimpleBlobDetector::Params getParams() const;

    // One contour pass over a binary image; the three outputs are index-aligned.
    virtual void findBlobs(cv::InputArray image, cv::InputArray binaryImage,
                           std::vector<Blob>& blobs, std::vector<std::vector<cv::Point>>& contours,
                           std::vector<cv::Moments>& moments) const;

    std::vector<std::vector<cv::Point>> blobContours;
    std::vector<cv::Moments> blobMoments;

  private:
    cv::SimpleBlobDetector::Params params_;
};

}  // namespace qcl
