// The rules under arbitrary moves: from the starting position a sequence of
// (from, to) squares, each coordinate on the board or off it, goes through
// try_move, the turn passing after each applied move as the turn flow passes
// it. After every call the game must still be one the rules can reach.
//
// Input: four bytes a move, read the way a move text is ("C7C5": column
// letter, row digit, column letter, row digit), so that every byte stands for
// a coordinate from 0 to 8 or off the board; a byte from 0xF8 up stands for
// one of the integer range's far values, which no text carries.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app.hpp"
#include "fuzz_support.hpp"
#include "game_snapshot.hpp"

static constexpr uint8_t FIRST_FAR_BYTE = 0xF8;
static constexpr int32_t FAR_VALUES[8] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1,
                                          -81,       81,        1 << 16,       -(1 << 16)};
static constexpr int32_t PIECES_A_SIDE = 10;

static int32_t column_of(uint8_t byte)
{
    return byte >= FIRST_FAR_BYTE ? FAR_VALUES[byte - FIRST_FAR_BYTE] : static_cast<signed char>(byte) - 'A';
}

static int32_t row_of(uint8_t byte)
{
    return byte >= FIRST_FAR_BYTE ? FAR_VALUES[byte - FIRST_FAR_BYTE] : '9' - static_cast<signed char>(byte);
}

struct Pieces {
    int32_t soldiers = 0;
    int32_t kings = 0;
};

static Pieces pieces_on_board(int32_t player)
{
    Pieces pieces;
    for (const auto& row : board)
        for (int32_t cell : row)
            if (is_piece_of(player, cell))
                ++(is_king(cell) ? pieces.kings : pieces.soldiers);
    return pieces;
}

// Each square's mark as the game so far has set it: the side of the last
// piece that landed there (the starting position counts as landing), none
// where a piece was captured since.
static Grid expected_marks;

static void start_game()
{
    new_game_setup();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            expected_marks[r][c] = is_blue_piece(board[r][c])  ? CONTROL_BLUE
                                   : is_red_piece(board[r][c]) ? CONTROL_RED
                                                               : CONTROL_NONE;
}

// True when the rules list (to_row, to_col) among the moves of the piece on
// the origin; the lister and try_move must agree on every move.
static bool listed_as_legal(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    if (!on_board(from_row, from_col) || !on_board(to_row, to_col))
        return false;
    compute_possible_moves(from_row, from_col);
    return highlight_moves[to_row][to_col] == 1;
}

// What an applied move may change on the board: the piece leaves the origin
// for the destination, and at most three enemy pieces next to the
// destination are taken, their squares unmarked.
static void check_applied_move(const GameState& before, int32_t from_row, int32_t from_col, int32_t to_row,
                               int32_t to_col)
{
    const int32_t mover = before.current_player;
    FUZZ_CHECK(board[to_row][to_col] == before.board[from_row][from_col], "the piece reaches its destination");
    FUZZ_CHECK(board[from_row][from_col] == CELL_EMPTY, "the origin is left empty");
    expected_marks[to_row][to_col] = mover == PLAYER_BLUE ? CONTROL_BLUE : CONTROL_RED;
    int32_t taken = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if ((r == from_row && c == from_col) || (r == to_row && c == to_col) || board[r][c] == before.board[r][c])
                continue;
            FUZZ_CHECK(board[r][c] == CELL_EMPTY && is_piece_of(other_player(mover), before.board[r][c]),
                       "only enemy pieces are taken");
            FUZZ_CHECK(std::abs(r - to_row) + std::abs(c - to_col) == 1,
                       "a piece taken stands next to the destination");
            expected_marks[r][c] = CONTROL_NONE;
            ++taken;
        }
    FUZZ_CHECK(taken <= 3, "one move takes at most three pieces");
}

// What holds after every call, applied or refused.
static void check_invariants(const GameState& before, bool& was_over)
{
    FUZZ_CHECK(board[0][0] == CELL_CORNER && board[BOARD_SIZE - 1][BOARD_SIZE - 1] == CELL_CORNER,
               "no piece stands on a corner");
    const Pieces blue = pieces_on_board(PLAYER_BLUE);
    const Pieces red = pieces_on_board(PLAYER_RED);
    FUZZ_CHECK(blue.kings == blue_king_alive && red.kings == red_king_alive,
               "a king is on the board exactly while its side's flag says it lives");
    FUZZ_CHECK(blue.soldiers + blue.kings + captured_blue_soldiers + (1 - blue_king_alive) == PIECES_A_SIDE,
               "Blue's pieces on the board and taken make ten");
    FUZZ_CHECK(red.soldiers + red.kings + captured_red_soldiers + (1 - red_king_alive) == PIECES_A_SIDE,
               "Red's pieces on the board and taken make ten");
    FUZZ_CHECK(captured_blue_soldiers >= before.captured_blue_soldiers &&
                   captured_red_soldiers >= before.captured_red_soldiers,
               "the capture counters only rise");
    FUZZ_CHECK(control_grid == expected_marks, "each square carries the mark of the last piece that landed on it");

    const int32_t soldiers_a_side = PIECES_A_SIDE - 1;
    const bool over = blue.kings == 0 || red.kings == 0 || soldiers_a_side - blue.soldiers >= SOLDIER_LOSS_LIMIT ||
                      soldiers_a_side - red.soldiers >= SOLDIER_LOSS_LIMIT || turn_count > MAX_TURNS;
    char message[256];
    FUZZ_CHECK(is_game_over() == over, "the game is over exactly when a king fell, eight soldiers of a side fell "
                                       "or the 64 moves are played");
    FUZZ_CHECK(end_of_game_message(message, sizeof message) == over, "the alert's message agrees");
    FUZZ_CHECK(over || !was_over, "a game over stays over");
    was_over = over;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    start_game();
    bool was_over = false;
    CaughtStream out = begin_catching(stdout);
    for (size_t at = 0; at + 4 <= size; at += 4) {
        const int32_t from_col = column_of(data[at]), from_row = row_of(data[at + 1]);
        const int32_t to_col = column_of(data[at + 2]), to_row = row_of(data[at + 3]);
        const bool legal = listed_as_legal(from_row, from_col, to_row, to_col);
        const GameState before = snapshot_state();
        const size_t printed_before = caught_text(out).size();

        const int32_t applied = try_move(from_row, from_col, to_row, to_col);
        const std::string_view printed = caught_text(out).substr(printed_before);
        FUZZ_CHECK(applied == (legal ? 1 : 0), "try_move applies exactly the moves the lister gives");
        if (applied) {
            FUZZ_CHECK(printed.starts_with("[LOG] ") && printed.find('\n') == printed.size() - 1,
                       "an applied move prints its one line");
            check_applied_move(before, from_row, from_col, to_row, to_col);
            FUZZ_CHECK(turn_count == before.turn_count && current_player == before.current_player,
                       "the rules leave the turn to their caller");
            turn_count++;
            current_player = other_player(current_player);
        } else {
            FUZZ_CHECK(snapshot_state() == before, "a refused move changes nothing");
            FUZZ_CHECK(printed.empty(), "a refused move prints nothing");
        }
        check_invariants(before, was_over);
    }
    end_catching(out);
    return 0;
}
