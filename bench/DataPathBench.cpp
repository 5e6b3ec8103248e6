// The reader's data path on the largest frame: a colour grid of 255 bytes carrying t damaged
// bytes, decoded from module values to payload text, for each ECC strength.
#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include "common/CodeTypes.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SeededRandom.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace {

using qcl::test::Bytes;

// 68 data slots x 10 rings x 3 bits = 2040 bits: exactly one 255-byte codeword.
constexpr int kModulesPerRing = 73;
constexpr int kRingCount = 10;

qcl::ModuleList damagedSymbol(const qcl::SamplingGrid& grid, qcl::ECCtype strength) {
    const int capacity = qcl::test::capacityOf(grid);
    const int t = qcl::test::capabilityFor(strength, capacity);
    const int textLength = capacity - 2 * t - 4;  // UTF8: one type byte, checksum, header
    std::uint16_t bits = 0;
    const Bytes payload = qcl::test::payloadStream(
        qcl::PayloadType::UTF8,
        [&](qcl::test::BitWriter& writer) {
            for (int i = 0; i < textLength; ++i) {
                writer.put(static_cast<unsigned>('A' + i % 26), 8);
            }
        },
        bits);
    Bytes block = qcl::test::symbolBlock(grid, strength, static_cast<int>(strength), bits, payload);
    qcl::test::SeededRandom random(static_cast<std::uint32_t>(1000 + static_cast<int>(strength)));
    std::set<int> damaged;
    while (static_cast<int>(damaged.size()) < t) {
        damaged.insert(random.uniformInt(0, capacity - 1));
    }
    for (int i : damaged) {
        block[static_cast<std::size_t>(i)] ^= static_cast<std::uint8_t>(random.uniformInt(1, 255));
    }
    return qcl::test::streamModules(grid, block);
}

void BM_DecodeFrameFullColourGrid(benchmark::State& state) {
    const auto strength = static_cast<qcl::ECCtype>(state.range(0));
    const qcl::SamplingGrid grid = qcl::test::makeGrid(kModulesPerRing, kRingCount, true);
    const qcl::ModuleList modules = damagedSymbol(grid, strength);
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
