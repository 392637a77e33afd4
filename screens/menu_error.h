// MenuError: the error message screen.
#pragma once

#include "screens/screen.h"

class MenuError : public Screen {
public:
    explicit MenuError(game* g);
    void frame() override;  // the root's tick
};
