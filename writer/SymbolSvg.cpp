#include "writer/SymbolSvg.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace qcl {
namespace {

// Angular samples per module along which the notch outlines are traced.
constexpr int kNotchSamplesPerModule = 24;
// How far above the notch floor the notches are looked for, pixels.
constexpr double kProbeAboveFloor = 0.05;
// Stroke width (pixels) that closes the hairline an anti-aliasing rasteriser leaves between two
// touching shapes of one colour.
constexpr double kSeamStroke = 0.3;
// Radial bisection steps that place a notch outline point (well below a hundredth of a pixel).
constexpr int kBisectionSteps = 30;

struct SvgPath {
    std::ostringstream text;
    void moveTo(const cv::Point2d& p) { text << "M" << p.x << " " << p.y; }
    void lineTo(const cv::Point2d& p) { text << "L" << p.x << " " << p.y; }
    void arcTo(double radius, const cv::Point2d& p, bool clockwise) {
        text << "A" << radius << " " << radius << " 0 0 " << (clockwise ? 1 : 0) << " " << p.x
             << " " << p.y;
    }
};

std::string colourText(const SymbolRenderer& renderer, std::uint8_t value) {
    const cv::Vec3b bgr = renderer.colorOf(value);
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", bgr[2], bgr[1], bgr[0]);
    return text;
}

cv::Point2d polar(const SymbolGeometry& g, double radius, double angle) {
    return g.center + radius * cv::Point2d(std::cos(angle), std::sin(angle));
}

// The annular sector between two radii and two image angles (a0 to a1, either direction).
std::string sectorPath(const SymbolGeometry& g, double r0, double r1, double a0, double a1) {
    SvgPath path;
    const bool clockwise = a1 > a0;  // image y points down: growing angles turn clockwise
    // An arc of more than half a turn needs two segments.
    const double middle = 0.5 * (a0 + a1);
    path.moveTo(polar(g, r1, a0));
    path.arcTo(r1, polar(g, r1, middle), clockwise);
    path.arcTo(r1, polar(g, r1, a1), clockwise);
    path.lineTo(polar(g, r0, a1));
    path.arcTo(r0, polar(g, r0, middle), !clockwise);
    path.arcTo(r0, polar(g, r0, a0), !clockwise);
    path.text << "Z";
    return path.text.str();
}

void addShape(std::ostringstream& svg, const std::string& path, const std::string& colour) {
    svg << "<path d=\"" << path << "\" fill=\"" << colour << "\" stroke=\"" << colour
        << "\" stroke-width=\"" << kSeamStroke << "\"/>\n";
}

// One ring band, each slot coloured as the drawing is at radius `sample` (the band's middle when
// 0): runs of slots of equal value become one sector each.
void addBand(std::ostringstream& svg, const SymbolRenderer& renderer, const ModuleList& modules,
             double r0, double r1, double sample = 0.0) {
    const SymbolGeometry& g = renderer.geometry();
    const int m = g.modulesPerRing;
    const double middle = sample > 0.0 ? sample : 0.5 * (r0 + r1);
    auto valueOf = [&](int slot) {
        const cv::Point2d p = polar(g, middle, g.slotAngle(slot));
        return renderer.valueAt(modules, p.x, p.y);
    };
    for (int first = 0; first < m;) {
        const std::uint8_t value = valueOf(first);
        int last = first;
        while (last + 1 < m && valueOf(last + 1) == value) {
            ++last;
        }
        if (value != 0) {
            addShape(svg, sectorPath(g, r0, r1, g.slotAngle(first - 0.5), g.slotAngle(last + 0.5)),
                     colourText(renderer, value));
        }
        first = last + 1;
    }
}

// Outer end of the white notch run that starts at the notch floor along the ray at `angle`.
double notchReach(const SymbolRenderer& renderer, const ModuleList& modules, double angle,
                  double floor, double top) {
    const SymbolGeometry& g = renderer.geometry();
    auto white = [&](double radius) {
        const cv::Point2d p = polar(g, radius, angle);
        return renderer.valueAt(modules, p.x, p.y) == 0;
    };
    double low = floor;
    double high = top;
    for (int i = 0; i < kBisectionSteps; ++i) {
        const double mid = 0.5 * (low + high);
        (white(mid) ? low : high) = mid;
    }
    return low;
}

// The notches cut into the black of the inner zebra, traced ray by ray from the notch floor.
void addNotches(std::ostringstream& svg, const SymbolRenderer& renderer,
                const ModuleList& modules) {
    const SymbolGeometry& g = renderer.geometry();
    const double floor = g.notchFloorRadius();
    const double top = g.innerZebraOuterRadius() - g.gap;
    const int samples = g.modulesPerRing * kNotchSamplesPerModule;
    // Parallel-sided notches are widest at their floor: look for them just above it.
    const double probe = floor + kProbeAboveFloor;
    auto inNotch = [&](int k) {
        const cv::Point2d p =
            polar(g, probe, g.slotAngle(static_cast<double>(k) / kNotchSamplesPerModule));
        return renderer.valueAt(modules, p.x, p.y) == 0;
    };
    for (int k = 0; k < samples;) {
        if (!inNotch(k)) {
            ++k;
            continue;
        }
        int end = k;
        while (end + 1 < samples && inNotch(end + 1)) {
            ++end;
        }
        SvgPath path;
        // Half a sample beyond each end the ray leaves the notch; the floor arc joins both sides.
        const double a0 = g.slotAngle((k - 0.5) / kNotchSamplesPerModule);
        const double a1 = g.slotAngle((end + 0.5) / kNotchSamplesPerModule);
        path.moveTo(polar(g, floor, a0));
        path.arcTo(floor, polar(g, floor, a1), a1 > a0);
        for (int s = end; s >= k; --s) {
            const double angle = g.slotAngle(static_cast<double>(s) / kNotchSamplesPerModule);
            path.lineTo(polar(g, notchReach(renderer, modules, angle, floor, top), angle));
        }
        path.text << "Z";
        addShape(svg, path.text.str(), colourText(renderer, 0));
        k = end + 1;
    }
}

}  // namespace

std::string symbolSvg(const SymbolRenderer& renderer, const ModuleList& modules) {
    const SymbolGeometry& g = renderer.geometry();
    std::ostringstream svg;
    svg.precision(10);
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << g.imageSize.width
        << "\" height=\"" << g.imageSize.height << "\" viewBox=\"-0.5 -0.5 " << g.imageSize.width
        << " " << g.imageSize.height << "\">\n"
        << "<rect x=\"-0.5\" y=\"-0.5\" width=\"100%\" height=\"100%\" fill=\""
        << colourText(renderer, 0) << "\"/>\n";
    // Inner zebra and start marker, then the notches, the data rings and the outer zebra.
    // The inner zebra's black is sampled below the notch floor, where no notch reaches.
    addBand(svg, renderer, modules, g.discRadius, g.innerZebraOuterRadius() - g.gap,
            g.discRadius + 0.5 * g.thinBlack);
    addBand(svg, renderer, modules, g.innerZebraOuterRadius() - g.gap, g.innerZebraOuterRadius());
    addNotches(svg, renderer, modules);
    for (int ring = 0; ring < g.ringCount; ++ring) {
        addBand(svg, renderer, modules, g.ringInnerRadius(ring), g.ringInnerRadius(ring + 1));
    }
    addBand(svg, renderer, modules, g.outerZebraInnerRadius(), g.outerRadius());
    if (g.blackCenterRadius > 0) {
        svg << "<circle cx=\"" << g.center.x << "\" cy=\"" << g.center.y << "\" r=\""
            << g.blackCenterRadius << "\" fill=\"" << colourText(renderer, 1) << "\"/>\n";
    }
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace qcl
