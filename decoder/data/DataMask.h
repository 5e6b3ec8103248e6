// Removing a data mask and bringing the modules into stream order.
#pragma once

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// True when mask `maskIndex` (0..4; 0 and 5 or more invert nothing) inverts the module at
// (row, column) of the data grid.
bool maskInverts(int maskIndex, int row, int column);

// Unmasks `modules` (grid order, outermost ring first) with mask `maskIndex` and rewrites them
// into stream order by `layout`. Returns WrongGrid, and leaves `modules` empty, when the grid
// cannot carry data this way: fewer than one data slot per ring (modulesPerRing <= 5), no rings,
// a list whose length is not (modulesPerRing - 5) * ringCount, or Scrambled on fewer than 2 rings
// or 4 data slots. The frame decoder rejects an empty list with WrongGrid as well.
[[nodiscard]] ErrorCode applyMaskAndLayout(const SamplingGrid& grid, ModuleList& modules,
                                           int maskIndex, Layout layout);

}  // namespace qcl
