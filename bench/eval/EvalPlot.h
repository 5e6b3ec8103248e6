// The evaluation's picture: one panel per family, decode rate against level, our reader and QR
// as two lines per width (false positives for the families without a symbol).
#pragma once

#include <string>
#include <vector>

#include "bench/eval/EvalRunner.h"

namespace qcl::eval {

// Draws the plot and writes it as a PNG. Returns false when it cannot be written.
bool writePlot(const std::string& path, const std::vector<Cell>& cells, bool qr);

}  // namespace qcl::eval
