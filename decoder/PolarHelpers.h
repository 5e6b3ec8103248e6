// Measurements along rays from the symbol centre in the binary working image (0 = black, any
// other value = white), shared by every ring and marker stage.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

#include "common/Rounding.h"
#include "decoder/DecodeTypes.h"

namespace qcl {

// Value of the pixel under `point` (rounding half away from zero), or -1 outside the image: a
// coordinate rounds into 0 .. n - 1 exactly when it lies above -0.5 and below n - 0.5. Inline:
// it is read once per step of every ray walk.
inline int pixelAt(const cv::Point2d& point, const cv::Mat& image) {
    if (!(point.x > -0.5 && point.y > -0.5 && point.x < image.cols - 0.5 &&
          point.y < image.rows - 0.5)) {
        return -1;
    }
    return image.at<std::uint8_t>(roundedIndex(point.y), roundedIndex(point.x));
}

// Counts the black (countBlackRun) or white (countWhiteRun) pixels met from `point` in steps of
// `step`. With skipOther, pixels of the other colour are skipped first. A run of exactly one
// pixel bridges one pixel of the other colour and goes on counting. `point` is left on the first
// position not counted (a pixel of the other colour, or the first position outside the image).
std::int32_t countBlackRun(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                           bool skipOther);
std::int32_t countWhiteRun(cv::Point2d& point, const cv::Point2d& step, const cv::Mat& image,
                           bool skipOther);

// Bisects on the angle for the edge of a long black radial bar, walking from startAngle in the
// direction of initialStep (radians, signed). A ray hits while its black run from `radius`
// reaches expectedRun * factor (short white gaps inside a long run are bridged).
double findMarkerEdgeAngle(double startAngle, double initialStep, const cv::Mat& image,
                           const cv::Point2d& center, double radius, std::int32_t expectedRun,
                           double factor);

// The same walk for the edge of a short-reach place: a ray hits while its black run from
// `radius` is at most runLength / factor + 1.
double findRunEdgeAngle(double startAngle, double initialStep, const cv::Mat& image,
                        const cv::Point2d& center, double radius, std::int32_t runLength,
                        double factor);

// Snaps the selected measured angles onto an even grid of slotCount slots; with fillMissing,
// slots without a measured angle get an interpolated one.
std::vector<GridSlot> fitAngularGrid(const std::vector<double>& angles,
                                     const std::vector<int>& selected, std::int32_t slotCount,
                                     bool fillMissing);

}  // namespace qcl
