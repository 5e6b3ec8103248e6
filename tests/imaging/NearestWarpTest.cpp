// Nearest-pixel warps against the image library's own, pixel for pixel: affine and perspective,
// grey and colour, both border rules, parts of the destination and views of larger images.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "imaging/NearestWarp.h"
#include "support/SeededRandom.h"

namespace qcl {
namespace {

TEST(NearestWarp, SamePixelsAsTheLibraryForEveryMapAndPart) {
    using M = cv::Mat_<double>;
    const cv::Mat maps[] = {
        (M(2, 3) << 1.07, 0.21, -31.4, -0.18, 0.93, 22.9),
        (M(2, 3) << 0.5, 0, 1.5, 0, 2, 0.75),   // exact halves: the rounding rule shows
        (M(2, 3) << 0, -1, 199, 1, 0, 0),       // a quarter turn
        (M(2, 3) << 1e-9, 0, 3e9, 0, 1, -3e9),  // sums beyond 32 bits wrap
        (M(2, 3) << 1, 2, 3, 2, 4, 6),          // no inverse
        (M(3, 3) << 1.02, 0.11, -12.5, -0.09, 0.97, 8.2, 4e-4, -3e-4, 1),
        (M(3, 3) << 1, 0, 0, 0, 1, 0, 0.004, 0.002, 0.3),  // the horizon crosses the view
    };
    test::SeededRandom random(7);
    for (const int type : {CV_8UC1, CV_8UC3}) {
        cv::Mat larger(230, 260, type);
        cv::randu(larger, 0, 256);
        const cv::Mat source = larger(cv::Rect(9, 5, 211, 197));  // a view: its rows have gaps
        for (const cv::Mat& map : maps) {
            for (const int border : {cv::BORDER_CONSTANT, cv::BORDER_REPLICATE}) {
                const cv::Size size(random.uniformInt(150, 300), random.uniformInt(150, 300));
                const cv::Scalar value(200, 100, 50);
                cv::Mat expected;
                if (map.rows == 2) {
                    cv::warpAffine(source, expected, map, size, cv::INTER_NEAREST, border, value);
                } else {
                    cv::warpPerspective(source, expected, map, size, cv::INTER_NEAREST, border,
                                        value);
                }
                SCOPED_TRACE(testing::Message() << map << " border " << border << " type " << type);
                // The whole view, and parts starting inside a block of columns and ending anywhere.
                for (const cv::Rect part : {cv::Rect(cv::Point(), size), cv::Rect(37, 11, 70, 90),
                                            cv::Rect(0, 140, size.width, 3),
                                            cv::Rect(size.width - 1, 0, 1, size.height)}) {
                    const cv::Mat region =
                        warpNearestRegion(source, map, size, part, border, value);
                    EXPECT_EQ(cv::norm(region, expected(part), cv::NORM_INF), 0.0) << part;
                }
            }
        }
    }
}

}  // namespace
}  // namespace qcl
