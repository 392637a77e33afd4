// Edit: the map editor. The map of g.edit_level in the 3D view with the tools
// laid over it: the "||" menu control, two camera-turn buttons, the view switch
// and the palette of 32 tiles with the help line of the chosen tile. The left
// button paints the chosen tile (every cell on the pointer's path), Ctrl+Z and
// Ctrl+Shift+Z undo and redo, Space starts a test play, Escape opens the editor
// menu. Every frame the live level is the map as painted, set up so guards,
// lamps and the agent stand where their tiles are.
#pragma once

#include "screens/screen.h"

class Edit : public Screen {
public:
    explicit Edit(game* g);
    void enter() override;   // builds the tools (and the palette order, once per run)
    void leave() override;   // the map as painted becomes the live level, not set up
    void paint() override;
    void event(Event e) override;
    void frame() override;   // root tick, camera, the live level rebuilt from the map

    // The answers of the tools; a palette cell answers PALETTE + its tile.
    enum : int { MENU = 3, VIEW = 4, PALETTE = 100 };

    // The palette table (owned by root), kept on the canvas's bottom edge.
    Table* palette = nullptr;

private:
    void build_tools();
    void select_tile(int tile);
    void paint_stroke(const Event& e);
};

// The tile the palette has chosen; 0 at start, kept while the program runs.
extern int selected_tile;
// Set once palette_order is built; the editor builds it on its first entry.
extern bool palette_built;

// The live level becomes the map as painted, set up without the start of play:
// a copy of g.edit_level whose spawn tiles are turned into the guards, lamps
// and agent they place. What the editor and the screens around it show.
void edit_show_map(game& g);

// The live level becomes a fresh copy of g.edit_level that the play screen sets
// up as a new attempt: the start of every test play.
void edit_copy_for_play(game& g);
