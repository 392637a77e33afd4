#include "screens/edit_menu.h"

EditMenu::EditMenu(game* g) : State(g) {}
