#include "screens/rewind.h"

#include <GL/gl.h>

#include "gfx/world_draw.h"
#include "world/rewind.h"

Rewind::Rewind(game* g) : State(g) {}

void Rewind::paint() {
    camera_setup(*g, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    world_draw(*g);
}

void Rewind::frame() { rewind_step(*g); }
