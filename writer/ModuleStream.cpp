#include "writer/ModuleStream.h"

#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/DataLayout.h"
#include "decoder/data/DataMask.h"

namespace qcl::writer {
namespace {

// Colour modules carry three bits (eight colours), black-and-white modules one.
constexpr int kColorBits = 3;

int popCount(std::uint8_t value) {
    int count = 0;
    for (; value != 0; value &= static_cast<std::uint8_t>(value - 1)) {
        ++count;
    }
    return count;
}

}  // namespace

int bitsPerModule(CodeType codeType) {
    return codeType == CodeType::Color ? kColorBits : 1;
}

ModuleList blockToStream(const std::vector<std::uint8_t>& block, int bitsPerModule,
                         std::size_t moduleCount) {
    const std::size_t bitCount = block.size() * 8;
    if (bitsPerModule < 1 || moduleCount * static_cast<std::size_t>(bitsPerModule) < bitCount) {
        throw QCException(InvalidConfiguration, std::to_string(moduleCount) +
                                                    " modules cannot hold " +
                                                    std::to_string(block.size()) + " bytes");
    }
    ModuleList stream(moduleCount, 0);
    for (std::size_t bit = 0; bit < bitCount; ++bit) {
        if ((block[bit / 8] >> (bit % 8)) & 1u) {
            const std::size_t module = bit / static_cast<std::size_t>(bitsPerModule);
            const std::size_t shift = bit % static_cast<std::size_t>(bitsPerModule);
            stream[module] = static_cast<std::uint8_t>(stream[module] | (1u << shift));
        }
    }
    return stream;
}

ModuleList streamToGrid(const ModuleList& stream, Layout layout, int rows, int columns) {
    if (rows < 1 || columns < 1 ||
        stream.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)) {
        throw QCException(InvalidConfiguration,
                          std::to_string(stream.size()) + " modules do not fill a grid of " +
                              std::to_string(rows) + " x " + std::to_string(columns));
    }
    ModuleList grid(stream.size(), 0);
    const bool walked = walkLayout(layout, rows, columns, [&](int position, int gridIndex) {
        grid[static_cast<std::size_t>(gridIndex)] = stream[static_cast<std::size_t>(position)];
    });
    if (!walked) {
        throw QCException(InvalidConfiguration,
                          "layout " + toString(layout) + " does not fit a grid of " +
                              std::to_string(rows) + " x " + std::to_string(columns));
    }
    return grid;
}

void applyMask(ModuleList& grid, int mask, int columns, int bitsPerModule) {
    const auto valueMask = static_cast<std::uint8_t>((1u << bitsPerModule) - 1u);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const int row = static_cast<int>(i) / columns;
        const int column = static_cast<int>(i) % columns;
        if (maskInverts(mask, row, column)) {
            grid[i] = static_cast<std::uint8_t>(valueMask - grid[i]);
        }
    }
}

std::size_t maskImbalance(const ModuleList& grid, int mask, int columns, int bitsPerModule) {
    long long setBits = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const int row = static_cast<int>(i) / columns;
        const int column = static_cast<int>(i) % columns;
        const int ones = popCount(grid[i]);
        setBits += maskInverts(mask, row, column) ? bitsPerModule - ones : ones;
    }
    const long long allBits = static_cast<long long>(grid.size()) * bitsPerModule;
    const long long difference = 2 * setBits - allBits;
    return static_cast<std::size_t>(difference < 0 ? -difference : difference);
}

int chooseMask(const ModuleList& grid, int columns, int bitsPerModule) {
    int best = 0;
    std::size_t bestImbalance = maskImbalance(grid, 0, columns, bitsPerModule);
    for (int mask = 1; mask < kMaskCount; ++mask) {
        const std::size_t imbalance = maskImbalance(grid, mask, columns, bitsPerModule);
        if (imbalance < bestImbalance) {
            best = mask;
            bestImbalance = imbalance;
        }
    }
    return best;
}

ModuleList blockToModules(const std::vector<std::uint8_t>& block, CodeType codeType, Layout layout,
                          int rows, int columns, int mask, int* chosenMask) {
    if (mask < -1 || mask >= kMaskCount) {
        throw QCException(InvalidConfiguration,
                          "mask " + std::to_string(mask) + " is not one of 0..4 (or -1: choose)");
    }
    const int bits = bitsPerModule(codeType);
    const std::size_t count = static_cast<std::size_t>(rows < 0 ? 0 : rows) *
                              static_cast<std::size_t>(columns < 0 ? 0 : columns);
    ModuleList grid = streamToGrid(blockToStream(block, bits, count), layout, rows, columns);
    const int used = mask < 0 ? chooseMask(grid, columns, bits) : mask;
    applyMask(grid, used, columns, bits);
    if (chosenMask != nullptr) {
        *chosenMask = used;
    }
    return grid;
}

}  // namespace qcl::writer
