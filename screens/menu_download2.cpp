#include "screens/menu_download2.h"

MenuDownload2::MenuDownload2(game* g) : Screen(g) {}
