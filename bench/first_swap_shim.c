/* Preloaded (LD_PRELOAD) into the installed game by install_bench, which cannot
 * link a probe into a finished binary: the first buffer swap writes
 * "first <CLOCK_MONOTONIC ns>" to the file named by MURKWELL_FIRST_SWAP, then
 * every swap goes on to SDL as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

void SDL_GL_SwapBuffers(void) {
    static void (*real)(void);
    static int reported;
    if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    if (real) real();
    if (reported) return;
    reported = 1;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const char* path = getenv("MURKWELL_FIRST_SWAP");
    FILE* f = path ? fopen(path, "w") : NULL;
    if (!f) return;
    fprintf(f, "first %lld\n", (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec);
    fclose(f);
}
