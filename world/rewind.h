// The rewind history: 50 level snapshots kept beside the game record, one every
// 6 ticks of play, so the last ten seconds can be played backwards.
#pragma once

#include "core/game.h"

enum : int { REWIND_SLOTS = 50 };

// Allocates and zeroes the store (once per process run); frees it at shutdown.
// Without a store, snapshots are not taken and a rewind finds nothing.
void rewind_store_alloc();
void rewind_store_free();

// Copies the play copy into slot (g.rewind_pos mod 50) and counts it. game_tick
// calls it on every tick count that is a multiple of 6.
void take_snapshot(game& g);

// Empties the history: count 0 and every slot's tick count 0.
void clear_history(game& g);

// The Rewind screen's per-frame step: restores the newest snapshot left (keeping
// the rewinds-used count) and uses it up; when none is left, adds the time
// penalty, counts the rewind and returns to the play screen.
void rewind_step(game& g);

// Slot s of the store (null without a store or for s outside 0..49); for tests
// and tools.
const level* rewind_slot(int s);
