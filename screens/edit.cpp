#include "screens/edit.h"

Edit::Edit(game* g) : State(g) {}
