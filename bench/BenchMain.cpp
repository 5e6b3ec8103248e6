// The benchmarks' entry point: the benchmark library's, with freed image memory kept in the heap
// as the Quorview program and the Python module keep it, so that a decode is timed as they run it.
#include <benchmark/benchmark.h>

#include "common/ImageMemory.h"

int main(int argc, char** argv) {
    qcl::keepImageMemory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
