// Rendered symbols for tests and benchmarks: a symbol described in one record, drawn with seeded
// random module values, together with the values drawn and the true geometry; and a few simple
// "photograph" degradations of such images.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"
#include "writer/SymbolRenderer.h"

namespace qcl::test {

struct SymbolSetup {
    std::int32_t modulesPerRing = 32;
    std::int32_t ringCount = 3;
    CodeType codeType = CodeType::BlackAndWhite;
    double pitch = 0.0;            // ring pitch in px; 0: diameter, else the image decides
    double diameter = 0.0;         // outer diameter in px, used when pitch is 0
    cv::Size imageSize{640, 640};  // 0 x 0: smallest square around the symbol
    double rotation = 0.0;         // image angle of the start marker (radians, +x towards +y)
    bool mirrored = false;
    std::uint32_t seed = 1;  // module values
};

struct TestSymbol {
    cv::Mat image;            // 8-bit BGR
    ModuleList modules;       // values drawn, in the reader's order (outermost ring first)
    SymbolGeometry geometry;  // what was drawn, in pixels of `image`
};

// Seeded random module values: 0/1 for black-and-white, 0..7 for colour codes.
ModuleList randomModules(std::int32_t modulesPerRing, std::int32_t ringCount, CodeType codeType,
                         std::uint32_t seed);

// The setup drawn with its seeded random module values.
TestSymbol renderTestSymbol(const SymbolSetup& setup);

// "Photographs" of a rendered image.
// Same size, type and every pixel.
bool identical(const cv::Mat& a, const cv::Mat& b);

cv::Mat gaussianBlur(const cv::Mat& image, double sigma);
cv::Mat addGaussianNoise(const cv::Mat& image, double sigma, std::uint32_t seed);
cv::Mat jpegRoundTrip(const cv::Mat& image, int quality);
// Rotates by `angle` (radians, +x towards +y) and scales by `scale` about the image centre into
// an image of the same size.
cv::Mat rotateAndScale(const cv::Mat& image, double angle, double scale);
// A straight smear of `length` px at `angle` radians (+x towards +y), as a camera moved while
// the shutter was open.
cv::Mat motionBlur(const cv::Mat& image, double length, double angle);
// The page of `size` turned by `degrees` about the axis in its plane at `axis` radians through
// its centre, and seen by a pinhole camera of focal length `focal` px looking at that centre:
// page pixels -> image pixels.
cv::Matx33d pageTilt(cv::Size size, double degrees, double axis, double focal);
// The image seen through `pageTilt`, in an image of the same size, white where the page is not.
cv::Mat tiltPage(const cv::Mat& image, double degrees, double axis, double focal);

}  // namespace qcl::test
