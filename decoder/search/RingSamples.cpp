#include "decoder/search/RingSamples.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/Angles.h"
#include "common/Rounding.h"

namespace qcl {
namespace {

// Samples per pixel of the ring's outer length, and at least this many: a notch of the finest
// inner zebra (20 notches) gets two samples on the smallest disc looked at.
constexpr double kSamplesPerPixel = 1.5;
constexpr int kMinSamples = 64;
// A white run shorter than this share of the ring's median white run is a sliver, where the
// median run is this many samples or more: on a small ring a notch may be one sample wide.
constexpr double kSliverShare = 0.35;
constexpr int kMinRunWithSlivers = 4;

// The points of a ring, one after the other: the unit direction turns by one step each time (a
// rotation, not a sine per sample).
class RingWalk {
  public:
    RingWalk(const cv::RotatedRect& disc, double scale)
        : ax_(0.5 * scale * disc.size.width),
          ay_(0.5 * scale * disc.size.height),
          count_(std::max(kMinSamples,
                          static_cast<int>(kSamplesPerPixel * kTwoPi * std::max(ax_, ay_)))),
          centre_(disc.center),
          turnCos_(std::cos(disc.angle * kPi / 180.0)),
          turnSin_(std::sin(disc.angle * kPi / 180.0)),
          stepCos_(std::cos(kTwoPi / count_)),
          stepSin_(std::sin(kTwoPi / count_)) {}

    int count() const { return count_; }

    // The pixel of the next sample.
    cv::Point next() {
        const double u = ax_ * dirCos_;
        const double v = ay_ * dirSin_;
        const double turned = dirCos_ * stepCos_ - dirSin_ * stepSin_;
        dirSin_ = dirCos_ * stepSin_ + dirSin_ * stepCos_;
        dirCos_ = turned;
        return {roundHalfAway(centre_.x + u * turnCos_ - v * turnSin_),
                roundHalfAway(centre_.y + u * turnSin_ + v * turnCos_)};
    }

  private:
    double ax_;
    double ay_;
    int count_;
    cv::Point2d centre_;
    double turnCos_;
    double turnSin_;
    double stepCos_;
    double stepSin_;
    double dirCos_ = 1.0;
    double dirSin_ = 0.0;
};

bool inside(const cv::Mat& image, const cv::Point& p) {
    return p.x >= 0 && p.y >= 0 && p.x < image.cols && p.y < image.rows;
}

}  // namespace

bool ringMostly(const cv::Mat& binary, const cv::RotatedRect& disc, double scale, bool black,
                double share) {
    RingWalk walk(disc, scale);
    const int allowedOther = static_cast<int>((1.0 - share) * walk.count());
    int other = 0;
    for (int i = 0; i < walk.count() && other <= allowedOther; ++i) {
        const cv::Point p = walk.next();
        const bool white = !inside(binary, p) || binary.at<std::uint8_t>(p) != 0;
        other += white == black ? 1 : 0;
    }
    return other <= allowedOther;
}

RingSample sampleRing(const cv::Mat& binary, const cv::Mat& grey, const cv::RotatedRect& disc,
                      double scale) {
    RingWalk walk(disc, scale);
    const int n = walk.count();
    std::vector<unsigned char> white(static_cast<std::size_t>(n));
    RingSample ring;
    int black = 0;
    double greySum = 0.0;
    double greySquares = 0.0;
    for (int i = 0; i < n; ++i) {
        const cv::Point p = walk.next();
        const bool in = inside(binary, p);
        white[static_cast<std::size_t>(i)] = !in || binary.at<std::uint8_t>(p) != 0;
        black += white[static_cast<std::size_t>(i)] ? 0 : 1;
        if (!grey.empty()) {
            const double v = in ? grey.at<std::uint8_t>(p) : 255.0;
            greySum += v;
            greySquares += v * v;
        }
    }
    ring.blackShare = static_cast<double>(black) / n;
    ring.meanGrey = greySum / n;
    ring.greySpread = std::sqrt(std::max(0.0, greySquares / n - ring.meanGrey * ring.meanGrey));
    // The white runs' middles, counted from a black sample so that no run is cut in two.
    const auto first = std::find(white.begin(), white.end(), 0);
    if (first == white.end()) {
        return ring;
    }
    const int start = static_cast<int>(first - white.begin());
    std::vector<double> allMiddles;
    std::vector<int> lengths;
    int run = 0;
    for (int k = 1; k <= n; ++k) {
        if (white[static_cast<std::size_t>((start + k) % n)] != 0) {
            ++run;
        } else if (run > 0) {
            allMiddles.push_back(start + k - 0.5 * (run + 1));
            lengths.push_back(run);
            run = 0;
        }
    }
    // Slivers far narrower than the ring's usual white run (a motion blur along a black run opens
    // a thin line down its middle) are no runs of their own.
    std::vector<int> sorted = lengths;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const int median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    const double sliver = median >= kMinRunWithSlivers ? kSliverShare * median : 0.0;
    std::vector<double> middles;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] >= sliver) {
            middles.push_back(allMiddles[i]);
        }
    }
    ring.whiteRuns = static_cast<int>(middles.size());
    if (middles.size() < 2) {
        return ring;
    }
    double sum = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < middles.size(); ++i) {
        const double next = i + 1 < middles.size() ? middles[i + 1] : middles.front() + n;
        const double spacing = next - middles[i];
        sum += spacing;
        squares += spacing * spacing;
    }
    const double mean = sum / middles.size();
    ring.spacingSpread = std::sqrt(std::max(0.0, squares / middles.size() - mean * mean)) / mean;
    return ring;
}

}  // namespace qcl
