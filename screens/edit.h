// Edit: the map editor.
#pragma once

#include "screens/screen.h"

class Edit : public Screen {
public:
    explicit Edit(game* g);
};
