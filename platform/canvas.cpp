#include "platform/canvas.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/driver.h"

namespace {
Canvas g_canvas;

// Window size; a missing window maps as 1 x 1 so nothing divides by zero.
float window_w() { return driver().width > 0 ? float(driver().width) : 1.0f; }
float window_h() { return driver().height > 0 ? float(driver().height) : 1.0f; }
}  // namespace

Canvas& canvas() { return g_canvas; }

CanvasPoint canvas_from_window(float px, float py) {
    const float cw = float(int(g_canvas.canvas_w));
    const float ch = float(int(g_canvas.canvas_h));
    return {cw * px / window_w(), ch * py / window_h() - g_canvas.offset_y};
}

CanvasPoint window_from_canvas(float cx, float cy) {
    const float cw = float(int(g_canvas.canvas_w));
    const float ch = float(int(g_canvas.canvas_h));
    return {window_w() * cx / cw, window_h() * (cy + g_canvas.offset_y) / ch};
}

CanvasRect canvas_rect_from_window(float x, float y, float w, float h) {
    CanvasPoint a = canvas_from_window(x, y);
    CanvasPoint b = canvas_from_window(x + w, y + h);
    return {a.x, a.y, b.x - a.x, b.y - a.y};
}

CanvasRect window_rect_from_canvas(float x, float y, float w, float h) {
    CanvasPoint a = window_from_canvas(x, y);
    CanvasPoint b = window_from_canvas(x + w, y + h);
    return {a.x, a.y, b.x - a.x, b.y - a.y};
}

void map_event_to_canvas(Event* e) {
    if (e->kind != EV_MOUSEDOWN && e->kind != EV_MOUSEMOVE && e->kind != EV_MOUSEUP) return;
    e->raw_x = e->x;
    e->raw_y = e->y;
    e->raw_dx = e->dx;
    e->raw_dy = e->dy;
    CanvasRect r = canvas_rect_from_window(e->x, e->y, e->dx, e->dy);
    e->x = r.x;
    e->y = r.y;
    e->dx = r.w;
    e->dy = r.h;
}

void canvas_update_offset() {
    g_canvas.offset_y = 0;
    if (g_canvas.focus_h != 0) {
        const int bottom = int(g_canvas.focus_y + g_canvas.focus_h);
        const int height = int(g_canvas.canvas_h);
        if (bottom > height) g_canvas.offset_y = float(height - bottom);
    }
}

void canvas_projection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, g_canvas.canvas_w, g_canvas.canvas_h, 0);
    canvas_update_offset();
    glTranslatef(0, g_canvas.offset_y, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void canvas_begin_2d() {
    canvas_projection();
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
}
