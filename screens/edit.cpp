#include "screens/edit.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "gfx/world_draw.h"
#include "ui/play_widgets.h"
#include "ui/widget_gfx.h"
#include "world/catalogue.h"
#include "world/editing.h"
#include "world/model.h"

int selected_tile = 0;
bool palette_built = false;

namespace {

enum : int {
    PALETTE_COLUMNS = 16,
    PALETTE_ROWS = 2,
    PALETTE_X = 192,
    HELP_WIDTH = 748,  // the help line wraps inside the 16 palette columns
    // A ground point this far from the map comes from a view that looks past the
    // horizon (a damaged camera); it paints nothing.
    PAINT_REACH = 1 << 16,
};

// The help line of a tile, in "font3", named "help".
Label* help_label(const game& g, int tile) {
    Label* l = make_label("font3", tile_help(g, tile));
    l->styles[STYLE_BASE].width = HELP_WIDTH;
    l->name = "help";
    return l;
}

Widget* palette_cell(const game& g, int tile) {
    WidgetGfx& gfx = widget_gfx();
    Widget* cell = new Widget();
    Style& s = cell->styles[STYLE_BASE];
    s.width = 38;
    s.height = 38;
    set_paddings(s, 5);
    s.image = gfx.image_get(std::string("icon-") + tile_name(g, tile));
    s.overlay = gfx.image_get("white");
    s.overlay_alpha = 0;
    cell->styles[STYLE_SELECTED].overlay_alpha = 85;
    cell->name = std::to_string(tile);
    cell->down_value = Edit::PALETTE + tile;
    cell->selected = tile == selected_tile;
    return cell;
}

Widget* rotate_button(level* lv, int dir, const char* icon, int x) {
    WRotate* r = make_rotate_button(lv, dir, icon);
    r->x = x;
    r->y = 624;
    return r;
}

// The cell under a window point at pointer height; false when the ray finds no
// usable ground point.
bool ground_cell(float px, float py, int* x, int* y) {
    const Vec3 p = unproject_to_plane(px, py, 1.25f);
    if (!std::isfinite(p.x) || !std::isfinite(p.z)) return false;
    if (std::fabs(p.x) > PAINT_REACH || std::fabs(p.z) > PAINT_REACH) return false;
    *x = int(p.x);
    *y = int(p.z);
    return true;
}

}  // namespace

void edit_show_map(game& g) {
    memcpy(&g.level, &g.edit_level, sizeof(level));
    setup_level(g, 0);
}

void edit_copy_for_play(game& g) {
    memcpy(&g.level, &g.edit_level, sizeof(level));
    // A stored copy claiming to be set up already would skip the set-up and
    // start a level without actors.
    g.level.started = 0;
}

Edit::Edit(game* g) : Screen(g) {}

void Edit::enter() {
    level_sanitize(g->edit_level);
    if (!palette_built) {
        build_palette_order(*g);
        palette_built = true;
    }
    if (selected_tile < 0 || selected_tile > 255) selected_tile = 0;
    build_tools();
}

void Edit::leave() { edit_copy_for_play(*g); }

void Edit::build_tools() {
    clear(&root);

    add(&root, make_panel("white", 34, 960, 129, 0, 591));
    add(&root, make_corner_button("||", MENU));

    add(&root, rotate_button(&g->edit_level, -1, "icon-arrow4", 0));
    add(&root, rotate_button(&g->edit_level, +1, "icon-arrow6", 96));

    Widget* view = make_panel("icon-arrow8", 255, 48, 48, 72, 595);
    view->down_value = VIEW;
    add(&root, view);

    palette = new Table();
    for (int c = 0; c < PALETTE_COLUMNS; ++c)
        for (int r = 0; r < PALETTE_ROWS; ++r)
            td_span(palette, c, r, 1, palette_cell(*g, palette_order[PALETTE_ROWS * c + r]));
    Box* help = new Box(help_label(*g, selected_tile));
    Style& hs = help->styles[STYLE_BASE];
    hs.padding_top = hs.padding_bottom = 7;
    hs.padding_left = hs.padding_right = 10;
    hs.align = -1;
    td_span(palette, 0, PALETTE_ROWS, PALETTE_COLUMNS, help);
    add(&root, palette);
    palette->measure();
    palette->x = PALETTE_X;
    palette->y = 720 - palette->h;
}

void Edit::select_tile(int tile) {
    if (Widget* old = find(&root, std::to_string(selected_tile))) {
        old->selected = 0;
        old->update_state();
    }
    selected_tile = tile;
    if (Widget* now = find(&root, std::to_string(tile))) {
        now->selected = 1;
        now->update_state();
    }
    if (Widget* help = find(&root, "help")) replace(help, help_label(*g, tile));
}

void Edit::event(Event e) {
    const int answer = root.event(e);
    if (answer == MENU) {
        set_state(*g, STATE_EDIT_MENU);
        return;
    }
    if (answer == VIEW) {
        top_view = !top_view;
        return;
    }
    if (answer >= PALETTE && answer < PALETTE + 256) {
        select_tile(answer - PALETTE);
        return;
    }

    if (e.kind == EV_KEYDOWN) {
        if (e.unicode == ' ') {  // test play, back here afterwards
            g->return_state = g->state;
            set_state(*g, STATE_LEVEL);
            return;
        }
        if (e.key == uint32_t(KEY_Z) && (e.button & (MOD_CTRL | MOD_ALT | MOD_META))) {
            if (e.button & MOD_SHIFT)
                redo_step(*g);
            else
                undo_step(*g);
            return;
        }
        if (e.key == uint32_t(KEY_ESCAPE)) {
            set_state(*g, STATE_EDIT_MENU);
            return;
        }
    }

    // The pointer over a tool belongs to the tool, except a right-drag, which
    // pans wherever it starts; keys always reach the camera.
    const bool over_tool = root.hover_child != nullptr;
    if (!over_tool || e.button == 4 || e.kind == EV_KEYDOWN) camera_event(g->edit_level, *g, e);
    if (!over_tool && (e.kind == EV_MOUSEDOWN || e.kind == EV_MOUSEMOVE) && e.button == 1)
        paint_stroke(e);
}

void Edit::paint_stroke(const Event& e) {
    const int tile = arrow_for_view(*g, selected_tile);
    int cx, cy, px, py;
    if (!ground_cell(e.raw_x, e.raw_y, &cx, &cy)) return;
    if (!ground_cell(e.raw_x - e.raw_dx, e.raw_y - e.raw_dy, &px, &py)) px = cx, py = cy;
    paint_line(*g, tile, cx, cy, px, py);
    g->edit_level.cursor_x = float(cx);
    g->edit_level.cursor_y = float(cy);
}

void Edit::frame() {
    screen_tick(root);
    camera_update(g->edit_level, *g);
    edit_show_map(*g);
}

void Edit::paint() {
    paint_level_scene(*g);
    begin_2d();

    WidgetGfx& gfx = widget_gfx();
    const level& lv = g->level;
    const int font = gfx.font_get("font1");
    int in_use = 0;
    for (const actor& a : lv.actors) in_use += a.active ? 1 : 0;
    char lines[2][48];
    snprintf(lines[0], sizeof lines[0], "%d,%d", whole(lv.cursor_x), whole(lv.cursor_y));
    snprintf(lines[1], sizeof lines[1], "%d/%d", in_use, int(MAX_ACTORS));
    const float ys[2] = {10.0f, 10.0f + gfx.line_height(font) + 10.0f};
    for (int i = 0; i < 2; ++i) draw_right_aligned(font, lines[i], ys[i]);

    // A help line that wraps makes the palette taller; it stays on the bottom edge.
    root.measure_content();
    if (palette) palette->y = 720 - palette->h;
    root.paint_content();
    restore_level_camera(*g);
}
