// A font model and a draw recorder for the widget toolkit, installed in place of
// the graphics module so layout, routing, text editing and painting run with no
// display.
//
// The text operations follow the graphics module's rules (wrapping at spaces or
// inside a word, at most 32 lines, caret rectangles and hit testing by nearest
// row, then nearest left edge; text_model_test holds the two together) over a
// fixed glyph table, so expected positions can be worked out by hand: most bytes advance 10 units, ' ' 6, 'i' 4, 'm' 16,
// '*' 8, '\n' and NUL 0; every font is 20 high.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/event.h"
#include "ui/widget_gfx.h"

namespace uitest {

constexpr float LINE = 20;

inline float advance(unsigned char c) {
    switch (c) {
    case 0:
    case '\n':
        return 0;
    case ' ':
        return 6;
    case 'i':
        return 4;
    case 'm':
        return 16;
    case '*':
        return 8;
    default:
        return 10;
    }
}

inline int whole(double v) {
    if (!(v == v)) return 0;
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return int(v);
}

inline std::vector<Line> wrap(const char* text, float maxw) {
    std::vector<Line> lines;
    const int n = int(strlen(text));
    int s = 0, space = -1;
    float wd = 0, space_wd = 0;
    for (int i = 0; i <= n && lines.size() < 32; ++i) {
        const unsigned char c = i < n ? static_cast<unsigned char>(text[i]) : 0;
        if (c != '\n' && c != 0) {
            const float gw = advance(c);
            // The first byte of a line always fits; a space opening a line is
            // never a break point.
            if (maxw == 0 || wd + gw <= maxw || i == s) {
                if (c == ' ' && i > s) {
                    space = i;
                    space_wd = std::trunc(wd);
                }
                wd += gw;
                continue;
            }
            if (space >= 0) {
                lines.push_back({s, space, int(space_wd)});
                s = space + 1;
                i = space;
            } else if (c == ' ') {
                // With no earlier space, the space that does not fit is the break.
                lines.push_back({s, i, int(wd)});
                s = i + 1;
            } else {
                lines.push_back({s, i, int(wd)});
                s = i;
                --i;
            }
            wd = 0;
            space = -1;
            continue;
        }
        lines.push_back({s, i, int(wd)});
        s = i + 1;
        wd = 0;
        space = -1;
    }
    return lines;
}

inline unsigned char byte_at(const char* text, int n, int p) {
    return p < n ? static_cast<unsigned char>(text[p]) : 0;
}

inline float width_of(const char* text) {
    float w = 0;
    for (const char* p = text; *p; ++p) w += advance(static_cast<unsigned char>(*p));
    return w;
}

inline Rect caret_rect(const char* text, int index, float maxw) {
    const int n = int(strlen(text));
    const std::vector<Line> lines = wrap(text, maxw);
    float x = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        x = 0;
        for (int p = lines[k].start; p <= lines[k].end; ++p) {
            const unsigned char c = byte_at(text, n, p);
            if (p >= index) return Rect{x, float(k) * LINE, advance(c), LINE};
            if (p < lines[k].end) x += advance(c);
        }
    }
    return Rect{x, float(lines.empty() ? 0 : lines.size() - 1) * LINE, 0, LINE};
}

inline int hit(const char* text, float px, float py, float maxw) {
    const int n = int(strlen(text));
    if (n == 0) return 0;
    const std::vector<Line> lines = wrap(text, maxw);
    int64_t best = INT64_MAX;
    int index = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        const float cy = float(k) * LINE + LINE / 2;
        float x = 0;
        for (int p = lines[k].start; p <= lines[k].end; ++p) {
            const int64_t score = int64_t(std::abs(whole(cy - py))) * 65536 +
                                  std::abs(whole(x - px));
            if (score < best) {
                best = score;
                index = p;
            }
            x += advance(byte_at(text, n, p));
        }
    }
    return index;
}

// One recorded drawing operation, with the state it was made in.
struct Call {
    std::string op;          // "image", "fill", "frame", "text"
    int id = 0;              // image index, colour, GL name or font
    float x = 0, y = 0, w = 0, h = 0;   // as passed (local coordinates)
    int b = 0;               // frame border size; text alignment
    std::string text;
    float tint[4] = {1, 1, 1, 1};
    int tx = 0, ty = 0;      // translation at the time
    int clip_depth = 0;
    // Canvas position of the call.
    float ax() const { return x + float(tx); }
    float ay() const { return y + float(ty); }
};

struct Recorder {
    std::vector<Call> calls;
    float tint[4] = {1, 1, 1, 1};
    int tx = 0, ty = 0;
    int clip_depth = 0;
    int max_clip_depth = 0;
    std::vector<std::pair<int, int>> clips;  // the size of every clip_push, in order
    std::map<std::string, int> images;

    void record(Call c) {
        for (int i = 0; i < 4; ++i) c.tint[i] = tint[i];
        c.tx = tx;
        c.ty = ty;
        c.clip_depth = clip_depth;
        calls.push_back(c);
    }
    std::vector<Call> of(const std::string& op) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.op == op) out.push_back(c);
        return out;
    }
};

inline Recorder& recorder() {
    static Recorder r;
    return r;
}

// Known image indices; other names get 100, 101, ... in order of first request.
inline int fake_image_get(const std::string& name) {
    static const std::map<std::string, int> known = {
        {"box", 1}, {"box1", 2}, {"box2", 3}, {"box3", 4}, {"white", 5},
        {"icon-bomb1", 11}, {"icon-bomb2", 12}, {"icon-bomb3", 13}, {"icon-bomb4", 14},
    };
    auto it = known.find(name);
    if (it != known.end()) return it->second;
    auto& extra = recorder().images;
    auto e = extra.find(name);
    if (e != extra.end()) return e->second;
    const int index = 100 + int(extra.size());
    extra[name] = index;
    return index;
}

inline int fake_font_get(const std::string& name) {
    if (name == "font1") return 1;
    if (name == "font2") return 2;
    if (name == "font3") return 3;
    return 0;
}

// GL name of an image's texture: 1000 + the image index.
inline int fake_gl_texture(int image) { return 1000 + image; }

inline void install() {
    recorder() = Recorder();
    WidgetGfx& s = widget_gfx();
    s.image_get = fake_image_get;
    s.font_get = fake_font_get;
    s.image_gl_texture = fake_gl_texture;
    s.line_height = [](int) { return LINE; };
    s.tint = [](float r, float g, float b, float a) {
        float* t = recorder().tint;
        t[0] = r;
        t[1] = g;
        t[2] = b;
        t[3] = a;
    };
    s.image_draw = [](int image, int x, int y, int w, int h) {
        Call c;
        c.op = "image";
        c.id = image;
        c.x = float(x), c.y = float(y), c.w = float(w), c.h = float(h);
        recorder().record(c);
    };
    s.rect_fill = [](int rgb, int x, int y, int w, int h) {
        Call c;
        c.op = "fill";
        c.id = rgb;
        c.x = float(x), c.y = float(y), c.w = float(w), c.h = float(h);
        recorder().record(c);
    };
    s.frame_draw = [](int gl, int x, int y, int w, int h, int b) {
        Call c;
        c.op = "frame";
        c.id = gl;
        c.x = float(x), c.y = float(y), c.w = float(w), c.h = float(h);
        c.b = b;
        recorder().record(c);
    };
    s.translate2d = [](int dx, int dy) {
        recorder().tx += dx;
        recorder().ty += dy;
    };
    s.clip_push = [](int w, int h) {
        Recorder& r = recorder();
        r.clips.emplace_back(w, h);
        r.clip_depth += 1;
        if (r.clip_depth > r.max_clip_depth) r.max_clip_depth = r.clip_depth;
    };
    s.clip_pop = [] {
        Recorder& r = recorder();
        if (r.clip_depth > 0) r.clip_depth -= 1;
    };
    s.text_width = [](int, const char* text) { return width_of(text); };
    s.text_height = [](int, const char* text, float maxw) {
        return maxw == 0 ? LINE : LINE * float(wrap(text, maxw).size());
    };
    s.text_draw = [](int font, const char* text, float x, float y, float maxw, int align) {
        Call c;
        c.op = "text";
        c.id = font;
        c.x = x, c.y = y, c.w = maxw, c.h = LINE;
        c.b = align;
        c.text = text;
        recorder().record(c);
    };
    s.text_caret_rect = [](int, const char* text, int index, float maxw) {
        return caret_rect(text, index, maxw);
    };
    s.text_hit = [](int, const char* text, float px, float py, float maxw) {
        return hit(text, px, py, maxw);
    };
}

// Input events as the dispatcher hands them to a screen's root.
inline Event mouse(int kind, float x, float y, uint32_t button = 0) {
    Event e{};
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    return e;
}
inline Event drag(float x, float y, float dx, float dy, uint32_t held = 1) {
    Event e = mouse(EV_MOUSEMOVE, x, y, held);
    e.dx = dx;
    e.dy = dy;
    return e;
}
inline Event wheel(float x, float y, float dy) {
    Event e = mouse(EV_WHEEL, x, y);
    e.dy = dy;
    return e;
}
inline Event key(int code, uint32_t unicode = 0, uint32_t mods = 0) {
    Event e{};
    e.kind = EV_KEYDOWN;
    e.key = uint32_t(code);
    e.unicode = unicode;
    e.button = mods;
    return e;
}
inline Event typed(char c) { return key(0, static_cast<unsigned char>(c)); }

// Installs the fake for a scope, then puts the graphics module back.
struct FakeGfx {
    FakeGfx() { install(); }
    ~FakeGfx() { widget_gfx_reset(); }
    FakeGfx(const FakeGfx&) = delete;
    FakeGfx& operator=(const FakeGfx&) = delete;
    Recorder& rec() { return recorder(); }
};

}  // namespace uitest
