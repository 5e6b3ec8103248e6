// The black extent that the centre estimate starts from: the bounding box of every pixel that is
// not 255, exactly as listing those pixels and boxing them gives it.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <vector>

#include "decoder/CenterFinder.h"
#include "support/SeededRandom.h"

namespace qcl {
namespace {

cv::Rect listedExtent(const cv::Mat& binary) {
    cv::Mat inverted;
    cv::bitwise_not(binary, inverted);
    std::vector<cv::Point> black;
    cv::findNonZero(inverted, black);
    return cv::boundingRect(black);
}

TEST(CenterFinderExtent, SameBoxAsTheListedBlackPixels) {
    test::SeededRandom random(4242);
    for (int i = 0; i < 3000; ++i) {
        const cv::Size size(random.uniformInt(1, 60), random.uniformInt(1, 60));
        cv::Mat image(size, CV_8UC1, cv::Scalar(255));
        const int marks = random.uniformInt(0, 4);
        for (int k = 0; k < marks; ++k) {
            // Black, and grey levels, which count as black too.
            image.at<std::uint8_t>(random.uniformInt(0, size.height - 1),
                                   random.uniformInt(0, size.width - 1)) =
                static_cast<std::uint8_t>(random.uniformInt(0, 1) ? 0 : random.uniformInt(0, 254));
        }
        if (i % 5 == 0) {
            // A view into a larger black image: rows are not contiguous.
            cv::Mat frame(size + cv::Size(6, 4), CV_8UC1, cv::Scalar(0));
            image.copyTo(frame(cv::Rect(cv::Point(3, 2), size)));
            image = frame(cv::Rect(cv::Point(3, 2), size));
        }
        ASSERT_EQ(blackExtent(image), listedExtent(image))
            << "seed " << random.seed() << ", case " << i << "\n"
            << image;
    }
}

}  // namespace
}  // namespace qcl
