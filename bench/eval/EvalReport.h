// The evaluation's written results: the markdown table, the per-level CSV and the misread count.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "bench/eval/EvalRunner.h"

namespace qcl::eval {

// One row per family and width, over all its levels: decode rates of ours and QR, misreads,
// median and 90th-percentile times and the ratio of the medians. Families without a symbol show
// their false positives as misreads and no rates.
void printTable(std::ostream& out, const std::vector<Cell>& cells, bool qr);

// One line per family, level and width. Returns false when the file cannot be written.
bool writeCsv(const std::string& path, const std::vector<Cell>& cells);

// Misreads of our reader, false positives included.
int ourMisreads(const std::vector<Cell>& cells);

// The value below which `share` of the values lie (0 for none).
double percentile(std::vector<double> values, double share);

}  // namespace qcl::eval
