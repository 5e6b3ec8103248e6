// Reproducible randomness for tests and benchmarks: every fixture draws from a generator whose
// seed is printed on failure, so a failing case can be replayed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qcl::test {

class SeededRandom {
  public:
    explicit SeededRandom(std::uint32_t seed) : seed_(seed), engine_(seed) {}

    std::uint32_t seed() const { return seed_; }
    std::mt19937& engine() { return engine_; }

    int uniformInt(int lo, int hi);            // inclusive range
    double uniformReal(double lo, double hi);  // [lo, hi)
    std::vector<std::uint8_t> bytes(std::size_t count);
    std::string text(std::size_t length, const std::string& alphabet);

  private:
    std::uint32_t seed_;
    std::mt19937 engine_;
};

}  // namespace qcl::test
