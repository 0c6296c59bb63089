// Game state and rules of the one game a run plays.
#include "app.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include <gtk/gtk.h>

#include "gui.hpp"
#include "i18n.hpp"

Grid board{};
Grid control_grid{};
Grid highlight_moves{};
int32_t current_player = PLAYER_BLUE;
int32_t turn_count = 1;
int32_t captured_blue_soldiers = 0;
int32_t captured_red_soldiers = 0;
int32_t blue_king_alive = 1;
int32_t red_king_alive = 1;
int32_t has_selection = 0;
int32_t sel_r = -1;
int32_t sel_c = -1;
std::array<HistoryMove, MOVE_HISTORY_SIZE> move_history{};
int32_t move_history_count = 0;
int32_t move_history_overflowed = 0;

static constexpr size_t LABEL_BUFFER_BYTES = 512;
static constexpr size_t MESSAGE_BUFFER_BYTES = 256;

// Blue's half of the starting position; Red's is the same turned half a turn
// about the centre square.
static constexpr int32_t BLUE_KING_START[2] = {1, 1};
static constexpr int32_t BLUE_SOLDIERS_START[9][2] = {{0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 0},
                                                      {2, 1}, {2, 2}, {3, 0}, {3, 1}};

static void place_starting_pieces()
{
    const int32_t last = BOARD_SIZE - 1;
    board[BLUE_KING_START[0]][BLUE_KING_START[1]] = CELL_BLUE_KING;
    board[last - BLUE_KING_START[0]][last - BLUE_KING_START[1]] = CELL_RED_KING;
    for (const auto& sq : BLUE_SOLDIERS_START) {
        board[sq[0]][sq[1]] = CELL_BLUE_SOLDIER;
        board[last - sq[0]][last - sq[1]] = CELL_RED_SOLDIER;
    }
}

static int32_t sign(int32_t v)
{
    return (v > 0) - (v < 0);
}

void new_game_setup()
{
    fill_grid(board, CELL_EMPTY);
    board[0][0] = CELL_CORNER;
    board[BOARD_SIZE - 1][BOARD_SIZE - 1] = CELL_CORNER;
    fill_grid(control_grid, CONTROL_NONE);
    fill_grid(highlight_moves, 0);
    place_starting_pieces();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (is_blue_piece(board[r][c]))
                control_grid[r][c] = CONTROL_BLUE;
            else if (is_red_piece(board[r][c]))
                control_grid[r][c] = CONTROL_RED;
        }
    current_player = PLAYER_BLUE;
    turn_count = 1;
    captured_blue_soldiers = 0;
    captured_red_soldiers = 0;
    blue_king_alive = 1;
    red_king_alive = 1;
    has_selection = 0;
    sel_c = -1;
    sel_r = -1;
    move_history.fill({});
    move_history_count = 0;
    move_history_overflowed = 0;
}

// ---------------------------------------------------------------------------
// Moves and captures

void compute_possible_moves(int32_t row, int32_t col)
{
    fill_grid(highlight_moves, 0);
    if (!is_piece_of(current_player, board[row][col]))
        return;
    for (const auto& d : dirs) {
        int32_t r = row + d[0];
        int32_t c = col + d[1];
        while (on_board(r, c) && board[r][c] == CELL_EMPTY) {
            highlight_moves[r][c] = 1;
            r += d[0];
            c += d[1];
        }
    }
}

// Takes a captured piece off the board and books it. Only called by
// try_move, for an on-board square holding an enemy piece.
static void remove_piece(int32_t row, int32_t col)
{
    const int32_t cell = board[row][col];
    if (cell == CELL_EMPTY)
        return;
    if (cell == CELL_BLUE_SOLDIER)
        captured_blue_soldiers++;
    else if (cell == CELL_BLUE_KING)
        blue_king_alive = 0;
    else if (cell == CELL_RED_SOLDIER)
        captured_red_soldiers++;
    else if (cell == CELL_RED_KING)
        red_king_alive = 0;
    board[row][col] = CELL_EMPTY;
    control_grid[row][col] = CONTROL_NONE;
}

// A legal move: both squares on the board, an own piece on the origin, an
// empty destination on the same row or column, and only empty squares between.
static bool is_legal_move(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    if (!on_board(from_row, from_col) || !on_board(to_row, to_col))
        return false;
    if (board[from_row][from_col] == CELL_EMPTY)
        return false;
    if (!is_piece_of(current_player, board[from_row][from_col]))
        return false;
    if (board[to_row][to_col] != CELL_EMPTY)
        return false;
    if (from_row != to_row && from_col != to_col)
        return false;
    const int32_t dr = sign(to_row - from_row);
    const int32_t dc = sign(to_col - from_col);
    for (int32_t r = from_row + dr, c = from_col + dc; r != to_row || c != to_col; r += dr, c += dc)
        if (board[r][c] != CELL_EMPTY)
            return false;
    return true;
}

// An enemy piece next to the destination falls when an own piece stands
// right behind it.
static void capture_enclosed(int32_t row, int32_t col)
{
    const int32_t mover = current_player;
    for (const auto& d : dirs) {
        const int32_t ar = row + d[0], ac = col + d[1];
        const int32_t br = row + 2 * d[0], bc = col + 2 * d[1];
        if (!on_board(ar, ac) || !on_board(br, bc))
            continue;
        if (is_piece_of(other_player(mover), board[ar][ac]) && is_piece_of(mover, board[br][bc]))
            remove_piece(ar, ac);
    }
}

// In the direction of travel the enemy piece ahead falls unless a piece of
// its own side stands right behind it.
static void capture_ahead(int32_t row, int32_t col, int32_t dr, int32_t dc)
{
    const int32_t enemy = other_player(current_player);
    const int32_t ar = row + dr, ac = col + dc;
    if (!on_board(ar, ac) || !is_piece_of(enemy, board[ar][ac]))
        return;
    const int32_t br = row + 2 * dr, bc = col + 2 * dc;
    if (on_board(br, bc) && is_piece_of(enemy, board[br][bc]))
        return;
    remove_piece(ar, ac);
}

// Every applied move passes here once, whoever made it: the player at this
// screen, the peer or the computer.
static void record_move(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    if (move_history_count == MOVE_HISTORY_SIZE) {
        move_history_overflowed = 1;
        return;
    }
    move_history[move_history_count++] = {from_row, from_col, to_row, to_col};
}

int32_t try_move(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    if (!is_legal_move(from_row, from_col, to_row, to_col))
        return 0;

    const int32_t piece = board[from_row][from_col];
    board[to_row][to_col] = piece;
    board[from_row][from_col] = CELL_EMPTY;
    std::printf("[LOG] %s déplace %s de (%d,%d) vers (%d,%d)\n", current_player == PLAYER_BLUE ? "Bleu" : "Rouge",
                is_king(piece) ? "Roi" : "Soldat", from_row, from_col, to_row, to_col);
    std::fflush(stdout);

    control_grid[to_row][to_col] = current_player == PLAYER_BLUE ? CONTROL_BLUE : CONTROL_RED;
    capture_enclosed(to_row, to_col);
    capture_ahead(to_row, to_col, sign(to_row - from_row), sign(to_col - from_col));
    record_move(from_row, from_col, to_row, to_col);
    return 1;
}

// ---------------------------------------------------------------------------
// Scores, end of game and status labels

static void compute_live_scores(int32_t* blue_control, int32_t* red_control, int32_t* blue_soldiers,
                                int32_t* red_soldiers)
{
    *blue_control = *red_control = *blue_soldiers = *red_soldiers = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (!is_corner_square(r, c)) {
                *blue_control += control_grid[r][c] == CONTROL_BLUE;
                *red_control += control_grid[r][c] == CONTROL_RED;
            }
            *blue_soldiers += board[r][c] == CELL_BLUE_SOLDIER;
            *red_soldiers += board[r][c] == CELL_RED_SOLDIER;
        }
}

// The label's text is formatted in the player's language, its span is the
// game's look, kept out of the catalogues.
[[gnu::format(printf, 3, 4)]] static void set_label(GtkWidget* label, const char* span, const char* format, ...)
{
    char text[LABEL_BUFFER_BYTES];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    set_label_in_span(label, span, text);
}

static constexpr const char* BLUE_SCORE_SPAN = "<span size='18000' weight='bold' foreground='#1E90FF'>";
static constexpr const char* RED_SCORE_SPAN = "<span size='18000' weight='bold' foreground='#FF3030'>";
static constexpr const char* TURN_TO_MOVE_SPAN = "<span size='22000' weight='bold' foreground='#FFD700'>";
static constexpr const char* BLUE_TURN_SPAN = "<span size='16000' foreground='#1E90FF'>";
static constexpr const char* RED_TURN_SPAN = "<span size='16000' foreground='#FF3030'>";

static const char* score_format()
{
    /* Translators: a side's status: the squares it controls, then its soldiers on the board. */
    return _("Contrôle: %d | Soldats: %d");
}

static const char* turn_format()
{
    /* Translators: the number of the move about to be played (from 1, counted over both sides), then
       the limit, 64 moves. */
    return _("Tour %d / %d");
}

static const char* to_move_text()
{
    /* Translators: above the board: the side to move. */
    return current_player == PLAYER_BLUE ? _("Au tour de: Bleu") : _("Au tour de: Rouge");
}

void update_labels(GtkWidget* blue_score, GtkWidget* blue_turn, GtkWidget* red_score, GtkWidget* red_turn)
{
    int32_t blue_control, red_control, blue_soldiers, red_soldiers;
    compute_live_scores(&blue_control, &red_control, &blue_soldiers, &red_soldiers);

    set_label(blue_score, BLUE_SCORE_SPAN, score_format(), blue_control, blue_soldiers);
    set_label(red_score, RED_SCORE_SPAN, score_format(), red_control, red_soldiers);
    set_label_in_span(turn_center_label, TURN_TO_MOVE_SPAN, to_move_text());
    set_label(blue_turn, BLUE_TURN_SPAN, turn_format(), turn_count, MAX_TURNS);
    set_label(red_turn, RED_TURN_SPAN, turn_format(), turn_count, MAX_TURNS);
}

// The end conditions, in the order they are tested: a fallen king first,
// then the lost soldiers, then the turn limit.
enum EndCondition { GAME_GOES_ON, BLUE_KING_FELL, RED_KING_FELL, RED_SOLDIERS_LOST, BLUE_SOLDIERS_LOST, TURNS_RUN_OUT };

static EndCondition end_condition()
{
    if (blue_king_alive == 0)
        return BLUE_KING_FELL;
    if (red_king_alive == 0)
        return RED_KING_FELL;
    if (captured_red_soldiers >= SOLDIER_LOSS_LIMIT)
        return RED_SOLDIERS_LOST;
    if (captured_blue_soldiers >= SOLDIER_LOSS_LIMIT)
        return BLUE_SOLDIERS_LOST;
    if (turn_count > MAX_TURNS)
        return TURNS_RUN_OUT;
    return GAME_GOES_ON;
}

// At the turn limit, soldiers plus control decide.
static void write_score_message(char (&message)[MESSAGE_BUFFER_BYTES])
{
    int32_t blue_control, red_control, blue_soldiers, red_soldiers;
    compute_live_scores(&blue_control, &red_control, &blue_soldiers, &red_soldiers);
    const int32_t blue = blue_soldiers + blue_control;
    const int32_t red = red_soldiers + red_control;
    if (blue > red)
        /* Translators: the end at the 64-move limit, where a side's score is its soldiers on the board
           plus the squares it controls: Blue's score, then Red's. */
        std::snprintf(message, sizeof message, _("Fin (64 tours). Score Bleu %d > Rouge %d — Bleu gagne !"), blue, red);
    else if (red > blue)
        /* Translators: the end at the 64-move limit: Red's score, then Blue's. */
        std::snprintf(message, sizeof message, _("Fin (64 tours). Score Rouge %d > Bleu %d — Rouge gagne !"), red,
                      blue);
    else
        /* Translators: a draw at the 64-move limit: Blue's score, then Red's (the same). */
        std::snprintf(message, sizeof message, _("Fin (64 tours). Égalité %d - %d."), blue, red);
}

// Writes the end message into `message` and returns true when the game is over.
static bool end_message(char (&message)[MESSAGE_BUFFER_BYTES])
{
    const char* fixed = nullptr;
    switch (end_condition()) {
    case GAME_GOES_ON:
        return false;
    case BLUE_KING_FELL:
        /* Translators: the end of the game when Blue's king is captured, or reaches Red's corner. */
        fixed = _("Fin : Roi Bleu exécuté ou conquête Rouge — Rouge gagne !");
        break;
    case RED_KING_FELL:
        /* Translators: the end of the game when Red's king is captured, or reaches Blue's corner. */
        fixed = _("Fin : Roi Rouge exécuté ou conquête Bleue — Bleu gagne !");
        break;
    case RED_SOLDIERS_LOST:
        fixed = _("Fin : 8 soldats rouges capturés — Bleu gagne !");
        break;
    case BLUE_SOLDIERS_LOST:
        fixed = _("Fin : 8 soldats bleus capturés — Rouge gagne !");
        break;
    case TURNS_RUN_OUT:
        write_score_message(message);
        return true;
    }
    std::snprintf(message, sizeof message, "%s", fixed);
    return true;
}

void check_end_and_update(GtkWidget* label, GtkWidget* board_widget)
{
    char message[MESSAGE_BUFFER_BYTES];
    if (!end_message(message))
        return;
    if (label)
        gtk_label_set_text(GTK_LABEL(label), message);
    freeze_board(board_widget);
    GtkRoot* root = gtk_widget_get_root(board_widget);
    show_game_over_popup(message, root ? GTK_WINDOW(root) : nullptr);
}

int32_t end_of_game_message(char* text, size_t size)
{
    char message[MESSAGE_BUFFER_BYTES];
    if (!end_message(message))
        return 0;
    std::snprintf(text, size, "%s", message);
    return 1;
}

// At most one end-of-game alert is open: each later end check replaces it
// with one showing the current result, so a peer that keeps sending moves
// after the end cannot pile up windows.
#if GTK_CHECK_VERSION(4, 10, 0)
// Cancelling the open alert's choice closes it; null when none is open.
static GCancellable* open_alert = nullptr;

// Once the alert is gone, cancelling its choice must not reach the toolkit:
// it would destroy the window a second time.
static void forget_alert(gpointer cancellable)
{
    if (open_alert == cancellable)
        g_clear_object(&open_alert);
}

// Called once per alert, when the player dismisses it or it is replaced.
static void alert_closed(GObject* dialog, GAsyncResult* result, gpointer cancellable)
{
    GError* error = nullptr;
    gtk_alert_dialog_choose_finish(GTK_ALERT_DIALOG(dialog), result, &error);
    g_clear_error(&error);
    forget_alert(cancellable);
    g_object_unref(cancellable);
}

static void alert_window_destroyed(GtkWidget*, gpointer cancellable)
{
    forget_alert(cancellable);
}

static void release_cancellable(gpointer cancellable, GClosure*)
{
    g_object_unref(cancellable);
}

// A window made while the alert is being shown is the alert's. Its destruction
// by anything else than the alert's own answer (the window it belongs to going
// away) is seen here.
static void watch_alert_windows(GListModel* toplevels, guint position, guint, guint added, gpointer cancellable)
{
    for (guint i = position; i < position + added; ++i) {
        GObject* window = static_cast<GObject*>(g_list_model_get_item(toplevels, i));
        g_signal_connect_data(window, "destroy", G_CALLBACK(alert_window_destroyed), g_object_ref(cancellable),
                              release_cancellable, GConnectFlags(0));
        g_object_unref(window);
    }
}

static void close_open_alert()
{
    if (!open_alert)
        return;
    GCancellable* cancellable = open_alert;
    open_alert = nullptr;
    g_cancellable_cancel(cancellable);
    g_object_unref(cancellable);
}
#else
static GtkWidget* open_alert = nullptr;

static void close_message_dialog(GtkDialog* dialog, int, gpointer)
{
    gtk_window_destroy(GTK_WINDOW(dialog));
}

static void forget_alert(GtkWidget* dialog, gpointer)
{
    if (open_alert == dialog)
        open_alert = nullptr;
}

static void close_open_alert()
{
    if (open_alert)
        gtk_window_destroy(GTK_WINDOW(open_alert)); // forget_alert clears it
}
#endif

// The alert's detail asks for a click on "OK", so its one button says so.
static const char* alert_detail()
{
    /* Translators: below the end-of-game message; "OK" is the alert's one button, as translated
       below. */
    return _("Cliquez OK pour continuer.");
}

static const char* alert_button()
{
    /* Translators: the end-of-game alert's one button, which its detail text names. */
    return _("OK");
}

void show_game_over_popup(const char* message, GtkWindow* parent)
{
    close_open_alert();
#if GTK_CHECK_VERSION(4, 10, 0)
    GtkAlertDialog* dialog = gtk_alert_dialog_new("%s", message);
    gtk_alert_dialog_set_modal(dialog, TRUE);
    gtk_alert_dialog_set_detail(dialog, alert_detail());
    const char* buttons[] = {alert_button(), nullptr};
    gtk_alert_dialog_set_buttons(dialog, buttons);
    open_alert = g_cancellable_new();
    GListModel* toplevels = gtk_window_get_toplevels();
    const gulong watch = g_signal_connect(toplevels, "items-changed", G_CALLBACK(watch_alert_windows), open_alert);
    gtk_alert_dialog_choose(dialog, parent, open_alert, alert_closed, g_object_ref(open_alert));
    g_signal_handler_disconnect(toplevels, watch);
    g_object_unref(dialog);
#else
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_NONE, "%s", message);
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", alert_detail());
    gtk_dialog_add_button(GTK_DIALOG(dialog), alert_button(), GTK_RESPONSE_OK);
    g_signal_connect(dialog, "response", G_CALLBACK(close_message_dialog), nullptr);
    g_signal_connect(dialog, "destroy", G_CALLBACK(forget_alert), nullptr);
    open_alert = dialog;
    gtk_window_present(GTK_WINDOW(dialog));
#endif
}

int32_t is_game_over()
{
    return end_condition() != GAME_GOES_ON ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Texts for assistive technologies

// Appends to a fixed buffer; what does not fit is cut.
struct TextOut {
    char* text;
    size_t size;
    size_t used = 0;
};

[[gnu::format(printf, 2, 3)]] static void append(TextOut& out, const char* format, ...)
{
    if (out.used + 1 >= out.size)
        return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(out.text + out.used, out.size - out.used, format, args);
    va_end(args);
    if (n > 0)
        out.used = std::min(out.size - 1, out.used + static_cast<size_t>(n));
}

// The coordinate of a square as the board's edges show it: "A9" for (0,0).
struct Coordinate {
    char text[3];
};

static Coordinate coordinate(int32_t row, int32_t col)
{
    return {{static_cast<char>('A' + col), static_cast<char>('9' - row), '\0'}};
}

// Each text below is a whole sentence in the catalogues, with the squares'
// coordinates (such as "C7") as its arguments: the sides' and pieces' names
// agree with what surrounds them, which differs from one language to another.

// The format of a square's name, whose one argument is the coordinate.
static const char* square_name_format(int32_t row, int32_t col)
{
    switch (board[row][col]) {
    case CELL_CORNER:
        /* Translators: a square of the board as a screen reader reads it: %s is its coordinate, a column
           letter A to I and a row digit 9 to 1 as the board's edges show them ("A9"); here one of the two
           corner squares, which no piece enters. */
        return _("%s, coin");
    case CELL_BLUE_SOLDIER:
        /* Translators: a square (%s: its coordinate, such as "C7") holding a soldier of Blue's. */
        return _("%s, soldat bleu");
    case CELL_BLUE_KING:
        /* Translators: a square (%s: its coordinate) holding Blue's king. */
        return _("%s, roi bleu");
    case CELL_RED_SOLDIER:
        /* Translators: a square (%s: its coordinate) holding a soldier of Red's. */
        return _("%s, soldat rouge");
    case CELL_RED_KING:
        /* Translators: a square (%s: its coordinate) holding Red's king. */
        return _("%s, roi rouge");
    default:
        break;
    }
    if (control_grid[row][col] == CONTROL_BLUE)
        /* Translators: an empty square (%s: its coordinate) that carries Blue's control mark. */
        return _("%s, vide, contrôlé par Bleu");
    if (control_grid[row][col] == CONTROL_RED)
        /* Translators: an empty square (%s: its coordinate) that carries Red's control mark. */
        return _("%s, vide, contrôlé par Rouge");
    /* Translators: an empty square (%s: its coordinate) with no control mark. */
    return _("%s, vide");
}

void square_access_name(int32_t row, int32_t col, char* text, size_t size)
{
    std::snprintf(text, size, square_name_format(row, col), coordinate(row, col).text);
}

// The coordinates of every square holding `cell`, in reading order, joined
// by ", " (the coordinates stay as the board shows them in every language),
// and how many there are.
static int32_t squares_holding(int32_t cell, char* list, size_t size)
{
    TextOut out{list, size};
    list[0] = '\0';
    int32_t count = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (board[r][c] == cell)
                append(out, "%s%s", count++ ? ", " : "", coordinate(r, c).text);
    return count;
}

// A side's pieces, one sentence: its king's square (or that it is taken),
// then its soldiers' squares. The French text names the soldiers in the
// plural whatever their number; the catalogues give each count its form.
static const char* side_format(int32_t player, bool king_on_board, int32_t soldiers)
{
    const unsigned long n = static_cast<unsigned long>(soldiers);
    if (player == PLAYER_BLUE) {
        if (king_on_board && soldiers > 0)
            /* Translators: read aloud, the position of Blue's pieces: the square of its king (such as
               "B8"), then the squares of its soldiers, one or more, joined by ", " ("C9, D9"). */
            return ngettext("Bleu : roi %s ; soldats %s.", "Bleu : roi %s ; soldats %s.", n);
        if (soldiers > 0)
            /* Translators: Blue's king has been captured; %s: the squares of its soldiers, one or more. */
            return ngettext("Bleu : roi pris ; soldats %s.", "Bleu : roi pris ; soldats %s.", n);
        if (king_on_board)
            /* Translators: %s: the square of Blue's king; Blue has no soldier left. */
            return _("Bleu : roi %s ; aucun soldat.");
        /* Translators: Blue has neither its king nor a soldier left. */
        return _("Bleu : roi pris ; aucun soldat.");
    }
    if (king_on_board && soldiers > 0)
        /* Translators: read aloud, the position of Red's pieces: the square of its king, then the squares
           of its soldiers, one or more, joined by ", ". */
        return ngettext("Rouge : roi %s ; soldats %s.", "Rouge : roi %s ; soldats %s.", n);
    if (soldiers > 0)
        /* Translators: Red's king has been captured; %s: the squares of its soldiers, one or more. */
        return ngettext("Rouge : roi pris ; soldats %s.", "Rouge : roi pris ; soldats %s.", n);
    if (king_on_board)
        /* Translators: %s: the square of Red's king; Red has no soldier left. */
        return _("Rouge : roi %s ; aucun soldat.");
    /* Translators: Red has neither its king nor a soldier left. */
    return _("Rouge : roi pris ; aucun soldat.");
}

// "Bleu : roi B8 ; soldats C9, D9." or "Rouge : roi pris ; aucun soldat."
static void describe_side(TextOut& out, int32_t player)
{
    char king[8], soldiers[BOARD_SIZE * BOARD_SIZE * 4];
    const bool king_on_board =
        squares_holding(player == PLAYER_BLUE ? CELL_BLUE_KING : CELL_RED_KING, king, sizeof king);
    const int32_t count =
        squares_holding(player == PLAYER_BLUE ? CELL_BLUE_SOLDIER : CELL_RED_SOLDIER, soldiers, sizeof soldiers);
    const char* format = side_format(player, king_on_board, count);
    if (king_on_board)
        append(out, format, king, soldiers);
    else
        append(out, format, soldiers);
}

void board_access_description(char* text, size_t size)
{
    TextOut out{text, size};
    if (size > 0)
        text[0] = '\0';
    describe_side(out, PLAYER_BLUE);
    append(out, " ");
    describe_side(out, PLAYER_RED);
    if (has_selection && on_board(sel_r, sel_c)) {
        append(out, " ");
        /* Translators: after the position, read aloud: %s is the square of the piece the player has
           selected. */
        append(out, _("Pièce sélectionnée : %s."), coordinate(sel_r, sel_c).text);
    }
}

void status_announcement(char* text, size_t size)
{
    int32_t blue_control, red_control, blue_soldiers, red_soldiers;
    compute_live_scores(&blue_control, &red_control, &blue_soldiers, &red_soldiers);
    char turn[LABEL_BUFFER_BYTES], blue[LABEL_BUFFER_BYTES], red[LABEL_BUFFER_BYTES];
    std::snprintf(turn, sizeof turn, turn_format(), turn_count, MAX_TURNS);
    std::snprintf(blue, sizeof blue, score_format(), blue_control, blue_soldiers);
    std::snprintf(red, sizeof red, score_format(), red_control, red_soldiers);
    TextOut out{text, size};
    if (size > 0)
        text[0] = '\0';
    /* Translators: read aloud on demand, the status labels' texts as translated above: the side to
       move (the label above the board), the turn label, then each side's column title (such as
       "Joueur Bleu") and its score label. */
    append(out, _("%s. %s. %s : %s. %s : %s."), to_move_text(), turn, _("Joueur Bleu"), blue, _("Joueur Rouge"), red);
    char end[MESSAGE_BUFFER_BYTES];
    if (end_message(end))
        append(out, " %s", end);
}

void after_move_announcement(char* text, size_t size)
{
    if (!end_of_game_message(text, size))
        std::snprintf(text, size, "%s.", to_move_text());
}

int32_t pieces_taken()
{
    return captured_blue_soldiers + captured_red_soldiers + (blue_king_alive ? 0 : 1) + (red_king_alive ? 0 : 1);
}

// The format of a move's announcement, by the side and the piece that moved:
// the coordinates of the squares it left and reached, then the pieces taken.
static const char* move_format(int32_t piece, int32_t taken)
{
    const unsigned long n = static_cast<unsigned long>(taken);
    switch (piece) {
    case CELL_BLUE_SOLDIER:
        if (taken == 0)
            /* Translators: read aloud after each move: a soldier of Blue's went from the first square
               (such as "C7") to the second ("C5") and captured nothing. */
            return _("Bleu : soldat de %s à %s, aucune prise.");
        /* Translators: a soldier of Blue's went from the first square to the second and captured %d
           pieces, 1 to 3. */
        return ngettext("Bleu : soldat de %s à %s, %d pièce prise.", "Bleu : soldat de %s à %s, %d pièces prises.", n);
    case CELL_BLUE_KING:
        if (taken == 0)
            /* Translators: Blue's king went from the first square to the second and captured nothing. */
            return _("Bleu : roi de %s à %s, aucune prise.");
        /* Translators: Blue's king went from the first square to the second and captured %d pieces. */
        return ngettext("Bleu : roi de %s à %s, %d pièce prise.", "Bleu : roi de %s à %s, %d pièces prises.", n);
    case CELL_RED_SOLDIER:
        if (taken == 0)
            /* Translators: a soldier of Red's went from the first square to the second and captured
               nothing. */
            return _("Rouge : soldat de %s à %s, aucune prise.");
        /* Translators: a soldier of Red's went from the first square to the second and captured %d
           pieces. */
        return ngettext("Rouge : soldat de %s à %s, %d pièce prise.", "Rouge : soldat de %s à %s, %d pièces prises.",
                        n);
    default:
        if (taken == 0)
            /* Translators: Red's king went from the first square to the second and captured nothing. */
            return _("Rouge : roi de %s à %s, aucune prise.");
        /* Translators: Red's king went from the first square to the second and captured %d pieces. */
        return ngettext("Rouge : roi de %s à %s, %d pièce prise.", "Rouge : roi de %s à %s, %d pièces prises.", n);
    }
}

void move_announcement(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col, int32_t taken, char* text,
                       size_t size)
{
    std::snprintf(text, size, move_format(board[to_row][to_col], taken), coordinate(from_row, from_col).text,
                  coordinate(to_row, to_col).text, taken);
}
