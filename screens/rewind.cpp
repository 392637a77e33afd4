#include "screens/rewind.h"

Rewind::Rewind(game* g) : State(g) {}
