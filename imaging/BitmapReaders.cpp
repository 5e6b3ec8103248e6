// PNM (P5 grey, P6 colour) and uncompressed BMP (8-bit palette, 24 and 32-bit), read by hand.
#include "imaging/ImageDecoders.h"
#include "imaging/RowShrinker.h"

#include <cctype>
#include <vector>

namespace qcl {

namespace {

class PnmHeader {
  public:
    explicit PnmHeader(ByteSpan bytes) : bytes_(bytes) {}

    // The next decimal field, skipping white space and comments; -1 when there is none.
    std::int64_t next() {
        while (offset_ < bytes_.size) {
            const char c = static_cast<char>(bytes_.data[offset_]);
            if (c == '#') {
                while (offset_ < bytes_.size && bytes_.data[offset_] != '\n') {
                    ++offset_;
                }
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++offset_;
            } else {
                break;
            }
        }
        std::int64_t value = -1;
        while (offset_ < bytes_.size && std::isdigit(bytes_.data[offset_]) && value < (1 << 20)) {
            value = (value < 0 ? 0 : value * 10) + (bytes_.data[offset_] - '0');
            ++offset_;
        }
        return value;
    }
    std::size_t offset() const { return offset_; }
    void skip(std::size_t count) { offset_ += count; }

  private:
    ByteSpan bytes_;
    std::size_t offset_ = 2;
};

std::uint32_t littleEndian(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

}  // namespace

ImageReadResult decodePnm(ByteSpan bytes) {
    const bool colour = bytes.data[1] == '6';
    PnmHeader header(bytes);
    const std::int64_t width = header.next();
    const std::int64_t height = header.next();
    const std::int64_t maxValue = header.next();
    if (width <= 0 || height <= 0 || maxValue <= 0 || maxValue > 65535) {
        return readFailure("the PNM header is damaged");
    }
    if (!imageSizeAcceptable(width, height)) {
        return readFailure("the image is too large");
    }
    header.skip(1);  // the single white space before the samples
    const std::int32_t channels = colour ? 3 : 1;
    const std::int32_t sampleBytes = maxValue > 255 ? 2 : 1;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels * sampleBytes;
    if (header.offset() > bytes.size ||
        (bytes.size - header.offset()) / rowBytes < static_cast<std::size_t>(height)) {
        return readFailure("the PNM data is truncated");
    }
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    RowShrinker shrinker(w, h, 3, readReductionFactor(w, h));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* in = bytes.data + header.offset() + rowBytes * y;
        for (std::int32_t x = 0; x < w; ++x) {
            for (std::int32_t c = 0; c < 3; ++c) {
                const std::size_t at =
                    (static_cast<std::size_t>(x) * channels + (colour ? 2 - c : 0)) * sampleBytes;
                const std::uint32_t sample = sampleBytes == 2 ? (in[at] << 8 | in[at + 1]) : in[at];
                row[static_cast<std::size_t>(x) * 3 + c] =
                    static_cast<std::uint8_t>((sample * 255 + maxValue / 2) / maxValue);
            }
        }
        shrinker.addRow(row.data());
    }
    ImageReadResult result;
    result.image = shrinker.result();
    return result;
}

ImageReadResult decodeBmp(ByteSpan bytes) {
    constexpr std::size_t kHeaderBytes = 54;  // file header and the classic info header
    if (bytes.size < kHeaderBytes) {
        return readFailure("the BMP data is truncated");
    }
    const std::uint8_t* d = bytes.data;
    const std::uint32_t pixelOffset = littleEndian(d + 10, 4);
    const std::uint32_t infoSize = littleEndian(d + 14, 4);
    const std::int64_t width = static_cast<std::int32_t>(littleEndian(d + 18, 4));
    const std::int64_t rawHeight = static_cast<std::int32_t>(littleEndian(d + 22, 4));
    const std::uint32_t bits = littleEndian(d + 28, 2);
    const std::uint32_t compression = littleEndian(d + 30, 4);
    const bool bitfields32 = compression == 3 && bits == 32;  // the common BGRA layout
    if ((compression != 0 && !bitfields32) || (bits != 8 && bits != 24 && bits != 32)) {
        return readFailure("this BMP layout is not supported");
    }
    const std::int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || !imageSizeAcceptable(width, height)) {
        return readFailure("the BMP size is damaged or too large");
    }
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    const std::size_t palette = 14 + static_cast<std::size_t>(infoSize);
    if (pixelOffset > bytes.size || (bytes.size - pixelOffset) / rowBytes < (std::size_t)height ||
        (bits == 8 && palette + 256 * 4 > bytes.size)) {
        return readFailure("the BMP data is truncated");
    }
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    RowShrinker shrinker(w, h, 3, readReductionFactor(w, h));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
    for (std::int32_t y = 0; y < h; ++y) {
        const std::int32_t stored = rawHeight < 0 ? y : h - 1 - y;  // bottom-up unless negative
        const std::uint8_t* in = d + pixelOffset + rowBytes * stored;
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint8_t* pixel = bits == 8 ? d + palette + 4 * in[x] : in + x * (bits / 8);
            for (int c = 0; c < 3; ++c) {
                row[static_cast<std::size_t>(x) * 3 + c] = pixel[c];
            }
        }
        shrinker.addRow(row.data());
    }
    ImageReadResult result;
    result.image = shrinker.result();
    return result;
}

}  // namespace qcl
