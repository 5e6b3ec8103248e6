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
        int cols, rows, channels;
        double factor;  // by a factor when positive
        cv::Size size;  // else to this size
    };
    // Factors just above a half (the rim search's range), arbitrary ones below it, whole
    // inverses (the library's integer path), one that rounds to the same size, one-pixel outputs;
    // sizes whose scales differ per axis or keep one axis; colour images.
    const Case cases[] = {
        {640, 480, 1, 0.543, {}},     {333, 217, 1, 0.5001, {}},  {160, 120, 1, 0.999, {}},
        {97, 211, 1, 0.731, {}},      {300, 300, 1, 0.27, {}},    {256, 128, 1, 0.5, {}},
        {90, 90, 1, 1.0 / 3, {}},     {3, 2, 1, 0.4, {}},         {200, 150, 3, 0.61, {}},
        {431, 431, 3, 0, {320, 320}}, {250, 180, 1, 0, {83, 60}}, {120, 77, 4, 0, {120, 50}}};
    test::SeededRandom random(41);
    for (const Case& c : cases) {
        for (const bool binary : {true, false}) {
            cv::Mat image(c.rows, c.cols, CV_8UC(c.channels));
            cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(binary ? 2 : 256));
            if (binary) {
                image *= 255;
            }
            // A window of a larger image: rows that are not contiguous.
            cv::Mat larger(c.rows + 4, c.cols + 7, image.type(),
                           cv::Scalar::all(random.uniformInt(0, 255)));
            image.copyTo(larger(cv::Rect(3, 2, c.cols, c.rows)));
            const cv::Mat window = larger(cv::Rect(3, 2, c.cols, c.rows));
            cv::Mat expected;
            cv::Mat reduced;
            if (c.factor > 0) {
                cv::resize(window, expected, cv::Size(), c.factor, c.factor, cv::INTER_AREA);
                reduced = reduceByArea(window, c.factor);
            } else {
                cv::resize(window, expected, c.size, 0, 0, cv::INTER_AREA);
                reduced = reduceByArea(window, c.size);
            }
            EXPECT_TRUE(test::identical(reduced, expected))
                << c.cols << "x" << c.rows << "x" << c.channels << " by " << c.factor << " to "
                << c.size << (binary ? " binary" : "");
        }
    }
}

}  // namespace
}  // namespace qcl
