#include "screens/edit_menu.h"

#include <cstdio>
#include <ctime>

#include "core/app.h"
#include "core/fixed_text.h"
#include "screens/edit.h"
#include "world/editing.h"
#include "world/storage.h"

EditMenu::EditMenu(game* g) : Screen(g) {}

void EditMenu::enter() {
    clear(&root);
    edit_show_map(*g);
    Table* t = new Table();
    add_page(root, t);
    if (save_failed) {
        Label* l = make_label("font1", "The map could not be saved.");
        l->styles[STYLE_BASE].color = 0xFF5555;
        td_row(t, new Box(l));
    }
    td_row(t, make_button("Edit Map", EDIT_MAP, 480, 0));
    td_row(t, make_button("Title & Options", TITLE_OPTIONS, 480, 0));
    td_row(t, make_button("Play / Test", PLAY_TEST, 480, 0));
    td_row(t, make_button("Share", SHARE, 480, 0));
    td_row(t, make_button("Save & Quit", SAVE_QUIT, 480, 0));
    save_failed = false;
}

void EditMenu::paint() { paint_over_level(*g, root); }

void EditMenu::frame() { screen_tick(root); }

void EditMenu::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) answer = EDIT_MAP;
    switch (answer) {
    case EDIT_MAP:
        set_state(*g, STATE_EDIT);
        break;
    case TITLE_OPTIONS:
        set_state(*g, STATE_EDIT_INFO);
        break;
    case PLAY_TEST:
        edit_copy_for_play(*g);
        g->return_state = STATE_EDIT_MENU;
        set_state(*g, STATE_LEVEL);
        break;
    case SHARE:
        set_state(*g, STATE_EDIT_SHARE);
        break;
    case SAVE_QUIT:
        save_and_quit();
        break;
    default:
        break;
    }
}

void EditMenu::save_and_quit() {
    level& ed = g->edit_level;
    // The row is keyed by the identifier; a map without one gets what a new map
    // gets, so it cannot take the place of another nameless map.
    if (ed.id[0] == '\0') {
        char id[32];
        snprintf(id, sizeof id, "%ld", static_cast<long>(time(nullptr)));
        set_field(ed.id, id);
    }
    // The row takes its texts from the live level and its map from the stored
    // copy: both are the map being edited.
    edit_show_map(*g);
    if (!logic_save(*g, app_handles().user_db)) {
        fprintf(stderr, "Save & Quit: the map was not saved\n");
        save_failed = true;
        set_state(*g, STATE_EDIT_MENU);
        return;
    }
    clear_undo(*g);
    set_state(*g, STATE_MENU_EDIT);
}
