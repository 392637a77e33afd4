#include "core/state.h"

#include <cstdio>

State* state_table[STATE_TABLE_SIZE];

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
    g.state = n;
    state_table[n]->enter();
}
