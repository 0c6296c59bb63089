// The board painted into an image surface and read back pixel by pixel at
// chosen points: background, control tint, grid, discs, king rings, corner
// emblems and the coordinate letters and digits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board_look.hpp"

namespace
{

constexpr int TOLERANCE = 2;
constexpr auto origin = square_origin_px;
constexpr auto centre = square_centre_px;

class BoardDrawing : public ::testing::Test
{
  protected:
    void SetUp() override { new_game_setup(); }
    void TearDown() override
    {
        if (surface)
            cairo_surface_destroy(surface);
    }

    void render(int width, int height)
    {
        if (surface)
            cairo_surface_destroy(surface);
        surface = paint_board(width, height);
    }

    Rgb pixel(int x, int y) const { return surface_pixel(surface, x, y); }

    ::testing::AssertionResult colour_at(int x, int y, Rgb want) const
    {
        const Rgb got = pixel(x, y);
        if (near(got, want, TOLERANCE))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "pixel (" << x << "," << y << ") is " << describe(got) << ", expected " << describe(want);
    }

    bool bright(int x, int y) const
    {
        const Rgb p = pixel(x, y);
        return p.r > 128 && p.g > 128 && p.b > 128;
    }

    // Bounding box of the bright (text) pixels in [x0, x1) × [y0, y1);
    // false when there are none.
    bool ink_box(int x0, int y0, int x1, int y1, int box[4]) const
    {
        box[0] = x1, box[1] = y1, box[2] = -1, box[3] = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (bright(x, y)) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
                }
        return box[2] >= 0;
    }

    // Ink width of a one-character text in the board's font.
    double glyph_width(const char* text) const
    {
        cairo_t* cr = cairo_create(surface);
        cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 14);
        cairo_text_extents_t ext;
        cairo_text_extents(cr, text, &ext);
        cairo_destroy(cr);
        return ext.width;
    }

    void expect_fixed_board() const;

    cairo_surface_t* surface = nullptr;
};

// Everything a new game shows, at the fixed coordinates.
void BoardDrawing::expect_fixed_board() const
{
    for (const BoardPoint& p : new_game_points())
        EXPECT_TRUE(colour_at(p.x, p.y, p.colour)) << p.what;
}

TEST_F(BoardDrawing, NewGameShowsEveryLayerAtItsPlace)
{
    render(BOARD_PX, BOARD_PX);
    expect_fixed_board();
}

TEST_F(BoardDrawing, LargerWidgetKeepsTheBoardAtTheSamePlace)
{
    render(BOARD_PX, BOARD_PX);
    cairo_surface_t* exact = surface;
    surface = paint_board(800, 700);
    expect_fixed_board();
    EXPECT_TRUE(colour_at(700, 600, BACKGROUND));
    EXPECT_TRUE(colour_at(799, 699, BACKGROUND));
    EXPECT_TRUE(colour_at(600, centre(4), BACKGROUND));

    const int exact_stride = cairo_image_surface_get_stride(exact);
    const int stride = cairo_image_surface_get_stride(surface);
    int differing_rows = 0;
    for (int y = 0; y < BOARD_PX; ++y)
        differing_rows += std::memcmp(cairo_image_surface_get_data(exact) + y * exact_stride,
                                      cairo_image_surface_get_data(surface) + y * stride, 4 * BOARD_PX) != 0;
    EXPECT_EQ(differing_rows, 0);
    cairo_surface_destroy(exact);
}

TEST_F(BoardDrawing, ColumnLettersStandCentredAboveTheirColumns)
{
    render(BOARD_PX, BOARD_PX);
    for (int i = 0; i < BOARD_SIZE; ++i) {
        SCOPED_TRACE(i);
        int box[4];
        ASSERT_TRUE(ink_box(origin(i), 0, origin(i + 1), 27, box));
        const double ink_centre = (box[0] + box[2] + 1) / 2.0;
        EXPECT_NEAR(ink_centre, centre(i), 1.5);
        EXPECT_GE(box[3], 16); // sits on the baseline at 18
        EXPECT_LE(box[3], 18);
        const char letter[2] = {char('A' + i), '\0'};
        EXPECT_NEAR(box[2] - box[0] + 1, glyph_width(letter), 2.0);
    }
}

TEST_F(BoardDrawing, RowDigitsStartAtFifteenBesideTheirRows)
{
    render(BOARD_PX, BOARD_PX);
    int box[4];
    for (int j = 0; j < BOARD_SIZE; ++j) {
        SCOPED_TRACE(j);
        ASSERT_TRUE(ink_box(0, origin(j), 27, origin(j + 1), box));
        EXPECT_GE(box[0], 15);
        EXPECT_LE(box[0], 18);
        const double ink_middle = (box[1] + box[3] + 1) / 2.0;
        EXPECT_NEAR(ink_middle, centre(j), 1.5);
    }
    // Nothing else in the margins: no ink left of the digits, nor between letters.
    EXPECT_FALSE(ink_box(0, 0, 14, BOARD_PX, box));
    EXPECT_FALSE(ink_box(origin(4) - 4, 0, origin(4) + 4, 27, box));
}

TEST_F(BoardDrawing, MarkedEmptySquareShowsOnlyTheTintUnderTheGrid)
{
    control_grid[4][4] = CONTROL_BLUE;
    control_grid[4][5] = CONTROL_RED;
    render(BOARD_PX, BOARD_PX);
    EXPECT_TRUE(colour_at(centre(4), centre(4), BLUE_TINT));
    EXPECT_TRUE(colour_at(origin(4) + 3, origin(4) + 3, BLUE_TINT));
    EXPECT_TRUE(colour_at(centre(5), centre(4), RED_TINT));
    EXPECT_TRUE(colour_at(origin(5), centre(4), WHITE)); // the line between them
    EXPECT_TRUE(colour_at(centre(3), centre(4), BACKGROUND));
}

TEST_F(BoardDrawing, UnknownMarkDrawsNothing)
{
    control_grid[4][4] = 7;
    render(BOARD_PX, BOARD_PX);
    EXPECT_TRUE(colour_at(centre(4), centre(4), BACKGROUND));
}

TEST_F(BoardDrawing, SelectionLeavesTheBoardUnchanged)
{
    render(BOARD_PX, BOARD_PX);
    cairo_surface_t* plain = surface;

    has_selection = 1;
    sel_r = 2;
    sel_c = 2;
    compute_possible_moves(2, 2);
    ASSERT_EQ(highlight_moves[4][2], 1);
    surface = paint_board(BOARD_PX, BOARD_PX);

    const size_t bytes = size_t(cairo_image_surface_get_stride(plain)) * BOARD_PX;
    EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(plain), cairo_image_surface_get_data(surface), bytes), 0);
    cairo_surface_destroy(plain);
}

TEST_F(BoardDrawing, DrawingChangesNoGameState)
{
    const Grid board_before = board, control_before = control_grid;
    render(BOARD_PX, BOARD_PX);
    EXPECT_EQ(board, board_before);
    EXPECT_EQ(control_grid, control_before);
}

} // namespace
