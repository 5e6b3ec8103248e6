#include "imaging/AreaReduction.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace qcl {
namespace {

// A cell edge this close (in source pixels) to a pixel boundary is on it: the sliver it would
// add is left out, as the library's area reduction leaves it out.
constexpr double kSliver = 1e-3;

// The source pixels each output pixel covers along one axis: `count` consecutive ones from
// `first`, with their shares of the cell; shares are stored `taps` per cell, the unused ones 0
// (a product of 0 added to a sum leaves it exactly as it is).
struct Cells {
    int taps = 0;
    std::vector<int> first;
    std::vector<int> count;
    std::vector<float> share;
};

// The cells of `outputs` output pixels over `inputs` source pixels, `scale` (> 1) source pixels
// per output pixel: a partly covered pixel at each end, the whole ones between.
Cells cellsAlong(int inputs, int outputs, double scale) {
    Cells cells;
    // A cell of `scale` pixels touches at most this many.
    cells.taps = static_cast<int>(std::ceil(scale)) + 1;
    cells.first.resize(static_cast<std::size_t>(outputs));
    cells.count.resize(static_cast<std::size_t>(outputs));
    cells.share.assign(static_cast<std::size_t>(outputs) * cells.taps, 0.0f);
    int widest = 1;
    for (int d = 0; d < outputs; ++d) {
        const double from = d * scale;
        const double to = from + scale;
        const double width = std::min(scale, inputs - from);
        const int end = std::min(static_cast<int>(std::floor(to)), inputs - 1);
        const int firstWhole = std::min(static_cast<int>(std::ceil(from)), end);
        float* share = &cells.share[static_cast<std::size_t>(d) * cells.taps];
        int n = 0;
        const bool partFirst = firstWhole - from > kSliver;
        if (partFirst) {
            share[n++] = static_cast<float>((firstWhole - from) / width);
        }
        for (int s = firstWhole; s < end; ++s) {
            share[n++] = static_cast<float>(1.0 / width);
        }
        if (to - end > kSliver) {
            share[n++] = static_cast<float>(std::min(std::min(to - end, 1.0), width) / width);
        }
        cells.first[static_cast<std::size_t>(d)] = partFirst ? firstWhole - 1 : firstWhole;
        cells.count[static_cast<std::size_t>(d)] = n;
        widest = std::max(widest, n);
    }
    // Stored with the taps a cell really uses, so that the sums run no longer than needed.
    if (widest < cells.taps) {
        std::vector<float> packed(static_cast<std::size_t>(outputs) * widest);
        for (int d = 0; d < outputs; ++d) {
            std::copy_n(&cells.share[static_cast<std::size_t>(d) * cells.taps], widest,
                        &packed[static_cast<std::size_t>(d) * widest]);
        }
        cells.share.swap(packed);
        cells.taps = widest;
    }
    return cells;
}

// One source row's weighted sums per output column and channel, its pixels added in order from
// the left; `pixels` holds the row as floats with `taps` zero pixels after it, so that padded
// taps read in range. Taps and Cn of 0 are read from the arguments instead.
template <int Taps, int Cn>
void sumRowOf(const float* pixels, const Cells& columns, int channels, float* out) {
    const int taps = Taps > 0 ? Taps : columns.taps;
    const int cn = Cn > 0 ? Cn : channels;
    const int* first = columns.first.data();
    const float* share = columns.share.data();
    const int outputs = static_cast<int>(columns.first.size());
    for (int d = 0; d < outputs; ++d, share += taps, out += cn) {
        for (int c = 0; c < cn; ++c) {
            const float* p = pixels + first[d] * cn + c;
            float sum = p[0] * share[0];
            for (int k = 1; k < taps; ++k) {
                sum += p[k * cn] * share[k];
            }
            out[c] = sum;
        }
    }
}

void sumRow(const std::uint8_t* row, int values, const Cells& columns, int channels,
            std::vector<float>& pixels, float* out) {
    std::copy(row, row + values, pixels.begin());
    // Fixed loop lengths for the common cases: cells over two to five pixels in grey (the rim
    // search's reductions, and a large photo's to the search size), over two or three in colour
    // (the candidate views).
    float* p = pixels.data();
    const int kind = 10 * columns.taps + channels;
    switch (kind) {
        case 21:
            return sumRowOf<2, 1>(p, columns, channels, out);
        case 31:
            return sumRowOf<3, 1>(p, columns, channels, out);
        case 41:
            return sumRowOf<4, 1>(p, columns, channels, out);
        case 51:
            return sumRowOf<5, 1>(p, columns, channels, out);
        case 23:
            return sumRowOf<2, 3>(p, columns, channels, out);
        case 33:
            return sumRowOf<3, 3>(p, columns, channels, out);
        default:
            return sumRowOf<0, 0>(p, columns, channels, out);
    }
}

// Whether the reduction to `size` is summed here: not when the size stays (a copy), when either
// axis grows (not an area reduction), nor with a whole number of source pixels per output pixel
// on both axes, where the library's own integer path, which rounds its sums differently, is
// already fast. An empty output is the library's error.
bool summedHere(const cv::Mat& image, cv::Size size, double inverseX, double inverseY) {
    const auto whole = [](double scale) {
        return std::abs(scale - std::round(scale)) < std::numeric_limits<double>::epsilon();
    };
    const double scaleX = 1.0 / inverseX;
    const double scaleY = 1.0 / inverseY;
    return size != image.size() && size.area() > 0 && scaleX >= 1.0 && scaleY >= 1.0 &&
           !(whole(scaleX) && whole(scaleY));
}

// The reduction to `size` with the library's scales: source pixels per output pixel are the
// inverses of `inverseX` and `inverseY` as given (not recomputed from the sizes, which may
// round differently).
cv::Mat reduce(const cv::Mat& image, cv::Size size, double inverseX, double inverseY) {
    const double scaleX = 1.0 / inverseX;
    const double scaleY = 1.0 / inverseY;
    const int cn = image.channels();
    const int values = size.width * cn;
    const Cells columns = cellsAlong(image.cols, size.width, scaleX);
    const Cells rows = cellsAlong(image.rows, size.height, scaleY);

    // Row sums of the most recent source rows, one slot per row of the tallest cell: cells move
    // down monotonically, so a source row is summed once however many output rows it touches.
    const int slots = rows.taps;
    cv::Mat sums(slots, values, CV_32FC1);
    std::vector<int> heldRow(static_cast<std::size_t>(slots), -1);
    std::vector<float> pixels(static_cast<std::size_t>((image.cols + columns.taps) * cn), 0.0f);
    const auto rowSums = [&](int sourceRow) {
        const int slot = sourceRow % slots;
        float* out = sums.ptr<float>(slot);
        if (heldRow[static_cast<std::size_t>(slot)] != sourceRow) {
            sumRow(image.ptr<std::uint8_t>(sourceRow), image.cols * cn, columns, cn, pixels, out);
            heldRow[static_cast<std::size_t>(slot)] = sourceRow;
        }
        return static_cast<const float*>(out);
    };

    cv::Mat reduced(size, image.type());
    std::vector<float> total(static_cast<std::size_t>(values));
    float* sum = total.data();
    for (int y = 0; y < size.height; ++y) {
        const int first = rows.first[static_cast<std::size_t>(y)];
        const int count = rows.count[static_cast<std::size_t>(y)];
        const float* share = &rows.share[static_cast<std::size_t>(y) * rows.taps];
        // The first row's share is stored, the others added: the library's order of additions.
        const float* part = rowSums(first);
        for (int x = 0; x < values; ++x) {
            sum[x] = share[0] * part[x];
        }
        for (int k = 1; k < count; ++k) {
            part = rowSums(first + k);
            for (int x = 0; x < values; ++x) {
                sum[x] += share[k] * part[x];
            }
        }
        std::uint8_t* d = reduced.ptr<std::uint8_t>(y);
        for (int x = 0; x < values; ++x) {
            d[x] = cv::saturate_cast<std::uint8_t>(sum[x]);
        }
    }
    return reduced;
}

}  // namespace

cv::Mat reduceByArea(const cv::Mat& image, double factor) {
    CV_Assert(image.depth() == CV_8U && factor > 0.0 && factor <= 1.0);
    const cv::Size size(cv::saturate_cast<int>(image.cols * factor),
                        cv::saturate_cast<int>(image.rows * factor));
    if (summedHere(image, size, factor, factor)) {
        return reduce(image, size, factor, factor);
    }
    cv::Mat reduced;
    cv::resize(image, reduced, cv::Size(), factor, factor, cv::INTER_AREA);
    return reduced;
}

cv::Mat reduceByArea(const cv::Mat& image, cv::Size size) {
    CV_Assert(image.depth() == CV_8U && size.width <= image.cols && size.height <= image.rows);
    const double inverseX = static_cast<double>(size.width) / image.cols;
    const double inverseY = static_cast<double>(size.height) / image.rows;
    if (summedHere(image, size, inverseX, inverseY)) {
        return reduce(image, size, inverseX, inverseY);
    }
    cv::Mat reduced;
    cv::resize(image, reduced, size, 0, 0, cv::INTER_AREA);
    return reduced;
}

}  // namespace qcl
