#include "world/rewind.h"

#include <cstdlib>
#include <cstring>

#include "core/state.h"
#include "world/hooks.h"
#include "world/model.h"

namespace {
level* g_store = nullptr;
}

void rewind_store_alloc() {
    if (!g_store) g_store = static_cast<level*>(calloc(REWIND_SLOTS, sizeof(level)));
}

void rewind_store_free() {
    free(g_store);
    g_store = nullptr;
}

const level* rewind_slot(int s) {
    return g_store && s >= 0 && s < REWIND_SLOTS ? &g_store[s] : nullptr;
}

void take_snapshot(game& g) {
    if (!g_store) return;
    // The count comes from state.dat; anything negative or near overflow restarts it.
    if (g.rewind_pos < 0 || g.rewind_pos > (1 << 30)) g.rewind_pos = 0;
    memcpy(&g_store[g.rewind_pos % REWIND_SLOTS], &g.level, sizeof(level));
    g.rewind_pos += 1;
}

void clear_history(game& g) {
    g.rewind_pos = 0;
    if (!g_store) return;
    for (int s = 0; s < REWIND_SLOTS; ++s) g_store[s].ticks = 0;
}

void rewind_step(game& g) {
    level& lv = g.level;
    int best = -1;
    if (g_store) {
        for (int s = 0; s < REWIND_SLOTS; ++s) {
            const int t = g_store[s].ticks;
            if (t > 0 && (best < 0 || t > g_store[best].ticks)) best = s;
        }
    }
    if (best >= 0) {
        const int32_t used = lv.rewinds_used;
        memcpy(&lv, &g_store[best], sizeof(level));
        g_store[best].ticks = 0;
        lv.rewinds_used = used;
        build_flags(g);
        return;
    }
    level_sanitize(lv);
    if (lv.play_time > 30) lv.play_time += 600;
    lv.rewinds_used += 1;
    rules_set_state(g, STATE_LEVEL);
}
