// What every test of the real program shares: nothing it started outlives it,
// and a window closed as a user would ends the program cleanly.
#pragma once

#include <clocale>

#include <algorithm>

#include <gtest/gtest.h>

#include "program.hpp"

constexpr const char* LAST_LINE_OK = "[DEBUG][MAIN] Application terminée avec le statut: 0";

// The environment of a player whose locale is `locale`, with LANGUAGE set
// when `language` is given: C.UTF-8 alone shows the game's own texts.
inline std::vector<std::string> players_locale(const std::string& locale, const std::string& language = "")
{
    return {"LANG=" + locale, "LC_ALL", "LC_MESSAGES", language.empty() ? "LANGUAGE" : "LANGUAGE=" + language};
}

// A locale a player has made, as scripts/install-deps.sh makes it for the tests.
inline bool locale_is_made(const char* name)
{
    const locale_t made = newlocale(LC_ALL_MASK, name, locale_t(0));
    if (made)
        freelocale(made);
    return made != locale_t(0);
}

class ProgramTest : public testing::Test
{
  protected:
    void TearDown() override { end_all_programs(); }
};

// A server instance on a free port with its window and board on screen.
class ServerProgramTest : public ProgramTest
{
  protected:
    void SetUp() override
    {
        ASSERT_GT(port = start_server_program(server), 0) << (server ? server->out + server->err : "");
        ASSERT_TRUE(open_game_window(*server, server_window)) << server->out << server->err;
    }

    Program* server = nullptr;
    int port = -1;
    GameWindow server_window;
};

// The clean end of a program: status 0, the status line last on standard
// output, nothing from the sanitizers.
inline void expect_clean_end(Program& p, int status)
{
    EXPECT_EQ(status, 0) << "standard error:\n" << p.err;
    const std::vector<std::string> lines = out_lines(p);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), LAST_LINE_OK);
    EXPECT_EQ(p.err.find("Sanitizer"), std::string::npos) << p.err;
}

// Closes the window with WM_DELETE_WINDOW and expects the clean end.
inline void expect_clean_close(Program& p, const std::string& window_id)
{
    expect_clean_end(p, close_and_wait(p, window_id));
}

// Ends a program that may either have stopped by itself or opened a window
// (a port that happened to be in use, for example): closes that window.
inline void finish_program(Program& p)
{
    for (int waited = 0; waited < WINDOW_WAIT_MS; waited += 200) {
        read_output_for(p, 200);
        if (has_ended(p))
            break;
        const std::string id = find_game_window(p, 0);
        if (!id.empty()) {
            close_and_wait(p, id);
            return;
        }
    }
    wait_exit(p);
}

// True when standard output holds these lines one right after the other.
inline bool has_run_of_lines(const Program& p, const std::vector<std::string>& run)
{
    const std::vector<std::string> lines = out_lines(p);
    for (size_t i = 0; i + run.size() <= lines.size(); ++i)
        if (std::equal(run.begin(), run.end(), lines.begin() + static_cast<long>(i)))
            return true;
    return false;
}

constexpr int COLOUR_TOLERANCE = 3;

inline void expect_board_colour(const Image& image, const GameWindow& w, int bx, int by, Rgb want, const char* what)
{
    const Rgb got = board_pixel(image, w, bx, by);
    EXPECT_TRUE(near(got, want, COLOUR_TOLERANCE))
        << what << " at board (" << bx << "," << by << "): " << describe(got) << ", expected " << describe(want);
}
