// MenuDownload1: online levels: the categories.
#pragma once

#include "screens/screen.h"

class MenuDownload1 : public Screen {
public:
    explicit MenuDownload1(game* g);
    void paint() override;  // as a menu
    void frame() override;  // the root's tick
};
