#include "screens/menu_help.h"

MenuHelp::MenuHelp(game* g) : MenuCredits(g) {}
