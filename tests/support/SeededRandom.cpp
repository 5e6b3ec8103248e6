#include "support/SeededRandom.h"

namespace qcl::test {

int SeededRandom::uniformInt(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(engine_);
}

double SeededRandom::uniformReal(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(engine_);
}

std::vector<std::uint8_t> SeededRandom::bytes(std::size_t count) {
    std::vector<std::uint8_t> out(count);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(uniformInt(0, 255));
    }
    return out;
}

std::string SeededRandom::text(std::size_t length, const std::string& alphabet) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        out += alphabet[static_cast<std::size_t>(
            uniformInt(0, static_cast<int>(alphabet.size()) - 1))];
    }
    return out;
}

}  // namespace qcl::test
