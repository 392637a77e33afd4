#include "screens/menu_play.h"

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "screens/level_list.h"
#include "ui/widget_gfx.h"
#include "world/model.h"
#include "world/storage.h"

MenuPlay::MenuPlay(game* g) : Screen(g) {}

void MenuPlay::enter() {
    clear(&root);
    MyDB& db = app_handles().game_db;
    const std::vector<Row> rows =
        db.query("select id from levels where name like 't%' order by name asc");
    list_ids.clear();
    for (const Row& r : rows) {
        auto it = r.find("id");
        list_ids.push_back(it == r.end() ? std::string() : it->second);
    }
    list_count = int(list_ids.size());

    if (list_count > 0) {
        list_page = wrap_list_page(list_page, list_count);
        logic_load(*g, db, list_ids[size_t(list_page)]);
    } else {
        add_canvas_note(root, "No levels found.");
        new_level(*g);
    }

    Table* t = new Table();
    td_row(t, new Box(make_label("font2", field_text(g->level.title).c_str())));
    td_row(t, make_label("font1", ""));
    Label* intro = make_label("font1", field_text(g->level.intro).c_str());
    intro->styles[STYLE_BASE].width = 640;
    intro->styles[STYLE_BASE].align = 0;
    td_row(t, new Box(intro));
    add_page(root, t)->disabled = 1;

    add_menu_button(root);
    if (list_count > 0)
        place_edge(root, make_button("Play", PLAY, 240, widget_gfx().image_get("box3")), 0, 1);
    if (list_count > 0 && list_page < list_count - 1)
        place_edge(root, make_button("Next", NEXT, 240, 0), 1, 1);
    if (list_count > 0 && list_page >= 1)
        place_edge(root, make_button("Previous", PREVIOUS, 240, 0), -1, 1);
}

void MenuPlay::paint() { paint_over_level(*g, root); }

void MenuPlay::frame() { list_frame(*g, root); }

void MenuPlay::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN) {
        switch (e.key) {
        case KEY_ESCAPE:
            answer = MENU;
            break;
        case KEY_RIGHT:
            answer = NEXT;
            break;
        case KEY_LEFT:
            answer = PREVIOUS;
            break;
        case KEY_ENTER:
            answer = PLAY;
            break;
        default:
            break;
        }
    }
    switch (answer) {
    case MENU:
        set_state(*g, STATE_MENU_MAIN);
        break;
    case NEXT:
        if (list_count == 0) break;
        // The page wraps when the screen is entered again.
        list_page = wrap_list_page(list_page, list_count) + 1;
        set_state(*g, STATE_MENU_PLAY);
        break;
    case PREVIOUS:
        if (list_count == 0) break;
        list_page = wrap_list_page(list_page, list_count) + list_count - 1;
        set_state(*g, STATE_MENU_PLAY);
        break;
    case PLAY:
        if (list_count == 0) break;
        start_level(*g, STATE_MENU_PLAY);
        break;
    default:
        break;
    }
}
