#include "writer/SymbolRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace qcl {
namespace {

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

}  // namespace
}  // namespace qcl
