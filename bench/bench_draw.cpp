// Time to paint one whole board into a 528 x 528 image surface, as every
// redraw of the window does.
#include <benchmark/benchmark.h>

#include <cairo.h>

#include "app.hpp"
#include "gui.hpp"

static void paint_frames(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, BOARD_PX, BOARD_PX);
    cairo_t* cr = cairo_create(surface);
    for (auto _ : state) {
        draw_grid(nullptr, cr, BOARD_PX, BOARD_PX, nullptr);
        cairo_surface_flush(surface);
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

static void BM_DrawNewGame(benchmark::State& state)
{
    new_game_setup();
    paint_frames(state);
}
BENCHMARK(BM_DrawNewGame)->Unit(benchmark::kMicrosecond);

// The most a board can ask for: every square but the corners tinted.
static void BM_DrawEverySquareMarked(benchmark::State& state)
{
    new_game_setup();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (!is_corner_square(r, c))
                control_grid[r][c] = (r + c) % 2 ? CONTROL_BLUE : CONTROL_RED;
    paint_frames(state);
}
BENCHMARK(BM_DrawEverySquareMarked)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
