#include "ui/play_widgets.h"

#include <cmath>
#include <cstdio>

#include "ui/widget_gfx.h"
#include "world/bombs.h"
#include "world/model.h"

// ---------------------------------------------------------------------------
// WRotate

WRotate::WRotate(::level* lv, int d) : level(lv), dir(d) {}

int WRotate::event(const Event& ev) {
    if (ev.kind == EV_MOUSEDOWN) {
        if (level) level->cam_angle_target += float(dir * 360 / 8);
        held = 1;
    } else if (ev.kind == EV_MOUSEUP) {
        held = 0;
    }
    return Widget::event(ev);
}

void WRotate::tick() {
    if (!level || !pressed || !held) return;
    if (std::fabs(level->cam_angle - level->cam_angle_target) < 1)
        level->cam_angle_target += float(dir * 360 / 8);
}

// ---------------------------------------------------------------------------
// WBomb

WBomb::WBomb(::game* g, int k) : kind(k), game(g) {}

void WBomb::measure_content() {
    content_w = 96;
    content_h = 96;
}

int WBomb::event(const Event& ev) {
    if (ev.kind == EV_MOUSEDOWN && ev.button == 1) {
        if (game) use_bomb(*game, kind);
        return -1;
    }
    return Widget::event(ev);
}

void WBomb::paint_content() {
    if (!game) return;
    WidgetGfx& gfx = widget_gfx();
    const int a = content_w;
    const int n = (kind >= 0 && kind < 32) ? game->level.inventory[kind] : 0;
    bool dim = n == 0;

    const actor* player = find_actor(*game, ACTOR_PLAYER);
    const actor* here =
        player ? actor_at(*game, cell_under_x(*player), cell_under_y(*player)) : nullptr;
    if (here && here->kind == kind) {
        // A bomb of this kind to pick up.
        dim = false;
        gfx.tint(1, 1, 1, 0.35f);
        gfx.image_draw(gfx.image_get("white"), 0, 0, a, a);
        tint_reset();
    } else if (find_actor(*game, kind)) {
        dim = false;
        if (kind == ACTOR_DETONATOR || kind == ACTOR_MINI_BOMB)
            gfx.tint(1, 0, 0, 0.7f);
        else
            gfx.tint(0, 0, 1, 0.35f);
        gfx.image_draw(gfx.image_get("white"), 0, 0, a, a);
        tint_reset();
    }
    if (dim) gfx.tint(1, 1, 1, 0.25f);
    char icon[32];
    snprintf(icon, sizeof icon, "icon-bomb%d", kind - 18);
    gfx.image_draw(gfx.image_get(icon), 10, 10, a - 20, a - 20);
    if (dim) {
        tint_reset();
        return;
    }
    char number[16];
    snprintf(number, sizeof number, "%d", n);
    const int font = gfx.font_get("font1");
    const float x = float(a - 20) - gfx.text_width(font, number);
    const float y = float(a - 5) - gfx.line_height(font);
    gfx.text_draw(font, number, x, y, 0, -1);
}
