#include "screens/menu_settings.h"

MenuSettings::MenuSettings(game* g) : State(g) {}
