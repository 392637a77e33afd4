#include "screens/pause.h"

Pause::Pause(game* g) : State(g) {}
