// The public writing interface over the writer's encoder and renderer.
#include <quorview/quorview.h>

#include "common/ErrorCodes.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace quorview {
namespace {

// Binary digits of one hexadecimal digit.
constexpr std::size_t kBitsPerHexDigit = 4;

}  // namespace

cv::Mat write(const std::string& text, const WriteOptions& options) {
    if (options.imageSize <= 0) {
        throw Error(qcl::InvalidConfiguration,
                    "The image size must be a positive number of pixels");
    }
    qcl::writer::SymbolOptions symbol;
    symbol.codeType = static_cast<qcl::CodeType>(options.codeType);
    symbol.eccStrength = static_cast<qcl::ECCtype>(options.eccStrength);
    symbol.payloadType = static_cast<qcl::PayloadType>(options.payloadType);
    symbol.modulesPerRing = options.modulesPerRing;
    symbol.ringCount = options.ringCount;
    qcl::RenderOptions render;
    render.imageSize = cv::Size(options.imageSize, options.imageSize);
    render.startAngle = options.startAngle;
    render.mirrored = options.mirrored;
    try {
        const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol(text, symbol);
        const qcl::SymbolRenderer renderer(content.modulesPerRing, content.ringCount,
                                           content.codeType, render);
        return renderer.render(content.modules);
    } catch (const qcl::QCException& error) {
        throw Error(error.code, error.what());
    } catch (const cv::Exception& error) {
        throw Error(qcl::CodeCannotBeCreated, error.what());
    }
}

cv::Mat writeBytes(const std::vector<std::uint8_t>& bytes, const WriteOptions& options) {
    // The bytes as "0x" hexadecimal text, high digit first: the form Quorgen's --binary-file
    // writes, which a hexadecimal read gives back unchanged.
    static const char* const kDigits = "0123456789abcdef";
    std::string text = "0x";
    text.reserve(2 + 2 * bytes.size());
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    WriteOptions binary = options;
    binary.payloadType = PayloadType::Binary;
    return write(text, binary);
}

std::vector<std::uint8_t> payloadBytes(const Symbol& symbol) {
    const std::string& text = symbol.payload;
    if (symbol.payloadType != PayloadType::Binary || text.size() < 2 || text[0] != '0') {
        return {text.begin(), text.end()};
    }
    // Hexadecimal digit values: "0x" text directly; "0b" text four bits at a time, the first
    // bit of a group the least significant.
    std::vector<int> digits;
    if (text[1] == 'x') {
        for (std::size_t i = 2; i < text.size(); ++i) {
            const char c = text[i];
            digits.push_back(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        }
    } else {
        for (std::size_t i = 2; i + kBitsPerHexDigit <= text.size(); i += kBitsPerHexDigit) {
            int value = 0;
            for (std::size_t bit = 0; bit < kBitsPerHexDigit; ++bit) {
                value |= (text[i + bit] == '1' ? 1 : 0) << bit;
            }
            digits.push_back(value);
        }
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(digits[i] << 4 | digits[i + 1]));
    }
    return bytes;
}

}  // namespace quorview
