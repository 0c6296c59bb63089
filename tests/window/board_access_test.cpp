// The board as assistive technologies read it, through the toolkit's own
// accessibility test helpers: its role and name, the position it gives after
// a new game, a selection and a move with captures (the board's description
// on GTK 4.8; from 4.10 one object per square, with its bounds and a click
// action), and where the keyboard focus is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_state.hpp"
#include "game_window.hpp"
#include "loopback.hpp"
#include "network.hpp"
#include "standard_output.hpp"
#include "window_harness.hpp"

namespace
{

GtkAccessible* board_accessible()
{
    return GTK_ACCESSIBLE(drawing_area);
}

// "" when the property holds `value`, else what the helper says it holds.
std::string property_mismatch(GtkAccessible* accessible, GtkAccessibleProperty property, const char* value)
{
    char* mismatch = gtk_test_accessible_check_property(accessible, property, value);
    std::string said = mismatch ? mismatch : "";
    g_free(mismatch);
    return said;
}

// Blue's soldier from E7 to E5 takes the red soldier on D5 (enclosed against
// C5) and the one on E4 ahead of it.
void play_double_capture()
{
    set_up_double_capture();
    press_square(2, 4);
    press_square(4, 4);
    ASSERT_EQ(captured_red_soldiers, 2);
}

// Runs `body` in a server's game window once a peer has sent it C7C5 and the
// move has been applied.
void after_received_move(void (*body)(GtkApplication*))
{
    static void (*after)(GtkApplication*);
    after = body;
    Printed printed;
    ASSERT_EQ(capture(printed, [] { return network_init_server(0); }), 0);
    run_game_window([](GtkApplication* app) {
        const int peer = connect_loopback(local_port(network_socket));
        ASSERT_TRUE(send_bytes(peer, "C7C5"));
        const gint64 end = g_get_monotonic_time() + 3 * G_USEC_PER_SEC;
        while (turn_count == 1 && g_get_monotonic_time() < end)
            g_main_context_iteration(nullptr, TRUE);
        ASSERT_EQ(turn_count, 2);
        after(app);
        close(peer);
    });
    network_cleanup();
}

#if GTK_CHECK_VERSION(4, 10, 0)

// The squares in the order assistive technologies walk them.
std::vector<GtkAccessible*> squares()
{
    std::vector<GtkAccessible*> found;
    for (GtkAccessible* a = gtk_accessible_get_first_accessible_child(board_accessible()); a;
         a = gtk_accessible_get_next_accessible_sibling(a)) {
        found.push_back(a);
        g_object_unref(a); // the board keeps its squares
    }
    return found;
}

GtkAccessible* square(int32_t row, int32_t col)
{
    return squares().at(static_cast<size_t>(row * BOARD_SIZE + col));
}

std::string name_mismatch(int32_t row, int32_t col, const char* name)
{
    return property_mismatch(square(row, col), GTK_ACCESSIBLE_PROPERTY_LABEL, name);
}

bool has_state(GtkAccessible* accessible, GtkAccessibleState state)
{
    char* mismatch = gtk_test_accessible_check_state(accessible, state, TRUE);
    g_free(mismatch);
    return mismatch == nullptr;
}

bool selected(int32_t row, int32_t col)
{
    return has_state(square(row, col), GTK_ACCESSIBLE_STATE_SELECTED);
}

bool disabled(GtkAccessible* accessible)
{
    return has_state(accessible, GTK_ACCESSIBLE_STATE_DISABLED);
}

#endif

} // namespace

TEST(BoardAccess, TheBoardHasARoleAndAFrenchName)
{
    run_game_window([](GtkApplication*) {
#if GTK_CHECK_VERSION(4, 10, 0)
        EXPECT_TRUE(gtk_test_accessible_has_role(board_accessible(), GTK_ACCESSIBLE_ROLE_GRID));
#else
        EXPECT_TRUE(gtk_test_accessible_has_role(board_accessible(), GTK_ACCESSIBLE_ROLE_IMG));
#endif
        EXPECT_EQ(property_mismatch(board_accessible(), GTK_ACCESSIBLE_PROPERTY_LABEL, "Plateau"), "");
    });
}

// Tab as the window's binding moves the focus: it leaves the board and, the
// board being the window's one focusable part, comes straight back to it;
// from GTK 4.10 to the cursor's square once there are squares, never to the
// next one.
TEST(BoardAccess, TheBoardHoldsTheFocusAndTabComesBackToTheCursor)
{
    run_game_window([](GtkApplication*) {
        GtkWidget* window = GTK_WIDGET(gtk_widget_get_root(drawing_area));
        const auto focus = [window] { return gtk_root_get_focus(GTK_ROOT(window)); };
        EXPECT_EQ(focus(), drawing_area);
        gtk_widget_child_focus(window, GTK_DIR_TAB_FORWARD);
        EXPECT_EQ(focus(), drawing_area);
#if GTK_CHECK_VERSION(4, 10, 0)
        GtkWidget* const middle = GTK_WIDGET(square(4, 4));
        gtk_widget_child_focus(window, GTK_DIR_TAB_FORWARD);
        EXPECT_EQ(focus(), middle);
        gtk_widget_child_focus(window, GTK_DIR_TAB_FORWARD);
        EXPECT_EQ(focus(), middle);
        gtk_widget_child_focus(window, GTK_DIR_TAB_BACKWARD);
        EXPECT_EQ(focus(), middle);
        // A press takes the cursor, and the focus with it.
        press_square(2, 2);
        EXPECT_EQ(focus(), GTK_WIDGET(square(2, 2)));
#endif
    });
}

#if GTK_CHECK_VERSION(4, 10, 0)

TEST(BoardAccess, EverySquareIsAnObjectWhereItIsDrawn)
{
    run_game_window([](GtkApplication*) {
        const std::vector<GtkAccessible*> all = squares();
        ASSERT_EQ(all.size(), 81u);
        for (int32_t i : {0, 20, 80}) {
            GtkAccessible* parent = gtk_accessible_get_accessible_parent(all[i]);
            EXPECT_EQ(parent, board_accessible());
            g_clear_object(&parent);
            EXPECT_TRUE(gtk_test_accessible_has_role(all[i], GTK_ACCESSIBLE_ROLE_GRID_CELL));
            int x = -1, y = -1, width = -1, height = -1;
            ASSERT_TRUE(gtk_accessible_get_bounds(all[i], &x, &y, &width, &height));
            const int32_t row = i / BOARD_SIZE, col = i % BOARD_SIZE;
            EXPECT_EQ(x, square_origin_px(col)) << i;
            EXPECT_EQ(y, square_origin_px(row)) << i;
            EXPECT_EQ(width, CELL_SIZE);
            EXPECT_EQ(height, CELL_SIZE);
        }
    });
}

TEST(BoardAccess, SquareNamesAndSelectionFollowThePresses)
{
    run_game_window([](GtkApplication*) {
        EXPECT_EQ(name_mismatch(0, 0, "A9, coin"), "");
        EXPECT_EQ(name_mismatch(2, 2, "C7, soldat bleu"), "");
        EXPECT_EQ(name_mismatch(7, 7, "H2, roi rouge"), "");
        EXPECT_EQ(name_mismatch(4, 2, "C5, vide"), "");
        EXPECT_FALSE(selected(2, 2));

        press_square(2, 2);
        EXPECT_TRUE(selected(2, 2));
        press_square(4, 2);
        EXPECT_FALSE(selected(2, 2));
        EXPECT_FALSE(selected(4, 2));
        EXPECT_EQ(name_mismatch(2, 2, "C7, vide, contrôlé par Bleu"), "");
        EXPECT_EQ(name_mismatch(4, 2, "C5, soldat bleu"), "");

        play_double_capture();
        EXPECT_EQ(name_mismatch(4, 4, "E5, soldat bleu"), "");
        EXPECT_EQ(name_mismatch(4, 3, "D5, vide"), "");
        EXPECT_EQ(name_mismatch(5, 4, "E4, vide"), "");
        EXPECT_EQ(name_mismatch(2, 2, "C7, vide"), "");
    });
}

// What a screen reader does with a square it reviews: its "click" action is
// a press in the square's middle, and the selected piece's square says so.
TEST(BoardAccess, ASquaresClickActionPressesItLikeAMouse)
{
    run_game_window([](GtkApplication*) {
        const auto click = [](int32_t row, int32_t col) {
            return gtk_widget_activate_action(GTK_WIDGET(square(row, col)), "click", nullptr);
        };
        EXPECT_TRUE(click(2, 2));
        EXPECT_TRUE(has_selection && sel_r == 2 && sel_c == 2);
        EXPECT_TRUE(selected(2, 2));
        EXPECT_EQ(name_mismatch(2, 2, "C7, soldat bleu, sélectionné"), "");
        EXPECT_TRUE(click(4, 2));
        EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
        EXPECT_EQ(turn_count, 2);
        EXPECT_EQ(name_mismatch(2, 2, "C7, vide, contrôlé par Bleu"), "");

        // The board frozen at the end of the game takes none through its
        // squares, which read as disabled, as it does.
        freeze_board(drawing_area);
        click(7, 7);
        EXPECT_FALSE(has_selection);
        EXPECT_EQ(name_mismatch(7, 7, "H2, roi rouge"), "");
        EXPECT_TRUE(disabled(board_accessible()));
        EXPECT_TRUE(disabled(square(7, 7)));
    });
}

TEST(BoardAccess, AReceivedMoveRenamesItsSquaresLikeALocalOne)
{
    after_received_move([](GtkApplication*) {
        EXPECT_EQ(name_mismatch(2, 2, "C7, vide, contrôlé par Bleu"), "");
        EXPECT_EQ(name_mismatch(4, 2, "C5, soldat bleu"), "");
    });
}

#else

TEST(BoardAccess, TheDescriptionFollowsThePresses)
{
    run_game_window([](GtkApplication*) {
        const std::string start = "Bleu : roi B8 ; soldats C9, D9, C8, D8, A7, B7, C7, A6, B6. "
                                  "Rouge : roi H2 ; soldats H4, I4, G3, H3, I3, F2, G2, F1, G1.";
        const auto description_mismatch = [](const std::string& text) {
            return property_mismatch(board_accessible(), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, text.c_str());
        };
        EXPECT_EQ(description_mismatch(start), "");
        press_square(2, 2);
        EXPECT_EQ(description_mismatch(start + " Pièce sélectionnée : C7."), "");
        press_square(4, 2);
        EXPECT_EQ(description_mismatch("Bleu : roi B8 ; soldats C9, D9, C8, D8, A7, B7, A6, B6, C5. "
                                       "Rouge : roi H2 ; soldats H4, I4, G3, H3, I3, F2, G2, F1, G1."),
                  "");
        play_double_capture();
        EXPECT_EQ(description_mismatch("Bleu : roi pris ; soldats C5, E5. Rouge : roi pris ; aucun soldat."), "");
    });
}

TEST(BoardAccess, AReceivedMoveIsDescribedLikeALocalOne)
{
    after_received_move([](GtkApplication*) {
        EXPECT_EQ(property_mismatch(board_accessible(), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                    "Bleu : roi B8 ; soldats C9, D9, C8, D8, A7, B7, A6, B6, C5. "
                                    "Rouge : roi H2 ; soldats H4, I4, G3, H3, I3, F2, G2, F1, G1."),
                  "");
    });
}

#endif
