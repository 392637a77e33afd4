// The arithmetic of 2D drawing, free of GL so it runs without a display: the clip
// stack and clip_rect, and text layout (wrapping, width, height, caret, hit test).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "gfx/graphics_internal.h"
#include "text/text.h"

namespace {

struct ClipState {
    float tx = 0, ty = 0;              // sum of the translate2d offsets
    Rect clips[CLIP_DEPTH_MAX + 1];    // entries 1..8 used
    int depth = 0;                     // pushed clips, may exceed 8
};
ClipState g_clip;

float glyph_w(const Font& f, unsigned char c) { return f.glyphs[c].w; }

}  // namespace

void clip_state_reset() { g_clip = ClipState(); }

void clip_state_translate(float dx, float dy) {
    g_clip.tx += dx;
    g_clip.ty += dy;
}

void translation2d(float* x, float* y) {
    *x = g_clip.tx;
    *y = g_clip.ty;
}

int clip_depth() { return g_clip.depth; }

void clip_push(int w, int h) {
    // The depth is bounded only to keep the counter itself defined; anything
    // beyond 8 already hides everything.
    if (g_clip.depth < (1 << 30)) g_clip.depth += 1;
    const int d = g_clip.depth;
    if (d > CLIP_DEPTH_MAX) return;
    g_clip.clips[d] = Rect{g_clip.tx, g_clip.ty, float(w), float(h)};
    // A clip that misses its parent entirely keeps a size <= 0 and hides all.
    if (d >= 2) clip_rect(g_clip.clips[d], nullptr, g_clip.clips[d - 1]);
}

void clip_pop() {
    if (g_clip.depth > 0) g_clip.depth -= 1;
}

bool clip_rect(Rect& q, Rect* t, const Rect& c) {
    if (q.w <= 0 || q.h <= 0) return false;
    if (q.x < c.x) {
        const float d = c.x - q.x;
        if (t) {
            const float dt = d * t->w / q.w;
            t->x += dt;
            t->w -= dt;
        }
        q.x += d;
        q.w -= d;
        if (q.w <= 0) return false;
    }
    if (q.x + q.w > c.x + c.w) {
        const float d = q.x + q.w - (c.x + c.w);
        if (t) t->w -= d * t->w / q.w;
        q.w -= d;
        if (q.w <= 0) return false;
    }
    if (q.y < c.y) {
        const float d = c.y - q.y;
        if (t) {
            const float dt = d * t->h / q.h;
            t->y += dt;
            t->h -= dt;
        }
        q.y += d;
        q.h -= d;
        if (q.h <= 0) return false;
    }
    if (q.y + q.h > c.y + c.h) {
        const float d = q.y + q.h - (c.y + c.h);
        if (t) t->h -= d * t->h / q.h;
        q.h -= d;
        if (q.h <= 0) return false;
    }
    return true;
}

bool clip_test(Rect& q, Rect* t) {
    if (g_clip.depth == 0) return true;
    if (g_clip.depth > CLIP_DEPTH_MAX) return false;
    Rect c = g_clip.clips[g_clip.depth];
    c.x -= g_clip.tx;
    c.y -= g_clip.ty;
    return clip_rect(q, t, c);
}

std::string filtered_text(const char* text) { return std::string(word_filter(text ? text : "")); }

std::vector<Line> wrap_filtered(const Font& f, const std::string& s, float maxw) {
    std::vector<Line> lines;
    const int n = int(s.size());
    int start = 0;
    int i = 0;
    float wd = 0;
    int space = -1;        // position of the remembered space, -1 none
    float space_wd = 0;    // line width before it
    for (;;) {
        const unsigned char c = i < n ? static_cast<unsigned char>(s[i]) : 0;
        if (c != '\n' && c != 0) {
            const float w = glyph_w(f, c);
            // The first byte of a line always fits; otherwise a glyph wider than
            // the box would give nothing but empty lines.
            if (maxw == 0 || wd + w <= maxw || i == start) {
                // A space opening a line is never a break point (it would leave
                // the line empty).
                if (c == ' ' && i > start) {
                    space = i;
                    space_wd = wd;
                }
                wd += w;
                ++i;
                continue;
            }
            if (space >= 0) {
                lines.push_back(Line{start, space, trunc_int(space_wd)});
                start = space + 1;
            } else if (c == ' ') {
                // With no earlier space, the space that does not fit is itself
                // the break (not the first byte of the next line, which would
                // then break at it again and leave an empty line).
                lines.push_back(Line{start, i, trunc_int(wd)});
                start = i + 1;
            } else {
                lines.push_back(Line{start, i, trunc_int(wd)});
                start = i;  // the byte that did not fit begins the next line
            }
        } else {
            lines.push_back(Line{start, i, trunc_int(wd)});
            start = i + 1;
        }
        if (c == 0 || int(lines.size()) >= TEXT_MAX_LINES) break;
        i = start;
        wd = 0;
        space = -1;
        space_wd = 0;
    }
    return lines;
}

std::vector<Line> text_wrap(int font, const char* text, float maxw) {
    return wrap_filtered(font_entry(font), filtered_text(text), maxw);
}

float text_width(int font, const char* text) {
    const Font& f = font_entry(font);
    float w = 0;
    for (unsigned char c : filtered_text(text)) w += glyph_w(f, c);
    return w;
}

float text_height(int font, const char* text, float maxw) {
    const Font& f = font_entry(font);
    if (maxw == 0) return f.height;
    return f.height * float(text_wrap(font, text, maxw).size());
}

Rect text_caret_rect(int font, const char* text, int index, float maxw) {
    const Font& f = font_entry(font);
    const std::string s = filtered_text(text);
    const std::vector<Line> lines = wrap_filtered(f, s, maxw);
    const auto byte = [&](int p) { return p < int(s.size()) ? static_cast<unsigned char>(s[p]) : 0; };
    for (size_t k = 0; k < lines.size(); ++k) {
        float x = 0;
        for (int p = lines[k].start; p <= lines[k].end; ++p) {
            if (p >= index) return Rect{x, float(k) * f.height, glyph_w(f, byte(p)), f.height};
            x += glyph_w(f, byte(p));
        }
    }
    if (lines.empty()) return Rect{0, 0, 0, f.height};
    const Line& last = lines.back();
    float x = 0;
    for (int p = last.start; p < last.end; ++p) x += glyph_w(f, byte(p));
    return Rect{x, float(lines.size() - 1) * f.height, 0, f.height};
}

int text_hit(int font, const char* text, float px, float py, float maxw) {
    const Font& f = font_entry(font);
    const std::string s = filtered_text(text);
    if (s.empty()) return 0;
    const std::vector<Line> lines = wrap_filtered(f, s, maxw);
    const auto byte = [&](int p) { return p < int(s.size()) ? static_cast<unsigned char>(s[p]) : 0; };
    int64_t best = INT64_MAX;
    int best_pos = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        const float cy = float(k) * f.height + f.height / 2;
        const int64_t row = std::llabs(int64_t(trunc_int(cy - py)));
        float x = 0;
        for (int p = lines[k].start; p <= lines[k].end; ++p) {
            const int64_t score = row * 65536 + std::llabs(int64_t(trunc_int(x - px)));
            if (score < best) {
                best = score;
                best_pos = p;
            }
            x += glyph_w(f, byte(p));
        }
    }
    return best_pos;
}
