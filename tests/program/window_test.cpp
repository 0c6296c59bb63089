// The real program's window on screen: its title in each mode, the board of a
// new game read back from a screenshot, the status labels drawn around it,
// and a second start in the same mode showing the window that exists.
#include <glob.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <tuple>

#include "fixture.hpp"

// ---------------------------------------------------------------------------
// Titles

using WindowTitle = ProgramTest;

TEST_F(WindowTitle, LocalGameIsTitledLocal)
{
    Program& p = start_program({"-l"});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Local");
    expect_clean_close(p, id);
}

TEST_F(WindowTitle, ServerIsTitledServeurBeforeAnyPeer)
{
    Program* p = nullptr;
    ASSERT_GT(start_server_program(p), 0) << p->out << p->err;
    const std::string id = find_game_window(*p);
    ASSERT_NE(id, "") << p->out << p->err;
    EXPECT_EQ(window_name(id), "Tavelorn - Serveur");
    expect_clean_close(*p, id);
}

TEST_F(WindowTitle, ClientIsTitledClient)
{
    uint16_t port = 0;
    const int listening = listen_loopback(&port);
    ASSERT_GE(listening, 0);
    Program& p = start_program({"-c", "127.0.0.1:" + std::to_string(port)});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Client");
    expect_clean_close(p, id);
    close(listening);
}

// ---------------------------------------------------------------------------
// Closing

using WindowClosing = ProgramTest;

// Every test here ends its programs this way; this one also checks that the
// run prints nothing more than its start and its end.
TEST_F(WindowClosing, CloseRequestEndsTheRunWithStatusZero)
{
    Program& p = start_program({"-l"});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(close_and_wait(p, id), 0) << p.err;
    EXPECT_EQ(out_lines(p), (std::vector<std::string>{"[DEBUG][MAIN] Mode local activé",
                                                      "[DEBUG][MAIN] Lancement de l'application GTK avec ID: " +
                                                          std::string(TAVELORN_APP_ID) + ".local",
                                                      LAST_LINE_OK}));
    EXPECT_EQ(p.err.find("Sanitizer"), std::string::npos) << p.err;
}

// ---------------------------------------------------------------------------
// The board of a new game, on screen

using WindowBoard = ProgramTest;

// Counts the pixels near `colour` in a rectangle of the board.
static int count_near(const Image& image, const GameWindow& w, Rect area, Rgb colour, int tolerance)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += near(board_pixel(image, w, x, y), colour, tolerance);
    return count;
}

TEST_F(WindowBoard, NewGameShowsTheFiveLayersAtTheirPlaces)
{
    Program& p = start_program({"-l"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(p, w)) << p.out << p.err;
    Image image;
    // The pieces are the last layer: once a disc is there, the board is whole.
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(7), square_centre_px(7), RED_DISC));

    for (const BoardPoint& point : new_game_points())
        expect_board_colour(image, w, point.x, point.y, point.colour, point.what);

    // Coordinates: white ink above each column and beside each row
    for (int i = 0; i < 9; ++i) {
        EXPECT_GT(count_near(image, w, {square_centre_px(i) - 7, 4, 15, 15}, WHITE, 20), 4) << "letter of column " << i;
        EXPECT_GT(count_near(image, w, {14, square_centre_px(i) - 7, 13, 15}, WHITE, 20), 4) << "digit of row " << i;
    }
    EXPECT_EQ(count_near(image, w, {square_centre_px(0) + 12, 4, 20, 15}, WHITE, 20), 0) << "between two letters";
    expect_clean_close(p, w.id);
}

// ---------------------------------------------------------------------------
// The renderer

using WindowRenderer = ProgramTest;

// The board is all cairo: the GL driver is loaded only when the player asks.
static bool maps_gl_driver(const Program& p)
{
    std::ifstream maps("/proc/" + std::to_string(p.pid) + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("/dri/") != std::string::npos || line.find("_dri.so") != std::string::npos ||
            line.find("libgallium") != std::string::npos)
            return true;
    return false;
}

TEST_F(WindowRenderer, NoGlDriverUnlessThePlayerAsksForOne)
{
    Program& plain = start_program({"-l"}, nullptr, {"GSK_RENDERER", "GDK_DEBUG", "GDK_DISABLE"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(plain, w)) << plain.out << plain.err;
    EXPECT_FALSE(maps_gl_driver(plain));
    EXPECT_EQ(plain.err, "");
    expect_clean_close(plain, w.id);

    glob_t drivers;
    const bool installed = glob("/usr/lib/*/dri/*_dri.so", 0, nullptr, &drivers) == 0;
    globfree(&drivers);
    if (!installed)
        GTEST_SKIP() << "no GL driver installed";
    Program& asked = start_program({"-l"}, nullptr, {"GSK_RENDERER=gl"});
    ASSERT_TRUE(open_game_window(asked, w)) << asked.out << asked.err;
    EXPECT_TRUE(maps_gl_driver(asked));
    // Ended without its exit: what the driver keeps until exit is its own.
}

// Bands of rows of the rectangle (screen coordinates) holding pixels of the
// colour, from the top: one band per line of text in that colour.
struct Band {
    int top = 0, bottom = 0; // rows [top, bottom)
};

static std::vector<Band> find_bands(const Image& image, Rect area, Rgb colour)
{
    std::vector<Band> bands;
    bool in_band = false;
    for (int y = area.y; y < area.y + area.height; ++y) {
        bool found = false;
        for (int x = area.x; x < area.x + area.width && !found; ++x)
            found = near(pixel(image, x, y), colour, 12);
        if (found && !in_band)
            bands.push_back({y, y + 1});
        if (found)
            bands.back().bottom = y + 1;
        in_band = found;
    }
    return bands;
}

// Within one band of text: the colour most of its pixels have (what lies
// behind the text) and, of the text's own pixels, the one nearest `ink`.
static double band_contrast(const Image& image, Rect area, Band band, Rgb ink)
{
    std::map<std::tuple<int, int, int>, int> counts;
    Rgb text{-255, -255, -255};
    const auto distance = [](Rgb a, Rgb b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); };
    for (int y = band.top; y < band.bottom; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            const Rgb c = pixel(image, x, y);
            counts[{c.r, c.g, c.b}]++;
            if (distance(c, ink) < distance(text, ink))
                text = c;
        }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    const auto [r, g, b] = most->first;
    return contrast_ratio(text, {r, g, b});
}

static int count_pure_white(const Image& image, Rect area)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += near(pixel(image, x, y), WHITE, 1);
    return count;
}

// The window in the player's language: French, the game's own texts, under
// C.UTF-8; English under a locale made as a player makes one; German through
// LANGUAGE, before the locale's English (under C.UTF-8, only Debian 12's C
// library reads LANGUAGE). German's labels are the widest.
struct WindowLanguage {
    const char* name;
    const char* locale;
    const char* language; // LANGUAGE, or none when empty
    const char* title;
};

void PrintTo(const WindowLanguage& language, std::ostream* out)
{
    *out << language.name;
}

class WindowLanguages : public ProgramTest, public testing::WithParamInterface<WindowLanguage>
{
};

// The label texts themselves are checked in-process and through AT-SPI; on
// screen, in every language, each column shows its three lines in its side's
// colour, the white placeholder texts never appear, every line stands out
// from the window's background by at least 3 : 1 (what large text needs to be
// read), the board keeps its 528 x 528 between the columns and the window
// fits the 1280-pixel screen the metainfo asks for. Standard output is the
// same in every language.
TEST_P(WindowLanguages, StatusLabelsAreDrawnAroundTheBoardAndReadable)
{
    const WindowLanguage& language = GetParam();
    ASSERT_TRUE(locale_is_made(language.locale)) << "scripts/install-deps.sh test makes " << language.locale;
    const Rgb blue_text{30, 144, 255}, red_text{255, 48, 48}, gold_text{255, 215, 0};
    Program& p = start_program({"-l"}, nullptr, players_locale(language.locale, language.language));
    GameWindow w;
    ASSERT_TRUE(open_game_window(p, w)) << p.out << p.err;
    EXPECT_EQ(window_name(w.id), language.title);
    Image image;
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(7), square_centre_px(7), RED_DISC));
    const Rect left{w.rect.x, w.rect.y, w.board_x - w.rect.x, w.rect.height};
    const Rect right{w.board_x + 528, w.rect.y, w.rect.x + w.rect.width - (w.board_x + 528), w.rect.height};
    const Rect above{w.board_x, w.rect.y, 528, w.board_y - w.rect.y};
    const struct {
        Rect area;
        Rgb ink;
        size_t lines;
        const char* what;
    } columns[] = {
        {left, blue_text, 3, "Blue column"}, {right, red_text, 3, "Red column"}, {above, gold_text, 1, "turn"}};
    for (const auto& column : columns) {
        const std::vector<Band> bands = find_bands(image, column.area, column.ink);
        EXPECT_EQ(bands.size(), column.lines) << column.what;
        for (size_t i = 0; i < bands.size(); ++i)
            EXPECT_GE(band_contrast(image, column.area, bands[i], column.ink), 3.0) << column.what << ", line " << i;
    }
    EXPECT_EQ(count_pure_white(image, left), 0);
    EXPECT_EQ(count_pure_white(image, right), 0);

    // The board paints its background over its whole widget, and no further.
    for (int edge : {0, BOARD_PX - 1}) {
        EXPECT_TRUE(near(board_pixel(image, w, edge, 300), BACKGROUND, 2) &&
                    near(board_pixel(image, w, 300, edge), BACKGROUND, 2))
            << "board edge " << edge;
    }
    for (int outside : {-1, BOARD_PX}) {
        EXPECT_FALSE(near(board_pixel(image, w, outside, 300), BACKGROUND, 2) ||
                     near(board_pixel(image, w, 300, outside), BACKGROUND, 2))
            << "beside the board at " << outside;
    }
    EXPECT_LE(w.rect.x + w.rect.width, 1280) << "window width " << w.rect.width;

    ASSERT_TRUE(press_square(w, 2, 2));
    ASSERT_TRUE(press_square(w, 4, 2));
    EXPECT_TRUE(wait_line(p, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << p.out;
    EXPECT_EQ(close_and_wait(p, w.id), 0) << p.err;
    EXPECT_EQ(out_lines(p), (std::vector<std::string>{"[DEBUG][MAIN] Mode local activé",
                                                      "[DEBUG][MAIN] Lancement de l'application GTK avec ID: " +
                                                          std::string(TAVELORN_APP_ID) + ".local",
                                                      "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", LAST_LINE_OK}));
}

INSTANTIATE_TEST_SUITE_P(Players, WindowLanguages,
                         testing::Values(WindowLanguage{"fr", "C.UTF-8", "", "Tavelorn - Local"},
                                         WindowLanguage{"en", "en_US.UTF-8", "", "Tavelorn - Local"},
                                         WindowLanguage{"de", "en_US.UTF-8", "de", "Tavelorn - Lokal"}),
                         [](const testing::TestParamInfo<WindowLanguage>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Two starts in one mode

using WindowInstances = ProgramTest;

TEST_F(WindowInstances, SecondStartInTheSameModeShowsTheWindowThatExists)
{
    Program& first = start_program({"-l"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(first, w)) << first.out << first.err;

    Program& second = start_program({"-l"});
    EXPECT_EQ(wait_exit(second), 0) << second.err;
    EXPECT_EQ(out_lines(second).back(), LAST_LINE_OK);
    read_output_for(first, QUIET_MS);
    EXPECT_EQ(visible_windows(first).size(), 1u);
    EXPECT_FALSE(first.ended);

    // The first window still plays: its references were not taken over.
    ASSERT_TRUE(press_square(w, 2, 2));
    ASSERT_TRUE(press_square(w, 4, 2));
    EXPECT_TRUE(wait_line(first, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << first.out;
    expect_clean_close(first, w.id);
}
