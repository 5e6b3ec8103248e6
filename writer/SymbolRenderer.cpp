#include "writer/SymbolRenderer.h"
#include "common/Angles.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qcl {

namespace {

// Longer side of the reader's working image; every absolute size below is in its pixels.
constexpr double kWorkingSide = 640.0;
// Largest side of an image whose size the renderer chooses itself: Quorgen's own limit on given
// sizes, and far beyond any symbol a reader needs.
constexpr double kMaxChosenSide = 20000.0;
// Black below a notch: survives blur and the centre finder's antialiased repaint of the disc.
constexpr double kThinBlackShare = 0.3;
constexpr double kThinBlackMin = 3.0;
// White gap at the top of the inner zebra: survives the 3x3 opening, cuts data columns off.
constexpr double kGapShare = 0.2;
constexpr double kGapMin = 4.0;
// Chord of a notch floor: narrower white features vanish in the 3x3 opening.
constexpr double kMinNotchChord = 4.0;
// Disc radius in pitches: small enough that a long place beside a notch is told from the notch.
constexpr double kDiscShare = 0.75;
// The centre finder keeps contours of area >= pi (S/32)^2 with S the mean image side: 5 % + 1 px.
constexpr double kDiscAreaDivisor = 32.0;
constexpr double kDiscAreaMargin = 1.05;
constexpr double kDiscAreaExtra = 1.0;
// The inner zebra's edge bisection counts a ray as inside a notch while its black run is at most
// the notch reach / 0.9 + 1; the black beside a notch must exceed that (10 % margin, measured).
constexpr double kEdgeBisectionFactor = 0.9;
constexpr double kEdgeBisectionMargin = 1.1;
// A black centre must stay this far inside the white disc: the centre finder repaints about
// max(b, 10) + 10.5 px white around its estimate and needs some thin black left beyond it.
constexpr double kBlackCenterClearance = 13.0;
constexpr double kMinBlackCenterRadius = 3.0;

double normalizeAngle(double phi) {  // to [-pi, pi)
    phi = std::fmod(phi + kPi, kTwoPi);
    if (phi < 0) {
        phi += kTwoPi;
    }
    return phi - kPi;
}

bool validModulesPerRing(int m) {
    return m >= 16 && m <= 80 && m % 16 == 0;
}

// Radial sizes of a symbol in working-image pixels for a pitch p and mean image side s.
struct WorkingLayout {
    double pitch = 0, disc = 0, thin = 0, gap = 0, halfChord = 0;
    int notchModules = 0;
};

WorkingLayout workingLayout(int modulesPerRing, double pitch, double meanSide, double forcedDisc) {
    WorkingLayout w;
    const double moduleAngle = kTwoPi / modulesPerRing;
    w.pitch = pitch;
    w.thin = std::max(kThinBlackShare * pitch, kThinBlackMin);
    w.gap = std::max(kGapShare * pitch, kGapMin);
    w.notchModules = modulesPerRing == 16 ? 1 : 2;
    const double halfSine = std::sin(w.notchModules * moduleAngle / 2.0);
    const double notchFloorMin = (kMinNotchChord / 2.0) / halfSine;
    const double areaDisc = kDiscAreaMargin * meanSide / kDiscAreaDivisor + kDiscAreaExtra;
    w.disc =
        forcedDisc > 0
            ? forcedDisc
            : std::max({kDiscShare * pitch, std::min(pitch, areaDisc), notchFloorMin - w.thin});
    w.halfChord = (w.disc + w.thin) * halfSine;
    return w;
}

double outerOf(const WorkingLayout& w, int ringCount) {
    return w.disc + (ringCount + 3) * w.pitch;
}

// Pitch whose symbol has the given outer radius (working pixels); R0 grows slower than p.
double pitchForOuter(int modulesPerRing, int ringCount, double outer, double meanSide,
                     double forcedDisc) {
    double pitch = outer / (ringCount + 3.75);
    for (int i = 0; i < 50; ++i) {
        const WorkingLayout w = workingLayout(modulesPerRing, pitch, meanSide, forcedDisc);
        const double next = (outer - w.disc) / (ringCount + 3);
        if (std::abs(next - pitch) < 1e-9) {
            break;
        }
        pitch = next;
    }
    return pitch;
}

}  // namespace

double SymbolGeometry::moduleAngle() const {
    return kTwoPi / modulesPerRing;
}

double SymbolGeometry::slotAngle(double slot) const {
    const double phi = slot * moduleAngle();
    return mirrored ? startAngle - phi : startAngle + phi;
}

cv::Point2d SymbolGeometry::pointAt(double radius, double slot) const {
    const double a = slotAngle(slot);
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
}

std::int32_t SymbolGeometry::slotOfIndex(std::int32_t index, std::int32_t modulesPerRing) {
    return index % (modulesPerRing - kNonDataSlots) + 3;
}

std::int32_t SymbolGeometry::ringOfIndex(std::int32_t index, std::int32_t modulesPerRing,
                                         std::int32_t ringCount) {
    return ringCount - 1 - index / (modulesPerRing - kNonDataSlots);
}

double minimumRingPitch(std::int32_t modulesPerRing, cv::Size imageSize) {
    if (!validModulesPerRing(modulesPerRing) || imageSize.width <= 0 || imageSize.height <= 0) {
        return 0.0;
    }
    const double scale = std::max(1.0, std::max(imageSize.width, imageSize.height) / kWorkingSide);
    const double side = (imageSize.width + imageSize.height) / 2.0 / scale;
    for (double pitch = 1.0;; pitch += 1.0) {
        const WorkingLayout w = workingLayout(modulesPerRing, pitch, side, 0.0);
        // Disc found by the area-filtered blob search; disc no larger than a pitch; the black
        // beside a notch longer than the notch floor's reach / 0.9 + 1 with a margin.
        const bool discFound = pitch >= side / kDiscAreaDivisor + kDiscAreaExtra;
        const bool discFits = w.disc <= pitch;
        const double longPlace = 2.0 * pitch - w.gap - 1.0;
        const double notchLimit = (w.disc + w.thin) / kEdgeBisectionFactor + 1.0;
        if (discFound && discFits && longPlace >= kEdgeBisectionMargin * notchLimit) {
            return pitch * scale;
        }
    }
}

namespace {

void checkArguments(int modulesPerRing, int ringCount, const RenderOptions& options) {
    if (!validModulesPerRing(modulesPerRing)) {
        throw std::invalid_argument("modules per ring must be 16, 32, 48, 64 or 80");
    }
    if (ringCount < 2) {
        throw std::invalid_argument("a symbol needs at least two data rings");
    }
    if (options.ringPitch <= 0 && options.diameter <= 0 &&
        (options.imageSize.width <= 0 || options.imageSize.height <= 0)) {
        throw std::invalid_argument("give a ring pitch, a diameter or an image size");
    }
    if (options.supersampling < 1) {
        throw std::invalid_argument("supersampling must be at least 1");
    }
}

// The working-image layout together with the image size and scale it is drawn at.
struct SizedLayout {
    WorkingLayout layout;
    cv::Size size;
    double scale = 1.0;
};

// The layout depends on the image size (disc area rule, scale), an automatic image size on the
// layout: both are settled by fixed-point iteration, which needs only a few rounds.
SizedLayout settleLayout(int modulesPerRing, int ringCount, const RenderOptions& options) {
    const double offset =
        std::max(std::abs(options.centerOffset.x), std::abs(options.centerOffset.y));
    const bool autoSize = options.imageSize.width <= 0 || options.imageSize.height <= 0;
    SizedLayout sized;
    sized.size = autoSize ? cv::Size(0, 0) : options.imageSize;
    double side = autoSize ? kWorkingSide : std::max(sized.size.width, sized.size.height);
    for (int round = 0; round < 12; ++round) {
        const double scale = std::max(1.0, side / kWorkingSide);
        const double meanSide =
            autoSize ? side / scale : (sized.size.width + sized.size.height) / 2.0 / scale;
        const double forcedDisc = options.discRadius / scale;
        double pitch = options.ringPitch / scale;
        if (pitch <= 0) {
            const double fit =
                (std::min(sized.size.width, sized.size.height) / 2.0 - offset - 1.0) / scale -
                options.quietZone;
            const double outer = options.diameter > 0 ? options.diameter / 2.0 / scale : fit;
            pitch = pitchForOuter(modulesPerRing, ringCount, outer, meanSide, forcedDisc);
        }
        sized.layout = workingLayout(modulesPerRing, pitch, meanSide, forcedDisc);
        sized.scale = scale;
        if (!autoSize) {
            break;
        }
        const double outer = outerOf(sized.layout, ringCount) + options.quietZone;
        const double need = std::ceil(2.0 * (outer * scale + offset) + 2.0);
        if (need == side) {
            break;
        }
        if (!(need <= kMaxChosenSide)) {
            throw std::invalid_argument(
                "the symbol would need an image of more than 20000 pixels a side");
        }
        side = need;
    }
    if (autoSize) {
        sized.size = cv::Size(static_cast<int>(side), static_cast<int>(side));
    }
    if (sized.layout.pitch <= 0 || sized.layout.disc <= 0) {
        throw std::invalid_argument("the symbol does not fit into the image");
    }
    return sized;
}

}  // namespace

SymbolRenderer::SymbolRenderer(std::int32_t modulesPerRing, std::int32_t ringCount,
                               CodeType codeType, const RenderOptions& options)
    : codeType_(codeType), options_(options) {
    checkArguments(modulesPerRing, ringCount, options);
    const SizedLayout sized = settleLayout(modulesPerRing, ringCount, options);
    const WorkingLayout& w = sized.layout;
    const double scale = sized.scale;
    const cv::Size size = sized.size;
    SymbolGeometry& g = geometry_;
    g.modulesPerRing = modulesPerRing;
    g.ringCount = ringCount;
    g.imageSize = size;
    // Off the raster's symmetry points: half a pixel in x, a quarter of a working pixel in y.
    g.center = cv::Point2d((size.width - 1) / 2.0, size.height / 2.0 - 0.5 + 0.75 * scale) +
               options.centerOffset;
    g.startAngle = options.startAngle;
    g.mirrored = options.mirrored;
    g.workingScale = scale;
    g.pitch = w.pitch * scale;
    g.discRadius = w.disc * scale;
    g.thinBlack = w.thin * scale;
    g.gap = w.gap * scale;
    g.notchModules = w.notchModules;
    g.notchHalfWidth = w.halfChord * scale;
    if (options.blackCenter) {
        const double b = options.blackCenterRadius > 0 ? options.blackCenterRadius / scale
                                                       : w.disc - kBlackCenterClearance;
        if (b < kMinBlackCenterRadius || b >= w.disc) {
            throw std::invalid_argument("the centre disc is too small for a black centre");
        }
        g.blackCenterRadius = b * scale;
    }
    const double outer = g.outerRadius();
    if (g.center.x - outer < 0 || g.center.y - outer < 0 || g.center.x + outer > size.width - 1 ||
        g.center.y + outer > size.height - 1) {
        throw std::invalid_argument("the symbol does not fit into the image");
    }
}

cv::Vec3b SymbolRenderer::colorOf(std::uint8_t value) const {
    // Colour table: which of red, green, blue are lit for values 0..7.
    static const bool kLit[8][3] = {{1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0},
                                    {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
    const bool* lit = kLit[value & 7];
    auto level = [&](bool on) { return on ? options_.light : options_.dark; };
    return cv::Vec3b(level(lit[2]), level(lit[1]), level(lit[0]));
}

bool SymbolRenderer::inNotch(double rho, double phi) const {
    const SymbolGeometry& g = geometry_;
    const int m = g.modulesPerRing;
    const double step = g.moduleAngle();
    const double floorRadius = g.notchFloorRadius();
    // The notch before the marker: from the marker's edge to a line parallel to the ray through
    // slot -notchModules, so no black lies between notch and marker.
    if (phi < -step / 2 && phi > -(g.notchModules + 1) * step) {
        const double side = -g.notchModules * step;
        return rho * std::sin(phi - side) > -floorRadius * std::sin(step / 2);
    }
    // The others: parallel-sided slots centred on slot 4q + 2.5 (two modules) or 4q + 3 (one).
    const double firstCenter = g.notchModules == 2 ? 2.5 : 3.0;
    const int notches = m / 4;
    double s = phi / step;
    if (s < 0) {
        s += m;
    }
    int q = static_cast<int>(std::lround((s - firstCenter) / 4.0));
    q = ((q % notches) + notches) % notches;
    if (q == notches - 1) {
        return false;
    }
    const double d = normalizeAngle(phi - (4.0 * q + firstCenter) * step);
    return std::cos(d) > 0 && std::abs(rho * std::sin(d)) < g.notchHalfWidth;
}

std::uint8_t SymbolRenderer::structureValue(const ModuleList& modules, double rho,
                                            double phi) const {
    const SymbolGeometry& g = geometry_;
    const int m = g.modulesPerRing;
    const int rings = g.ringCount;
    int slot = static_cast<int>(std::floor(phi / g.moduleAngle() + 0.5));
    slot = ((slot % m) + m) % m;
    if (slot == 0) {
        return 1;  // start marker, from the disc to the rim
    }
    if (rho < g.innerZebraOuterRadius()) {
        if (rho >= g.notchFloorRadius() && inNotch(rho, phi)) {
            return 0;
        }
        const bool inGap = rho >= g.innerZebraOuterRadius() - g.gap;
        return inGap && slot != 1 ? 0 : 1;
    }
    if (rho < g.outerZebraInnerRadius()) {
        const int ring =
            std::clamp(static_cast<int>((rho - g.ringInnerRadius(0)) / g.pitch), 0, rings - 1);
        if (slot == 1 || slot >= m - 2) {
            return 0;
        }
        if (slot == 2) {  // radial zebra: outermost ring white, alternating inward
            return (rings - 1 - ring) % 2 == 1 ? 1 : 0;
        }
        const int row = rings - 1 - ring;
        return modules[static_cast<std::size_t>(row * (m - kNonDataSlots) + slot - 3)];
    }
    return slot % 2 == 0 ? 1 : 0;  // outer zebra
}

std::uint8_t SymbolRenderer::valueAt(const ModuleList& modules, double x, double y) const {
    const SymbolGeometry& g = geometry_;
    const double dx = x - g.center.x;
    const double dy = y - g.center.y;
    const double rho = std::hypot(dx, dy);
    if (rho < g.blackCenterRadius) {
        return 1;
    }
    if (rho < g.discRadius || rho >= g.outerRadius()) {
        return 0;
    }
    double phi = std::atan2(dy, dx) - g.startAngle;
    if (g.mirrored) {
        phi = -phi;
    }
    return structureValue(modules, rho, normalizeAngle(phi));
}

void SymbolRenderer::checkModules(const ModuleList& modules) const {
    const SymbolGeometry& g = geometry_;
    const std::size_t expected =
        static_cast<std::size_t>((g.modulesPerRing - kNonDataSlots) * g.ringCount);
    if (modules.size() != expected) {
        throw std::invalid_argument("expected " + std::to_string(expected) +
                                    " module values, got " + std::to_string(modules.size()));
    }
    const std::uint8_t maxValue = codeType_ == CodeType::Color ? 7 : 1;
    for (std::uint8_t v : modules) {
        if (v > maxValue) {
            throw std::invalid_argument("module value out of range: " + std::to_string(v));
        }
    }
}

cv::Mat SymbolRenderer::render(const ModuleList& modules) const {
    checkModules(modules);
    const SymbolGeometry& g = geometry_;
    const int n = options_.supersampling;
    cv::Mat image(g.imageSize, CV_8UC3, cv::Scalar::all(options_.light));
    // Values at the pixel corners, one row above and one below the current pixel row.
    std::vector<std::uint8_t> above(static_cast<std::size_t>(image.cols) + 1);
    std::vector<std::uint8_t> below(above.size());
    auto cornerRow = [&](std::vector<std::uint8_t>& row, double y) {
        for (int x = 0; x <= image.cols; ++x) {
            row[static_cast<std::size_t>(x)] = valueAt(modules, x - 0.5, y);
        }
    };
    cornerRow(above, -0.5);
    for (int y = 0; y < image.rows; ++y) {
        cornerRow(below, y + 0.5);
        auto* row = image.ptr<cv::Vec3b>(y);
        for (int x = 0; x < image.cols; ++x) {
            const auto i = static_cast<std::size_t>(x);
            const std::uint8_t v = valueAt(modules, x, y);
            // A pixel whose corners agree with its centre is uniform: features are >= 3 px.
            if (n == 1 ||
                (above[i] == v && above[i + 1] == v && below[i] == v && below[i + 1] == v)) {
                row[x] = colorOf(v);
            } else {
                row[x] = averagePixel(modules, x, y);
            }
        }
        std::swap(above, below);
    }
    return image;
}

cv::Vec3b SymbolRenderer::averagePixel(const ModuleList& modules, int x, int y) const {
    const int n = options_.supersampling;
    cv::Vec3d sum(0, 0, 0);
    for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
            const cv::Vec3b c =
                colorOf(valueAt(modules, x - 0.5 + (sx + 0.5) / n, y - 0.5 + (sy + 0.5) / n));
            sum += cv::Vec3d(c[0], c[1], c[2]);
        }
    }
    sum /= static_cast<double>(n * n);
    return cv::Vec3b(cv::saturate_cast<uchar>(sum[0]), cv::saturate_cast<uchar>(sum[1]),
                     cv::saturate_cast<uchar>(sum[2]));
}

}  // namespace qcl
