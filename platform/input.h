// Translation of SDL events into the program's Event record.
#pragma once

#include <cstdint>

#include "platform/event.h"

union SDL_Event;

// Takes one pending SDL event into *e (zeroed first). Returns 0 when the queue is
// empty; an event without a program kind still returns 1 with kind EV_NONE.
int poll_event(Event* e);

// The translation step of poll_event, for one SDL event already taken.
void translate_event(const SDL_Event& sdl, Event* e);

// Program key code of an SDL key symbol; 0 for keys without one.
uint32_t map_key(int sdl_key);

// Program modifier mask of an SDL modifier state.
uint32_t map_mods(int sdl_mods);
