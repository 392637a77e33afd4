#include "screens/rewind.h"

#include "screens/screen.h"
#include "world/rewind.h"

Rewind::Rewind(game* g) : State(g) {}

void Rewind::paint() { paint_level_scene(*g); }

void Rewind::frame() { rewind_step(*g); }
