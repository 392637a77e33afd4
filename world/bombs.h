// Bombs and blasts: the bomb command, bombs lying on the map, the crater and Mini
// Bomb blasts, and the alert that sends every guard running to a blast.
#pragma once

#include "core/game.h"

// Ring at which a blast reaches the cell (i, j) from its centre; 0: never.
// Crater blasts (kinds 17 and 30) use an 11 x 11 pattern, i and j in -5..5; Mini
// Bomb blasts (kind 18) a 5 x 5 one, i and j in -2..2.
int crater_ring(int i, int j);
int mini_ring(int i, int j);

// The bomb command for kind 19..22 (Detonator, Time, EMP, Mini): picks up a bomb
// the player stands on, sets off a placed Detonator or Mini Bomb, extends an
// unstarted Time Bomb fuse, or places a new bomb from the inventory. Any other
// kind is ignored.
void use_bomb(game& g, int kind);

// Per-tick updates, called by game_tick for actors of the matching kind.
void time_bomb_tick(game& g, actor& bomb);
void emp_bomb_tick(game& g, actor& bomb);
void blast_step(game& g, actor& blast);       // kinds 17 and 30
void mini_blast_step(game& g, actor& blast);  // kind 18

// The end of any blast: clears its crater floor, rebuilds the flags and sends
// every guard running to the blast's centre, to come back later.
void blast_end(game& g, actor& blast);
