// Text to symbol content: the writer's top level. Compresses the text, sizes the symbol, builds
// the protected frame and lays it out as the data modules that the renderer draws.
//
//     qcl::writer::SymbolOptions options;
//     options.codeType = qcl::CodeType::Color;
//     const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol("Hello", options);
//     qcl::SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
//                                  renderOptions);
//     cv::Mat image = renderer.render(content.modules);
#pragma once

#include <cstdint>
#include <string>

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl::writer {

struct SymbolOptions {
    CodeType codeType = CodeType::BlackAndWhite;
    ECCtype eccStrength = ECCtype::Medium;
    PayloadType payloadType = PayloadType::Automatic;  // Automatic: the fewest bits
    Layout layout = Layout::HorizontalShortSnake;      // what the reader application reads
    int modulesPerRing = 0;                            // 0: chosen (16, 32, 48, 64 or 80)
    int ringCount = 0;                                 // 0: chosen (at least 2)
    int mask = -1;                                     // -1: chosen; 0..4 forces a mask
};

struct SymbolContent {
    std::int32_t modulesPerRing = 0;
    std::int32_t ringCount = 0;
    CodeType codeType = CodeType::BlackAndWhite;
    int mask = 0;
    // (modulesPerRing - 5) * ringCount values in the reader's grid order: entry
    // row * (modulesPerRing - 5) + column, row 0 the outermost ring, column c the slot c + 3
    // after the start marker; 1 = dark in black-and-white, colour-table values 0..7 in colour.
    ModuleList modules;
    // What went into the symbol, for reports and tests.
    ECCtype eccStrength = ECCtype::Medium;
    PayloadType payloadType = PayloadType::Automatic;
    Layout layout = Layout::HorizontalShortSnake;
    std::uint16_t payloadBits = 0;  // B of the frame header
    std::int32_t blockBytes = 0;    // frame and parity bytes in the grid
};

// Throws QCException with a readable message when the text cannot be written with the options:
// UnknownDataType (BigLetters, unknown type), InvalidInputSymbols (text outside the type's
// alphabet), DataSizeExceedsMaximum (too long for any symbol), NotEnoughCapacity (explicit size
// too small), InvalidConfiguration (impossible size, strength, layout or mask).
SymbolContent encodeSymbol(const std::string& text, const SymbolOptions& options = {});

}  // namespace qcl::writer
