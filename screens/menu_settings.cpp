#include "screens/menu_settings.h"

MenuSettings::MenuSettings(game* g) : Screen(g) {}

void MenuSettings::paint() { paint_as_menu(root); }

void MenuSettings::frame() { screen_tick(root); }
