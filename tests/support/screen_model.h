// The program's text writer as a plain grid, a cell at a time: every byte one
// cell, wrapping at the right edge, the scroll owed after the bottom-right
// cell and made by whatever comes next, and line ends. For holding the writer,
// which works a row segment at a time through the console, to its rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace screen_model {

struct Cell {
    unsigned char character;
    std::uint16_t attribute;
};

struct Screen {
    int width = 0, height = 0;
    std::vector<Cell> cells;  // row-major
    int column = 0, row = 0;  // the cursor, 0-based
    bool scrollOwed = false;
    std::uint16_t attribute = 7;  // of every cell written and every blank made

    Cell &At(int x, int y) { return cells[static_cast<std::size_t>(y) * width + x]; }

    // Everything but the first row moves up one, and the last row is blanked.
    // A screen of one row has nothing below its first row to move, and the
    // console leaves it as it is.
    void ScrollUp() {
        if (height < 2) return;
        cells.erase(cells.begin(), cells.begin() + width);
        cells.insert(cells.end(), static_cast<std::size_t>(width), Cell{' ', attribute});
    }

    void WriteText(const std::string &text) {
        for (char c : text) {
            if (scrollOwed) {
                ScrollUp();
                scrollOwed = false;
            }
            At(column, row) = Cell{static_cast<unsigned char>(c), attribute};
            ++column;
            if (column == width) {
                column = 0;
                if (row == height - 1)
                    scrollOwed = true;
                else
                    ++row;
            }
        }
    }

    void WriteLineEnd() {
        if (row == height - 1) {
            if (scrollOwed) ScrollUp();
            ScrollUp();
        } else {
            ++row;
        }
        column = 0;
        scrollOwed = false;
    }
};

}  // namespace screen_model
