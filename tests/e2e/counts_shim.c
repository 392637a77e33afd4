/* Preloaded (LD_PRELOAD) into the game by the end-to-end tests and the monkey:
 * counts the input events SDL hands the game and the frames it swaps, and
 * keeps the totals in the file named by MURKWELL_COUNTS as
 * "events N\nframes M\n" (rewritten every 30 frames and at exit, so a run
 * that ends in a crash still leaves its figures). Everything else goes on to
 * SDL unchanged.
 *
 * It also keeps every library loaded until the process ends (dlclose does
 * nothing): the GL driver SDL unloads at shutdown would otherwise leave
 * nameless frames in the leak report made at exit, which no suppression of
 * the system's libraries could then name. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static unsigned long g_events, g_frames;
static char g_path[4000];
/* The process that called into SDL: only it writes the figures. Another one
 * that loads the counter (the sanitizers' symbolizer, started at exit with the
 * environment the game was started with) would otherwise write zeros over
 * them. */
static pid_t g_game;

__attribute__((constructor)) static void at_start(void) {
    const char* path = getenv("MURKWELL_COUNTS");
    if (path) snprintf(g_path, sizeof g_path, "%s", path);
}

/* The game's children (the clipboard and browser helpers it starts) neither
 * load the counter nor overwrite the game's figures. This happens at the
 * game's first call into SDL, not at load: a launcher between the test and the
 * game (valgrind's, a shell script) must pass the counter on. */
static void game_seen(void) {
    static int done;
    if (done) return;
    done = 1;
    g_game = getpid();
    unsetenv("MURKWELL_COUNTS");
    unsetenv("LD_PRELOAD");
}

static void write_counts(void) {
    if (!g_path[0] || g_game != getpid()) return;
    const char* path = g_path;
    char tmp[4096];
    snprintf(tmp, sizeof tmp, "%s.new", path);
    FILE* f = fopen(tmp, "w");
    if (!f) return;
    fprintf(f, "events %lu\nframes %lu\n", g_events, g_frames);
    if (fclose(f) == 0) rename(tmp, path);
}

int SDL_PollEvent(SDL_Event* event) {
    static int (*real)(SDL_Event*);
    if (!real) real = (int (*)(SDL_Event*))dlsym(RTLD_NEXT, "SDL_PollEvent");
    game_seen();
    const int got = real ? real(event) : 0;
    if (got && event) {
        switch (event->type) {
        case SDL_KEYDOWN: case SDL_KEYUP: case SDL_MOUSEMOTION: case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: case SDL_ACTIVEEVENT:
            ++g_events;
            break;
        default:
            break;
        }
    }
    return got;
}

void SDL_GL_SwapBuffers(void) {
    static void (*real)(void);
    if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    game_seen();
    if (real) real();
    if (++g_frames % 30 == 0) write_counts();
}

__attribute__((destructor)) static void at_exit(void) { write_counts(); }

int dlclose(void* handle) {
    (void)handle;
    return 0;
}
