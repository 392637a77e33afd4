#include "screens/menu_error.h"

MenuError::MenuError(game* g) : State(g) {}
