#include "screens/edit_info.h"

EditInfo::EditInfo(game* g) : Screen(g) {}

void EditInfo::paint() { paint_over_level(*g, root); }

void EditInfo::frame() { screen_tick(root); }
