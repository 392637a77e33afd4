#include "screens/menu_credits.h"

MenuCredits::MenuCredits(game* g) : Screen(g) {}

void MenuCredits::paint() { paint_as_menu(root); }
