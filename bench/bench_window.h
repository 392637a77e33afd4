// The window the display benchmarks draw into, and their clock.
#pragma once

#include <SDL.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/graphics.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"

namespace benchwin {

// Monotonic wall time in milliseconds.
inline double now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Points the data folder at the source tree, silences the start-up chatter
// (video mode, texture loads) on stderr, opens a 960 x 720 GL window on DISPLAY
// and loads the artwork and fonts. False, with a line on stdout naming
// `program`, when there is no display or no such window.
inline bool open_window(const char* program) {
    set_data_dir(std::string(MURKWELL_SOURCE_DIR) + "/data");
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    if (!getenv("DISPLAY")) {
        printf("%s: no display (run it under xvfb-run)\n", program);
        return false;
    }
    // Video starts inside init_video only: closing and reopening the one X
    // connection would let an Xvfb without -noreset reset in between and refuse us.
    SDL_Init(SDL_INIT_TIMER);
    init_video(960, 720, 0);
    if (driver().width != 960) {
        printf("%s: no 960 x 720 GL window (is DISPLAY set?)\n", program);
        return false;
    }
    load_graphics();
    canvas() = Canvas();
    load_fonts();
    return true;
}

}  // namespace benchwin
