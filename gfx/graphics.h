// Textures, images and fonts by name, and the 2D drawing primitives on the
// canvas. Every lookup returns a small index (0 = none) that callers keep; the
// tables are rebuilt after every video (re)initialisation, so indices are fetched
// again by name after a video change. Main thread only (GL).
#pragma once

#include <string>
#include <vector>

struct Rect {
    float x = 0, y = 0, w = 0, h = 0;
};

struct Texture {
    int index = 0;
    int gl_name = 0;    // 0 when the file failed to load
    Rect size;          // declared size: the divisors for texture coordinates
};

struct Image {
    int index = 0;
    int texture = 0;    // texture index
    Rect rect;          // source rectangle in texture pixels
    Rect shape;         // default drawn size (w, h) in canvas units
};

struct Font {
    int index = 0;
    int texture = 0;    // texture index
    Rect glyphs[256];   // x, y: source position in texture pixels; w: advance
    float height = 0;   // line height, also the drawn height of every glyph
    Rect size;          // divisors for glyph texture coordinates
};

// One wrapped line of a text: bytes [start, end), width truncated.
struct Line {
    int start = 0;
    int end = 0;
    int width = 0;
};

// Table sizes. Index 0 of every table is the zeroed "none" entry, so at most
// 2047 images, 255 textures and 255 fonts are loaded; a name beyond that gets 0
// and a diagnostic.
enum : int {
    MAX_IMAGES = 2048,
    MAX_TEXTURES = 256,
    MAX_FONTS = 256,
    CLIP_DEPTH_MAX = 8,     // deeper clips hide what is drawn inside them
    GLYPH_BATCH = 256,      // glyph quads per draw call
    TEXT_MAX_LINES = 32,    // text_wrap stops after this many lines
};

// Creates the Graphics record and parses "image.txt" and "texture.txt"; enables
// 2D texturing, vertex and texture-coordinate arrays and depth test (<=).
void load_graphics();
// Creates the font table and parses "font.txt".
void load_fonts();
// Forgets the Graphics record and the font table (GL textures died with the
// old context and are not deleted).
void graphics_free();

// The same from the texts of the description files instead of the data folder
// (tests, fuzzing). A text that is empty, malformed or not a JSON object reads as
// an empty object, with a diagnostic. No GL call is made here; textures load on
// first lookup.
void graphics_load_text(const std::string& image_txt, const std::string& texture_txt);
void fonts_load_text(const std::string& font_txt);

// True while a GL window exists (checked by load_graphics). Without one every
// drawing operation does nothing and textures are not uploaded, so layout and
// lookups also work headless.
bool graphics_has_gl();

int texture_get(const std::string& name);   // 0 when not in "texture.txt"
int image_get(const std::string& name);     // 0 when not in "image.txt"
int font_get(const std::string& name);      // 0 when not in "font.txt"
// True when "image.txt" describes `name`; loads nothing and prints nothing, so
// optional pictures can be asked about every frame.
bool image_described(const std::string& name);

// Table entries by index; index 0 (or an index out of range) gives the zeroed
// entry 0.
const Texture& texture_entry(int index);
const Image& image_entry(int index);
const Font& font_entry(int index);
// GL texture name of an image's texture (0 when none).
int image_gl_texture(int image);
// The part of an image's source rectangle (texture pixels, as "rect") that holds
// visible texels, with a margin of 8 picture pixels; the whole rectangle when the
// picture is not loaded, w = h = 0 when it is wholly transparent. Drawing only
// this part of a picture gives the same pixels with less work.
Rect image_opaque_rect(int image);

// Loads data_dir()/fname into a mipmapped RGBA texture; 0 on failure.
int surf_to_tex2(const std::string& fname);

// Sprites and fills. w or h 0 draws at the image's shape size. Clipped.
void image_draw(int image, int x, int y, int w, int h);
void texture_draw_part(int gl_name, float u, float v, float du, float dv,
                       float x, float y, float w, float h);
void rect_fill(int rgb, int x, int y, int w, int h);
// Nine-slice box of a texture split in ninths; corner cells b x b, middles tiled.
void frame_draw(int gl_name, int x, int y, int w, int h, int b);

// 3D quads for the world renderer (not clipped): points in strip order, the
// first two receive the bottom of the image.
struct Vec3 {
    float x = 0, y = 0, z = 0;
};
void image_draw_quad(int image, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4);
void texture_draw_quad(int gl_name, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4);

// The 2D translation and the 8-deep clip stack.
void translate2d(int dx, int dy);
void clip_push(int w, int h);
void clip_pop();
// The sum of the translate2d offsets now applied, and the clip depth (0 = none).
void translation2d(float* x, float* y);
int clip_depth();
// Trims quad q (and the texture rectangle t in proportion, when given) to clip
// c; false when nothing is left.
bool clip_rect(Rect& q, Rect* t, const Rect& c);
// Clip test of the current clip stack at the current translation (trims q/t).
bool clip_test(Rect& q, Rect* t);

// Text. Every text is passed through the word filter first.
std::vector<Line> text_wrap(int font, const char* text, float maxw);   // up to 32 lines
float text_width(int font, const char* text);
float text_height(int font, const char* text, float maxw);
void text_draw(int font, const char* text, float x, float y, float maxw, int align);
void glyphs_draw(int font, const char* text, float x, float y);
Rect text_caret_rect(int font, const char* text, int index, float maxw);
int text_hit(int font, const char* text, float px, float py, float maxw);
