// The data grid of one symbol as module sampling, unmasking and frame decoding see it.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

#include "common/CodeTypes.h"
#include "common/Stage.h"

namespace qcl {

// Data slots per ring: every slot but the start marker, its neighbours and the radial zebra.
constexpr std::int32_t kNonDataSlots = 5;

struct SamplingGrid {
    std::int32_t logStage = StageReadData;
    const cv::Mat* image = nullptr;  // warped input, 8-bit BGR, symbol centre at the image centre
    CodeType codeType = CodeType::BlackAndWhite;
    std::int32_t modulesPerRing = 0;
    std::int32_t ringCount = 0;
    std::int32_t bitsPerModule = 1;  // 3 for colour codes
    std::int32_t threshold = 0;      // grey level of the binarisation
    // Frames must also be laid out as the writer lays them out (fill, payload bits, corrections
    // within the strength); off only to measure what header and checksum alone let through.
    bool checkWriterLayout = true;
};

// One value per data module: 1 bit (1 = dark) or 3 bits (colour) each; outermost ring first.
// A reading that weighs its modules puts each module's doubt above the value bits: 0 for a module
// read with confidence (every module of the threshold reading), up to kMaxDoubt for one that lay
// on its threshold. The frame decoder erases the bytes of the most doubtful modules.
using ModuleList = std::vector<std::uint8_t>;

// Value bits of a module that may carry a doubt (modules of up to three bits), and the doubt.
constexpr std::uint8_t kModuleValueBits = 0x7;
constexpr int kDoubtShift = 3;
constexpr std::uint8_t kMaxDoubt = 0xFF >> kDoubtShift;

inline std::uint8_t moduleDoubt(std::uint8_t module) {
    return static_cast<std::uint8_t>(module >> kDoubtShift);
}
inline std::uint8_t withDoubt(std::uint8_t value, std::uint8_t doubt) {
    return static_cast<std::uint8_t>((value & kModuleValueBits) | (doubt << kDoubtShift));
}
// The values alone, doubts dropped.
inline ModuleList moduleValues(ModuleList modules) {
    for (std::uint8_t& module : modules) {
        module &= kModuleValueBits;
    }
    return modules;
}

// Writes a module list in the log's form: "{", every value in decimal followed by ",", "}".
template <typename Stream>
void writeModuleList(Stream& out, const ModuleList& modules) {
    out << "{";
    for (std::uint8_t value : modules) {
        out << static_cast<int>(value) << ",";
    }
    out << "}";
}

}  // namespace qcl
