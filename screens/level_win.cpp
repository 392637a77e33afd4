#include "screens/level_win.h"

LevelWin::LevelWin(game* g) : State(g) {}
