// EditInfo: editor: title and options of the map.
#pragma once

#include "screens/screen.h"

class EditInfo : public Screen {
public:
    explicit EditInfo(game* g);
    void paint() override;  // over the level
    void frame() override;  // the root's tick
};
