#include "screens/level_win.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/fixed_text.h"
#include "net/web.h"
#include "screens/level.h"
#include "ui/stars.h"
#include "ui/widget_gfx.h"
#include "world/model.h"

namespace {

const int CELL_MARGIN_X = 20;

// Every caption, value and points cell: right-aligned with room around it.
Box* cell(Widget* w) {
    Box* b = new Box(w);
    Style& s = b->styles[STYLE_BASE];
    s.align = 1;
    s.margin_top = 10;
    s.margin_right = CELL_MARGIN_X;
    s.margin_bottom = 10;
    s.margin_left = CELL_MARGIN_X;
    return b;
}

// The outer width of a cell box whose content holds six digits of the font:
// a Box's width counts its margins, so they are added, or the counted-down
// numbers would widen their column and shift the table while counting.
int six_digits(int font) {
    return int(widget_gfx().text_width(font, "000000")) + CELL_MARGIN_X * 2;
}

Label* grey_label(const char* font, const char* text) {
    Label* l = make_label(font, text);
    l->styles[STYLE_BASE].color = 0xAAAAAA;
    return l;
}

std::string number(int64_t n) { return std::to_string(n); }

// A stored rating read back: the column's number, held within 0..5.
int stored_rating(const std::vector<Row>& rows, const char* column) {
    if (rows.empty()) return 0;
    auto it = rows.front().find(column);
    if (it == rows.front().end()) return 0;
    const long v = strtol(it->second.c_str(), nullptr, 10);
    return v < 0 ? 0 : v > 5 ? 5 : int(v);
}

// Puts a fresh label showing `value` where the widget named `name` is, under
// the same name; nothing when no widget has that name.
void replace_named(Container& root, const char* name, const char* font, int64_t value) {
    Widget* old = find(&root, name);
    if (!old || !old->parent) return;
    Label* fresh = make_label(font, number(value).c_str());
    replace(old, fresh);
    fresh->name = name;
}

}  // namespace

WinPoints win_points(const level& lv) {
    WinPoints p;
    const int64_t seconds = lv.play_time / 30;
    const int64_t left = 600 - seconds;
    p.time = int((left > 0 ? left : 0) * 1000 / 600);
    const int64_t total = lv.cartridges_total;
    // More collected than counted at set-up happens only in a corrupt record;
    // the points stay an int either way.
    const int64_t bonus = int64_t(lv.cartridges) * 1000 / (total > 1 ? total : 1);
    p.bonus = int(bonus < (1 << 30) ? bonus : (1 << 30));
    const int64_t bombs = lv.bombs_held < 5 ? lv.bombs_held : 5;
    p.extra = int(bombs * 1000 / 5);
    return p;
}

LevelWin::LevelWin(game* g) : Screen(g) {}

void LevelWin::enter() {
    clear(&root);
    level& lv = g->level;
    level_sanitize(lv);
    WidgetGfx& gfx = widget_gfx();

    add(&root, make_panel("black", 170, 960, 720, 0, 0));

    Table* outer = new Table();
    td_row(outer, new Box(make_label("font2", field_text(lv.title).c_str())));
    td_row(outer, make_label("font1", ""));
    Table* scores = new Table();
    td_row(outer, new Box(scores));

    score_total = 500;
    const WinPoints p = win_points(lv);
    time_points = p.time;
    bonus_points = p.bonus;
    extra_points = p.extra;

    char clock[32], cartridges[48], bombs[32];
    snprintf(clock, sizeof clock, "%d:%02d", lv.play_time / 1800, lv.play_time % 1800 / 30);
    snprintf(cartridges, sizeof cartridges, "%d / %d", lv.cartridges, lv.cartridges_total);
    snprintf(bombs, sizeof bombs, "+ %d", lv.bombs_held);
    struct ScoreRow {
        const char* caption;
        const char* value;
        int points;
        const char* name;
        bool wide;  // room for six digits, so the column keeps its width while counting
    };
    const ScoreRow rows[3] = {
        {"Time:", clock, time_points, "time", true},
        {"Data Cartridges:", cartridges, bonus_points, "bonus", false},
        {"Extra Bombs:", bombs, extra_points, "extra", false},
    };
    const int f1 = gfx.font_get("font1"), f2 = gfx.font_get("font2");
    for (const ScoreRow& r : rows) {
        tr(scores);
        td(scores, cell(grey_label("font1", r.caption)));
        td(scores, cell(grey_label("font1", r.value)));
        Label* points = make_label("font1", number(r.points).c_str());
        points->name = r.name;
        Box* box = cell(points);
        if (r.wide) box->styles[STYLE_BASE].width = six_digits(f1);
        td(scores, box);
    }

    tr(scores);
    Label* caption = make_label("font2", "Score:");
    caption->styles[STYLE_BASE].color = 0xFFFFFF;
    td(scores, cell(caption));
    Label* total = make_label("font2", number(int64_t(500) + time_points).c_str());
    total->name = "score";
    Box* total_box = cell(total);
    total_box->styles[STYLE_BASE].width = six_digits(f2);
    td_span(scores, -1, -1, 2, total_box);
    td(scores, make_label("font1", std::string(28, ' ').c_str()));

    // Levels from the lists are rated; a level played from the editor is not.
    if (g->return_state == STATE_MENU_PLAY || g->return_state == STATE_MENU_DOWNLOAD2) {
        const std::vector<Row> stored = app_handles().user_db.query(
            "select * from ratings where lid = ?", {field_text(lv.name)});
        td_row(outer, make_label("font1", ""));
        Table* rating = new Table();
        struct RatingRow {
            const char* caption;
            const char* image;
        };
        for (const RatingRow& r : {RatingRow{"Awesomeness", "stars"}, RatingRow{"Difficulty", "skulls"}}) {
            tr(rating);
            td(rating, cell(make_label("font2", r.caption)));
            Stars* stars = new Stars(0, gfx.image_get(r.image), 60);
            stars->name = r.image;
            stars->set_value_i(stored_rating(stored, r.image));
            td(rating, cell(stars));
        }
        td_row(outer, rating);
    }

    td_row(outer, make_label("font1", ""));
    td_row(outer, new Box(make_button("Continue", 1, 480, 0)));
    add_page(root, outer);
}

void LevelWin::paint() { paint_over_level(*g, root); }

void LevelWin::frame() {
    for (int* points : {&time_points, &bonus_points, &extra_points}) {
        if (*points == 0) continue;
        const int step = *points < COUNT_STEP ? *points : COUNT_STEP;
        *points -= step;
        score_total += step;
        break;
    }
    replace_named(root, "time", "font1", time_points);
    replace_named(root, "bonus", "font1", bonus_points);
    replace_named(root, "extra", "font1", extra_points);
    replace_named(root, "score", "font2", score_total);
}

void LevelWin::event(Event e) {
    const int answer = root.event(e);
    if (e.kind != EV_KEYDOWN && answer != 1) return;
    if (Widget* stars = find(&root, "stars")) {
        Widget* skulls = find(&root, "skulls");
        const int s = stars->get_value_i();
        const int k = skulls ? skulls->get_value_i() : 0;
        const std::string name = field_text(g->level.name);
        MyDB& db = app_handles().user_db;
        db.query("delete from ratings where lid = ?", {name});
        db.query("insert into ratings (lid,stars,skulls) values (?,?,?)",
                 {name, std::to_string(s), std::to_string(k)});
        api_plays(*g, s, k);
    }
    set_state(*g, level_exit_state(*g));
}
