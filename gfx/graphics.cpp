// The 2D drawing primitives on the canvas (sprites, fills, nine-slice frames,
// text) and the two 3D quad operations, all with client-side vertex arrays.
//
// They expect the 2D drawing state of the frame (canvas projection, alpha
// blending, no depth test, no lighting, colour white) and the vertex and
// texture-coordinate arrays enabled by load_graphics; each call sets its own
// array pointers. Without a GL window they do nothing.
#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "gfx/graphics_internal.h"

namespace {

// Four corners (x, y), (x + w, y), (x, y + h), (x + w, y + h) as one strip.
void strip2d(float x, float y, float w, float h, float u, float v, float du, float dv) {
    const GLfloat xy[8] = {x, y, x + w, y, x, y + h, x + w, y + h};
    const GLfloat uv[8] = {u, v, u + du, v, u, v + dv, u + du, v + dv};
    glVertexPointer(2, GL_FLOAT, 0, xy);
    glTexCoordPointer(2, GL_FLOAT, 0, uv);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// A 3D quad in strip order with texture rectangle [l, r] x [t, b]; the first two
// points receive the bottom (b) of the picture.
void strip3d(int gl_name, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4, float l, float r, float t, float b) {
    const GLfloat xyz[12] = {p1.x, p1.y, p1.z, p2.x, p2.y, p2.z,
                             p3.x, p3.y, p3.z, p4.x, p4.y, p4.z};
    const GLfloat uv[8] = {l, b, r, b, l, t, r, t};
    glBindTexture(GL_TEXTURE_2D, GLuint(gl_name));
    glVertexPointer(3, GL_FLOAT, 0, xyz);
    glTexCoordPointer(2, GL_FLOAT, 0, uv);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// Glyph quads of one line, flushed every GLYPH_BATCH quads.
struct GlyphBatch {
    GLfloat xy[GLYPH_BATCH * 12];
    GLfloat uv[GLYPH_BATCH * 12];
    int quads = 0;

    void add(const Rect& q, const Rect& t) {
        const float x0 = q.x, y0 = q.y, x1 = q.x + q.w, y1 = q.y + q.h;
        const float u0 = t.x, v0 = t.y, u1 = t.x + t.w, v1 = t.y + t.h;
        const GLfloat p[12] = {x0, y0, x1, y0, x0, y1, x0, y1, x1, y0, x1, y1};
        const GLfloat s[12] = {u0, v0, u1, v0, u0, v1, u0, v1, u1, v0, u1, v1};
        for (int i = 0; i < 12; ++i) {
            xy[quads * 12 + i] = p[i];
            uv[quads * 12 + i] = s[i];
        }
        if (++quads == GLYPH_BATCH) flush();
    }
    void flush() {
        if (quads == 0) return;
        glVertexPointer(2, GL_FLOAT, 0, xy);
        glTexCoordPointer(2, GL_FLOAT, 0, uv);
        glDrawArrays(GL_TRIANGLES, 0, quads * 6);
        quads = 0;
    }
};
GlyphBatch g_glyphs;

// glyphs_draw of an already filtered run of bytes.
void glyphs_draw_bytes(const Font& f, const char* bytes, size_t n, float x, float y) {
    const Texture& tex = texture_entry(f.texture);
    glBindTexture(GL_TEXTURE_2D, GLuint(tex.gl_name));
    for (size_t i = 0; i < n; ++i) {
        const Rect& g = f.glyphs[static_cast<unsigned char>(bytes[i])];
        Rect q{x, y, g.w, f.height};
        // Glyph positions are in the font's own "rect" space, not the texture's.
        Rect t{ratio(g.x, f.size.w), ratio(g.y, f.size.h), ratio(g.w, f.size.w),
               ratio(f.height, f.size.h)};
        if (clip_test(q, &t)) g_glyphs.add(q, t);
        x += g.w;
    }
    g_glyphs.flush();
}

}  // namespace

void image_draw(int image, int x, int y, int w, int h) {
    if (!graphics_has_gl()) return;
    const Image& img = image_entry(image);
    const Texture& tex = texture_entry(img.texture);
    if (tex.gl_name == 0) return;  // no picture: draw nothing rather than a blank box
    if (w == 0) w = trunc_int(img.shape.w);
    if (h == 0) h = trunc_int(img.shape.h);
    texture_draw_part(tex.gl_name, ratio(img.rect.x, tex.size.w), ratio(img.rect.y, tex.size.h),
                      ratio(img.rect.w, tex.size.w), ratio(img.rect.h, tex.size.h), float(x),
                      float(y), float(w), float(h));
}

void texture_draw_part(int gl_name, float u, float v, float du, float dv, float x, float y, float w,
                       float h) {
    if (!graphics_has_gl()) return;
    Rect q{x, y, w, h};
    Rect t{u, v, du, dv};
    if (!clip_test(q, &t)) return;
    glBindTexture(GL_TEXTURE_2D, GLuint(gl_name));
    strip2d(q.x, q.y, q.w, q.h, t.x, t.y, t.w, t.h);
}

void rect_fill(int rgb, int x, int y, int w, int h) {
    if (!graphics_has_gl()) return;
    Rect q{float(x), float(y), float(w), float(h)};
    if (!clip_test(q, nullptr)) return;
    glColor4ub(GLubyte(rgb >> 16), GLubyte(rgb >> 8), GLubyte(rgb), 255);
    glDisable(GL_TEXTURE_2D);
    strip2d(q.x, q.y, q.w, q.h, 0, 0, 0, 0);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}

namespace {
// One axis of a nine-slice frame: where each cell starts, its length, and the
// part of the texture it shows (start and range, in texture fractions).
struct FrameCell {
    int pos, len;
    float start, range;
};

std::vector<FrameCell> frame_cells(int from, int size, int b) {
    std::vector<FrameCell> cells;
    const float third = 1.0f / 3.0f;
    if (size < 2 * b) {
        // Too short for two whole corners: each corner keeps its outer part,
        // so the two never overlap (a translucent frame would show the overlap
        // as a brighter line across its middle).
        const int first = size > 0 ? size / 2 : 0, second = size > 0 ? size - first : 0;
        const float unit = third / float(b);
        cells.push_back({from, first, 0.0f, float(first) * unit});
        cells.push_back({from + first, second, 1.0f - float(second) * unit, float(second) * unit});
        return cells;
    }
    cells.push_back({from, b, 0.0f, third});
    const int last = from + size - b;
    // A frame wider than 4096 cells is cut short rather than looping for ever.
    for (int m = from + b, k = 0; m < last && k < 4096; m += b, ++k) {
        const int len = last - m < b ? last - m : b;
        cells.push_back({m, len, third, float(len) / float(3 * b)});
    }
    cells.push_back({last, b, 2.0f * third, third});
    return cells;
}
}  // namespace

void frame_draw(int gl_name, int x, int y, int w, int h, int b) {
    if (!graphics_has_gl() || b <= 0) return;
    const std::vector<FrameCell> cols = frame_cells(x, w, b);
    const std::vector<FrameCell> rows = frame_cells(y, h, b);
    for (const FrameCell& c : cols)
        for (const FrameCell& r : rows)
            texture_draw_part(gl_name, c.start, r.start, c.range, r.range, float(c.pos), float(r.pos),
                              float(c.len), float(r.len));
}

void image_draw_quad(int image, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4) {
    if (!graphics_has_gl()) return;
    const Image& img = image_entry(image);
    const Texture& tex = texture_entry(img.texture);
    if (tex.gl_name == 0) return;
    strip3d(tex.gl_name, p1, p2, p3, p4, ratio(img.rect.x, tex.size.w),
            ratio(img.rect.x + img.rect.w, tex.size.w), ratio(img.rect.y, tex.size.h),
            ratio(img.rect.y + img.rect.h, tex.size.h));
}

void texture_draw_quad(int gl_name, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4) {
    if (!graphics_has_gl()) return;
    strip3d(gl_name, p1, p2, p3, p4, 0, 1, 0, 1);
}

void translate2d(int dx, int dy) {
    clip_state_translate(float(dx), float(dy));
    if (graphics_has_gl()) glTranslatef(float(dx), float(dy), 0);
}

namespace {
// The nearest whole canvas unit. A line of text starts there: glyph texels then
// fall on whole pixels, where a start on half a pixel would blur every glyph
// across two columns (or rows) and dim it.
float whole_unit(float v) { return std::floor(v + 0.5f); }
}  // namespace

void text_draw(int font, const char* text, float x, float y, float maxw, int align) {
    if (!graphics_has_gl()) return;
    const Font& f = font_entry(font);
    const std::string s = filtered_text(text);
    const std::vector<Line> lines = wrap_filtered(f, s, maxw);
    for (size_t k = 0; k < lines.size(); ++k) {
        const Line& line = lines[k];
        const float ly = whole_unit(y + float(k) * f.height);
        const float lx =
            whole_unit(maxw == 0 ? x : x + (maxw - float(line.width)) * float(align + 1) * 0.5f);
        Rect box{lx, ly, float(line.width), f.height};
        if (!clip_test(box, nullptr)) continue;
        glyphs_draw_bytes(f, s.data() + line.start, size_t(line.end - line.start), lx, ly);
    }
}

void glyphs_draw(int font, const char* text, float x, float y) {
    if (!graphics_has_gl()) return;
    const std::string s = filtered_text(text);
    glyphs_draw_bytes(font_entry(font), s.data(), s.size(), whole_unit(x), whole_unit(y));
}
