// The board as assistive technologies read it: a widget named "Plateau" whose
// texts follow every move. On GTK 4.10 and newer each square is an accessible
// object of its own, with the bounds it is drawn at, so that a screen reader
// that presses an object presses that square through the board's ordinary
// press handler; GTK 4.8 has no such objects, and there the board's
// description gives the whole position. From GTK 4.14 each applied move, and
// the end of the game, is announced.
#include <cstring>

#include "app.hpp"
#include "board_access.hpp"
#include "board_geometry.hpp"

static constexpr const char* BOARD_NAME = "Plateau";

#if GTK_CHECK_VERSION(4, 10, 0)

// ---------------------------------------------------------------------------
// A square: an accessible object with no widget, a grid cell of the board

struct _TavelornSquare {
    GObject parent_instance;
    GtkATContext* context;
    GtkWidget* board; // not owned: the board owns its squares
    struct _TavelornSquare* next;
    int32_t row, col;
    char name[64]; // as last given; every square's name fits
    gboolean selected;
};

G_DECLARE_FINAL_TYPE(TavelornSquare, tavelorn_square, TAVELORN, SQUARE, GObject)

static void tavelorn_square_accessible_init(GtkAccessibleInterface* iface);

G_DEFINE_TYPE_WITH_CODE(TavelornSquare, tavelorn_square, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_ACCESSIBLE, tavelorn_square_accessible_init))

enum { SQUARE_PROP_ACCESSIBLE_ROLE = 1 };

static void tavelorn_square_init(TavelornSquare*) {}

static void tavelorn_square_dispose(GObject* object)
{
    g_clear_object(&TAVELORN_SQUARE(object)->context);
    G_OBJECT_CLASS(tavelorn_square_parent_class)->dispose(object);
}

// Every square is a grid cell; the role cannot be changed.
static void tavelorn_square_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    if (id == SQUARE_PROP_ACCESSIBLE_ROLE)
        g_value_set_enum(value, GTK_ACCESSIBLE_ROLE_GRID_CELL);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void tavelorn_square_set_property(GObject* object, guint id, const GValue*, GParamSpec* pspec)
{
    if (id != SQUARE_PROP_ACCESSIBLE_ROLE)
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void tavelorn_square_class_init(TavelornSquareClass* klass)
{
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    object_class->dispose = tavelorn_square_dispose;
    object_class->get_property = tavelorn_square_get_property;
    object_class->set_property = tavelorn_square_set_property;
    g_object_class_override_property(object_class, SQUARE_PROP_ACCESSIBLE_ROLE, "accessible-role");
}

static GtkATContext* square_get_at_context(GtkAccessible* accessible)
{
    TavelornSquare* square = TAVELORN_SQUARE(accessible);
    if (!square->context && square->board)
        square->context =
            gtk_at_context_create(GTK_ACCESSIBLE_ROLE_GRID_CELL, accessible, gtk_widget_get_display(square->board));
    return square->context ? GTK_AT_CONTEXT(g_object_ref(square->context)) : nullptr;
}

static gboolean square_get_platform_state(GtkAccessible*, GtkAccessiblePlatformState)
{
    return FALSE;
}

static GtkAccessible* square_get_accessible_parent(GtkAccessible* accessible)
{
    GtkWidget* board_widget = TAVELORN_SQUARE(accessible)->board;
    return board_widget ? GTK_ACCESSIBLE(g_object_ref(board_widget)) : nullptr;
}

static GtkAccessible* square_get_first_accessible_child(GtkAccessible*)
{
    return nullptr;
}

static GtkAccessible* square_get_next_accessible_sibling(GtkAccessible* accessible)
{
    TavelornSquare* next = TAVELORN_SQUARE(accessible)->next;
    return next ? GTK_ACCESSIBLE(g_object_ref(next)) : nullptr;
}

// Where the square is drawn, in the board widget's coordinates.
static gboolean square_get_bounds(GtkAccessible* accessible, int* x, int* y, int* width, int* height)
{
    const TavelornSquare* square = TAVELORN_SQUARE(accessible);
    *x = square_origin_px(square->col);
    *y = square_origin_px(square->row);
    *width = *height = CELL_SIZE;
    return TRUE;
}

static void tavelorn_square_accessible_init(GtkAccessibleInterface* iface)
{
    iface->get_at_context = square_get_at_context;
    iface->get_platform_state = square_get_platform_state;
    iface->get_accessible_parent = square_get_accessible_parent;
    iface->get_first_accessible_child = square_get_first_accessible_child;
    iface->get_next_accessible_sibling = square_get_next_accessible_sibling;
    iface->get_bounds = square_get_bounds;
}

// ---------------------------------------------------------------------------
// The board: a drawing area whose accessible children are its 81 squares

struct _TavelornBoard {
    GtkDrawingArea parent_instance;
    TavelornSquare* squares[BOARD_SIZE * BOARD_SIZE]; // in reading order
};

G_DECLARE_FINAL_TYPE(TavelornBoard, tavelorn_board, TAVELORN, BOARD, GtkDrawingArea)

static void tavelorn_board_accessible_init(GtkAccessibleInterface* iface);

G_DEFINE_TYPE_WITH_CODE(TavelornBoard, tavelorn_board, GTK_TYPE_DRAWING_AREA,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_ACCESSIBLE, tavelorn_board_accessible_init))

static void tavelorn_board_init(TavelornBoard* self)
{
    TavelornSquare* next = nullptr;
    for (int32_t i = BOARD_SIZE * BOARD_SIZE - 1; i >= 0; --i) {
        TavelornSquare* square = TAVELORN_SQUARE(g_object_new(tavelorn_square_get_type(), nullptr));
        square->board = GTK_WIDGET(self);
        square->row = i / BOARD_SIZE;
        square->col = i % BOARD_SIZE;
        square->next = next;
        self->squares[i] = next = square;
    }
}

static void tavelorn_board_dispose(GObject* object)
{
    TavelornBoard* self = TAVELORN_BOARD(object);
    for (TavelornSquare*& square : self->squares)
        if (square) {
            square->board = nullptr;
            square->next = nullptr;
            g_clear_object(&square);
        }
    G_OBJECT_CLASS(tavelorn_board_parent_class)->dispose(object);
}

static void tavelorn_board_class_init(TavelornBoardClass* klass)
{
    G_OBJECT_CLASS(klass)->dispose = tavelorn_board_dispose;
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), GTK_ACCESSIBLE_ROLE_GRID);
}

static GtkAccessible* board_get_first_accessible_child(GtkAccessible* accessible)
{
    TavelornSquare* first = TAVELORN_BOARD(accessible)->squares[0];
    return first ? GTK_ACCESSIBLE(g_object_ref(first)) : nullptr;
}

// Everything else is the widget's own.
static void tavelorn_board_accessible_init(GtkAccessibleInterface* iface)
{
    iface->get_first_accessible_child = board_get_first_accessible_child;
}

// Renames the squares whose content changed and moves the selected state.
static void name_squares(TavelornBoard* self)
{
    for (TavelornSquare* square : self->squares) {
        if (!square)
            return;
        char name[sizeof square->name];
        square_access_name(square->row, square->col, name, sizeof name);
        if (std::strcmp(name, square->name) != 0) {
            std::memcpy(square->name, name, sizeof name);
            gtk_accessible_update_property(GTK_ACCESSIBLE(square), GTK_ACCESSIBLE_PROPERTY_LABEL, name, -1);
        }
        const gboolean selected = has_selection && sel_r == square->row && sel_c == square->col;
        if (selected != square->selected) {
            square->selected = selected;
            gtk_accessible_update_state(GTK_ACCESSIBLE(square), GTK_ACCESSIBLE_STATE_SELECTED, selected, -1);
        }
    }
}

GtkWidget* board_widget_new()
{
    GtkWidget* board_widget = GTK_WIDGET(g_object_new(tavelorn_board_get_type(), nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_LABEL, BOARD_NAME, -1);
    return board_widget;
}

#else // GTK 4.8

// With no objects of its own, the board reads as a picture of the position
// and its description says what it shows.
GtkWidget* board_widget_new()
{
    GtkWidget* board_widget =
        GTK_WIDGET(g_object_new(GTK_TYPE_DRAWING_AREA, "accessible-role", GTK_ACCESSIBLE_ROLE_IMG, nullptr));
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_LABEL, BOARD_NAME, -1);
    return board_widget;
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
        name_squares(TAVELORN_BOARD(board_widget));
#else
    char description[ACCESS_TEXT_BYTES];
    board_access_description(description, sizeof description);
    gtk_accessible_update_property(GTK_ACCESSIBLE(board_widget), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, description, -1);
#endif
}

// The move that ends the game carries the alert's message too, so that
// neither announcement cuts the other short.
void board_access_announce_move(GtkWidget* board_widget, int32_t from_row, int32_t from_col, int32_t to_row,
                                int32_t to_col, int32_t taken)
{
#if GTK_CHECK_VERSION(4, 14, 0)
    if (!board_widget)
        return;
    char text[2 * ACCESS_TEXT_BYTES];
    move_announcement(from_row, from_col, to_row, to_col, taken, text, ACCESS_TEXT_BYTES);
    char end[ACCESS_TEXT_BYTES];
    if (end_of_game_message(end, sizeof end)) {
        std::strcat(text, " ");
        std::strcat(text, end);
    }
    gtk_accessible_announce(GTK_ACCESSIBLE(board_widget), text, GTK_ACCESSIBLE_ANNOUNCEMENT_PRIORITY_MEDIUM);
#else
    (void)board_widget, (void)from_row, (void)from_col, (void)to_row, (void)to_col, (void)taken;
#endif
}
