// Screen states: every screen is a State, kept in a fixed table by number.
#pragma once

#include "core/game.h"
#include "platform/event.h"

// State numbers.
enum : int {
    STATE_NONE = 0,
    STATE_MENU_MAIN = 1,
    STATE_EDIT = 2,
    STATE_LEVEL = 3,
    STATE_PAUSE = 4,
    STATE_REWIND = 5,
    STATE_EDIT_INFO = 6,
    STATE_EDIT_MENU = 7,
    STATE_MENU_EDIT = 8,
    STATE_MENU_PLAY = 9,
    STATE_LEVEL_INTRO = 10,
    STATE_MENU_SETTINGS = 11,
    STATE_MENU_DOWNLOAD1 = 12,
    STATE_LEVEL_WIN = 13,
    STATE_MENU_DOWNLOAD2 = 14,
    STATE_EDIT_SHARE = 15,
    STATE_MENU_ERROR = 16,
    STATE_MENU_CREDITS = 17,
    STATE_MENU_HELP = 18,
};

// Base of every screen. The operations are called from the main loop only, and
// only on the current state; the defaults do nothing.
class State {
public:
    explicit State(game* g) : g(g) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    virtual void enter() {}           // build or refresh the screen
    virtual void leave() {}           // store what was edited, release what was built
    virtual void paint() {}           // draw the whole frame
    virtual void event(Event) {}      // one input event, by value
    virtual void frame() {}           // per-frame update
    virtual ~State() = default;

protected:
    game* g;
};

// The table of screens, indexed by state number; empty entries are null.
// Filled by make_states; the objects live until the process ends.
extern State* state_table[STATE_TABLE_SIZE];

// The state stored in g.state, or null when the number is out of range or empty.
State* current_state(const game& g);

// Leaves the current screen (if there is one) and enters screen n. Entering the
// current number again rebuilds it. An empty or out-of-range n is refused with a
// diagnostic and nothing changes. Going from a play screen (the level, pause,
// rewind, intro, won) to any other starts the menus' music again.
void set_state(game& g, int n);

// True when n names a filled entry of the table.
bool state_exists(int n);
