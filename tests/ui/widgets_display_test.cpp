// Widgets painted with the real graphics module and artwork in a 960 x 720
// window under a private Xvfb, read back with glReadPixels: fills and clip
// boxes, clip nesting beyond the stack, the button highlight, label text, the
// text field's caret and selection, the slider knob and the dimmed bomb icon.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/game.h"
#include "gfx/graphics.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "test_support.h"
#include "ui/play_widgets.h"
#include "ui/slider.h"
#include "ui/text_input.h"
#include "ui/widget.h"
#include "world/model.h"

namespace {

struct Rgb {
    int r, g, b;
};

class Painted : public ::testing::Test {
protected:
    static test::Xvfb* x;
    static test::ScopedEnv* audio;

    static void SetUpTestSuite() {
        x = new test::Xvfb;
        audio = new test::ScopedEnv("SDL_AUDIODRIVER", "dummy");
        set_data_dir(test::source_data_dir());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        driver_init([] {});
        init_video(960, 720, 0);
        load_graphics();
        canvas() = Canvas();
        load_fonts();
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
    }
    static void TearDownTestSuite() {
        graphics_free();
        set_data_dir("");
        delete audio;
        delete x;
    }

    void SetUp() override {
        ASSERT_TRUE(x->ok());
        ASSERT_EQ(driver().width, 960);
        ASSERT_EQ(driver().height, 720);
    }

    // Clears to black and sets up the 2D drawing state of a frame.
    static void begin() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        canvas_begin_2d();
    }
    // A canvas pixel of the back buffer (the window is the canvas, 1:1).
    static Rgb pixel(int cx, int cy) {
        unsigned char p[4] = {};
        glFinish();
        glReadBuffer(GL_BACK);
        glReadPixels(cx, 719 - cy, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }
    // Mean brightness (r + g + b) / 3 over a canvas rectangle.
    static double brightness(int cx, int cy, int w, int h) {
        std::vector<unsigned char> p(size_t(w) * size_t(h) * 4);
        glFinish();
        glReadBuffer(GL_BACK);
        glReadPixels(cx, 720 - cy - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        double sum = 0;
        for (size_t i = 0; i < p.size(); i += 4) sum += (p[i] + p[i + 1] + p[i + 2]) / 3.0;
        return sum / (double(w) * h);
    }
    // The pixels of a canvas rectangle, bottom row first.
    static std::vector<unsigned char> region(int cx, int cy, int w, int h) {
        std::vector<unsigned char> p(size_t(w) * size_t(h) * 4);
        glFinish();
        glReadBuffer(GL_BACK);
        glReadPixels(cx, 720 - cy - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    static void paint(Container& root) {
        begin();
        root.measure_content();
        root.paint_content();
    }
};

test::Xvfb* Painted::x = nullptr;
test::ScopedEnv* Painted::audio = nullptr;

Widget* filled(int w, int h, int rgb) {
    Widget* p = new Widget;
    p->styles[STYLE_BASE].width = w;
    p->styles[STYLE_BASE].height = h;
    p->styles[STYLE_BASE].background = rgb;
    return p;
}

TEST_F(Painted, FillsLandWhereTheLayoutPutsThem) {
    Container root;
    Widget* red = filled(50, 40, 0xFF0000);
    set_margins(red->styles[STYLE_BASE], 5);
    red->x = 100;
    red->y = 200;
    add(&root, red);
    paint(root);
    EXPECT_EQ(pixel(106, 206).r, 255);
    EXPECT_EQ(pixel(106, 206).g, 0);
    EXPECT_EQ(pixel(154, 244).r, 255);
    EXPECT_EQ(pixel(104, 206).r, 0);   // the margin stays clear
    EXPECT_EQ(pixel(156, 206).r, 0);
}

TEST_F(Painted, ClipBoxCutsItsChild) {
    Container root;
    Box* box = new Box(filled(100, 100, 0x00FF00));
    box->styles[STYLE_BASE].clip = 1;
    box->styles[STYLE_BASE].width = 40;
    box->styles[STYLE_BASE].height = 30;
    box->styles[STYLE_BASE].align = -1;
    box->styles[STYLE_BASE].valign = -1;
    box->x = 300;
    box->y = 300;
    add(&root, box);
    paint(root);
    EXPECT_EQ(pixel(305, 305).g, 255);
    EXPECT_EQ(pixel(339, 329).g, 255);
    EXPECT_EQ(pixel(341, 305).g, 0);
    EXPECT_EQ(pixel(305, 331).g, 0);
}

// Clip boxes nested 8 deep still draw; from the ninth on, what is inside is
// hidden, and even 40 levels paint without trouble.
TEST_F(Painted, ClipNestingBeyondEightHidesTheInside) {
    for (int depth : {1, 8, 9, 40}) {
        Container root;
        Widget* inner = filled(20, 20, 0x0000FF);
        for (int i = 0; i < depth; ++i) {
            Box* b = new Box(inner);
            b->styles[STYLE_BASE].clip = 1;
            b->styles[STYLE_BASE].width = 100;
            b->styles[STYLE_BASE].height = 100;
            inner = b;
        }
        inner->x = 400;
        inner->y = 100;
        add(&root, inner);
        paint(root);
        EXPECT_EQ(pixel(450, 150).b, depth <= 8 ? 255 : 0) << "depth " << depth;
        EXPECT_EQ(clip_depth(), 0);
    }
}

TEST_F(Painted, ButtonHighlightBrightensOnHoverAndPress) {
    Container root;
    Box* button = make_button("Play", 3, 300, 0);
    button->x = 200;
    button->y = 300;
    add(&root, button);
    paint(root);
    Box* inner = static_cast<Box*>(button->child());
    const Rect r = screen_rect(inner);
    const int bx = int(r.x) + 20, by = int(r.y) + 15, bw = int(r.w) - 40, bh = int(r.h) - 30;
    const double normal = brightness(bx, by, bw, bh);
    Event ev{};
    ev.kind = EV_MOUSEMOVE;
    ev.x = r.x + r.w / 2;
    ev.y = r.y + r.h / 2;
    root.event(ev);
    for (int i = 0; i < 3; ++i) paint(root);
    const double hovered = brightness(bx, by, bw, bh);
    ev.kind = EV_MOUSEDOWN;
    ev.button = 1;
    root.event(ev);
    for (int i = 0; i < 4; ++i) paint(root);
    const double pressed = brightness(bx, by, bw, bh);
    EXPECT_GT(hovered, normal + 2);
    EXPECT_GT(pressed, hovered + 2);
}

TEST_F(Painted, LabelDrawsItsTextInItsColour) {
    Container root;
    Label* l = new Label(font_get("font2"), "MMMM");
    l->styles[STYLE_BASE].color = 0x00FF00;
    l->x = 100;
    l->y = 500;
    add(&root, l);
    paint(root);
    ASSERT_GT(l->w, 0);
    int green = 0, other = 0;
    for (int y = 500; y < 500 + l->h; ++y)
        for (int x = 100; x < 100 + l->w; ++x) {
            const Rgb p = pixel(x, y);
            if (p.g > 128 && p.r < 64 && p.b < 64) ++green;
            if (p.r > 64 || p.b > 64) ++other;
        }
    EXPECT_GT(green, 20);
    EXPECT_EQ(other, 0);
    EXPECT_LT(brightness(100 + l->w + 2, 500, 50, l->h), 1.0);
}

// With the real font: a press lands the caret on the index text_hit gives, and
// the focused field draws its caret there (white) and a selection in 0x55AAFF.
TEST_F(Painted, TextFieldCaretAndSelection) {
    test::ScopedEnv no_display("DISPLAY", nullptr);
    Container root;
    TextInput* t = make_text_field("f", "hello world", 0, 0);
    t->x = 50;
    t->y = 50;
    add(&root, t);
    paint(root);
    const int font = font_get("font2");
    const Rect at5 = text_caret_rect(font, "hello world", 5, 0);
    const Rect r = screen_rect(t);
    const float px = r.x + float(t->content_x) + at5.x + 1;
    const float py = r.y + float(t->content_y) + at5.h / 2;
    Event down{};
    down.kind = EV_MOUSEDOWN;
    down.x = px;
    down.y = py;
    down.button = 1;
    testing::internal::CaptureStderr();
    root.event(down);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(t->caret, 5);
    paint(root);
    const int caret_x = int(r.x) + t->content_x + int(at5.x);
    const int mid_y = int(r.y) + t->content_y + int(at5.h / 2);
    const Rgb c = pixel(caret_x, mid_y);
    EXPECT_EQ(c.r, 255);
    EXPECT_EQ(c.g, 255);
    EXPECT_EQ(c.b, 255);
    // Select "hello": the selection colour shows between the glyphs.
    t->anchor = 0;
    paint(root);
    int selection = 0;
    for (int x = int(r.x) + t->content_x; x < caret_x; ++x) {
        const Rgb p = pixel(x, mid_y);
        if (p.r == 0x55 && p.g == 0xAA && p.b == 0xFF) ++selection;
    }
    EXPECT_GT(selection, 0);
}

TEST_F(Painted, SliderKnobFollowsTheValue) {
    Container root;
    NumSlider* s = make_slider("s", 0, 1);
    s->x = 100;
    s->y = 600;
    add(&root, s);
    const int top = 600 + s->content_y, left = 100 + s->content_x;
    const int track = s->content_w - s->label_w;
    auto at = [&](int value, int x) {
        s->set_value_i(value);
        paint(root);
        return region(x, top, s->knob, s->content_h);
    };
    const int end = left + track - s->knob;
    // The knob is drawn where the value puts it.
    EXPECT_NE(at(0, left), at(100, left));
    EXPECT_NE(at(0, end), at(100, end));
    EXPECT_EQ(at(0, end), at(30, end));
    // The number stands in the space kept for it and follows the value.
    const std::vector<unsigned char> hundred = at(100, left + track);
    EXPECT_GT(brightness(left + track, top, s->label_w, s->content_h), 5.0);
    EXPECT_NE(at(7, left + track), hundred);
}

// The dim bomb is exactly its icon at a quarter alpha and nothing else; with
// stock the icon is at full strength and the number is drawn over it.
TEST_F(Painted, BombWithoutStockIsDimAndHasNoNumber) {
    auto g = std::make_unique<game>();
    memset(g.get(), 0, sizeof(game));
    auto paint_bomb = [&](int stock) {
        g->level.inventory[ACTOR_DETONATOR] = stock;
        Container root;
        WBomb* b = new WBomb(g.get(), ACTOR_DETONATOR);
        b->x = 600;
        b->y = 500;
        add(&root, b);
        paint(root);
        return region(600, 500, 96, 96);
    };
    auto icon_alone = [&](float alpha) {
        begin();
        glColor4f(1, 1, 1, alpha);
        image_draw(image_get("icon-bomb1"), 610, 510, 76, 76);
        glColor4f(1, 1, 1, 1);
        return region(600, 500, 96, 96);
    };
    const std::vector<unsigned char> dim = paint_bomb(0);
    EXPECT_EQ(dim, icon_alone(0.25f));
    EXPECT_NE(dim, icon_alone(1.0f));
    const std::vector<unsigned char> stocked = paint_bomb(5);
    const std::vector<unsigned char> bare = icon_alone(1.0f);
    EXPECT_NE(stocked, bare);   // the number
    // Outside the number's corner the stocked bomb is the plain icon.
    size_t differing_far_from_number = 0;
    for (int y = 0; y < 96; ++y)        // rows from the bottom
        for (int x = 0; x < 96; ++x) {
            const size_t i = (size_t(y) * 96 + size_t(x)) * 4;
            const bool near_number = x >= 40 && y < 40;
            if (!near_number && memcmp(&stocked[i], &bare[i], 3) != 0) ++differing_far_from_number;
        }
    EXPECT_EQ(differing_far_from_number, 0u);
}

}  // namespace
