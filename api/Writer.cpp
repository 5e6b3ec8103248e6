// The public writing interface over the writer that Quorgen uses.
#include <quorview/quorview.h>

#include "app/JsonOutput.h"
#include "common/ErrorCodes.h"
#include "writer/PayloadEncoder.h"
#include "writer/SymbolWriter.h"

namespace quorview {

cv::Mat write(const std::string& text, const WriteOptions& options) {
    if (options.imageSize <= 0) {
        throw Error(qcl::InvalidConfiguration,
                    "The image size must be a positive number of pixels");
    }
    if (options.codeType == CodeType::Auto) {
        throw Error(qcl::InvalidConfiguration, "A symbol is written as bw or color, not auto");
    }
    qcl::writer::SymbolRequest request;
    request.payload = text;
    request.symbol.codeType = static_cast<qcl::CodeType>(options.codeType);
    request.symbol.eccStrength = static_cast<qcl::ECCtype>(options.eccStrength);
    request.symbol.payloadType = static_cast<qcl::PayloadType>(options.payloadType);
    request.symbol.layout = static_cast<qcl::Layout>(options.layout);
    request.symbol.modulesPerRing = options.modulesPerRing;
    request.symbol.ringCount = options.ringCount;
    request.render.imageSize = cv::Size(options.imageSize, options.imageSize);
    request.render.startAngle = options.startAngle;
    request.render.mirrored = options.mirrored;
    request.force = options.force;
    try {
        return qcl::writer::writeCheckedSymbol(request).image;
    } catch (const qcl::writer::UnreadableSymbol& error) {
        throw Error(error.code, qcl::errorMessage(error.code) + " (" + error.detail +
                                    "; the force option writes it anyway)");
    } catch (const qcl::QCException& error) {
        throw Error(error.code, error.what());
    } catch (const cv::Exception& error) {
        throw Error(qcl::CodeCannotBeCreated, error.what());
    }
}

cv::Mat writeBytes(const std::vector<std::uint8_t>& bytes, const WriteOptions& options) {
    // The "0x" text of the bytes: the form Quorgen's --binary-file writes, which a hexadecimal
    // read gives back unchanged.
    WriteOptions binary = options;
    binary.payloadType = PayloadType::Binary;
    // No bytes is an empty payload, refused as an empty text is.
    return write(bytes.empty()
                     ? std::string()
                     : qcl::writer::bytesAsHexText(std::string(bytes.begin(), bytes.end())),
                 binary);
}

std::vector<std::uint8_t> payloadBytes(const Symbol& symbol) {
    qcl::DecodedSymbol decoded;
    decoded.payload = symbol.payload;
    decoded.payloadType = static_cast<qcl::PayloadType>(symbol.payloadType);
    const std::string bytes = qcl::payloadBytes(decoded);
    return {bytes.begin(), bytes.end()};
}

}  // namespace quorview
