#include "decoder/EllipseOutline.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace qcl {
namespace {

// Corner step, in degrees, of the polygon by which cv::ellipse draws an ellipse whose longer
// semi-axis is `longer` pixels.
int outlineStep(int longer) {
    return longer < 3 ? 90 : longer < 10 ? 30 : longer < 15 ? 18 : 5;
}

// Every drawn outline pixel lies within this many pixels, across and along, of the walk along the
// polygon with rounded corners: drawn pixels stray half a pixel from the exact edge, rounding the
// corners moves the edge by up to half a pixel, and the walk stays within a pixel of the rounded
// edge (half a pixel more where it is clipped): at most 2.5, so 2 in whole pixels.
constexpr int kOutlineReach = 2;

// Moves the marked pixels of `scratch` in columns x0..x1 and rows y0..y1 (clipped to the image) to
// `pixels`, clearing them.
inline void pickUpMarked(cv::Mat& scratch, int x0, int y0, int x1, int y1,
                         std::vector<cv::Point>& pixels) {
    // Held in locals: the byte stores below may alias anything, so fields read through the
    // references would be loaded again after every store.
    std::uint8_t* const data = scratch.data;
    const std::size_t step = scratch.step[0];
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, scratch.cols - 1);
    y1 = std::min(y1, scratch.rows - 1);
    for (int y = y0; y <= y1; ++y) {
        std::uint8_t* const row = data + static_cast<std::size_t>(y) * step;
        for (int x = x0; x <= x1; ++x) {
            if (row[x] != 0) {
                row[x] = 0;
                pixels.emplace_back(x, y);
            }
        }
    }
}

// Sorts pixels of rows 0 .. rows - 1 by row, then by column: bucketed by row, which holds few.
void sortRowMajor(std::vector<cv::Point>& pixels, int rows) {
    std::vector<std::size_t> next(static_cast<std::size_t>(rows) + 1, 0);
    for (const cv::Point& p : pixels) {
        ++next[static_cast<std::size_t>(p.y) + 1];
    }
    std::partial_sum(next.begin(), next.end(), next.begin());
    std::vector<cv::Point> sorted(pixels.size());
    for (const cv::Point& p : pixels) {
        sorted[next[static_cast<std::size_t>(p.y)]++] = p;
    }
    // next[y] is now where row y ends.
    auto byColumn = [](const cv::Point& l, const cv::Point& r) { return l.x < r.x; };
    std::size_t begin = 0;
    for (int y = 0; y < rows; ++y) {
        std::sort(sorted.begin() + begin, sorted.begin() + next[y], byColumn);
        begin = next[y];
    }
    pixels.swap(sorted);
}

// True when the direction of `a` has a smaller angle in (-pi, pi] than that of `b`, the way
// atan2 orders them, decided exactly on the integer offsets (the zero offset counts as angle 0).
// Offsets of pixels in one image differ in angle by far more than atan2's rounding, so sorting
// by this gives the order of sorting by atan2, ties included, without an atan2 per pixel.
bool smallerAngle(const cv::Point& a, const cv::Point& b) {
    // 0: angles in (-pi, 0); 1: angles in [0, pi].
    const int halfA = a.y < 0 ? 0 : 1;
    const int halfB = b.y < 0 ? 0 : 1;
    if (halfA != halfB) {
        return halfA < halfB;
    }
    const long cross = static_cast<long>(a.x) * b.y - static_cast<long>(a.y) * b.x;
    if (cross != 0) {
        return cross > 0;
    }
    // Same or opposite directions on the x axis (0 and pi), or the zero offset (0).
    const bool piA = a.y == 0 && a.x < 0;
    const bool piB = b.y == 0 && b.x < 0;
    return !piA && piB;
}

// Position of the direction of a non-zero offset in the order of its angle in (-pi, pi]: a
// "diamond" angle, one quarter turn per unit, from -2 (exclusive) to 2 (pi). It is exact enough
// to order and to tie the same way as the angle itself: one correctly rounded division of whole
// numbers per offset gives equal keys for equal directions, and keys of different directions in
// one image differ by at least 1 / (|x| + |y|)^2, far above the rounding.
double angleKey(const cv::Point& p) {
    const double x = p.x;
    const double y = p.y;
    if (y >= 0.0) {
        return x >= 0.0 ? y / (x + y) : 1.0 - x / (y - x);
    }
    // Turns past pi: 2 .. 4, moved down by one whole turn (exact: Sterbenz).
    return (x < 0.0 ? 2.0 - y / (-x - y) : 3.0 + x / (x - y)) - 4.0;
}

struct KeyedOffset {
    double key;
    cv::Point offset;
};

bool beforeKeyed(const KeyedOffset& l, const KeyedOffset& r) {
    if (l.key != r.key) {
        return l.key < r.key;
    }
    return l.offset.y != r.offset.y ? l.offset.y < r.offset.y : l.offset.x < r.offset.x;
}

// Element moves the insertion sort may make per offset before it hands over to std::sort: the
// walk's pick-up window leaves each pixel only a few places from where it belongs.
constexpr std::size_t kMaxMovesPerOffset = 8;

// Sorts offsets by angle, equal angles in row-major order: the order of a stable sort by
// smallerAngle of the offsets in row-major order, with one division per offset instead of
// products in every comparison. No offset may be zero. The offsets come in the order the walk
// round the outline picked them up, which is nearly this order from some place on: from there,
// an insertion sort finishes it in a few moves per offset.
void sortByAngleKey(std::vector<cv::Point>& offsets) {
    std::vector<KeyedOffset> keyed;
    keyed.reserve(offsets.size());
    for (const cv::Point& p : offsets) {
        keyed.push_back({angleKey(p), p});
    }
    std::rotate(keyed.begin(), std::min_element(keyed.begin(), keyed.end(), beforeKeyed),
                keyed.end());
    const std::size_t budget = kMaxMovesPerOffset * keyed.size();
    std::size_t moves = 0;
    for (std::size_t i = 1; i < keyed.size() && moves <= budget; ++i) {
        const KeyedOffset next = keyed[i];
        std::size_t j = i;
        for (; j > 0 && beforeKeyed(next, keyed[j - 1]); --j) {
            keyed[j] = keyed[j - 1];
        }
        keyed[j] = next;
        moves += i - j;
    }
    if (moves > budget) {
        std::sort(keyed.begin(), keyed.end(), beforeKeyed);
    }
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        offsets[i] = keyed[i].offset;
    }
}

// The outline's pixels as offsets from q, around q by angle; pixels of equal angle in row-major
// order.
void sortAroundCentre(std::vector<cv::Point>& pixels, const cv::Point& q, int rows) {
    if (std::find(pixels.begin(), pixels.end(), q) == pixels.end()) {
        for (cv::Point& p : pixels) {
            p -= q;
        }
        sortByAngleKey(pixels);
        return;
    }
    // An outline through its own centre (a semi-axis of zero): the zero offset ties with every
    // direction of the upper half, so only the comparison sort itself gives the order.
    sortRowMajor(pixels, rows);
    for (cv::Point& p : pixels) {
        p -= q;
    }
    std::stable_sort(pixels.begin(), pixels.end(), smallerAngle);
}

// The drawn outline's pixels in the order the walk along the polygon picks them up.
std::vector<cv::Point> outlinePixels(cv::Mat& scratch, const cv::Point& center,
                                     const cv::Size& axes, int angle) {
    CV_Assert(scratch.type() == CV_8UC1);
    const cv::Size semi(std::abs(axes.width), std::abs(axes.height));
    cv::ellipse(scratch, center, semi, angle, 0, 360, cv::Scalar(255), 1, cv::LINE_8, 0);

    // The drawn pixels are picked up, and cleared, near a walk along the same polygon: a few
    // thousand pixels looked at instead of the whole image.
    std::vector<cv::Point2d> corners;
    cv::ellipse2Poly(cv::Point2d(center), cv::Size2d(semi), angle, 0, 360,
                     outlineStep(std::max(semi.width, semi.height)), corners);
    const int r = kOutlineReach;
    const cv::Rect reachable(-r, -r, scratch.cols + 2 * r, scratch.rows + 2 * r);
    std::vector<cv::Point> pixels;
    // An 8-connected outline has at most about as many pixels as the ellipse's perimeter,
    // which is at most 4 (a + b).
    pixels.reserve(4 * static_cast<std::size_t>(semi.width + semi.height) + 8);
    cv::Point previous;
    bool walking = false;
    for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
        const cv::Point from(cvRound(corners[i].x), cvRound(corners[i].y));
        const cv::Point to(cvRound(corners[i + 1].x), cvRound(corners[i + 1].y));
        cv::LineIterator walk(reachable, from, to, 8);
        for (int step = 0; step < walk.count; ++step, ++walk) {
            const cv::Point p = walk.pos();
            const cv::Point d = p - previous;
            if (walking && std::abs(d.x) <= 1 && std::abs(d.y) <= 1) {
                // One step on: only the column and row that enter the window are new.
                if (d.x != 0) {
                    const int x = p.x + d.x * r;
                    pickUpMarked(scratch, x, p.y - r, x, p.y + r, pixels);
                }
                if (d.y != 0) {
                    const int y = p.y + d.y * r;
                    pickUpMarked(scratch, p.x - r, y, p.x + r, y, pixels);
                }
            } else {
                pickUpMarked(scratch, p.x - r, p.y - r, p.x + r, p.y + r, pixels);
            }
            previous = p;
            walking = true;
        }
    }
    return pixels;
}

}  // namespace

std::vector<cv::Point> outlineAroundCentre(cv::Mat& scratch, const cv::Point& center,
                                           const cv::Size& axes, int angle) {
    std::vector<cv::Point> pixels = outlinePixels(scratch, center, axes, angle);
    sortAroundCentre(pixels, center, scratch.rows);
    return pixels;
}

}  // namespace qcl
