#include "reedsolomon/ReedSolomon.h"

#include <algorithm>
#include <string>

#include "common/ErrorCodes.h"
#include "common/Stage.h"
#include "reedsolomon/ErasureDecoder.h"

namespace reedsolomon {

namespace {

// Logarithm of the zero element: it contributes nothing to any sum.
constexpr std::int32_t kLogZero = -1;
// Syndromes accumulated side by side.
constexpr int kSyndromeLanes = 4;

}  // namespace

ReedSolomon::ReedSolomon(std::uint8_t dataLength, std::uint8_t t)
    : parityLength_(static_cast<std::uint8_t>(2 * t)),
      informationLength_(static_cast<std::uint8_t>(kCodeLength - 2 * t)),
      dataLength_(dataLength) {
    // alpha^0..alpha^7 are the single bits; alpha^8 is the primitive polynomial's low terms.
    std::int32_t low = 0;
    for (int i = 0; i < kPrimitiveDegree; ++i) {
        powerTable_[i] = 1 << i;
        if (primitivePolynomial_[i] != 0) {
            low ^= powerTable_[i];
        }
    }
    powerTable_[kPrimitiveDegree] = low;
    for (int i = kPrimitiveDegree + 1; i < kCodeLength; ++i) {
        const std::int32_t previous = powerTable_[i - 1];
        powerTable_[i] = previous >= 128 ? (((previous ^ 128) << 1) ^ low) : previous << 1;
    }
    logTable_[0] = kLogZero;
    for (int i = 0; i < kCodeLength; ++i) {
        logTable_[powerTable_[i]] = i;
        sumPower_[i] = powerTable_[i];
        sumPower_[i + kCodeLength] = powerTable_[i];
    }

    // g(x) = (x + alpha)(x + alpha^2)...(x + alpha^2t), built in plain form.
    std::array<std::int32_t, kMaxParity + 1> g{};
    g[0] = powerTable_[1];
    g[1] = 1;
    for (int i = 2; i <= parityLength_; ++i) {
        g[i] = 1;
        for (int j = i - 1; j > 0; --j) {
            g[j] = g[j - 1] ^ (g[j] == 0 ? 0 : sumPower_[logTable_[g[j]] + i]);
        }
        g[0] = sumPower_[logTable_[g[0]] + i];
    }
    for (int i = 0; i <= parityLength_; ++i) {
        generator_[i] = logTable_[g[i]];
    }
}

std::uint8_t ReedSolomon::multiply(std::uint8_t a, std::uint8_t b) const {
    if (a == 0 || b == 0) {
        return 0;
    }
    return static_cast<std::uint8_t>(sumPower_[logTable_[a] + logTable_[b]]);
}

std::uint8_t ReedSolomon::generatorCoefficient(int i) const {
    if (i < 0 || i > parityLength_ || generator_[i] == kLogZero) {
        return 0;
    }
    return static_cast<std::uint8_t>(powerTable_[generator_[i]]);
}

void ReedSolomon::clearReceived() {
    receivedWord_.fill(kLogZero);
    plainForm_ = false;
}

void ReedSolomon::setReceived(int position, std::uint8_t value) {
    receivedWord_[position] = logTable_[value];
}

std::uint8_t ReedSolomon::received(int position) const {
    const std::int32_t value = receivedWord_[position];
    if (plainForm_) {
        return static_cast<std::uint8_t>(value);
    }
    return value == kLogZero ? 0 : static_cast<std::uint8_t>(powerTable_[value]);
}

bool ReedSolomon::decode() {
    const bool clean = computeSyndromes();
    syndromesZero_ = clean;
    bool failed = false;
    if (!clean) {
        const int degree = findErrorLocator();
        failed = degree > parityLength_ / 2 || !correctErrors(degree);
    }
    if (!plainForm_) {
        for (auto& symbol : receivedWord_) {
            symbol = symbol == kLogZero ? 0 : powerTable_[symbol];
        }
        plainForm_ = true;
    }
    return failed;
}

// S_i = r(alpha^i), i = 1..2t, kept as logarithms. Each symbol r_j adds alpha^(log r_j + i j)
// to S_i; the exponent grows by j from one syndrome to the next.
bool ReedSolomon::computeSyndromes() {
    const int parity = parityLength_;
    std::array<std::int32_t, kMaxParity + 1> sums{};
    for (int j = 0; j < kCodeLength; ++j) {
        if (receivedWord_[j] == kLogZero) {
            continue;
        }
        // Four syndromes per round, each with its own exponent, to keep the additions apart.
        const int step = (kSyndromeLanes * j) % kCodeLength;
        std::array<std::int32_t, kSyndromeLanes> exponent{};
        for (int lane = 0; lane < kSyndromeLanes; ++lane) {
            exponent[lane] = (receivedWord_[j] + (lane + 1) * j) % kCodeLength;
        }
        int i = 1;
        for (; i + kSyndromeLanes - 1 <= parity; i += kSyndromeLanes) {
            for (int lane = 0; lane < kSyndromeLanes; ++lane) {
                sums[i + lane] ^= powerTable_[exponent[lane]];
                exponent[lane] += step;
                if (exponent[lane] >= kCodeLength) {
                    exponent[lane] -= kCodeLength;
                }
            }
        }
        for (int lane = 0; i <= parity; ++i, ++lane) {
            sums[i] ^= powerTable_[exponent[lane]];
        }
    }
    bool allZero = true;
    for (int i = 1; i <= parity; ++i) {
        allZero = allZero && sums[i] == 0;
        syndromes_[i] = logTable_[sums[i]];
    }
    return allZero;
}

// Berlekamp-Massey in the tabular form: row u holds the locator of step u - 1 (row 0 is step
// -1), with its discrepancy, its degree and step minus degree. Each new row combines the current
// one with the earlier row of non-zero discrepancy and the largest step minus degree (the later
// row on a tie).
int ReedSolomon::findErrorLocator() {
    const int t = parityLength_ / 2;
    const int parity = parityLength_;
    discrepancy_[0] = 0;
    discrepancy_[1] = syndromes_[1];
    locators_[0][0] = 1;
    locators_[1][0] = 1;
    degree_[0] = 0;
    degree_[1] = 0;
    stepMinusDegree_[0] = -1;
    stepMinusDegree_[1] = 0;
    int u = 0;
    int best = 0;  // earlier row of non-zero discrepancy with the largest step minus degree
    do {
        ++u;
        if (u > 1 && discrepancy_[u - 1] != kLogZero &&
            stepMinusDegree_[u - 1] >= stepMinusDegree_[best]) {
            best = u - 1;
        }
        auto& next = locators_[u + 1];
        const auto& current = locators_[u];
        if (discrepancy_[u] == kLogZero) {
            degree_[u + 1] = degree_[u];
            std::copy(current.begin(), current.begin() + degree_[u] + 1, next.begin());
        } else {
            const int q = best;
            degree_[u + 1] = degree_[u] > degree_[q] + u - q ? degree_[u] : degree_[q] + u - q;
            std::fill(next.begin(), next.begin() + degree_[u + 1] + 1, 0);
            std::int32_t scale = discrepancy_[u] - discrepancy_[q];
            if (scale < 0) {
                scale += kCodeLength;
            }
            for (int i = 0; i <= degree_[q]; ++i) {
                if (locators_[q][i] != 0) {
                    next[i + u - q] =
                        static_cast<std::uint8_t>(sumPower_[scale + logTable_[locators_[q][i]]]);
                }
            }
            for (int i = 0; i <= degree_[u]; ++i) {
                next[i] ^= current[i];
            }
        }
        stepMinusDegree_[u + 1] = u - degree_[u + 1];
        if (u < parity) {
            std::int32_t d = syndromes_[u + 1] == kLogZero ? 0 : powerTable_[syndromes_[u + 1]];
            for (int i = 1; i <= degree_[u + 1]; ++i) {
                if (syndromes_[u + 1 - i] != kLogZero && next[i] != 0) {
                    d ^= sumPower_[syndromes_[u + 1 - i] + logTable_[next[i]]];
                }
            }
            discrepancy_[u + 1] = logTable_[d];
        }
    } while (u < parity && degree_[u + 1] <= t);
    ++u;
    const int degree = degree_[u];
    if (degree > t) {
        return degree;
    }
    for (int i = 0; i <= degree; ++i) {
        locator_[i] = logTable_[locators_[u][i]];
    }
    return degree;
}

// Chien search for the locator's roots, then Forney's formula for the error values.
bool ReedSolomon::correctErrors(int degree) {
    if (degree == 0) {
        return false;  // non-zero syndromes but no error position: not a correctable word
    }
    const auto& sigma = locator_;
    // For every non-zero sigma_j: exponent log(sigma_j) + i j, advanced by j for every next i.
    std::array<std::int32_t, kMaxParity + 1> exponents{};
    std::array<std::int32_t, kMaxParity + 1> steps{};
    int terms = 0;
    for (int j = 1; j <= degree; ++j) {
        if (sigma[j] != kLogZero) {
            exponents[terms] = sigma[j];
            steps[terms++] = j;
        }
    }
    int found = 0;
    for (int i = 1; i <= kCodeLength; ++i) {
        std::int32_t sum = 1;
        for (int m = 0; m < terms; ++m) {
            std::int32_t exponent = exponents[m] + steps[m];
            exponent -= exponent >= kCodeLength ? kCodeLength : 0;
            exponents[m] = exponent;
            sum ^= powerTable_[exponent];
        }
        if (sum == 0) {
            if (found == degree) {
                return false;
            }
            roots_[found++] = i;
        }
    }
    if (found != degree) {
        return false;
    }
    // Z_0 = 1, Z_i = S_i + sigma_i + sum_{j<i} sigma_{i-j} S_j, as logarithms.
    std::array<std::int32_t, kMaxParity + 1> z{};
    for (int i = 1; i <= degree; ++i) {
        std::int32_t value = syndromes_[i] == kLogZero ? 0 : powerTable_[syndromes_[i]];
        value ^= sigma[i] == kLogZero ? 0 : powerTable_[sigma[i]];
        for (int j = 1; j < i; ++j) {
            if (syndromes_[j] != kLogZero && sigma[i - j] != kLogZero) {
                value ^= sumPower_[syndromes_[j] + sigma[i - j]];
            }
        }
        z[i] = logTable_[value];
    }
    for (int i = 0; i < kCodeLength; ++i) {
        receivedWord_[i] = receivedWord_[i] == kLogZero ? 0 : powerTable_[receivedWord_[i]];
    }
    plainForm_ = true;
    for (int k = 0; k < degree; ++k) {
        const int root = roots_[k];
        const int position = (kCodeLength - root) % kCodeLength;
        std::int32_t numerator = 1;
        for (int j = 1; j <= degree; ++j) {
            if (z[j] != kLogZero) {
                numerator ^= sumPower_[z[j] + (j * root) % kCodeLength];
            }
        }
        if (numerator == 0) {
            continue;
        }
        std::int32_t denominator = 0;  // logarithm of the product over the other roots
        for (int m = 0; m < degree; ++m) {
            if (m != k) {
                const int term = 1 ^ sumPower_[kCodeLength - roots_[m] + root];
                denominator += logTable_[term];
            }
        }
        const std::int32_t value =
            powerTable_[(logTable_[numerator] - denominator % kCodeLength + kCodeLength) %
                        kCodeLength];
        receivedWord_[position] ^= value;
    }
    return true;
}

// Parity at the high positions: with p(x) = x^2t d(x) mod g(x), d(x) + x^(255-2t) p(x) is a
// multiple of g(x), because g(x) divides x^255 - 1.
void ReedSolomon::computeParity(const std::uint8_t* data, int count, std::uint8_t* parity) const {
    const int p = parityLength_;
    for (int i = 0; i < p; ++i) {
        parity[i] = 0;
    }
    for (int j = count - 1; j >= 0; --j) {
        const std::uint8_t feedback = static_cast<std::uint8_t>(data[j] ^ parity[p - 1]);
        for (int i = p - 1; i > 0; --i) {
            parity[i] = static_cast<std::uint8_t>(parity[i - 1] ^
                                                  multiply(generatorCoefficient(i), feedback));
        }
        parity[0] = multiply(generatorCoefficient(0), feedback);
    }
}

std::vector<std::uint8_t> encodeParity(const std::vector<std::uint8_t>& data, std::uint8_t t) {
    if (t == 0 || 2 * t > kMaxParity) {
        throw qcl::QCException(qcl::EccParamsWrong, "ECC length must be larger than 0");
    }
    if (data.size() + 2u * t > static_cast<std::size_t>(kCodeLength)) {
        throw qcl::QCException(qcl::EccParamsWrong, "data and parity exceed 255 bytes");
    }
    const ReedSolomon codec(static_cast<std::uint8_t>(data.size()), t);
    std::vector<std::uint8_t> parity(2u * t);
    codec.computeParity(data.data(), static_cast<int>(data.size()), parity.data());
    return parity;
}

}  // namespace reedsolomon

namespace qcl {
namespace {

// Logs the stage and checks that `received` can be a shortened codeword of capability t; returns
// its data length k, or -1 when it cannot. Throws for a parity length of 0.
int dataLengthOf(const std::vector<std::uint8_t>& received, std::uint8_t t) {
    logStage(StageDecodeRS);
    const auto parity = static_cast<std::uint8_t>(2 * t);
    if (parity == 0) {
        throw QCException(EccParamsWrong, "ECC length must be larger than 0");
    }
    // A block shorter than its parity (the data length would wrap) or longer than the full code
    // cannot be a shortened codeword.
    if (received.size() < parity ||
        received.size() > static_cast<std::size_t>(reedsolomon::kCodeLength)) {
        return -1;
    }
    return static_cast<int>(received.size()) - parity;
}

// Codeword position of block byte i: the data bytes at the bottom, the parity at the top.
int codewordPosition(int i, int dataLength, int parity) {
    return i < dataLength ? i : reedsolomon::kCodeLength - parity + (i - dataLength);
}

}  // namespace

std::vector<std::uint8_t> decodeRS(const std::vector<std::uint8_t>& received, std::uint8_t t) {
    const int k = dataLengthOf(received, t);
    if (k < 0) {
        return {};
    }
    const int parity = static_cast<int>(received.size()) - k;
    reedsolomon::ReedSolomon codec(static_cast<std::uint8_t>(k), t);
    codec.clearReceived();
    for (int i = 0; i < k; ++i) {
        codec.setReceived(i, received[i]);
    }
    const int parityStart = reedsolomon::kCodeLength - parity;
    for (int i = 0; i < parity; ++i) {
        codec.setReceived(parityStart + i, received[k + i]);
    }
    if (codec.decode()) {
        return {};
    }
    std::vector<std::uint8_t> data(k);
    for (int i = 0; i < k; ++i) {
        data[i] = codec.received(i);
    }
    return data;
}

std::vector<std::uint8_t> decodeRS(const std::vector<std::uint8_t>& received, std::uint8_t t,
                                   const std::vector<std::uint8_t>& erasures) {
    const int k = dataLengthOf(received, t);
    if (k < 0) {
        return {};
    }
    const int n = static_cast<int>(received.size());
    const int parity = n - k;
    std::array<std::uint8_t, reedsolomon::kCodeLength> positions{};
    if (erasures.size() > positions.size()) {
        return {};
    }
    for (std::size_t e = 0; e < erasures.size(); ++e) {
        if (erasures[e] >= n) {
            return {};
        }
        positions[e] = static_cast<std::uint8_t>(codewordPosition(erasures[e], k, parity));
    }
    const reedsolomon::ReedSolomon codec(static_cast<std::uint8_t>(k), t);
    reedsolomon::Word word{};
    for (int i = 0; i < n; ++i) {
        word[codewordPosition(i, k, parity)] = received[i];
    }
    const reedsolomon::ErasureOutcome outcome = reedsolomon::decodeWithErasures(
        codec, word, positions.data(), static_cast<int>(erasures.size()));
    if (!outcome.corrected) {
        return {};
    }
    return std::vector<std::uint8_t>(word.begin(), word.begin() + k);
}

}  // namespace qcl
