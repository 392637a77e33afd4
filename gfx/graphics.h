// Textures, images and fonts by name, and the 2D drawing primitives.
#pragma once

// Creates the Graphics record and parses "image.txt" and "texture.txt".
// Runs after every init_video (the GL context is new).
void load_graphics();
// Creates the font table and parses "font.txt".
void load_fonts();
// Forgets the Graphics record and the font table (GL textures died with the
// old context and are not deleted).
void graphics_free();
