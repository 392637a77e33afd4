#include "screens/menu_credits.h"

MenuCredits::MenuCredits(game* g) : State(g) {}
