#include "decoder/InnerZebra.h"

#include "decoder/CenterFinder.h"
#include "imaging/Preprocessing.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace qcl {
namespace {

constexpr double kPi = CV_PI;

// A drawn inner zebra: white disc, black ring with `places` evenly spaced short places
// (parallel-sided white notches above a thin black floor), white outside.
struct RingDrawing {
    int size = 400;
    int places = 16;
    double disc = 30.0;             // disc radius
    double pitch = 30.0;            // the ring is two pitches wide
    double floor = 9.0;             // thin black below every notch
    double rotation = 0.3;          // angle of the first notch's centre line
    int notchModules = 0;           // 0: 2 modules, 1 when there are only 4 places
    cv::Point2d offset{0.0, 0.25};  // symbol centre relative to the image centre

    cv::Point2d center() const { return cv::Point2d(size * 0.5, size * 0.5) + offset; }
    double moduleAngle() const { return 2 * kPi / (4 * places); }
    double notchAngle(int q) const { return rotation + q * 4 * moduleAngle(); }
    double floorRadius() const { return disc + floor; }
    int modules() const { return notchModules != 0 ? notchModules : (places == 4 ? 1 : 2); }

    bool black(double x, double y) const {
        const double dx = x - center().x;
        const double dy = y - center().y;
        const double rho = std::hypot(dx, dy);
        if (rho < disc || rho >= disc + 2 * pitch) {
            return false;
        }
        if (rho < floorRadius()) {
            return true;
        }
        const double halfChord = floorRadius() * std::sin(modules() * moduleAngle() / 2);
        const double phi = std::atan2(dy, dx);
        for (int q = 0; q < places; ++q) {
            const double d = phi - notchAngle(q);
            if (std::cos(d) > 0 && std::abs(rho * std::sin(d)) < halfChord) {
                return false;
            }
        }
        return true;
    }

    // Binary image: a pixel is black when most of its 4 x 4 sub-samples are.
    cv::Mat render() const {
        cv::Mat image(size, size, CV_8UC1);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                int count = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        count += black(x - 0.375 + sx * 0.25, y - 0.375 + sy * 0.25);
                    }
                }
                image.at<std::uint8_t>(y, x) = count >= 8 ? 0 : 255;
            }
        }
        return image;
    }
};

double angularDistance(double a, double b) {
    return kPi - std::abs(std::abs(a - b) - kPi);
}

void expectRingMatches(const RingDrawing& ring, const InnerZebra& zebra) {
    ASSERT_EQ(zebra.slotCount, ring.places);
    ASSERT_EQ(zebra.edges.size(), static_cast<std::size_t>(ring.places));
    EXPECT_NEAR(zebra.radius, ring.floorRadius(), 1.5);
    for (std::size_t i = 0; i < zebra.edges.size(); ++i) {
        const RingPoint& point = zebra.edges[i];
        if (i > 0) {
            EXPECT_GT(point.angle, zebra.edges[i - 1].angle);
            EXPECT_EQ(point.slot, zebra.edges[i - 1].slot + 1);
        }
        double nearest = 10.0;
        for (int q = 0; q < ring.places; ++q) {
            nearest = std::min(nearest, angularDistance(point.angle, ring.notchAngle(q)));
        }
        EXPECT_LT(nearest, 0.25 * ring.moduleAngle()) << "edge " << i;
        const double rho = cv::norm(cv::Point2d(point.position) - ring.center());
        EXPECT_NEAR(rho, ring.floorRadius(), 2.0) << "edge " << i;
    }
}

class InnerZebraPlacesTest : public ::testing::TestWithParam<int> {};

TEST_P(InnerZebraPlacesTest, CountsShortPlacesOfADrawnRing) {
    for (double rotation : {0.3, 1.234, 4.0}) {
        RingDrawing ring;
        ring.places = GetParam();
        ring.rotation = rotation;
        const cv::Mat image = ring.render();
        InnerZebra zebra;
        ASSERT_EQ(findInnerZebra(image, ring.disc - 0.5, zebra), Success)
            << "places " << ring.places << " rotation " << rotation;
        expectRingMatches(ring, zebra);
        EXPECT_EQ(4 * zebra.slotCount, 4 * ring.places);
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlotCounts, InnerZebraPlacesTest, ::testing::Values(4, 8, 12, 16, 20));

TEST(InnerZebraTest, RingWithoutShortPlacesIsNotDetected) {
    RingDrawing ring;
    ring.places = 0;
    InnerZebra zebra;
    EXPECT_EQ(findInnerZebra(ring.render(), ring.disc - 0.5, zebra), PerspectiveMarkersNotDetected);
    EXPECT_TRUE(zebra.edges.empty());
}

// Black ring from radius 100 whose outer radius is set per degree sector (sector d covers
// [d - 0.5, d + 0.5) degrees), so every sample ray of the reach scan reads a chosen reach.
cv::Mat sectorRing(const std::function<double(int)>& outerRadius) {
    cv::Mat image(520, 520, CV_8UC1, cv::Scalar(255));
    const cv::Point2d c(260.0, 260.0);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            const double rho = std::hypot(x - c.x, y - c.y);
            double degrees = std::atan2(y - c.y, x - c.x) * 180.0 / kPi;
            const int sector = (static_cast<int>(std::floor(degrees + 0.5)) + 360) % 360;
            if (rho >= 100.0 && rho < outerRadius(sector)) {
                image.at<std::uint8_t>(y, x) = 0;
            }
        }
    }
    return image;
}

bool inPlace(int degree, int centre) {
    const int d = ((degree - centre) % 360 + 540) % 360 - 180;
    return std::abs(d) <= 11;
}

TEST(InnerZebraTest, ShortPlaceAcrossZeroIsKept) {
    // Four places 23 degrees wide at 0, 90, 180 and 270 degrees. The one across 0 begins with a
    // higher floor (349..359 degrees), so its first sample is not below the clipped mean and the
    // place is taken from sample 0 on; its refined middle lies just past 0 while the previous
    // place lies near 270 degrees, which is more than a degree away round the circle.
    const cv::Mat image = sectorRing([](int degree) {
        if (degree >= 349) {
            return 120.5;
        }
        for (int centre : {0, 90, 180, 270}) {
            if (inPlace(degree, centre)) {
                return 110.5;
            }
        }
        return 240.0;
    });
    InnerZebra zebra;
    ASSERT_EQ(findInnerZebra(image, 99.5, zebra), Success);
    EXPECT_EQ(zebra.slotCount, 4);
    ASSERT_EQ(zebra.edges.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        double nearest = 10.0;
        for (int q = 0; q < 4; ++q) {
            nearest = std::min(nearest, angularDistance(zebra.edges[i].angle, q * kPi / 2));
        }
        EXPECT_LT(nearest, 0.05) << i;
    }
}

TEST(InnerZebraTest, PlacesThatNeverEndFailInsteadOfDividingByZero) {
    // The ring is so thin next to the disc that every ray counts as inside a short place: both
    // bisections run a quarter turn, the median width is about pi and no module angle follows.
    const cv::Mat image = sectorRing([](int degree) {
        for (int centre : {0, 90, 180, 270}) {
            if (inPlace(degree, centre)) {
                return 110.5;
            }
        }
        return 150.0;
    });
    InnerZebra zebra;
    EXPECT_EQ(findInnerZebra(image, 99.5, zebra), PerspectiveMarkersNotDetected);
    EXPECT_EQ(zebra.slotCount, 0);
}

TEST(InnerZebraTest, UnusableInputIsNotDetected) {
    const cv::Mat image(300, 300, CV_8UC1, cv::Scalar(0));
    InnerZebra zebra;
    EXPECT_EQ(findInnerZebra(cv::Mat(), 20.0, zebra), PerspectiveMarkersNotDetected);
    EXPECT_EQ(findInnerZebra(image, std::nan(""), zebra), PerspectiveMarkersNotDetected);
    EXPECT_EQ(findInnerZebra(image, -1.0, zebra), PerspectiveMarkersNotDetected);
}

TEST(InnerZebraTest, WhiteImageIsNotDetected) {
    const cv::Mat image(300, 300, CV_8UC1, cv::Scalar(255));
    InnerZebra zebra;
    EXPECT_EQ(findInnerZebra(image, 20.0, zebra), PerspectiveMarkersNotDetected);
}

// The reader's view of a rendered symbol: conditioned and binarised as the decode entry does.
cv::Mat binarized(const test::TestSymbol& symbol, CodeType codeType) {
    cv::Mat conditioned = symbol.image.clone();
    enhanceImage(conditioned, conditioned);
    cv::Mat binary;
    binarizeImage(conditioned, binary, static_cast<int>(codeType), Otsu);
    return binary;
}

class RenderedInnerZebraTest : public ::testing::TestWithParam<test::SymbolSpec> {};

TEST_P(RenderedInnerZebraTest, CentreAndModulesPerRing) {
    const test::SymbolSpec spec = GetParam();
    const test::TestSymbol symbol = test::renderTestSymbol(spec);
    cv::Mat binary = binarized(symbol, spec.codeType);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(binary, ellipse), Success);
    EXPECT_LT(cv::norm(cv::Point2d(ellipse.center) - symbol.geometry.center), 1.5);
    const double innerRadius = std::max(ellipse.size.width, ellipse.size.height) * 0.5f;
    EXPECT_NEAR(innerRadius, symbol.geometry.discRadius, 1.5);
    InnerZebra zebra;
    ASSERT_EQ(findInnerZebra(binary, innerRadius, zebra), Success);
    EXPECT_EQ(4 * zebra.slotCount, spec.modulesPerRing);
    EXPECT_NEAR(zebra.radius, symbol.geometry.notchFloorRadius(), 2.0);
}

TEST(RenderedInnerZebraCaseTest, ExactlyCentredSymbolKeepsThePlaceAcrossZero) {
    // Its place across 0 degrees is re-picked onto a sample just past 0 and refined to about
    // 8 degrees, while the place before it lies near 277 degrees.
    test::SymbolSpec spec;
    spec.modulesPerRing = 16;
    spec.ringCount = 3;
    spec.pitch = 23;
    spec.centerOffset = {0.5, -0.25};  // exactly on the image centre (320, 320)
    spec.rotation = 0.515654824574367;
    spec.seed = 9008;
    const test::TestSymbol symbol = test::renderTestSymbol(spec);
    cv::Mat binary = binarized(symbol, spec.codeType);
    cv::RotatedRect ellipse;
    ASSERT_EQ(findCenter(binary, ellipse), Success);
    InnerZebra zebra;
    ASSERT_EQ(
        findInnerZebra(binary, std::max(ellipse.size.width, ellipse.size.height) * 0.5f, zebra),
        Success);
    EXPECT_EQ(zebra.slotCount, 4);
    EXPECT_EQ(zebra.edges.size(), 4u);
}

std::vector<test::SymbolSpec> renderedSpecs() {
    std::vector<test::SymbolSpec> specs = test::standardSymbolSpecs(20261206, 2);
    test::SeededRandom random(77);
    for (int m : {16, 32, 48, 64, 80}) {
        test::SymbolSpec spec;
        spec.modulesPerRing = m;
        spec.ringCount = 4;
        spec.blackCenter = true;
        spec.rotation = random.uniformReal(0.0, 2 * kPi);
        spec.seed = static_cast<std::uint32_t>(random.uniformInt(1, 1000000));
        specs.push_back(spec);
        spec.imageSize = cv::Size(480, 480);
        spec.blackCenter = false;
        spec.rotation = random.uniformReal(0.0, 2 * kPi);
        specs.push_back(spec);
    }
    return specs;
}

INSTANTIATE_TEST_SUITE_P(Symbols, RenderedInnerZebraTest, ::testing::ValuesIn(renderedSpecs()));

}  // namespace
}  // namespace qcl
