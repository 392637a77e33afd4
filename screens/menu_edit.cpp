#include "screens/menu_edit.h"

MenuEdit::MenuEdit(game* g) : Screen(g) {}
