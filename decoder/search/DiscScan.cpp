#include "decoder/search/DiscScan.h"

#include "decoder/CenterFinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace qcl {
namespace {

// The eight directions a disc is measured in: along the row, the column and both diagonals.
const std::array<cv::Point, 8> kDirections = {
    {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}}};

// White pixels met from `from` (itself white) in steps of `step`, at most `limit`; `closed` when
// the walk ended on black, not at the image's edge or the limit.
struct Reach {
    int count = 0;
    bool closed = false;
};

Reach whiteReach(const cv::Mat& binary, cv::Point from, cv::Point step, int limit) {
    for (int n = 0; n < limit; ++n) {
        from += step;
        if (from.x < 0 || from.y < 0 || from.x >= binary.cols || from.y >= binary.rows) {
            return {n, false};
        }
        if (binary.at<std::uint8_t>(from) == 0) {
            return {n, true};
        }
    }
    return {limit, false};
}

// Px added to the column walk's bound: blur and noise make small discs ragged.
constexpr int kColumnSlack = 4;
// Times the centre is moved to the middle of its chords at most.
constexpr int kCentringRounds = 4;

class Scanner {
  public:
    Scanner(const cv::Mat& binary, const DiscScanOptions& options)
        : binary_(binary),
          options_(options),
          limit_(static_cast<int>(std::ceil(2.0 * options.maxRadius)) + 1),
          minChord_(static_cast<int>(2.0 * options.minRadius) - 1),
          claimed_(binary.size(), CV_8UC1, cv::Scalar(0)) {}

    // Every white run of a scanned row that could be a chord of a disc is checked once per
    // white area: the area it lies in is claimed, found a disc or not.
    std::vector<DiscBlob> scan() {
        std::vector<DiscBlob> discs;
        const int step = std::max(1, options_.rowStep);
        for (int y = step / 2; y < binary_.rows; y += step) {
            const std::uint8_t* row = binary_.ptr<std::uint8_t>(y);
            const std::uint8_t* claimed = claimed_.ptr<std::uint8_t>(y);
            int x = 0;
            while (x < binary_.cols) {
                if (row[x] == 0) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < binary_.cols && row[x] != 0) {
                    ++x;
                }
                const int length = x - start;
                const bool enclosed = start > 0 && x < binary_.cols;
                if (enclosed && length >= minChord_ && length <= limit_ &&
                    claimed[(start + x - 1) / 2] == 0) {
                    check(cv::Point((start + x - 1) / 2, y), start, x, discs);
                }
            }
        }
        return discs;
    }

    // The disc through `seed`, a white pixel: its row's white run is checked as the scan checks
    // it.
    std::vector<DiscBlob> at(cv::Point seed) {
        std::vector<DiscBlob> discs;
        if (binary_.at<std::uint8_t>(seed) == 0) {
            return discs;
        }
        int start = seed.x;
        int end = seed.x + 1;
        const std::uint8_t* row = binary_.ptr<std::uint8_t>(seed.y);
        while (start > 0 && row[start - 1] != 0) {
            --start;
        }
        while (end < binary_.cols && row[end] != 0) {
            ++end;
        }
        if (start > 0 && end < binary_.cols && end - start <= limit_) {
            check(cv::Point((start + end - 1) / 2, seed.y), start, end, discs);
        }
        return discs;
    }

  private:
    // Centres the walks on the white area through `seed` (the middle of a row's white run from
    // `runStart` to `runEnd`), measures it in eight directions and keeps it when it is an ellipse
    // of a disc's size and shape. The area looked at is claimed either way.
    void check(cv::Point seed, int runStart, int runEnd, std::vector<DiscBlob>& discs) {
        // The rows are scanned close enough that one passes within a pixel of every disc's
        // centre: only chords nearly as long as the disc is wide are looked at, and the disc's
        // height is at most its width over the steepest slant.
        const int chord = runEnd - runStart;
        const int columnLimit =
            std::min(limit_, static_cast<int>(chord / options_.minAxisRatio) + kColumnSlack);
        const Reach up = whiteReach(binary_, seed, {0, -1}, columnLimit);
        const Reach down = whiteReach(binary_, seed, {0, 1}, columnLimit);
        if (!up.closed || !down.closed) {
            // Too tall for this chord: a longer chord further down the same area may still be a
            // disc's, so only this row's run is done with.
            claim(cv::Rect(runStart, seed.y, runEnd - runStart, 1));
            return;
        }
        claim(cv::Rect(runStart, seed.y - up.count, runEnd - runStart, up.count + down.count + 1));
        cv::Point c(seed.x, seed.y + (down.count - up.count) / 2);
        const Reach left = whiteReach(binary_, c, {-1, 0}, limit_);
        const Reach right = whiteReach(binary_, c, {1, 0}, limit_);
        if (!left.closed || !right.closed) {
            return;
        }
        c.x += (right.count - left.count) / 2;
        // Semi-diameters and chord middles along the row, the column and both diagonals, measured
        // again from a better centre until it stays within a pixel: a slanted disc's chords
        // through a point off its centre are not halved there, and their middles lie, on average,
        // halfway between that point and the centre.
        std::array<double, 4> semi{};
        cv::Point2d centre;
        for (int round = 0; round < kCentringRounds; ++round) {
            cv::Point2d middle(0.0, 0.0);
            if (!measure(c, semi, middle)) {
                return;
            }
            centre = cv::Point2d(c) + 0.5 * middle;
            const cv::Point next(cvRound(centre.x), cvRound(centre.y));
            if (next == c || binary_.at<std::uint8_t>(next) == 0) {
                break;
            }
            c = next;
        }
        cv::RotatedRect e;
        const bool disc = ellipseFrom(semi, centre, e);
        claim(disc ? e.boundingRect()
                   : cv::Rect(
                         static_cast<int>(centre.x - semi[0]), static_cast<int>(centre.y - semi[1]),
                         static_cast<int>(2 * semi[0]) + 1, static_cast<int>(2 * semi[1]) + 1));
        if (disc) {
            const double radius = 0.25 * (semi[0] + semi[1] + semi[2] + semi[3]);
            discs.push_back({e, radius});
        }
    }

    // The semi-diameters through `c` along the row, the column and both diagonals, and the sum
    // of the four chords' middles' offsets from `c`; false when a chord is not closed by black.
    bool measure(cv::Point c, std::array<double, 4>& semi, cv::Point2d& middle) const {
        for (std::size_t pair = 0; pair < semi.size(); ++pair) {
            const cv::Point step = kDirections[2 * pair];
            const Reach ahead = whiteReach(binary_, c, step, limit_);
            const Reach behind = whiteReach(binary_, c, -step, limit_);
            if (!ahead.closed || !behind.closed) {
                return false;
            }
            // The edges lie half a step beyond the last white pixel on either side.
            const double length = cv::norm(cv::Point2d(step));
            semi[pair] = 0.5 * (ahead.count + behind.count + 1) * length;
            middle += 0.5 * (ahead.count - behind.count) * cv::Point2d(step);
        }
        return true;
    }

    // The ellipse whose semi-diameters along 0, 90, 45 and -45 degrees are `semi`: 1 / s^2 is a
    // quadratic form A cos^2 + B sin cos + C sin^2 of the direction, which the row and the column
    // give A and C of, the diagonals B; the diagonals' sum checks that the shape is an ellipse at
    // all. False for shapes that are not, or not of a disc's size and slant.
    bool ellipseFrom(const std::array<double, 4>& semi, const cv::Point2d& centre,
                     cv::RotatedRect& e) const {
        const auto q = [](double s) { return 1.0 / (s * s); };
        const double a = q(semi[0]);
        const double c = q(semi[1]);
        const double b = q(semi[2]) - q(semi[3]);
        if (std::abs(q(semi[2]) + q(semi[3]) - (a + c)) > options_.maxEdgeError * (a + c)) {
            return false;
        }
        const double mean = 0.5 * (a + c);
        const double swing = std::hypot(0.5 * (a - c), 0.5 * b);
        if (mean - swing <= 0.0) {
            return false;
        }
        const double major = 1.0 / std::sqrt(mean - swing);
        const double minor = 1.0 / std::sqrt(mean + swing);
        if (minor < options_.minRadius || major > options_.maxRadius ||
            minor < options_.minAxisRatio * major) {
            return false;
        }
        // The form is largest along the minor axis: the major one lies a quarter turn from it.
        const double majorAngle = 0.5 * std::atan2(b, a - c) + 0.5 * CV_PI;
        e = cv::RotatedRect(
            cv::Point2f(centre),
            cv::Size2f(static_cast<float>(2.0 * major), static_cast<float>(2.0 * minor)),
            static_cast<float>(majorAngle * 180.0 / CV_PI));
        return true;
    }

    // Marks `box` as looked at, so that later rows through it are skipped.
    void claim(const cv::Rect& box) {
        const cv::Rect inside = box & cv::Rect(0, 0, binary_.cols, binary_.rows);
        for (int y = inside.y; y < inside.y + inside.height; ++y) {
            std::fill_n(claimed_.ptr<std::uint8_t>(y) + inside.x, inside.width, 1);
        }
    }

    const cv::Mat& binary_;
    const DiscScanOptions& options_;
    const int limit_;
    // The chord a row within a pixel of the centre cuts from the smallest disc, less a pixel.
    const int minChord_;
    cv::Mat claimed_;  // 1 where a white pixel belongs to an area already checked
};

}  // namespace

std::vector<DiscBlob> scanForDiscs(const cv::Mat& binary, const DiscScanOptions& options) {
    CV_Assert(binary.type() == CV_8UC1);
    if (binary.empty()) {
        return {};
    }
    return Scanner(binary, options).scan();
}

bool discThrough(const cv::Mat& binary, cv::Point seed, const DiscScanOptions& options,
                 DiscBlob& disc) {
    CV_Assert(binary.type() == CV_8UC1);
    if (!cv::Rect(0, 0, binary.cols, binary.rows).contains(seed)) {
        return false;
    }
    const std::vector<DiscBlob> found = Scanner(binary, options).at(seed);
    if (found.empty()) {
        return false;
    }
    disc = found.front();
    return true;
}

bool discAtMiddle(const cv::Mat& binary, const DiscScanOptions& options, DiscBlob& disc,
                  DiscBlob* enclosing) {
    CV_Assert(binary.type() == CV_8UC1);
    const cv::Rect extent = blackExtent(binary);
    if (extent.empty()) {
        return false;
    }
    cv::Point seed(extent.x + extent.width / 2, extent.y + extent.height / 2);
    if (binary.at<std::uint8_t>(seed) == 0) {
        return false;
    }
    // The fill stays within the square a disc of the largest radius could cover.
    const int reach = static_cast<int>(std::ceil(options.maxRadius)) + 1;
    const cv::Rect window = cv::Rect(seed.x - reach, seed.y - reach, 2 * reach + 1, 2 * reach + 1) &
                            cv::Rect(0, 0, binary.cols, binary.rows);
    cv::Mat area = binary(window).clone();
    cv::Rect filled;
    cv::floodFill(area, seed - window.tl(), cv::Scalar(128), &filled, cv::Scalar(0), cv::Scalar(0),
                  4);
    const bool touchesWindow = filled.x == 0 || filled.y == 0 ||
                               filled.x + filled.width == window.width ||
                               filled.y + filled.height == window.height;
    if (touchesWindow) {
        return false;  // no enclosed area, or one larger than any disc
    }
    std::vector<cv::Point> points;
    cv::findNonZero(area(filled) == 128, points);
    std::vector<cv::Point> hull;
    cv::convexHull(points, hull);
    if (hull.size() < 5) {
        return false;
    }
    const cv::RotatedRect e = cv::fitEllipse(hull);
    const double a = 0.5 * std::max(e.size.width, e.size.height);
    const double b = 0.5 * std::min(e.size.width, e.size.height);
    if (!(b >= options.minRadius && a <= options.maxRadius && b >= options.minAxisRatio * a)) {
        return false;
    }
    const cv::Point2f offset(window.tl() + filled.tl());
    disc.ellipse = cv::RotatedRect(e.center + offset, e.size, e.angle);
    disc.radius = 0.5 * (a + b);
    if (enclosing != nullptr) {
        cv::Point2f centre;
        float radius = 0.0f;
        cv::minEnclosingCircle(hull, centre, radius);
        enclosing->ellipse =
            cv::RotatedRect(centre + offset, cv::Size2f(2.0f * radius, 2.0f * radius), 0.0f);
        enclosing->radius = radius;
    }
    return true;
}

}  // namespace qcl
