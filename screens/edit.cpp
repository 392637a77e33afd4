#include "screens/edit.h"

Edit::Edit(game* g) : Screen(g) {}
