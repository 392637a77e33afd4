#include "screens/edit_menu.h"

EditMenu::EditMenu(game* g) : Screen(g) {}

void EditMenu::paint() { paint_over_level(*g, root); }

void EditMenu::frame() { screen_tick(root); }
