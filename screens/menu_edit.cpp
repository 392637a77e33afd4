#include "screens/menu_edit.h"

#include <cstring>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "screens/level_list.h"
#include "ui/widget_gfx.h"
#include "world/editing.h"
#include "world/model.h"

namespace {

std::string column(const Row& r, const char* name) {
    auto it = r.find(name);
    return it == r.end() ? std::string() : it->second;
}

// "Are you sure ...": a frame over the whole canvas, so nothing underneath
// takes the pointer while it is shown, with the question and the two buttons
// kept together in its middle.
void add_delete_dialog(Container& root) {
    WidgetGfx& gfx = widget_gfx();
    Table* d = new Table();
    d->name = "dialog";
    Style& s = d->styles[STYLE_BASE];
    s.width = 960;
    s.height = 720;
    s.box = gfx.image_get("box");
    s.box_color = 0xFFFFFF;
    Table* rows = new Table();
    const char* lines[] = {"Are you sure you want to delete this map?", "",
                           "You can't undo this action.", ""};
    for (const char* line : lines) {
        tr(rows);
        td_span(rows, -1, -1, 2, new Box(make_label("font2", line)));
    }
    tr(rows);
    td(rows, make_button("Cancel", MenuEdit::CANCEL, 240, 0));
    td(rows, make_button("Delete", MenuEdit::CONFIRM_DELETE, 240, gfx.image_get("box3")));
    td(d, new Box(rows));
    place_at(root, d, 0, 0);
}

}  // namespace

MenuEdit::MenuEdit(game* g) : Screen(g) {}

void MenuEdit::enter() {
    clear(&root);
    const std::vector<Row> rows = app_handles().user_db.query(
        "select id,title,author,stars,skulls,ts from levels where q is null order by ts desc");
    list_ids.clear();
    std::vector<ListEntry> entries;
    entries.reserve(rows.size());
    for (const Row& r : rows) {
        list_ids.push_back(column(r, "id"));
        ListEntry e;
        e.first = list_text(column(r, "title"), sizeof g->level.title - 1);
        e.second = list_date(column(r, "ts"));
        e.title_first = true;
        e.stars = list_rating(column(r, "stars"));
        e.skulls = list_rating(column(r, "skulls"));
        entries.push_back(std::move(e));
    }
    list_count = int(list_ids.size());

    add_menu_button(root);
    Widget* add_new = place_at(root, make_button("New", NEW, 240, 0), 720, 0);
    add_new->measure();
    // The heading sits between the two buttons, on their middle line.
    Box* heading = new Box(make_label("font2", "Build / Edit"));
    heading->styles[STYLE_BASE].width = 480;
    heading->styles[STYLE_BASE].height = add_new->h;
    place_at(root, heading, 240, 0);

    if (list_count == 0) {
        add_canvas_note(root, "---");
        new_level(*g);
    } else {
        list_page = wrap_list_page(list_page, list_count);
        show_level_panel(*g, root);
        add_level_entries(root, entries, list_page);
    }

    place_bottom(root, make_button("Delete", DELETE, 240, 0), 0);
    place_bottom(root, make_button("Edit", EDIT, 240, 0), 480);
    place_bottom(root, make_button("Play", PLAY, 240, widget_gfx().image_get("box3")), 720);
}

void MenuEdit::paint() { paint_level_list(*g, root); }

void MenuEdit::frame() { list_frame(*g, root); }

void MenuEdit::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE))
        answer = root_child(root, "dialog") ? CANCEL : MENU;  // Escape closes the question first
    if (choose_list_entry(*g, root, answer)) return;
    switch (answer) {
    case MENU:
        set_state(*g, STATE_MENU_MAIN);
        break;
    case PLAY:
        start_level(*g, STATE_MENU_EDIT);
        break;
    case EDIT:
        // Another map's history must never be undone onto this one.
        clear_undo(*g);
        memcpy(&g->level, &g->edit_level, sizeof(level));
        set_state(*g, STATE_EDIT);
        list_page = 0;
        break;
    case NEW:
        clear_undo(*g);
        new_level(*g);
        set_state(*g, STATE_EDIT_INFO);
        list_page = 0;
        break;
    case DELETE:
        if (!root_child(root, "dialog")) add_delete_dialog(root);
        break;
    case CONFIRM_DELETE:
        if (list_page >= 0 && list_page < list_count)
            app_handles().user_db.query("update levels set q = 'deleted' where id = ?",
                                        {list_ids[size_t(list_page)]});
        list_page = 0;
        set_state(*g, STATE_MENU_EDIT);
        break;
    case CANCEL:
        remove(&root, root_child(root, "dialog"));
        break;
    default:
        break;
    }
}
