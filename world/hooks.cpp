#include "world/hooks.h"

namespace {
RulesHooks g_hooks;
}

void set_rules_hooks(const RulesHooks& hooks) { g_hooks = hooks; }

const RulesHooks& rules_hooks() { return g_hooks; }

void rules_sound(game& g, const char* name) {
    if (g_hooks.sound) g_hooks.sound(g, name);
}

void rules_report_win(game& g, int seconds, const char* name) {
    if (g_hooks.win) g_hooks.win(g, seconds, name);
}

void rules_set_state(game& g, int state) {
    if (g_hooks.state) g_hooks.state(g, state);
}
