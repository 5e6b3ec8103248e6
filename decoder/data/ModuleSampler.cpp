#include "decoder/data/ModuleSampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "common/Angles.h"
#include "common/ErrorCodes.h"
#include "common/Logger.h"

namespace qcl {

namespace {

// Rings closer than this many pixels are sampled at this pitch.
constexpr double kMinPitch = 5.0;
// Pixels kept clear of a module's edges on either side by the sample windows.
constexpr int kWindowMargin = 4;
// Windows from this width on get the two neighbour pixels along them.
constexpr int kNeighbourWindow = 3;
// Windows from this width on get random samples.
constexpr int kRandomWindow = 5;
constexpr int kMaxRandomSamples = 20;
// Seed of the sample generator, fixed so the same image always reads the same.
constexpr std::uint32_t kSamplerSeed = 5489;

enum Channel { Blue = 0, Green = 1, Red = 2 };

// Colour value by the set of channels above threshold (bit 0 blue, bit 1 green, bit 2 red).
constexpr std::uint8_t kColourValue[8] = {
    1,  // none: black
    4,  // blue
    3,  // green
    5,  // green + blue: cyan
    2,  // red
    6,  // red + blue: magenta
    7,  // red + green: yellow
    0,  // all: white
};

int roundToEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

cv::Point modulePosition(const cv::Point2d& center, double radius, double theta) {
    return {roundToEven(center.x + radius * std::cos(theta)),
            roundToEven(center.y + radius * std::sin(theta))};
}

// Every read starts the sample generator afresh from the same seed, so every read draws the
// same offsets: the first ones are drawn once and kept. A read that needs more continues the
// stream from a copy of the generator as it stood after the kept draws.
constexpr std::size_t kKeptDraws = 1 << 15;

// The sample generator and the normal distribution drawing from it (which keeps a second draw).
struct DrawStream {
    std::mt19937 generator{kSamplerSeed};
    std::normal_distribution<double> distribution{0.0, 1.0};
};

struct KeptDraws {
    std::vector<std::int8_t> offsets;  // rounded draws; the generator never yields one beyond 13
    DrawStream after;                  // the stream as it stands after them
};

const KeptDraws& keptDraws() {
    static const KeptDraws kept = [] {
        KeptDraws draws;
        draws.offsets.reserve(kKeptDraws);
        for (std::size_t i = 0; i < kKeptDraws; ++i) {
            draws.offsets.push_back(static_cast<std::int8_t>(
                std::round(draws.after.distribution(draws.after.generator))));
        }
        return draws;
    }();
    return kept;
}

// The seeded stream of rounded offsets, read from the kept draws while they last.
class SampleOffsets {
  public:
    double operator()() {
        if (next_ < kept_.offsets.size()) {
            return kept_.offsets[next_++];
        }
        if (!live_) {
            live_ = kept_.after;
        }
        return std::round(live_->distribution(live_->generator));
    }

  private:
    const KeptDraws& kept_ = keptDraws();
    std::size_t next_ = 0;
    std::optional<DrawStream> live_;  // copied from the kept stream once a read needs more
};

// `draw` gives the next random offset in pixels: a normal draw rounded to a whole number.
template <typename Draw>
std::uint8_t classifyWith(const SamplingGrid& grid, Draw&& draw, const cv::Point& center,
                          double angle, int tangentialWindow, int radialWindow, int randomSamples) {
    long sums[3] = {0, 0, 0};
    int count = 0;
    auto add = [&](const cv::Point& p) {
        const cv::Vec3b pixel = modulePixel(grid, p);
        for (int ch = 0; ch < 3; ++ch) {
            sums[ch] += pixel[ch];
        }
        ++count;
    };
    add(center);
    if (tangentialWindow >= kNeighbourWindow) {
        add({center.x, center.y + 1});
        add({center.x, center.y - 1});
    }
    if (radialWindow >= kNeighbourWindow) {
        add({center.x + 1, center.y});
        add({center.x - 1, center.y});
    }
    if (tangentialWindow >= kRandomWindow || radialWindow >= kRandomWindow) {
        // The radial offset is bounded by half the tangential window and the tangential offset
        // by half the radial window.
        const double radialBound = std::max(tangentialWindow / 2, 0);
        const double tangentialBound = std::max(radialWindow / 2, 0);
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        for (int i = 0; i < randomSamples; ++i) {
            const double d1 = draw();
            const double d2 = draw();
            const double a = std::clamp(d2, -radialBound, radialBound);
            const double b = std::clamp(d1, -tangentialBound, tangentialBound);
            add({center.x + roundToEven(a * c - b * s), center.y + roundToEven(b * c + a * s)});
        }
    }
    const long limit = static_cast<long>(count) * grid.threshold;
    const bool blue = sums[Blue] > limit;
    const bool green = sums[Green] > limit;
    const bool red = sums[Red] > limit;
    if (grid.bitsPerModule == 3) {
        return kColourValue[(red ? 4 : 0) | (green ? 2 : 0) | (blue ? 1 : 0)];
    }
    return (static_cast<int>(blue) + green + red) <= 1 ? 1 : 0;
}

}  // namespace

double ringPitch(const SamplingGrid& grid, const RadialZebra& radialZebra) {
    return std::max(
        (radialZebra.lastRingRadius - radialZebra.firstRingRadius) / (grid.ringCount - 1),
        kMinPitch);
}

cv::Vec3b modulePixel(const SamplingGrid& grid, const cv::Point& point) {
    const cv::Mat& image = *grid.image;
    if (image.type() != CV_8UC3) {
        throw QCException(WrongImageType, "module sampling needs an 8-bit BGR image");
    }
    if (point.x < 0 || point.y < 0 || point.x >= image.cols || point.y >= image.rows) {
        throw QCException(WrongGrid);
    }
    return image.at<cv::Vec3b>(point);
}

std::uint8_t classifyModule(const SamplingGrid& grid, std::mt19937& generator,
                            std::normal_distribution<double>& distribution, const cv::Point& center,
                            double angle, int tangentialWindow, int radialWindow,
                            int randomSamples) {
    return classifyWith(
        grid, [&] { return std::round(distribution(generator)); }, center, angle, tangentialWindow,
        radialWindow, randomSamples);
}

std::vector<cv::Point> moduleCentres(const SamplingGrid& grid, const cv::Point2d& center,
                                     double startAngle, const RadialZebra& radialZebra) {
    std::vector<cv::Point> centres;
    const int m = grid.modulesPerRing;
    if (grid.ringCount < 2 || m <= kNonDataSlots) {
        return centres;
    }
    const double step = kTwoPi / m;
    const double pitch = ringPitch(grid, radialZebra);
    for (int r = grid.ringCount - 1; r >= 0; --r) {
        const double radius = r * pitch + radialZebra.firstRingRadius;
        for (int a = 3; a < m - 2; ++a) {
            centres.push_back(modulePosition(center, radius, a * step + startAngle));
        }
    }
    return centres;
}

ModuleList readMaskedData(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                          const RadialZebra& radialZebra) {
    const int m = grid.modulesPerRing;
    const int rings = grid.ringCount;
    // Fewer than two rings give no pitch, and a ring of five or fewer slots holds no data.
    if (rings < 2 || m <= kNonDataSlots) {
        throw QCException(WrongGrid);
    }
    const double step = kTwoPi / m;
    const double pitch = ringPitch(grid, radialZebra);
    const int radialWindow = static_cast<int>(std::trunc(pitch)) - kWindowMargin;

    SampleOffsets offsets;
    ModuleList modules;
    modules.reserve(static_cast<std::size_t>(m - kNonDataSlots) * rings);
    for (int r = rings - 1; r >= 0; --r) {
        const double radius = r * pitch + radialZebra.firstRingRadius;
        const int tangentialWindow =
            std::max(static_cast<int>(std::trunc((radius - pitch / 2) * step)) - kWindowMargin, 0);
        const int samples = std::min((tangentialWindow + 1) / 2 * 2, kMaxRandomSamples);
        for (int a = 3; a < m - 2; ++a) {
            const double theta = a * step + startAngle;
            const cv::Point module = modulePosition(center, radius, theta);
            modules.push_back(classifyWith(grid, offsets, module, theta, tangentialWindow,
                                           radialWindow, samples));
        }
    }

    LogLine line = logTrace();
    if (line.enabled()) {
        line << "masked modules: ";
        writeModuleList(line, modules);
    }
    return modules;
}

}  // namespace qcl
