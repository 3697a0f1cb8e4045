#pragma once

// Screen positions of the pointer-motion probes: a grid of cells one pixel apart whose
// top left cell is at (left, top); probe n goes to cell n modulo the grid's size, row by
// row, so that a motion the window sees names the probe that caused it.

#include <cstddef>
#include <optional>
#include <utility>

struct PointerGrid {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    std::size_t Size() const {
        return width > 0 && height > 0 ? static_cast<std::size_t>(width) * height : 0;
    }
    // Screen position of probe n (the grid must not be empty).
    std::pair<int, int> At(std::size_t n) const {
        const std::size_t cell = n % Size();
        return {left + static_cast<int>(cell % width), top + static_cast<int>(cell / width)};
    }
    // The cell at a screen position, none outside the grid.
    std::optional<std::size_t> CellOf(int x, int y) const {
        x -= left;
        y -= top;
        if (x < 0 || y < 0 || x >= width || y >= height)
            return std::nullopt;
        return static_cast<std::size_t>(y) * width + x;
    }
};
