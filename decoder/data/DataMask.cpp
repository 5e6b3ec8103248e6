#include "decoder/data/DataMask.h"

#include "common/Logger.h"
#include "decoder/data/DataLayout.h"

namespace qcl {

namespace {

// Widest module the value mask can cover (one byte per module).
constexpr int kMaxBitsPerModule = 8;

const char* layoutMessage(Layout layout) {
    switch (effectiveLayout(layout)) {
        case Layout::Vertical:
            return "apply vertical layout";
        case Layout::VerticalSnake:
            return "apply vertical snake layout";
        case Layout::HorizontalSnake:
            return "apply horizontal snake layout";
        case Layout::HorizontalShortSnake:
            return "apply small horizontal snake layout";
        case Layout::Scrambled:
            return "apply scrambled layout";
        case Layout::Horizontal:
        default:
            return "apply horizontal layout";
    }
}

// A grid the mask and the layout can work on: at least one data slot per ring, at least one
// ring, one entry per data module and a layout that stays inside the grid.
bool gridFits(const SamplingGrid& grid, const ModuleList& modules, Layout layout) {
    const long long columns = static_cast<long long>(grid.modulesPerRing) - kNonDataSlots;
    const long long rows = grid.ringCount;
    if (columns < 1 || rows < 1 || grid.bitsPerModule < 1 ||
        grid.bitsPerModule > kMaxBitsPerModule) {
        return false;
    }
    if (static_cast<long long>(modules.size()) != columns * rows) {
        return false;
    }
    return layoutFits(layout, static_cast<int>(rows), static_cast<int>(columns));
}

}  // namespace

bool maskInverts(int maskIndex, int row, int column) {
    switch (maskIndex) {
        case 1:
            return row % 2 != 0;
        case 2:
            return (row + column) % 2 != 0;
        case 3:
            return ((row + column) / 2) % 2 != 0;
        case 4:
            // Division truncates toward zero; a negative remainder (-1) still marks an odd value.
            return ((column - row) / 2) % 2 != 0;
        default:
            return false;
    }
}

ErrorCode applyMaskAndLayout(const SamplingGrid& grid, ModuleList& modules, int maskIndex,
                             Layout layout) {
    logDebug() << "try mask                         : " << maskIndex;
    if (!gridFits(grid, modules, layout)) {
        modules.clear();
        return WrongGrid;
    }
    const int columns = grid.modulesPerRing - kNonDataSlots;
    const auto valueMask = static_cast<std::uint8_t>((1 << grid.bitsPerModule) - 1);
    const int count = static_cast<int>(modules.size());
    for (int i = 0; i < count; ++i) {
        if (maskInverts(maskIndex, i / columns, i % columns)) {
            // The complement of the value bits; a doubt above them stays.
            modules[i] = static_cast<std::uint8_t>(modules[i] ^ valueMask);
        }
    }
    {
        auto line = logTrace();
        if (line.enabled()) {
            line << "unmasked modules: ";
            writeModuleList(line, modules);
        }
    }

    logTrace() << layoutMessage(layout);
    if (effectiveLayout(layout) == Layout::Horizontal) {
        return Success;
    }
    const ModuleList gridOrder = modules;
    walkLayout(layout, grid.ringCount, columns,
               [&](int position, int index) { modules[position] = gridOrder[index]; });
    return Success;
}

}  // namespace qcl
