// The four-byte move text: board squares to letters and digits and back, and
// what bytes outside the board's range decode to.
#include <cstring>

#include <gtest/gtest.h>

#include "game_state.hpp"
#include "network.hpp"

struct Move {
    int from_row, from_col, to_row, to_col;
    bool operator==(const Move&) const = default;
};

static Move decoded(const char* text)
{
    Move move{};
    decode_move_text(text, &move.from_row, &move.from_col, &move.to_row, &move.to_col);
    return move;
}

static std::string encoded(Move move)
{
    char text[MOVE_TEXT_BYTES + 1];
    std::memset(text, 'x', sizeof text);
    encode_move_text(move.from_row, move.from_col, move.to_row, move.to_col, text);
    EXPECT_EQ(text[MOVE_TEXT_BYTES], '\0');
    return std::string(text, MOVE_TEXT_BYTES);
}

TEST(LinkMoveText, SquaresAreWrittenAsTheBoardEdgesNameThem)
{
    EXPECT_EQ(encoded({2, 4, 5, 4}), "E7E4");
    EXPECT_EQ(encoded({8, 0, 7, 1}), "A1B2");
    EXPECT_EQ(encoded({0, 8, 8, 0}), "I9A1");
}

TEST(LinkMoveText, TextsAreReadBackIntoSquares)
{
    EXPECT_EQ(decoded("E7E4"), (Move{2, 4, 5, 4}));
    EXPECT_EQ(decoded("A1B2"), (Move{8, 0, 7, 1}));
    EXPECT_EQ(decoded("C7C5"), (Move{2, 2, 4, 2}));
}

TEST(LinkMoveText, EveryMoveBetweenTwoSquaresSurvivesTheRoundTrip)
{
    for (int from = 0; from < BOARD_SIZE * BOARD_SIZE; ++from)
        for (int to = 0; to < BOARD_SIZE * BOARD_SIZE; ++to) {
            const Move move{from / BOARD_SIZE, from % BOARD_SIZE, to / BOARD_SIZE, to % BOARD_SIZE};
            ASSERT_EQ(decoded(encoded(move).c_str()), move) << encoded(move);
        }
}

TEST(LinkMoveText, LowerCaseLettersGiveColumnsOffTheBoardThatTheRulesRefuse)
{
    EXPECT_EQ(decoded("a9a9"), (Move{0, 32, 0, 32}));
    EXPECT_EQ(decoded("i1e5"), (Move{8, 40, 4, 36}));

    new_game_setup();
    std::string printed;
    EXPECT_EQ(try_move_printing(0, 32, 0, 32, &printed), 0);
    EXPECT_EQ(printed, "");
}

TEST(LinkMoveText, BytesOfEightyHexAndAboveAreTakenAsNegative)
{
    const char text[] = {'\x80', '\xff', 'A', '\xc9'};
    // column 0x80 - 'A' = -128 - 65; row '9' - 0xff = 57 + 1; row '9' - 0xc9 = 57 + 55
    EXPECT_EQ(decoded(text), (Move{58, -193, 112, 0}));
}
