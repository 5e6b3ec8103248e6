#include "imaging/NearestWarp.h"

#include <opencv2/core/saturate.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

namespace qcl {
namespace {

// Fractional bits of the library's fixed-point affine source coordinates.
constexpr int kAffineBits = 10;
constexpr int kAffineScale = 1 << kAffineBits;
// Half a source pixel in those units: nearest pixels round the coordinate to the closest one.
constexpr int kAffineHalf = kAffineScale / 2;
// The library's perspective warp works in blocks of at most this many pixels squared, half as
// many rows as this and as many columns as fill the block; each block's coordinates are counted
// on from its own first column, which changes their last bits, so the blocks are kept here.
constexpr int kPerspectiveBlock = 32;

// The source as plain values: the pixel loops write bytes, which the compiler must assume may
// overwrite any field read through a reference, so these are copied out once.
struct SourceView {
    const std::uint8_t* data;
    std::size_t step;
    int cols;
    int rows;

    explicit SourceView(const cv::Mat& image)
        : data(image.data), step(image.step), cols(image.cols), rows(image.rows) {}
};

// Where one destination pixel reads the source: the pixel itself, the nearest edge pixel when
// replicating, or the border value.
template <int Channels, bool Replicate>
void copyPixel(const SourceView source, int sx, int sy, const std::uint8_t* borderValue,
               std::uint8_t* out) {
    const std::uint8_t* pixel = borderValue;
    if (static_cast<unsigned>(sx) < static_cast<unsigned>(source.cols) &&
        static_cast<unsigned>(sy) < static_cast<unsigned>(source.rows)) {
        pixel = source.data + static_cast<std::size_t>(sy) * source.step +
                static_cast<std::size_t>(sx) * Channels;
    } else if (Replicate) {
        pixel = source.data +
                static_cast<std::size_t>(std::clamp(sy, 0, source.rows - 1)) * source.step +
                static_cast<std::size_t>(std::clamp(sx, 0, source.cols - 1)) * Channels;
    }
    for (int c = 0; c < Channels; ++c) {
        out[c] = pixel[c];
    }
}

// The inverse of an affine map (destination to source), in the library's own steps.
void invertAffine(double* m) {
    double d = m[0] * m[4] - m[1] * m[3];
    d = d != 0 ? 1. / d : 0;
    const double a11 = m[4] * d;
    const double a22 = m[0] * d;
    m[0] = a11;
    m[1] *= -d;
    m[3] *= -d;
    m[4] = a22;
    const double b1 = -m[0] * m[2] - m[1] * m[5];
    const double b2 = -m[3] * m[2] - m[4] * m[5];
    m[2] = b1;
    m[5] = b2;
}

// One destination row of an affine warp, columns [x0, x0 + n). The fixed-point sums wrap as the
// library's own do, instead of overflowing. The source columns and rows that the row reads both
// run monotonically along it (the per-column steps are rounded multiples of one factor), so the
// pixels that fall inside the source form one stretch: only the pixels before and after it need
// the border test.
template <int Channels, bool Replicate>
void affineRow(const SourceView source, const double* m, const std::vector<int>& aDelta,
               const std::vector<int>& bDelta, int y, int x0, int n,
               const std::uint8_t* borderValue, std::uint8_t* out) {
    const std::uint32_t rowX =
        static_cast<std::uint32_t>(cv::saturate_cast<int>((m[1] * y + m[2]) * kAffineScale)) +
        kAffineHalf;
    const std::uint32_t rowY =
        static_cast<std::uint32_t>(cv::saturate_cast<int>((m[4] * y + m[5]) * kAffineScale)) +
        kAffineHalf;
    const int* a = aDelta.data() + x0;
    const int* b = bDelta.data() + x0;
    auto sourceX = [&](int i) {
        return static_cast<std::int32_t>(rowX + static_cast<std::uint32_t>(a[i])) >> kAffineBits;
    };
    auto sourceY = [&](int i) {
        return static_cast<std::int32_t>(rowY + static_cast<std::uint32_t>(b[i])) >> kAffineBits;
    };
    auto inside = [&](int i) {
        return static_cast<unsigned>(sourceX(i)) < static_cast<unsigned>(source.cols) &&
               static_cast<unsigned>(sourceY(i)) < static_cast<unsigned>(source.rows);
    };
    // The sums may wrap past 32 bits as the library's do, but every step has one sign and the
    // steps of a row span less than 2^31, so the wrapped columns still enter the source once.
    int begin = 0;
    while (begin < n && !inside(begin)) {
        ++begin;
    }
    int end = n;
    while (end > begin && !inside(end - 1)) {
        --end;
    }
    for (int i = 0; i < begin; ++i) {
        copyPixel<Channels, Replicate>(source, sourceX(i), sourceY(i), borderValue,
                                       out + i * Channels);
    }
    const std::uint8_t* const data = source.data;
    const std::size_t step = source.step;
    for (int i = begin; i < end; ++i) {
        const auto sx = static_cast<std::int32_t>(rowX + static_cast<std::uint32_t>(a[i]));
        const auto sy = static_cast<std::int32_t>(rowY + static_cast<std::uint32_t>(b[i]));
        const std::uint8_t* pixel =
            data +
            static_cast<std::ptrdiff_t>(sy >> kAffineBits) * static_cast<std::ptrdiff_t>(step) +
            static_cast<std::ptrdiff_t>(sx >> kAffineBits) * Channels;
        std::uint8_t* const target = out + static_cast<std::ptrdiff_t>(i) * Channels;
        for (int c = 0; c < Channels; ++c) {
            target[c] = pixel[c];
        }
    }
    for (int i = std::max(begin, end); i < n; ++i) {
        copyPixel<Channels, Replicate>(source, sourceX(i), sourceY(i), borderValue,
                                       out + i * Channels);
    }
}

// One destination row of a perspective warp, columns [x0, x0 + n), of a destination `size`.
template <int Channels, bool Replicate>
void perspectiveRow(const SourceView source, const double* m, cv::Size size, int y, int x0, int n,
                    const std::uint8_t* borderValue, std::uint8_t* out) {
    const int blockRows = std::min(kPerspectiveBlock / 2, size.height);
    const int blockColumns =
        std::min(kPerspectiveBlock * kPerspectiveBlock / blockRows, size.width);
    const int end = x0 + n;
    for (int block = x0 / blockColumns * blockColumns; block < end; block += blockColumns) {
        const double bx = m[0] * block + m[1] * y + m[2];
        const double by = m[3] * block + m[4] * y + m[5];
        const double bw = m[6] * block + m[7] * y + m[8];
        const int last = std::min(block + blockColumns, end);
        for (int x = std::max(block, x0); x < last; ++x, out += Channels) {
            const int step = x - block;
            double w = bw + m[6] * step;
            w = w != 0 ? 1. / w : 0;
            const double fx =
                std::max(static_cast<double>(INT_MIN),
                         std::min(static_cast<double>(INT_MAX), (bx + m[0] * step) * w));
            const double fy =
                std::max(static_cast<double>(INT_MIN),
                         std::min(static_cast<double>(INT_MAX), (by + m[3] * step) * w));
            copyPixel<Channels, Replicate>(source, cv::saturate_cast<int>(fx),
                                           cv::saturate_cast<int>(fy), borderValue, out);
        }
    }
}

struct Warp {
    SourceView source;
    const double* m;
    cv::Size size;
    std::vector<int> aDelta;  // affine only: fixed-point source steps of each destination column
    std::vector<int> bDelta;
    const std::uint8_t* borderValue;
};

template <int Channels, bool Replicate>
void warpRows(const Warp& warp, const cv::Rect& region, cv::Mat& destination) {
    for (int r = 0; r < region.height; ++r) {
        std::uint8_t* out = destination.ptr<std::uint8_t>(r);
        if (!warp.aDelta.empty()) {
            affineRow<Channels, Replicate>(warp.source, warp.m, warp.aDelta, warp.bDelta,
                                           region.y + r, region.x, region.width, warp.borderValue,
                                           out);
        } else {
            perspectiveRow<Channels, Replicate>(warp.source, warp.m, warp.size, region.y + r,
                                                region.x, region.width, warp.borderValue, out);
        }
    }
}

// Source coordinates are kept to 16 bits by the library; within that range nothing is cut, so
// only such sources are warped here.
bool handledHere(const cv::Mat& source, int borderType) {
    return (source.type() == CV_8UC1 || source.type() == CV_8UC3) &&
           (borderType == cv::BORDER_CONSTANT || borderType == cv::BORDER_REPLICATE) &&
           source.cols <= SHRT_MAX && source.rows <= SHRT_MAX;
}

}  // namespace

cv::Mat warpNearestRegion(const cv::Mat& source, const cv::Mat& transform, cv::Size size,
                          const cv::Rect& region, int borderType, const cv::Scalar& borderValue) {
    CV_Assert(!source.empty());
    CV_Assert((transform.rows == 2 || transform.rows == 3) && transform.cols == 3);
    if (size.area() == 0) {
        size = source.size();
    }
    CV_Assert((region & cv::Rect(cv::Point(), size)) == region);
    const bool affine = transform.rows == 2;
    if (!handledHere(source, borderType)) {
        cv::Mat whole;
        if (affine) {
            cv::warpAffine(source, whole, transform, size, cv::INTER_NEAREST, borderType,
                           borderValue);
        } else {
            cv::warpPerspective(source, whole, transform, size, cv::INTER_NEAREST, borderType,
                                borderValue);
        }
        return whole(region).clone();
    }

    double m[9];
    cv::Mat matrix(transform.rows, 3, CV_64F, m);
    transform.convertTo(matrix, CV_64F);
    std::vector<int> aDelta;
    std::vector<int> bDelta;
    if (affine) {
        invertAffine(m);
        aDelta.resize(static_cast<std::size_t>(size.width));
        bDelta.resize(static_cast<std::size_t>(size.width));
        for (int x = region.x; x < region.x + region.width; ++x) {
            aDelta[x] = cv::saturate_cast<int>(m[0] * x * kAffineScale);
            bDelta[x] = cv::saturate_cast<int>(m[3] * x * kAffineScale);
        }
    } else {
        cv::invert(matrix, matrix);
    }

    std::uint8_t border[3];
    for (int c = 0; c < 3; ++c) {
        border[c] = cv::saturate_cast<std::uint8_t>(borderValue[c]);
    }
    Warp warp{SourceView(source), m, size, std::move(aDelta), std::move(bDelta), border};
    cv::Mat destination(region.size(), source.type());
    const bool replicate = borderType == cv::BORDER_REPLICATE;
    if (source.channels() == 1) {
        replicate ? warpRows<1, true>(warp, region, destination)
                  : warpRows<1, false>(warp, region, destination);
    } else {
        replicate ? warpRows<3, true>(warp, region, destination)
                  : warpRows<3, false>(warp, region, destination);
    }
    return destination;
}

void warpNearest(const cv::Mat& source, cv::Mat& destination, const cv::Mat& transform,
                 cv::Size size, int borderType, const cv::Scalar& borderValue) {
    if (size.area() == 0) {
        size = source.size();
    }
    if (transform.rows == 3) {
        // The library's own coordinate step for a whole perspective view is vectorised and
        // quicker than the one here, which pays off only when part of the view is wanted.
        cv::warpPerspective(source, destination, transform, size, cv::INTER_NEAREST, borderType,
                            borderValue);
        return;
    }
    destination = warpNearestRegion(source, transform, size, cv::Rect(cv::Point(), size),
                                    borderType, borderValue);
}

}  // namespace qcl
