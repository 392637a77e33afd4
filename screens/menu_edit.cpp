#include "screens/menu_edit.h"

MenuEdit::MenuEdit(game* g) : State(g) {}
