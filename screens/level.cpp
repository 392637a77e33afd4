#include "screens/level.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "gfx/world_draw.h"
#include "sound/sound.h"
#include "ui/play_widgets.h"
#include "ui/widget_gfx.h"
#include "world/bombs.h"
#include "world/model.h"
#include "world/paths.h"
#include "world/rewind.h"
#include "world/rules.h"

namespace {

// The held-direction keys, in the order of Level::held.
const int HELD_KEYS[4] = {KEY_W, KEY_D, KEY_S, KEY_A};

// "m:ss" of a tick count (30 ticks a second).
void clock_text(char* out, size_t n, int64_t ticks) {
    if (ticks < 0) ticks = 0;
    snprintf(out, n, "%d:%02d", int(ticks / 1800), int(ticks % 1800 / 30));
}

// A timer cell of the top row: "0:ss" of the ticks left, rounded to the
// nearest second, centred in 192 units.
Label* timer_label(int font, int64_t ticks, int color) {
    char text[32];
    snprintf(text, sizeof text, "%d:%02d", 0, int((ticks + 15) / 30));
    Label* l = new Label(font, text);
    Style& s = l->styles[STYLE_BASE];
    s.width = 192;
    s.align = 0;
    if (color >= 0) s.color = color;
    return l;
}

}  // namespace

int level_exit_state(const game& g) {
    switch (g.return_state) {
    case STATE_LEVEL:
    case STATE_PAUSE:
    case STATE_REWIND:
    case STATE_LEVEL_INTRO:
    case STATE_LEVEL_WIN:
        return STATE_MENU_MAIN;
    default:
        return state_exists(g.return_state) ? g.return_state : STATE_MENU_MAIN;
    }
}

void level_music_enter(game& g) {
    music_play_level(g.level.music, sizeof g.level.music, float(g.settings.music_volume) / 100.0f);
}

Level::Level(game* g) : Screen(g) {}

void Level::enter() {
    for (int& h : held) h = 0;
    clear(&root);
    level& lv = g->level;
    level_sanitize(lv);
    level_music_enter(*g);
    if (lv.started == 0) {
        // A new attempt: set the level up, forget the last attempt's history and
        // show the intro, which comes back here to build the display.
        setup_level(*g, 1);
        clear_history(*g);
        lv.started = 1;
        set_state(*g, STATE_LEVEL_INTRO);
        return;
    }
    build_hud();
}

void Level::build_hud() {
    WidgetGfx& gfx = widget_gfx();
    Table* bar = new Table();
    tr(bar);
    td(bar, new Box(make_rotate_button(&g->level, -1, "icon-arrow4")));
    td(bar, new Box(make_rotate_button(&g->level, +1, "icon-arrow6")));
    for (int i = 0; i < 2; ++i) {
        Widget* spacer = new Widget();
        spacer->styles[STYLE_BASE].width = 192;
        td(bar, spacer);
    }
    for (int kind = ACTOR_DETONATOR; kind <= ACTOR_MINI_BOMB; ++kind)
        td(bar, new Box(new WBomb(g, kind)));
    Style& bs = bar->styles[STYLE_BASE];
    bs.width = 960;
    bs.image = gfx.image_get("white");
    bs.image_alpha = 34;
    bar->x = 0;
    bar->y = 624;
    add(&root, bar);

    add(&root, make_corner_button("||", 3));
}

void Level::event(Event e) {
    const int answer = root.event(e);
    if (answer == 3) {
        set_state(*g, STATE_PAUSE);
        return;
    }
    if (e.kind == EV_KEYDOWN) {
        if (e.key == uint32_t(KEY_ESCAPE)) {
            set_state(*g, STATE_PAUSE);
            return;
        }
        if (e.unicode >= '1' && e.unicode <= '4') {
            fprintf(stderr, "bomb! %c\n", char(e.unicode));
            use_bomb(*g, int(e.unicode) - 30);
            return;
        }
        static const int LETTERS[4] = {KEY_Z, KEY_X, KEY_C, KEY_V};
        for (int i = 0; i < 4; ++i) {
            if (e.key == uint32_t(LETTERS[i])) {
                use_bomb(*g, ACTOR_DETONATOR + i);
                return;
            }
        }
    }
    if (e.kind == EV_KEYDOWN || e.kind == EV_KEYUP) {
        fprintf(stderr, "key: %d!\n", int(e.key));
        for (int i = 0; i < 4; ++i) {
            if (e.key != uint32_t(HELD_KEYS[i])) continue;
            held[i] = e.kind == EV_KEYDOWN ? 1 : 0;
            const int dx = held[1] - held[3];
            const int dy = held[2] - held[0];
            fprintf(stderr, "wasd... %d, %d\n", dx, dy);
            walk_direction(*g, dx, dy);
            return;
        }
    }

    // The pointer over a widget belongs to the widget, except a right-drag, which
    // pans the view wherever it starts; keys always reach the camera.
    const bool over_widget = root.hover_child != nullptr;
    if (!over_widget || e.button == 4 || e.kind == EV_KEYDOWN) camera_event(g->level, *g, e);
    if (!over_widget && e.kind == EV_MOUSEDOWN && e.button == 1) {
        const Vec3 p = unproject_to_plane(e.raw_x, e.raw_y, 1.25f);
        // A ray that misses the ground (the sky, a degenerate view) chooses nothing.
        if (!std::isfinite(p.x) || !std::isfinite(p.z)) return;
        level& lv = g->level;
        lv.mouse_x = p.x;
        lv.mouse_y = p.z;
        pick_cell(*g);
        const int x = whole(lv.pick_x), y = whole(lv.pick_y);
        if (x >= 0 && x < MAP_SIZE && y >= 0 && y < MAP_SIZE) walk_to(*g, x, y);
    }
}

void Level::frame() {
    build_flags(*g);
    game_tick(*g);
    camera_update(g->level, *g);
    screen_tick(root);
}

void Level::paint() {
    paint_level_scene(*g);
    begin_2d();
    paint_root(root);
    paint_counters();
    paint_timers();
    restore_level_camera(*g);
}

void Level::paint_counters() {
    WidgetGfx& gfx = widget_gfx();
    const level& lv = g->level;
    const int font = gfx.font_get("font1");
    const float lh = gfx.line_height(font);
    const int64_t total = lv.targets_total;
    const int64_t done = total - int64_t(lv.targets_left);
    char lines[3][48];
    snprintf(lines[0], sizeof lines[0], "%d%%", int(done * 100 / (total > 1 ? total : 1)));
    snprintf(lines[1], sizeof lines[1], "%d / %d", lv.cartridges, lv.cartridges_total);
    clock_text(lines[2], sizeof lines[2], lv.play_time);
    for (int i = 0; i < 3; ++i) draw_right_aligned(font, lines[i], float(i) * lh + 10.0f);
}

void Level::paint_timers() {
    const level& lv = g->level;
    const int font = widget_gfx().font_get("font2");
    Table* row = new Table();
    tr(row);
    int64_t emp = 0;
    for (const actor& a : lv.actors) {
        if (!a.active) continue;
        if (a.kind == ACTOR_EMP_BOMB) emp = 300;
        if (a.kind == ACTOR_TIME_BOMB) td(row, timer_label(font, a.fuse, -1));
    }
    if (lv.emp_time != 0) emp = lv.emp_time;
    if (emp != 0) td(row, timer_label(font, emp, 0xFF5555));
    set_paddings(row->styles[STYLE_BASE], 5);

    Box* strip = new Box(row);
    strip->styles[STYLE_BASE].width = 960;
    strip->x = 0;
    strip->y = 0;
    style_resolve(strip);
    strip->measure_content();
    strip->paint_content();
    delete strip;
}
