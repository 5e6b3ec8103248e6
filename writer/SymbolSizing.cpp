#include "writer/SymbolSizing.h"

#include <algorithm>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/DataLayout.h"
#include "decoder/data/FrameDecoder.h"
#include "decoder/data/SamplingGrid.h"
#include "writer/FrameEncoder.h"
#include "writer/ModuleStream.h"

namespace qcl::writer {
namespace {

bool isModulesPerRingChoice(int modulesPerRing) {
    return std::find(kModulesPerRingChoices.begin(), kModulesPerRingChoices.end(),
                     modulesPerRing) != kModulesPerRingChoices.end();
}

std::string sizeText(const SymbolSize& size) {
    return std::to_string(size.modulesPerRing) + " modules per ring and " +
           std::to_string(size.ringCount) + " rings";
}

void checkModulesPerRing(int modulesPerRing) {
    if (!isModulesPerRingChoice(modulesPerRing)) {
        throw QCException(
            InvalidConfiguration,
            "modules per ring must be 16, 32, 48, 64 or 80, not " + std::to_string(modulesPerRing));
    }
}

void checkRingCount(CodeType codeType, int modulesPerRing, int ringCount) {
    if (ringCount < kMinRingCount) {
        throw QCException(InvalidConfiguration,
                          "a symbol needs at least 2 rings, not " + std::to_string(ringCount));
    }
    if (ringCount > maxRingCount(codeType, modulesPerRing)) {
        throw QCException(InvalidConfiguration,
                          "a grid of " + std::to_string(modulesPerRing) + " modules per ring and " +
                              std::to_string(ringCount) + " rings holds more than " +
                              std::to_string(kMaxBlockBytes) + " bytes");
    }
}

}  // namespace

std::size_t gridBytes(CodeType codeType, int modulesPerRing, int ringCount) {
    return gridCapacity(modulesPerRing, ringCount, bitsPerModule(codeType));
}

int maxRingCount(CodeType codeType, int modulesPerRing) {
    if (modulesPerRing <= kNonDataSlots) {
        return 0;
    }
    const int bitsPerRing = (modulesPerRing - kNonDataSlots) * bitsPerModule(codeType);
    // The grid may end in a partial byte: rings * bitsPerRing < (kMaxBlockBytes + 1) * 8.
    return static_cast<int>(((kMaxBlockBytes + 1) * 8 - 1) / static_cast<std::size_t>(bitsPerRing));
}

std::size_t symbolPayloadBytes(const SymbolSize& size, ECCtype strength, CodeType codeType,
                               Layout layout) {
    if (!isModulesPerRingChoice(size.modulesPerRing) || size.ringCount < kMinRingCount ||
        size.ringCount > maxRingCount(codeType, size.modulesPerRing) ||
        !layoutFits(layout, size.ringCount, size.modulesPerRing - kNonDataSlots)) {
        return 0;
    }
    return maxPayloadBytes(strength, gridBytes(codeType, size.modulesPerRing, size.ringCount));
}

void checkSymbolSize(const SymbolSize& size, std::size_t payloadBytes, ECCtype strength,
                     CodeType codeType, Layout layout) {
    checkModulesPerRing(size.modulesPerRing);
    checkRingCount(codeType, size.modulesPerRing, size.ringCount);
    if (!layoutFits(layout, size.ringCount, size.modulesPerRing - kNonDataSlots)) {
        throw QCException(InvalidConfiguration,
                          "layout " + toString(layout) + " does not fit " + sizeText(size));
    }
    const std::size_t room = symbolPayloadBytes(size, strength, codeType, layout);
    if (std::max<std::size_t>(payloadBytes, 1) > room) {
        throw QCException(NotEnoughCapacity, std::to_string(payloadBytes) + " payload bytes, but " +
                                                 sizeText(size) + " hold " + std::to_string(room) +
                                                 " at ECC " + toString(strength));
    }
}

SymbolSize chooseSymbolSize(std::size_t payloadBytes, ECCtype strength, CodeType codeType,
                            Layout layout, const SymbolSize& requested) {
    if (requested.modulesPerRing != 0) {
        checkModulesPerRing(requested.modulesPerRing);
    }
    if (requested.ringCount != 0 && requested.ringCount < kMinRingCount) {
        checkRingCount(codeType, kModulesPerRingChoices.front(), requested.ringCount);
    }
    if (requested.modulesPerRing != 0 && requested.ringCount != 0) {
        checkSymbolSize(requested, payloadBytes, strength, codeType, layout);
        return requested;
    }
    SymbolSize best;
    std::size_t mostRoom = 0;
    for (int modulesPerRing : kModulesPerRingChoices) {
        if (requested.modulesPerRing != 0 && modulesPerRing != requested.modulesPerRing) {
            continue;
        }
        const int first = requested.ringCount != 0 ? requested.ringCount : kMinRingCount;
        const int last = requested.ringCount != 0 ? requested.ringCount : kMaxAutoRingCount;
        for (int ringCount = first; ringCount <= last; ++ringCount) {
            const SymbolSize size{modulesPerRing, ringCount};
            const std::size_t room = symbolPayloadBytes(size, strength, codeType, layout);
            mostRoom = std::max(mostRoom, room);
            if (room < std::max<std::size_t>(payloadBytes, 1)) {
                continue;
            }
            const long total = static_cast<long>(modulesPerRing) * ringCount;
            const long bestTotal = static_cast<long>(best.modulesPerRing) * best.ringCount;
            if (best.ringCount == 0 || total < bestTotal ||
                (total == bestTotal && ringCount < best.ringCount)) {
                best = size;
            }
        }
    }
    if (best.ringCount == 0) {
        throw QCException(DataSizeExceedsMaximum,
                          std::to_string(payloadBytes) + " payload bytes, at most " +
                              std::to_string(mostRoom) + " fit a " + toString(codeType) +
                              " symbol at ECC " + toString(strength));
    }
    return best;
}

}  // namespace qcl::writer
