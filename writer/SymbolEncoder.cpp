#include "writer/SymbolEncoder.h"

#include <utility>
#include <vector>

#include "writer/FrameEncoder.h"
#include "writer/ModuleStream.h"
#include "writer/PayloadEncoder.h"
#include "writer/SymbolSizing.h"

namespace qcl::writer {

SymbolContent encodeSymbol(const std::string& text, const SymbolOptions& options) {
    const EncodedPayload payload = encodePayload(text, options.payloadType);
    const SymbolSize size =
        chooseSymbolSize(payload.bytes.size(), options.eccStrength, options.codeType,
                         options.layout, SymbolSize{options.modulesPerRing, options.ringCount});
    const std::size_t capacity = gridBytes(options.codeType, size.modulesPerRing, size.ringCount);
    const std::vector<std::uint8_t> block = encodeFrame(payload, options.eccStrength, capacity);

    SymbolContent content;
    content.modulesPerRing = size.modulesPerRing;
    content.ringCount = size.ringCount;
    content.codeType = options.codeType;
    content.modules =
        blockToModules(block, options.codeType, options.layout, size.ringCount,
                       size.modulesPerRing - kNonDataSlots, options.mask, &content.mask);
    content.eccStrength = options.eccStrength;
    content.payloadType = payload.type;
    content.layout = options.layout;
    content.payloadBits = payload.bitLength;
    content.blockBytes = static_cast<std::int32_t>(block.size());
    return content;
}

}  // namespace qcl::writer
