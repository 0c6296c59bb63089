// The opponent's answer to a move made by presses on the board, with the
// window's labels and board as real widgets. Runs on a display of its own.
#include <gtk/gtk.h>

#include <ctime>
#include <string>

#include "gui.hpp"
#include "opponent_state.hpp"

// The switch and side as the process started, read before main runs.
static const int32_t ai_enabled_at_start = ai_enabled;
static const int32_t ai_player_at_start = ai_player;

static double centre_px(int32_t index)
{
    return BOARD_MARGIN + CELL_SIZE * index + CELL_SIZE / 2.0;
}

static void press(int32_t row, int32_t col)
{
    on_click(nullptr, 1, centre_px(col), centre_px(row), nullptr);
}

static std::string label_text(GtkWidget* label)
{
    return gtk_label_get_label(GTK_LABEL(label));
}

// A window holding the five status labels and the board widget, the globals
// pointing at them, and a new game with the opponent off.
class OpponentPress : public OpponentTest
{
  protected:
    GtkWidget* window = nullptr;

    void SetUp() override
    {
        OpponentTest::SetUp();
        window = gtk_window_new();
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_window_set_child(GTK_WINDOW(window), box);
        for (GtkWidget** label :
             {&blue_score_label, &blue_turn_label, &turn_center_label, &red_score_label, &red_turn_label}) {
            *label = gtk_label_new(nullptr);
            gtk_box_append(GTK_BOX(box), *label);
        }
        drawing_area = gtk_drawing_area_new();
        gtk_widget_set_size_request(drawing_area, BOARD_PX, BOARD_PX);
        gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(drawing_area), draw_grid, nullptr, nullptr);
        gtk_box_append(GTK_BOX(box), drawing_area);
        gtk_window_present(GTK_WINDOW(window));
        update_labels(blue_score_label, blue_turn_label, red_score_label, red_turn_label);
    }

    void TearDown() override
    {
        gtk_window_destroy(GTK_WINDOW(window));
        blue_score_label = blue_turn_label = turn_center_label = nullptr;
        drawing_area = red_score_label = red_turn_label = nullptr;
        while (g_main_context_pending(nullptr))
            g_main_context_iteration(nullptr, FALSE);
    }

    // Blue's soldier from C7 to C5, in two presses; returns what they printed.
    std::string blue_plays_c7_c5()
    {
        return stdout_of([] {
            press(2, 2);
            press(4, 2);
        });
    }
};

TEST_F(OpponentPress, SwitchAndSideAreOffAtStart)
{
    EXPECT_EQ(ai_enabled_at_start, 0);
    EXPECT_EQ(ai_player_at_start, PLAYER_BLUE);
}

TEST_F(OpponentPress, OpponentAnswersWithinTheSamePress)
{
    std::vector<Square> red_before;
    std::string log;
    // The opponent's draws all fall within one second but in the rarest
    // case; when the clock turns during the press, play it again.
    for (int tries = 1; tries <= 3; ++tries) {
        if (tries > 1) {
            TearDown();
            SetUp();
        }
        // Red's two soldiers that start shut in are gone, so any Red piece
        // the draw picks can move.
        for (const Square sq : {Square{6, 7}, Square{7, 6}}) {
            board[sq[0]][sq[1]] = CELL_EMPTY;
            control_grid[sq[0]][sq[1]] = CONTROL_NONE;
        }
        red_before = pieces_of(PLAYER_RED);
        ai_enabled = 1;
        ai_player = PLAYER_RED;
        const time_t start = std::time(nullptr);
        log = blue_plays_c7_c5();
        if (std::time(nullptr) == start)
            break;
    }

    EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
    EXPECT_EQ(current_player, PLAYER_BLUE) << "Red has answered and passed the turn back";
    EXPECT_EQ(turn_count, 2) << "only the user's move is counted";
    EXPECT_NE(pieces_of(PLAYER_RED), red_before);
    EXPECT_EQ(pieces_of(PLAYER_RED).size(), red_before.size());
    EXPECT_EQ(log.rfind("[LOG] Bleu déplace Soldat de (2,2) vers (4,2)\n", 0), 0u) << log;
    EXPECT_NE(log.find("[LOG] Rouge"), std::string::npos) << log;
    // The labels were written after both moves.
    EXPECT_NE(label_text(turn_center_label).find("Au tour de: Bleu"), std::string::npos);
    EXPECT_NE(label_text(blue_turn_label).find("Tour 2 / 64"), std::string::npos);
    EXPECT_EQ(has_selection, 0);
    EXPECT_TRUE(gtk_widget_get_sensitive(drawing_area));
}

TEST_F(OpponentPress, NoAnswerUnlessTheTurnPassesToTheOpponentsSide)
{
    const struct {
        const char* name;
        int32_t enabled, player;
    } cases[] = {
        {"as the game starts", 0, PLAYER_BLUE},
        {"switch off, Red's side", 0, PLAYER_RED},
        {"switch on, the side that just moved", 1, PLAYER_BLUE},
        {"switch on, not a side", 1, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (&c != cases) { // a fresh window and game for each case
            TearDown();
            SetUp();
        }
        ai_enabled = c.enabled;
        ai_player = c.player;

        const std::string log = blue_plays_c7_c5();

        EXPECT_EQ(log, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)\n");
        EXPECT_EQ(current_player, PLAYER_RED);
        EXPECT_EQ(turn_count, 2);
        EXPECT_NE(label_text(turn_center_label).find("Au tour de: Rouge"), std::string::npos);
    }
}
