// Game state and rules: the board, control marks, counters and selection,
// the move and capture rules, scores, the end of the game and the texts of
// the status labels. Everything here runs on the GTK main thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The two toolkit types the status texts are written to; the rules themselves
// need nothing of the toolkit.
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

// Board geometry and limits
constexpr int32_t BOARD_SIZE = 9;
constexpr int32_t MAX_TURNS = 64;
constexpr int32_t SOLDIER_LOSS_LIMIT = 8; // captured soldiers that end the game

using Grid = std::array<std::array<int32_t, BOARD_SIZE>, BOARD_SIZE>;

constexpr void fill_grid(Grid& grid, int32_t value)
{
    for (auto& row : grid)
        row.fill(value);
}

// Cell codes of `board`
constexpr int32_t CELL_EMPTY = 0;
constexpr int32_t CELL_BLUE_SOLDIER = 1;
constexpr int32_t CELL_BLUE_KING = 2;
constexpr int32_t CELL_RED_SOLDIER = 3;
constexpr int32_t CELL_RED_KING = 4;
constexpr int32_t CELL_CORNER = 5;

// Control marks of `control_grid`
constexpr int32_t CONTROL_NONE = 0;
constexpr int32_t CONTROL_BLUE = 1;
constexpr int32_t CONTROL_RED = 2;

// Sides
constexpr int32_t PLAYER_BLUE = 0;
constexpr int32_t PLAYER_RED = 1;

// The four directions, (row step, column step), walked in this order.
constexpr std::array<std::array<int32_t, 2>, 4> dirs = {{{+1, 0}, {-1, 0}, {0, +1}, {0, -1}}};

constexpr bool on_board(int32_t row, int32_t col)
{
    return row >= 0 && row < BOARD_SIZE && col >= 0 && col < BOARD_SIZE;
}
// (0,0), Blue's, and (8,8), Red's: no piece enters them and their marks
// never count.
constexpr bool is_corner_square(int32_t row, int32_t col)
{
    return (row == 0 && col == 0) || (row == BOARD_SIZE - 1 && col == BOARD_SIZE - 1);
}
constexpr bool is_blue_piece(int32_t cell)
{
    return cell == CELL_BLUE_SOLDIER || cell == CELL_BLUE_KING;
}
constexpr bool is_red_piece(int32_t cell)
{
    return cell == CELL_RED_SOLDIER || cell == CELL_RED_KING;
}
constexpr bool is_king(int32_t cell)
{
    return cell == CELL_BLUE_KING || cell == CELL_RED_KING;
}
// True when `cell` holds a piece of `player` (soldier or king).
constexpr bool is_piece_of(int32_t player, int32_t cell)
{
    return player == PLAYER_BLUE ? is_blue_piece(cell) : player == PLAYER_RED && is_red_piece(cell);
}
constexpr int32_t other_player(int32_t player)
{
    return player == PLAYER_BLUE ? PLAYER_RED : PLAYER_BLUE;
}

// Game state
extern Grid board;           // cell codes
extern Grid control_grid;    // control marks
extern Grid highlight_moves; // 1 where the selected piece may move
extern int32_t current_player;
extern int32_t turn_count; // number of the move about to be played, from 1
extern int32_t captured_blue_soldiers;
extern int32_t captured_red_soldiers;
extern int32_t blue_king_alive;
extern int32_t red_king_alive;
extern int32_t has_selection;
extern int32_t sel_r;
extern int32_t sel_c;

// Move history: the moves applied since the new game, in order, as (from
// row, from column, to row, to column), so that a peer who joins late can be
// brought to the game as it stands. A game ends by its 64th move at the
// latest; moves a peer still sends after the end are applied but, once the
// history is full, no longer kept, and `move_history_overflowed` says so.
constexpr int32_t MOVE_HISTORY_SIZE = MAX_TURNS;
using HistoryMove = std::array<int32_t, 4>;
extern std::array<HistoryMove, MOVE_HISTORY_SIZE> move_history;
extern int32_t move_history_count;      // moves kept, the first ones applied
extern int32_t move_history_overflowed; // 1 once an applied move found no room

// New game
void new_game_setup();

// Moves and captures
// Rewrites `highlight_moves` with the squares the piece on (row, col) can
// reach; all 0 unless it is a piece of the side to move. The square must be
// on the board.
void compute_possible_moves(int32_t row, int32_t col);
// Returns 1 when the move was legal and has been applied (and added to the
// history), 0 when it was refused (nothing changed, nothing printed). Never
// changes the side to move or the turn counter: the caller does that after a
// success.
int32_t try_move(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col);

// Scores, end of game and status labels
// Writes the four labels given, and `turn_center_label`, from the state. All
// five must be labels: none may be null.
void update_labels(GtkWidget* blue_score, GtkWidget* blue_turn, GtkWidget* red_score, GtkWidget* red_turn);
// Does nothing while the game goes on. Once it is over, every call writes the
// result to `label` (which may be null: then no label is written), freezes
// the board (freeze_board) and raises the alert over the board's window
// (transient for none when the board is in no window), in place of any still
// open.
void check_end_and_update(GtkWidget* label, GtkWidget* board_widget);
void show_game_over_popup(const char* message, GtkWindow* parent);
// 1 once an end condition holds, else 0; the same conditions as the alert.
int32_t is_game_over();
// Writes the alert's message into `text` and returns 1 once the game is
// over; returns 0 and writes nothing while it goes on.
int32_t end_of_game_message(char* text, size_t size);

// Texts for assistive technologies, in the player's language (the game's own
// texts, quoted here, are French). Each is written into `text`,
// NUL-terminated, cut at `size` bytes; none is longer than ACCESS_TEXT_BYTES.
constexpr size_t ACCESS_TEXT_BYTES = 512;
// A square by its coordinate and what it holds: "C7, soldat bleu", "E5, vide,
// contrôlé par Rouge", "A9, coin". The square must be on the board.
void square_access_name(int32_t row, int32_t col, char* text, size_t size);
// The whole position: each side's king and soldiers by coordinate, in reading
// order (row 9 to 1, column A to I), then the selected piece, if any.
void board_access_description(char* text, size_t size);
// The status labels' texts in one go: the side to move, the turn, then each
// side's column title and control and soldier counts; once the game is over,
// the result after them.
void status_announcement(char* text, size_t size);
// What a move's announcement ends with: the result when the move ended the
// game, else the side to move next ("Au tour de: Rouge.").
void after_move_announcement(char* text, size_t size);
// Pieces removed by captures so far, both sides, kings included: what a move
// took is the difference across it.
int32_t pieces_taken();
// A move just applied (side, piece, from, to, and the `taken` pieces it took),
// read from the piece now on its destination.
void move_announcement(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col, int32_t taken, char* text,
                       size_t size);
