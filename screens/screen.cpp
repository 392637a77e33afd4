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

Label* make_corner_button(const char* text, int value) {
    Label* l = make_label("font2", text);
    Style& s = l->styles[STYLE_BASE];
    s.color = 0xAAAAAA;
    s.padding_top = 10;
    s.padding_right = 20;
    s.padding_bottom = 10;
    s.padding_left = 20;
    l->click_value = value;
    l->x = 0;
    l->y = 0;
    return l;
}

Widget* make_panel(const char* image, int alpha, int w, int h, int x, int y) {
    Widget* p = new Widget();
    Style& s = p->styles[STYLE_BASE];
    s.width = w;
    s.height = h;
    s.image = widget_gfx().image_get(image);
    s.image_alpha = alpha;
    p->x = x;
    p->y = y;
    return p;
}

WRotate* make_rotate_button(level* lv, int dir, const char* icon) {
    WRotate* r = new WRotate(lv, dir);
    Style& s = r->styles[STYLE_BASE];
    s.width = 76;
    s.height = 76;
    set_paddings(s, 10);
    s.image = widget_gfx().image_get(icon);
    return r;
}

void draw_right_aligned(int font, const char* text, float y) {
    WidgetGfx& gfx = widget_gfx();
    gfx.text_draw(font, text, 960.0f - gfx.text_width(font, text) - 10.0f, y, 0, -1);
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
