#include "screens/menu_play.h"

MenuPlay::MenuPlay(game* g) : State(g) {}
