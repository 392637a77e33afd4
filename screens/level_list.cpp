#include "screens/level_list.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "gfx/world_draw.h"
#include "net/web.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "screens/screen.h"
#include "ui/stars.h"
#include "ui/widget_gfx.h"
#include "world/model.h"
#include "world/storage.h"

int list_page = 0;
int list_count = 0;
std::vector<std::string> list_ids;

namespace {

enum : int {
    ENTRY_WIDTH = 320,
    ENTRY_TEXT_WIDTH = 296,  // the entry less its paddings and borders
    LIST_Y = 120,
    LIST_HEIGHT = 500,       // down to the cards and buttons along the bottom edge
    RATING_SIZE = 26,
    MORE_BY = 16,
    FAVORITES = 17,
};

Label* sized_label(const char* font, const std::string& text, int width, int align, int color) {
    Label* l = make_label(font, text.c_str());
    Style& s = l->styles[STYLE_BASE];
    if (width) s.width = width;
    s.align = align;
    if (color >= 0) s.color = color;
    return l;
}

// A label in a box of at least the given size, centred across and placed by
// valign (-1 top, 0 middle, 1 bottom) when the box is taller.
Box* boxed(Label* l, int w, int h, int valign) {
    Box* b = new Box(l);
    b->styles[STYLE_BASE].width = w;
    b->styles[STYLE_BASE].height = h;
    b->styles[STYLE_BASE].valign = valign;
    return b;
}

// A card's face: two centred lines.
Table* card_face(const std::string& top, const std::string& bottom) {
    Table* t = new Table();
    td_row(t, sized_label("font3", top, 216, 0, 0xCCCCCC));
    td_row(t, sized_label("font1", bottom, 216, 0, -1));
    return t;
}

// The column of entries inside the list's scroll box: a one-column table
// whose rows are the entries, laid out as such a table would be, without a
// limit on the number of rows. An entry keeps its size once laid out (its
// texts never change), so after the first layout only the entries in view take
// their style step (the hover and selection colours), and only those are
// painted: a list of thousands of rows costs a frame no more than a screenful.
class EntryColumn : public Table {
public:
    void measure_content() override {
        LayoutPass pass;
        if (laid_out_count != children.size()) {
            stack();
            laid_out_count = children.size();
            return;
        }
        int top = 0, bottom = 0;
        view(&top, &bottom);
        for (Widget* c : children)
            if (c != filler && in_view(c, top, bottom)) style_step(c);
    }

    void paint_content() override {
        int top = 0, bottom = 0;
        view(&top, &bottom);
        WidgetGfx& gfx = widget_gfx();
        for (Widget* c : children) {
            if (c == filler || !in_view(c, top, bottom)) continue;
            gfx.translate2d(c->x, c->y);
            c->paint();
            gfx.translate2d(-c->x, -c->y);
        }
    }

    void reset_as_new() override {
        Table::reset_as_new();
        laid_out_count = size_t(-1);
    }

private:
    size_t laid_out_count = size_t(-1);

    // The rows one under the other, as wide as the widest.
    void stack() {
        int width = 0;
        for (Widget* c : children) {
            if (c == filler) continue;
            style_step(c);
            c->measure();
            width = std::max(width, c->w);
        }
        int64_t y = 0;
        for (Widget* c : children) {
            if (c == filler) continue;
            c->x = 0;
            c->y = int(std::min<int64_t>(y, INT32_MAX / 2));
            if (c->w != width) c->resize(width, c->h);
            y += c->h;
        }
        if (filler) {
            filler->x = filler->y = 0;
            filler->w = filler->h = 0;
        }
        content_w = width;
        content_h = int(std::min<int64_t>(y, INT32_MAX / 2));
    }

    // The rows the scroll box shows, in this column's coordinates; everything
    // when the column is not inside a scroll box.
    void view(int* top, int* bottom) const {
        const ScrollBox* sb = dynamic_cast<const ScrollBox*>(parent);
        *top = sb ? sb->scroll_y : INT32_MIN;
        *bottom = sb ? sb->scroll_y + sb->content_h : INT32_MAX;
    }
    static bool in_view(const Widget* c, int top, int bottom) {
        return int64_t(c->y) + c->h > top && c->y < bottom;
    }
};

Table* entry_list(Container& root) {
    ScrollBox2* pair = dynamic_cast<ScrollBox2*>(root_child(root, "entries"));
    if (!pair || !pair->box) return nullptr;
    return dynamic_cast<Table*>(pair->box->content());
}

bool depth_on() {
    if (!graphics_has_gl()) return false;
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    return true;
}

}  // namespace

int wrap_list_page(int page, int count) {
    if (count <= 0) return 0;
    const int r = page % count;
    return r < 0 ? r + count : r;
}

void list_frame(game& g, Container& root) {
    screen_tick(root);
    level& lv = g.level;
    lv.cam_dist = 50;
    lv.zoom_target = 50;
    lv.cam_angle += 1;
    lv.cam_angle_target += 1;
    // Both headings wrap together, so the turn never runs out of precision.
    if (!std::isfinite(lv.cam_angle) || !std::isfinite(lv.cam_angle_target)) {
        lv.cam_angle = 0;
        lv.cam_angle_target = 0;
    } else if (lv.cam_angle >= 360 && lv.cam_angle_target >= 360) {
        lv.cam_angle -= 360;
        lv.cam_angle_target -= 360;
    }
}

void paint_level_list(game& g, Container& root) {
    camera_setup(g, 0);
    if (depth_on()) {
        const Driver& d = driver();
        const CanvasRect r = window_rect_from_canvas(PREVIEW_X, PREVIEW_Y, PREVIEW_W, PREVIEW_H);
        // GL counts viewport rows from the bottom of the window.
        glViewport(int(std::lround(r.x)), int(std::lround(float(d.height) - r.y - r.h)),
                   int(std::lround(r.w)), int(std::lround(r.h)));
        world_draw(g);
        glViewport(0, 0, d.width, d.height);
    }
    begin_2d();
    paint_root(root);
    restore_level_camera(g);
}

void show_level_panel(game& g, Container& root) {
    remove(&root, root_child(root, "lev"));
    remove(&root, root_child(root, "bts"));
    if (list_count <= 0 || list_page < 0 || list_page >= int(list_ids.size())) return;

    const bool own_maps = g.state == STATE_MENU_EDIT;
    MyDB& db = own_maps ? app_handles().user_db : app_handles().net_db;
    const std::string& id = list_ids[size_t(list_page)];
    logic_load(g, db, id);
    const level& lv = g.level;

    std::string second;
    if (own_maps) {
        const std::vector<Row> rows = db.query("select ts from levels where id = ?", {id});
        if (!rows.empty()) {
            auto it = rows[0].find("ts");
            if (it != rows[0].end()) second = list_date(it->second);
        }
    } else {
        second = field_text(lv.author);
    }

    Table* lev = new Table();
    lev->name = "lev";
    lev->styles[STYLE_BASE].width = 640;
    lev->styles[STYLE_BASE].height = 480;
    lev->disabled = 1;
    // The panel's rows share its height; the title and the line under it keep
    // together, the intro starts at the top of its row.
    td_row(lev, boxed(sized_label("font2", field_text(lv.title), 620, 0, -1), 640, 60, 1));
    td_row(lev, boxed(sized_label("font1", second, 0, 0, 0xAAAAAA), 640, 60, -1));
    td_row(lev, make_label("font1", " "));
    td_row(lev, boxed(sized_label("font1", field_text(lv.intro), 480, 0, 0xCCCCCC), 640, 0, -1));
    place_at(root, lev, 320, 120);

    if (own_maps) return;
    const std::string author = field_text(lv.author);
    Table* bts = new Table();
    bts->name = "bts";
    bts->styles[STYLE_BASE].width = 480;
    td(bts, make_card(card_face("More by", author), MORE_BY));
    td(bts, make_card(card_face(author + "'s", "Favorites"), FAVORITES));
    place_bottom(root, bts, 240);
}

ScrollBox2* add_level_entries(Container& root, const std::vector<ListEntry>& entries,
                              int selected) {
    WidgetGfx& gfx = widget_gfx();
    const int stars_image = gfx.image_get("stars");
    const int skulls_image = gfx.image_get("skulls");
    Table* list = new EntryColumn();
    for (size_t i = 0; i < entries.size(); ++i) {
        const ListEntry& e = entries[i];
        // The entry answers as a whole: nothing inside it takes the pointer, so
        // the ratings only show their values.
        Table* face = new Table();
        face->disabled = 1;
        const bool first_title = e.title_first;
        td_row(face, sized_label(first_title ? "font2" : "font1", e.first, ENTRY_TEXT_WIDTH, -1,
                                 first_title ? -1 : 0xAAAAAA));
        td_row(face, sized_label(first_title ? "font1" : "font2", e.second, ENTRY_TEXT_WIDTH, -1,
                                 first_title ? 0xAAAAAA : -1));
        Table* ratings = new Table();
        Stars* stars = new Stars(e.stars, stars_image, RATING_SIZE);
        Stars* skulls = new Stars(e.skulls, skulls_image, RATING_SIZE);
        stars->disabled = skulls->disabled = 1;
        skulls->styles[STYLE_BASE].margin_left = 10;
        td(ratings, stars);
        td(ratings, skulls);
        td_row(face, ratings);

        VBox* box = new VBox(face);
        box->value = int(i);
        box->click_value = LIST_ENTRY_ACTION + int(i);
        Style& s = box->styles[STYLE_BASE];
        s.width = ENTRY_WIDTH;
        s.align = -1;
        set_paddings(s, 10);
        set_borders(s, 2);
        s.background = 0x111111;
        s.border_color = 0x2A2A2A;
        box->styles[STYLE_HOVER].background = 0x222222;
        box->styles[STYLE_FOCUS_HOVER].background = 0x333333;
        box->styles[STYLE_SELECTED].background = 0x1A2633;
        box->styles[STYLE_SELECTED].border_color = 0x55AAFF;
        td_row(list, box);
    }
    ScrollBox* sb = new ScrollBox(list);
    sb->styles[STYLE_BASE].width = ENTRY_WIDTH;
    sb->styles[STYLE_BASE].height = LIST_HEIGHT;
    ScrollBox2* pair = new ScrollBox2(sb);
    pair->name = "entries";
    place_at(root, pair, 0, LIST_Y);

    mark_selected_entry(root, selected);
    // Reopened at an entry further down, the list shows it near its middle.
    pair->measure();
    for (Widget* c : list->children) {
        VBox* box = dynamic_cast<VBox*>(c);
        if (!box || box->value != selected) continue;
        sb->scroll_y = box->y + box->h / 2 - sb->content_h / 2;
        sb->clamp_scroll();
        break;
    }
    return pair;
}

void mark_selected_entry(Container& root, int index) {
    Table* list = entry_list(root);
    if (!list) return;
    for (Widget* c : list->children) {
        if (c == list->filler) continue;
        c->selected = c->get_value_i() == index;
    }
}

bool choose_list_entry(game& g, Container& root, int answer) {
    const int entry = answer - LIST_ENTRY_ACTION;
    if (entry < 0 || entry >= list_count) return false;
    list_page = entry;
    show_level_panel(g, root);
    mark_selected_entry(root, entry);
    return true;
}

void start_level(game& g, int from) {
    memcpy(&g.level, &g.edit_level, sizeof(level));
    // Always a fresh attempt: the play screen sets the level up and shows its
    // intro, whatever flag the stored row carried.
    g.level.started = 0;
    g.return_state = from;
    api_track(g, g.level.play_time / 30, field_text(g.level.name).c_str(), "start");
    set_state(g, STATE_LEVEL);
}

std::string list_text(const std::string& bytes, size_t max_len) {
    std::string s = bytes.substr(0, bytes.find('\0'));
    if (s.size() > max_len) s.resize(max_len);
    for (char& c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) c = ' ';
    }
    return s;
}

float list_rating(const std::string& text) {
    const char* p = text.c_str();
    char* end = nullptr;
    const double v = strtod(p, &end);
    if (end == p || !std::isfinite(v) || v < 0) return 0;  // no number, NaN, infinite or negative
    return v > 5 ? 5.0f : float(v);
}

std::string list_date(const std::string& ts) {
    const char* p = ts.c_str();
    char* end = nullptr;
    const double v = strtod(p, &end);
    // Beyond about 300,000 years either way a calendar has no four-digit year.
    if (end == p || !(std::fabs(v) < 1e13)) return "";
    const time_t t = time_t(v);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return "";
    const long year = long(tm.tm_year) + 1900;
    if (year < 1 || year > 9999) return "";
    char out[32];
    snprintf(out, sizeof out, "%d/%d/%ld", tm.tm_mon + 1, tm.tm_mday, year);
    return out;
}

std::string fit_text(const char* font, const std::string& text, float max_w) {
    WidgetGfx& gfx = widget_gfx();
    const int f = gfx.font_get(font);
    if (gfx.text_width(f, text.c_str()) <= max_w) return text;
    std::string cut = text;
    while (!cut.empty() && gfx.text_width(f, (cut + "...").c_str()) > max_w) cut.pop_back();
    return cut + "...";
}

Widget* place_at(Container& root, Widget* w, int x, int y) {
    w->x = x;
    w->y = y;
    add(&root, w);
    return w;
}

Widget* place_edge(Container& root, Widget* w, int ax, int ay) {
    w->measure();
    return place_at(root, w, (960 - w->w) * (ax + 1) / 2, (720 - w->h) * (ay + 1) / 2);
}

Widget* place_bottom(Container& root, Widget* w, int x) {
    w->measure();
    return place_at(root, w, x, 720 - w->h);
}

void add_canvas_note(Container& root, const char* text) {
    Box* page = add_page(root, sized_label("font1", text, 960, 0, -1));
    page->disabled = 1;
}

Widget* root_child(Container& root, const char* name) {
    for (Widget* c : root.children)
        if (c->name == name) return c;
    return nullptr;
}

void add_menu_button(Container& root) { place_at(root, make_button("Menu", 6, 240, 0), 0, 0); }
