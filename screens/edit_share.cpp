#include "screens/edit_share.h"

#include "net/web.h"
#include "screens/edit.h"

namespace {

// A row of centred text 480 wide.
Label* line(const char* font, const char* text) {
    Label* l = make_label(font, text);
    l->styles[STYLE_BASE].width = 480;
    l->styles[STYLE_BASE].align = 0;
    return l;
}

}  // namespace

EditShare::EditShare(game* g) : Screen(g) {}

void EditShare::enter() {
    clear(&root);
    edit_show_map(*g);
    const bool unbeaten = g->edit_level.unbeaten != 0;
    Table* t = new Table();
    add_page(root, t);
    td_row(t, line("font2", "Share this Map"));
    td_row(t, line("font1", ""));
    if (unbeaten) {
        td_row(t, line("font1", "Before you can share your map you must beat it."));
        td_row(t, line("font1", ""));
        td_row(t, line("font1", "- You may not rewind"));
        td_row(t, line("font1", "- You must collect all items"));
        td_row(t, line("font1", ""));
    }
    td_row(t, unbeaten ? make_button("Play", PLAY, 480, 0)
                       : make_button("To Everyone", TO_EVERYONE, 480, 0));
    td_row(t, make_button("Cancel", CANCEL, 480, 0));
}

void EditShare::paint() { paint_over_level(*g, root); }

void EditShare::frame() { screen_tick(root); }

void EditShare::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) answer = CANCEL;
    switch (answer) {
    case PLAY:  // a test play that comes back here
        edit_copy_for_play(*g);
        g->return_state = STATE_EDIT_SHARE;
        set_state(*g, STATE_LEVEL);
        break;
    case TO_EVERYONE:  // the reply is handled by the web service layer
        api_share(*g, 1);
        set_state(*g, STATE_EDIT);
        break;
    case CANCEL:
        set_state(*g, STATE_EDIT);
        break;
    default:
        break;
    }
}
