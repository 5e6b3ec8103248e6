#include "imaging/ImageFile.h"

#include "imaging/ImageDecoders.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace qcl {

namespace {

bool startsWith(ByteSpan bytes, const char* magic) {
    const std::size_t length = std::strlen(magic);
    return bytes.size >= length && std::memcmp(bytes.data, magic, length) == 0;
}

// Picks the reader by the file's leading bytes, never by its name.
ImageReadResult decodeAny(ByteSpan bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n")) {
        return decodePng(bytes);
    }
    if (startsWith(bytes, "\xff\xd8\xff")) {
        return decodeJpeg(bytes);
    }
    if (startsWith(bytes, "RIFF") && bytes.size >= 12 &&
        std::memcmp(bytes.data + 8, "WEBP", 4) == 0) {
        return decodeWebp(bytes);
    }
    if (startsWith(bytes, "II*") || (bytes.size >= 4 && std::memcmp(bytes.data, "MM\0*", 4) == 0)) {
        return decodeTiff(bytes);
    }
    if (startsWith(bytes, "P5") || startsWith(bytes, "P6")) {
        return decodePnm(bytes);
    }
    if (startsWith(bytes, "BM")) {
        return decodeBmp(bytes);
    }
    return readFailure("it is not an image of a known format");
}

}  // namespace

bool imageSizeAcceptable(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxReadSide && height <= kMaxReadSide;
}

ImageReadResult readFailure(const std::string& reason) {
    ImageReadResult result;
    result.error = reason;
    return result;
}

ImageReadResult readImageFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        return readFailure("Image file '" + path + "' cannot be read: it is missing or unreadable");
    }
    ImageReadResult result = decodeAny({bytes.data(), bytes.size()});
    if (!result.ok()) {
        result.error = "Image file '" + path + "' cannot be read: " + result.error;
    }
    return result;
}

ImageReadResult readImageBytes(const std::vector<std::uint8_t>& bytes) {
    ImageReadResult result = decodeAny({bytes.data(), bytes.size()});
    if (!result.ok()) {
        result.error = "The image bytes cannot be read: " + result.error;
    }
    return result;
}

}  // namespace qcl
