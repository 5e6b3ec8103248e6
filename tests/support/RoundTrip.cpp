#include "support/RoundTrip.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

#include "common/ErrorCodes.h"
#include "decoder/Decoder.h"

namespace qcl::test {
namespace {

// Characters of each payload type's alphabet.
std::string alphabetOf(PayloadType type) {
    switch (type) {
        case PayloadType::Digits:
            return "0123456789";
        case PayloadType::Letters:
            return " .0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        case PayloadType::Numbers:
            return ",-./0123456789:_";
        case PayloadType::Binary:
            return "01";
        default:
            break;
    }
    std::string all;
    for (int c = 1; c <= 127; ++c) {
        all += static_cast<char>(c);
    }
    return all;
}

std::string randomText(PayloadType type, std::size_t length, SeededRandom& random) {
    if (type == PayloadType::Binary) {
        // Whole groups of four digits, so that the hexadecimal form exists too.
        return "0b" + random.text((length + 3) / 4 * 4, "01");
    }
    if (type == PayloadType::Automatic) {
        std::string text = "Quorel " + random.text(length, alphabetOf(PayloadType::Letters));
        return text.substr(0, std::max<std::size_t>(length, 1));
    }
    // A UTF8 text opens with a two-byte character, which keeps the automatic choice off Ascii.
    const std::string opening = type == PayloadType::UTF8 ? "\xc3\xa9" : "";
    return (opening + random.text(length, alphabetOf(type)))
        .substr(0, std::max(length, opening.size()));
}

// Rough characters per payload byte, to start the search for a filling length.
double charactersPerByte(PayloadType type) {
    switch (type) {
        case PayloadType::Digits:
            return 2.4;
        case PayloadType::Numbers:
            return 2.0;
        case PayloadType::Letters:
        case PayloadType::Automatic:
            return 1.33;
        case PayloadType::Binary:
            return 8.0;
        case PayloadType::Ascii:
            return 1.14;
        default:
            return 1.0;
    }
}

}  // namespace

WrittenSymbol writeSymbol(const std::string& text, const writer::SymbolOptions& symbol,
                          const RenderOptions& render) {
    WrittenSymbol written;
    written.content = writer::encodeSymbol(text, symbol);
    const SymbolRenderer renderer(written.content.modulesPerRing, written.content.ringCount,
                                  written.content.codeType, render);
    written.image = renderer.render(written.content.modules);
    written.geometry = renderer.geometry();
    return written;
}

std::string printableText(SeededRandom& random, int length) {
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += static_cast<char>(random.uniformInt('!', '~'));
    }
    return text;
}

cv::Mat centredSymbol(const std::string& text, int width) {
    constexpr int kSide = 640;
    RenderOptions render;
    render.imageSize = cv::Size(kSide, kSide);
    cv::Mat small;
    cv::resize(writeSymbol(text, writer::SymbolOptions{}, render).image, small,
               cv::Size(width, width), 0, 0, cv::INTER_AREA);
    cv::Mat picture(kSide, kSide, CV_8UC3, cv::Scalar::all(255));
    small.copyTo(picture(cv::Rect((kSide - width) / 2, (kSide - width) / 2, width, width)));
    return picture;
}

std::string fillingPayload(PayloadType type, const writer::SymbolOptions& options, double share,
                           SeededRandom& random) {
    writer::SymbolOptions typed = options;
    typed.payloadType = type;
    // Start from a generous length and shrink until the symbol takes the text.
    std::size_t length = static_cast<std::size_t>(255 * charactersPerByte(type));
    std::string fitting;
    while (length > 0) {
        const std::string text = randomText(type, length, random);
        try {
            writer::encodeSymbol(text, typed);
            fitting = text;
            break;
        } catch (const QCException&) {
            length = length * 9 / 10;
        }
    }
    if (fitting.empty()) {
        return fitting;  // the symbol holds no text of this type
    }
    if (type == PayloadType::Binary) {
        const auto digits = static_cast<std::size_t>((fitting.size() - 2) * share) / 4 * 4;
        return fitting.substr(0, 2 + std::max<std::size_t>(4, digits));
    }
    const auto wanted = static_cast<std::size_t>(fitting.size() * share);
    return fitting.substr(0, std::max<std::size_t>(1, wanted));
}

ReadResult readSymbol(const cv::Mat& image, CodeType codeType) {
    DecodeParameters parameters;
    parameters.codeType = codeType;
    ReadResult result;
    try {
        result.payload = decode(parameters, image, true);
        result.decoded = true;
    } catch (const QCException& error) {
        result.errorCode = error.code;
    }
    return result;
}

}  // namespace qcl::test
