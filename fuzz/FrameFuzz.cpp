// Module grids through unmasking, layout and frame decoding, and received words through the
// Reed-Solomon decoder, whose corrections must always leave a codeword.
#include <cstdint>
#include <vector>

#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "fuzz/FuzzSupport.h"
#include "reedsolomon/ReedSolomon.h"

namespace {

void decodeGrid(FuzzedDataProvider& in) {
    qcl::SamplingGrid grid;
    grid.modulesPerRing = in.ConsumeIntegralInRange(0, 90);
    grid.ringCount = in.ConsumeIntegralInRange(0, 16);
    grid.codeType = in.ConsumeBool() ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
    grid.bitsPerModule = grid.codeType == qcl::CodeType::Color ? 3 : 1;
    grid.checkWriterLayout = in.ConsumeBool();
    const int mask = in.ConsumeIntegralInRange(0, 5);
    const auto layout = static_cast<qcl::Layout>(in.ConsumeIntegralInRange(0, 6));
    qcl::ModuleList modules = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegral<std::uint16_t>());
    for (std::uint8_t& value : modules) {
        value &= grid.bitsPerModule == 3 ? 7 : 1;
    }
    qcl::fuzz::expectingOurErrors([&] {
        if (qcl::applyMaskAndLayout(grid, modules, mask, layout) == qcl::Success) {
            std::string payload;
            std::uint8_t payloadType = 0;
            std::uint8_t eccType = 0;
            qcl::decodeFrame(grid, modules, &payload, &payloadType, &eccType);
        }
    });
}

void decodeWord(FuzzedDataProvider& in) {
    const auto t = in.ConsumeIntegralInRange<std::uint8_t>(1, 127);
    reedsolomon::ReedSolomon codec(in.ConsumeIntegral<std::uint8_t>(), t);
    codec.clearReceived();
    for (int position = 0; position < reedsolomon::kCodeLength; ++position) {
        codec.setReceived(position, in.ConsumeIntegral<std::uint8_t>());
    }
    if (codec.decode()) {
        return;  // more errors than t: nothing to check
    }
    std::vector<std::uint8_t> word(reedsolomon::kCodeLength);
    for (int position = 0; position < reedsolomon::kCodeLength; ++position) {
        word[position] = codec.received(position);
    }
    for (int position = 0; position < reedsolomon::kCodeLength; ++position) {
        codec.setReceived(position, word[position]);
    }
    if (codec.decode() || !codec.syndromesZero()) {
        __builtin_trap();  // a corrected word that is no codeword
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        decodeGrid(in);
    } else {
        decodeWord(in);
    }
    return 0;
}
