#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/input.h"

namespace {

SDL_Event key_event(Uint8 type, SDLKey sym, SDLMod mod, Uint16 unicode) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.keysym.unicode = unicode;
    return e;
}

SDL_Event button_event(Uint8 type, Uint8 button, Uint16 x, Uint16 y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    e.button.which = 2;
    return e;
}

TEST(EventTranslation, KeysCarryCodeModifiersAndCharacter) {
    struct Case {
        const char* what;
        SDL_Event sdl;
        int kind;
        uint32_t key, button, unicode;
    } cases[] = {
        {"shift+a", key_event(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT, 'A'), EV_KEYDOWN, 34, MOD_SHIFT, 'A'},
        {"z up", key_event(SDL_KEYUP, SDLK_z, KMOD_NONE, 0), EV_KEYUP, 59, 0, 0},
        {"right ctrl+alt", key_event(SDL_KEYDOWN, SDLK_c, SDLMod(KMOD_RCTRL | KMOD_LALT), 3),
         EV_KEYDOWN, 36, MOD_CTRL | MOD_ALT, 3},
        {"meta", key_event(SDL_KEYDOWN, SDLK_v, KMOD_RMETA, 'v'), EV_KEYDOWN, 55, MOD_META, 'v'},
        {"locks ignored", key_event(SDL_KEYDOWN, SDLK_x, SDLMod(KMOD_CAPS | KMOD_NUM), 'X'),
         EV_KEYDOWN, 57, 0, 'X'},
        {"space has no code", key_event(SDL_KEYDOWN, SDLK_SPACE, KMOD_NONE, ' '), EV_KEYDOWN, 0, 0, ' '},
        {"keypad enter", key_event(SDL_KEYDOWN, SDLK_KP_ENTER, KMOD_NONE, 13), EV_KEYDOWN, 8, 0, 13},
    };
    for (const Case& c : cases) {
        Event e;
        translate_event(c.sdl, &e);
        EXPECT_EQ(e.kind, c.kind) << c.what;
        EXPECT_EQ(e.key, c.key) << c.what;
        EXPECT_EQ(e.button, c.button) << c.what;
        EXPECT_EQ(e.unicode, c.unicode) << c.what;
    }
}

TEST(EventTranslation, KeyMapCoversEveryNamedKey) {
    struct { int sym; uint32_t code; } cases[] = {
        {SDLK_UP, KEY_UP}, {SDLK_RIGHT, KEY_RIGHT}, {SDLK_DOWN, KEY_DOWN}, {SDLK_LEFT, KEY_LEFT},
        {SDLK_ESCAPE, KEY_ESCAPE}, {SDLK_BACKSPACE, KEY_BACKSPACE}, {SDLK_DELETE, KEY_DELETE},
        {SDLK_RETURN, KEY_ENTER}, {SDLK_KP_ENTER, KEY_ENTER}, {SDLK_HOME, KEY_HOME},
        {SDLK_END, KEY_END}, {SDLK_F1, 11}, {SDLK_F12, 22}, {SDLK_TAB, KEY_TAB},
        {SDLK_KP0, 24}, {SDLK_KP5, 29}, {SDLK_KP9, 33}, {SDLK_a, 34}, {SDLK_z, 59},
        {SDLK_0, 0}, {SDLK_INSERT, 0}, {SDLK_PAGEUP, 0}, {SDLK_LSHIFT, 0}, {SDLK_F13, 0},
    };
    for (auto c : cases) EXPECT_EQ(map_key(c.sym), c.code) << "SDL key " << c.sym;
}

TEST(EventTranslation, MouseButtonsAndWheel) {
    Event e;
    translate_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20), &e);
    EXPECT_EQ(e.kind, EV_MOUSEDOWN);
    EXPECT_EQ(e.button, 1u);
    EXPECT_EQ(e.device, 2u);
    EXPECT_FLOAT_EQ(e.x, 10);
    EXPECT_FLOAT_EQ(e.raw_y, 20);

    translate_event(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 5, 6), &e);
    EXPECT_EQ(e.kind, EV_MOUSEUP);
    EXPECT_EQ(e.button, 3u);

    translate_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, 5, 6), &e);
    EXPECT_EQ(e.kind, EV_WHEEL);
    EXPECT_FLOAT_EQ(e.dy, 1);
    EXPECT_FLOAT_EQ(e.raw_dy, 1);
    translate_event(button_event(SDL_MOUSEBUTTONUP, SDL_BUTTON_WHEELDOWN, 5, 6), &e);
    EXPECT_EQ(e.kind, EV_NONE) << "the wheel's release is no mouse-up";

    translate_event(button_event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 5, 6), &e);
    EXPECT_EQ(e.kind, EV_WHEEL);
    EXPECT_FLOAT_EQ(e.dy, -1);
}

TEST(EventTranslation, MotionActiveAndQuit) {
    SDL_Event m{};
    m.type = SDL_MOUSEMOTION;
    m.motion.x = 100;
    m.motion.y = 50;
    m.motion.xrel = -3;
    m.motion.yrel = 4;
    m.motion.state = SDL_BUTTON(3);
    Event e;
    translate_event(m, &e);
    EXPECT_EQ(e.kind, EV_MOUSEMOVE);
    EXPECT_FLOAT_EQ(e.dx, -3);
    EXPECT_FLOAT_EQ(e.dy, 4);
    EXPECT_EQ(e.button, 4u);

    SDL_Event a{};
    a.type = SDL_ACTIVEEVENT;
    a.active.gain = 1;
    a.active.state = SDL_APPACTIVE;
    translate_event(a, &e);
    EXPECT_EQ(e.kind, EV_ACTIVE);
    EXPECT_EQ(e.button, ACTIVE_VISIBLE);
    EXPECT_EQ(e.key, 1u);
    EXPECT_EQ(e.source, 1u);

    SDL_Event q{};
    q.type = SDL_QUIT;
    translate_event(q, &e);
    EXPECT_EQ(e.kind, EV_QUIT);

    SDL_Event other{};
    other.type = SDL_VIDEORESIZE;
    translate_event(other, &e);
    EXPECT_EQ(e.kind, EV_NONE);
}

}  // namespace
