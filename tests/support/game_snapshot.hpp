// A copy of every global of the rules module, to compare or restore, with
// nothing but the game's own header: the fuzz targets use it without a test
// framework.
#pragma once

#include <cstring>

#include "app.hpp"

// Every global of the rules module, listed once for the copy, its
// restoring and its comparison.
#define FOR_EACH_GAME_GLOBAL(DO)                                                                                       \
    DO(Grid, board)                                                                                                    \
    DO(Grid, control_grid)                                                                                             \
    DO(Grid, highlight_moves)                                                                                          \
    DO(int32_t, current_player)                                                                                        \
    DO(int32_t, turn_count)                                                                                            \
    DO(int32_t, captured_blue_soldiers)                                                                                \
    DO(int32_t, captured_red_soldiers)                                                                                 \
    DO(int32_t, blue_king_alive)                                                                                       \
    DO(int32_t, red_king_alive)                                                                                        \
    DO(int32_t, has_selection)                                                                                         \
    DO(int32_t, sel_r)                                                                                                 \
    DO(int32_t, sel_c)                                                                                                 \
    DO(decltype(::move_history), move_history)                                                                         \
    DO(int32_t, move_history_count)                                                                                    \
    DO(int32_t, move_history_overflowed)

struct GameState {
#define DECLARE_FIELD(type, name) type name;
    FOR_EACH_GAME_GLOBAL(DECLARE_FIELD)
#undef DECLARE_FIELD
    // Byte-wise: the checks over random games compare millions of states.
    bool operator==(const GameState& other) const
    {
        return std::memcmp(this, &other, sizeof other) == 0;
    }
};
static_assert(sizeof(GameState) == (3 * BOARD_SIZE * BOARD_SIZE + 4 * MOVE_HISTORY_SIZE + 11) * sizeof(int32_t),
              "no padding to compare");

inline GameState snapshot_state()
{
    GameState s;
#define COPY_OUT(type, name) s.name = ::name;
    FOR_EACH_GAME_GLOBAL(COPY_OUT)
#undef COPY_OUT
    return s;
}

inline void restore_state(const GameState& s)
{
#define COPY_IN(type, name) ::name = s.name;
    FOR_EACH_GAME_GLOBAL(COPY_IN)
#undef COPY_IN
}
