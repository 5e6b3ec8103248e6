#include "reedsolomon/ErasureDecoder.h"

namespace reedsolomon {
namespace {

// Coefficients x^0..x^2t of every polynomial here; one more for the products of the search.
using Poly = std::array<std::uint8_t, kMaxParity + 2>;

// Field arithmetic through the codec's tables, in plain form.
class Field {
  public:
    explicit Field(const ReedSolomon& codec) : codec_(codec) {}

    std::uint8_t mul(std::uint8_t a, std::uint8_t b) const { return codec_.multiply(a, b); }
    // a / b for b != 0.
    std::uint8_t div(std::uint8_t a, std::uint8_t b) const {
        if (a == 0) {
            return 0;
        }
        return pow(codec_.logarithm(a) - codec_.logarithm(b) + kCodeLength);
    }
    // alpha^exponent, exponent >= 0.
    std::uint8_t pow(int exponent) const {
        return static_cast<std::uint8_t>(codec_.power(exponent));
    }
    int log(std::uint8_t a) const { return codec_.logarithm(a); }

    // p(x) for a polynomial of degree `degree`.
    std::uint8_t eval(const Poly& p, int degree, std::uint8_t x) const {
        std::uint8_t value = 0;
        for (int m = degree; m >= 0; --m) {
            value = static_cast<std::uint8_t>(mul(value, x) ^ p[m]);
        }
        return value;
    }

  private:
    const ReedSolomon& codec_;
};

// The positions a shortened codeword uses: data at the bottom, parity at the top.
struct UsedPositions {
    int data = 0;         // positions 0..data-1
    int parityStart = 0;  // positions parityStart..254
    bool contains(int position) const {
        return position >= 0 && position < kCodeLength &&
               (position < data || position >= parityStart);
    }
};

// S_i = word(alpha^i), i = 1..parity, at syndromes[i]. Returns true when all are zero.
bool syndromesOf(const Field& field, const Word& word, int parity, Poly& syndromes) {
    syndromes.fill(0);
    for (int j = 0; j < kCodeLength; ++j) {
        if (word[j] == 0) {
            continue;
        }
        int exponent = (field.log(word[j]) + j) % kCodeLength;
        for (int i = 1; i <= parity; ++i) {
            syndromes[i] ^= field.pow(exponent);
            exponent += j;
            exponent -= exponent >= kCodeLength ? kCodeLength : 0;
        }
    }
    for (int i = 1; i <= parity; ++i) {
        if (syndromes[i] != 0) {
            return false;
        }
    }
    return true;
}

// Berlekamp-Massey (Massey's form) on sequence[0..length-1]: the shortest recurrence, as the
// connection polynomial `locator` with its length, which is returned.
int shortestRecurrence(const Field& field, const Poly& sequence, int length, Poly& locator) {
    Poly previous{};
    locator.fill(0);
    locator[0] = 1;
    previous[0] = 1;
    int size = 0;
    int shift = 1;
    std::uint8_t previousDiscrepancy = 1;
    for (int n = 0; n < length; ++n) {
        std::uint8_t d = sequence[n];
        for (int i = 1; i <= size; ++i) {
            d ^= field.mul(locator[i], sequence[n - i]);
        }
        if (d == 0) {
            ++shift;
            continue;
        }
        const std::uint8_t scale = field.div(d, previousDiscrepancy);
        const Poly before = locator;
        for (int i = 0; i + shift <= length; ++i) {
            locator[i + shift] ^= field.mul(scale, previous[i]);
        }
        if (2 * size <= n) {
            size = n + 1 - size;
            previous = before;
            previousDiscrepancy = d;
            shift = 1;
        } else {
            ++shift;
        }
    }
    return size;
}

// The erasure list is usable: at most `parity` distinct positions in use.
bool erasuresValid(const std::uint8_t* erasures, int count, int parity, const UsedPositions& used) {
    if (count < 0 || count > parity || (count > 0 && erasures == nullptr)) {
        return false;
    }
    std::array<bool, kCodeLength> seen{};
    for (int k = 0; k < count; ++k) {
        const int position = erasures[k];
        if (!used.contains(position) || seen[position]) {
            return false;
        }
        seen[position] = true;
    }
    return true;
}

// One correction found by the search: where and by how much.
struct Fix {
    int position = 0;
    std::uint8_t value = 0;
};

}  // namespace

ErasureOutcome decodeWithErasures(const ReedSolomon& codec, Word& word,
                                  const std::uint8_t* erasures, int count) {
    const Field field(codec);
    const int parity = codec.parityLength();
    const UsedPositions used{codec.dataLength(), kCodeLength - parity};
    ErasureOutcome refused;
    if (parity == 0 || !erasuresValid(erasures, count, parity, used)) {
        return refused;
    }
    Poly syndromes;
    if (syndromesOf(field, word, parity, syndromes)) {
        return {true, 0};
    }

    // Erasure locator: the product of (1 + X x) over the erased positions' X = alpha^position.
    Poly erasureLocator{};
    erasureLocator[0] = 1;
    for (int k = 0; k < count; ++k) {
        const std::uint8_t x = field.pow(erasures[k]);
        for (int i = k + 1; i > 0; --i) {
            erasureLocator[i] ^= field.mul(erasureLocator[i - 1], x);
        }
    }
    // Syndromes with the erasures taken out: a syndrome sequence of the errors alone, 2t - s long.
    const int length = parity - count;
    Poly errorSyndromes{};
    for (int i = 0; i < length; ++i) {
        for (int m = 0; m <= count; ++m) {
            errorSyndromes[i] ^= field.mul(erasureLocator[m], syndromes[i + 1 + count - m]);
        }
    }
    Poly errorLocator;
    const int errors = shortestRecurrence(field, errorSyndromes, length, errorLocator);
    if (2 * errors > length) {
        return refused;
    }
    // Locator of errors and erasures together.
    const int degree = errors + count;
    Poly locator{};
    for (int i = 0; i <= errors; ++i) {
        for (int m = 0; m <= count; ++m) {
            locator[i + m] ^= field.mul(errorLocator[i], erasureLocator[m]);
        }
    }

    // Its roots alpha^-position, searched among the positions in use only.
    std::array<Fix, kCodeLength> fixes{};
    int found = 0;
    for (int position = 0; position < kCodeLength; ++position) {
        if (!used.contains(position) ||
            field.eval(locator, degree, field.pow(kCodeLength - position)) != 0) {
            continue;
        }
        if (found == degree) {
            return refused;
        }
        fixes[found++].position = position;
    }
    if (found != degree) {
        return refused;
    }

    // Forney: value = omega(X^-1) / locator'(X^-1), omega = S(x) locator(x) mod x^2t with
    // S(x) = S_1 + S_2 x + ...; its degree stays below the locator's.
    Poly omega{};
    for (int k = 0; k < degree; ++k) {
        for (int m = 0; m <= k; ++m) {
            omega[k] ^= field.mul(locator[m], syndromes[k - m + 1]);
        }
    }
    Poly derivative{};
    for (int m = 1; m <= degree; m += 2) {
        derivative[m - 1] = locator[m];
    }
    for (int k = 0; k < found; ++k) {
        const std::uint8_t x = field.pow(kCodeLength - fixes[k].position);
        const std::uint8_t slope = field.eval(derivative, degree - 1, x);
        if (slope == 0) {
            return refused;
        }
        fixes[k].value = field.div(field.eval(omega, degree - 1, x), slope);
    }

    // The fixes must cancel every syndrome, else the word lies beyond the bound of any codeword.
    for (int i = 1; i <= parity; ++i) {
        std::uint8_t sum = syndromes[i];
        for (int k = 0; k < found; ++k) {
            if (fixes[k].value != 0) {
                sum ^= field.mul(fixes[k].value, field.pow(i * fixes[k].position));
            }
        }
        if (sum != 0) {
            return refused;
        }
    }
    std::array<bool, kCodeLength> erased{};
    for (int k = 0; k < count; ++k) {
        erased[erasures[k]] = true;
    }
    ErasureOutcome outcome{true, 0};
    for (int k = 0; k < found; ++k) {
        // A root outside the erasures without an error there is no locator of this word.
        if (!erased[fixes[k].position] && fixes[k].value == 0) {
            return refused;
        }
        outcome.errors += erased[fixes[k].position] ? 0 : 1;
    }
    for (int k = 0; k < found; ++k) {
        word[fixes[k].position] ^= fixes[k].value;
    }
    return outcome;
}

}  // namespace reedsolomon
