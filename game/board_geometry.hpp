// Where the board's squares are, in pixels of the board widget: the drawing
// paints them there, presses are read from there, and assistive technologies
// are told the same bounds.
#pragma once

#include <cstdint>

#include "app.hpp"

constexpr int32_t BOARD_MARGIN = 30;
constexpr int32_t CELL_SIZE = 52;
constexpr double PIECE_RADIUS = CELL_SIZE / 2.8;
constexpr int32_t BOARD_PX = 2 * BOARD_MARGIN + BOARD_SIZE * CELL_SIZE; // 528
// Left (or top) edge of column (or row) `index`; index BOARD_SIZE gives the
// far edge of the grid.
constexpr int32_t square_origin_px(int32_t index)
{
    return BOARD_MARGIN + CELL_SIZE * index;
}
constexpr int32_t square_centre_px(int32_t index)
{
    return square_origin_px(index) + CELL_SIZE / 2;
}
