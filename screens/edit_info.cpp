#include "screens/edit_info.h"

EditInfo::EditInfo(game* g) : State(g) {}
