// The end of the game: which condition wins, the texts, the board made
// insensitive and the alert raised, and nothing at all while play goes on.
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
        EXPECT_FALSE(gtk_widget_get_sensitive(drawing_area));
        const auto alerts = open_alerts();
        ASSERT_EQ(alerts.size(), 1u);
        expect_alert(alerts[0], message);
    }

    void expect_alert(GtkMessageDialog* alert, const std::string& message)
    {
        char* text = nullptr;
        char* detail = nullptr;
        gboolean text_is_markup = TRUE;
        g_object_get(alert, "text", &text, "secondary-text", &detail, "use-markup", &text_is_markup, nullptr);
        EXPECT_STREQ(text, message.c_str());
        EXPECT_STREQ(detail, DETAIL);
        EXPECT_FALSE(text_is_markup);
        g_free(text);
        g_free(detail);
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(alert)));
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(alert)), GTK_WINDOW(window));
        const std::vector<std::string> buttons = button_labels(gtk_window_get_child(GTK_WINDOW(alert)));
        EXPECT_EQ(buttons, std::vector<std::string>{"OK"});
    }

    static std::vector<std::string> button_labels(GtkWidget* widget)
    {
        std::vector<std::string> labels;
        if (GTK_IS_BUTTON(widget)) {
            const char* label = gtk_button_get_label(GTK_BUTTON(widget));
            labels.push_back(label ? label : "<no label>");
            return labels;
        }
        for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
            for (const std::string& l : button_labels(child))
                labels.push_back(l);
        return labels;
    }

    // Nothing the end test touches has changed.
    void expect_game_goes_on(const GameState& before)
    {
        const size_t windows = toplevel_windows().size();
        check_end(result_label);
        EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(result_label)), "<b>en cours</b>");
        EXPECT_TRUE(gtk_label_get_use_markup(GTK_LABEL(result_label)));
        EXPECT_TRUE(gtk_widget_get_sensitive(drawing_area));
        EXPECT_TRUE(open_alerts().empty());
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

// Each end and its text

TEST_F(EndOfGame, BlueKingFallenGivesRedTheGame)
{
    blue_king_alive = 0;
    expect_game_over_with(BLUE_KING_FELL);
}

TEST_F(EndOfGame, RedKingFallenGivesBlueTheGame)
{
    red_king_alive = 0;
    expect_game_over_with(RED_KING_FELL);
}

TEST_F(EndOfGame, EightRedSoldiersLostGiveBlueTheGame)
{
    captured_red_soldiers = 8;
    expect_game_over_with(RED_SOLDIERS_LOST);
}

TEST_F(EndOfGame, EightBlueSoldiersLostGiveRedTheGame)
{
    captured_blue_soldiers = 8;
    expect_game_over_with(BLUE_SOLDIERS_LOST);
}

TEST_F(EndOfGame, EqualScoresAtTheTurnLimitAreADraw)
{
    turn_count = MAX_TURNS + 1;
    expect_game_over_with("Fin (64 tours). Égalité 19 - 19.");
}

TEST_F(EndOfGame, BlueAheadOnScoreWinsWithItsScoreFirst)
{
    control_grid[4][4] = CONTROL_BLUE;
    control_grid[4][5] = CONTROL_BLUE;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with("Fin (64 tours). Score Bleu 21 > Rouge 19 — Bleu gagne !");
}

TEST_F(EndOfGame, RedAheadOnScoreWinsWithItsScoreFirst)
{
    control_grid[4][4] = CONTROL_RED;
    control_grid[4][5] = CONTROL_RED;
    control_grid[4][6] = CONTROL_RED;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with("Fin (64 tours). Score Rouge 22 > Bleu 19 — Rouge gagne !");
}

TEST_F(EndOfGame, TheScoreCountsNeitherKingsNorCornerMarks)
{
    board[2][2] = CELL_EMPTY; // two Blue soldiers gone, their marks left
    board[3][1] = CELL_EMPTY;
    control_grid[0][0] = CONTROL_BLUE;
    control_grid[8][8] = CONTROL_BLUE;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with("Fin (64 tours). Score Rouge 19 > Bleu 17 — Rouge gagne !");
}

// Which end comes first

TEST_F(EndOfGame, AFallenKingComesBeforeEverythingElse)
{
    red_king_alive = 0;
    captured_red_soldiers = 8;
    captured_blue_soldiers = 8;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with(RED_KING_FELL);
}

TEST_F(EndOfGame, BlueKingIsTestedBeforeRedKing)
{
    blue_king_alive = 0;
    red_king_alive = 0;
    expect_game_over_with(BLUE_KING_FELL);
}

TEST_F(EndOfGame, LostSoldiersComeBeforeTheTurnLimitRedsFirst)
{
    captured_red_soldiers = 8;
    captured_blue_soldiers = 9;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with(RED_SOLDIERS_LOST);
}

TEST_F(EndOfGame, BlueSoldiersLostComeBeforeTheTurnLimit)
{
    captured_blue_soldiers = 8;
    turn_count = MAX_TURNS + 1;
    expect_game_over_with(BLUE_SOLDIERS_LOST);
}

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
    EXPECT_FALSE(gtk_widget_get_sensitive(drawing_area));
    const auto alerts = open_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    expect_alert(alerts[0], RED_KING_FELL);
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
    const auto alerts = open_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    GtkMessageDialog* alert = alerts[0];
    g_object_add_weak_pointer(G_OBJECT(alert), reinterpret_cast<gpointer*>(&alert));
    const GameState before = snapshot_state();
    const std::string turn_text = label_markup(turn_center_label);

    gtk_dialog_response(GTK_DIALOG(alert), GTK_RESPONSE_OK);
    run_pending_events();

    EXPECT_TRUE(open_alerts().empty());
    EXPECT_EQ(alert, nullptr) << "the dismissed alert still exists";
    if (alert)
        g_object_remove_weak_pointer(G_OBJECT(alert), reinterpret_cast<gpointer*>(&alert));
    EXPECT_TRUE(snapshot_state() == before);
    EXPECT_FALSE(gtk_widget_get_sensitive(drawing_area));
    EXPECT_EQ(gtk_label_get_label(GTK_LABEL(result_label)), std::string(BLUE_SOLDIERS_LOST));
    EXPECT_EQ(label_markup(turn_center_label), turn_text);
    EXPECT_EQ(toplevel_windows().size(), 1u);
}

TEST_F(EndOfGame, EachLaterCheckRaisesTheAlertAgain)
{
    blue_king_alive = 0;
    check_end(nullptr);
    check_end(nullptr);
    const auto alerts = open_alerts();
    ASSERT_EQ(alerts.size(), 2u);
    expect_alert(alerts[0], BLUE_KING_FELL);
    expect_alert(alerts[1], BLUE_KING_FELL);
}

TEST_F(EndOfGame, ABoardOutsideAnyWindowStillEndsTheGame)
{
    GtkWidget* loose_board = g_object_ref_sink(gtk_drawing_area_new());
    red_king_alive = 0;
    check_end_and_update(nullptr, loose_board);
    run_pending_events();
    EXPECT_FALSE(gtk_widget_get_sensitive(loose_board));
    const auto alerts = open_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(alerts[0])), nullptr);
    g_object_unref(loose_board);
}
