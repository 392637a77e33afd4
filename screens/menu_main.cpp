#include "screens/menu_main.h"

MenuMain::MenuMain(game* g) : Screen(g) {}

void MenuMain::paint() { paint_as_menu(root); }

void MenuMain::frame() { screen_tick(root); }
