// Seam: the resource tables are not built yet; nothing is loaded.
#include "gfx/graphics.h"

void load_graphics() {}
void load_fonts() {}
void graphics_free() {}
