#include "decoder/data/ErasureChoice.h"

#include <algorithm>
#include <cmath>

namespace qcl {
namespace {

// Erasure reads tried at one strength.
constexpr std::size_t kMaxTries = 3;
// Values a wrong byte can take.
constexpr double kWrongValues = 255.0;
constexpr double kBitsPerByte = 8.0;

// log2 of the binomial coefficient n over k.
double log2Choose(int n, int k) {
    return (std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)) / std::log(2.0);
}

// The most errors a read with `erasures` erasures may correct while its accepted share stays at
// or below `limit`; -1 when not even an error-free read does.
int errorsWithin(std::size_t length, int parity, int erasures, double limit) {
    int errors = -1;
    while (2 * (errors + 1) + erasures <= parity &&
           acceptedShare(length, parity, erasures, errors + 1) <= limit) {
        ++errors;
    }
    return errors;
}

}  // namespace

std::vector<std::uint8_t> byteDoubts(const ModuleList& modules, int bitsPerModule,
                                     std::size_t capacity) {
    std::vector<std::uint8_t> doubts(capacity, 0);
    std::size_t bit = 0;
    for (const std::uint8_t module : modules) {
        const std::uint8_t doubt = moduleDoubt(module);
        for (int b = 0; b < bitsPerModule; ++b, ++bit) {
            const std::size_t byte = bit / 8;
            if (byte < capacity) {
                doubts[byte] = std::max(doubts[byte], doubt);
            }
        }
    }
    return doubts;
}

double acceptedShare(std::size_t length, int parity, int erasures, int errors) {
    // Words within `errors` changes of a codeword on the n - s positions not erased, in log2.
    const int free = static_cast<int>(length) - erasures;
    double reach = 0.0;  // log2 of the sum, accumulated as log2(2^reach + 2^term)
    for (int j = 1; j <= std::min(errors, free); ++j) {
        const double term = log2Choose(free, j) + j * std::log2(kWrongValues);
        reach = std::max(reach, term) + std::log2(1.0 + std::exp2(-std::abs(reach - term)));
    }
    return reach - kBitsPerByte * (parity - erasures);
}

std::vector<ErasureTry> erasureTries(const std::vector<std::uint8_t>& doubts, std::size_t t) {
    std::vector<std::uint8_t> order;
    for (std::size_t i = 0; i < doubts.size() && i <= 0xFF; ++i) {
        if (doubts[i] > 0) {
            order.push_back(static_cast<std::uint8_t>(i));
        }
    }
    if (order.empty()) {
        return {};
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint8_t a, std::uint8_t b) { return doubts[a] > doubts[b]; });
    const int parity = static_cast<int>(2 * t);
    const double designed = acceptedShare(doubts.size(), parity, 0, static_cast<int>(t));
    std::vector<ErasureTry> tries;
    // Every try allows one more error than the one before and erases as many bytes as that leaves.
    for (int errors = 0; 2 * errors < parity && tries.size() < kMaxTries; ++errors) {
        int erasures = parity - 2 * errors;
        while (erasures > 0 && acceptedShare(doubts.size(), parity, erasures, errors) > designed) {
            --erasures;
        }
        erasures = std::min(erasures, static_cast<int>(order.size()));
        if (erasures <= 0) {
            break;
        }
        if (!tries.empty() && static_cast<int>(tries.back().erasures.size()) == erasures) {
            continue;
        }
        ErasureTry next;
        next.erasures.assign(order.begin(), order.begin() + erasures);
        next.maxErrors = errorsWithin(doubts.size(), parity, erasures, designed);
        tries.push_back(std::move(next));
    }
    return tries;
}

}  // namespace qcl
