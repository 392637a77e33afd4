// The program's own input event record, kinds, key codes and modifier bits.
// Everything above the platform layer sees these, never SDL's.
#pragma once

#include <cstdint>

enum : int {
    EV_NONE = 0,
    EV_QUIT = 1,
    EV_KEYDOWN = 4,
    EV_KEYUP = 5,
    EV_MOUSEDOWN = 6,
    EV_MOUSEMOVE = 7,
    EV_MOUSEUP = 8,
    EV_WHEEL = 9,
    // Synthesised by widget containers only.
    EV_FOCUS = 14,
    EV_BLUR = 15,
    EV_ENTER = 16,
    EV_LEAVE = 17,
    EV_CLICK = 18,
    EV_ACTIVE = 19,
};

enum : int {
    KEY_NONE = 0,
    KEY_UP = 1,
    KEY_RIGHT = 2,
    KEY_DOWN = 3,
    KEY_LEFT = 4,
    KEY_ESCAPE = 5,
    KEY_BACKSPACE = 6,
    KEY_DELETE = 7,
    KEY_ENTER = 8,
    KEY_HOME = 9,
    KEY_END = 10,
    KEY_F1 = 11,   // .. KEY_F12 = 22
    KEY_F12 = 22,
    KEY_TAB = 23,
    KEY_KP0 = 24,  // .. KEY_KP9 = 33
    KEY_KP9 = 33,
    KEY_A = 34,    // .. KEY_Z = 59
    KEY_C = KEY_A + 2,
    KEY_D = KEY_A + 3,
    KEY_S = KEY_A + 18,
    KEY_V = KEY_A + 21,
    KEY_W = KEY_A + 22,
    KEY_X = KEY_A + 23,
    KEY_Z = 59,
};

enum : uint32_t {
    MOD_SHIFT = 1,
    MOD_CTRL = 2,
    MOD_ALT = 4,
    MOD_META = 8,
};

// Focus-state bits of EV_ACTIVE (SDL's own values).
enum : uint32_t {
    ACTIVE_MOUSE_FOCUS = 1,
    ACTIVE_INPUT_FOCUS = 2,
    ACTIVE_VISIBLE = 4,
};

// 19 words. Positions are canvas units once the dispatcher has mapped the event
// (mouse kinds only); the raw_ fields keep window pixels.
struct Event {
    int32_t kind;
    float x, y, z;
    float dx, dy, dz;
    float raw_x, raw_y, raw_z;
    float raw_dx, raw_dy, raw_dz;
    uint32_t button;   // button number, held mask, modifier mask or focus-state mask
    uint32_t key;      // program key code, or the gain flag of EV_ACTIVE
    uint32_t unicode;  // the 16-bit character of a key, 0 when none
    uint32_t source;   // 1 for EV_ACTIVE
    uint32_t device;   // mouse device index
    uint32_t reserved;
};

static_assert(sizeof(Event) == 19 * 4, "Event is 19 words");
