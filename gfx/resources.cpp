// The resource tables: textures, images and fonts looked up by name in the three
// description files of the data folder and loaded on first use, and the upload of
// image files into GL textures.
//
// The description files are untrusted: a missing, malformed or oddly typed file or
// member reads as empty or zero with a diagnostic, never as a crash. Numbers are
// held within +-1e6 so that every later conversion to int is defined.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "gfx/graphics_internal.h"
#include "platform/data_json.h"
#include "platform/files.h"

namespace {

// One name-indexed table. Entry 0 is the zeroed "none" entry and is never handed
// out for a name; `count` is the next free index.
template <class Entry, int N>
struct Table {
    Json::Value json{Json::objectValue};
    std::map<std::string, int> names;
    std::unique_ptr<Entry[]> entries{new Entry[N]()};
    int count = 1;
};

struct Graphics {
    Table<Image, MAX_IMAGES> images;
    Table<Texture, MAX_TEXTURES> textures;
    std::vector<Rect> opaque = std::vector<Rect>(MAX_IMAGES);   // per image, once known
    std::vector<bool> opaque_known = std::vector<bool>(MAX_IMAGES);
};

// Where a texture has visible texels: one flag per 8 x 8 cell of the picture as
// loaded (alpha above 0 anywhere in the cell). Kept per GL texture name from the
// upload until the next video initialisation.
const int ALPHA_CELL = 8;
struct AlphaGrid {
    int w = 0, h = 0;      // picture size in pixels
    int cw = 0, ch = 0;    // cells
    std::vector<uint8_t> cells;
};
std::map<int, AlphaGrid> g_alpha;

struct FontTable {
    Table<Font, MAX_FONTS> fonts;
};

std::unique_ptr<Graphics> g_graphics;
std::unique_ptr<FontTable> g_fonts;
bool g_has_gl = false;

const Texture no_texture{};
const Image no_image{};
const Font no_font{};

// Member `key` of an object value, or null when v is not an object or lacks it.
const Json::Value* member(const Json::Value& v, const char* key) {
    if (!v.isObject()) return nullptr;
    return v.find(key, key + strlen(key));
}

float number(const Json::Value* v) {
    if (!v || !v->isNumeric()) return 0.0f;
    const double d = v->asDouble();
    if (!std::isfinite(d)) return 0.0f;
    return float(d < -1e6 ? -1e6 : d > 1e6 ? 1e6 : d);
}

Rect rect_of(const Json::Value* v) {
    Rect r;
    if (!v) return r;
    r.x = number(member(*v, "x"));
    r.y = number(member(*v, "y"));
    r.w = number(member(*v, "w"));
    r.h = number(member(*v, "h"));
    return r;
}

std::string string_of(const Json::Value* v) {
    return v && v->isString() ? v->asString() : std::string();
}

// The lazy lookup shared by the three tables: "trying load <what> <name>", then
// (when the name is described) "doing load <what> <name> (<index>)" and `fill`.
// A name missing from the file is not remembered, so a later call tries again.
template <class Entry, int N, class Fill>
int get_by_name(Table<Entry, N>& table, const char* what, const std::string& name, Fill fill) {
    const auto known = table.names.find(name);
    if (known != table.names.end()) return known->second;
    fprintf(stderr, "trying load %s %s\n", what, name.c_str());
    const Json::Value* e = table.json.find(name.data(), name.data() + name.size());
    if (!e) return 0;
    if (table.count >= N) {
        fprintf(stderr, "%s table full (%d entries): %s not loaded\n", what, N, name.c_str());
        return 0;
    }
    const int index = table.count;
    fprintf(stderr, "doing load %s %s (%d)\n", what, name.c_str(), index);
    table.names[name] = index;
    Entry& entry = table.entries[index];
    entry = Entry();
    entry.index = index;
    fill(entry, *e, name);
    table.count = index + 1;
    return index;
}

// Fills the pixels of a 32-bit surface whose alpha is 0 with 0 in every channel.
void zero_transparent(SDL_Surface* s) {
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
        Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x)
            if ((row[x] & s->format->Amask) == 0) row[x] = 0;
    }
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
}

AlphaGrid alpha_grid(SDL_Surface* s) {
    AlphaGrid g;
    g.w = s->w;
    g.h = s->h;
    g.cw = (s->w + ALPHA_CELL - 1) / ALPHA_CELL;
    g.ch = (s->h + ALPHA_CELL - 1) / ALPHA_CELL;
    g.cells.assign(size_t(g.cw) * size_t(g.ch), 0);
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
        const Uint32* row =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x)
            if (row[x] & s->format->Amask) g.cells[size_t((y / ALPHA_CELL) * g.cw + x / ALPHA_CELL)] = 1;
    }
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    return g;
}

Rect opaque_part(const Image& img) {
    const Texture& tex = texture_entry(img.texture);
    const auto found = g_alpha.find(tex.gl_name);
    if (tex.gl_name == 0 || found == g_alpha.end() || tex.size.w <= 0 || tex.size.h <= 0)
        return img.rect;
    const AlphaGrid& g = found->second;
    // Declared texture units to pixels of the picture as loaded.
    const double sx = double(g.w) / tex.size.w, sy = double(g.h) / tex.size.h;
    const double x0 = std::max(0.0, img.rect.x * sx), x1 = std::min(double(g.w), (img.rect.x + img.rect.w) * sx);
    const double y0 = std::max(0.0, img.rect.y * sy), y1 = std::min(double(g.h), (img.rect.y + img.rect.h) * sy);
    if (!(x1 > x0) || !(y1 > y0)) return img.rect;
    const int c0 = int(x0) / ALPHA_CELL, c1 = std::min(g.cw - 1, int(std::ceil(x1)) / ALPHA_CELL);
    const int r0 = int(y0) / ALPHA_CELL, r1 = std::min(g.ch - 1, int(std::ceil(y1)) / ALPHA_CELL);
    int lo_c = g.cw, hi_c = -1, lo_r = g.ch, hi_r = -1;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            if (g.cells[size_t(r * g.cw + c)]) {
                lo_c = std::min(lo_c, c);
                hi_c = std::max(hi_c, c);
                lo_r = std::min(lo_r, r);
                hi_r = std::max(hi_r, r);
            }
    if (hi_c < 0) return Rect{img.rect.x, img.rect.y, 0, 0};
    // One cell of margin: the smaller mipmap levels blur the edge outward.
    const double bx0 = std::max(x0, double(lo_c - 1) * ALPHA_CELL);
    const double bx1 = std::min(x1, double(hi_c + 2) * ALPHA_CELL);
    const double by0 = std::max(y0, double(lo_r - 1) * ALPHA_CELL);
    const double by1 = std::min(y1, double(hi_r + 2) * ALPHA_CELL);
    return Rect{float(bx0 / sx), float(by0 / sy), float((bx1 - bx0) / sx), float((by1 - by0) / sy)};
}

}  // namespace

bool graphics_has_gl() { return g_has_gl; }

Rect image_opaque_rect(int image) {
    if (!g_graphics || image <= 0 || image >= g_graphics->images.count) return Rect{};
    if (!g_graphics->opaque_known[size_t(image)]) {
        g_graphics->opaque[size_t(image)] = opaque_part(g_graphics->images.entries[image]);
        g_graphics->opaque_known[size_t(image)] = true;
    }
    return g_graphics->opaque[size_t(image)];
}

void graphics_load_text(const std::string& image_txt, const std::string& texture_txt) {
    g_graphics.reset(new Graphics);
    g_graphics->images.json = data_json_object("image.txt", image_txt);
    g_graphics->textures.json = data_json_object("texture.txt", texture_txt);
    clip_state_reset();
}

void fonts_load_text(const std::string& font_txt) {
    g_fonts.reset(new FontTable);
    g_fonts->fonts.json = data_json_object("font.txt", font_txt);
}

void load_graphics() {
    SDL_Surface* screen = SDL_GetVideoSurface();
    g_has_gl = screen && (screen->flags & SDL_OPENGL);
    if (g_has_gl) {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    }
    graphics_load_text(read_data_file("image.txt"), read_data_file("texture.txt"));
}

void load_fonts() { fonts_load_text(read_data_file("font.txt")); }

void graphics_free() {
    g_graphics.reset();
    g_alpha.clear();
    g_fonts.reset();
    g_has_gl = false;
    clip_state_reset();
}

int texture_get(const std::string& name) {
    if (!g_graphics) return 0;
    return get_by_name(g_graphics->textures, "tex", name,
                       [](Texture& t, const Json::Value& e, const std::string&) {
                           t.gl_name = surf_to_tex2(string_of(member(e, "fname")));
                           t.size = rect_of(member(e, "rect"));
                       });
}

int image_get(const std::string& name) {
    if (!g_graphics) return 0;
    return get_by_name(g_graphics->images, "img", name,
                       [](Image& i, const Json::Value& e, const std::string&) {
                           i.texture = texture_get(string_of(member(e, "texture")));
                           i.rect = rect_of(member(e, "rect"));
                           i.shape = rect_of(member(e, "shape"));
                       });
}

bool image_described(const std::string& name) {
    if (!g_graphics) return false;
    if (g_graphics->images.names.count(name)) return true;
    const Json::Value& json = g_graphics->images.json;
    return json.isObject() && json.find(name.data(), name.data() + name.size()) != nullptr;
}

int font_get(const std::string& name) {
    if (!g_fonts) return 0;
    return get_by_name(
        g_fonts->fonts, "font", name, [](Font& f, const Json::Value& e, const std::string& n) {
            f.height = number(member(e, "height"));
            f.texture = texture_get(string_of(member(e, "texture")));
            f.size = rect_of(member(e, "rect"));
            const Json::Value* chars = member(e, "chars");
            int given = 0;
            if (chars && chars->isArray()) {
                given = chars->size() < 256 ? int(chars->size()) : 256;
                for (int c = 0; c < given; ++c) {
                    const Json::Value& g = (*chars)[Json::ArrayIndex(c)];
                    f.glyphs[c] = g.isObject() ? rect_of(&g) : Rect();
                }
            }
            if (given < 256)
                fprintf(stderr, "font %s: \"chars\" holds %d of 256 glyphs; the rest are empty\n",
                        n.c_str(), given);
        });
}

const Texture& texture_entry(int index) {
    if (!g_graphics || index <= 0 || index >= g_graphics->textures.count) return no_texture;
    return g_graphics->textures.entries[index];
}

const Image& image_entry(int index) {
    if (!g_graphics || index <= 0 || index >= g_graphics->images.count) return no_image;
    return g_graphics->images.entries[index];
}

const Font& font_entry(int index) {
    if (!g_fonts || index <= 0 || index >= g_fonts->fonts.count) return no_font;
    return g_fonts->fonts.entries[index];
}

int image_gl_texture(int image) { return texture_entry(image_entry(image).texture).gl_name; }

int surf_to_tex2(const std::string& fname) {
    const std::string path = path_join(data_dir(), fname);
    fprintf(stderr, "driver_tex_load %s\n", path.c_str());
    if (!g_has_gl) {
        fprintf(stderr, "surf_to_tex2: no GL window for %s\n", path.c_str());
        return 0;
    }
    SDL_Surface* loaded = fname.empty() ? nullptr : IMG_Load(path.c_str());
    if (!loaded) {
        fprintf(stderr, "unable to load %s\n", path.c_str());
        return 0;
    }
    // RGBA in memory order on a little-endian machine: red in the lowest byte.
    SDL_Surface* rgba = SDL_CreateRGBSurface(SDL_SWSURFACE, loaded->w, loaded->h, 32, 0x000000FF,
                                             0x0000FF00, 0x00FF0000, 0xFF000000);
    if (!rgba) {
        SDL_FreeSurface(loaded);
        fprintf(stderr, "unable to load %s\n", path.c_str());
        return 0;
    }
    SDL_FillRect(rgba, nullptr, 0);
    // Copy the source alpha instead of blending with it.
    SDL_SetAlpha(loaded, 0, SDL_ALPHA_OPAQUE);
    SDL_BlitSurface(loaded, nullptr, rgba, nullptr);
    SDL_FreeSurface(loaded);
    if (rgba->format->Amask && rgba->format->BytesPerPixel == 4)
        zero_transparent(rgba);
    else
        fprintf(stderr, "surf_to_tex2: no Amask\n");
    AlphaGrid grid = alpha_grid(rgba);

    GLuint name = 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    if (SDL_MUSTLOCK(rgba)) SDL_LockSurface(rgba);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, rgba->w, rgba->h, GL_RGBA, GL_UNSIGNED_BYTE, rgba->pixels);
    if (SDL_MUSTLOCK(rgba)) SDL_UnlockSurface(rgba);
    SDL_FreeSurface(rgba);
    g_alpha[int(name)] = std::move(grid);
    fprintf(stderr, "loaded %s as %d\n", path.c_str(), int(name));
    return int(name);
}
