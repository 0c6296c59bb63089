// Presses on the board of a built window, handed straight to the press
// handler: selecting, moving, a refused move, the turn passing, presses in
// the margins, and the poll timer in a local game.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "app.hpp"
#include "game_window.hpp"
#include "gui.hpp"
#include "network.hpp"
#include "window_harness.hpp"

namespace
{

const char* const UNTOUCHED = "untouched";

void press(double x, double y)
{
    on_click(nullptr, 1, x, y, nullptr);
}

// Labels given a text that only a rewrite replaces.
void mark_labels_untouched()
{
    for (GtkWidget* label : {blue_score_label, blue_turn_label, turn_center_label, red_score_label, red_turn_label})
        gtk_label_set_markup(GTK_LABEL(label), UNTOUCHED);
}

bool labels_untouched()
{
    for (GtkWidget* label : {blue_score_label, blue_turn_label, turn_center_label, red_score_label, red_turn_label})
        if (label_markup(label) != UNTOUCHED)
            return false;
    return true;
}

int highlighted_squares()
{
    int n = 0;
    for (const auto& row : highlight_moves)
        for (int32_t flag : row)
            n += flag != 0;
    return n;
}

TEST(BoardPresses, PieceOfTheSideToMoveIsSelected)
{
    run_game_window([](GtkApplication*) {
        press_square(2, 2);
        EXPECT_EQ(has_selection, 1);
        EXPECT_EQ(sel_r, 2);
        EXPECT_EQ(sel_c, 2);
        EXPECT_EQ(highlight_moves[3][2], 1);
        EXPECT_EQ(highlight_moves[8][2], 1);
        EXPECT_EQ(highlight_moves[2][8], 1);
        EXPECT_EQ(highlight_moves[1][2], 0);
    });
}

TEST(BoardPresses, MoveIsAppliedAndTheTurnPasses)
{
    run_game_window([](GtkApplication*) {
        press_square(2, 2);
        press_square(4, 2);
        EXPECT_EQ(board[2][2], CELL_EMPTY);
        EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
        EXPECT_EQ(has_selection, 0);
        EXPECT_EQ(highlighted_squares(), 0);
        EXPECT_EQ(turn_count, 2);
        EXPECT_EQ(current_player, PLAYER_RED);
        EXPECT_EQ(label_markup(turn_center_label),
                  "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Rouge</span>");
        EXPECT_EQ(label_markup(blue_score_label),
                  "<span size='18000' weight='bold' foreground='#1E90FF'>Contrôle: 11 | Soldats: 9</span>");
        EXPECT_EQ(label_markup(red_turn_label), "<span size='16000' foreground='#FF3030'>Tour 2 / 64</span>");

        // Red now moves, and a Blue piece no longer answers.
        press_square(3, 1);
        EXPECT_EQ(has_selection, 0);
        press_square(5, 7);
        press_square(5, 3);
        EXPECT_EQ(board[5][3], CELL_RED_SOLDIER);
        EXPECT_EQ(turn_count, 3);
        EXPECT_EQ(current_player, PLAYER_BLUE);
    });
}

TEST(BoardPresses, RefusedMoveOnlyEndsTheSelection)
{
    run_game_window([](GtkApplication*) {
        const Grid before = board;
        press_square(2, 2);
        press_square(3, 3); // diagonal
        EXPECT_EQ(has_selection, 0);
        EXPECT_EQ(highlighted_squares(), 0);
        EXPECT_EQ(board, before);
        EXPECT_EQ(turn_count, 1);
        EXPECT_EQ(current_player, PLAYER_BLUE);

        // A press on another piece of the same side ends the selection
        // without selecting that piece; a further press selects it.
        press_square(2, 2);
        press_square(2, 1);
        EXPECT_EQ(has_selection, 0);
        press_square(2, 1);
        EXPECT_EQ(has_selection, 1);
        EXPECT_EQ(sel_c, 1);
    });
}

TEST(BoardPresses, PressInsideTheGridRewritesTheLabels)
{
    run_game_window([](GtkApplication*) {
        mark_labels_untouched();
        press_square(4, 4); // empty square, nothing selected
        EXPECT_EQ(has_selection, 0);
        EXPECT_EQ(label_markup(red_turn_label), "<span size='16000' foreground='#FF3030'>Tour 1 / 64</span>");
        EXPECT_EQ(label_markup(turn_center_label),
                  "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Bleu</span>");
    });
}

TEST(BoardPresses, PressesInAnyMarginAreIgnored)
{
    run_game_window([](GtkApplication*) {
        const double middle_of_row_2 = BOARD_MARGIN + 2 * CELL_SIZE + CELL_SIZE / 2.0;
        const std::pair<double, double> margins[] = {{10, middle_of_row_2},
                                                     {29.9, middle_of_row_2},
                                                     {0, 0},
                                                     {middle_of_row_2, 10},
                                                     {middle_of_row_2, 29.9},
                                                     {498, middle_of_row_2},
                                                     {527, 300},
                                                     {middle_of_row_2, 498},
                                                     {300, 527},
                                                     {527, 527}};

        for (const auto& [x, y] : margins) {
            mark_labels_untouched();
            press(x, y);
            EXPECT_EQ(has_selection, 0) << x << "," << y;
            EXPECT_TRUE(labels_untouched()) << x << "," << y;
        }

        // Nor do they end a selection.
        press_square(2, 2);
        for (const auto& [x, y] : margins)
            press(x, y);
        EXPECT_EQ(has_selection, 1);
        EXPECT_EQ(sel_r, 2);
        EXPECT_EQ(sel_c, 2);

        // The first pixel inside the grid acts on column 0 and row 0.
        press_square(2, 2);
        press(BOARD_MARGIN, middle_of_row_2);
        EXPECT_EQ(has_selection, 1);
        EXPECT_EQ(sel_c, 0);
        press_square(2, 0);
        press(BOARD_MARGIN + 2 * CELL_SIZE + 1, BOARD_MARGIN);
        EXPECT_EQ(has_selection, 1);
        EXPECT_EQ(sel_r, 0);
    });
}

TEST(BoardPresses, LocalPollFindsNothingToApply)
{
    run_game_window([](GtkApplication*) {
        ASSERT_LT(network_socket, 0);
        const Grid before = board;
        mark_labels_untouched();
        for (int tick = 0; tick < 3; ++tick)
            EXPECT_TRUE(check_network_moves(nullptr));
        EXPECT_EQ(board, before);
        EXPECT_EQ(turn_count, 1);
        EXPECT_EQ(current_player, PLAYER_BLUE);
        EXPECT_TRUE(labels_untouched());
    });
}

} // namespace
