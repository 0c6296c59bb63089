// The board as it reaches the eye, for every test and benchmark that looks at
// it: the colours it is painted in as 8-bit channels, and the points of a new
// game's board with the colour each must show, in the board widget's own
// coordinates. Squares lie where the game's square_origin_px and
// square_centre_px put them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui.hpp"

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// An opaque colour given in cairo's 0-1 units.
constexpr Rgb rgb(double r, double g, double b)
{
    return {int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5)};
}

constexpr double BACKGROUND_GREY = 0.1;

// A translucent colour over the board's background.
constexpr Rgb over_background(double r, double g, double b, double alpha)
{
    const double under = (1 - alpha) * BACKGROUND_GREY;
    return rgb(alpha * r + under, alpha * g + under, alpha * b + under);
}

constexpr Rgb BACKGROUND = rgb(BACKGROUND_GREY, BACKGROUND_GREY, BACKGROUND_GREY);
constexpr Rgb WHITE = rgb(1, 1, 1);
constexpr Rgb BLUE_TINT = over_background(0.2, 0.4, 1.0, 0.25);
constexpr Rgb RED_TINT = over_background(1.0, 0.2, 0.2, 0.25);
constexpr Rgb BLUE_DISC = rgb(0.1, 0.3, 0.9);
constexpr Rgb RED_DISC = rgb(0.8, 0.1, 0.1);
constexpr Rgb EMBLEM_GREY = rgb(0.5, 0.5, 0.5);
constexpr Rgb CURSOR_YELLOW = rgb(1, 1, 0); // the keyboard's cursor, a frame 4 pixels wide

inline bool near(Rgb a, Rgb b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// WCAG 2 relative luminance of an sRGB colour, and the contrast ratio of two:
// 3 : 1 is what large text needs to be read, 4.5 : 1 text of any size.
inline double luminance(Rgb c)
{
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

inline double contrast_ratio(Rgb a, Rgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline std::string describe(Rgb c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// The board as draw_grid paints it into an image surface of this size.
inline cairo_surface_t* paint_board(int width, int height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    draw_grid(nullptr, cr, width, height, nullptr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

inline Rgb surface_pixel(cairo_surface_t* surface, int x, int y)
{
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    uint32_t argb;
    std::memcpy(&argb, row + 4 * x, sizeof argb);
    return {int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF)};
}

struct BoardPoint {
    int x, y;
    Rgb colour;
    const char* what;
};

// A new game at chosen points: background, control tints under the grid, the
// grid's twenty lines, every disc, the kings' rings and the corner emblems.
inline std::vector<BoardPoint> new_game_points()
{
    const auto o = square_origin_px;
    const auto c = square_centre_px;
    std::vector<BoardPoint> points = {
        {3, 3, BACKGROUND, "top-left margin"},
        {520, 520, BACKGROUND, "bottom-right margin"},
        {510, 300, BACKGROUND, "right margin"},
        {c(4), c(4), BACKGROUND, "empty square (4,4)"},
        {c(4), 26, BACKGROUND, "above the grid"},
        {c(4), 501, BACKGROUND, "below the grid"},
        {o(2) + 6, o(2) + 6, BLUE_TINT, "Blue's square (2,2)"},
        {o(1) + 6, o(1) + 46, BLUE_TINT, "Blue's king square (1,1)"},
        {o(6) + 6, o(6) + 6, RED_TINT, "Red's square (6,6)"},
        {o(7) + 45, o(7) + 45, RED_TINT, "Red's king square (7,7)"},
        {o(8) + 46, o(5) + 46, RED_TINT, "Red's square (5,8)"},
        {o(4) - 2, c(4), WHITE, "grid line, left edge"},
        {o(4) + 1, c(4), WHITE, "grid line, right edge"},
        {o(4) - 3, c(4), BACKGROUND, "left of a grid line"},
        {o(4) + 2, c(4), BACKGROUND, "right of a grid line"},
        {501, o(4), BACKGROUND, "right of the grid"},
        {c(1) + 15, c(1), WHITE, "Blue king's ring"},
        {c(1) - 16, c(1), WHITE, "Blue king's ring"},
        {c(1), c(1) - 16, WHITE, "Blue king's ring"},
        {c(1), c(1), BLUE_DISC, "Blue king's centre"},
        {c(1) + 10, c(1), BLUE_DISC, "Blue king inside its ring"},
        {c(7) + 15, c(7), WHITE, "Red king's ring"},
        {c(7) - 16, c(7), WHITE, "Red king's ring"},
        {c(7), c(7), RED_DISC, "Red king's centre"},
        {c(7) + 10, c(7), RED_DISC, "Red king inside its ring"},
        {c(2) + 15, c(2), BLUE_DISC, "Blue soldier, no ring"},
        {c(6) + 15, c(6), RED_DISC, "Red soldier, no ring"},
    };
    for (int k = 0; k <= BOARD_SIZE; ++k) {
        points.push_back({o(k), c(4) + 13, WHITE, "vertical grid line"});
        points.push_back({c(4) + 13, o(k), WHITE, "horizontal grid line"});
    }
    // Blue's pieces at the start; Red's stand turned half a turn about (4,4).
    const int blue[][2] = {{0, 2}, {0, 3}, {1, 1}, {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}};
    for (const auto& sq : blue) {
        points.push_back({c(sq[1]) - 8, c(sq[0]), BLUE_DISC, "Blue disc"});
        points.push_back({c(8 - sq[1]) - 8, c(8 - sq[0]), RED_DISC, "Red disc"});
    }
    for (const int corner : {0, BOARD_SIZE - 1}) {
        const int x = c(corner), y = c(corner);
        points.insert(points.end(), {{x + 10, y, EMBLEM_GREY, "emblem disc"},
                                     {x, y - 11, EMBLEM_GREY, "emblem disc"},
                                     {x + 16, y, WHITE, "emblem ring"},
                                     {x - 17, y, WHITE, "emblem ring"},
                                     {x + 4, y + 4, WHITE, "emblem square"},
                                     {x - 5, y - 5, WHITE, "emblem square"},
                                     {x + 4, y, WHITE, "emblem square beside the cross"},
                                     {x, y, EMBLEM_GREY, "emblem cross"},
                                     {x - 2, y, EMBLEM_GREY, "emblem cross"},
                                     {x, y + 1, EMBLEM_GREY, "emblem cross"},
                                     {x + 19, y, BACKGROUND, "outside the emblem"},
                                     {o(corner) + 6, o(corner) + 6, BACKGROUND, "corner square"}});
    }
    return points;
}
