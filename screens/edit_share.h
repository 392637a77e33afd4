// EditShare: editor: share the map online.
#pragma once

#include "screens/screen.h"

class EditShare : public Screen {
public:
    explicit EditShare(game* g);
    void paint() override;  // over the level
    void frame() override;  // the root's tick
};
