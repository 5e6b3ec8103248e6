#include "imaging/ImageDecoders.h"
#include "imaging/RowShrinker.h"

#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <memory>
#include <vector>

namespace qcl {

namespace {

// libjpeg reduces by 1/1, 1/2, 1/4 or 1/8 while decoding; the rest is done row by row.
constexpr unsigned kMaxJpegDenominator = 8;

struct QuietErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void failQuietly(j_common_ptr info) {
    std::longjmp(reinterpret_cast<QuietErrors*>(info->err)->jump, 1);
}
void silence(j_common_ptr) {}
void silenceLevel(j_common_ptr, int) {}

struct JpegState {
    jpeg_decompress_struct info{};
    QuietErrors errors{};
    bool created = false;
    std::vector<std::uint8_t> row;
    std::unique_ptr<RowShrinker> shrinker;
    std::string refusal;
    ~JpegState() {
        if (created) {
            jpeg_destroy_decompress(&info);
        }
    }
};

bool readRows(JpegState& state, ByteSpan bytes) {
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&state.info);
    state.created = true;
    jpeg_mem_src(&state.info, bytes.data, static_cast<unsigned long>(bytes.size));
    jpeg_read_header(&state.info, TRUE);
    const std::int64_t width = state.info.image_width;
    const std::int64_t height = state.info.image_height;
    if (!imageSizeAcceptable(width, height)) {
        state.refusal = "the image is too large";
        return false;
    }
    if (state.info.jpeg_color_space == JCS_CMYK || state.info.jpeg_color_space == JCS_YCCK) {
        state.refusal = "CMYK JPEG images are not supported";
        return false;
    }
    unsigned denominator = 1;
    while (denominator < kMaxJpegDenominator &&
           readReductionFactor(width, height) >= static_cast<std::int32_t>(denominator * 2)) {
        denominator *= 2;
    }
    state.info.scale_num = 1;
    state.info.scale_denom = denominator;
    state.info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&state.info);
    const auto w = static_cast<std::int32_t>(state.info.output_width);
    const auto h = static_cast<std::int32_t>(state.info.output_height);
    state.shrinker = std::make_unique<RowShrinker>(w, h, 3, readReductionFactor(w, h));
    state.row.assign(static_cast<std::size_t>(w) * 3, 0);
    JSAMPROW rows[1] = {state.row.data()};
    while (state.info.output_scanline < state.info.output_height) {
        if (jpeg_read_scanlines(&state.info, rows, 1) != 1) {
            return false;
        }
        state.shrinker->addRow(state.row.data());
    }
    jpeg_finish_decompress(&state.info);
    return true;
}

}  // namespace

ImageReadResult decodeJpeg(ByteSpan bytes) {
    JpegState state;
    state.info.err = jpeg_std_error(&state.errors.manager);
    state.errors.manager.error_exit = failQuietly;
    state.errors.manager.output_message = silence;
    state.errors.manager.emit_message = silenceLevel;
    if (!readRows(state, bytes)) {
        return readFailure(state.refusal.empty() ? "the JPEG data is truncated or damaged"
                                                 : state.refusal);
    }
    ImageReadResult result;
    result.image = state.shrinker->result();
    return result;
}

}  // namespace qcl
