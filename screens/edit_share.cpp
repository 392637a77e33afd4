#include "screens/edit_share.h"

EditShare::EditShare(game* g) : Screen(g) {}

void EditShare::paint() { paint_over_level(*g, root); }

void EditShare::frame() { screen_tick(root); }
