// The rewind store: 50 level snapshots kept beside the game record.
#pragma once

#include "core/game.h"

enum : int { REWIND_SLOTS = 50 };

// Allocates and zeroes the store (once per process run).
void rewind_store_alloc();
void rewind_store_free();
