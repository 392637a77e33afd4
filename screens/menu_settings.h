// MenuSettings: the settings.
#pragma once

#include "screens/screen.h"

class MenuSettings : public Screen {
public:
    explicit MenuSettings(game* g);
    void paint() override;  // as a menu
    void frame() override;  // the root's tick
};
