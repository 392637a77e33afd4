#include "screens/edit_share.h"

EditShare::EditShare(game* g) : State(g) {}
