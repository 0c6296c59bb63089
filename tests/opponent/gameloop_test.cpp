// The opponent's game loop, driven by sources on the default main context
// the way the window's handlers would drive it.
#include <glib.h>

#include "opponent_state.hpp"

// Ends a test that would otherwise wait for ever: ends the game and notes it.
static constexpr guint WATCHDOG_MS = 20000;

static gboolean end_the_game(gpointer)
{
    red_king_alive = 0;
    return G_SOURCE_REMOVE;
}

static gboolean watchdog(gpointer fired)
{
    *static_cast<bool*>(fired) = true;
    return end_the_game(nullptr);
}

// The user's side: the first legal move in reading order, then the turn
// passes as after a press.
static void play_first_move_of_side_to_move()
{
    for (const auto& from : pieces_of(current_player))
        for (const auto& to : destinations_of(from[0], from[1]))
            if (try_move(from[0], from[1], to[0], to[1])) {
                turn_count++;
                current_player = other_player(current_player);
                return;
            }
}

static gboolean user_plays_blue(gpointer)
{
    if (current_player == PLAYER_BLUE && !is_game_over())
        play_first_move_of_side_to_move();
    return G_SOURCE_CONTINUE;
}

// The tests end the game from a source; a watchdog ends it if the loop
// never lets the main loop run or never notices the end.
class OpponentGameLoop : public OpponentTest
{
  protected:
    bool watchdog_fired = false;
    guint watchdog_id = 0;
    void SetUp() override
    {
        OpponentTest::SetUp();
        watchdog_id = g_timeout_add(WATCHDOG_MS, watchdog, &watchdog_fired);
    }
    void TearDown() override
    {
        if (!watchdog_fired)
            g_source_remove(watchdog_id);
        EXPECT_FALSE(watchdog_fired) << "the loop did not return on its own";
        while (g_main_context_pending(nullptr))
            g_main_context_iteration(nullptr, FALSE);
    }
};

TEST_F(OpponentGameLoop, ReturnsAtOnceWhenTheGameIsAlreadyOver)
{
    ai_enabled = 1;
    ai_player = PLAYER_BLUE;
    turn_count = MAX_TURNS + 1;
    const GameSnapshot before = snapshot();
    EXPECT_EQ(ai_gameloop(), 1);
    expect_same_state(before, snapshot());
}

TEST_F(OpponentGameLoop, WaitsOnTheMainLoopWhileSwitchedOff)
{
    ai_player = PLAYER_BLUE; // its side to move, but the switch is off
    g_timeout_add(50, end_the_game, nullptr);
    const Grid start = board;
    EXPECT_EQ(ai_gameloop(), 1);
    EXPECT_EQ(board, start);
}

TEST_F(OpponentGameLoop, AnswersWhenAMainLoopSourcePassesItTheTurnThenReturnsAtTheEnd)
{
    // Red is the opponent; the user's Blue moves come from a source, the
    // second of them past the turn limit.
    ai_enabled = 1;
    ai_player = PLAYER_RED;
    turn_count = MAX_TURNS - 1;
    const guint user = g_timeout_add(10, user_plays_blue, nullptr);

    int32_t result = 0;
    const std::string log = stdout_of([&] { result = ai_gameloop(); });
    g_source_remove(user);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(turn_count, MAX_TURNS + 1) << "two user moves; the opponent's is not counted";
    EXPECT_EQ(current_player, PLAYER_RED);
    EXPECT_EQ(log.find("[LOG] Bleu"), 0u) << log;
    const size_t red = log.find("[LOG] Rouge");
    EXPECT_NE(red, std::string::npos) << log;
    EXPECT_EQ(log.find("[LOG] Rouge", red + 1), std::string::npos) << "one opponent move only\n" << log;
}

TEST_F(OpponentGameLoop, KeepsTheMainLoopRunningWhileItsSideCannotMove)
{
    blue_soldier_shut_in();
    ai_enabled = 1;
    ai_player = PLAYER_BLUE;
    g_timeout_add(50, end_the_game, nullptr);
    const Grid start = board;
    EXPECT_EQ(ai_gameloop(), 1);
    EXPECT_EQ(board, start);
}
