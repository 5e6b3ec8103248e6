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

// One source row's weighted sums per output column, its pixels added in order from the left;
// `pixels` holds the row as floats with `taps` zeros after it, so padded taps read in range.
template <int Taps>
void sumRowTaps(const float* pixels, const Cells& columns, float* out) {
    const int* first = columns.first.data();
    const float* share = columns.share.data();
    const int outputs = static_cast<int>(columns.first.size());
    for (int d = 0; d < outputs; ++d, share += Taps) {
        const float* p = pixels + first[d];
        float sum = p[0] * share[0];
        for (int k = 1; k < Taps; ++k) {
            sum += p[k] * share[k];
        }
        out[d] = sum;
    }
}

void sumRowAny(const float* pixels, const Cells& columns, float* out) {
    const int* first = columns.first.data();
    const float* share = columns.share.data();
    const int outputs = static_cast<int>(columns.first.size());
    for (int d = 0; d < outputs; ++d, share += columns.taps) {
        const float* p = pixels + first[d];
        float sum = p[0] * share[0];
        for (int k = 1; k < columns.taps; ++k) {
            sum += p[k] * share[k];
        }
        out[d] = sum;
    }
}

void sumRow(const std::uint8_t* row, int width, const Cells& columns, std::vector<float>& pixels,
            float* out) {
    std::copy(row, row + width, pixels.begin());
    switch (columns.taps) {
        case 2:
            sumRowTaps<2>(pixels.data(), columns, out);
            break;
        case 3:
            sumRowTaps<3>(pixels.data(), columns, out);
            break;
        default:
            sumRowAny(pixels.data(), columns, out);
            break;
    }
}

}  // namespace

cv::Mat reduceByArea(const cv::Mat& image, double factor) {
    CV_Assert(image.type() == CV_8UC1 && factor > 0.0 && factor <= 1.0);
    const cv::Size size(cv::saturate_cast<int>(image.cols * factor),
                        cv::saturate_cast<int>(image.rows * factor));
    if (size == image.size()) {
        return image.clone();
    }
    const double scale = 1.0 / factor;
    if (size.area() == 0 ||
        std::abs(scale - std::round(scale)) < std::numeric_limits<double>::epsilon()) {
        // A whole number of source pixels per output pixel: the library's own integer path,
        // which rounds its sums differently, is already fast. An empty output is its error.
        cv::Mat whole;
        cv::resize(image, whole, cv::Size(), factor, factor, cv::INTER_AREA);
        return whole;
    }
    const Cells columns = cellsAlong(image.cols, size.width, scale);
    const Cells rows = cellsAlong(image.rows, size.height, scale);

    // Row sums of the most recent source rows, one slot per row of the tallest cell: cells move
    // down monotonically, so a source row is summed once however many output rows it touches.
    const int slots = rows.taps;
    cv::Mat sums(slots, size.width, CV_32FC1);
    std::vector<int> heldRow(static_cast<std::size_t>(slots), -1);
    std::vector<float> pixels(static_cast<std::size_t>(image.cols + columns.taps), 0.0f);
    const auto rowSums = [&](int sourceRow) {
        const int slot = sourceRow % slots;
        float* out = sums.ptr<float>(slot);
        if (heldRow[static_cast<std::size_t>(slot)] != sourceRow) {
            sumRow(image.ptr<std::uint8_t>(sourceRow), image.cols, columns, pixels, out);
            heldRow[static_cast<std::size_t>(slot)] = sourceRow;
        }
        return static_cast<const float*>(out);
    };

    cv::Mat reduced(size, CV_8UC1);
    std::vector<float> total(static_cast<std::size_t>(size.width));
    float* sum = total.data();
    for (int y = 0; y < size.height; ++y) {
        const int first = rows.first[static_cast<std::size_t>(y)];
        const int count = rows.count[static_cast<std::size_t>(y)];
        const float* share = &rows.share[static_cast<std::size_t>(y) * rows.taps];
        // The first row's share is stored, the others added: the library's order of additions.
        const float* part = rowSums(first);
        for (int x = 0; x < size.width; ++x) {
            sum[x] = share[0] * part[x];
        }
        for (int k = 1; k < count; ++k) {
            part = rowSums(first + k);
            for (int x = 0; x < size.width; ++x) {
                sum[x] += share[k] * part[x];
            }
        }
        std::uint8_t* d = reduced.ptr<std::uint8_t>(y);
        for (int x = 0; x < size.width; ++x) {
            d[x] = cv::saturate_cast<std::uint8_t>(sum[x]);
        }
    }
    return reduced;
}

}  // namespace qcl
