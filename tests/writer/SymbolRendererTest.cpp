#include "writer/SymbolRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

using test::renderTestSymbol;
using test::SymbolSetup;

bool isDark(const cv::Vec3b& c) {
    return c[0] < 64 && c[1] < 64 && c[2] < 64;
}
bool isLight(const cv::Vec3b& c) {
    return c[0] > 191 && c[1] > 191 && c[2] > 191;
}

cv::Vec3b pixelAt(const cv::Mat& image, const cv::Point2d& p) {
    return image.at<cv::Vec3b>(cvRound(p.y), cvRound(p.x));
}

// The image point at `angle` (radians, image frame) and `radius` from the centre.
cv::Point2d polar(const SymbolGeometry& g, double angle, double radius) {
    return g.center + cv::Point2d(radius * std::cos(angle), radius * std::sin(angle));
}

SymbolSetup sweepSetup(int m, int rings, double pitch, CodeType type, double rotation,
                       bool mirrored = false, bool blackCenter = false) {
    SymbolSetup setup;
    setup.modulesPerRing = m;
    setup.ringCount = rings;
    setup.pitch = pitch;
    setup.imageSize = cv::Size(0, 0);
    setup.codeType = type;
    setup.rotation = rotation;
    setup.mirrored = mirrored;
    setup.blackCenter = blackCenter;
    setup.seed = static_cast<std::uint32_t>(m * 100 + rings);
    return setup;
}

TEST(SymbolRendererSize, PitchDiameterOrImageDecideTheSize) {
    RenderOptions byPitch;
    byPitch.ringPitch = 24;
    const SymbolGeometry g = SymbolRenderer(48, 4, CodeType::BlackAndWhite, byPitch).geometry();
    // Disc, inner zebra, 4 rings and the outer zebra: 7 pitches; 8 px quiet zone and 1 px margin.
    EXPECT_DOUBLE_EQ(g.outerRadius(), g.discRadius + 7 * 24.0);
    const int side = static_cast<int>(std::ceil(2.0 * (g.outerRadius() + 8.0) + 2.0));
    EXPECT_EQ(g.imageSize, cv::Size(side, side));
    EXPECT_TRUE(g.discRadius >= 0.75 * g.pitch && g.discRadius <= g.pitch) << g.discRadius;

    RenderOptions byDiameter;
    byDiameter.diameter = 460;
    byDiameter.imageSize = cv::Size(640, 640);
    EXPECT_NEAR(2 * SymbolRenderer(32, 5, CodeType::Color, byDiameter).geometry().outerRadius(),
                460.0, 1e-6);

    RenderOptions byImage;
    byImage.imageSize = cv::Size(640, 480);
    const SymbolGeometry h = SymbolRenderer(32, 5, CodeType::BlackAndWhite, byImage).geometry();
    EXPECT_LE(h.center.y + h.outerRadius() + 8.0, 480.0);
    EXPECT_GT(h.center.y + h.outerRadius() + 8.0, 470.0);

    // The centre sits off the raster's symmetry points, by a quarter of a working pixel.
    EXPECT_EQ(SymbolRenderer(16, 3, CodeType::BlackAndWhite, byDiameter).geometry().center,
              cv::Point2d(319.5, 320.25));
    byDiameter.imageSize = cv::Size(1280, 1280);
    const SymbolGeometry large =
        SymbolRenderer(16, 3, CodeType::BlackAndWhite, byDiameter).geometry();
    EXPECT_EQ(large.center, cv::Point2d(639.5, 641.0));
    EXPECT_DOUBLE_EQ(large.workingScale, 2.0);
}

TEST(SymbolRendererSize, RejectsImpossibleSymbols) {
    RenderOptions options;
    options.ringPitch = 20;
    EXPECT_THROW(SymbolRenderer(24, 3, CodeType::BlackAndWhite, options), std::invalid_argument);
    EXPECT_THROW(SymbolRenderer(32, 1, CodeType::BlackAndWhite, options), std::invalid_argument);
    RenderOptions tiny;
    tiny.ringPitch = 40;
    tiny.imageSize = cv::Size(200, 200);
    EXPECT_THROW(SymbolRenderer(32, 9, CodeType::BlackAndWhite, tiny), std::invalid_argument);
    // A pitch or quiet zone so large that the image side it needs overflows an int (fuzz find).
    RenderOptions huge;
    huge.ringPitch = 555555554;
    EXPECT_THROW(SymbolRenderer(16, 2, CodeType::BlackAndWhite, huge), std::invalid_argument);
    huge.ringPitch = 20;
    huge.quietZone = 1e300;
    EXPECT_THROW(SymbolRenderer(16, 2, CodeType::BlackAndWhite, huge), std::invalid_argument);
    const SymbolRenderer renderer(32, 3, CodeType::BlackAndWhite, options);
    EXPECT_THROW(renderer.render(ModuleList(10, 0)), std::invalid_argument);
    EXPECT_THROW(renderer.render(ModuleList(27 * 3, 2)), std::invalid_argument);
}

TEST(SymbolRendererSize, MinimumPitchFollowsTheImageSize) {
    const struct {
        int modules;
        cv::Size image;
        double pitch;
    } cases[] = {{16, {640, 640}, 21.0},   {80, {640, 640}, 21.0},
                 {16, {480, 480}, 16.0},   {80, {480, 480}, 20.0},   // the notch floor's disc
                 {32, {1280, 1280}, 42.0}, {32, {1280, 960}, 38.0},  // shrunk by the longer side
                 {20, {640, 640}, 0.0}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(minimumRingPitch(c.modules, c.image), c.pitch)
            << c.modules << " modules in " << c.image;
    }
}

// Shapes with every combination of code type, rotation, mirror and black centre.
class SymbolRendererSweep : public ::testing::TestWithParam<SymbolSetup> {};

TEST_P(SymbolRendererSweep, EveryDataModuleShowsItsValueAtItsCentre) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    const SymbolRenderer renderer(g.modulesPerRing, g.ringCount, GetParam().codeType,
                                  test::renderOptionsFor(GetParam()));
    // Reader order: outermost ring first, data slots 3..M-3 counted from the marker.
    const int dataSlots = g.modulesPerRing - 5;
    const double sense = g.mirrored ? -1.0 : 1.0;
    for (std::size_t i = 0; i < s.modules.size(); ++i) {
        const int ring = g.ringCount - 1 - static_cast<int>(i) / dataSlots;
        const int slot = 3 + static_cast<int>(i) % dataSlots;
        const cv::Point2d p =
            polar(g, g.startAngle + sense * slot * g.moduleAngle(), g.ringCenterRadius(ring));
        ASSERT_EQ(pixelAt(s.image, p), renderer.colorOf(s.modules[i]))
            << "module " << i << " slot " << slot << " ring " << ring;
    }
}

TEST_P(SymbolRendererSweep, MarkerAtTheRotationAndZebrasAlternate) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    const double step = (g.mirrored ? -1.0 : 1.0) * g.moduleAngle();
    auto at = [&](double slot, double r) {
        return pixelAt(s.image, polar(g, g.startAngle + slot * step, r));
    };
    for (double r = g.discRadius + 1; r < g.outerRadius() - 1; r += 1.0) {
        ASSERT_TRUE(isDark(at(0, r))) << "marker at radius " << r;
    }
    EXPECT_TRUE(isLight(at(0, g.discRadius - 2)));
    EXPECT_TRUE(isLight(at(0, g.outerRadius() + 2)));
    // Slot 1 after the marker is black through the inner zebra, white beyond; so is slot -1.
    for (double r = g.discRadius + 1; r < g.innerZebraOuterRadius() - 1; r += 1.0) {
        ASSERT_TRUE(isDark(at(1, r))) << "radius " << r;
    }
    for (double r = g.innerZebraOuterRadius() + 1; r < g.outerRadius() + 4; r += 1.0) {
        ASSERT_TRUE(isLight(at(1, r)) && isLight(at(-1, r))) << "radius " << r;
    }
    const double rim = g.outerZebraInnerRadius() + 0.5 * g.pitch;
    for (int slot = 0; slot < g.modulesPerRing; ++slot) {
        ASSERT_EQ(isDark(at(slot, rim)), slot % 2 == 0) << "outer zebra slot " << slot;
    }
    for (int ring = 0; ring < g.ringCount; ++ring) {
        ASSERT_EQ(isDark(at(2, g.ringCenterRadius(ring))), (g.ringCount - 1 - ring) % 2 == 1)
            << "radial zebra ring " << ring;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SymbolRendererSweep,
    ::testing::Values(sweepSetup(16, 2, 23, CodeType::BlackAndWhite, 0.0),
                      sweepSetup(48, 4, 24, CodeType::BlackAndWhite, 2.9, true),
                      sweepSetup(64, 5, 23, CodeType::Color, 4.4, false, true),
                      sweepSetup(80, 6, 26, CodeType::Color, 5.9, true, true)));

}  // namespace
}  // namespace qcl
