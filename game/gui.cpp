// The game window: builds the widget tree, paints the board and drives the
// turn flow from presses on the board, from its keys and from the peer link's
// poll timer.
#include "gui.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <glib-unix.h>

#include "ai.hpp"
#include "app.hpp"
#include "board_access.hpp"
#include "i18n.hpp"
#include "network.hpp"

GtkWidget* blue_score_label = nullptr;
GtkWidget* blue_turn_label = nullptr;
GtkWidget* turn_center_label = nullptr;
GtkWidget* drawing_area = nullptr;
GtkWidget* red_score_label = nullptr;
GtkWidget* red_turn_label = nullptr;

static GtkWidget* game_window = nullptr;

int32_t cursor_row = BOARD_SIZE / 2;
int32_t cursor_col = BOARD_SIZE / 2;
// From the first key used on the board until the next press of the pointer
// there: the cursor is drawn only meanwhile, so that a player who never
// touches the keyboard sees the board as it has always been.
static bool keyboard_in_use = false;
// Space or Return while held down: the key repeats, and each repeat would take
// the piece up or put it down again. A key held is one press.
static guint held_press_key = 0;
// A square's name typed on the board: its column letter, which waits for the
// row digit until any other key but a modifier comes; -1 when none.
static int32_t typed_col = -1;
static void on_pointer_press(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data);
static void set_up_keyboard_play(GtkWidget* board_widget);

// The watch on the peer link's live socket, and the descriptor it is on.
static constexpr GIOCondition PEER_EVENTS = static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR);
// A peer that sends faster than its texts are handled keeps the watch ready
// without end, and a main-loop pass dispatches only the ready sources of the
// highest priority: the watch stays below the toolkit's input events, layout
// and drawing, so the window goes on answering and painting whatever the
// peer sends, and each dispatch handles one text at most.
static constexpr int PEER_WATCH_PRIORITY = G_PRIORITY_DEFAULT_IDLE;
static_assert(PEER_WATCH_PRIORITY > GDK_PRIORITY_REDRAW && PEER_WATCH_PRIORITY > GDK_PRIORITY_EVENTS);
static guint peer_watch_id = 0;
static int32_t peer_watch_fd = -1;
static void follow_peer_socket();

// ---------------------------------------------------------------------------
// Rendering

void choose_default_renderer()
{
    if (g_getenv("GSK_RENDERER") || g_getenv("GDK_DEBUG") || g_getenv("GDK_DISABLE"))
        return;
    g_setenv("GSK_RENDERER", "cairo", FALSE);
#if GTK_CHECK_VERSION(4, 16, 0)
    g_setenv("GDK_DISABLE", "gl", FALSE);
#else
    g_setenv("GDK_DEBUG", "gl-disable", FALSE);
#endif
}

// ---------------------------------------------------------------------------
// Window

// The status texts are gold, blue and red, chosen for a dark window: on a
// light one the side to move would hardly be readable. The game's window has
// a style sheet of its own, which the toolkit ranks above every theme (the
// player's own style sheet still comes above it): the window stays dark, and
// its labels legible, on the default theme and its dark variant, the
// high-contrast ones, any theme named in GTK_THEME and whatever the desktop
// switches to while the game runs. The theme itself is left as the player
// has it, parsed once as for any program; the end-of-game alert is the
// theme's own and reads as its other windows do.
static constexpr const char* GAME_WINDOW_CLASS = "tavelorn-game";
static constexpr const char* GAME_WINDOW_STYLE = "window.tavelorn-game { background: #242424; color: #ffffff; }";

static void style_game_window(GtkWidget* window)
{
    // The process has one display, styled once.
    static GtkCssProvider* provider = nullptr;
    if (!provider) {
        provider = gtk_css_provider_new();
#if GTK_CHECK_VERSION(4, 12, 0)
        gtk_css_provider_load_from_string(provider, GAME_WINDOW_STYLE);
#else
        gtk_css_provider_load_from_data(provider, GAME_WINDOW_STYLE, -1);
#endif
        gtk_style_context_add_provider_for_display(gtk_widget_get_display(window), GTK_STYLE_PROVIDER(provider),
                                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    gtk_widget_add_css_class(window, GAME_WINDOW_CLASS);
}

static const char* window_title()
{
    if (network_socket < 0)
        /* Translators: the window's title in local mode, where both sides play at one screen; keep
           "Tavelorn", the game's name, at the start of the three titles. */
        return _("Tavelorn - Local");
    if (is_server)
        /* Translators: the window's title in server mode, where the game waits for the other player. */
        return _("Tavelorn - Serveur");
    /* Translators: the window's title in client mode, connected to the other player's server. */
    return _("Tavelorn - Client");
}

void set_label_in_span(GtkWidget* label, const char* span, const char* text)
{
    char* escaped = g_markup_escape_text(text, -1);
    char* markup = g_strconcat(span, escaped, "</span>", nullptr);
    gtk_label_set_markup(GTK_LABEL(label), markup);
    g_free(markup);
    g_free(escaped);
}

static GtkWidget* markup_label(const char* span, const char* text)
{
    GtkWidget* label = gtk_label_new(nullptr);
    set_label_in_span(label, span, text);
    return label;
}

// The white texts the score and turn labels hold until the first update,
// before the window shows.
static constexpr const char* PLACEHOLDER_SPAN = "<span size='16000' foreground='white'>";

// A side's column: its title, then its score and turn labels, each stored in
// its reference as soon as it exists.
static GtkWidget* side_column(const char* title_span, const char* title, GtkWidget** score_label,
                              GtkWidget** turn_label)
{
    // Every box of the window starts from the same spacing of 10; the side
    // columns then space their three labels wider than the centre column,
    // before anything is in them, so only 20 ever shows.
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_box_set_spacing(GTK_BOX(column), 20);
    gtk_box_append(GTK_BOX(column), markup_label(title_span, title));
    char text[64];
    std::snprintf(text, sizeof text, _("Contrôle: %d | Soldats: %d"), 0, 0);
    *score_label = markup_label(PLACEHOLDER_SPAN, text);
    /* Translators: the turn label before the game starts, never seen: the turn, 0. */
    std::snprintf(text, sizeof text, _("Tour: %d"), 0);
    *turn_label = markup_label(PLACEHOLDER_SPAN, text);
    gtk_box_append(GTK_BOX(column), *score_label);
    gtk_box_append(GTK_BOX(column), *turn_label);
    return column;
}

// The references point into this window's tree; once it is gone they must
// not be used, so they go with it.
static void forget_window(GtkWidget*, gpointer)
{
    game_window = nullptr;
    blue_score_label = blue_turn_label = turn_center_label = nullptr;
    drawing_area = red_score_label = red_turn_label = nullptr;
}

void gui_activate(GtkApplication* app, gpointer)
{
    // A second start in the same mode reaches this process as a further
    // activation: show the game that exists rather than a second window.
    if (game_window) {
        gtk_window_present(GTK_WINDOW(game_window));
        return;
    }

    GtkWidget* window = gtk_application_window_new(app);
    game_window = window;
    g_signal_connect(window, "destroy", G_CALLBACK(forget_window), nullptr);
    style_game_window(window);
    gtk_window_set_title(GTK_WINDOW(window), window_title());
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 500);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);

    GtkWidget* row_box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    gtk_window_set_child(GTK_WINDOW(window), row_box);

    // Blue column
    /* Translators: the title of Blue's column, beside the board. */
    GtkWidget* blue_column = side_column("<span size='20000' weight='bold' foreground='#1E90FF'>", _("Joueur Bleu"),
                                         &blue_score_label, &blue_turn_label);
    gtk_widget_set_margin_start(blue_column, 20);

    // Centre column: side to move above the board
    GtkWidget* centre_column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    turn_center_label = markup_label("<span size='22000' weight='bold' foreground='#FFD700'>", _("Au tour de: Bleu"));
    gtk_widget_set_halign(turn_center_label, GTK_ALIGN_CENTER);
    gtk_box_append(GTK_BOX(centre_column), turn_center_label);
    drawing_area = board_widget_new();
    gtk_widget_set_size_request(drawing_area, BOARD_PX, BOARD_PX);
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(drawing_area), draw_grid, nullptr, nullptr);
    gtk_box_append(GTK_BOX(centre_column), drawing_area);

    // Red column
    /* Translators: the title of Red's column, beside the board. */
    GtkWidget* red_column = side_column("<span size='20000' weight='bold' foreground='#FF3030'>", _("Joueur Rouge"),
                                        &red_score_label, &red_turn_label);
    gtk_widget_set_margin_end(red_column, 20);

    gtk_box_append(GTK_BOX(row_box), blue_column);
    gtk_box_append(GTK_BOX(row_box), centre_column);
    gtk_box_append(GTK_BOX(row_box), red_column);

    // Input and polling
    GtkGesture* click = gtk_gesture_click_new();
    gtk_widget_add_controller(drawing_area, GTK_EVENT_CONTROLLER(click));
    g_signal_connect(click, "pressed", G_CALLBACK(on_click), nullptr);
    g_signal_connect(click, "pressed", G_CALLBACK(on_pointer_press), nullptr);
    set_up_keyboard_play(drawing_area);
    g_timeout_add(NETWORK_POLL_MS, check_network_moves, nullptr);
    follow_peer_socket();

    new_game_setup();
    update_labels(blue_score_label, blue_turn_label, red_score_label, red_turn_label);
    board_access_refresh(drawing_area);
    gtk_window_present(GTK_WINDOW(window));
}

// ---------------------------------------------------------------------------
// Board drawing

static void draw_coordinates(cairo_t* cr)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_select_font_face(cr, "Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 14);
    cairo_text_extents_t ext;
    for (int32_t i = 0; i < BOARD_SIZE; ++i) {
        const char letter[2] = {static_cast<char>('A' + i), '\0'};
        cairo_text_extents(cr, letter, &ext);
        cairo_move_to(cr, square_centre_px(i) - 0.5 * ext.width, 18);
        cairo_show_text(cr, letter);
    }
    for (int32_t j = 0; j < BOARD_SIZE; ++j) {
        const char digit[2] = {static_cast<char>('9' - j), '\0'};
        cairo_text_extents(cr, digit, &ext);
        cairo_move_to(cr, 15, square_centre_px(j) + 0.5 * ext.height);
        cairo_show_text(cr, digit);
    }
}

static void draw_control(cairo_t* cr)
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (control_grid[r][c] == CONTROL_BLUE)
                cairo_set_source_rgba(cr, 0.2, 0.4, 1.0, 0.25);
            else if (control_grid[r][c] == CONTROL_RED)
                cairo_set_source_rgba(cr, 1.0, 0.2, 0.2, 0.25);
            else
                continue;
            cairo_rectangle(cr, square_origin_px(c), square_origin_px(r), CELL_SIZE, CELL_SIZE);
            cairo_fill(cr);
        }
}

static void draw_lines(cairo_t* cr)
{
    const double first = BOARD_MARGIN, last = square_origin_px(BOARD_SIZE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 4);
    for (int32_t k = 0; k <= BOARD_SIZE; ++k) {
        cairo_move_to(cr, first, square_origin_px(k));
        cairo_line_to(cr, last, square_origin_px(k));
    }
    for (int32_t k = 0; k <= BOARD_SIZE; ++k) {
        cairo_move_to(cr, square_origin_px(k), first);
        cairo_line_to(cr, square_origin_px(k), last);
    }
    cairo_stroke(cr);
}

static void draw_corner_emblem(cairo_t* cr, double x, double y)
{
    const double R = PIECE_RADIUS;
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_arc(cr, x, y, R, 0, 2 * G_PI);
    cairo_fill(cr);

    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 2);
    cairo_arc(cr, x, y, R - 2, 0, 2 * G_PI);
    cairo_stroke(cr);

    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, x - 0.3 * R, y - 0.3 * R, 0.6 * R, 0.6 * R);
    cairo_fill(cr);

    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x - 0.15 * R, y);
    cairo_line_to(cr, x + 0.15 * R, y);
    cairo_move_to(cr, x, y - 0.15 * R);
    cairo_line_to(cr, x, y + 0.15 * R);
    cairo_stroke(cr);
}

static void draw_piece(cairo_t* cr, int32_t cell, double x, double y)
{
    if (is_blue_piece(cell))
        cairo_set_source_rgb(cr, 0.1, 0.3, 0.9);
    else
        cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
    cairo_arc(cr, x, y, PIECE_RADIUS, 0, 2 * G_PI);
    cairo_fill(cr);
    if (is_king(cell)) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_line_width(cr, 2);
        cairo_arc(cr, x, y, PIECE_RADIUS - 3, 0, 2 * G_PI);
        cairo_stroke(cr);
    }
}

static void draw_pieces(cairo_t* cr)
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            const int32_t cell = board[r][c];
            if (cell == CELL_EMPTY)
                continue;
            if (cell == CELL_CORNER)
                draw_corner_emblem(cr, square_centre_px(c), square_centre_px(r));
            else
                draw_piece(cr, cell, square_centre_px(c), square_centre_px(r));
        }
}

// The keyboard's cursor: a yellow frame inside its square, clear of the grid
// lines by a pixel and outside the discs of pieces and corner emblems, which
// it may touch. Yellow stands out from everything it lies on or touches
// (the dark background, both control tints, both sides' discs, the emblem's
// grey); it never touches the white of the grid lines, rings and emblems.
static constexpr double CURSOR_LINE_PX = 4;
static constexpr double CURSOR_INSET_PX = 3; // from the square's edge, under half a grid line (2) and a gap

static void draw_cursor(cairo_t* cr)
{
    const double inset = CURSOR_INSET_PX + CURSOR_LINE_PX / 2;
    cairo_set_source_rgb(cr, 1, 1, 0);
    cairo_set_line_width(cr, CURSOR_LINE_PX);
    cairo_rectangle(cr, square_origin_px(cursor_col) + inset, square_origin_px(cursor_row) + inset,
                    CELL_SIZE - 2 * inset, CELL_SIZE - 2 * inset);
    cairo_stroke(cr);
}

// While the keyboard is in use, on a board that takes presses and holds the
// focus of an active window.
static bool cursor_shown(GtkWidget* board_widget)
{
    return keyboard_in_use && gtk_widget_is_sensitive(board_widget) && !board_is_frozen(board_widget) &&
           (gtk_widget_get_state_flags(board_widget) & GTK_STATE_FLAG_FOCUS_WITHIN);
}

// Paints the whole board at fixed coordinates, whatever size the widget has,
// with the keyboard's cursor over it when it is shown.
void draw_grid(GtkDrawingArea* area, cairo_t* cr, int, int, gpointer)
{
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_paint(cr);
    draw_coordinates(cr);
    draw_control(cr);
    draw_lines(cr);
    draw_pieces(cr);
    if (area && cursor_shown(GTK_WIDGET(area)))
        draw_cursor(cr);
}

// ---------------------------------------------------------------------------
// Turn flow

static void refresh_view()
{
    update_labels(blue_score_label, blue_turn_label, red_score_label, red_turn_label);
    check_end_and_update(nullptr, drawing_area);
    gtk_widget_queue_draw(drawing_area);
    board_access_refresh(drawing_area);
}

static void end_selection()
{
    has_selection = 0;
    fill_grid(highlight_moves, 0);
}

// Every move, pressed or received, goes through here: the rules apply it, the
// turn passes, and assistive technologies hear of it. False when refused.
static bool apply_move(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    const int32_t taken_before = pieces_taken();
    if (!try_move(from_row, from_col, to_row, to_col))
        return false;
    turn_count++;
    current_player = other_player(current_player);
    board_access_announce_move(drawing_area, from_row, from_col, to_row, to_col, pieces_taken() - taken_before);
    return true;
}

static void play_selected_to(int32_t row, int32_t col)
{
    if (!apply_move(sel_r, sel_c, row, col)) {
        end_selection();
        return;
    }
    network_send_move_async(sel_r, sel_c, row, col);
    follow_peer_socket(); // the send may have taken a peer or lost one
    end_selection();
    if (ai_enabled && current_player == ai_player)
        ai_move();
}

void on_click(GtkGestureClick*, int, double x, double y, gpointer)
{
    if (board_is_frozen(drawing_area))
        return;
    // Only presses inside the 9 x 9 grid act; all four margins are ignored.
    const int32_t row = static_cast<int32_t>(std::floor((y - BOARD_MARGIN) / CELL_SIZE));
    const int32_t col = static_cast<int32_t>(std::floor((x - BOARD_MARGIN) / CELL_SIZE));
    if (row < 0 || row >= BOARD_SIZE)
        return;
    if (col < 0 || col >= BOARD_SIZE)
        return;
    cursor_row = row;
    cursor_col = col;
    board_focus_cursor_square(drawing_area, false);

    if (!has_selection) {
        if (is_piece_of(current_player, board[row][col])) {
            has_selection = 1;
            sel_r = row;
            sel_c = col;
            compute_possible_moves(row, col);
        }
    } else {
        play_selected_to(row, col);
    }
    refresh_view();
}

static void apply_received_move()
{
    int from_row, from_col, to_row, to_col;
    if (network_check_move(&from_row, &from_col, &to_row, &to_col) != 1)
        return;
    std::printf("[DEBUG][GUI] Applying received move: (%d,%d) -> (%d,%d)\n", from_row, from_col, to_row, to_col);
    if (!apply_move(from_row, from_col, to_row, to_col))
        return;
    // The window may already be closing while the last tick runs.
    if (drawing_area)
        refresh_view();
}

// Runs on every tick of the poll timer, and whenever the watched socket has
// something and the window has no input or drawing waiting: one move text, a
// new peer or a lost one per call.
gboolean check_network_moves(gpointer)
{
    apply_received_move();
    follow_peer_socket();
    return TRUE;
}

// The board stays sensitive once frozen: an insensitive widget takes no
// keyboard focus, and the final position is read from the keyboard.
static const char* const FROZEN_KEY = "tavelorn-frozen";

void freeze_board(GtkWidget* board_widget)
{
    if (board_is_frozen(board_widget))
        return;
    g_object_set_data(G_OBJECT(board_widget), FROZEN_KEY, GINT_TO_POINTER(1));
    board_access_freeze(board_widget);
    gtk_widget_queue_draw(board_widget); // without the cursor
}

bool board_is_frozen(GtkWidget* board_widget)
{
    return board_widget && g_object_get_data(G_OBJECT(board_widget), FROZEN_KEY);
}

// ---------------------------------------------------------------------------
// Keyboard play

// Every key the board acts on puts the keyboard in use and, from GTK 4.10,
// the focus on the cursor's square.
static void use_keyboard()
{
    keyboard_in_use = true;
    board_focus_cursor_square(drawing_area, true);
    gtk_widget_queue_draw(drawing_area);
}

// One square along a row or a column; the cursor stops at the board's edges.
// A cursor put away (before the first key, after a press of the pointer)
// first shows where it is, and moves from the next key on.
static void move_cursor(int32_t rows, int32_t cols)
{
    if (keyboard_in_use) {
        cursor_row = std::clamp(cursor_row + rows, 0, BOARD_SIZE - 1);
        cursor_col = std::clamp(cursor_col + cols, 0, BOARD_SIZE - 1);
    }
    use_keyboard();
}

// A square's name as the board's edges show it: column letters A to I, in
// either case, and row digits 9 to 1, the keypad's too.
static int32_t column_of_key(guint keyval)
{
    const guint letter = gdk_keyval_to_lower(keyval);
    return letter >= GDK_KEY_a && letter <= GDK_KEY_i ? static_cast<int32_t>(letter - GDK_KEY_a) : -1;
}

static int32_t row_of_key(guint keyval)
{
    if (keyval >= GDK_KEY_1 && keyval <= GDK_KEY_9)
        return static_cast<int32_t>(GDK_KEY_9 - keyval);
    if (keyval >= GDK_KEY_KP_1 && keyval <= GDK_KEY_KP_9)
        return static_cast<int32_t>(GDK_KEY_KP_9 - keyval);
    return -1;
}

// A letter waits for its digit; the digit takes the cursor straight to the
// square. A digit with no letter before it is not the board's.
static gboolean type_square_name(guint keyval)
{
    const int32_t col = typed_col;
    typed_col = column_of_key(keyval);
    if (typed_col >= 0)
        return TRUE;
    const int32_t row = row_of_key(keyval);
    if (row < 0 || col < 0)
        return FALSE;
    cursor_row = row;
    cursor_col = col;
    use_keyboard();
    return TRUE;
}

// As a press of the pointer in the middle of the cursor's square.
static void press_cursor_square(guint keyval)
{
    if (keyval == held_press_key)
        return;
    use_keyboard();
    held_press_key = keyval;
    on_click(nullptr, 1, square_centre_px(cursor_col), square_centre_px(cursor_row), nullptr);
}

// As a press that makes no move: the selection ends, and is heard to end.
static void drop_selection()
{
    use_keyboard();
    end_selection();
    refresh_view();
}

// Keys held with Ctrl, Alt or Super are the toolkit's and the desktop's
// shortcuts; Shift changes no key's meaning on the board.
static bool is_shortcut(GdkModifierType state)
{
    return (state & gtk_accelerator_get_default_mod_mask() & ~GDK_SHIFT_MASK) != 0;
}

// The board's keys, from the board itself or from the focused square under
// it. Arrows are taken even at an edge, so that the window never moves the
// focus with them. Once the game is over they still move the cursor and
// speak; nothing presses the board any more.
static gboolean on_board_key_pressed(GtkEventControllerKey* controller, guint keyval, guint, GdkModifierType state,
                                     gpointer)
{
    if (!drawing_area || !gtk_widget_is_sensitive(drawing_area))
        return FALSE;
    // Shift, or the key that shifts a layout's digits, on its way to a letter
    // or a digit: a name typed goes on.
    GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(controller));
    if (event && gdk_key_event_is_modifier(event))
        return FALSE;
    if (is_shortcut(state)) {
        typed_col = -1;
        return FALSE;
    }
    if (type_square_name(keyval))
        return TRUE;
    switch (keyval) {
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        move_cursor(-1, 0);
        return TRUE;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        move_cursor(1, 0);
        return TRUE;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        move_cursor(0, -1);
        return TRUE;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        move_cursor(0, 1);
        return TRUE;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        press_cursor_square(keyval);
        return TRUE;
    case GDK_KEY_Escape:
        if (!has_selection || board_is_frozen(drawing_area))
            return FALSE;
        drop_selection();
        return TRUE;
    case GDK_KEY_s:
    case GDK_KEY_S:
        board_access_announce_status(drawing_area);
        return TRUE;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
    case GDK_KEY_ISO_Left_Tab:
        // The window moves the focus; the board shows where it lands.
        keyboard_in_use = true;
        gtk_widget_queue_draw(drawing_area);
        return FALSE;
    default:
        return FALSE;
    }
}

static void on_board_key_released(GtkEventControllerKey*, guint keyval, guint, GdkModifierType, gpointer)
{
    if (keyval == held_press_key)
        held_press_key = 0;
}

// The pointer's press has brought the cursor to the pressed square (on_click);
// the cursor is put away until the next key.
static void on_pointer_press(GtkGestureClick*, int, double, double, gpointer)
{
    typed_col = -1;
    if (!keyboard_in_use)
        return;
    keyboard_in_use = false;
    gtk_widget_queue_draw(drawing_area);
}

// The cursor comes and goes with the focus, the window's activity and the
// board's sensitivity; a key held when the focus left is released elsewhere.
static void on_board_state_flags_changed(GtkWidget* board_widget, GtkStateFlags old_flags, gpointer)
{
    const GtkStateFlags flags = gtk_widget_get_state_flags(board_widget);
    if (!((flags ^ old_flags) & (GTK_STATE_FLAG_FOCUS_WITHIN | GTK_STATE_FLAG_INSENSITIVE)))
        return;
    if (!(flags & GTK_STATE_FLAG_FOCUS_WITHIN))
        held_press_key = 0;
    if (keyboard_in_use)
        gtk_widget_queue_draw(board_widget);
}

// The board starts with the focus, the cursor on E5 and put away.
static void set_up_keyboard_play(GtkWidget* board_widget)
{
    cursor_row = cursor_col = BOARD_SIZE / 2;
    keyboard_in_use = false;
    held_press_key = 0;
    typed_col = -1;
    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(on_board_key_pressed), nullptr);
    g_signal_connect(keys, "key-released", G_CALLBACK(on_board_key_released), nullptr);
    gtk_widget_add_controller(board_widget, keys);
    g_signal_connect(board_widget, "state-flags-changed", G_CALLBACK(on_board_state_flags_changed), nullptr);
    gtk_widget_grab_focus(board_widget);
}

// ---------------------------------------------------------------------------
// Peer socket watch

// A listening socket that stays readable although no peer could be taken
// (a failed accept) is left to the timer's next tick instead of waking the
// main loop without end.
static gboolean on_peer_socket_ready(gint fd, GIOCondition, gpointer)
{
    check_network_moves(nullptr);
    if (fd == peer_watch_fd && !is_connected) {
        peer_watch_id = 0;
        peer_watch_fd = -1;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

// Puts the watch on the descriptor where the link's next event will show, or
// removes it when there is none, so that it never stays on a closed socket
// or on one that stays readable after its peer has gone. Once the window is
// gone nothing is watched: the application's last pass runs whatever source
// is ready until none is, and a peer that never stops sending would keep the
// program from ending.
static void follow_peer_socket()
{
    const int32_t fd = drawing_area ? network_live_socket() : -1;
    if (fd == peer_watch_fd)
        return;
    if (peer_watch_id)
        g_source_remove(peer_watch_id);
    peer_watch_id =
        fd >= 0 ? g_unix_fd_add_full(PEER_WATCH_PRIORITY, fd, PEER_EVENTS, on_peer_socket_ready, nullptr, nullptr) : 0;
    peer_watch_fd = fd;
}
