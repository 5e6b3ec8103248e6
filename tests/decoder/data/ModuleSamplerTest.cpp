#include "common/Angles.h"
#include "decoder/data/ModuleSampler.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

SamplingGrid gridFor(const cv::Mat& image, CodeType type, int modulesPerRing = 16,
                     int ringCount = 2) {
    SamplingGrid grid = test::makeGrid(modulesPerRing, ringCount, type == CodeType::Color);
    grid.image = &image;
    grid.threshold = 128;
    return grid;
}

std::uint8_t classify(const cv::Mat& image, CodeType type, const cv::Point& centre, double angle,
                      int tangential, int radial, int samples) {
    std::mt19937 generator(5489);
    std::normal_distribution<double> distribution(0.0, 1.0);
    return classifyModule(gridFor(image, type), generator, distribution, centre, angle, tangential,
                          radial, samples);
}

std::uint8_t classifyBW(const cv::Mat& image, const cv::Point& centre, double angle, int tangential,
                        int radial, int samples) {
    return classify(image, CodeType::BlackAndWhite, centre, angle, tangential, radial, samples);
}

RadialZebra zebraOf(int ringCount, double first, double last) {
    RadialZebra zebra;
    zebra.ringCount = ringCount;
    zebra.firstRingRadius = first;
    zebra.lastRingRadius = last;
    return zebra;
}

// Windows below 3 read the centre alone; a tangential window of 3 or 4 adds the vertical
// neighbours, a radial one the horizontal neighbours; windows of 3 and 4 never draw random
// samples.
TEST(ClassifyModule, SmallWindowsReadCentreAndFixedNeighboursOnly) {
    cv::Mat image(21, 21, CV_8UC3, cv::Scalar::all(0));
    const cv::Point c(10, 10);
    image.at<cv::Vec3b>(c) = cv::Vec3b::all(255);
    EXPECT_EQ(classifyBW(image, c, 0.0, 2, 2, 0), 0);  // the white centre alone
    EXPECT_EQ(classifyBW(image, c, 0.0, 3, 2, 0), 1);  // two black neighbours outvote it

    image.col(c.x).rowRange(c.y - 1, c.y + 2).setTo(cv::Scalar::all(255));  // white column of 3
    EXPECT_EQ(classifyBW(image, c, 0.0, 3, 2, 0), 0);
    EXPECT_EQ(classifyBW(image, c, 0.0, 2, 3, 0), 1);
    EXPECT_EQ(classifyBW(image, c, 0.0, 4, 4, 0), 0);   // 3 white of 5
    EXPECT_EQ(classifyBW(image, c, 0.0, 4, 4, 20), 0);  // samples asked for but not drawn
}

// The radial random offset is bounded by half the tangential window and the tangential offset
// by half the radial window. At angle 0 the radial direction is +x, the tangential one +y.
TEST(ClassifyModule, RandomOffsetsUseSwappedBounds) {
    const cv::Point c(20, 20);
    cv::Mat column(41, 41, CV_8UC3, cv::Scalar::all(0));
    cv::line(column, {c.x, 0}, {c.x, 40}, cv::Scalar::all(255));
    // Tangential window 0: radial offsets clamped to 0, all samples in the white column.
    EXPECT_EQ(classifyBW(column, c, 0.0, 0, 10, 20), 0);

    cv::Mat row(41, 41, CV_8UC3, cv::Scalar::all(0));
    cv::line(row, {0, c.y}, {40, c.y}, cv::Scalar::all(255));
    EXPECT_EQ(classifyBW(row, c, 0.0, 10, 0, 20), 0);
    // At pi/2 the row is the tangential direction, whose offsets are now clamped: the samples
    // spread down the black column.
    EXPECT_EQ(classifyBW(row, c, kPi / 2, 10, 0, 20), 1);
}

TEST(ClassifyModule, ColourTableAndBlackAndWhiteMajority) {
    const struct {
        cv::Vec3b bgr;
        std::uint8_t colour, blackAndWhite;
    } cases[] = {
        {{200, 200, 200}, 0, 0},  // every channel above the threshold: white, light
        {{10, 10, 10}, 1, 1},     // black
        {{10, 10, 200}, 2, 1},    // red alone is dark in black-and-white mode
        {{10, 200, 10}, 3, 1},    // green
        {{200, 10, 10}, 4, 1},    // blue
        {{200, 200, 10}, 5, 0},   // cyan: green and blue
        {{200, 10, 200}, 6, 0},   // magenta: red and blue
        {{10, 200, 200}, 7, 0},   // yellow: red and green
        {{128, 128, 128}, 1, 1},  // exactly at the threshold is not above it
    };
    for (const auto& k : cases) {
        const cv::Mat image(9, 9, CV_8UC3, cv::Scalar(k.bgr[0], k.bgr[1], k.bgr[2]));
        EXPECT_EQ(classify(image, CodeType::Color, {4, 4}, 0.3, 6, 6, 4), k.colour) << k.bgr;
        EXPECT_EQ(classifyBW(image, {4, 4}, 0.3, 6, 6, 4), k.blackAndWhite) << k.bgr;
    }
}

// Every read draws one seeded stream afresh, so noise, where the random samples decide many
// modules, reads the same twice. A grid this large draws more offsets than are kept from the
// first read, and must read as one stream sampled module by module would.
TEST(ReadMaskedData, ReadsOneSeededStreamAfresh) {
    cv::Mat noise(720, 720, CV_8UC3);
    cv::RNG(77).fill(noise, cv::RNG::UNIFORM, 0, 2);
    noise *= 255;
    const int m = 64;
    const int rings = 24;
    const SamplingGrid grid = gridFor(noise, CodeType::Color, m, rings);
    const RadialZebra zebra = zebraOf(rings, 40, 339);  // pitch 13: windows of 9 and more
    const cv::Point2d centre(360.0, 360.0);
    const ModuleList first = readMaskedData(grid, centre, 1.0, zebra);
    EXPECT_EQ(readMaskedData(grid, centre, 1.0, zebra), first);

    std::mt19937 generator(5489);
    std::normal_distribution<double> distribution(0.0, 1.0);
    const std::vector<cv::Point> centres = moduleCentres(grid, centre, 1.0, zebra);
    ASSERT_EQ(centres.size(), first.size());
    const double step = kTwoPi / m;
    for (std::size_t i = 0; i < centres.size(); ++i) {
        const int ring = rings - 1 - static_cast<int>(i) / (m - kNonDataSlots);
        const double radius = 40 + ring * 13.0;
        const int tangential = std::max(static_cast<int>((radius - 6.5) * step) - 4, 0);
        const double angle = (3 + static_cast<int>(i) % (m - kNonDataSlots)) * step + 1.0;
        ASSERT_EQ(classifyModule(grid, generator, distribution, centres[i], angle, tangential, 9,
                                 std::min((tangential + 1) / 2 * 2, 20)),
                  first[i])
            << "module " << i;
    }
}

// Fewer than two rings (no pitch), no data slot, or rings beyond the image.
TEST(ReadMaskedData, UnusableGridsThrowWrongGrid) {
    const cv::Mat image(100, 100, CV_8UC3, cv::Scalar::all(255));
    const struct {
        int modulesPerRing, rings;
        double lastRadius;
    } cases[] = {{16, 1, 40}, {16, 0, 40}, {5, 3, 40}, {0, 3, 40}, {16, 3, 70}};
    for (const auto& c : cases) {
        EXPECT_EQ(test::thrownCode([&] {
                      readMaskedData(
                          gridFor(image, CodeType::BlackAndWhite, c.modulesPerRing, c.rings),
                          {50.0, 50.0}, 0.0, zebraOf(c.rings, 20, c.lastRadius));
                  }),
                  WrongGrid)
            << c.modulesPerRing << " modules, " << c.rings << " rings";
    }
}

}  // namespace
}  // namespace qcl
