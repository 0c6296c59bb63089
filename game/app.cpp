// Game state and rules of the one game a run plays.
#include "app.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include <gtk/gtk.h>

#include "gui.hpp"

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

static void set_markup(GtkWidget* label, const char* format, int32_t a, int32_t b)
{
    char text[LABEL_BUFFER_BYTES];
    std::snprintf(text, sizeof text, format, a, b);
    gtk_label_set_markup(GTK_LABEL(label), text);
}

void update_labels(GtkWidget* blue_score, GtkWidget* blue_turn, GtkWidget* red_score, GtkWidget* red_turn)
{
    int32_t blue_control, red_control, blue_soldiers, red_soldiers;
    compute_live_scores(&blue_control, &red_control, &blue_soldiers, &red_soldiers);

    set_markup(blue_score, "<span size='18000' weight='bold' foreground='#1E90FF'>Contrôle: %d | Soldats: %d</span>",
               blue_control, blue_soldiers);
    set_markup(red_score, "<span size='18000' weight='bold' foreground='#FF3030'>Contrôle: %d | Soldats: %d</span>",
               red_control, red_soldiers);

    char text[LABEL_BUFFER_BYTES];
    std::snprintf(text, sizeof text, "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: %s</span>",
                  current_player == PLAYER_BLUE ? "Bleu" : "Rouge");
    gtk_label_set_markup(GTK_LABEL(turn_center_label), text);

    set_markup(blue_turn, "<span size='16000' foreground='#1E90FF'>Tour %d / %d</span>", turn_count, MAX_TURNS);
    set_markup(red_turn, "<span size='16000' foreground='#FF3030'>Tour %d / %d</span>", turn_count, MAX_TURNS);
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
        std::snprintf(message, sizeof message, "Fin (64 tours). Score Bleu %d > Rouge %d — Bleu gagne !", blue, red);
    else if (red > blue)
        std::snprintf(message, sizeof message, "Fin (64 tours). Score Rouge %d > Bleu %d — Rouge gagne !", red, blue);
    else
        std::snprintf(message, sizeof message, "Fin (64 tours). Égalité %d - %d.", blue, red);
}

// Writes the end message into `message` and returns true when the game is over.
static bool end_message(char (&message)[MESSAGE_BUFFER_BYTES])
{
    const char* fixed = nullptr;
    switch (end_condition()) {
    case GAME_GOES_ON:
        return false;
    case BLUE_KING_FELL:
        fixed = "Fin : Roi Bleu exécuté ou conquête Rouge — Rouge gagne !";
        break;
    case RED_KING_FELL:
        fixed = "Fin : Roi Rouge exécuté ou conquête Bleue — Bleu gagne !";
        break;
    case RED_SOLDIERS_LOST:
        fixed = "Fin : 8 soldats rouges capturés — Bleu gagne !";
        break;
    case BLUE_SOLDIERS_LOST:
        fixed = "Fin : 8 soldats bleus capturés — Rouge gagne !";
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
    gtk_widget_set_sensitive(board_widget, FALSE);
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
void show_game_over_popup(const char* message, GtkWindow* parent)
{
    close_open_alert();
#if GTK_CHECK_VERSION(4, 10, 0)
    GtkAlertDialog* dialog = gtk_alert_dialog_new("%s", message);
    gtk_alert_dialog_set_modal(dialog, TRUE);
    gtk_alert_dialog_set_detail(dialog, "Cliquez OK pour continuer.");
    const char* buttons[] = {"OK", nullptr};
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
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", "Cliquez OK pour continuer.");
    gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
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

static const char* side_name(int32_t player)
{
    return player == PLAYER_BLUE ? "Bleu" : "Rouge";
}

// "soldat bleu", "roi rouge"; only for a piece.
static const char* piece_name(int32_t cell)
{
    switch (cell) {
    case CELL_BLUE_SOLDIER:
        return "soldat bleu";
    case CELL_BLUE_KING:
        return "roi bleu";
    case CELL_RED_SOLDIER:
        return "soldat rouge";
    default:
        return "roi rouge";
    }
}

void square_access_name(int32_t row, int32_t col, char* text, size_t size)
{
    const Coordinate square = coordinate(row, col);
    const char* at = square.text;
    const int32_t cell = board[row][col];
    if (cell == CELL_CORNER)
        std::snprintf(text, size, "%s, coin", at);
    else if (cell != CELL_EMPTY)
        std::snprintf(text, size, "%s, %s", at, piece_name(cell));
    else if (control_grid[row][col] == CONTROL_BLUE)
        std::snprintf(text, size, "%s, vide, contrôlé par Bleu", at);
    else if (control_grid[row][col] == CONTROL_RED)
        std::snprintf(text, size, "%s, vide, contrôlé par Rouge", at);
    else
        std::snprintf(text, size, "%s, vide", at);
}

// "Bleu : roi B8 ; soldats C9, D9." or "Rouge : roi pris ; aucun soldat."
static void describe_side(TextOut& out, int32_t player)
{
    const int32_t king = player == PLAYER_BLUE ? CELL_BLUE_KING : CELL_RED_KING;
    const int32_t soldier = player == PLAYER_BLUE ? CELL_BLUE_SOLDIER : CELL_RED_SOLDIER;
    append(out, "%s : roi", side_name(player));
    bool king_found = false;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (board[r][c] == king) {
                append(out, " %s", coordinate(r, c).text);
                king_found = true;
            }
    append(out, king_found ? " ; " : " pris ; ");
    int32_t soldiers = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (board[r][c] == soldier)
                append(out, "%s%s", soldiers++ ? ", " : "soldats ", coordinate(r, c).text);
    append(out, "%s.", soldiers ? "" : "aucun soldat");
}

void board_access_description(char* text, size_t size)
{
    TextOut out{text, size};
    if (size > 0)
        text[0] = '\0';
    describe_side(out, PLAYER_BLUE);
    append(out, " ");
    describe_side(out, PLAYER_RED);
    if (has_selection && on_board(sel_r, sel_c))
        append(out, " Pièce sélectionnée : %s.", coordinate(sel_r, sel_c).text);
}

int32_t pieces_taken()
{
    return captured_blue_soldiers + captured_red_soldiers + (blue_king_alive ? 0 : 1) + (red_king_alive ? 0 : 1);
}

void move_announcement(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col, int32_t taken, char* text,
                       size_t size)
{
    const int32_t piece = board[to_row][to_col];
    TextOut out{text, size};
    append(out, "%s : %s de %s à %s, ", side_name(is_blue_piece(piece) ? PLAYER_BLUE : PLAYER_RED),
           is_king(piece) ? "roi" : "soldat", coordinate(from_row, from_col).text, coordinate(to_row, to_col).text);
    if (taken == 0)
        append(out, "aucune prise.");
    else
        append(out, "%d %s.", taken, taken == 1 ? "pièce prise" : "pièces prises");
}
