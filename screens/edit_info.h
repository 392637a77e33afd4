// EditInfo: the map's texts and options in three pages over the map: title and
// intro (page 0), the four bomb allowances (page 1), and the map id, music and
// theme (page 2, reached with F1). Leaving stores the fields of the page shown
// into g.edit_level, each cut to its field, and marks the map unbeaten.
#pragma once

#include <string>

#include "screens/screen.h"

class EditInfo : public Screen {
public:
    explicit EditInfo(game* g);
    void enter() override;   // builds page info_page, its first field focused
    void leave() override;   // stores the fields of the page shown
    void paint() override;   // over the level
    void event(Event e) override;
    void frame() override;   // the root's tick

    // The answers of the buttons.
    enum : int { PREVIOUS = -1, NEXT = 1, DONE = 2 };
};

// The page the info screen shows, 0..2; back to 0 when the screen is closed.
extern int info_page;

// The bomb allowance a field's text stands for: the number its leading digits
// form (after blanks and a sign), as atoi reads it, held within 0..999; text
// that is not a number gives 0. Never overflows, whatever the length.
int bomb_allowance(const std::string& text);
