#include "screens/level_intro.h"

#include <string>

#include "core/fixed_text.h"
#include "gfx/world_draw.h"
#include "world/model.h"

LevelIntro::LevelIntro(game* g) : Screen(g) {}

void LevelIntro::enter() {
    clear(&root);
    level& lv = g->level;
    level_sanitize(lv);
    Table* t = new Table();
    td_row(t, new Box(make_label("font2", field_text(lv.title).c_str())));
    td_row(t, make_label("font2", ""));
    Label* intro = make_label("font1", field_text(lv.intro).c_str());
    Style& s = intro->styles[STYLE_BASE];
    s.width = 640;
    s.align = 0;
    s.color = 0xCCCCCC;
    td_row(t, new Box(intro));
    add_page(root, t);
    lv.cam_dist = 50;
}

void LevelIntro::paint() { paint_over_level(*g, root); }

void LevelIntro::event(Event e) {
    if (e.kind == EV_MOUSEUP || e.kind == EV_KEYDOWN) set_state(*g, STATE_LEVEL);
}

void LevelIntro::frame() {
    g->level.zoom_target = 12.5f;
    camera_update(g->level, *g);
}
