// The calls the rules make upward: sounds, the "win" report to the web service and
// screen changes. The application wires them at start-up; tests wire recorders.
// Until wired each is a no-op, so the rules run headless with nothing attached.
#pragma once

#include <functional>

#include "core/game.h"

struct RulesHooks {
    // Plays the named sound effect ("win", "yeah", "death", "drop", "shoot",
    // "guard", "bomb").
    std::function<void(game&, const char* name)> sound;
    // Reports a won level: whole seconds of play and the level's name.
    std::function<void(game&, int seconds, const char* name)> win;
    // Changes the screen to the given state number.
    std::function<void(game&, int state)> state;
};

// Replaces all three hooks; empty members become no-ops.
void set_rules_hooks(const RulesHooks& hooks);
const RulesHooks& rules_hooks();

void rules_sound(game& g, const char* name);
void rules_report_win(game& g, int seconds, const char* name);
void rules_set_state(game& g, int state);
