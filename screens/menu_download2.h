// MenuDownload2: online levels: the list of one category.
#pragma once

#include "screens/screen.h"

class MenuDownload2 : public Screen {
public:
    explicit MenuDownload2(game* g);
};
