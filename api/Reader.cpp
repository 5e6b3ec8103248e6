// The public reading interface over the reader's own entries.
#include <quorview/quorview.h>

#include <cmath>
#include <utility>

#include "app/JsonOutput.h"
#include "common/Angles.h"
#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "common/ImageMemory.h"
#include "common/Stage.h"
#include "common/Stopwatch.h"
#include "decoder/Decoder.h"
#include "imaging/ImageFile.h"

namespace quorview {
namespace {

qcl::DecodeParameters parametersFor(CodeType codeType, BinaryFormat binaryFormat,
                                    Layout layout = Layout::HorizontalShortSnake) {
    qcl::DecodeParameters parameters;
    // Auto starts with black and white; the decode options say it may go on to colour.
    parameters.codeType =
        codeType == CodeType::Color ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
    parameters.layout = static_cast<qcl::Layout>(layout);
    parameters.binaryFormat = static_cast<qcl::BinaryFormat>(binaryFormat);
    return parameters;
}

Point toPoint(const cv::Point2d& p) {
    return {p.x, p.y};
}

cv::Point2d fromPoint(const Point& p) {
    return {p.x, p.y};
}

// The angle within [0, 2 pi).
double fullTurn(double radians) {
    const double angle = std::fmod(radians, qcl::kTwoPi);
    return angle < 0 ? angle + qcl::kTwoPi : angle;
}

Symbol toSymbol(qcl::DecodedSymbol&& decoded) {
    Symbol symbol;
    symbol.payload = std::move(decoded.payload);
    symbol.payloadType = static_cast<PayloadType>(decoded.payloadType);
    symbol.eccStrength = static_cast<EccStrength>(decoded.eccType);
    symbol.codeType = static_cast<CodeType>(decoded.codeType);
    symbol.modulesPerRing = decoded.modulesPerRing;
    symbol.ringCount = decoded.ringCount;
    symbol.mirrored = decoded.mirrored;
    symbol.center = toPoint(decoded.center);
    symbol.outline.reserve(decoded.outline.size());
    for (const cv::Point2d& p : decoded.outline) {
        symbol.outline.push_back(toPoint(p));
    }
    symbol.startMarkerAngle = fullTurn(decoded.startMarkerAngle);
    symbol.correctedSymbols = decoded.correctedSymbols;
    symbol.correctableSymbols = decoded.correctableSymbols;
    return symbol;
}

qcl::DecodedSymbol fromSymbol(const Symbol& symbol) {
    qcl::DecodedSymbol decoded;
    decoded.payload = symbol.payload;
    decoded.payloadType = static_cast<qcl::PayloadType>(symbol.payloadType);
    decoded.eccType = static_cast<qcl::ECCtype>(symbol.eccStrength);
    decoded.codeType = static_cast<qcl::CodeType>(symbol.codeType);
    decoded.modulesPerRing = symbol.modulesPerRing;
    decoded.ringCount = symbol.ringCount;
    decoded.mirrored = symbol.mirrored;
    decoded.center = fromPoint(symbol.center);
    for (const Point& p : symbol.outline) {
        decoded.outline.push_back(fromPoint(p));
    }
    decoded.startMarkerAngle = symbol.startMarkerAngle;
    decoded.correctedSymbols = symbol.correctedSymbols;
    decoded.correctableSymbols = symbol.correctableSymbols;
    return decoded;
}

// Runs a reader entry on an image, its failures as Error.
template <typename Read>
auto translated(const cv::Mat& image, Read read) {
    if (image.empty()) {
        // Said in our words rather than as the image library's assertion.
        throw Error(qcl::WrongImageType, "The image is empty: it has no pixels to read");
    }
    try {
        return read();
    } catch (const qcl::QCException& error) {
        throw Error(error.code, error.what());
    } catch (const cv::Exception& error) {
        throw Error(qcl::WrongImageType, error.what());
    }
}

}  // namespace

const char* version() {
    return QUORVIEW_VERSION;
}

void keepImageMemory() {
    qcl::keepImageMemory();
}

std::string errorMessage(int code) {
    return qcl::errorMessage(code);
}

ReadResult read(const cv::Mat& image, const ReadOptions& options) {
    qcl::DecodeOptions decodeOptions;
    decodeOptions.enhance = options.enhance;
    decodeOptions.maxSymbols = options.maxSymbols;
    decodeOptions.timeBudgetMs = options.timeBudgetMs;
    decodeOptions.autoCodeType = options.codeType == CodeType::Auto;
    qcl::Stopwatch stopwatch;
    stopwatch.start();
    qcl::DecodeAllResult decoded = translated(image, [&] {
        return qcl::decodeAll(parametersFor(options.codeType, options.binaryFormat, options.layout),
                              image, decodeOptions);
    });
    stopwatch.stop();
    ReadResult result;
    for (qcl::DecodedSymbol& symbol : decoded.symbols) {
        result.symbols.push_back(toSymbol(std::move(symbol)));
    }
    if (result.symbols.empty()) {
        result.errorCode = decoded.failure.errorCode;
        result.errorMessage = qcl::errorMessage(decoded.failure.errorCode);
        result.failedStage = qcl::stageName(decoded.failure.stage);
    }
    result.decodeMs = stopwatch.elapsedMilliseconds();
    return result;
}

ReadResult readFile(const std::string& path, const ReadOptions& options) {
    const qcl::ImageReadResult file = qcl::readImageFile(path);
    if (!file.ok()) {
        ReadResult result;
        result.errorCode = qcl::kUnreadableImageCode;
        result.errorMessage = file.error;
        result.failedStage = qcl::kReadImageStage;
        return result;
    }
    return read(file.image, options);
}

std::string toJsonLine(const std::string& file, const ReadResult& result) {
    std::vector<qcl::DecodedSymbol> symbols;
    for (const Symbol& symbol : result.symbols) {
        symbols.push_back(fromSymbol(symbol));
    }
    const qcl::FailureReport failure{result.errorCode, result.errorMessage, result.failedStage};
    return qcl::jsonText(
        qcl::jsonLine(file, symbols, symbols.empty() ? &failure : nullptr, result.decodeMs));
}

std::string decode(const cv::Mat& image, CodeType codeType, BinaryFormat binaryFormat,
                   bool enhance) {
    if (codeType != CodeType::Auto) {
        return translated(image, [&] {
            return qcl::decode(parametersFor(codeType, binaryFormat), image, enhance);
        });
    }
    // The automatic choice is the search's own: each symbol it finds is read as the code type
    // its pixels show, so a small colour symbol in a black-and-white scene is read as colour.
    return translated(image, [&] {
        qcl::DecodeOptions options;
        options.enhance = enhance;
        options.maxSymbols = 1;
        options.autoCodeType = true;
        qcl::DecodeAllResult result =
            qcl::decodeAll(parametersFor(codeType, binaryFormat), image, options);
        if (result.symbols.empty()) {
            throw qcl::QCException(static_cast<qcl::ErrorCode>(result.failure.errorCode));
        }
        return std::move(result.symbols.front().payload);
    });
}

}  // namespace quorview
