// The evaluation's runs: every variant of every family, level and width read by both readers,
// spread over worker threads; each variant is seeded on its own, so the counts do not depend on
// how many threads run them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/eval/EvalFamilies.h"

namespace qcl::eval {

struct RunOptions {
    std::vector<std::string> families;  // empty: all
    std::vector<int> widths = {576, 320, 200, 160, 120};
    int variants = 8;
    std::uint32_t seed = 2026;
    int threads = 1;
    std::string saveFolder;    // when set, the first variant's pictures of every cell are saved
    std::string missedFolder;  // when set, every picture our reader did not read is saved
};

// Reads of one reader over some variants; times are per call, in milliseconds.
struct ReaderTally {
    int reads = 0;     // every symbol shown reported with its payload, nothing else
    int misreads = 0;  // some payload reported that the picture does not show
    std::vector<double> milliseconds;
    void add(const ReaderTally& other);
};

struct Tally {
    int tries = 0;
    ReaderTally ours, qr;
    void add(const Tally& other);
};

// One family at one width and level. Families without a symbol have width 0.
struct Cell {
    const Family* family = nullptr;
    int width = 0;
    double level = 0.0;
    Tally tally;
};

// Every selected family, width and level in report order (family, then width, then level).
std::vector<Cell> runEvaluation(const RunOptions& options);

}  // namespace qcl::eval
