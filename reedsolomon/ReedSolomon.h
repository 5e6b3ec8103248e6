// Reed-Solomon over GF(256) (primitive polynomial 0x11D, primitive element 2, roots
// alpha^1..alpha^2t) for blocks of up to 255 bytes, shortened: data at codeword positions
// 0..k-1, parity at 255-2t..254, the positions between are a zero fill.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace reedsolomon {

// Symbols of the full code: the non-zero elements of GF(256).
constexpr int kCodeLength = 255;
// Coefficients of x^0..x^8 of the primitive polynomial x^8 + x^4 + x^3 + x^2 + 1.
constexpr int kPrimitiveDegree = 8;
// Largest parity length the work tables hold (2t as an 8-bit number, even).
constexpr int kMaxParity = 254;

// One codec for a data length k and a capability t. Decoding works on the received word held
// in the object and allocates nothing.
class ReedSolomon {
  public:
    // Parity length 2t and information length 255 - 2t are kept as 8-bit numbers; a t above 127
    // therefore wraps like the frame format's 8-bit ECC length.
    ReedSolomon(std::uint8_t dataLength, std::uint8_t t);
    virtual ~ReedSolomon() = default;

    std::uint8_t parityLength() const { return parityLength_; }
    std::uint8_t informationLength() const { return informationLength_; }
    std::uint8_t dataLength() const { return dataLength_; }

    // alpha^exponent for any exponent >= 0; log_alpha of an element, -1 for 0.
    std::int32_t power(int exponent) const { return powerTable_[exponent % kCodeLength]; }
    std::int32_t logarithm(std::uint8_t element) const { return logTable_[element]; }
    std::uint8_t multiply(std::uint8_t a, std::uint8_t b) const;
    // Coefficient of x^i (0..2t) of the generator polynomial, plain form.
    std::uint8_t generatorCoefficient(int i) const;

    // Received word, position 0..254. setReceived stores plain values (held as logarithms until
    // decoding); received() reads the plain value after decode() returned false.
    void clearReceived();
    void setReceived(int position, std::uint8_t value);
    std::uint8_t received(int position) const;

    // Corrects the received word. Returns true when it cannot be corrected, false when it was
    // corrected or had no errors.
    bool decode();
    // True when the last decode() found every syndrome zero (the word was a codeword).
    bool syndromesZero() const { return syndromesZero_; }

    // The 2t parity bytes for `count` data bytes (count <= 255 - 2t): with the data at positions
    // 0..count-1 and the parity at 255-2t..254 the word is a codeword.
    void computeParity(const std::uint8_t* data, int count, std::uint8_t* parity) const;

  private:
    bool computeSyndromes();
    int findErrorLocator();  // degree L of the locator, or a value above t on failure
    bool correctErrors(int degree);

    std::array<std::int32_t, kCodeLength> powerTable_{};
    std::array<std::int32_t, kCodeLength + 1> logTable_{};
    // alpha^e for e = 0..509: the sum of two logarithms needs no reduction.
    std::array<std::int32_t, 2 * kCodeLength> sumPower_{};
    std::array<std::int32_t, kMaxParity + 1> generator_{};  // logarithms, x^0..x^2t
    std::array<std::int32_t, kCodeLength> receivedWord_{};
    std::array<std::int32_t, kPrimitiveDegree + 1> primitivePolynomial_{
        {1, 0, 1, 1, 1, 0, 0, 0, 1}};
    std::uint8_t parityLength_ = 0;
    std::uint8_t informationLength_ = 0;
    std::uint8_t dataLength_ = 0;
    bool plainForm_ = false;
    bool syndromesZero_ = false;

    // Decoding work tables (logarithm form unless noted), sized for the largest parity length.
    std::array<std::int32_t, kMaxParity + 1> syndromes_{};
    std::array<std::int32_t, kMaxParity + 2> discrepancy_{};
    std::array<std::int32_t, kMaxParity + 2> degree_{};
    std::array<std::int32_t, kMaxParity + 2> stepMinusDegree_{};
    // Locator of every Berlekamp-Massey step, plain form (8 bits suffice for field elements).
    std::array<std::array<std::uint8_t, kMaxParity + 2>, kMaxParity + 2> locators_;
    std::array<std::int32_t, kMaxParity + 1> locator_{};  // the final locator, logarithms

    std::array<std::int32_t, kMaxParity + 1> roots_{};
};

// The 2t parity bytes that make data + parity a valid shortened codeword in the placement above
// (the writer's half of the codec). Throws qcl::QCException(EccParamsWrong) when t is 0 or above
// 127, or when data.size() + 2t exceeds 255.
std::vector<std::uint8_t> encodeParity(const std::vector<std::uint8_t>& data, std::uint8_t t);

}  // namespace reedsolomon

namespace qcl {

// The decodeRS stage: corrects a received block of n bytes (data, then its 2t parity bytes) and
// returns the n - 2t data bytes, or an empty block when the errors cannot be corrected. Throws
// QCException(EccParamsWrong, "ECC length must be larger than 0") when 2t, as an 8-bit number,
// is 0. A block shorter than 2t or longer than 255 bytes is rejected with the empty block.
std::vector<std::uint8_t> decodeRS(const std::vector<std::uint8_t>& received, std::uint8_t t);

// decodeRS with the block bytes at `erasures` (positions 0..n-1 of `received`, distinct) known to
// be unreliable: e errors elsewhere and s erasures are corrected whenever 2e + s <= 2t, and the
// result is refused (the empty block) past that, for an erasure list with a repeated position or
// one outside the block, and for a correction that needs a non-zero byte in the zero fill.
// Without erasures it corrects what the decodeRS above corrects, except in the zero fill.
std::vector<std::uint8_t> decodeRS(const std::vector<std::uint8_t>& received, std::uint8_t t,
                                   const std::vector<std::uint8_t>& erasures);

}  // namespace qcl
