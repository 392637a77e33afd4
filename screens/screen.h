// The ground every screen with widgets stands on: `Screen`, a State that owns a
// root Container, and the painting and per-frame operations several screens
// share. Every screen but Rewind derives from Screen.
//
// How a screen uses it:
//   enter()  clears `root` (clear(&root)) and builds its widgets into it from
//            the game record, so entering again always rebuilds;
//   event()  hands the event (canvas coordinates) to root.event() and switches
//            on the integer answered (0 = nothing);
//   paint()  one of the shared ways below;
//   frame()  screen_tick(root) where the screen's widgets animate on their own
//            (held buttons, scroll flings), or its own update.
//
// The two ways of painting a whole frame:
//   paint_as_menu(root)        the 2D drawing state, then the root laid out and
//                              painted: a menu over the cleared frame;
//   paint_over_level(g, root)  the live level g.level behind (camera, depth test
//                              and writes on, world_draw), the 2D drawing state
//                              and the root, and then the level's camera made
//                              current again, so that picking between frames
//                              (unproject_to_plane) sees the world's matrices.
// A screen that draws more between its widgets and the camera restore (the play
// screen's counters and timers) calls the steps itself: paint_level_scene,
// begin_2d, paint_root, restore_level_camera.
//
// Without a window (tests, tools) every GL call is skipped and the widgets are
// still laid out, so screens run headless. Main thread only.
#pragma once

#include "core/state.h"
#include "ui/play_widgets.h"
#include "ui/widget.h"

class Screen : public State {
public:
    explicit Screen(game* g) : State(g) {}

    // The screen's widgets. Starts empty; cleared and rebuilt by enter().
    Container root;
};

// The level scene alone: camera_setup with the canvas aspect, depth test and
// depth writes on, world_draw of g.level. This is all the rewind screen paints.
void paint_level_scene(game& g);
// The 2D drawing state of the canvas (projection, blending, no depth).
void begin_2d();
// Lays the root out (measure_content) and paints its children at the canvas
// origin. Style transitions take one step per call.
void paint_root(Container& root);
// camera_setup with the canvas aspect and depth test and writes on again, so
// the 3D camera is current between frames.
void restore_level_camera(game& g);

void paint_as_menu(Container& root);
void paint_over_level(game& g, Container& root);
// The shared per-frame operation: the root's tick (buttons held, scrolling).
void screen_tick(Container& root);

// Small builders for screen layouts.
// A Label in the named font ("font1", "font2", ...) with a copy of the text.
Label* make_label(const char* font, const char* text);
// The small text button in a screen's top-left corner ("||": the play screen's
// pause, the editor's menu): "font2" in 0xAAAAAA, paddings 10 above and below
// and 20 left and right, at (0, 0), answering `value` when clicked.
Label* make_corner_button(const char* text, int value);
// A plain widget w x h at (x, y) showing the named image at `alpha` over its
// whole content: a veil over the level or a strip behind tools.
Widget* make_panel(const char* image, int alpha, int w, int h, int x, int y);
// A camera-turn button (WRotate) on the level record lv: 76 x 76 with paddings
// of 10, showing the named arrow icon. Used by the play screen and the editor.
WRotate* make_rotate_button(level* lv, int dir, const char* icon);
// Draws one line of text in the 2D state with its right edge 10 units from the
// canvas's right edge, its top at y: the counters of the top-right corner.
void draw_right_aligned(int font, const char* text, float y);
// A new row of the table holding one cell.
void td_row(Table* t, Widget* cell);
// A Box of the whole canvas (960 x 720) at (0, 0) that centres `content`,
// added to the root: the page of a centred menu or message.
Box* add_page(Container& root, Widget* content);
