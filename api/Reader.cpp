// The public reading interface over the reader's own entries.
#include <quorview/quorview.h>

#include <utility>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "common/ImageMemory.h"
#include "common/Stage.h"
#include "decoder/Decoder.h"

namespace quorview {
namespace {

qcl::DecodeParameters parametersFor(CodeType codeType, BinaryFormat binaryFormat) {
    qcl::DecodeParameters parameters;
    parameters.codeType = static_cast<qcl::CodeType>(codeType);
    parameters.layout = qcl::Layout::HorizontalShortSnake;  // the layout the writer draws
    parameters.binaryFormat = static_cast<qcl::BinaryFormat>(binaryFormat);
    return parameters;
}

Point toPoint(const cv::Point2d& p) {
    return {p.x, p.y};
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
    symbol.startMarkerAngle = decoded.startMarkerAngle;
    symbol.correctedSymbols = decoded.correctedSymbols;
    symbol.correctableSymbols = decoded.correctableSymbols;
    return symbol;
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

std::string toString(CodeType value) {
    return qcl::toString(static_cast<qcl::CodeType>(value));
}

std::string toString(EccStrength value) {
    return qcl::toString(static_cast<qcl::ECCtype>(value));
}

std::string toString(PayloadType value) {
    return qcl::toString(static_cast<qcl::PayloadType>(value));
}

std::string toString(BinaryFormat value) {
    return qcl::toString(static_cast<qcl::BinaryFormat>(value));
}

ReadResult read(const cv::Mat& image, const ReadOptions& options) {
    qcl::DecodeOptions decodeOptions;
    decodeOptions.enhance = options.enhance;
    decodeOptions.maxSymbols = options.maxSymbols;
    decodeOptions.timeBudgetMs = options.timeBudgetMs;
    qcl::DecodeAllResult decoded;
    try {
        decoded = qcl::decodeAll(parametersFor(options.codeType, options.binaryFormat), image,
                                 decodeOptions);
    } catch (const qcl::QCException& error) {
        throw Error(error.code, error.what());
    } catch (const cv::Exception& error) {
        throw Error(qcl::WrongImageType, error.what());
    }
    ReadResult result;
    for (qcl::DecodedSymbol& symbol : decoded.symbols) {
        result.symbols.push_back(toSymbol(std::move(symbol)));
    }
    if (result.symbols.empty()) {
        result.errorCode = decoded.failure.errorCode;
        result.errorMessage = qcl::errorMessage(decoded.failure.errorCode);
        result.failedStage = qcl::stageName(decoded.failure.stage);
    }
    return result;
}

std::string decode(const cv::Mat& image, CodeType codeType, BinaryFormat binaryFormat,
                   bool enhance) {
    try {
        return qcl::decode(parametersFor(codeType, binaryFormat), image, enhance);
    } catch (const qcl::QCException& error) {
        throw Error(error.code, error.what());
    } catch (const cv::Exception& error) {
        throw Error(qcl::WrongImageType, error.what());
    }
}

}  // namespace quorview
