#include "writer/SymbolRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

using test::renderTestSymbol;
using test::SymbolSetup;

constexpr double kPi = 3.14159265358979323846;

bool isDark(const cv::Vec3b& c) {
    return c[0] < 64 && c[1] < 64 && c[2] < 64;
}
bool isLight(const cv::Vec3b& c) {
    return c[0] > 191 && c[1] > 191 && c[2] > 191;
}

cv::Vec3b pixelAt(const cv::Mat& image, const cv::Point2d& p) {
    return image.at<cv::Vec3b>(cvRound(p.y), cvRound(p.x));
}

// Slot of an image point in the symbol frame (mirror aware), 0..M-1.
int slotOf(const SymbolGeometry& g, double x, double y) {
    double phi = std::atan2(y - g.center.y, x - g.center.x) - g.startAngle;
    if (g.mirrored) {
        phi = -phi;
    }
    const int m = g.modulesPerRing;
    const int slot = static_cast<int>(std::floor(phi / g.moduleAngle() + 0.5));
    return ((slot % m) + m) % m;
}

TEST(SymbolRendererSize, ImageSizeFollowsPitchAndQuietZone) {
    RenderOptions options;
    options.ringPitch = 24;
    const SymbolRenderer renderer(48, 4, CodeType::BlackAndWhite, options);
    const SymbolGeometry& g = renderer.geometry();
    EXPECT_DOUBLE_EQ(g.pitch, 24.0);
    EXPECT_DOUBLE_EQ(g.outerRadius(), g.discRadius + 7 * 24.0);
    const int expected = static_cast<int>(std::ceil(2.0 * (g.outerRadius() + 8.0) + 2.0));
    EXPECT_EQ(g.imageSize, cv::Size(expected, expected));
    EXPECT_LE(g.discRadius, g.pitch);
    EXPECT_GE(g.discRadius, 0.75 * g.pitch);
}

TEST(SymbolRendererSize, DiameterAndImageSizeDeterminePitch) {
    RenderOptions byDiameter;
    byDiameter.diameter = 460;
    byDiameter.imageSize = cv::Size(640, 640);
    const SymbolRenderer a(32, 5, CodeType::BlackAndWhite, byDiameter);
    EXPECT_NEAR(2.0 * a.geometry().outerRadius(), 460.0, 1e-6);

    RenderOptions byImage;
    byImage.imageSize = cv::Size(640, 480);
    const SymbolRenderer b(32, 5, CodeType::BlackAndWhite, byImage);
    const SymbolGeometry& g = b.geometry();
    EXPECT_LE(g.center.y + g.outerRadius() + 8.0, 480.0);
    EXPECT_GT(g.center.y + g.outerRadius() + 8.0, 470.0);
}

TEST(SymbolRendererSize, CentreSitsOffTheRasterSymmetryPoints) {
    RenderOptions options;
    options.imageSize = cv::Size(640, 640);
    EXPECT_EQ(SymbolRenderer(16, 3, CodeType::BlackAndWhite, options).geometry().center,
              cv::Point2d(319.5, 320.25));
    // Above 640 px the reader shrinks the image: the quarter pixel is one of its pixels.
    options.imageSize = cv::Size(1280, 1280);
    const SymbolGeometry g = SymbolRenderer(16, 3, CodeType::BlackAndWhite, options).geometry();
    EXPECT_EQ(g.center, cv::Point2d(639.5, 641.0));
    EXPECT_DOUBLE_EQ(g.workingScale, 2.0);
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
    const SymbolRenderer renderer(32, 3, CodeType::BlackAndWhite, options);
    EXPECT_THROW(renderer.render(ModuleList(10, 0)), std::invalid_argument);
    EXPECT_THROW(renderer.render(ModuleList(27 * 3, 2)), std::invalid_argument);
}

class SymbolRendererSweep : public ::testing::TestWithParam<SymbolSetup> {};

TEST_P(SymbolRendererSweep, EveryDataModuleShowsItsValueAtItsCentre) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    const SymbolRenderer renderer(g.modulesPerRing, g.ringCount, GetParam().codeType,
                                  test::renderOptionsFor(GetParam()));
    for (std::size_t i = 0; i < s.modules.size(); ++i) {
        const int slot = SymbolGeometry::slotOfIndex(static_cast<int>(i), g.modulesPerRing);
        const int ring =
            SymbolGeometry::ringOfIndex(static_cast<int>(i), g.modulesPerRing, g.ringCount);
        const cv::Point2d p = g.pointAt(g.ringCenterRadius(ring), slot);
        ASSERT_EQ(pixelAt(s.image, p), renderer.colorOf(s.modules[i]))
            << "module " << i << " slot " << slot << " ring " << ring;
    }
}

TEST_P(SymbolRendererSweep, StartMarkerRunsFromDiscToRimAtTheRotation) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    for (double r = g.discRadius + 1; r < g.outerRadius() - 1; r += 1.0) {
        ASSERT_TRUE(isDark(pixelAt(s.image, g.pointAt(r, 0.0)))) << "radius " << r;
    }
    EXPECT_TRUE(isLight(pixelAt(s.image, g.pointAt(g.discRadius - 2, 0.0))));
    EXPECT_TRUE(isLight(pixelAt(s.image, g.pointAt(g.outerRadius() + 2, 0.0))));
    // Slot 1 (clockwise after the marker in the reader's direction) is black through the whole
    // inner zebra, white in the rings and in the outer zebra.
    for (double r = g.discRadius + 1; r < g.innerZebraOuterRadius() - 1; r += 1.0) {
        ASSERT_TRUE(isDark(pixelAt(s.image, g.pointAt(r, 1.0)))) << "radius " << r;
    }
    for (double r = g.innerZebraOuterRadius() + 1; r < g.outerRadius() + 4; r += 1.0) {
        ASSERT_TRUE(isLight(pixelAt(s.image, g.pointAt(r, 1.0)))) << "radius " << r;
        ASSERT_TRUE(isLight(pixelAt(s.image, g.pointAt(r, -1.0)))) << "radius " << r;
    }
}

TEST_P(SymbolRendererSweep, ZebrasAlternate) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    const double rim = g.outerZebraInnerRadius() + 0.5 * g.pitch;
    for (int slot = 0; slot < g.modulesPerRing; ++slot) {
        const cv::Vec3b c = pixelAt(s.image, g.pointAt(rim, slot));
        ASSERT_TRUE(slot % 2 == 0 ? isDark(c) : isLight(c)) << "outer zebra slot " << slot;
    }
    for (int ring = 0; ring < g.ringCount; ++ring) {
        const cv::Vec3b c = pixelAt(s.image, g.pointAt(g.ringCenterRadius(ring), 2.0));
        const bool dark = (g.ringCount - 1 - ring) % 2 == 1;
        ASSERT_TRUE(dark ? isDark(c) : isLight(c)) << "radial zebra ring " << ring;
    }
}

TEST_P(SymbolRendererSweep, InnerZebraHasOneNotchPerFourSlotsAndAGap) {
    const test::TestSymbol s = renderTestSymbol(GetParam());
    const SymbolGeometry& g = s.geometry;
    const int m = g.modulesPerRing;
    const double firstNotch = m == 16 ? 3.0 : 2.5;
    const double aboveFloor = g.notchFloorRadius() + 1.5;
    const double belowFloor = g.discRadius + 1.0;
    const double belowGap = g.innerZebraOuterRadius() - g.gap - 1.5;
    for (int q = 0; q < m / 4; ++q) {
        const double notch = firstNotch + 4 * q;
        EXPECT_TRUE(isLight(pixelAt(s.image, g.pointAt(aboveFloor, notch)))) << "notch " << q;
        EXPECT_TRUE(isDark(pixelAt(s.image, g.pointAt(belowFloor, notch)))) << "notch " << q;
        // Midway between two notches the zebra is black up to the gap, white in the gap.
        const double longPlace = notch + 2.0;
        if (std::lround(longPlace) % m != 0 && std::lround(longPlace) % m != 1) {
            EXPECT_TRUE(isDark(pixelAt(s.image, g.pointAt(belowGap, longPlace)))) << q;
            EXPECT_TRUE(isLight(
                pixelAt(s.image, g.pointAt(g.innerZebraOuterRadius() - g.gap / 2, longPlace))))
                << q;
        }
    }
}

TEST_P(SymbolRendererSweep, QuietZoneIsLightAndColoursStayInDataModules) {
    const SymbolSetup setup = GetParam();
    const test::TestSymbol s = renderTestSymbol(setup);
    const SymbolGeometry& g = s.geometry;
    const int m = g.modulesPerRing;
    for (int y = 0; y < s.image.rows; ++y) {
        for (int x = 0; x < s.image.cols; ++x) {
            const cv::Vec3b c = s.image.at<cv::Vec3b>(y, x);
            const double rho = std::hypot(x - g.center.x, y - g.center.y);
            if (rho > g.outerRadius() + 1.0) {
                ASSERT_EQ(c, cv::Vec3b(255, 255, 255)) << x << "," << y;
            }
            const bool grey = c[0] == c[1] && c[1] == c[2];
            if (!grey) {
                ASSERT_EQ(setup.codeType, CodeType::Color) << x << "," << y;
                const int slot = slotOf(g, x, y);
                ASSERT_GE(rho, g.ringInnerRadius(0) - 1.0) << x << "," << y;
                ASSERT_LE(rho, g.outerZebraInnerRadius() + 1.0) << x << "," << y;
                ASSERT_TRUE(slot >= 2 && slot <= m - 2) << x << "," << y << " slot " << slot;
            }
        }
    }
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

INSTANTIATE_TEST_SUITE_P(
    Shapes, SymbolRendererSweep,
    ::testing::Values(sweepSetup(16, 2, 23, CodeType::BlackAndWhite, 0.0),
                      sweepSetup(32, 3, 30, CodeType::Color, 1.1),
                      sweepSetup(48, 4, 24, CodeType::BlackAndWhite, 2.9, true),
                      sweepSetup(64, 5, 23, CodeType::Color, 4.4, false, true),
                      sweepSetup(80, 6, 26, CodeType::BlackAndWhite, 5.9, true, true)));

TEST(SymbolRendererVariants, BlackCentreLeavesAWhiteAnnulus) {
    const test::TestSymbol s =
        renderTestSymbol(sweepSetup(48, 3, 30, CodeType::BlackAndWhite, 0.7, false, true));
    const SymbolGeometry& g = s.geometry;
    ASSERT_GT(g.blackCenterRadius, 0.0);
    EXPECT_LE(g.blackCenterRadius, g.discRadius - 13.0);
    EXPECT_TRUE(isDark(pixelAt(s.image, g.center)));
    for (double a = 0; a < 2 * kPi; a += 0.3) {
        const double r = (g.blackCenterRadius + g.discRadius) / 2;
        EXPECT_TRUE(
            isLight(pixelAt(s.image, g.center + cv::Point2d(r * std::cos(a), r * std::sin(a)))));
    }
}

TEST(SymbolRendererVariants, MirrorRunsSlotsCounterClockwise) {
    const SymbolSetup plainSetup = sweepSetup(32, 3, 25, CodeType::BlackAndWhite, 0.4);
    SymbolSetup mirrorSetup = plainSetup;
    mirrorSetup.mirrored = true;
    const test::TestSymbol plain = renderTestSymbol(plainSetup);
    const test::TestSymbol mirror = renderTestSymbol(mirrorSetup);
    const cv::Point2d c = plain.geometry.center;
    const double r = plain.geometry.innerZebraOuterRadius() - 2.0;
    const double step = plain.geometry.moduleAngle();
    // Slot 1 (black to the top of the zebra) lies at +step in the plain and -step in the mirror.
    auto at = [&](const cv::Mat& img, double angle) {
        return pixelAt(img, c + cv::Point2d(r * std::cos(angle), r * std::sin(angle)));
    };
    EXPECT_TRUE(isDark(at(plain.image, 0.4 + step)));
    EXPECT_TRUE(isLight(at(plain.image, 0.4 - step)));
    EXPECT_TRUE(isDark(at(mirror.image, 0.4 - step)));
    EXPECT_TRUE(isLight(at(mirror.image, 0.4 + step)));
}

TEST(SymbolRendererVariants, AntialiasingOnlyTouchesEdges) {
    SymbolSetup setup = sweepSetup(32, 3, 24, CodeType::BlackAndWhite, 0.25);
    setup.supersampling = 1;
    const cv::Mat hard = renderTestSymbol(setup).image;
    setup.supersampling = 4;
    const cv::Mat soft = renderTestSymbol(setup).image;
    ASSERT_EQ(hard.size(), soft.size());
    int grey = 0;
    int hardGrey = 0;
    int pureButDifferent = 0;
    for (int y = 0; y < soft.rows; ++y) {
        for (int x = 0; x < soft.cols; ++x) {
            const cv::Vec3b s = soft.at<cv::Vec3b>(y, x);
            const cv::Vec3b h = hard.at<cv::Vec3b>(y, x);
            grey += s[0] != 0 && s[0] != 255;
            hardGrey += h[0] != 0 && h[0] != 255;
            pureButDifferent += (s[0] == 0 || s[0] == 255) && s[0] != h[0];
        }
    }
    EXPECT_EQ(hardGrey, 0);
    EXPECT_GT(grey, 0);
    EXPECT_LT(grey, soft.rows * soft.cols / 10);
    EXPECT_LT(pureButDifferent, soft.rows * soft.cols / 1000);
}

TEST(SymbolFixtures, RandomModulesAreSeededAndInRange) {
    const ModuleList a = test::randomModules(48, 3, CodeType::Color, 5);
    EXPECT_EQ(a.size(), 43u * 3u);
    EXPECT_EQ(a, test::randomModules(48, 3, CodeType::Color, 5));
    EXPECT_NE(a, test::randomModules(48, 3, CodeType::Color, 6));
    EXPECT_EQ(*std::max_element(a.begin(), a.end()), 7);
    const ModuleList bw = test::randomModules(16, 2, CodeType::BlackAndWhite, 5);
    EXPECT_EQ(*std::max_element(bw.begin(), bw.end()), 1);
}

// The maps the photograph helpers report take drawn features to where the new image shows them.
TEST(SymbolFixtures, PhotographMapsFollowTheImage) {
    const test::TestSymbol s =
        renderTestSymbol(sweepSetup(32, 3, 30, CodeType::BlackAndWhite, 0.8));
    const SymbolGeometry& g = s.geometry;
    const cv::Point2d marker = g.pointAt(g.ringCenterRadius(1), 0.0);
    const cv::Point2d beside = g.pointAt(g.ringCenterRadius(1), -1.0);  // white ring slot

    cv::Matx23d affine;
    const cv::Mat turned = test::rotateAndScale(s.image, 0.5, 0.9, &affine);
    auto moved = [&](const cv::Point2d& p) { return affine * cv::Vec3d(p.x, p.y, 1.0); };
    const cv::Vec2d m = moved(marker);
    const cv::Vec2d b = moved(beside);
    EXPECT_TRUE(isDark(pixelAt(turned, {m[0], m[1]})));
    EXPECT_TRUE(isLight(pixelAt(turned, {b[0], b[1]})));
    // Positive angles turn from +x towards +y, as the symbol's own angles do.
    const cv::Vec2d c = moved(g.center);
    EXPECT_NEAR(std::atan2(m[1] - c[1], m[0] - c[0]), 0.8 + 0.5, 0.01);

    cv::Matx33d homography;
    const cv::Mat tilted = test::tilt(s.image, 0.05, 1.0, &homography);
    auto projected = [&](const cv::Point2d& p) {
        const cv::Vec3d q = homography * cv::Vec3d(p.x, p.y, 1.0);
        return cv::Point2d(q[0] / q[2], q[1] / q[2]);
    };
    EXPECT_TRUE(isDark(pixelAt(tilted, projected(marker))));
    EXPECT_TRUE(isLight(pixelAt(tilted, projected(beside))));
}

TEST(SymbolFixtures, NoiseAndJpegKeepTheImageShape) {
    const test::TestSymbol s = renderTestSymbol(sweepSetup(16, 2, 24, CodeType::Color, 0.1));
    const cv::Mat noisy = test::addGaussianNoise(s.image, 4.0, 3);
    ASSERT_EQ(noisy.size(), s.image.size());
    ASSERT_EQ(noisy.type(), s.image.type());
    cv::Mat difference;
    cv::absdiff(noisy, s.image, difference);
    EXPECT_GT(cv::mean(difference)[0], 1.0);  // noise was added ...
    EXPECT_LT(cv::mean(difference)[0], 4.0);  // ... about sigma * 0.8 on average, less at 0/255
    EXPECT_EQ(noisy.size(), test::jpegRoundTrip(s.image, 75).size());
    EXPECT_EQ(test::jpegRoundTrip(s.image, 75).type(), CV_8UC3);
}

// The reader's own stages on rendered symbols: the geometry is right when they find it on their
// first path and measure what was drawn.
void expectReadAsDrawn(const SymbolSetup& setup, const test::ReadBack& r, bool firstPath) {
    EXPECT_TRUE(r.decoded) << setup << "\n" << r;
    EXPECT_EQ(r.firstPath, firstPath) << setup << "\n" << r;
    EXPECT_EQ(r.modulesPerRing, setup.modulesPerRing) << setup << "\n" << r;
    EXPECT_DOUBLE_EQ(r.moduleAccuracy, 1.0) << setup << "\n" << r;
}

class SymbolReadability : public ::testing::TestWithParam<SymbolSetup> {};

TEST_P(SymbolReadability, ReaderFindsTheSymbolWhereItWasDrawn) {
    const SymbolSetup setup = GetParam();
    const test::TestSymbol symbol = renderTestSymbol(setup);
    const test::ReadBack r = test::readBackSymbol(symbol, setup.codeType);
    expectReadAsDrawn(setup, r, true);
    EXPECT_EQ(r.markerCandidates, 1) << setup << "\n" << r;
    EXPECT_LT(std::abs(r.markerAngleError), 0.3) << setup << "\n" << r;
    EXPECT_EQ(r.ringCount, setup.ringCount) << setup << "\n" << r;
    EXPECT_LT(std::abs(r.firstRingError), 3.0) << setup << "\n" << r;
    EXPECT_LT(std::abs(r.lastRingError), 3.0) << setup << "\n" << r;
}

// Every modules-per-ring value from the smallest supported pitch to a 620 px diameter.
INSTANTIATE_TEST_SUITE_P(StandardShapes, SymbolReadability,
                         ::testing::ValuesIn(test::standardSymbolSetups(2024, 1)));

TEST(SymbolReadabilityVariants, BlackCentreMirrorAndLargeImage) {
    SymbolSetup black = sweepSetup(80, 4, 24, CodeType::BlackAndWhite, 2.2, false, true);
    black.imageSize = cv::Size(640, 640);
    const test::TestSymbol blackSymbol = renderTestSymbol(black);
    expectReadAsDrawn(black, test::readBackSymbol(blackSymbol, black.codeType), true);

    // The mirror image reads through the reader's flipped view, not on its first path.
    SymbolSetup mirror = sweepSetup(48, 3, 25, CodeType::Color, 0.9, true);
    mirror.imageSize = cv::Size(640, 640);
    const test::TestSymbol mirrorSymbol = renderTestSymbol(mirror);
    expectReadAsDrawn(mirror, test::readBackSymbol(mirrorSymbol, mirror.codeType), false);

    // Above 640 px every size doubles and the reader's shrink brings it back.
    SymbolSetup large = sweepSetup(64, 5, 2 * minimumRingPitch(64), CodeType::BlackAndWhite, 4.0);
    large.imageSize = cv::Size(1280, 1280);
    const test::TestSymbol largeSymbol = renderTestSymbol(large);
    EXPECT_DOUBLE_EQ(largeSymbol.geometry.workingScale, 2.0);
    expectReadAsDrawn(large, test::readBackSymbol(largeSymbol, large.codeType), true);
}

TEST(SymbolReadabilityVariants, SurvivesBlurNoiseAndJpeg) {
    SymbolSetup setup = sweepSetup(32, 3, minimumRingPitch(32), CodeType::BlackAndWhite, 1.3);
    setup.imageSize = cv::Size(640, 640);
    const test::TestSymbol symbol = renderTestSymbol(setup);
    expectReadAsDrawn(
        setup, test::readBackSymbol(symbol, setup.codeType, test::gaussianBlur(symbol.image, 1.0)),
        true);
    expectReadAsDrawn(setup,
                      test::readBackSymbol(symbol, setup.codeType,
                                           test::addGaussianNoise(symbol.image, 4.0, 7), false),
                      true);
    expectReadAsDrawn(
        setup, test::readBackSymbol(symbol, setup.codeType, test::jpegRoundTrip(symbol.image, 75)),
        true);
}

TEST(SymbolReadabilityVariants, MinimumPitchFollowsTheImageSize) {
    EXPECT_DOUBLE_EQ(minimumRingPitch(16), 21.0);
    EXPECT_DOUBLE_EQ(minimumRingPitch(80), 21.0);
    EXPECT_DOUBLE_EQ(minimumRingPitch(16, cv::Size(480, 480)), 16.0);
    // The notch floor needs a larger disc than the area rule.
    EXPECT_DOUBLE_EQ(minimumRingPitch(80, cv::Size(480, 480)), 20.0);
    EXPECT_DOUBLE_EQ(minimumRingPitch(32, cv::Size(1280, 1280)), 42.0);
    // The reader shrinks by the longer side: 1280 x 960 works as 640 x 480.
    EXPECT_DOUBLE_EQ(minimumRingPitch(32, cv::Size(1280, 960)), 2 * 19.0);
    EXPECT_DOUBLE_EQ(minimumRingPitch(20), 0.0);
    // A smaller image: its minimum pitch reads too.
    SymbolSetup setup =
        sweepSetup(64, 4, minimumRingPitch(64, cv::Size(480, 480)), CodeType::BlackAndWhite, 5.1);
    setup.imageSize = cv::Size(480, 480);
    expectReadAsDrawn(setup, test::readBackSymbol(renderTestSymbol(setup), setup.codeType), true);
}

}  // namespace
}  // namespace qcl
