#include "decoder/data/GreyModuleReader.h"

#include <algorithm>
#include <cmath>

#include "common/Angles.h"
#include "decoder/data/ModuleSampler.h"

namespace qcl {
namespace {

// Share of a module's radial and angular extent that is averaged: the middle, clear of the
// blur that the neighbouring modules spread over its edges.
constexpr double kAreaShare = 0.6;
// Sample points along each of the two directions of a module's area.
constexpr int kAreaSamples = 5;
// Modules either way along the ring, and rings either way, that make a module's neighbourhood.
constexpr int kWindowModules = 4;
constexpr int kWindowRings = 1;
// A neighbourhood whose dark and light levels lie closer than this share of the whole symbol's
// is taken to hold one colour only, and the module is judged by the whole symbol's levels.
constexpr double kMinLocalContrastShare = 0.5;
// Rounds of the two-level split; it settles in a few.
constexpr int kSplitRounds = 8;

struct Split {
    double threshold = 0.0;
    double spread = 0.0;  // light level minus dark level
};

// The threshold that splits `values` into a dark and a light group, halfway between the two
// groups' means (two-means clustering from the midrange).
Split splitLevels(const std::vector<double>& values) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    Split split{(*low + *high) * 0.5, *high - *low};
    for (int round = 0; round < kSplitRounds; ++round) {
        double dark = 0.0;
        double light = 0.0;
        int darkCount = 0;
        for (const double value : values) {
            if (value <= split.threshold) {
                dark += value;
                ++darkCount;
            } else {
                light += value;
            }
        }
        const int lightCount = static_cast<int>(values.size()) - darkCount;
        if (darkCount == 0 || lightCount == 0) {
            break;
        }
        dark /= darkCount;
        light /= lightCount;
        split = {(dark + light) * 0.5, light - dark};
    }
    return split;
}

// How close a module's grey lies to its threshold: kMaxDoubt on it, falling to 0 at the dark or
// light level (half the spread away) and beyond.
std::uint8_t doubtOf(double value, const Split& levels) {
    if (levels.spread <= 0.0) {
        return kMaxDoubt;
    }
    const double closeness = 1.0 - std::abs(value - levels.threshold) / (0.5 * levels.spread);
    return static_cast<std::uint8_t>(std::lround(std::clamp(closeness, 0.0, 1.0) * kMaxDoubt));
}

double greyAt(const cv::Mat& image, const cv::Point& p) {
    const cv::Vec3b& pixel = image.at<cv::Vec3b>(p);
    return (pixel[0] + pixel[1] + pixel[2]) / 3.0;
}

}  // namespace

std::vector<double> moduleGreyMeans(const SamplingGrid& grid, const cv::Point2d& center,
                                    double startAngle, const RadialZebra& radialZebra) {
    const cv::Mat& image = *grid.image;
    const int m = grid.modulesPerRing;
    std::vector<double> means;
    if (grid.ringCount < 2 || m <= kNonDataSlots || image.type() != CV_8UC3) {
        return means;
    }
    const double step = kTwoPi / m;
    const double pitch = ringPitch(grid, radialZebra);
    const cv::Rect inside(0, 0, image.cols, image.rows);
    means.reserve(static_cast<std::size_t>(m - kNonDataSlots) * grid.ringCount);
    for (int r = grid.ringCount - 1; r >= 0; --r) {
        const double radius = r * pitch + radialZebra.firstRingRadius;
        for (int a = 3; a < m - 2; ++a) {
            const double theta = a * step + startAngle;
            double sum = 0.0;
            for (int i = 0; i < kAreaSamples; ++i) {
                // Offsets from -1/2 to 1/2 of the averaged share of the module.
                const double u = (static_cast<double>(i) / (kAreaSamples - 1) - 0.5) * kAreaShare;
                const double sampleRadius = radius + u * pitch;
                for (int j = 0; j < kAreaSamples; ++j) {
                    const double v =
                        (static_cast<double>(j) / (kAreaSamples - 1) - 0.5) * kAreaShare;
                    const double angle = theta + v * step;
                    const cv::Point p(
                        static_cast<int>(std::lround(center.x + sampleRadius * std::cos(angle))),
                        static_cast<int>(std::lround(center.y + sampleRadius * std::sin(angle))));
                    if (!inside.contains(p)) {
                        return {};
                    }
                    sum += greyAt(image, p);
                }
            }
            means.push_back(sum / (kAreaSamples * kAreaSamples));
        }
    }
    return means;
}

ModuleList readModulesByGrey(const SamplingGrid& grid, const cv::Point2d& center, double startAngle,
                             const RadialZebra& radialZebra) {
    const std::vector<double> means = moduleGreyMeans(grid, center, startAngle, radialZebra);
    ModuleList modules;
    if (means.empty()) {
        return modules;
    }
    const int perRing = grid.modulesPerRing - kNonDataSlots;
    const int rings = grid.ringCount;
    const Split whole = splitLevels(means);
    modules.reserve(means.size());
    std::vector<double> window;
    for (int ring = 0; ring < rings; ++ring) {
        for (int slot = 0; slot < perRing; ++slot) {
            window.clear();
            for (int r = std::max(ring - kWindowRings, 0);
                 r <= std::min(ring + kWindowRings, rings - 1); ++r) {
                for (int s = std::max(slot - kWindowModules, 0);
                     s <= std::min(slot + kWindowModules, perRing - 1); ++s) {
                    window.push_back(means[static_cast<std::size_t>(r * perRing + s)]);
                }
            }
            const Split local = splitLevels(window);
            const Split& levels =
                local.spread >= kMinLocalContrastShare * whole.spread ? local : whole;
            const double value = means[static_cast<std::size_t>(ring * perRing + slot)];
            modules.push_back(withDoubt(value <= levels.threshold ? 1 : 0, doubtOf(value, levels)));
        }
    }
    return modules;
}

}  // namespace qcl
