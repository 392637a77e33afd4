#include "screens/menu_download1.h"

MenuDownload1::MenuDownload1(game* g) : Screen(g) {}

void MenuDownload1::paint() { paint_as_menu(root); }

void MenuDownload1::frame() { screen_tick(root); }
