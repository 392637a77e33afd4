#include "screens/rewind.h"

#include "world/rewind.h"

Rewind::Rewind(game* g) : State(g) {}

void Rewind::frame() { rewind_step(*g); }
