// What assistive technologies read of the game: each square's name, the whole
// position in one text, each move as it is announced and the end's message.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <libintl.h>

#include "game_state.hpp"

namespace
{

std::string square_name(int32_t row, int32_t col)
{
    char text[ACCESS_TEXT_BYTES];
    square_access_name(row, col, text, sizeof text);
    return text;
}

std::string description()
{
    char text[ACCESS_TEXT_BYTES];
    board_access_description(text, sizeof text);
    return text;
}

// The announcement of the move from (from) to (to), played on the board as it
// is, with what it took counted as the window counts it.
std::string announce(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    const int32_t taken_before = pieces_taken();
    std::string printed;
    EXPECT_EQ(try_move_printing(from_row, from_col, to_row, to_col, &printed), 1);
    char text[ACCESS_TEXT_BYTES] = "";
    move_announcement(from_row, from_col, to_row, to_col, pieces_taken() - taken_before, text, sizeof text);
    return text;
}

} // namespace

TEST(AccessTexts, SquaresAreNamedByCoordinateAndContent)
{
    new_game_setup();
    EXPECT_EQ(square_name(0, 0), "A9, coin");
    EXPECT_EQ(square_name(8, 8), "I1, coin");
    EXPECT_EQ(square_name(1, 1), "B8, roi bleu");
    EXPECT_EQ(square_name(2, 2), "C7, soldat bleu");
    EXPECT_EQ(square_name(7, 7), "H2, roi rouge");
    EXPECT_EQ(square_name(5, 8), "I4, soldat rouge");
    EXPECT_EQ(square_name(4, 4), "E5, vide");
    control_grid[4][4] = CONTROL_RED;
    EXPECT_EQ(square_name(4, 4), "E5, vide, contrôlé par Rouge");
    announce(2, 2, 4, 2);
    EXPECT_EQ(square_name(2, 2), "C7, vide, contrôlé par Bleu");
    EXPECT_EQ(square_name(4, 2), "C5, soldat bleu");
}

TEST(AccessTexts, TheDescriptionGivesEveryPieceInReadingOrderAndTheSelection)
{
    new_game_setup();
    const std::string start = "Bleu : roi B8 ; soldats C9, D9, C8, D8, A7, B7, C7, A6, B6. "
                              "Rouge : roi H2 ; soldats H4, I4, G3, H3, I3, F2, G2, F1, G1.";
    EXPECT_EQ(description(), start);
    has_selection = 1;
    sel_r = 2;
    sel_c = 2;
    EXPECT_EQ(description(), start + " Pièce sélectionnée : C7.");

    clear_board();
    put(4, 4, CELL_RED_KING);
    put(8, 0, CELL_RED_SOLDIER);
    EXPECT_EQ(description(), "Bleu : roi pris ; aucun soldat. Rouge : roi E5 ; soldats A1.");
}

TEST(AccessTexts, AMoveIsAnnouncedWithSidePieceSquaresAndCaptures)
{
    new_game_setup();
    EXPECT_EQ(announce(1, 1, 0, 1), "Bleu : roi de B8 à B9, aucune prise.");
    current_player = PLAYER_RED;
    EXPECT_EQ(announce(5, 7, 4, 7), "Rouge : soldat de H4 à H5, aucune prise.");

    set_up_double_capture();
    EXPECT_EQ(announce(2, 4, 4, 4), "Bleu : soldat de E7 à E5, 2 pièces prises.");
    EXPECT_EQ(square_name(5, 4), "E4, vide");

    // A king falling ahead counts among the pieces taken.
    put(6, 4, CELL_RED_KING);
    EXPECT_EQ(announce(4, 4, 5, 4), "Bleu : soldat de E5 à E4, 1 pièce prise.");
}

// A move's announcement ends with the side to move next, or with the end's
// message; the status is read as the labels show it, the end's message after.
TEST(AccessTexts, TheSideToMoveTheStatusAndTheEndAreAnnounced)
{
    new_game_setup();
    const auto read = [](void (*text_of)(char*, size_t)) {
        char text[ACCESS_TEXT_BYTES] = "";
        text_of(text, sizeof text);
        return std::string(text);
    };
    announce(2, 2, 4, 2);
    turn_count = 2;
    current_player = PLAYER_RED;
    EXPECT_EQ(read(after_move_announcement), "Au tour de: Rouge.");
    const std::string status = "Au tour de: Rouge. Tour 2 / 64. Joueur Bleu : Contrôle: 11 | Soldats: 9. "
                               "Joueur Rouge : Contrôle: 10 | Soldats: 9.";
    EXPECT_EQ(read(status_announcement), status);

    char text[ACCESS_TEXT_BYTES] = "";
    EXPECT_EQ(end_of_game_message(text, sizeof text), 0);
    red_king_alive = 0;
    const std::string end = "Fin : Roi Rouge exécuté ou conquête Bleue — Bleu gagne !";
    EXPECT_EQ(end_of_game_message(text, sizeof text), 1);
    EXPECT_EQ(text, end);
    EXPECT_EQ(read(after_move_announcement), end);
    EXPECT_EQ(read(status_announcement), status + " " + end);
}

// The counts in these texts take the forms of the player's language, as its
// catalogue gives them: English names one soldier and one piece in the
// singular, where the French texts keep their own forms. Only a locale of
// the player's own has a language (a package build makes none).
TEST(AccessTexts, CountsTakeTheFormsOfThePlayersLanguage)
{
    if (!std::setlocale(LC_ALL, "en_US.UTF-8"))
        GTEST_SKIP() << "no en_US.UTF-8 locale here (scripts/install-deps.sh test makes it)";
    // A LANGUAGE list of the caller's would name the language before the
    // locale does; it is set aside for the test.
    const char* caller_language = std::getenv("LANGUAGE");
    const bool had_language = caller_language != nullptr;
    const std::string language = had_language ? caller_language : "";
    unsetenv("LANGUAGE");
    bindtextdomain("tavelorn", TAVELORN_BUILD_LOCALEDIR);
    bind_textdomain_codeset("tavelorn", "UTF-8");
    textdomain("tavelorn");

    clear_board();
    put(4, 4, CELL_RED_KING);
    put(8, 0, CELL_RED_SOLDIER);
    EXPECT_EQ(description(), "Blue: king taken; no soldiers. Red: king E5; soldier A1.");

    set_up_double_capture();
    EXPECT_EQ(announce(2, 4, 4, 4), "Blue: soldier from E7 to E5, 2 pieces captured.");
    put(6, 4, CELL_RED_KING);
    EXPECT_EQ(announce(4, 4, 5, 4), "Blue: soldier from E5 to E4, 1 piece captured.");
    EXPECT_EQ(announce(4, 2, 0, 2), "Blue: soldier from C5 to C9, nothing captured.");

    std::setlocale(LC_ALL, "C");
    textdomain("messages");
    if (had_language)
        setenv("LANGUAGE", language.c_str(), 1);
}
