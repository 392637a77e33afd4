// The video driver: SDL start-up, the OpenGL window with its fallback chain, and
// the process-wide Driver record. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

struct SDL_Surface;

struct Driver {
    int32_t width = 0;          // window size in pixels; 0 until a mode is set
    int32_t height = 0;
    const char* app_name = "";  // names the per-user folder
    char caption[256] = {};     // window and icon title
    int32_t fps = 0;            // target frame rate; 0 disables pacing

    // Opens url in the default browser, then iconifies the window. When the
    // window cannot be iconified while full screen, go_windowed (set by the
    // application) drops to a window first and the window is iconified again.
    void weblink(const char* url);
    void (*go_windowed)() = nullptr;
};

// The one Driver record; exists after driver_init.
Driver& driver();

// Creates the Driver record (all zero), runs print_versions, then calls
// start_sound (the sound engine must start before the first video mode).
void driver_init(void (*start_sound)());

// SDL_Init(timer | video) and the version lines on standard output.
void print_versions();

// Selects a video mode through the fallback chain: the request, 640x480 at the
// same full-screen flag, 640x480 windowed, and 480x320 windowed when the surface
// is too small; a size other than the one asked for is tried once more as given.
// (0, 0) asks for the desktop size. Results land in driver().width/height; with
// no mode at all they stay untouched.
void init_video(int w, int h, int fullscreen);

// One attempt at a mode: restarts SDL video (the GL context is lost), enables
// Unicode and key repeat, sets the caption and asks for an OpenGL surface.
SDL_Surface* _try_init_video(int w, int h, int fullscreen);

// init_video makes its attempts through this function; tests replace it.
using VideoAttempt = SDL_Surface* (*)(int w, int h, int fullscreen);
void set_video_attempt(VideoAttempt attempt);  // nullptr restores _try_init_video

// True when a video mode is open (a window or a full screen exists).
bool video_has_surface();
// True when the current video surface is full screen.
bool video_is_fullscreen();

// The full-screen modes the display offers for a hardware OpenGL surface, in
// the order it reports them; empty without a video mode or when the display
// accepts any size.
struct VideoSize {
    int w = 0, h = 0;
};
std::vector<VideoSize> fullscreen_modes();

// Swaps the GL buffers of the window (no-op without a window).
void video_swap();
