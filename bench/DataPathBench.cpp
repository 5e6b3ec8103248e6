// The reader's data path on the largest frame: a colour grid of 255 bytes carrying t damaged
// bytes, decoded from module values to payload text, for each ECC strength.
#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include "common/CodeTypes.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SeededRandom.h"
#include "writer/FrameEncoder.h"
#include "writer/ModuleStream.h"
#include "writer/PayloadEncoder.h"

namespace {

// 68 data slots x 10 rings x 3 bits = 2040 bits: exactly one 255-byte codeword.
constexpr int kModulesPerRing = 73;
constexpr int kRingCount = 10;
constexpr int kColourBits = 3;

qcl::SamplingGrid fullColourGrid() {
    qcl::SamplingGrid grid;
    grid.codeType = qcl::CodeType::Color;
    grid.modulesPerRing = kModulesPerRing;
    grid.ringCount = kRingCount;
    grid.bitsPerModule = kColourBits;
    return grid;
}

// A frame filled with UTF8 text (one type byte plus one byte per character), t bytes damaged,
// as modules in stream order.
qcl::ModuleList damagedSymbol(qcl::ECCtype strength) {
    const std::size_t capacity = qcl::gridCapacity(kModulesPerRing, kRingCount, kColourBits);
    const std::size_t t = qcl::correctionCapability(strength, capacity);
    const std::size_t textLength = qcl::writer::maxPayloadBytes(strength, capacity) - 1;
    std::string text;
    for (std::size_t i = 0; i < textLength; ++i) {
        text += static_cast<char>('A' + i % 26);
    }
    const qcl::writer::EncodedPayload payload =
        qcl::writer::encodePayload(text, qcl::PayloadType::UTF8);
    std::vector<std::uint8_t> block = qcl::writer::encodeFrame(payload, strength, capacity);
    qcl::test::SeededRandom random(static_cast<std::uint32_t>(1000 + static_cast<int>(strength)));
    std::set<int> damaged;
    while (damaged.size() < t) {
        damaged.insert(random.uniformInt(0, static_cast<int>(capacity) - 1));
    }
    for (int i : damaged) {
        block[static_cast<std::size_t>(i)] ^= static_cast<std::uint8_t>(random.uniformInt(1, 255));
    }
    const std::size_t modules =
        static_cast<std::size_t>((kModulesPerRing - qcl::kNonDataSlots) * kRingCount);
    return qcl::writer::blockToStream(block, kColourBits, modules);
}

void BM_DecodeFrameFullColourGrid(benchmark::State& state) {
    const auto strength = static_cast<qcl::ECCtype>(state.range(0));
    const qcl::SamplingGrid grid = fullColourGrid();
    const qcl::ModuleList modules = damagedSymbol(strength);
    std::string payload;
    std::uint8_t payloadType = 0;
    std::uint8_t eccType = 0;
    for (auto _ : state) {
        const qcl::ErrorCode code =
            qcl::decodeFrame(grid, modules, &payload, &payloadType, &eccType);
        if (code != qcl::Success || eccType != static_cast<std::uint8_t>(strength)) {
            state.SkipWithError("symbol did not decode");
            break;
        }
        benchmark::DoNotOptimize(payload.data());
    }
    state.SetLabel(qcl::toString(strength));
}

BENCHMARK(BM_DecodeFrameFullColourGrid)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond)
    ->ArgName("strength");

}  // namespace
