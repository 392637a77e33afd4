#include "screens/level.h"

Level::Level(game* g) : State(g) {}
