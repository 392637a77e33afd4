#include "screens/menu_download1.h"

#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "screens/level_list.h"

const DownloadCategory download_categories[DOWNLOAD_CATEGORIES] = {
    {"Featured", "c~featured"}, {"Popular", "c~popular"},     {"Newest", "c~newest"},
    {"Friends", "c~friends"},   {"Favorites", "c~favorites"},
};

MenuDownload1::MenuDownload1(game* g) : Screen(g) {}

void MenuDownload1::enter() {
    clear(&root);
    Table* t = new Table();
    for (int i = 0; i < DOWNLOAD_CATEGORIES; ++i)
        td_row(t, make_button(download_categories[i].label, LIST_ENTRY_ACTION + i, 480, 0));
    add_page(root, t);
}

void MenuDownload1::paint() { paint_as_menu(root); }

void MenuDownload1::frame() { screen_tick(root); }

void MenuDownload1::event(Event e) {
    const int answer = root.event(e);
    const int i = answer - LIST_ENTRY_ACTION;
    if (i >= 0 && i < DOWNLOAD_CATEGORIES) {
        list_page = 0;
        set_field(g->download_query, download_categories[i].query);
        set_field(g->download_title, download_categories[i].label);
        api_download(*g);
    }
    if (answer != 0 || (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)))
        set_state(*g, STATE_MENU_DOWNLOAD2);
}
