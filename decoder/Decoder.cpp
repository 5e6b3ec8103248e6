#include "decoder/Decoder.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <string>
#include <utility>

#include "common/Logger.h"
#include "decoder/StageChain.h"
#include "imaging/AdaptiveBinarisation.h"
#include "imaging/Preprocessing.h"

namespace qcl {
namespace {

// Longer side of the image all stages work on; bounds the cost of every decode.
constexpr std::int32_t kMaxImageSide = 640;
// Binary digits that make one hexadecimal digit.
constexpr std::size_t kBitsPerHexDigit = 4;

void logDecodeReport(const std::string& payload, std::uint8_t payloadType, std::uint8_t eccType,
                     const FrameReport& frame) {
    // Labels padded to one width so the colons line up.
    logInfo() << "decoded ECC type                 : " << static_cast<ECCtype>(eccType);
    logInfo() << "decoded data type                : " << static_cast<PayloadType>(payloadType);
    logInfo() << "decoded payload                  : \"" << payload << "\"";
    // How close the symbol is to unreadable: bytes corrected out of the most correctable.
    logInfo() << "decoded corrections              : " << frame.correctedSymbols << " of "
              << frame.correctableSymbols;
}

// A further pass for uneven light, after both global thresholds failed: the stages and module
// sampling see the image with its light divided out. Returns whether it decoded.
bool runEvenedLightPass(const StageChain& chain, const cv::Mat& conditioned,
                        DecodeContext& context) {
    cv::Mat flattened;
    cv::Mat& binary = *context.binaryImage;
    const int colorFlag = static_cast<int>(context.parameters.codeType);
    context.threshold = binarizeAdaptive(conditioned, flattened, binary, colorFlag);
    const cv::Mat* const original = context.image;
    context.image = &flattened;
    const bool decoded = chain.run(context) == Success;
    context.image = original;
    return decoded;
}

}  // namespace

cv::Mat limitImageSize(const cv::Mat& image) {
    const std::int32_t rows = image.rows;
    const std::int32_t cols = image.cols;
    cv::Mat resized;
    if (rows >= cols && rows > kMaxImageSide) {
        cv::resize(image, resized,
                   cv::Size(std::max(1, cols * kMaxImageSide / rows), kMaxImageSide), 0, 0,
                   cv::INTER_LINEAR);
    } else if (cols > kMaxImageSide) {
        cv::resize(image, resized,
                   cv::Size(kMaxImageSide, std::max(1, rows * kMaxImageSide / cols)), 0, 0,
                   cv::INTER_LINEAR);
    } else {
        resized = image;
    }
    return resized;
}

DesignedDecode runDesignedDecode(const DecodeParameters& parameters, const cv::Mat& image,
                                 bool enhance, const StageFunctions& stages, bool traceStages,
                                 Binarisations binarisations) {
    logInfo() << "Decoding";
    if (image.channels() == 1 && parameters.codeType == CodeType::Color) {
        throw QCException(CodeTypeImageMismatch);
    }

    cv::Mat conditioned = limitImageSize(image);
    if (enhance) {
        // Enhancement works in place: never on the caller's own pixels.
        if (conditioned.data == image.data) {
            conditioned = image.clone();
        }
        enhanceImage(conditioned, conditioned);
    }

    const int colorFlag = static_cast<int>(parameters.codeType);
    cv::Mat binary;
    int threshold = binarisations == Binarisations::LaterOnly
                        ? 0
                        : binarizeImage(conditioned, binary, colorFlag, Otsu);

    DesignedDecode outcome;
    outcome.toCaller = cv::Matx33d::eye();
    if (!conditioned.empty()) {
        outcome.toCaller(0, 0) = static_cast<double>(image.cols) / conditioned.cols;
        outcome.toCaller(1, 1) = static_cast<double>(image.rows) / conditioned.rows;
    }
    std::uint8_t payloadType = static_cast<std::uint8_t>(PayloadType::Automatic);
    std::uint8_t eccType = static_cast<std::uint8_t>(ECCtype::Low);

    DecodeContext context;
    context.status = &outcome.status;
    context.payload = &outcome.payload;
    context.payloadType = &payloadType;
    context.eccType = &eccType;
    context.parameters = parameters;
    context.image = &conditioned;
    context.binaryImage = &binary;
    context.threshold = threshold;
    context.details = &outcome.details;
    StageTraceRecorder recorder;
    context.trace = traceStages ? &recorder : nullptr;

    const StageChain chain(stages);
    bool decoded = binarisations != Binarisations::LaterOnly && chain.run(context) == Success;
    if (!decoded && binarisations != Binarisations::FirstOnly) {
        threshold = binarizeImage(conditioned, binary, colorFlag, MaximumEntropy);
        context.threshold = threshold;
        decoded = chain.run(context) == Success || runEvenedLightPass(chain, conditioned, context);
    }
    if (traceStages) {
        outcome.trace = decoded ? recorder.found : recorder.deepest;
        mapStageTrace(outcome.trace, outcome.toCaller);
    }
    if (!decoded) {
        return outcome;
    }
    outcome.decoded = true;
    outcome.payloadType = payloadType;
    outcome.eccType = eccType;

    if (payloadType == static_cast<std::uint8_t>(PayloadType::Binary) &&
        parameters.binaryFormat != BinaryFormat::Binary) {
        outcome.payload =
            binaryToHex(outcome.payload, parameters.binaryFormat == BinaryFormat::HexaLowerCase);
    }
    logDecodeReport(outcome.payload, payloadType, eccType, outcome.details.frame);
    return outcome;
}

std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance,
                   const StageFunctions& stages) {
    DesignedDecode outcome = runDesignedDecode(parameters, image, enhance, stages);
    if (!outcome.decoded) {
        throw QCException(static_cast<ErrorCode>(outcome.status.errorCode));
    }
    return std::move(outcome.payload);
}

std::string binaryToHex(const std::string& text, bool lowerCase) {
    if (text.size() < 3 || text[0] != '0' || text[1] != 'b' ||
        (text.size() - 2) % kBitsPerHexDigit != 0) {
        throw QCException(InvalidInputSymbols);
    }
    const char* const digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string hex = "0x";
    hex.reserve(2 + (text.size() - 2) / kBitsPerHexDigit);
    for (std::size_t group = 2; group < text.size(); group += kBitsPerHexDigit) {
        int value = 0;
        for (std::size_t bit = 0; bit < kBitsPerHexDigit; ++bit) {
            const char digit = text[group + bit];
            if (digit != '0' && digit != '1') {
                throw QCException(InvalidOutputSymbols);
            }
            value |= (digit - '0') << bit;  // first digit of a group is the least significant
        }
        hex += digits[value];
    }
    return hex;
}

}  // namespace qcl
