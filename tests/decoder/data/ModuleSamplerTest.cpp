#include "decoder/data/ModuleSampler.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "common/Logger.h"
#include "support/FakeStages.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"

namespace qcl {
namespace {

constexpr double kPi = 3.14159265358979323846;
const cv::Vec3b kBlack(0, 0, 0);
const cv::Vec3b kWhite(255, 255, 255);

SamplingGrid gridFor(const cv::Mat& image, CodeType type, int modulesPerRing = 16,
                     int ringCount = 2) {
    SamplingGrid grid;
    grid.image = &image;
    grid.codeType = type;
    grid.bitsPerModule = type == CodeType::Color ? 3 : 1;
    grid.modulesPerRing = modulesPerRing;
    grid.ringCount = ringCount;
    grid.threshold = 128;
    return grid;
}

std::uint8_t classify(const cv::Mat& image, CodeType type, const cv::Point& centre, double angle,
                      int tangential, int radial, int samples) {
    const SamplingGrid grid = gridFor(image, type);
    std::mt19937 generator(5489);
    std::normal_distribution<double> distribution(0.0, 1.0);
    return classifyModule(grid, generator, distribution, centre, angle, tangential, radial,
                          samples);
}

TEST(ModulePixel, ReadsInsideAndThrowsWrongGridOutside) {
    cv::Mat image(20, 30, CV_8UC3, cv::Scalar(1, 2, 3));
    image.at<cv::Vec3b>(19, 29) = cv::Vec3b(7, 8, 9);
    const SamplingGrid grid = gridFor(image, CodeType::BlackAndWhite);
    EXPECT_EQ(modulePixel(grid, {29, 19}), cv::Vec3b(7, 8, 9));
    EXPECT_EQ(modulePixel(grid, {0, 0}), cv::Vec3b(1, 2, 3));
    for (const cv::Point p :
         {cv::Point(-1, 0), cv::Point(0, -1), cv::Point(30, 0), cv::Point(0, 20)}) {
        try {
            modulePixel(grid, p);
            ADD_FAILURE() << "no exception at " << p;
        } catch (const QCException& e) {
            EXPECT_EQ(e.code, WrongGrid) << p;
        }
    }
}

// Which pixels a module is judged from: the centre alone, the centre with its vertical neighbours
// (tangential window), with its horizontal neighbours (radial window), or all five.
TEST(ClassifyModule, SmallWindowsReadCentreAndFixedNeighboursOnly) {
    cv::Mat image(21, 21, CV_8UC3, cv::Scalar::all(0));
    const cv::Point c(10, 10);
    image.at<cv::Vec3b>(c) = kWhite;
    // Below 3 in both windows: the white centre alone decides.
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 2, 2, 0), 0);
    // Tangential window 3: the two black vertical neighbours outvote the centre.
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 3, 2, 0), 1);

    image.at<cv::Vec3b>(c.y - 1, c.x) = kWhite;
    image.at<cv::Vec3b>(c.y + 1, c.x) = kWhite;
    // White column of three: light when the vertical neighbours are read...
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 3, 2, 0), 0);
    // ...dark when only the horizontal ones are (radial window 3)...
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 2, 3, 0), 1);
    // ...and 3 white of 5 when both are.
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 4, 4, 0), 0);
    // Windows of 3 and 4 never draw random samples, even when asked for some.
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 4, 4, 20), 0);
}

// The random offsets: the radial one is bounded by half the tangential window and the tangential
// one by half the radial window.
TEST(ClassifyModule, RandomOffsetsUseSwappedBounds) {
    cv::Mat image(41, 41, CV_8UC3, cv::Scalar::all(0));
    const cv::Point c(20, 20);
    // At angle 0 the radial direction is +x and the tangential direction +y. A white column
    // through the centre holds every sample whose radial offset is 0.
    cv::line(image, {c.x, 0}, {c.x, 40}, cv::Scalar::all(255));
    // Tangential window 0: radial offset clamped to 0, so all 20 samples land in the column.
    EXPECT_EQ(classify(image, CodeType::BlackAndWhite, c, 0.0, 0, 10, 20), 0);

    cv::Mat row(41, 41, CV_8UC3, cv::Scalar::all(0));
    cv::line(row, {0, c.y}, {40, c.y}, cv::Scalar::all(255));
    // Radial window 0 (tangential offsets clamped to 0) along a white row at angle 0: light.
    EXPECT_EQ(classify(row, CodeType::BlackAndWhite, c, 0.0, 10, 0, 20), 0);
    // At angle pi/2 the same row is the tangential direction; with the tangential offset clamped
    // to 0 the samples spread down the (black) column instead and the module reads dark.
    EXPECT_EQ(classify(row, CodeType::BlackAndWhite, c, kPi / 2, 10, 0, 20), 1);
}

TEST(ClassifyModule, ColourTableAndBlackAndWhiteMajority) {
    struct Case {
        cv::Vec3b bgr;
        std::uint8_t colour;
        std::uint8_t blackAndWhite;
    };
    const Case cases[] = {
        {{200, 200, 200}, 0, 0},  // grey above threshold in all channels: white, light
        {{10, 10, 10}, 1, 1},     // black
        {{10, 10, 200}, 2, 1},    // red alone is dark in black-and-white mode
        {{10, 200, 10}, 3, 1},    // green
        {{200, 10, 10}, 4, 1},    // blue
        {{200, 200, 10}, 5, 0},   // cyan: green and blue
        {{200, 10, 200}, 6, 0},   // magenta: red and blue
        {{10, 200, 200}, 7, 0},   // yellow: red and green
        {{128, 128, 128}, 1, 1},  // exactly at the threshold is not above it
    };
    for (const Case& k : cases) {
        const cv::Mat image(9, 9, CV_8UC3, cv::Scalar(k.bgr[0], k.bgr[1], k.bgr[2]));
        EXPECT_EQ(classify(image, CodeType::Color, {4, 4}, 0.3, 6, 6, 4), k.colour) << k.bgr;
        EXPECT_EQ(classify(image, CodeType::BlackAndWhite, {4, 4}, 0.3, 6, 6, 4), k.blackAndWhite)
            << k.bgr;
    }
}

// A symbol-like image: white everywhere except chosen (ring, slot) cells, drawn as polar sectors.
cv::Mat drawCells(int size, double firstRadius, double pitch, int modulesPerRing, double start,
                  const std::vector<std::pair<int, int>>& blackCells) {
    cv::Mat image(size, size, CV_8UC3, cv::Scalar::all(255));
    const double c = size * 0.5;
    const double step = 2 * kPi / modulesPerRing;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x - c;
            const double dy = y - c;
            const double ring = std::floor((std::hypot(dx, dy) - firstRadius) / pitch + 0.5);
            double phi = std::atan2(dy, dx) - start;
            phi = std::fmod(phi + 4 * kPi, 2 * kPi);
            const int slot = static_cast<int>(std::floor(phi / step + 0.5)) % modulesPerRing;
            for (const auto& [r, s] : blackCells) {
                if (ring == r && slot == s) {
                    image.at<cv::Vec3b>(y, x) = kBlack;
                }
            }
        }
    }
    return image;
}

TEST(ReadMaskedData, OutermostRingFirstAndColumnZeroIsSlotThree) {
    const int m = 16;
    const double first = 60.0;
    const double pitch = 20.0;
    const double start = 0.7;
    // Ring 2 (outermost), slot 3 = row 0, column 0; ring 0, slot 12 = row 2, column 9.
    const cv::Mat image = drawCells(240, first, pitch, m, start, {{2, 3}, {0, 12}, {1, 0}});
    SamplingGrid grid = gridFor(image, CodeType::BlackAndWhite, m, 3);
    RadialZebra zebra;
    zebra.firstRingRadius = first;
    zebra.lastRingRadius = first + 2 * pitch;
    zebra.ringCount = 3;
    const ModuleList modules = readMaskedData(grid, {120.0, 120.0}, start, zebra);
    ASSERT_EQ(modules.size(), static_cast<std::size_t>((m - 5) * 3));
    ModuleList expected(modules.size(), 0);
    expected[0] = 1;
    expected[2 * (m - 5) + 9] = 1;  // slot 0 (the marker's) is not sampled
    EXPECT_EQ(modules, expected);
}

TEST(ReadMaskedData, SameImageGivesSameModulesAndLogsThem) {
    // Noise everywhere, so the random samples decide many modules.
    test::SeededRandom random(77);
    cv::Mat image(200, 200, CV_8UC3);
    for (int y = 0; y < image.rows; ++y) {
        for (int x = 0; x < image.cols; ++x) {
            image.at<cv::Vec3b>(y, x) = random.uniformInt(0, 1) != 0 ? kWhite : kBlack;
        }
    }
    SamplingGrid grid = gridFor(image, CodeType::Color, 32, 4);
    RadialZebra zebra;
    zebra.firstRingRadius = 40;
    zebra.lastRingRadius = 85;
    zebra.ringCount = 4;

    ModuleList first;
    std::vector<std::string> lines;
    {
        test::LogCapture log(LogLevel::All);
        first = readMaskedData(grid, {100.0, 100.0}, 1.0, zebra);
        lines = log.lines();
    }
    const ModuleList second = readMaskedData(grid, {100.0, 100.0}, 1.0, zebra);
    EXPECT_EQ(first, second);

    std::string expected = "masked modules: {";
    for (std::uint8_t v : first) {
        expected += std::to_string(v) + ",";
    }
    expected += "}";
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], expected);
}

TEST(ReadMaskedData, GridsWithoutPitchOrDataSlotsAreRejected) {
    const cv::Mat image(100, 100, CV_8UC3, cv::Scalar::all(255));
    RadialZebra zebra;
    zebra.firstRingRadius = 20;
    zebra.lastRingRadius = 40;
    for (const auto& [m, rings] :
         {std::pair{16, 1}, std::pair{16, 0}, std::pair{5, 3}, std::pair{0, 3}}) {
        const SamplingGrid grid = gridFor(image, CodeType::BlackAndWhite, m, rings);
        try {
            readMaskedData(grid, {50.0, 50.0}, 0.0, zebra);
            ADD_FAILURE() << m << " modules, " << rings << " rings accepted";
        } catch (const QCException& e) {
            EXPECT_EQ(e.code, WrongGrid);
        }
    }
}

TEST(ReadMaskedData, RingsBeyondTheImageThrowWrongGrid) {
    const cv::Mat image(100, 100, CV_8UC3, cv::Scalar::all(255));
    SamplingGrid grid = gridFor(image, CodeType::BlackAndWhite, 16, 3);
    RadialZebra zebra;
    zebra.firstRingRadius = 30;
    zebra.lastRingRadius = 70;  // beyond the 50-px half width
    try {
        readMaskedData(grid, {50.0, 50.0}, 0.0, zebra);
        ADD_FAILURE() << "no exception";
    } catch (const QCException& e) {
        EXPECT_EQ(e.code, WrongGrid);
    }
}

}  // namespace
}  // namespace qcl

namespace qcl {
namespace {

class RenderedSampling : public ::testing::TestWithParam<test::SymbolSpec> {};

// With the drawn ring radii and marker angle, sampling reads back exactly the drawn values, also
// after a slight blur.
TEST_P(RenderedSampling, ReadsTheDrawnModules) {
    const test::SymbolSpec& spec = GetParam();
    const test::TestSymbol symbol = test::renderTestSymbol(spec);
    const SymbolGeometry& g = symbol.geometry;
    RadialZebra zebra;
    zebra.ringCount = g.ringCount;
    zebra.firstRingRadius = g.ringCenterRadius(0);
    zebra.lastRingRadius = g.ringCenterRadius(g.ringCount - 1);
    for (const double blur : {0.0, 1.0}) {
        const cv::Mat image = blur > 0 ? test::gaussianBlur(symbol.image, blur) : symbol.image;
        SamplingGrid grid = gridFor(image, spec.codeType, g.modulesPerRing, g.ringCount);
        const cv::Point2d centre(image.cols * 0.5, image.rows * 0.5);
        EXPECT_EQ(readMaskedData(grid, centre, g.startAngle, zebra), symbol.modules)
            << "blur " << blur;
    }
}

INSTANTIATE_TEST_SUITE_P(Sweep, RenderedSampling,
                         ::testing::ValuesIn(test::standardSymbolSpecs(4711, 2)));

}  // namespace
}  // namespace qcl
