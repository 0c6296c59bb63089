// The five status labels: control and soldier counts of each side, the turn
// number and the side to move, as Pango markup.
#include "game_state.hpp"
#include "game_window.hpp"

namespace
{

using ScoresLabels = GameWindowTest;

std::string blue_score(int control, int soldiers)
{
    return "<span size='18000' weight='bold' foreground='#1E90FF'>Contrôle: " + std::to_string(control) +
           " | Soldats: " + std::to_string(soldiers) + "</span>";
}

std::string red_score(int control, int soldiers)
{
    return "<span size='18000' weight='bold' foreground='#FF3030'>Contrôle: " + std::to_string(control) +
           " | Soldats: " + std::to_string(soldiers) + "</span>";
}

std::string blue_turn(int turn)
{
    return "<span size='16000' foreground='#1E90FF'>Tour " + std::to_string(turn) + " / 64</span>";
}

std::string red_turn(int turn)
{
    return "<span size='16000' foreground='#FF3030'>Tour " + std::to_string(turn) + " / 64</span>";
}

} // namespace

TEST_F(ScoresLabels, ANewGameShowsTenControlledNineSoldiersTurnOneAndBlueToMove)
{
    update_all_labels();
    EXPECT_EQ(label_markup(blue_score_label), blue_score(10, 9));
    EXPECT_EQ(label_markup(red_score_label), red_score(10, 9));
    EXPECT_EQ(label_markup(turn_center_label),
              "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Bleu</span>");
    EXPECT_EQ(label_markup(blue_turn_label), blue_turn(1));
    EXPECT_EQ(label_markup(red_turn_label), red_turn(1));
}

TEST_F(ScoresLabels, TheMarkupIsReadAsMarkup)
{
    update_all_labels();
    EXPECT_TRUE(gtk_label_get_use_markup(GTK_LABEL(blue_score_label)));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(blue_score_label)), "Contrôle: 10 | Soldats: 9");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(red_turn_label)), "Tour 1 / 64");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(turn_center_label)), "Au tour de: Bleu");
}

TEST_F(ScoresLabels, RedToMoveIsNamed)
{
    current_player = PLAYER_RED;
    update_all_labels();
    EXPECT_EQ(label_markup(turn_center_label),
              "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Rouge</span>");
}

TEST_F(ScoresLabels, EachSideGetsItsOwnFigures)
{
    // Blue moves: its origin keeps the mark, so Blue controls one more square.
    std::string printed;
    ASSERT_EQ(try_move_printing(2, 2, 4, 2, &printed), 1);
    control_grid[4][6] = CONTROL_RED;
    control_grid[4][7] = CONTROL_RED;
    board[6][6] = CELL_EMPTY; // a Red soldier gone, its mark left behind
    turn_count = 2;
    current_player = PLAYER_RED;
    update_all_labels();
    EXPECT_EQ(label_markup(blue_score_label), blue_score(11, 9));
    EXPECT_EQ(label_markup(red_score_label), red_score(12, 8));
    EXPECT_EQ(label_markup(blue_turn_label), blue_turn(2));
    EXPECT_EQ(label_markup(red_turn_label), red_turn(2));
}

TEST_F(ScoresLabels, MarksOnTheCornersAreNeverCounted)
{
    control_grid[0][0] = CONTROL_BLUE;
    control_grid[8][8] = CONTROL_RED;
    update_all_labels();
    EXPECT_EQ(label_markup(blue_score_label), blue_score(10, 9));
    EXPECT_EQ(label_markup(red_score_label), red_score(10, 9));
    control_grid[0][0] = CONTROL_RED;
    control_grid[8][8] = CONTROL_BLUE;
    update_all_labels();
    EXPECT_EQ(label_markup(blue_score_label), blue_score(10, 9));
    EXPECT_EQ(label_markup(red_score_label), red_score(10, 9));
}

TEST_F(ScoresLabels, KingsAreNotCountedAsSoldiers)
{
    clear_board();
    put(1, 1, CELL_BLUE_KING);
    put(2, 2, CELL_BLUE_SOLDIER);
    put(3, 3, CELL_BLUE_SOLDIER);
    put(7, 7, CELL_RED_KING);
    update_all_labels();
    EXPECT_EQ(label_markup(blue_score_label), blue_score(3, 2));
    EXPECT_EQ(label_markup(red_score_label), red_score(1, 0));
}

TEST_F(ScoresLabels, TheTurnIsShownUnclamped)
{
    turn_count = 65;
    update_all_labels();
    EXPECT_EQ(label_markup(blue_turn_label), blue_turn(65));
    EXPECT_EQ(label_markup(red_turn_label), red_turn(65));
}

TEST_F(ScoresLabels, WritingTheLabelsChangesNoGameStateNorTheBoardWidget)
{
    control_grid[4][4] = CONTROL_RED;
    const GameState before = snapshot_state();
    update_all_labels();
    EXPECT_TRUE(snapshot_state() == before);
    EXPECT_FALSE(board_is_frozen(drawing_area));
    EXPECT_TRUE(open_alerts(GTK_WINDOW(window)).empty());
}
