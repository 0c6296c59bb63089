// The opponent's answer to a move made by presses on the board, with the
// window's labels and board as real widgets. Runs on a display of its own.
#include <ctime>
#include <string>

#include "game_window.hpp"
#include "opponent_state.hpp"

// The switch and side as the process started, read before main runs.
static const int32_t ai_enabled_at_start = ai_enabled;
static const int32_t ai_player_at_start = ai_player;

// The game window's widgets, a new game with the opponent off, and the
// labels written for it.
class OpponentPress : public GameWindowTest
{
  protected:
    void SetUp() override
    {
        GameWindowTest::SetUp();
        reset_opponent();
        update_all_labels();
    }

    // Blue's soldier from C7 to C5, in two presses; returns what they printed.
    std::string blue_plays_c7_c5()
    {
        return stdout_of([] {
            press_square(2, 2);
            press_square(4, 2);
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
    EXPECT_NE(label_markup(turn_center_label).find("Au tour de: Bleu"), std::string::npos);
    EXPECT_NE(label_markup(blue_turn_label).find("Tour 2 / 64"), std::string::npos);
    EXPECT_EQ(has_selection, 0);
    EXPECT_FALSE(board_is_frozen(drawing_area));
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
        EXPECT_NE(label_markup(turn_center_label).find("Au tour de: Rouge"), std::string::npos);
    }
}
