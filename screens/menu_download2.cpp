#include "screens/menu_download2.h"

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "screens/level_list.h"
#include "ui/widget_gfx.h"
#include "world/model.h"

namespace {

std::string column(const Row& r, const char* name) {
    auto it = r.find(name);
    return it == r.end() ? std::string() : it->second;
}

}  // namespace

MenuDownload2::MenuDownload2(game* g) : Screen(g) {}

void MenuDownload2::enter() {
    clear(&root);
    const std::vector<Row> rows = app_handles().net_db.query(
        "select id,title,author,stars,skulls from levels where q = ? order by value asc",
        {field_text(g->download_query)});
    list_ids.clear();
    std::vector<ListEntry> entries;
    entries.reserve(rows.size());
    for (const Row& r : rows) {
        list_ids.push_back(column(r, "id"));
        ListEntry e;
        e.first = list_text(column(r, "author"), sizeof g->level.author - 1);
        e.second = list_text(column(r, "title"), sizeof g->level.title - 1);
        e.title_first = false;
        e.stars = list_rating(column(r, "stars"));
        e.skulls = list_rating(column(r, "skulls"));
        entries.push_back(std::move(e));
    }
    list_count = int(list_ids.size());

    add_menu_button(root);
    const std::string title = fit_text("font2", list_text(field_text(g->download_title), 255), 680);
    place_at(root, make_button(title.c_str(), TITLE, 720, 0), 240, 0);
    place_edge(root, make_button("Refresh", REFRESH, 240, 0), -1, 1);

    if (list_count == 0) {
        add_canvas_note(root, "---");
        new_level(*g);
        return;
    }
    list_page = wrap_list_page(list_page, list_count);
    show_level_panel(*g, root);
    add_level_entries(root, entries, list_page);
    place_edge(root, make_button("Play", PLAY, 240, widget_gfx().image_get("box3")), 1, 1);
}

void MenuDownload2::paint() { paint_level_list(*g, root); }

void MenuDownload2::frame() { list_frame(*g, root); }

void MenuDownload2::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) answer = MENU;
    if (choose_list_entry(*g, root, answer)) return;
    switch (answer) {
    case MENU:
        set_state(*g, STATE_MENU_MAIN);
        break;
    case PLAY:
        if (list_count > 0) start_level(*g, STATE_MENU_DOWNLOAD2);
        break;
    case TITLE:
        set_state(*g, STATE_MENU_DOWNLOAD1);
        break;
    case REFRESH:
        api_download(*g);
        break;
    case MORE_BY:
    case FAVORITES: {
        const std::string uid = field_text(g->level.uid);
        const std::string author = field_text(g->level.author);
        // A level without its author's identifier has no author list to ask for.
        if (uid.empty()) break;
        list_page = 0;
        if (answer == MORE_BY) {
            set_field(g->download_query, "u~" + uid);
            set_field(g->download_title, "More by " + author);
        } else {
            set_field(g->download_query, "f~" + uid);
            set_field(g->download_title, author + "'s Favorites");
        }
        api_download(*g);
        set_state(*g, STATE_MENU_DOWNLOAD2);
        break;
    }
    default:
        break;
    }
}
