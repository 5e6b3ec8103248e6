#include "imaging/ImageDecoders.h"
#include "imaging/RowShrinker.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

namespace qcl {

namespace {

// Interlaced pictures are read whole before reduction; beyond this many pixels they are refused.
constexpr std::int64_t kMaxInterlacedPixels = 40LL * 1024 * 1024;

struct PngSource {
    ByteSpan bytes;
    std::size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->bytes.size - source->offset < length) {
        png_error(png, "truncated");
    }
    std::memcpy(out, source->bytes.data + source->offset, length);
    source->offset += length;
}

void failQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void warnQuietly(png_structp, png_const_charp) {}

// Everything with a destructor lives here, outside the function that calls setjmp.
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngSource source;
    std::vector<std::uint8_t> pixels;
    std::unique_ptr<RowShrinker> shrinker;
    std::string refusal;
    ~PngState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

void setTransforms(PngState& state) {
    png_set_expand(state.png);  // palette, low bit depths and transparency to 8-bit channels
    png_set_scale_16(state.png);
    png_set_gray_to_rgb(state.png);
    png_set_bgr(state.png);
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
}

bool readRows(PngState& state) {
    if (setjmp(png_jmpbuf(state.png))) {
        return false;
    }
    png_set_read_fn(state.png, &state.source, readFromMemory);
    png_read_info(state.png, state.info);
    const std::int64_t width = png_get_image_width(state.png, state.info);
    const std::int64_t height = png_get_image_height(state.png, state.info);
    if (!imageSizeAcceptable(width, height)) {
        state.refusal = "the image is too large";
        return false;
    }
    const bool interlaced = png_get_interlace_type(state.png, state.info) != PNG_INTERLACE_NONE;
    if (interlaced && width * height > kMaxInterlacedPixels) {
        state.refusal = "the interlaced PNG image is too large";
        return false;
    }
    setTransforms(state);
    const std::int32_t channels = png_get_channels(state.png, state.info);
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    state.shrinker = std::make_unique<RowShrinker>(w, h, channels, readReductionFactor(w, h));
    const std::size_t rowBytes = static_cast<std::size_t>(w) * channels;
    if (interlaced) {
        state.pixels.assign(rowBytes * static_cast<std::size_t>(h), 0);
        std::vector<png_bytep> rows(static_cast<std::size_t>(h));
        for (std::int32_t y = 0; y < h; ++y) {
            rows[static_cast<std::size_t>(y)] = &state.pixels[rowBytes * y];
        }
        png_read_image(state.png, rows.data());
        for (std::int32_t y = 0; y < h; ++y) {
            state.shrinker->addRow(rows[static_cast<std::size_t>(y)]);
        }
        return true;
    }
    state.pixels.assign(rowBytes, 0);
    for (std::int32_t y = 0; y < h; ++y) {
        png_read_row(state.png, state.pixels.data(), nullptr);
        state.shrinker->addRow(state.pixels.data());
    }
    return true;
}

}  // namespace

ImageReadResult decodePng(ByteSpan bytes) {
    PngState state;
    state.source.bytes = bytes;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, warnQuietly);
    if (state.png != nullptr) {
        state.info = png_create_info_struct(state.png);
    }
    if (state.info == nullptr) {
        return readFailure("out of memory");
    }
    png_set_crc_action(state.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    if (!readRows(state)) {
        return readFailure(state.refusal.empty() ? "the PNG data is truncated or damaged"
                                                 : state.refusal);
    }
    ImageReadResult result;
    result.image = state.shrinker->result();
    return result;
}

}  // namespace qcl
