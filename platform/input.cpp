#include "platform/input.h"

#include <SDL.h>

#include <cstring>

uint32_t map_key(int sym) {
    switch (sym) {
    case SDLK_UP: return KEY_UP;
    case SDLK_RIGHT: return KEY_RIGHT;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_ESCAPE: return KEY_ESCAPE;
    case SDLK_BACKSPACE: return KEY_BACKSPACE;
    case SDLK_DELETE: return KEY_DELETE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KEY_ENTER;
    case SDLK_HOME: return KEY_HOME;
    case SDLK_END: return KEY_END;
    case SDLK_TAB: return KEY_TAB;
    default: break;
    }
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return KEY_F1 + (sym - SDLK_F1);
    if (sym >= SDLK_KP0 && sym <= SDLK_KP9) return KEY_KP0 + (sym - SDLK_KP0);
    if (sym >= SDLK_a && sym <= SDLK_z) return KEY_A + (sym - SDLK_a);
    return KEY_NONE;
}

uint32_t map_mods(int mods) {
    uint32_t m = 0;
    if (mods & KMOD_SHIFT) m |= MOD_SHIFT;
    if (mods & KMOD_CTRL) m |= MOD_CTRL;
    if (mods & KMOD_ALT) m |= MOD_ALT;
    if (mods & KMOD_META) m |= MOD_META;
    return m;
}

void translate_event(const SDL_Event& sdl, Event* e) {
    memset(e, 0, sizeof *e);
    switch (sdl.type) {
    case SDL_ACTIVEEVENT:
        e->kind = EV_ACTIVE;
        e->button = sdl.active.state;
        e->key = sdl.active.gain;
        e->source = 1;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        e->kind = sdl.type == SDL_KEYDOWN ? EV_KEYDOWN : EV_KEYUP;
        e->key = map_key(sdl.key.keysym.sym);
        e->unicode = sdl.key.keysym.unicode;
        e->button = map_mods(sdl.key.keysym.mod);
        break;
    case SDL_MOUSEMOTION:
        e->kind = EV_MOUSEMOVE;
        e->raw_x = sdl.motion.x;
        e->raw_y = sdl.motion.y;
        e->raw_dx = sdl.motion.xrel;
        e->raw_dy = sdl.motion.yrel;
        e->button = sdl.motion.state;
        e->device = sdl.motion.which;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = sdl.type == SDL_MOUSEBUTTONDOWN;
        const int b = sdl.button.button;
        e->raw_x = sdl.button.x;
        e->raw_y = sdl.button.y;
        e->button = b;
        e->device = sdl.button.which;
        if (b == SDL_BUTTON_WHEELUP || b == SDL_BUTTON_WHEELDOWN) {
            // The wheel is a press only; its release carries nothing.
            e->kind = down ? EV_WHEEL : EV_NONE;
            if (down) e->raw_dy = b == SDL_BUTTON_WHEELUP ? -1.0f : 1.0f;
        } else {
            e->kind = down ? EV_MOUSEDOWN : EV_MOUSEUP;
        }
        break;
    }
    case SDL_QUIT:
        e->kind = EV_QUIT;
        break;
    default:
        break;
    }
    e->x = e->raw_x;
    e->y = e->raw_y;
    e->dx = e->raw_dx;
    e->dy = e->raw_dy;
}

int poll_event(Event* e) {
    memset(e, 0, sizeof *e);
    SDL_Event sdl;
    if (!SDL_PollEvent(&sdl)) return 0;
    translate_event(sdl, e);
    return 1;
}
