#include "imaging/AreaReduction.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

// The reduction must give the library's area reduction pixel for pixel: the rim search
// thresholds its output, so one rounding apart can move a rim.
TEST(AreaReduction, MatchesTheLibrarysAreaReduction) {
    struct Case {
        int cols, rows;
        double factor;
    };
    // Factors just above a half (the rim search's range), arbitrary ones below it, whole
    // inverses (the library's integer path), one that rounds to the same size, one-pixel outputs.
    const Case cases[] = {{640, 480, 0.543}, {333, 217, 0.5001}, {160, 120, 0.999},
                          {97, 211, 0.731},  {300, 300, 0.27},   {256, 128, 0.5},
                          {90, 90, 1.0 / 3}, {50, 40, 0.995},    {3, 2, 0.4}};
    test::SeededRandom random(41);
    for (const Case& c : cases) {
        for (const bool binary : {true, false}) {
            cv::Mat image(c.rows, c.cols, CV_8UC1);
            cv::randu(image, 0, binary ? 2 : 256);
            if (binary) {
                image *= 255;
            }
            // A window of a larger image: rows that are not contiguous.
            cv::Mat larger(c.rows + 4, c.cols + 7, CV_8UC1, cv::Scalar(random.uniformInt(0, 255)));
            image.copyTo(larger(cv::Rect(3, 2, c.cols, c.rows)));
            const cv::Mat window = larger(cv::Rect(3, 2, c.cols, c.rows));
            cv::Mat expected;
            cv::resize(window, expected, cv::Size(), c.factor, c.factor, cv::INTER_AREA);
            EXPECT_TRUE(test::identical(reduceByArea(window, c.factor), expected))
                << c.cols << "x" << c.rows << " by " << c.factor << (binary ? " binary" : "");
        }
    }
}

}  // namespace
}  // namespace qcl
