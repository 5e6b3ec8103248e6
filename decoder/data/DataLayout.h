// Data layouts: the order in which the grid's modules form the bit stream.
#pragma once

#include "common/CodeTypes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// Calls visit(streamPosition, gridIndex) once per module, in stream order, for a grid of `rows`
// rings and `columns` data slots (gridIndex = row * columns + column). The reader rewrites its
// module list with it; the writer inverts it. Implemented in this header (template).
//     template <typename Visit>
//     void walkLayout(Layout layout, int rows, int columns, Visit&& visit);

}  // namespace qcl
