#include "screens/menu_main.h"

MenuMain::MenuMain(game* g) : State(g) {}
