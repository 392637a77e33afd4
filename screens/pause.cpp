#include "screens/pause.h"

#include <cstring>
#include <string>

#include "core/fixed_text.h"
#include "net/web.h"
#include "screens/level.h"
#include "world/model.h"

bool player_dying(game& g) {
    const actor* p = find_actor(g, ACTOR_PLAYER);
    return p && p->mode == MODE_DYING;
}

Pause::Pause(game* g) : Screen(g) {}

void Pause::enter() {
    clear(&root);
    level_sanitize(g->level);
    Table* t = new Table();
    add_page(root, t);
    td_row(t, new Box(make_label("font2", field_text(g->level.title).c_str())));
    td_row(t, make_label("font2", ""));
    if (!player_dying(*g)) td_row(t, make_button("Resume", RESUME, 480, 0));
    td_row(t, make_button("Restart", RESTART, 480, 0));
    td_row(t, make_button("Rewind", REWIND, 480, 0));
    td_row(t, make_button("Quit", QUIT, 480, 0));
}

void Pause::paint() { paint_over_level(*g, root); }

void Pause::frame() { screen_tick(root); }

void Pause::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE))
        answer = player_dying(*g) ? QUIT : RESUME;

    const int seconds = g->level.play_time / 30;
    const std::string name = field_text(g->level.name);
    switch (answer) {
    case RESUME:
        set_state(*g, STATE_LEVEL);
        break;
    case RESTART:
        api_track(*g, seconds, name.c_str(), "restart");
        // A fresh attempt from the stored level: the play screen sets it up again
        // and shows the intro, whatever flag the stored copy carries.
        memcpy(&g->level, &g->edit_level, sizeof(level));
        g->level.started = 0;
        set_state(*g, STATE_LEVEL);
        break;
    case REWIND:
        api_track(*g, seconds, name.c_str(), "rewind");
        set_state(*g, STATE_REWIND);
        break;
    case QUIT:
        api_track(*g, seconds, name.c_str(), "quit");
        set_state(*g, level_exit_state(*g));
        break;
    default:
        break;
    }
}
