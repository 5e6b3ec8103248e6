// Drawing a Quorel symbol: centre disc, inner zebra with its notches, start marker, data rings,
// radial zebra and outer zebra, evaluated per pixel in polar coordinates around the symbol centre.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// How big the symbol is and where it sits. Sizes are in pixels of the rendered image.
struct RenderOptions {
    double ringPitch = 0.0;          // radial size of one data ring; 0: derived from diameter/image
    double diameter = 0.0;           // outer diameter of the symbol, used when ringPitch is 0
    cv::Size imageSize{0, 0};        // 0 x 0: the smallest square holding symbol and quiet zone
    double quietZone = 8.0;          // white margin, in pixels of the reader's 640-px working image
    int supersampling = 4;           // sub-samples per pixel side on edges; 1 draws hard edges
    double startAngle = 0.0;         // image angle of the start marker, radians from +x towards +y
    cv::Point2d centerOffset{0, 0};  // moves the symbol away from its default centre
    bool mirrored = false;           // draw the mirror image (slots run counter-clockwise)
    bool blackCenter = false;        // a black disc inside the white centre disc
    double blackCenterRadius = 0.0;  // 0: the largest radius the centre finder tolerates
    double discRadius = 0.0;   // 0: the rule of docs/symbol.md; otherwise forced (experiments)
    std::uint8_t dark = 0;     // grey level of black
    std::uint8_t light = 255;  // grey level of white
};

// The geometry actually drawn, in pixels of the rendered image.
struct SymbolGeometry {
    std::int32_t modulesPerRing = 0;
    std::int32_t ringCount = 0;
    cv::Size imageSize;
    cv::Point2d center;       // symbol centre, pixel-centre coordinates
    double startAngle = 0.0;  // image angle of the start marker's centre line
    bool mirrored = false;
    double workingScale = 1.0;  // rendered pixels per pixel of the reader's working image (>= 1)
    double pitch = 0.0;         // ring pitch p
    double discRadius = 0.0;    // R0: white centre disc
    double blackCenterRadius = 0.0;  // 0 when the centre disc is all white
    double thinBlack = 0.0;          // black kept below every notch
    double gap = 0.0;                // white gap at the top of the inner zebra
    std::int32_t notchModules = 0;   // notch width in modules at its floor
    double notchHalfWidth = 0.0;     // half the notch floor's chord, parallel notch sides

    double moduleAngle() const;
    double notchFloorRadius() const { return discRadius + thinBlack; }
    double innerZebraOuterRadius() const { return discRadius + 2.0 * pitch; }
    // Ring 0 is the innermost data ring, ringCount - 1 the outermost.
    double ringInnerRadius(int ring) const { return discRadius + (2.0 + ring) * pitch; }
    double ringCenterRadius(int ring) const { return ringInnerRadius(ring) + 0.5 * pitch; }
    double outerZebraInnerRadius() const { return ringInnerRadius(ringCount); }
    double outerRadius() const { return ringInnerRadius(ringCount + 1); }
    // Image angle of the centre line of `slot` (fractional slots allowed); mirror aware.
    double slotAngle(double slot) const;
    cv::Point2d pointAt(double radius, double slot) const;
    // Slot and row (0 = outermost) of entry `index` of a module list.
    static std::int32_t slotOfIndex(std::int32_t index, std::int32_t modulesPerRing);
    static std::int32_t ringOfIndex(std::int32_t index, std::int32_t modulesPerRing,
                                    std::int32_t ringCount);
};

// Renders symbols of one size and layout; throws std::invalid_argument on impossible input.
class SymbolRenderer {
  public:
    SymbolRenderer(std::int32_t modulesPerRing, std::int32_t ringCount, CodeType codeType,
                   const RenderOptions& options);

    const SymbolGeometry& geometry() const { return geometry_; }

    // `modules` in the reader's order: (modulesPerRing - 5) * ringCount values, outermost ring
    // first; 1 bit (1 = dark) or a colour-table value 0..7. Returns an 8-bit BGR image.
    cv::Mat render(const ModuleList& modules) const;

    // Colour-table value (0 white, 1 black, 2..7 colours) of the drawing at image point (x, y).
    std::uint8_t valueAt(const ModuleList& modules, double x, double y) const;

    // BGR pixel of a colour-table value with this renderer's dark and light levels.
    cv::Vec3b colorOf(std::uint8_t value) const;

  private:
    // (rho, phi) in the symbol frame, rho within [discRadius, outerRadius).
    std::uint8_t structureValue(const ModuleList& modules, double rho, double phi) const;
    bool inNotch(double rho, double phi) const;
    cv::Vec3b averagePixel(const ModuleList& modules, int x, int y) const;
    void checkModules(const ModuleList& modules) const;

    CodeType codeType_;
    RenderOptions options_;
    SymbolGeometry geometry_;
};

// Smallest ring pitch, in pixels of the rendered image, that the reader handles for a symbol of
// this many modules per ring in an image of this size: 21 px in 640 x 640 for every M. Symbols
// under 0.4 of the mean image side across also read somewhat below it (docs/symbol.md).
double minimumRingPitch(std::int32_t modulesPerRing, cv::Size imageSize = cv::Size(640, 640));

}  // namespace qcl
