// Format readers behind readImageFile/readImageBytes. Each takes the whole file's bytes and
// returns an 8-bit BGR image, reduced while reading when it is very large, or a reason in our
// own words (no library's text ever reaches the caller).
#pragma once

#include "imaging/ImageFile.h"

#include <cstddef>
#include <cstdint>

namespace qcl {

// Widest or tallest picture accepted at all; beyond it even one row costs too much.
constexpr std::int64_t kMaxReadSide = 1 << 17;

struct ByteSpan {
    const std::uint8_t* data;
    std::size_t size;
};

// Sizes a reader refuses before decoding anything.
bool imageSizeAcceptable(std::int64_t width, std::int64_t height);

ImageReadResult decodePng(ByteSpan bytes);
ImageReadResult decodeJpeg(ByteSpan bytes);
ImageReadResult decodeWebp(ByteSpan bytes);
ImageReadResult decodeTiff(ByteSpan bytes);
ImageReadResult decodePnm(ByteSpan bytes);
ImageReadResult decodeBmp(ByteSpan bytes);

// A failed read with its reason.
ImageReadResult readFailure(const std::string& reason);

}  // namespace qcl
