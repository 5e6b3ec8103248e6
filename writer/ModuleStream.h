// From the byte block to the modules of the data grid: bits into module values, the layout
// inverted into grid order, the data mask applied.
//
// The reader packs module bits into bytes (each module's bit 0 first), walks the grid in layout
// order and removes one of the masks 0-4; everything here is the reverse of that, built on the
// reader's own layout walk and mask rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl::writer {

// Masks the reader tries: 0 (none) to 4.
constexpr int kMaskCount = 5;

// 3 bits per module for colour codes, 1 for black-and-white.
int bitsPerModule(CodeType codeType);

// `moduleCount` module values in stream order: the block's bits, least significant first,
// `bitsPerModule` bits per module. Bits past the end of the block are 0. Throws QCException
// (InvalidConfiguration) when the modules cannot hold the block.
ModuleList blockToStream(const std::vector<std::uint8_t>& block, int bitsPerModule,
                         std::size_t moduleCount);

// Rearranges a stream-order list of rows * columns values into grid order (row 0 = outermost
// ring), so that the reader's layout walk gives the stream back. Throws QCException
// (InvalidConfiguration) when the layout does not fit the grid or the sizes disagree.
ModuleList streamToGrid(const ModuleList& stream, Layout layout, int rows, int columns);

// Inverts, in place, the grid-order modules that mask `mask` selects. Its own inverse.
void applyMask(ModuleList& grid, int mask, int columns, int bitsPerModule);

// How far the module bits are from an even split: |set bits - clear bits| with `mask` applied.
std::size_t maskImbalance(const ModuleList& grid, int mask, int columns, int bitsPerModule);

// The mask with the smallest imbalance; ties go to the lower index, which the reader tries
// first.
int chooseMask(const ModuleList& grid, int columns, int bitsPerModule);

// Whole path: block -> stream -> grid -> masked grid. `mask` -1 chooses by chooseMask, 0..4
// forces one; `chosenMask` receives the mask used (may be null). Throws QCException
// (InvalidConfiguration) for a mask outside -1..4 and as the steps above.
ModuleList blockToModules(const std::vector<std::uint8_t>& block, CodeType codeType, Layout layout,
                          int rows, int columns, int mask, int* chosenMask);

}  // namespace qcl::writer
