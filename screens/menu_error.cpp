#include "screens/menu_error.h"

MenuError::MenuError(game* g) : Screen(g) {}

void MenuError::frame() { screen_tick(root); }
