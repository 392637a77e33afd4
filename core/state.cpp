#include "core/state.h"

#include <cstdio>

#include "sound/sound.h"

State* state_table[STATE_TABLE_SIZE];

namespace {
// The screens a level is played on; the level's music plays under all of them.
bool play_screen(int n) {
    return n == STATE_LEVEL || n == STATE_PAUSE || n == STATE_REWIND || n == STATE_LEVEL_INTRO ||
           n == STATE_LEVEL_WIN;
}
}  // namespace

bool state_exists(int n) {
    return n >= 0 && n < STATE_TABLE_SIZE && state_table[n] != nullptr;
}

State* current_state(const game& g) {
    return state_exists(g.state) ? state_table[g.state] : nullptr;
}

void set_state(game& g, int n) {
    // Entering an empty entry would call through a null object: refuse it and
    // stay on the current screen.
    if (!state_exists(n)) {
        fprintf(stderr, "set_state: no screen %d\n", n);
        return;
    }
    if (State* old = current_state(g)) old->leave();
    const int from = g.state;
    g.state = n;
    // One line per screen change: a log says where the player went, and the
    // tests of the whole game follow it.
    fprintf(stderr, "set_state: %d -> %d\n", from, n);
    // Leaving the play screens for any other brings the menus' music back; the
    // play screen starts the level's own when it is entered.
    if (play_screen(from) && !play_screen(n))
        music_play_menus(float(g.settings.music_volume) / 100.0f);
    state_table[n]->enter();
}
