// Level: a level being played. Sets the play copy up on the first entry of an
// attempt and hands over to the intro; afterwards shows the world with the
// heads-up display (pause button, counters, bomb timers, the bottom bar with
// the camera turns and the bomb selectors), turns input into commands of the
// rules and advances the game one tick per frame.
#pragma once

#include "core/state.h"
#include "screens/screen.h"

class Level : public Screen {
public:
    explicit Level(game* g);
    void enter() override;
    void paint() override;
    void event(Event e) override;
    void frame() override;  // build_flags, game_tick, camera_update, root tick

    // W, D, S, A held (1) or not (0), in that order. Released on every entry,
    // so a key held while another screen was shown does not keep the player
    // walking.
    int held[4] = {0, 0, 0, 0};

    // The parts of paint drawn over the widgets, in the 2D drawing state: the
    // three counters in the top-right corner and the row of bomb timers along
    // the top (built, laid out, painted and deleted on every call).
    void paint_counters();
    void paint_timers();

private:
    void build_hud();
};

// Where leaving a level goes (the pause screen's Quit, the win screen's
// Continue): the screen that started it (return_state), or the main menu when
// that number names no screen or one of the play screens themselves, which
// would lead back into the level.
int level_exit_state(const game& g);

// Starts the level's own music (the stream its `music` field names, else the
// play track) when the level is entered; a track already playing plays on.
void level_music_enter(game& g);
