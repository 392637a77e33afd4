#include "screens/screen.h"

#include <GL/gl.h>

#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "ui/widget_gfx.h"

namespace {

void depth_on() {
    if (!graphics_has_gl()) return;
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

}  // namespace

void paint_level_scene(game& g) {
    camera_setup(g, 0);
    depth_on();
    world_draw(g);
}

void begin_2d() {
    if (graphics_has_gl()) canvas_begin_2d();
}

void paint_root(Container& root) {
    root.measure_content();
    root.paint_content();
}

void restore_level_camera(game& g) {
    camera_setup(g, 0);
    depth_on();
}

void paint_as_menu(Container& root) {
    begin_2d();
    paint_root(root);
}

void paint_over_level(game& g, Container& root) {
    paint_level_scene(g);
    begin_2d();
    paint_root(root);
    restore_level_camera(g);
}

void screen_tick(Container& root) { root.tick(); }

Label* make_label(const char* font, const char* text) {
    return new Label(widget_gfx().font_get(font), text);
}

void td_row(Table* t, Widget* cell) {
    tr(t);
    td(t, cell);
}

Box* add_page(Container& root, Widget* content) {
    Box* page = new Box(content);
    page->styles[STYLE_BASE].width = 960;
    page->styles[STYLE_BASE].height = 720;
    page->x = 0;
    page->y = 0;
    add(&root, page);
    return page;
}
