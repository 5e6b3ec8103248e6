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
using ModuleList = std::vector<std::uint8_t>;

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
