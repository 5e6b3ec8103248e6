// Pieces every fuzz target shares: a quiet logger, the size caps that keep a campaign's memory
// and time bounded, and the reader's own exception as the one expected failure.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

#include "common/ErrorCodes.h"
#include "common/Logger.h"

namespace qcl::fuzz {

// Image files above this size are not tried: the samples fit, and larger inputs spend the
// campaign in the codecs rather than in our code.
constexpr std::size_t kMaxFileBytes = 1 << 17;

// Runs `body`; the reader's own failures are answers, anything else escapes to the fuzzer.
template <typename Body>
void expectingOurErrors(Body&& body) {
    try {
        body();
    } catch (const QCException&) {
    }
}

}  // namespace qcl::fuzz

// The log would cost more than the code under test; the fuzz targets write none of it.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qcl::logger().setConsoleThreshold(qcl::LogLevel::Off);
    qcl::logger().setFileThreshold(qcl::LogLevel::Off);
    return 0;
}
