// The canvas: the fixed 960 x 720 virtual drawing space that every 2D position,
// widget layout and mapped mouse position uses, stretched over the whole window.
#pragma once

#include "platform/event.h"

struct Canvas {
    float canvas_w = 960, canvas_h = 720;
    // The focused text field (canvas units); all zero when none.
    float focus_x = 0, focus_y = 0, focus_w = 0, focus_h = 0;
    // Lifts the canvas so a focused field below its bottom stays visible (<= 0).
    float offset_y = 0;
};

// The process-wide canvas state.
Canvas& canvas();

struct CanvasPoint { float x, y; };
struct CanvasRect { float x, y, w, h; };

CanvasPoint canvas_from_window(float px, float py);
CanvasPoint window_from_canvas(float cx, float cy);
CanvasRect canvas_rect_from_window(float x, float y, float w, float h);
CanvasRect window_rect_from_canvas(float x, float y, float w, float h);

// Mouse kinds (down, move, up) get canvas positions; their window values move to
// the raw_ fields. Other kinds are left alone.
void map_event_to_canvas(Event* e);

// Computes offset_y from the focus rectangle (no GL).
void canvas_update_offset();

// Sets the 2D projection for the frame: origin top-left, y down, lifted by offset_y.
void canvas_projection();

// canvas_projection followed by the 2D render state: no culling, depth test,
// depth writes, lighting or colour material; alpha blending; opaque white.
void canvas_begin_2d();
