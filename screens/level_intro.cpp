#include "screens/level_intro.h"

LevelIntro::LevelIntro(game* g) : State(g) {}
