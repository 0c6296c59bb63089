// Draws from the clock-seeded generator, and the opponent's moves.
#include <climits>
#include <ctime>
#include <functional>

#include "opponent_state.hpp"

using OpponentDraws = OpponentTest;
using OpponentMove = OpponentTest;
using OpponentEmptyLists = OpponentTest;

// Runs `attempt` again while a run straddles a change of the clock's second,
// and returns the result of the first run that did not.
template <class Attempt> static auto within_one_second(Attempt attempt)
{
    for (int tries = 1;; ++tries) {
        const time_t start = std::time(nullptr);
        auto result = attempt();
        if (std::time(nullptr) == start || tries == 5)
            return result;
    }
}

TEST_F(OpponentDraws, RandintStaysBelowItsBound)
{
    for (int32_t a = 1; a <= 50; ++a) {
        const int32_t drawn = randint(a);
        EXPECT_GE(drawn, 0) << a;
        EXPECT_LT(drawn, a) << a;
    }
}

TEST_F(OpponentDraws, RandintOverNothingIsZero)
{
    EXPECT_EQ(randint(0), 0);
    EXPECT_EQ(randint(-1), 0);
    EXPECT_EQ(randint(INT_MIN), 0);
}

TEST_F(OpponentDraws, DrawsWithinOneSecondShareOneOutput)
{
    const auto drawn = within_one_second([] { return std::array<int32_t, 3>{randint(12), randint(4), randint(3)}; });
    EXPECT_EQ(drawn[0] % 4, drawn[1]);
    EXPECT_EQ(drawn[0] % 3, drawn[2]);
}

TEST_F(OpponentDraws, RepeatedListingsWithinOneSecondNameTheSamePiece)
{
    ai_player = PLAYER_BLUE;
    const auto listings = within_one_second([] {
        std::array<std::vector<Square>, 3> lists;
        for (auto& list : lists) {
            const int32_t count = ai_option_move();
            list.assign(ai_posi_jouables.begin(), ai_posi_jouables.begin() + count);
        }
        return lists;
    });
    EXPECT_EQ(listings[0], listings[1]);
    EXPECT_EQ(listings[0], listings[2]);
}

struct MoveOutcome {
    int32_t result;
    Grid board;
    std::string log;
};

TEST_F(OpponentDraws, SameMoveTwiceWithinOneSecondOnTheSamePosition)
{
    for (int32_t player : {PLAYER_BLUE, PLAYER_RED}) {
        SCOPED_TRACE(player);
        const auto outcomes = within_one_second([player] {
            std::array<MoveOutcome, 2> outcome;
            for (auto& o : outcome) {
                new_game_setup();
                current_player = ai_player = player;
                o.log = stdout_of([&] { o.result = ai_move(); });
                o.board = board;
            }
            return outcome;
        });
        EXPECT_EQ(outcomes[0].result, outcomes[1].result);
        EXPECT_EQ(outcomes[0].board, outcomes[1].board);
        EXPECT_EQ(outcomes[0].log, outcomes[1].log);
    }
}

TEST_F(OpponentMove, AppliedMovePassesTheTurnButNotTheCounter)
{
    lone_blue_king_in_its_corner();
    ai_player = PLAYER_BLUE;
    turn_count = 7;
    has_selection = 1;
    sel_r = 3;
    sel_c = 0;

    int32_t result = 0;
    const std::string log = stdout_of([&] { result = ai_move(); });

    ASSERT_EQ(result, 1);
    EXPECT_EQ(current_player, PLAYER_RED);
    EXPECT_EQ(turn_count, 7);
    EXPECT_EQ(board[1][1], CELL_EMPTY);
    const bool up = board[0][1] == CELL_BLUE_KING;
    EXPECT_NE(up, board[1][0] == CELL_BLUE_KING) << "the king is on exactly one of its two squares";
    EXPECT_EQ(log,
              up ? "[LOG] Bleu déplace Roi de (1,1) vers (0,1)\n" : "[LOG] Bleu déplace Roi de (1,1) vers (1,0)\n");
    EXPECT_EQ(highlighted(), (std::vector<Square>{{0, 1}, {1, 0}})) << "the listed destinations stay marked";
    EXPECT_EQ(has_selection, 1);
    EXPECT_EQ(sel_r, 3);
    EXPECT_EQ(sel_c, 0);
}

TEST_F(OpponentMove, FillsNoEntryPastEitherCount)
{
    for (int32_t player : {PLAYER_BLUE, PLAYER_RED}) {
        SCOPED_TRACE(player);
        SetUp();
        current_player = ai_player = player;
        stdout_of([] { ai_move(); });
        EXPECT_NE(ai_pieces_jouables[9], UNTOUCHED);
        for (size_t i = 10; i < ai_pieces_jouables.size(); ++i)
            EXPECT_EQ(ai_pieces_jouables[i], UNTOUCHED) << i;
        // The listed destinations are still the marked squares.
        const size_t count = highlighted().size();
        EXPECT_LE(count, 16u);
        for (size_t i = count; i < ai_posi_jouables.size(); ++i)
            EXPECT_EQ(ai_posi_jouables[i], UNTOUCHED) << i;
    }
}

struct EmptyListCase {
    const char* name;
    std::function<void()> arrange;
};

// Whatever the draws, these positions give the opponent nothing to play:
// both calls return 0 and nothing at all changes, not even the marked
// squares a user may be looking at, and nothing is printed.
TEST_F(OpponentEmptyLists, NothingToDrawFromChangesNothing)
{
    const EmptyListCase cases[] = {
        {"no piece of its side",
         [] {
             for (const auto& sq : pieces_of(PLAYER_RED))
                 board[sq[0]][sq[1]] = CELL_EMPTY;
             current_player = ai_player = PLAYER_RED;
         }},
        {"its side is not a side", [] { current_player = ai_player = 2; }},
        {"its side is not a side, Blue to move", [] { ai_player = -1; }},
        {"its only piece is shut in",
         [] {
             blue_soldier_shut_in();
             ai_player = PLAYER_BLUE;
         }},
        {"the other side is to move", [] { ai_player = PLAYER_RED; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.arrange();
        ai_enabled = 1;
        turn_count = 9;
        has_selection = 1;
        sel_r = sel_c = 3;
        highlight_moves[4][4] = highlight_moves[0][8] = 1;
        ai_option_piece(); // the piece list is refilled the same every time
        const GameSnapshot before = snapshot();

        int32_t listed = -1, moved = -1;
        const std::string log = stdout_of([&] {
            listed = ai_option_move();
            moved = ai_move();
        });
        EXPECT_EQ(listed, 0);
        EXPECT_EQ(moved, 0);
        EXPECT_EQ(log, "");
        expect_same_state(before, snapshot());
    }
}
