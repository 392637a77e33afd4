// Seam: the resource tables and drawing are not built yet; every lookup gives
// index 0 and nothing is drawn.
#include "gfx/graphics.h"

namespace {
const Texture no_texture{};
const Image no_image{};
const Font no_font{};
}  // namespace

void load_graphics() {}
void load_fonts() {}
void graphics_free() {}
int texture_get(const std::string&) { return 0; }
int image_get(const std::string&) { return 0; }
int font_get(const std::string&) { return 0; }
const Texture& texture_entry(int) { return no_texture; }
const Image& image_entry(int) { return no_image; }
const Font& font_entry(int) { return no_font; }
int image_gl_texture(int) { return 0; }
int surf_to_tex2(const std::string&) { return 0; }
void image_draw(int, int, int, int, int) {}
void texture_draw_part(int, float, float, float, float, float, float, float, float) {}
void rect_fill(int, int, int, int, int) {}
void frame_draw(int, int, int, int, int, int) {}
void image_draw_quad(int, Vec3, Vec3, Vec3, Vec3) {}
void texture_draw_quad(int, Vec3, Vec3, Vec3, Vec3) {}
void translate2d(int, int) {}
void clip_push(int, int) {}
void clip_pop() {}
bool clip_rect(Rect&, Rect*, const Rect&) { return true; }
bool clip_test(Rect&, Rect*) { return true; }
std::vector<Line> text_wrap(int, const char*, float) { return {}; }
float text_width(int, const char*) { return 0; }
float text_height(int, const char*, float) { return 0; }
void text_draw(int, const char*, float, float, float, int) {}
void glyphs_draw(int, const char*, float, float) {}
Rect text_caret_rect(int, const char*, int, float) { return {}; }
int text_hit(int, const char*, float, float, float) { return 0; }
