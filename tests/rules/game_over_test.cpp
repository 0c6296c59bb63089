// The end test that the computer opponent's loop asks: a fallen king, eight
// lost soldiers of one side, or a turn beyond the limit.
#include <gtest/gtest.h>

#include "game_state.hpp"

namespace
{

int32_t game_over_unchanged()
{
    const GameState before = snapshot_state();
    const int32_t over = is_game_over();
    EXPECT_TRUE(snapshot_state() == before);
    return over;
}

} // namespace

TEST(RulesGameOver, ANewGameIsNotOver)
{
    new_game_setup();
    EXPECT_EQ(game_over_unchanged(), 0);
}

TEST(RulesGameOver, EitherFallenKingEndsTheGame)
{
    new_game_setup();
    blue_king_alive = 0;
    EXPECT_EQ(game_over_unchanged(), 1);
    new_game_setup();
    red_king_alive = 0;
    EXPECT_EQ(game_over_unchanged(), 1);
}

TEST(RulesGameOver, TheEighthLostSoldierEndsTheGameAndTheSeventhDoesNot)
{
    new_game_setup();
    captured_blue_soldiers = 7;
    captured_red_soldiers = 7;
    EXPECT_EQ(game_over_unchanged(), 0);
    captured_blue_soldiers = 8;
    EXPECT_EQ(game_over_unchanged(), 1);
    captured_blue_soldiers = 7;
    captured_red_soldiers = 8;
    EXPECT_EQ(game_over_unchanged(), 1);
}

TEST(RulesGameOver, TurnSixtyFourIsStillPlayedAndSixtyFiveIsNot)
{
    new_game_setup();
    turn_count = MAX_TURNS;
    EXPECT_EQ(game_over_unchanged(), 0);
    turn_count = MAX_TURNS + 1;
    EXPECT_EQ(game_over_unchanged(), 1);
}

TEST(RulesGameOver, SoldiersLeftOnTheBoardDoNotMatterOnlyTheCounters)
{
    // Eight soldiers off the board without captures (as in a set-up position)
    // do not end the game: the counters do.
    clear_board();
    put(1, 1, CELL_BLUE_KING);
    put(7, 7, CELL_RED_KING);
    EXPECT_EQ(game_over_unchanged(), 0);
}
