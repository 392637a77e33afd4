#include "platform/pacing.h"

#include <SDL.h>

#include <cmath>

#include "platform/driver.h"

namespace {
uint32_t sdl_ticks() { return SDL_GetTicks(); }
void sdl_delay(uint32_t ms) { SDL_Delay(ms); }

FrameClock g_clock = {sdl_ticks, sdl_delay};
bool g_started = false;
uint32_t g_next_tick = 0;
uint32_t g_frame = 0;
}  // namespace

void set_frame_clock(const FrameClock* clock) {
    g_clock = clock ? *clock : FrameClock{sdl_ticks, sdl_delay};
}

void frame_wait_reset() {
    g_started = false;
    g_next_tick = 0;
    g_frame = 0;
}

int frame_length(uint32_t n, float step) {
    const int whole = int(step);  // truncated toward zero
    const float fraction = std::fabs(step - float(whole));
    const int sign = step > 0 ? 1 : (step < 0 ? -1 : 0);
    const double spread = 37.0 * double(n) * double(fraction);
    const long long phase = static_cast<long long>(spread) % 37;
    return phase < static_cast<long long>(37.0 * double(fraction)) ? whole + sign : whole;
}

void frame_wait() {
    const int fps = driver().fps;
    if (fps == 0) return;
    if (!g_started) {
        g_started = true;
        g_next_tick = g_clock.ticks();
    }
    const uint32_t now = g_clock.ticks();
    const int32_t wait = int32_t(g_next_tick - now);
    g_clock.delay(wait > 0 ? uint32_t(wait) : 0);

    const float step = 1000.0f / float(fps);
    g_next_tick += frame_length(g_frame++, step);
    if (int32_t(g_next_tick - now) >= 0) return;

    int extra = 0;
    for (; extra < 7 && int32_t(g_next_tick - now) < 0; ++extra)
        g_next_tick += frame_length(g_frame++, step);
    // All eight advances made: drop the missed frames and restart from now.
    if (extra == 7) g_next_tick = now + frame_length(g_frame++, step);
}
