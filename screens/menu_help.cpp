#include "screens/menu_help.h"

MenuHelp::MenuHelp(game* g) : Screen(g) {}

void MenuHelp::paint() { paint_as_menu(root); }
