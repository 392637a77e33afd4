// MenuCredits: the credits, rising from below the canvas two units a frame and
// leaving by themselves once the last line is gone (or on Escape or a click).
// MenuHelp shows the same.
#pragma once

#include "screens/screen.h"

class MenuCredits : public Screen {
public:
    explicit MenuCredits(game* g);
    void enter() override;
    void paint() override;  // as a menu
    void event(Event e) override;
    void frame() override;  // the scroll

    enum : int { SCROLL_STEP = 2 };
};

// The credit lines, in order.
enum : int { CREDIT_LINES = 37 };
extern const char* const credit_lines[CREDIT_LINES];
