// EditMenu: the editor's hub over the map: back to painting, the map's title
// and options, a test play, sharing, and saving the map into the user's
// database (then the list of the user's maps).
#pragma once

#include "screens/screen.h"

class EditMenu : public Screen {
public:
    explicit EditMenu(game* g);
    void enter() override;
    void paint() override;  // over the level
    void event(Event e) override;
    void frame() override;  // the root's tick

    // The answers of the buttons.
    enum : int { EDIT_MAP = 1, TITLE_OPTIONS = 2, PLAY_TEST = 3, SAVE_QUIT = 4, SHARE = 5 };

    // Set when the last Save & Quit could not write the map; the menu then
    // says so and stays, with the map and its undo history as they were.
    bool save_failed = false;

private:
    void save_and_quit();
};
