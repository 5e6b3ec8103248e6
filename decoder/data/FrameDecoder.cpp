#include "decoder/data/FrameDecoder.h"

#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/CodeTypes.h"
#include "common/Logger.h"
#include "common/Stage.h"
#include "decoder/data/Decompressor.h"
#include "decoder/data/ErasureChoice.h"
#include "decoder/data/FrameAcceptance.h"
#include "reedsolomon/ReedSolomon.h"

namespace qcl {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Longest frame: one full Reed-Solomon codeword.
constexpr std::size_t kMaxCapacity = 255;
// A frame holds at least the two header bytes and the checksum.
constexpr std::size_t kMinFrameBytes = 3;
constexpr int kHeaderStrengthMask = 0x3;
constexpr int kHeaderLengthShift = 5;
// Widest module the byte packing accepts, and the widest that may carry a doubt.
constexpr int kMaxBitsPerModule = 8;
constexpr int kMaxDoubtBits = 3;

// Correctable share of the block in per mille, indexed by the ECCtype value.
constexpr std::size_t kSharePerMille[] = {75, 150, 250, 300};

// In the order they are tried: strongest first.
constexpr ECCtype kStrengths[] = {ECCtype::High, ECCtype::Quartile, ECCtype::Medium, ECCtype::Low};

// Frame tries of this thread; the search runs on its caller's thread, so no lock is needed.
thread_local std::uint64_t triesOnThisThread = 0;

std::string hexDump(const std::uint8_t* bytes, std::size_t count) {
    std::string text = "{";
    char digits[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, " %02x", bytes[i]);
        text += digits;
    }
    text += '}';
    return text;
}

template <typename Line>
void logHex(Line&& line, const char* label, const std::uint8_t* bytes, std::size_t count) {
    if (line.enabled()) {
        line << label << hexDump(bytes, count);
    }
}

// Bits of every module, bit 0 first, filling bytes from bit 0; a partial last byte is dropped.
// `doubtful` tells whether some module carries a doubt.
Bytes packModules(const ModuleList& modules, int bitsPerModule, std::size_t capacity,
                  bool& doubtful) {
    Bytes block;
    block.reserve(capacity);
    unsigned accumulator = 0;
    int held = 0;
    unsigned all = 0;
    for (std::uint8_t module : modules) {
        all |= module;
        for (int bit = 0; bit < bitsPerModule; ++bit) {
            accumulator |= ((module >> bit) & 1u) << held;
            if (++held == 8) {
                block.push_back(static_cast<std::uint8_t>(accumulator));
                accumulator = 0;
                held = 0;
            }
        }
    }
    doubtful = moduleDoubt(static_cast<std::uint8_t>(all)) > 0 && bitsPerModule <= kMaxDoubtBits;
    return block;
}

bool gridHoldsModules(const SamplingGrid& grid, const ModuleList& modules) {
    const long long columns = static_cast<long long>(grid.modulesPerRing) - kNonDataSlots;
    return columns >= 1 && grid.ringCount >= 1 && grid.bitsPerModule >= 1 &&
           grid.bitsPerModule <= kMaxBitsPerModule &&
           static_cast<long long>(modules.size()) == columns * grid.ringCount;
}

struct Attempt {
    ErrorCode code = EccCannotCorrect;
    Bytes payload;
    std::uint16_t payloadBits = 0;
    FrameReport report;
};

// Bytes of the received block that the correction changed outside `erasures`: the data bytes
// directly, the parity bytes by encoding the corrected data again.
std::int32_t countCorrections(const Bytes& block, const Bytes& data, std::uint8_t t,
                              const Bytes& erasures) {
    std::array<bool, kMaxCapacity> erased{};
    for (const std::uint8_t position : erasures) {
        erased[position] = true;
    }
    std::int32_t changed = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        changed += block[i] != data[i] && !erased[i] ? 1 : 0;
    }
    const Bytes parity = reedsolomon::encodeParity(data, t);
    for (std::size_t i = 0; i < parity.size(); ++i) {
        const std::size_t at = data.size() + i;
        changed += block[at] != parity[i] && !erased[at] ? 1 : 0;
    }
    return changed;
}

// One ECC strength: correct the block, then check header strength, length and checksum. With
// `erasure` the bytes it names are erased and at most its maxErrors others may be corrected.
Attempt tryStrength(const Bytes& block, ECCtype strength, const ErasureTry* erasure,
                    bool checkLayout, std::uint8_t* eccType) {
    Attempt attempt;
    const auto t = static_cast<std::uint8_t>(correctionCapability(strength, block.size()));
    const auto eccLength = static_cast<std::uint8_t>(2 * t);
    const Bytes noErasures;
    const Bytes& erasures = erasure != nullptr ? erasure->erasures : noErasures;
    logDebug() << "try ECC strength: " << strength;
    if (erasure != nullptr) {
        logDebug() << "erased bytes                     : " << erasures.size();
    }
    const Bytes data = erasure != nullptr ? decodeRS(block, t, erasures) : decodeRS(block, t);
    if (data.size() < kMinFrameBytes) {
        logDebug() << "ECC strength: " << strength << " failed";
        return attempt;
    }
    // An erasure read spends one parity byte per erasure and two per error: the correction
    // margin it used is errors + erasures / 2.
    std::int32_t corrections = -1;
    if (erasure != nullptr) {
        const std::int32_t errors = countCorrections(block, data, t, erasures);
        if (errors > erasure->maxErrors) {
            logDebug() << "erasure read corrects too many : " << errors;
            return attempt;
        }
        corrections = errors + static_cast<std::int32_t>(erasures.size() + 1) / 2;
    }
    logInfo() << "data length                [Bits]: " << data.size() * 8 << " = " << data.size()
              << " Bytes";
    logHex(logDebug(), "data                             : ", data.data(), data.size());
    const auto header = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    attempt.payloadBits = static_cast<std::uint16_t>(header >> kHeaderLengthShift);
    logInfo() << "payload length             [Bits]: " << attempt.payloadBits;
    logInfo() << "header value                     : " << header;
    logInfo() << "ECC length                [Bytes]: " << static_cast<int>(eccLength);

    const auto headerStrength = static_cast<ECCtype>(header & kHeaderStrengthMask);
    if (headerStrength != strength) {
        logDebug() << "Different ECC strength: " << strength << " vs. " << headerStrength;
        attempt.code = EccStrengthInconsistent;
        return attempt;
    }
    const std::size_t payloadBytes = (attempt.payloadBits + 7u) / 8u;
    const std::size_t maxPayload = data.size() - kMinFrameBytes;
    if (payloadBytes > maxPayload) {
        logDebug() << "wrong payload length             : " << payloadBytes
                   << ", max payload length = " << maxPayload;
        attempt.code = NotEnoughCapacity;
        return attempt;
    }
    attempt.payload.assign(data.begin() + 2, data.begin() + 2 + payloadBytes);
    int checksum = data[0] ^ data[1];
    for (std::uint8_t byte : attempt.payload) {
        checksum ^= byte;
    }
    const int stored = data[2 + payloadBytes];
    if (checksum != stored) {
        logDebug() << "wrong checksum                   : " << checksum
                   << ", stored checksum: " << stored;
        attempt.code = WrongChecksum;
        return attempt;
    }
    logDebug() << "correct checksum                 : " << checksum
               << ", stored checksum: " << stored;
    attempt.report.correctedSymbols =
        corrections >= 0 ? corrections : countCorrections(block, data, t, erasures);
    attempt.report.correctableSymbols = t;
    if (checkLayout) {
        const FrameFault fault =
            checkFrame(data, payloadBytes, attempt.payloadBits, attempt.report.correctedSymbols, t);
        if (fault != FrameFault::None) {
            logDebug() << "frame rejected                   : " << toString(fault);
            attempt.code =
                fault == FrameFault::TooManyCorrections ? EccCannotCorrect : WrongChecksum;
            return attempt;
        }
    }
    if (eccType != nullptr) {
        *eccType = static_cast<std::uint8_t>(strength);
    }
    attempt.code = Success;
    return attempt;
}

}  // namespace

std::size_t gridCapacity(std::int32_t modulesPerRing, std::int32_t ringCount,
                         std::int32_t bitsPerModule) {
    if (modulesPerRing <= kNonDataSlots || ringCount <= 0 || bitsPerModule <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(modulesPerRing - kNonDataSlots) *
           static_cast<std::size_t>(ringCount) * static_cast<std::size_t>(bitsPerModule) / 8;
}

std::size_t correctionCapability(ECCtype strength, std::size_t capacity) {
    const auto value = static_cast<std::int32_t>(strength);
    if (value < 0 || value > static_cast<std::int32_t>(ECCtype::High)) {
        throw QCException(InvalidConfiguration,
                          "ECC strength " + std::to_string(value) + " is not one of 0..3");
    }
    return (kSharePerMille[value] * capacity + 999) / 1000;
}

ErrorCode decodeFrame(const SamplingGrid& grid, const ModuleList& modules, std::string* payload,
                      std::uint8_t* payloadType, std::uint8_t* eccType, FrameReport* report) {
    logStage(grid.logStage);
    if (!gridHoldsModules(grid, modules)) {
        return WrongGrid;
    }
    bool doubtful = false;
    const Bytes block = packModules(
        modules, grid.bitsPerModule,
        gridCapacity(grid.modulesPerRing, grid.ringCount, grid.bitsPerModule), doubtful);
    logDebug() << "capacity                   [Bits]: " << block.size() * 8 << " = " << block.size()
               << " Bytes";
    logHex(logDebug(), "data (incl. ECC)                 : ", block.data(), block.size());
    // A grid of more than one codeword cannot be a frame; neither can a single byte, which is
    // shorter than the smallest parity.
    if (block.size() > kMaxCapacity || block.size() == 1) {
        return WrongGrid;
    }
    ++triesOnThisThread;

    const std::vector<std::uint8_t> doubts =
        doubtful ? byteDoubts(modules, grid.bitsPerModule, block.size()) : Bytes{};
    Attempt attempt;
    for (const ECCtype strength : kStrengths) {
        attempt = tryStrength(block, strength, nullptr, grid.checkWriterLayout, eccType);
        if (attempt.code == Success && !attempt.payload.empty()) {
            break;
        }
        // The designed read's code stands for the strength unless an erasure read succeeds.
        const std::vector<ErasureTry> tries =
            doubtful ? erasureTries(doubts, correctionCapability(strength, block.size()))
                     : std::vector<ErasureTry>{};
        for (const ErasureTry& erasure : tries) {
            Attempt erased =
                tryStrength(block, strength, &erasure, grid.checkWriterLayout, eccType);
            if (erased.code == Success && !erased.payload.empty()) {
                attempt = std::move(erased);
                break;
            }
        }
        if (attempt.code == Success && !attempt.payload.empty()) {
            break;
        }
    }
    if (attempt.code != Success || attempt.payload.empty()) {
        return attempt.code;
    }
    logHex(logDebug(), "compressed payload               : ", attempt.payload.data(),
           attempt.payload.size());
    DecompressedPayload result = decompress(attempt.payload, attempt.payloadBits);
    if (payload != nullptr) {
        *payload = std::move(result.text);
    }
    if (payloadType != nullptr) {
        *payloadType = result.type;
    }
    if (report != nullptr) {
        *report = attempt.report;
    }
    return Success;
}

std::uint64_t frameDecodeTries() {
    return triesOnThisThread;
}

}  // namespace qcl
