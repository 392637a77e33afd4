#include "screens/menu_help.h"

MenuHelp::MenuHelp(game* g) : State(g) {}
