#include "platform/driver.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {
// Connections to the display opened for one video attempt before it counts as
// failed (waiting 20, 40, ... ms in between).
const int VIDEO_INIT_TRIES = 4;

Driver g_driver;
VideoAttempt g_attempt = _try_init_video;

// The per-user folder is named after the application the driver runs.
const char* driver_app_name() { return g_driver.app_name; }
[[maybe_unused]] const bool g_user_dir_wired = (set_user_dir_name(driver_app_name), true);
}  // namespace

Driver& driver() { return g_driver; }

void set_video_attempt(VideoAttempt attempt) {
    g_attempt = attempt ? attempt : _try_init_video;
}

void print_versions() {
    SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO);
    const SDL_version* sdl = SDL_Linked_Version();
    printf("SDL Runtime Version: %u.%u.%u\n", sdl->major, sdl->minor, sdl->patch);
    printf("SDL Compile Version: %u.%u.%u\n", 1u, 2u, 14u);
    const SDL_version* img = IMG_Linked_Version();
    printf("SDL_image Runtime Version: %u.%u.%u\n", img->major, img->minor, img->patch);
    printf("SDL_image Compile Version: %u.%u.%u\n", 1u, 2u, 10u);
    printf("SDL_BYTEORDER == SDL_LIL_ENDIAN\n");
    fflush(stdout);
}

void driver_init(void (*start_sound)()) {
    g_driver = Driver();
    // The game draws with OpenGL, which SDL offers through its X11 driver only.
    // Left to choose, SDL falls back to any other driver when the display does
    // not answer at once (a text-mode one draws into the terminal), and the
    // OpenGL mode then fails on it. A driver the user names still wins.
    setenv("SDL_VIDEODRIVER", "x11", 0);
    print_versions();
    if (start_sound) start_sound();
}

SDL_Surface* _try_init_video(int w, int h, int fullscreen) {
    fprintf(stderr, "_try_init_video(%d,%d,%d)\n", w, h, fullscreen);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // A display server under load now and then refuses or resets a new
    // connection; a few more tries tell that from a display that is not there,
    // so a passing hiccup never costs the chosen video mode.
    int tries = 0;
    while (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        if (++tries == VIDEO_INIT_TRIES) {
            // No display to talk to: this attempt fails like a refused mode.
            fprintf(stderr, "res: %d\n", 0);
            return nullptr;
        }
        SDL_Delay(20 * tries);
    }
    SDL_EnableUNICODE(1);
    SDL_EnableKeyRepeat(500, 30);
    if (g_driver.caption[0]) SDL_WM_SetCaption(g_driver.caption, g_driver.caption);
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    fprintf(stderr, "VideoInfo->vfmt->BitsPerPixel:%d\n",
            info && info->vfmt ? info->vfmt->BitsPerPixel : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    Uint32 flags = SDL_OPENGL | (fullscreen ? SDL_FULLSCREEN : 0);
    SDL_Surface* surface = SDL_SetVideoMode(w, h, 0, flags);
    fprintf(stderr, "res: %d\n", surface ? 1 : 0);
    if (surface) {
        static const struct { SDL_GLattr attr; const char* format; } attrs[] = {
            {SDL_GL_RED_SIZE, "GL_RED_SIZE:%d\n"},
            {SDL_GL_GREEN_SIZE, "GL_GREEN_SIZE:%d\n"},
            {SDL_GL_BLUE_SIZE, "GL_BLUE_SIZE:%d\n"},
            {SDL_GL_ALPHA_SIZE, "GL_ALPHA_SIZE:%d\n"},
            {SDL_GL_DEPTH_SIZE, "GL_DEPTH_SIZE:%d\n"},
            {SDL_GL_BUFFER_SIZE, "GL_BUFFER_SIZE:%d\n"},
            {SDL_GL_DOUBLEBUFFER, "GL_DOUBLEBUFFER:%d\n"},
        };
        for (const auto& a : attrs) {
            int value = 0;
            SDL_GL_GetAttribute(a.attr, &value);
            fprintf(stderr, a.format, value);
        }
    }
    return surface;
}

namespace {
void store_surface(SDL_Surface* surface) {
    g_driver.width = surface->w;
    g_driver.height = surface->h;
    fprintf(stderr, "res: %d x %d\n", surface->w, surface->h);
    if (const SDL_VideoInfo* info = SDL_GetVideoInfo())
        fprintf(stderr, "vinfo: %d x %d\n", info->current_w, info->current_h);
}
}  // namespace

void init_video(int w, int h, int fullscreen) {
    fprintf(stderr, "init_video: %d %d %d %d %d %d %d\n", w, h, 640, 480, 480, 320, fullscreen);
    SDL_Surface* surface = g_attempt(w, h, fullscreen);
    if (!surface) {
        fprintf(stderr, "trying at default res ...\n");
        w = 640;
        h = 480;
        surface = g_attempt(w, h, fullscreen);
    }
    if (!surface) {
        fprintf(stderr, "trying w/o fullscreen ...\n");
        w = 640;
        h = 480;
        fullscreen = 0;
        surface = g_attempt(w, h, fullscreen);
    }
    if (!surface) return;
    if (surface->w < 480 || surface->h < 320) {
        fprintf(stderr, "trying at minimum-sized windowed ...\n");
        w = 480;
        h = 320;
        fullscreen = 0;
        surface = g_attempt(w, h, fullscreen);
        if (!surface) return;
    }
    store_surface(surface);
    if (w == 0 && h == 0) return;
    if (surface->w == w && surface->h == h) return;
    surface = g_attempt(surface->w, surface->h, fullscreen);
    if (surface) store_surface(surface);
}

bool video_has_surface() { return SDL_GetVideoSurface() != nullptr; }

bool video_is_fullscreen() {
    SDL_Surface* surface = SDL_GetVideoSurface();
    return surface && (surface->flags & SDL_FULLSCREEN);
}

std::vector<VideoSize> fullscreen_modes() {
    std::vector<VideoSize> out;
    // SDL asks its video driver, which exists only while video is running.
    if (!SDL_WasInit(SDL_INIT_VIDEO) || !SDL_GetVideoSurface()) return out;
    SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    // Null: no mode (or no video yet); -1: any size will do.
    if (!modes || modes == reinterpret_cast<SDL_Rect**>(-1)) return out;
    for (SDL_Rect** m = modes; *m; ++m) out.push_back(VideoSize{(*m)->w, (*m)->h});
    return out;
}

void video_swap() {
    if (SDL_GetVideoSurface()) SDL_GL_SwapBuffers();
}
