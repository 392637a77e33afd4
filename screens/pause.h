// Pause: the menu over the level, reached by Escape, the pause button and the
// player's death: Resume (not while dying), Restart, Rewind and Quit.
#pragma once

#include "screens/screen.h"

class Pause : public Screen {
public:
    explicit Pause(game* g);
    void enter() override;
    void paint() override;
    void event(Event e) override;
    void frame() override;

    // The answers of the menu's buttons.
    enum : int { RESUME = 1, RESTART = 2, REWIND = 3, QUIT = 4 };
};

// True when the player (the first active player actor) is dying.
bool player_dying(game& g);
