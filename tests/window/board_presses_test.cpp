// Presses on the board of a built window, handed straight to the press
// handler: selecting, moving, a refused move, the turn passing, presses in
// the margins; the poll timer in a local game, and the watch that handles
// what the peer's socket brings as soon as it comes.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "game_state.hpp"
#include "game_window.hpp"
#include "loopback.hpp"
#include "network.hpp"
#include "standard_output.hpp"
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
        EXPECT_EQ(count_flags(highlight_moves), 0);
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
        EXPECT_EQ(count_flags(highlight_moves), 0);
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

// Passes of the main loop over what is ready, none waiting: how many of them
// found something to dispatch within `ms`. A source that stays ready without
// end makes nearly every pass busy.
int busy_passes_within(int ms)
{
    const gint64 end = g_get_monotonic_time() + ms * 1000;
    int busy = 0;
    while (g_get_monotonic_time() < end)
        if (g_main_context_iteration(nullptr, FALSE))
            ++busy;
        else
            g_usleep(1000);
    return busy;
}

// Runs the main loop until `done` holds, for a second at most.
template <class Done> bool iterate_until(Done done)
{
    const gint64 end = g_get_monotonic_time() + G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < end)
        g_main_context_iteration(nullptr, FALSE);
    return done();
}

// Each text is applied within passes of the main loop that never wait, right
// after its bytes are readable. Passes that go to the toolkit's redrawing and
// layout of the last move come first, and how many there are depends on the
// display server's pace, so the bound is generous: fifty passes that never
// wait take a few milliseconds, well short of the 100 ms timer's tick.
constexpr int PASSES_FOR_A_MOVE = 50;

TEST(PeerWatch, AReceivedMoveIsAppliedAsSoonAsItsSocketIsReadable)
{
    Printed printed;
    ASSERT_EQ(capture(printed, [] { return network_init_server(0); }), 0);
    run_game_window([](GtkApplication*) {
        const int peer = connect_loopback(local_port(network_socket));
        ASSERT_TRUE(wait_readable(network_socket));
        g_main_context_iteration(nullptr, FALSE);
        ASSERT_EQ(is_connected, 1);
        int32_t turn = 1;
        for (const char* text : {"C7C5", "G3G5", "B6B5", "H4H5"}) {
            ASSERT_TRUE(send_bytes(peer, text));
            ASSERT_TRUE(wait_readable(client_socket));
            for (int pass = 0; pass < PASSES_FOR_A_MOVE && turn_count == turn; ++pass)
                g_main_context_iteration(nullptr, FALSE);
            EXPECT_EQ(turn_count, ++turn) << text;
        }
        EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
        EXPECT_EQ(board[4][7], CELL_RED_SOLDIER);
        close(peer);
    });
    network_cleanup();
}

TEST(PeerWatch, APeerThatVanishesLeavesNoSourceSpinning)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    Printed printed;
    ASSERT_EQ(capture(printed, [port] { return network_init_client("127.0.0.1", port); }), 0);
    static int server_end;
    server_end = accept_within(listener);
    run_game_window([](GtkApplication*) {
        // The client's socket stays open, readable at its end, until exit.
        close(server_end);
        ASSERT_TRUE(iterate_until([] { return is_connected == 0; }));
        EXPECT_LT(busy_passes_within(300), 30);
    });
    network_cleanup();
    close(listener);

    ASSERT_EQ(capture(printed, [] { return network_init_server(0); }), 0);
    run_game_window([](GtkApplication*) {
        const int peer = connect_loopback(local_port(network_socket));
        ASSERT_TRUE(iterate_until([] { return is_connected == 1; }));
        close_with_reset(peer);
        ASSERT_TRUE(iterate_until([] { return is_connected == 0; }));
        EXPECT_EQ(client_socket, -1);
        EXPECT_LT(busy_passes_within(300), 30);
    });
    network_cleanup();
}

} // namespace
