// The opponent against a clock that the test sets: draws that straddle a
// change of second, and the game loop waiting for the clock to move on.
#include <glib.h>

#include <cstdlib>
#include <ctime>
#include <deque>

#include "opponent_state.hpp"

static bool clock_set = false;
static std::deque<time_t> next_readings; // read one by one, then `steady`
static time_t steady = 0;
static int readings_taken = 0;

// The program's own time(), in place of the C library's for the whole
// process. Defined under the declaration <ctime> gives, it takes the symbol
// that declaration names on this architecture: `time`, or `__time64` where a
// 32-bit system has a 64-bit time_t (there a link-time wrap of `time` would
// reach nothing). The real clock is read without it.
time_t time(time_t* out) noexcept
{
    time_t now;
    if (clock_set) {
        readings_taken++;
        now = steady;
        if (!next_readings.empty()) {
            now = next_readings.front();
            next_readings.pop_front();
        }
    } else {
        timespec real;
        clock_gettime(CLOCK_REALTIME, &real);
        now = real.tv_sec;
    }
    if (out)
        *out = now;
    return now;
}

static void set_clock(std::deque<time_t> readings, time_t then)
{
    clock_set = true;
    next_readings = std::move(readings);
    steady = then;
    readings_taken = 0;
}

// A second whose draw over `count` entries gives `index`.
static time_t second_drawing(int32_t index, int32_t count, time_t after = 1000)
{
    for (time_t t = after + 1;; ++t) {
        std::srand(static_cast<unsigned>(t));
        if (std::rand() % count == index)
            return t;
    }
}

// Two Blue pieces: entry 0 is a soldier shut in at (0,1), entry 1 a king
// free in the middle of the board.
class OpponentClock : public OpponentTest
{
  protected:
    void SetUp() override
    {
        OpponentTest::SetUp();
        blue_soldier_shut_in();
        put(5, 5, CELL_BLUE_KING);
        ai_player = PLAYER_BLUE;
        ai_option_piece();
    }
    void TearDown() override { clock_set = false; }
};

TEST_F(OpponentClock, SourceComesFromTheFirstDrawWhenTheSecondTurnsBetweenDraws)
{
    const time_t shut_in = second_drawing(0, 2);
    const time_t king = second_drawing(1, 2, shut_in);
    set_clock({shut_in}, king);
    GameSnapshot expected = snapshot();

    int32_t result = -1;
    const std::string log = stdout_of([&] { result = ai_move(); });

    EXPECT_EQ(result, 0) << "the shut-in soldier cannot go where the king can";
    EXPECT_EQ(log, "");
    const auto kings_squares = destinations_of(5, 5);
    ASSERT_EQ(highlighted(), kings_squares) << "the king's squares were listed";
    expected.rules.highlight_moves = highlight_moves;
    std::copy(kings_squares.begin(), kings_squares.end(), expected.ai_posi_jouables.begin());
    expect_same_state(expected, snapshot());
}

TEST_F(OpponentClock, PieceWithoutSquaresDrawnAfterTheSecondTurnsChangesNothing)
{
    const time_t king = second_drawing(1, 2);
    const time_t shut_in = second_drawing(0, 2, king);
    set_clock({king}, shut_in);
    const GameSnapshot before = snapshot();

    int32_t result = -1;
    const std::string log = stdout_of([&] { result = ai_move(); });

    EXPECT_EQ(result, 0);
    EXPECT_EQ(log, "");
    expect_same_state(before, snapshot());
}

static gboolean move_clock_on(gpointer second)
{
    steady = *static_cast<time_t*>(second);
    return G_SOURCE_REMOVE;
}

static gboolean end_when_red_to_move(gpointer)
{
    if (current_player == PLAYER_RED)
        red_king_alive = 0;
    return G_SOURCE_CONTINUE;
}

TEST_F(OpponentClock, GameLoopTriesAgainOnceTheClockMovesOnWithoutSpinning)
{
    ai_enabled = 1;
    time_t king = second_drawing(1, 2);
    set_clock({}, second_drawing(0, 2, king)); // the shut-in soldier, for now
    g_timeout_add(300, move_clock_on, &king);
    const guint referee = g_timeout_add(10, end_when_red_to_move, nullptr);

    int32_t result = 0;
    stdout_of([&] { result = ai_gameloop(); });
    g_source_remove(referee);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(board[5][5], CELL_EMPTY) << "the king moved once the clock had moved on";
    EXPECT_EQ(board[0][1], CELL_BLUE_SOLDIER);
    EXPECT_LT(readings_taken, 50) << "the loop kept reading the clock instead of waiting";
}
