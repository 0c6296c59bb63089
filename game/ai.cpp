// The random-move opponent: picks one of its side's pieces, then one square
// that piece can reach, each by a draw from the clock-seeded generator, and
// asks the rules to play that move. It remembers nothing between moves.
#include "ai.hpp"

#include <cstdlib>
#include <ctime>

#include <glib.h>

#include "app.hpp"

int32_t ai_enabled = 0;
int32_t ai_player = 0;
std::array<std::array<int32_t, 2>, 20> ai_pieces_jouables{};
std::array<std::array<int32_t, 2>, 81> ai_posi_jouables{};

// How often the game loop looks at the clock again after a refused move.
static constexpr guint RETRY_POLL_MS = 100;

// ---------------------------------------------------------------------------
// Draws

// One draw over `count` entries. Every draw re-seeds from the clock in whole
// seconds, so all draws within one second take the same generator output.
// Returns 0 without drawing when there is nothing to draw from.
static int32_t draw_index(int32_t count)
{
    if (count < 1)
        return 0;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return std::rand() % count;
}

int32_t randint(int32_t a)
{
    return draw_index(a);
}

// ---------------------------------------------------------------------------
// Lists

// Lists the opponent's pieces in reading order; nothing when `ai_player` is
// not a side. A side has at most ten pieces in play; the list's size still
// bounds the count whatever the board holds.
int32_t ai_option_piece()
{
    constexpr int32_t capacity = static_cast<int32_t>(ai_pieces_jouables.size());
    int32_t count = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (is_piece_of(ai_player, board[r][c]) && count < capacity)
                ai_pieces_jouables[count++] = {r, c};
    return count;
}

// Lists the squares marked in `highlight_moves`, in reading order.
static int32_t list_highlighted_squares()
{
    int32_t count = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (highlight_moves[r][c] != 0)
                ai_posi_jouables[count++] = {r, c};
    return count;
}

// Returns 0 and leaves `highlight_moves` and the destination list as they
// were when there is no piece to draw from or the drawn piece cannot move
// (which is also the case when the other side is to move).
int32_t ai_option_move()
{
    const int32_t pieces = ai_option_piece();
    if (pieces == 0)
        return 0;
    const auto& piece = ai_pieces_jouables[draw_index(pieces)];
    const Grid before = highlight_moves;
    compute_possible_moves(piece[0], piece[1]);
    const int32_t count = list_highlighted_squares();
    if (count == 0)
        highlight_moves = before;
    return count;
}

// ---------------------------------------------------------------------------
// Moves

// The source comes from the first draw and the destination from the listing
// that follows; within one second both concern the same piece. When the
// clock turns in between they may not, and the rules then apply the move
// only if it is legal for the source piece; otherwise nothing changes.
int32_t ai_move()
{
    const int32_t pieces = ai_option_piece();
    if (pieces == 0)
        return 0;
    const auto from = ai_pieces_jouables[draw_index(pieces)];
    const int32_t destinations = ai_option_move();
    if (destinations == 0)
        return 0;
    const auto to = ai_posi_jouables[draw_index(destinations)];
    if (!try_move(from[0], from[1], to[0], to[1]))
        return 0;
    current_player = other_player(current_player);
    return 1;
}

// ---------------------------------------------------------------------------
// Game loop

static gboolean set_flag(gpointer flag)
{
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
}

static bool opponent_to_move()
{
    return ai_enabled != 0 && current_player == ai_player;
}

// Every draw within one second repeats the last one, so after a refused move
// there is no point trying again before the clock moves on. The main loop
// keeps running meanwhile: the turn, the switch or the game may change.
static void wait_for_next_second(time_t refused_at)
{
    while (std::time(nullptr) == refused_at && opponent_to_move() && !is_game_over()) {
        bool fired = false;
        g_timeout_add(RETRY_POLL_MS, set_flag, &fired);
        while (!fired)
            g_main_context_iteration(nullptr, TRUE);
    }
}

// Plays the opponent's turns until the game is over. Whenever it is not the
// opponent's turn, it runs the default main context, the only place where
// the turn can pass back to it.
int32_t ai_gameloop()
{
    while (!is_game_over()) {
        if (opponent_to_move()) {
            const time_t attempt = std::time(nullptr);
            if (!ai_move())
                wait_for_next_second(attempt);
        } else {
            g_main_context_iteration(nullptr, TRUE);
        }
    }
    return 1;
}
