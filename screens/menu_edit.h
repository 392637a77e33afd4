// MenuEdit: the list of the user's own maps, newest first, beside the selected
// map's turning preview: New (a blank map to its info screen), Edit, Play, and
// Delete behind a confirmation (the row is only marked deleted).
#pragma once

#include "screens/screen.h"

class MenuEdit : public Screen {
public:
    explicit MenuEdit(game* g);
    void enter() override;
    void paint() override;  // as a level list
    void event(Event e) override;
    void frame() override;  // the list per-frame

    enum : int {
        PLAY = 1, EDIT = 3, MENU = 6, NEW = 7, DELETE = 10, CONFIRM_DELETE = 19, CANCEL = 20,
    };
};
