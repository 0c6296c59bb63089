// The end of the game: which condition wins, the texts, the board
// frozen and the alert raised, and nothing at all while play goes on.
#include "game_state.hpp"
#include "game_window.hpp"

namespace
{

constexpr const char* BLUE_KING_FELL = "Fin : Roi Bleu exécuté ou conquête Rouge — Rouge gagne !";
constexpr const char* RED_KING_FELL = "Fin : Roi Rouge exécuté ou conquête Bleue — Bleu gagne !";
constexpr const char* RED_SOLDIERS_LOST = "Fin : 8 soldats rouges capturés — Bleu gagne !";
constexpr const char* BLUE_SOLDIERS_LOST = "Fin : 8 soldats bleus capturés — Rouge gagne !";
constexpr const char* DETAIL = "Cliquez OK pour continuer.";

class EndOfGame : public GameWindowTest
{
  protected:
    GtkWidget* result_label = nullptr;

    void SetUp() override
    {
        GameWindowTest::SetUp();
        update_all_labels();
        result_label = gtk_label_new(nullptr);
        gtk_label_set_markup(GTK_LABEL(result_label), "<b>en cours</b>");
    }

    void TearDown() override
    {
        g_object_ref_sink(result_label);
        g_object_unref(result_label);
        GameWindowTest::TearDown();
    }

    // What the turn flow does after each move: labels first, then the end test.
    void check_end(GtkWidget* label)
    {
        check_end_and_update(label, drawing_area);
        run_pending_events();
    }

    // The game is over with `message`: written to the label given, the board
    // frozen, and one alert raised over the game window.
    void expect_game_over_with(const std::string& message)
    {
        check_end(result_label);
        EXPECT_EQ(gtk_label_get_label(GTK_LABEL(result_label)), message);
        EXPECT_FALSE(gtk_label_get_use_markup(GTK_LABEL(result_label)));
        EXPECT_TRUE(board_is_frozen(drawing_area));
        const auto shown = alerts();
        ASSERT_EQ(shown.size(), 1u);
        expect_alert(shown[0], message);
    }

    std::vector<GtkWindow*> alerts() const { return open_alerts(GTK_WINDOW(window)); }

    // What the player sees: a window modal to the game's, showing the
    // message and the detail as plain text, with one button, "OK".
    void expect_alert(GtkWindow* alert, const std::string& message)
    {
        EXPECT_TRUE(gtk_window_get_modal(alert));
        EXPECT_EQ(gtk_window_get_transient_for(alert), GTK_WINDOW(window));
        std::vector<std::string> texts;
        bool markup = false;
        for (GtkWidget* label : widgets_of_type(GTK_WIDGET(alert), GTK_TYPE_LABEL))
            if (gtk_widget_get_visible(label) && !gtk_widget_get_ancestor(label, GTK_TYPE_BUTTON)) {
                texts.push_back(gtk_label_get_text(GTK_LABEL(label)));
                markup = markup || gtk_label_get_use_markup(GTK_LABEL(label));
            }
        EXPECT_EQ(texts, (std::vector<std::string>{message, DETAIL}));
        EXPECT_FALSE(markup) << "the texts are shown as plain text";
        const std::vector<GtkWidget*> buttons = widgets_of_type(GTK_WIDGET(alert), GTK_TYPE_BUTTON);
        ASSERT_EQ(buttons.size(), 1u);
        const char* label = gtk_button_get_label(GTK_BUTTON(buttons[0]));
        EXPECT_STREQ(label, "OK");
    }

    static GtkWidget* ok_button(GtkWindow* alert)
    {
        const std::vector<GtkWidget*> buttons = widgets_of_type(GTK_WIDGET(alert), GTK_TYPE_BUTTON);
        return buttons.empty() ? nullptr : buttons[0];
    }

    // Nothing the end test touches has changed.
    void expect_game_goes_on(const GameState& before)
    {
        const size_t windows = toplevel_windows().size();
        check_end(result_label);
        EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(result_label)), "<b>en cours</b>");
        EXPECT_TRUE(gtk_label_get_use_markup(GTK_LABEL(result_label)));
        EXPECT_FALSE(board_is_frozen(drawing_area));
        EXPECT_TRUE(alerts().empty());
        EXPECT_EQ(toplevel_windows().size(), windows);
        EXPECT_TRUE(snapshot_state() == before);
    }
};

} // namespace

// While play goes on

TEST_F(EndOfGame, ANewGameGoesOn)
{
    expect_game_goes_on(snapshot_state());
}

TEST_F(EndOfGame, SevenLostSoldiersAndTurnSixtyFourGoOn)
{
    captured_blue_soldiers = 7;
    captured_red_soldiers = 7;
    turn_count = MAX_TURNS;
    current_player = PLAYER_RED;
    expect_game_goes_on(snapshot_state());
}

// Each end and its text, and which end comes first when several hold

namespace
{

struct EndCase {
    const char* name;
    void (*bring_about)();
    const char* message;
};

const EndCase END_CASES[] = {
    {"BlueKingFallenGivesRedTheGame", [] { blue_king_alive = 0; }, BLUE_KING_FELL},
    {"RedKingFallenGivesBlueTheGame", [] { red_king_alive = 0; }, RED_KING_FELL},
    {"EightRedSoldiersLostGiveBlueTheGame", [] { captured_red_soldiers = 8; }, RED_SOLDIERS_LOST},
    {"EightBlueSoldiersLostGiveRedTheGame", [] { captured_blue_soldiers = 8; }, BLUE_SOLDIERS_LOST},
    {"EqualScoresAtTheTurnLimitAreADraw", [] { turn_count = MAX_TURNS + 1; }, "Fin (64 tours). Égalité 19 - 19."},
    {"BlueAheadOnScoreWinsWithItsScoreFirst",
     [] {
         control_grid[4][4] = control_grid[4][5] = CONTROL_BLUE;
         turn_count = MAX_TURNS + 1;
     },
     "Fin (64 tours). Score Bleu 21 > Rouge 19 — Bleu gagne !"},
    {"RedAheadOnScoreWinsWithItsScoreFirst",
     [] {
         control_grid[4][4] = control_grid[4][5] = control_grid[4][6] = CONTROL_RED;
         turn_count = MAX_TURNS + 1;
     },
     "Fin (64 tours). Score Rouge 22 > Bleu 19 — Rouge gagne !"},
    {"TheScoreCountsNeitherKingsNorCornerMarks",
     [] {
         board[2][2] = board[3][1] = CELL_EMPTY; // two Blue soldiers gone, their marks left
         control_grid[0][0] = control_grid[8][8] = CONTROL_BLUE;
         turn_count = MAX_TURNS + 1;
     },
     "Fin (64 tours). Score Rouge 19 > Bleu 17 — Rouge gagne !"},
    {"AFallenKingComesBeforeEverythingElse",
     [] {
         red_king_alive = 0;
         captured_red_soldiers = captured_blue_soldiers = 8;
         turn_count = MAX_TURNS + 1;
     },
     RED_KING_FELL},
    {"BlueKingIsTestedBeforeRedKing", [] { blue_king_alive = red_king_alive = 0; }, BLUE_KING_FELL},
    {"LostSoldiersComeBeforeTheTurnLimitRedsFirst",
     [] {
         captured_red_soldiers = 8;
         captured_blue_soldiers = 9;
         turn_count = MAX_TURNS + 1;
     },
     RED_SOLDIERS_LOST},
    {"BlueSoldiersLostComeBeforeTheTurnLimit",
     [] {
         captured_blue_soldiers = 8;
         turn_count = MAX_TURNS + 1;
     },
     BLUE_SOLDIERS_LOST},
};

class EndOfGameCases : public EndOfGame, public ::testing::WithParamInterface<EndCase>
{
};

void PrintTo(const EndCase& c, std::ostream* out)
{
    *out << c.name;
}

TEST_P(EndOfGameCases, EndsWithItsMessage)
{
    GetParam().bring_about();
    expect_game_over_with(GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Scores, EndOfGameCases, ::testing::ValuesIn(END_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

TEST_F(EndOfGame, TheMoveThatTakesTheTurnPastSixtyFourEndsTheGame)
{
    turn_count = MAX_TURNS;
    update_all_labels();
    expect_game_goes_on(snapshot_state());

    // Blue's last move, as the turn flow plays it: the origin keeps its mark.
    std::string printed;
    ASSERT_EQ(try_move_printing(2, 2, 4, 2, &printed), 1);
    turn_count++;
    current_player = other_player(current_player);
    update_all_labels();
    expect_game_over_with("Fin (64 tours). Score Bleu 20 > Rouge 19 — Bleu gagne !");
    EXPECT_EQ(label_markup(blue_turn_label), "<span size='16000' foreground='#1E90FF'>Tour 65 / 64</span>");
    EXPECT_EQ(label_markup(red_turn_label), "<span size='16000' foreground='#FF3030'>Tour 65 / 64</span>");
}

// The end handling itself

TEST_F(EndOfGame, WithNoLabelGivenTheStatusLabelsStayAsTheyWere)
{
    red_king_alive = 0;
    const std::string before[] = {label_markup(blue_score_label), label_markup(blue_turn_label),
                                  label_markup(turn_center_label), label_markup(red_score_label),
                                  label_markup(red_turn_label)};
    check_end(nullptr);
    const std::string after[] = {label_markup(blue_score_label), label_markup(blue_turn_label),
                                 label_markup(turn_center_label), label_markup(red_score_label),
                                 label_markup(red_turn_label)};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(after[i], before[i]);
    EXPECT_TRUE(board_is_frozen(drawing_area));
    const auto shown = alerts();
    ASSERT_EQ(shown.size(), 1u);
    expect_alert(shown[0], RED_KING_FELL);
}

TEST_F(EndOfGame, TheEndTestChangesNoGameState)
{
    red_king_alive = 0;
    turn_count = MAX_TURNS + 3;
    const GameState before = snapshot_state();
    check_end(result_label);
    EXPECT_TRUE(snapshot_state() == before);
}

TEST_F(EndOfGame, DismissingTheAlertClosesItAndChangesNothing)
{
    captured_blue_soldiers = 8;
    expect_game_over_with(BLUE_SOLDIERS_LOST);
    const auto shown = alerts();
    ASSERT_EQ(shown.size(), 1u);
    GtkWindow* alert = shown[0];
    g_object_add_weak_pointer(G_OBJECT(alert), reinterpret_cast<gpointer*>(&alert));
    const GameState before = snapshot_state();
    const std::string turn_text = label_markup(turn_center_label);

    ASSERT_NE(ok_button(alert), nullptr);
    g_signal_emit_by_name(ok_button(alert), "clicked");
    run_pending_events();

    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(alert, nullptr) << "the dismissed alert still exists";
    if (alert)
        g_object_remove_weak_pointer(G_OBJECT(alert), reinterpret_cast<gpointer*>(&alert));
    EXPECT_TRUE(snapshot_state() == before);
    EXPECT_TRUE(board_is_frozen(drawing_area));
    EXPECT_EQ(gtk_label_get_label(GTK_LABEL(result_label)), std::string(BLUE_SOLDIERS_LOST));
    EXPECT_EQ(label_markup(turn_center_label), turn_text);
    EXPECT_EQ(toplevel_windows().size(), 1u);

    // The next check raises it again.
    expect_game_over_with(BLUE_SOLDIERS_LOST);
}

// Past the turn limit each move received may change the score: the one alert
// open always shows the current result.
TEST_F(EndOfGame, ALaterCheckReplacesTheOpenAlertWithTheCurrentResult)
{
    turn_count = MAX_TURNS + 1;
    expect_game_over_with("Fin (64 tours). Égalité 19 - 19.");
    control_grid[4][4] = CONTROL_BLUE;
    expect_game_over_with("Fin (64 tours). Score Bleu 20 > Rouge 19 — Bleu gagne !");

    // An alert closed without its answer, as when the toolkit takes it down.
    for (GtkWindow* alert : alerts())
        gtk_window_destroy(alert);
    run_pending_events();
    expect_game_over_with("Fin (64 tours). Score Bleu 20 > Rouge 19 — Bleu gagne !");
}

TEST_F(EndOfGame, ABoardOutsideAnyWindowStillEndsTheGame)
{
    GtkWidget* loose_board = g_object_ref_sink(gtk_drawing_area_new());
    red_king_alive = 0;
    check_end_and_update(nullptr, loose_board);
    run_pending_events();
    EXPECT_TRUE(board_is_frozen(loose_board));
    const auto shown = alerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(gtk_window_get_transient_for(shown[0]), nullptr);
    g_object_unref(loose_board);
}
