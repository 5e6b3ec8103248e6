// The local threshold: dark marks stay black and paper white under light that falls off across
// the picture, inside large areas of one colour too; a picture without contrast follows the
// global threshold.
#include "imaging/LocalThreshold.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace qcl {
namespace {

TEST(LocalThreshold, MarksAndPaperUnderFallingLight) {
    // Paper with dark bars and one large black square and white disc, lit from 255 on the left
    // down to a tenth on the right: one global threshold loses either end.
    cv::Mat page(240, 640, CV_8UC1, cv::Scalar(255));
    cv::Mat marks(page.size(), CV_8UC1, cv::Scalar(0));
    for (int x = 20; x < 620; x += 40) {
        cv::rectangle(marks, cv::Rect(x, 20, 12, 80), cv::Scalar(255), cv::FILLED);
    }
    cv::rectangle(marks, cv::Rect(60, 130, 100, 100), cv::Scalar(255), cv::FILLED);
    cv::circle(marks, {110, 180}, 30, cv::Scalar(0), cv::FILLED);
    cv::Mat lit(page.size(), CV_8UC1);
    for (int y = 0; y < page.rows; ++y) {
        for (int x = 0; x < page.cols; ++x) {
            const double light = 1.0 - 0.9 * x / page.cols;
            const int value = marks.at<std::uint8_t>(y, x) != 0 ? 20 : 230;
            lit.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(value * light);
        }
    }
    const cv::Mat binary = localThreshold(lit, 100);
    ASSERT_EQ(binary.size(), lit.size());
    int wrong = 0;
    for (int y = 0; y < page.rows; ++y) {
        for (int x = 0; x < page.cols; ++x) {
            wrong += (binary.at<std::uint8_t>(y, x) == 0) != (marks.at<std::uint8_t>(y, x) != 0);
        }
    }
    // Only pixels at the marks' edges may go either way.
    EXPECT_LT(wrong, static_cast<int>(0.01 * page.total()));
    EXPECT_EQ(binary.at<std::uint8_t>(180, 110), 255);  // the disc inside the black square
    EXPECT_EQ(binary.at<std::uint8_t>(140, 70), 0);     // the square around it
}

TEST(LocalThreshold, FlatPicturesFollowTheGlobalThreshold) {
    const cv::Mat grey(100, 120, CV_8UC1, cv::Scalar(90));
    EXPECT_EQ(cv::countNonZero(localThreshold(grey, 89)), 100 * 120);
    EXPECT_EQ(cv::countNonZero(localThreshold(grey, 90)), 0);
    // Faint noise on white paper is no contrast: the paper stays white.
    cv::Mat paper(100, 120, CV_8UC1);
    cv::randu(paper, 240, 251);
    EXPECT_EQ(cv::countNonZero(localThreshold(paper, 128)), 100 * 120);
}

}  // namespace
}  // namespace qcl
