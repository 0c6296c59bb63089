// The board as assistive technologies read it: a widget named "Plateau" whose
// texts follow every move. On GTK 4.10 and newer each square is a child widget
// of its own, with the bounds it is drawn at and a "click" action, so that a
// screen reader that clicks a square presses it through the board's ordinary
// press handler; GTK 4.8 has no such objects, and there the board's
// description gives the whole position. From GTK 4.14 each applied move, each
// selection, and the end of the game, is announced.
//
// The board takes the keyboard focus. From GTK 4.10 the squares take it too:
// once a key has been used on the board, the focus is the square under the
// cursor, so that a screen reader speaks each square the arrow keys reach; on
// GTK 4.8 the board, which keeps the focus, takes the square's name instead.
// Once the game is over the board and its squares read as disabled.
#include <cstdio>
#include <cstring>

#include "app.hpp"
#include "board_access.hpp"
#include "board_geometry.hpp"
#include "gui.hpp"
#include "i18n.hpp"

static const char* board_name()
{
    /* Translators: the board's name, as a screen reader reads it. */
    return _("Plateau");
}

// A square's name, and for the selected piece's square that it is selected: a
// screen reader reviewing the board reads the selection there.
static void name_square(int32_t row, int32_t col, char* name, size_t size)
{
    square_access_name(row, col, name, size);
    if (!has_selection || sel_r != row || sel_c != col)
        return;
    char square[ACCESS_TEXT_BYTES];
    std::snprintf(square, sizeof square, "%s", name);
    /* Translators: the square of the selected piece, read aloud: %s is the square's name, such as
       "C7, soldat bleu" as translated above. */
    std::snprintf(name, size, _("%s, sélectionné"), square);
}

static void mark_disabled(GtkWidget* widget)
{
    gtk_accessible_update_state(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_STATE_DISABLED, TRUE, -1);
}

#if GTK_CHECK_VERSION(4, 10, 0)

// ---------------------------------------------------------------------------
// A square: a grid cell of the board, a child widget that draws nothing and
// takes no presses (they go to the board under it), laid out where the square
// is drawn. Being a widget, it offers assistive technologies a "click"
// action, which presses the board in the middle of the square, and it can
// hold the keyboard focus; its keys go on to the board's own handler.

struct _TavelornSquare {
    GtkWidget parent_instance;
    int32_t row, col;
    char name[64]; // as last given; every square's name fits
    gboolean selected;
};

G_DECLARE_FINAL_TYPE(TavelornSquare, tavelorn_square, TAVELORN, SQUARE, GtkWidget)

G_DEFINE_TYPE(TavelornSquare, tavelorn_square, GTK_TYPE_WIDGET)

static void tavelorn_square_init(TavelornSquare* square)
{
    gtk_widget_set_can_target(GTK_WIDGET(square), FALSE);
    gtk_widget_set_focusable(GTK_WIDGET(square), TRUE);
}

// The press a mouse makes in the middle of the square, handed to the board's
// click gesture as the toolkit hands it a real one. Once the game is over the
// board takes no presses, and neither do its squares.
static void square_click(GtkWidget* widget, const char*, GVariant*)
{
    const TavelornSquare* square = TAVELORN_SQUARE(widget);
    GtkWidget* board_widget = gtk_widget_get_parent(widget);
    if (!board_widget || !gtk_widget_is_sensitive(board_widget))
        return;
    GListModel* controllers = gtk_widget_observe_controllers(board_widget);
    for (guint i = 0, n = g_list_model_get_n_items(controllers); i < n; ++i) {
        GObject* controller = static_cast<GObject*>(g_list_model_get_item(controllers, i));
        if (GTK_IS_GESTURE_CLICK(controller))
            g_signal_emit_by_name(controller, "pressed", 1, static_cast<double>(square_centre_px(square->col)),
                                  static_cast<double>(square_centre_px(square->row)));
        g_object_unref(controller);
    }
    g_object_unref(controllers);
}

static void tavelorn_square_class_init(TavelornSquareClass* klass)
{
    GtkWidgetClass* widget_class = GTK_WIDGET_CLASS(klass);
    gtk_widget_class_set_accessible_role(widget_class, GTK_ACCESSIBLE_ROLE_GRID_CELL);
    // Unprefixed, so that screen readers find it by its usual name.
    gtk_widget_class_install_action(widget_class, "click", nullptr, square_click);
}

// ---------------------------------------------------------------------------
// The board: a drawing area whose children are its 81 squares, made when an
// assistive technology first asks for them: a window nobody reads aloud does
// not pay for 81 widgets at start-up.

struct _TavelornBoard {
    GtkDrawingArea parent_instance;
    TavelornSquare* squares[BOARD_SIZE * BOARD_SIZE]; // in reading order; none until asked for
};

G_DECLARE_FINAL_TYPE(TavelornBoard, tavelorn_board, TAVELORN, BOARD, GtkDrawingArea)

static void tavelorn_board_accessible_init(GtkAccessibleInterface* iface);

G_DEFINE_TYPE_WITH_CODE(TavelornBoard, tavelorn_board, GTK_TYPE_DRAWING_AREA,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_ACCESSIBLE, tavelorn_board_accessible_init))

static void tavelorn_board_init(TavelornBoard* self)
{
    gtk_widget_set_focusable(GTK_WIDGET(self), TRUE);
}

static TavelornSquare* cursor_square(TavelornBoard* self)
{
    return self->squares[cursor_row * BOARD_SIZE + cursor_col];
}

static GtkWidget* window_focus(GtkWidget* board_widget)
{
    GtkRoot* root = gtk_widget_get_root(board_widget);
    return root ? gtk_root_get_focus(root) : nullptr;
}

static bool has_focus_within(GtkWidget* board_widget)
{
    GtkWidget* focus = window_focus(board_widget);
    return focus && (focus == board_widget || gtk_widget_is_ancestor(focus, board_widget));
}

// Tab and Shift+Tab never walk the 81 squares: with the focus anywhere in the
// board they leave it, and coming back they land on the cursor's square (on
// the board itself while it has no squares).
static gboolean tavelorn_board_focus(GtkWidget* widget, GtkDirectionType)
{
    if (has_focus_within(widget))
        return FALSE;
    TavelornSquare* square = cursor_square(TAVELORN_BOARD(widget));
    return gtk_widget_grab_focus(square ? GTK_WIDGET(square) : widget);
}

static void tavelorn_board_dispose(GObject* object)
{
    TavelornBoard* self = TAVELORN_BOARD(object);
    for (TavelornSquare*& square : self->squares)
        if (square) {
            gtk_widget_unparent(GTK_WIDGET(square));
            square = nullptr;
        }
    G_OBJECT_CLASS(tavelorn_board_parent_class)->dispose(object);
}

// Each square lies where it is drawn, whatever size the board is given.
static void place_squares(TavelornBoard* self)
{
    for (TavelornSquare* square : self->squares) {
        if (!square)
            return;
        const GtkAllocation bounds{square_origin_px(square->col), square_origin_px(square->row), CELL_SIZE, CELL_SIZE};
        gtk_widget_size_allocate(GTK_WIDGET(square), &bounds, -1);
    }
}

static void tavelorn_board_size_allocate(GtkWidget* widget, int width, int height, int baseline)
{
    GTK_WIDGET_CLASS(tavelorn_board_parent_class)->size_allocate(widget, width, height, baseline);
    place_squares(TAVELORN_BOARD(widget));
}

static void tavelorn_board_class_init(TavelornBoardClass* klass)
{
    G_OBJECT_CLASS(klass)->dispose = tavelorn_board_dispose;
    GTK_WIDGET_CLASS(klass)->size_allocate = tavelorn_board_size_allocate;
    GTK_WIDGET_CLASS(klass)->focus = tavelorn_board_focus;
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), GTK_ACCESSIBLE_ROLE_GRID);
}

static void name_squares(TavelornBoard* self, bool announce_changes);

// Placed at once on a board that has its size, so that their bounds are right
// before the next frame; named quietly. Each square is in the list before it
// is parented: once an assistive technology reads the board (which has the
// focus), every new child tells it, and it may ask for the children again
// while the rest are still being made.
static void make_squares(TavelornBoard* self)
{
    for (int32_t i = 0; i < BOARD_SIZE * BOARD_SIZE; ++i) {
        TavelornSquare* square = TAVELORN_SQUARE(g_object_new(tavelorn_square_get_type(), nullptr));
        square->row = i / BOARD_SIZE;
        square->col = i % BOARD_SIZE;
        self->squares[i] = square;
        gtk_widget_set_parent(GTK_WIDGET(square), GTK_WIDGET(self));
    }
    if (gtk_widget_get_width(GTK_WIDGET(self)) > 0)
        place_squares(self);
    name_squares(self, false);
    if (board_is_frozen(GTK_WIDGET(self)))
        for (TavelornSquare* square : self->squares)
            mark_disabled(GTK_WIDGET(square));
}

static GtkAccessibleInterface* widget_accessible_iface = nullptr;

static GtkAccessible* board_get_first_accessible_child(GtkAccessible* accessible)
{
    TavelornBoard* self = TAVELORN_BOARD(accessible);
    if (!self->squares[0])
        make_squares(self);
    return widget_accessible_iface->get_first_accessible_child(accessible);
}

// Everything else is the widget's own.
static void tavelorn_board_accessible_init(GtkAccessibleInterface* iface)
{
    widget_accessible_iface = static_cast<GtkAccessibleInterface*>(g_type_interface_peek_parent(iface));
    iface->get_first_accessible_child = board_get_first_accessible_child;
}

// On GTK 4.14 and newer; no announcement before.
static void announce(GtkWidget* board_widget, const char* text)
{
#if GTK_CHECK_VERSION(4, 14, 0)
    gtk_accessible_announce(GTK_ACCESSIBLE(board_widget), text, GTK_ACCESSIBLE_ANNOUNCEMENT_PRIORITY_MEDIUM);
#else
    (void)board_widget, (void)text;
#endif
}

// Set by each move announced, cleared by the next refresh: a selection that
// ends without one was dropped.
static bool move_announced = false;

// Renames the squares whose content changed and moves the selected state;
// with `announce_changes`, a new selection, and one dropped without a move,
// are announced.
static void name_squares(TavelornBoard* self, bool announce_changes)
{
    bool dropped = false;
    for (TavelornSquare* square : self->squares) {
        if (!square)
            return;
        const gboolean selected = has_selection && sel_r == square->row && sel_c == square->col;
        char name[sizeof square->name];
        name_square(square->row, square->col, name, sizeof name);
        if (std::strcmp(name, square->name) != 0) {
            std::memcpy(square->name, name, sizeof name);
            gtk_accessible_update_property(GTK_ACCESSIBLE(square), GTK_ACCESSIBLE_PROPERTY_LABEL, name, -1);
        }
        if (selected != square->selected) {
            square->selected = selected;
            gtk_accessible_update_state(GTK_ACCESSIBLE(square), GTK_ACCESSIBLE_STATE_SELECTED, selected, -1);
            if (selected && announce_changes)
                announce(GTK_WIDGET(self), name);
            else
                dropped = !move_announced;
        }
    }
    if (dropped && announce_changes)
        /* Translators: read aloud when a press drops the selected piece without a move. */
        announce(GTK_WIDGET(self), _("Sélection annulée."));
}

GtkWidget* board_widget_new()
{
    GtkWidget* board_widget = GTK_WIDGET(g_object_new(tavelorn_board_get_type(), nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_LABEL, board_name(), -1);
    return board_widget;
}

void board_focus_cursor_square(GtkWidget* board_widget, bool from_key)
{
    if (!board_widget || !G_TYPE_CHECK_INSTANCE_TYPE(board_widget, tavelorn_board_get_type()))
        return;
    TavelornBoard* self = TAVELORN_BOARD(board_widget);
    GtkWidget* focus = window_focus(board_widget);
    const bool on_a_square = focus && focus != board_widget && gtk_widget_is_ancestor(focus, board_widget);
    if (!from_key && !on_a_square)
        return;
    if (!self->squares[0])
        make_squares(self);
    gtk_widget_grab_focus(GTK_WIDGET(cursor_square(self)));
}

void board_access_freeze(GtkWidget* board_widget)
{
    mark_disabled(board_widget);
    if (!G_TYPE_CHECK_INSTANCE_TYPE(board_widget, tavelorn_board_get_type()))
        return;
    for (TavelornSquare* square : TAVELORN_BOARD(board_widget)->squares)
        if (square)
            mark_disabled(GTK_WIDGET(square));
}

#else // GTK 4.8

// With no objects of its own, the board reads as a picture of the position
// and its description says what it shows; it keeps the keyboard focus itself.
// From the first key on, its name is the cursor's square's, as the focused
// square's is on newer toolkits: a screen reader speaks the name of the focus
// as it changes.
static bool named_after_cursor = false;

static void name_board_after_cursor(GtkWidget* board_widget)
{
    char name[ACCESS_TEXT_BYTES];
    name_square(cursor_row, cursor_col, name, sizeof name);
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_LABEL, name, -1);
}

GtkWidget* board_widget_new()
{
    GtkWidget* board_widget = GTK_WIDGET(
        g_object_new(GTK_TYPE_DRAWING_AREA, "accessible-role", GTK_ACCESSIBLE_ROLE_IMG, "focusable", TRUE, nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_LABEL, board_name(), -1);
    named_after_cursor = false;
    return board_widget;
}

void board_focus_cursor_square(GtkWidget* board_widget, bool from_key)
{
    if (!board_widget || !(from_key || named_after_cursor))
        return;
    named_after_cursor = true;
    name_board_after_cursor(board_widget);
}

void board_access_freeze(GtkWidget* board_widget)
{
    mark_disabled(board_widget);
}

#endif

// ---------------------------------------------------------------------------
// Announcements

void board_access_refresh(GtkWidget* board_widget)
{
    if (!board_widget)
        return;
#if GTK_CHECK_VERSION(4, 10, 0)
    if (G_TYPE_CHECK_INSTANCE_TYPE(board_widget, tavelorn_board_get_type()))
        name_squares(TAVELORN_BOARD(board_widget), true);
    move_announced = false;
#else
    char description[ACCESS_TEXT_BYTES];
    board_access_description(description, sizeof description);
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, description, -1);
    if (named_after_cursor)
        name_board_after_cursor(board_widget);
#endif
}

// A move names the side to move next; the move that ends the game carries the
// alert's message instead, so that neither announcement cuts the other short.
void board_access_announce_move(GtkWidget* board_widget, int32_t from_row, int32_t from_col, int32_t to_row,
                                int32_t to_col, int32_t taken)
{
#if GTK_CHECK_VERSION(4, 14, 0)
    if (!board_widget)
        return;
    char text[2 * ACCESS_TEXT_BYTES];
    move_announcement(from_row, from_col, to_row, to_col, taken, text, ACCESS_TEXT_BYTES);
    char next[ACCESS_TEXT_BYTES];
    after_move_announcement(next, sizeof next);
    std::strcat(text, " ");
    std::strcat(text, next);
    announce(board_widget, text);
    move_announced = true;
#else
    (void)board_widget, (void)from_row, (void)from_col, (void)to_row, (void)to_col, (void)taken;
#endif
}

void board_access_announce_status(GtkWidget* board_widget)
{
#if GTK_CHECK_VERSION(4, 14, 0)
    if (!board_widget)
        return;
    char text[ACCESS_TEXT_BYTES];
    status_announcement(text, sizeof text);
    announce(board_widget, text);
#else
    (void)board_widget;
#endif
}
