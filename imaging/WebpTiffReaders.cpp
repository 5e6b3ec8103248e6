// WebP (reduced by the library's own scaling) and TIFF (read through libtiff's RGBA interface).
#include "imaging/ImageDecoders.h"
#include "imaging/RowShrinker.h"

#include <tiffio.h>
#include <webp/decode.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace qcl {

namespace {

// TIFF pictures are read whole before reduction; beyond this many pixels they are refused.
constexpr std::int64_t kMaxTiffPixels = 40LL * 1024 * 1024;

struct TiffSource {
    ByteSpan bytes;
    toff_t offset = 0;
};

tmsize_t tiffRead(thandle_t handle, void* out, tmsize_t size) {
    auto* source = static_cast<TiffSource*>(handle);
    const toff_t left =
        source->offset < source->bytes.size ? source->bytes.size - source->offset : 0;
    const tmsize_t count = static_cast<tmsize_t>(std::min<toff_t>(left, static_cast<toff_t>(size)));
    if (count > 0) {
        std::memcpy(out, source->bytes.data + source->offset, static_cast<std::size_t>(count));
    }
    source->offset += static_cast<toff_t>(count);
    return count;
}
tmsize_t tiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<TiffSource*>(handle);
    const toff_t base = whence == SEEK_CUR   ? source->offset
                        : whence == SEEK_END ? source->bytes.size
                                             : 0;
    source->offset = base + offset;
    return source->offset;
}
int tiffClose(thandle_t) {
    return 0;
}
toff_t tiffSize(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->bytes.size;
}
int tiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void tiffUnmap(thandle_t, void*, toff_t) {}

}  // namespace

ImageReadResult decodeWebp(ByteSpan bytes) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) ||
        WebPGetFeatures(bytes.data, bytes.size, &config.input) != VP8_STATUS_OK) {
        return readFailure("the WebP data is damaged");
    }
    const std::int32_t factor = readReductionFactor(config.input.width, config.input.height);
    if (factor > 1) {
        config.options.use_scaling = 1;
        config.options.scaled_width = std::max(1, config.input.width / factor);
        config.options.scaled_height = std::max(1, config.input.height / factor);
    }
    const bool alpha = config.input.has_alpha != 0;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    if (WebPDecode(bytes.data, bytes.size, &config) != VP8_STATUS_OK) {
        WebPFreeDecBuffer(&config.output);
        return readFailure("the WebP data is truncated or damaged");
    }
    const WebPRGBABuffer& rgba = config.output.u.RGBA;
    RowShrinker shrinker(config.output.width, config.output.height, alpha ? 4 : 3, 1);
    for (int y = 0; y < config.output.height; ++y) {
        shrinker.addRow(rgba.rgba + static_cast<std::size_t>(rgba.stride) * y);
    }
    WebPFreeDecBuffer(&config.output);
    ImageReadResult result;
    result.image = shrinker.result();
    return result;
}

ImageReadResult decodeTiff(ByteSpan bytes) {
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TiffSource source{bytes};
    TIFF* tiff = TIFFClientOpen("image", "rm", &source, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                tiffSize, tiffMap, tiffUnmap);
    if (tiff == nullptr) {
        return readFailure("the TIFF data is damaged");
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    char reason[1024];
    std::string failure;
    if (width == 0 || height == 0 || static_cast<std::int64_t>(width) * height > kMaxTiffPixels) {
        failure = "the TIFF size is damaged or too large";
    } else if (!TIFFRGBAImageOK(tiff, reason)) {
        failure = "this TIFF sample format is not supported";
    }
    std::vector<std::uint32_t> raster;
    if (failure.empty()) {
        raster.resize(static_cast<std::size_t>(width) * height);
        if (!TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT,
                                       0)) {
            failure = "the TIFF data is truncated or damaged";
        }
    }
    TIFFClose(tiff);
    if (!failure.empty()) {
        return readFailure(failure);
    }
    const auto w = static_cast<std::int32_t>(width);
    const auto h = static_cast<std::int32_t>(height);
    RowShrinker shrinker(w, h, 4, readReductionFactor(w, h));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint32_t p = raster[static_cast<std::size_t>(y) * w + x];
            std::uint8_t* out = &row[static_cast<std::size_t>(x) * 4];
            out[0] = static_cast<std::uint8_t>(TIFFGetB(p));
            out[1] = static_cast<std::uint8_t>(TIFFGetG(p));
            out[2] = static_cast<std::uint8_t>(TIFFGetR(p));
            out[3] = static_cast<std::uint8_t>(TIFFGetA(p));
        }
        shrinker.addRow(row.data());
    }
    ImageReadResult result;
    result.image = shrinker.result();
    return result;
}

}  // namespace qcl
