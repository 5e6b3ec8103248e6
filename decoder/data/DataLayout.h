// Data layouts: the order in which the grid's modules form the bit stream.
#pragma once

#include <cstdint>

#include "common/CodeTypes.h"

namespace qcl {

// Band widths of the two horizontal snakes.
constexpr int kSnakeBandWidth = 4;
constexpr int kShortSnakeBandWidth = 2;
// The scrambled walk restarts on row 1 and steps past at most three columns at a time: it needs
// two rows and four columns to stay inside the grid.
constexpr int kScrambledMinRows = 2;
constexpr int kScrambledMinColumns = 4;

// Every value outside the table (also a negative one) is read as Horizontal.
inline Layout effectiveLayout(Layout layout) {
    const auto value = static_cast<std::uint32_t>(layout);
    return value > static_cast<std::uint32_t>(Layout::Scrambled) ? Layout::Horizontal : layout;
}

// True when walkLayout can walk `layout` over a grid of `rows` x `columns`.
inline bool layoutFits(Layout layout, int rows, int columns) {
    if (rows < 0 || columns < 0) {
        return false;
    }
    if (effectiveLayout(layout) == Layout::Scrambled) {
        return rows >= kScrambledMinRows && columns >= kScrambledMinColumns;
    }
    return true;
}

namespace layout_detail {

template <typename Visit>
void walkVertical(int rows, int columns, bool snake, Visit& visit) {
    int position = 0;
    for (int c = 0; c < columns; ++c) {
        const bool downward = !snake || c % 2 == 0;
        for (int i = 0; i < rows; ++i) {
            const int r = downward ? i : rows - 1 - i;
            visit(position++, r * columns + c);
        }
    }
}

// Bands of `width` columns; even bands run down the grid, odd bands up; inside a band every row
// reverses the direction of the row read before it.
template <typename Visit>
void walkSnake(int rows, int columns, int width, Visit& visit) {
    int position = 0;
    for (int first = 0, band = 0; first < columns; first += width, ++band) {
        const int end = first + width < columns ? first + width : columns;
        const bool downward = band % 2 == 0;
        for (int i = 0; i < rows; ++i) {
            const int r = downward ? i : rows - 1 - i;
            const bool forward = i % 2 == 0;
            for (int j = 0; j < end - first; ++j) {
                const int c = forward ? first + j : end - 1 - j;
                visit(position++, r * columns + c);
            }
        }
    }
}

// Stride walk along every second row, restarting alternately on the odd and the even rows one
// column further right each time. Returns false if the walk would leave the grid.
template <typename Visit>
bool walkScrambled(int rows, int columns, Visit& visit) {
    const int step = columns / 3 + 3;
    int c = 0;
    int r = 0;
    int oddSeed = -1;
    int evenSeed = 0;
    bool restartOdd = true;
    const int count = rows * columns;
    for (int position = 0; position < count; ++position) {
        if (c >= columns) {
            c -= columns;
            r += 2;
        }
        int column = c;
        if (r >= rows) {
            if (restartOdd) {
                r = 1;
                column = ++oddSeed;
            } else {
                r = 0;
                column = ++evenSeed;
            }
            restartOdd = !restartOdd;
        }
        if (column >= columns || r >= rows) {
            return false;
        }
        visit(position, r * columns + column);
        c = column + step;
    }
    return true;
}

}  // namespace layout_detail

// Calls visit(streamPosition, gridIndex) once per module, in stream order (streamPosition 0, 1,
// ...), for a grid of `rows` rings and `columns` data slots (gridIndex = row * columns + column).
// The reader rewrites its module list with it; the writer inverts it. Returns false, having
// visited nothing, when the layout does not fit the grid (see layoutFits: Scrambled on fewer than
// 2 rows or 4 columns, or negative sizes); every walk that returns true is a permutation.
template <typename Visit>
bool walkLayout(Layout layout, int rows, int columns, Visit&& visit) {
    if (!layoutFits(layout, rows, columns)) {
        return false;
    }
    switch (effectiveLayout(layout)) {
        case Layout::Vertical:
            layout_detail::walkVertical(rows, columns, false, visit);
            return true;
        case Layout::VerticalSnake:
            layout_detail::walkVertical(rows, columns, true, visit);
            return true;
        case Layout::HorizontalSnake:
            layout_detail::walkSnake(rows, columns, kSnakeBandWidth, visit);
            return true;
        case Layout::HorizontalShortSnake:
            layout_detail::walkSnake(rows, columns, kShortSnakeBandWidth, visit);
            return true;
        case Layout::Scrambled:
            return layout_detail::walkScrambled(rows, columns, visit);
        case Layout::Horizontal:
        default:
            for (int i = 0; i < rows * columns; ++i) {
                visit(i, i);
            }
            return true;
    }
}

}  // namespace qcl
