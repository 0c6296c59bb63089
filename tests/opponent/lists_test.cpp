// The opponent's two lists: its pieces, then the squares one drawn piece
// can reach.
#include <algorithm>

#include "opponent_state.hpp"

using OpponentPieceList = OpponentTest;
using OpponentDestinations = OpponentTest;

// The first `count` entries of a list.
template <size_t N> static std::vector<Square> head(const std::array<Square, N>& list, int32_t count)
{
    return {list.begin(), list.begin() + count};
}

TEST_F(OpponentPieceList, BlueStartingPiecesComeInReadingOrder)
{
    ai_player = PLAYER_BLUE;
    ASSERT_EQ(ai_option_piece(), 10);
    const std::vector<Square> expected = {{0, 2}, {0, 3}, {1, 1}, {1, 2}, {1, 3},
                                          {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}};
    EXPECT_EQ(head(ai_pieces_jouables, 10), expected);
}

TEST_F(OpponentPieceList, RedStartingPiecesComeInReadingOrder)
{
    ai_player = PLAYER_RED;
    ASSERT_EQ(ai_option_piece(), 10);
    const std::vector<Square> expected = {{5, 7}, {5, 8}, {6, 6}, {6, 7}, {6, 8},
                                          {7, 5}, {7, 6}, {7, 7}, {8, 5}, {8, 6}};
    EXPECT_EQ(head(ai_pieces_jouables, 10), expected);
}

TEST_F(OpponentPieceList, ListsNothingForAValueThatIsNotASide)
{
    for (int32_t player : {-1, 2, 5, 1000}) {
        SCOPED_TRACE(player);
        ai_player = player;
        EXPECT_EQ(ai_option_piece(), 0);
        EXPECT_EQ(ai_pieces_jouables[0], UNTOUCHED);
    }
}

TEST_F(OpponentPieceList, ShorterFillLeavesTheOlderEntriesPastItsCount)
{
    ai_player = PLAYER_BLUE;
    ASSERT_EQ(ai_option_piece(), 10);
    board[0][2] = CELL_EMPTY; // a Blue soldier gone
    ASSERT_EQ(ai_option_piece(), 9);
    EXPECT_EQ(ai_pieces_jouables[0], (Square{0, 3}));
    EXPECT_EQ(ai_pieces_jouables[8], (Square{3, 1}));
    EXPECT_EQ(ai_pieces_jouables[9], (Square{3, 1})) << "left from the first fill";
    EXPECT_EQ(ai_pieces_jouables[10], UNTOUCHED);
}

TEST_F(OpponentPieceList, NeverWritesPastItsTwentyEntries)
{
    for (auto& row : board)
        row.fill(CELL_BLUE_SOLDIER);
    ai_player = PLAYER_BLUE;
    EXPECT_EQ(ai_option_piece(), 20);
    EXPECT_EQ(ai_pieces_jouables[19], (Square{2, 1}));
}

TEST_F(OpponentDestinations, BlueKingReachesTheTwoSquaresBesideItsCorner)
{
    // Blue's only piece, so every draw picks it.
    lone_blue_king_in_its_corner();
    ai_player = PLAYER_BLUE;

    ASSERT_EQ(ai_option_move(), 2);
    EXPECT_EQ(ai_posi_jouables[0], (Square{0, 1}));
    EXPECT_EQ(ai_posi_jouables[1], (Square{1, 0}));
    EXPECT_EQ(ai_posi_jouables[2], UNTOUCHED);
    EXPECT_EQ(highlighted(), (std::vector<Square>{{0, 1}, {1, 0}}));
}

TEST_F(OpponentDestinations, ListsOneStartingPiecesSquaresInReadingOrder)
{
    for (int32_t player : {PLAYER_BLUE, PLAYER_RED}) {
        SCOPED_TRACE(player);
        new_game_setup();
        current_player = ai_player = player;
        const int32_t count = ai_option_move();
        const std::vector<Square> listed = head(ai_posi_jouables, count);
        EXPECT_EQ(listed, highlighted());
        const auto pieces = pieces_of(player);
        const bool one_piece_reaches_them = std::any_of(
            pieces.begin(), pieces.end(), [&](const Square& p) { return destinations_of(p[0], p[1]) == listed; });
        EXPECT_TRUE(one_piece_reaches_them);
    }
}

TEST_F(OpponentDestinations, LoneKingReachesSixteenSquaresAndAShorterListKeepsTheRest)
{
    clear_board();
    put(4, 4, CELL_BLUE_KING);
    ai_player = PLAYER_BLUE;
    ASSERT_EQ(ai_option_move(), 16);
    EXPECT_EQ(ai_posi_jouables[0], (Square{0, 4}));
    EXPECT_EQ(ai_posi_jouables[15], (Square{8, 4}));
    EXPECT_EQ(ai_posi_jouables[16], UNTOUCHED);

    put(3, 4, CELL_RED_SOLDIER); // cuts off the column above
    put(5, 4, CELL_RED_SOLDIER); // and below
    ASSERT_EQ(ai_option_move(), 8);
    EXPECT_EQ(ai_posi_jouables[0], (Square{4, 0}));
    EXPECT_EQ(ai_posi_jouables[7], (Square{4, 8}));
    EXPECT_EQ(ai_posi_jouables[8], (Square{4, 5})) << "left from the longer fill";
    EXPECT_EQ(ai_posi_jouables[15], (Square{8, 4}));
    EXPECT_EQ(ai_posi_jouables[16], UNTOUCHED);
}
