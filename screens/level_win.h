// LevelWin: the won level's score counted up over a dark veil, a rating for
// levels started from a level list, and Continue back to where play started.
#pragma once

#include "screens/screen.h"

class LevelWin : public Screen {
public:
    explicit LevelWin(game* g);
    void enter() override;
    void paint() override;
    void event(Event e) override;
    void frame() override;  // the count-up

    // Points still to count into the total, and the total so far. Set by
    // enter, moved along by frame.
    int time_points = 0;
    int bonus_points = 0;
    int extra_points = 0;
    int score_total = 0;

    // Points moved into the total per frame.
    enum : int { COUNT_STEP = 33 };
};

// The three scores of a won level, from the play copy: time (1000 at once, 0
// after ten minutes), Data Cartridges collected and extra bombs (up to five).
struct WinPoints {
    int time, bonus, extra;
};
WinPoints win_points(const level& lv);
