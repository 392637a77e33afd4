#include "screens/menu_download1.h"

MenuDownload1::MenuDownload1(game* g) : State(g) {}
