// Removing a data mask and bringing the modules into stream order.
#pragma once

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// Unmasks `modules` with mask 0..4 and rewrites them into stream order by `layout`.
void applyMaskAndLayout(const SamplingGrid& grid, ModuleList& modules, int maskIndex,
                        Layout layout);

}  // namespace qcl

namespace qcl {

// True when mask `maskIndex` inverts the module at (row, column) of the data grid.
bool maskInverts(int maskIndex, int row, int column);

}  // namespace qcl
