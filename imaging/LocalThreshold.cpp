#include "imaging/LocalThreshold.h"

#include "imaging/Preprocessing.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace qcl {
namespace {

struct BlockStats {
    int sum = 0;
    int count = 0;
    std::uint8_t low = 255;
    std::uint8_t high = 0;
};

// Sum, count, darkest and brightest pixel of every block, row by row of blocks. Each block row
// is first folded over its rows column by column (loops the compiler runs many pixels at a time),
// then across the columns of each block.
std::vector<BlockStats> blockStats(const cv::Mat& grey, int side, int blocksX, int blocksY) {
    std::vector<BlockStats> blocks(static_cast<std::size_t>(blocksX) * blocksY);
    const int cols = grey.cols;
    std::vector<std::uint8_t> low(static_cast<std::size_t>(cols));
    std::vector<std::uint8_t> high(static_cast<std::size_t>(cols));
    std::vector<std::uint16_t> sum(static_cast<std::size_t>(cols));
    for (int by = 0; by < blocksY; ++by) {
        const int top = by * side;
        const int bottom = std::min(grey.rows, top + side);
        const std::uint8_t* first = grey.ptr<std::uint8_t>(top);
        std::copy(first, first + cols, low.begin());
        std::copy(first, first + cols, high.begin());
        std::copy(first, first + cols, sum.begin());
        for (int y = top + 1; y < bottom; ++y) {
            const std::uint8_t* row = grey.ptr<std::uint8_t>(y);
            for (int x = 0; x < cols; ++x) {
                low[x] = std::min(low[x], row[x]);
                high[x] = std::max(high[x], row[x]);
                sum[x] = static_cast<std::uint16_t>(sum[x] + row[x]);
            }
        }
        BlockStats* line = &blocks[static_cast<std::size_t>(by) * blocksX];
        for (int bx = 0; bx < blocksX; ++bx) {
            const int from = bx * side;
            const int to = std::min(cols, from + side);
            BlockStats& b = line[bx];
            for (int x = from; x < to; ++x) {
                b.sum += sum[x];
                b.low = std::min(b.low, low[x]);
                b.high = std::max(b.high, high[x]);
            }
            b.count = (to - from) * (bottom - top);
        }
    }
    return blocks;
}

// Mean grey level of the pixels above `threshold` less that of the others, from the blocks' sums:
// a block counts wholly to the side its mean falls on.
int pictureContrast(const std::vector<BlockStats>& blocks, int threshold) {
    long light = 0;
    long lightCount = 0;
    long dark = 0;
    long darkCount = 0;
    for (const BlockStats& b : blocks) {
        if (b.sum > threshold * b.count) {
            light += b.sum;
            lightCount += b.count;
        } else {
            dark += b.sum;
            darkCount += b.count;
        }
    }
    if (lightCount == 0 || darkCount == 0) {
        return 0;
    }
    return static_cast<int>(light / lightCount - dark / darkCount);
}

// Flat blocks (marked negative) take the threshold of the nearest block that is not (counted in
// steps between neighbouring blocks): a breadth-first fill from every block with contrast at once.
// Where no block has contrast, `fallback` applies.
void fillFlatBlocks(std::vector<int>& thresholds, int blocksX, int blocksY, int fallback) {
    std::vector<int> queue;
    queue.reserve(thresholds.size());
    for (std::size_t i = 0; i < thresholds.size(); ++i) {
        if (thresholds[i] >= 0) {
            queue.push_back(static_cast<int>(i));
        }
    }
    if (queue.empty()) {
        std::fill(thresholds.begin(), thresholds.end(), fallback);
        return;
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int i = queue[head];
        const int x = i % blocksX;
        const int y = i / blocksX;
        const int neighbours[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : neighbours) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= blocksX || n[1] >= blocksY) {
                continue;
            }
            const int j = n[1] * blocksX + n[0];
            if (thresholds[static_cast<std::size_t>(j)] < 0) {
                thresholds[static_cast<std::size_t>(j)] = thresholds[static_cast<std::size_t>(i)];
                queue.push_back(j);
            }
        }
    }
}

}  // namespace

cv::Mat localThreshold(const cv::Mat& grey, int globalThreshold,
                       const LocalThresholdOptions& options) {
    CV_Assert(grey.type() == CV_8UC1);
    cv::Mat binary(grey.size(), CV_8UC1);
    if (grey.empty()) {
        return binary;
    }
    const int side = std::max(1, options.blockSide);
    const int blocksX = (grey.cols + side - 1) / side;
    const int blocksY = (grey.rows + side - 1) / side;
    const std::vector<BlockStats> blocks = blockStats(grey, side, blocksX, blocksY);

    // One threshold per block where its window has contrast: halfway between the window's darkest
    // and brightest pixel, which a window mostly of one colour does not pull towards that colour.
    const int flatRange =
        std::max(options.minRange,
                 static_cast<int>(options.flatShare * pictureContrast(blocks, globalThreshold)));
    // The window's darkest and brightest pixel: along the block rows first, then down the columns.
    const std::size_t count = blocks.size();
    std::vector<std::uint8_t> rowLow(count);
    std::vector<std::uint8_t> rowHigh(count);
    for (int by = 0; by < blocksY; ++by) {
        for (int bx = 0; bx < blocksX; ++bx) {
            std::uint8_t low = 255;
            std::uint8_t high = 0;
            const int last = std::min(blocksX - 1, bx + options.reach);
            for (int wx = std::max(0, bx - options.reach); wx <= last; ++wx) {
                const BlockStats& b = blocks[static_cast<std::size_t>(by) * blocksX + wx];
                low = std::min(low, b.low);
                high = std::max(high, b.high);
            }
            rowLow[static_cast<std::size_t>(by) * blocksX + bx] = low;
            rowHigh[static_cast<std::size_t>(by) * blocksX + bx] = high;
        }
    }
    std::vector<int> thresholds(count);
    for (int by = 0; by < blocksY; ++by) {
        for (int bx = 0; bx < blocksX; ++bx) {
            int low = 255;
            int high = 0;
            const int last = std::min(blocksY - 1, by + options.reach);
            for (int wy = std::max(0, by - options.reach); wy <= last; ++wy) {
                low = std::min<int>(low, rowLow[static_cast<std::size_t>(wy) * blocksX + bx]);
                high = std::max<int>(high, rowHigh[static_cast<std::size_t>(wy) * blocksX + bx]);
            }
            thresholds[static_cast<std::size_t>(by) * blocksX + bx] =
                high - low < flatRange ? -1 : (low + high) / 2;
        }
    }

    fillFlatBlocks(thresholds, blocksX, blocksY, globalThreshold);

    // Each block row's thresholds spread over its pixels, then one comparison per pixel.
    std::vector<std::uint8_t> spread(static_cast<std::size_t>(grey.cols));
    for (int by = 0; by < blocksY; ++by) {
        for (int bx = 0; bx < blocksX; ++bx) {
            const int to = std::min(grey.cols, (bx + 1) * side);
            const int t =
                std::clamp(thresholds[static_cast<std::size_t>(by) * blocksX + bx], 0, 255);
            std::fill(spread.begin() + bx * side, spread.begin() + to,
                      static_cast<std::uint8_t>(t));
        }
        const int rows = std::min(grey.rows, (by + 1) * side) - by * side;
        const cv::Mat limits(1, grey.cols, CV_8UC1, spread.data());
        cv::compare(grey.rowRange(by * side, by * side + rows), cv::repeat(limits, rows, 1),
                    binary.rowRange(by * side, by * side + rows), cv::CMP_GT);
    }
    return binary;
}

double pictureContrast(const cv::Mat& grey, int threshold) {
    const std::array<std::int32_t, 256> counts = greyLevelCounts(grey);
    double light = 0.0;
    double dark = 0.0;
    long lightCount = 0;
    long darkCount = 0;
    for (int v = 0; v < 256; ++v) {
        if (v > threshold) {
            light += static_cast<double>(v) * counts[static_cast<std::size_t>(v)];
            lightCount += counts[static_cast<std::size_t>(v)];
        } else {
            dark += static_cast<double>(v) * counts[static_cast<std::size_t>(v)];
            darkCount += counts[static_cast<std::size_t>(v)];
        }
    }
    if (lightCount == 0 || darkCount == 0) {
        return 0.0;
    }
    return light / lightCount - dark / darkCount;
}

}  // namespace qcl
