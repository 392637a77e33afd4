// MenuDownload2: the online list, the levels the last download of the current
// query stored in the network database, beside the selected level's turning
// preview. The title button leads back to the categories; "More by" and the
// author's Favorites start new queries.
#pragma once

#include "screens/screen.h"

class MenuDownload2 : public Screen {
public:
    explicit MenuDownload2(game* g);
    void enter() override;
    void paint() override;  // as a level list
    void event(Event e) override;
    void frame() override;  // the list per-frame

    enum : int {
        PLAY = 1, TITLE = 5, MENU = 6, REFRESH = 15, MORE_BY = 16, FAVORITES = 17,
    };
};
