#include "screens/menu_play.h"

MenuPlay::MenuPlay(game* g) : Screen(g) {}

void MenuPlay::paint() { paint_over_level(*g, root); }
