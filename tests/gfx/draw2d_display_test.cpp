// The 2D primitives and the texture upload in a real GL window, with small
// synthetic pictures whose colours are known, reading the pixels back.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/game.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "render_support.h"
#include "test_support.h"

namespace {

using rt::Frame;
using rt::Pixel;

struct Rgba {
    unsigned char r, g, b, a;
};

// An uncompressed 32-bit TGA, rows from the top.
void write_tga(const std::string& path, int w, int h, const std::vector<Rgba>& px) {
    std::string s(18, '\0');
    s[2] = 2;
    s[12] = char(w & 255);
    s[13] = char(w >> 8);
    s[14] = char(h & 255);
    s[15] = char(h >> 8);
    s[16] = 32;
    s[17] = 0x28;  // 8 alpha bits, origin top left
    for (const Rgba& p : px) {
        s += char(p.b);
        s += char(p.g);
        s += char(p.r);
        s += char(p.a);
    }
    test::write_file(path, s);
}

std::vector<Rgba> solid(int w, int h, Rgba c) { return std::vector<Rgba>(size_t(w * h), c); }

class Draw2D : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        xvfb_ = new test::Xvfb();
        audio_ = new test::ScopedEnv("SDL_AUDIODRIVER", "dummy");
        data_ = new test::TempDir();
        const std::string d = data_->path();
        write_tga(d + "/red.tga", 8, 8, solid(8, 8, {255, 0, 0, 255}));
        std::vector<Rgba> halves;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                halves.push_back(x < 8 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255});
        write_tga(d + "/halves.tga", 16, 8, halves);
        std::vector<Rgba> ninths;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                ninths.push_back(Rgba{static_cast<unsigned char>(30 + (x / 8) * 100),
                                      static_cast<unsigned char>(30 + (y / 8) * 100), 60, 255});
        write_tga(d + "/ninths.tga", 24, 24, ninths);
        std::vector<Rgba> holes;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                holes.push_back((x + y) % 2 ? Rgba{0, 200, 0, 255} : Rgba{255, 0, 0, 0});
        write_tga(d + "/holes.tga", 4, 4, holes);
        write_tga(d + "/glyphs.tga", 32, 16, solid(32, 16, {255, 255, 255, 255}));
        // One-pixel columns, white and black in turn: sharp only when drawn on
        // whole pixels.
        std::vector<Rgba> stripes;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
                stripes.push_back(x % 2 ? Rgba{0, 0, 0, 255} : Rgba{255, 255, 255, 255});
        write_tga(d + "/stripes.tga", 32, 16, stripes);
        // Quarters: red, green over blue, white.
        std::vector<Rgba> quarters;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
                quarters.push_back(y < 8 ? (x < 16 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255})
                                         : (x < 16 ? Rgba{0, 0, 255, 255} : Rgba{255, 255, 255, 255}));
        write_tga(d + "/quarters.tga", 32, 16, quarters);
        test::write_file(d + "/broken.png", "\x89PNG\r\n\x1a\n but not really a picture");
        test::write_file(d + "/texture.txt", R"({
            "red": {"fname": "red.tga", "rect": {"w": 8, "h": 8}},
            "halves": {"fname": "halves.tga", "rect": {"w": 16, "h": 8}},
            "ninths": {"fname": "ninths.tga", "rect": {"w": 24, "h": 24}},
            "holes": {"fname": "holes.tga", "rect": {"w": 4, "h": 4}},
            "glyphs": {"fname": "glyphs.tga", "rect": {"w": 32, "h": 16}},
            "stripes": {"fname": "stripes.tga", "rect": {"w": 32, "h": 16}},
            "quarters": {"fname": "quarters.tga", "rect": {"w": 32, "h": 16}},
            "broken": {"fname": "broken.png", "rect": {"w": 8, "h": 8}},
            "logged": {"fname": "red.tga", "rect": {"w": 8, "h": 8}},
            "gone": {"fname": "no-such-file.png", "rect": {"w": 8, "h": 8}}})");
        test::write_file(d + "/image.txt", R"({
            "red": {"texture": "red", "rect": {"w": 8, "h": 8}, "shape": {"w": 40, "h": 30}},
            "half": {"texture": "halves", "rect": {"w": 16, "h": 8}, "shape": {"w": 40, "h": 20}},
            "broken": {"texture": "broken", "rect": {"w": 8, "h": 8}, "shape": {"w": 40, "h": 30}}})");
        std::string chars;
        for (int c = 0; c < 256; ++c) {
            std::string g = "{\"w\": 0}";
            if (c == 'A') g = "{\"x\": 0, \"w\": 8}";
            if (c == 'B') g = "{\"x\": 8, \"w\": 8}";
            if (c == 'C') g = "{\"x\": 16, \"w\": 3}";
            chars += (c ? "," : "") + g;
        }
        // "half" addresses its texture at twice the pixel size: glyph 'A' (0, 0,
        // 32 wide, 16 high) is the red quarter alone.
        std::string half_chars;
        for (int c = 0; c < 256; ++c) half_chars += std::string(c ? "," : "") + (c == 'A' ? "{\"w\": 32}" : "{\"w\": 0}");
        test::write_file(d + "/font.txt", "{\"f\": {\"height\": 16, \"texture\": \"glyphs\", "
                                          "\"rect\": {\"w\": 32, \"h\": 16}, \"chars\": [" +
                                              chars + "]}, \"half\": {\"height\": 16, \"texture\": "
                                              "\"quarters\", \"rect\": {\"w\": 64, \"h\": 32}, "
                                              "\"chars\": [" + half_chars + "]}, \"s\": {\"height\": 16, "
                                              "\"texture\": \"stripes\", \"rect\": {\"w\": 32, \"h\": 16}, "
                                              "\"chars\": [" + chars + "]}}");
        if (xvfb_->ok()) rt::open_graphics(d);
    }
    static void TearDownTestSuite() {
        rt::close_graphics();
        delete data_;
        delete audio_;
        delete xvfb_;
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_->ok());
        ASSERT_TRUE(graphics_has_gl());
        glViewport(0, 0, 960, 720);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        canvas_begin_2d();
    }
    static bool is(Pixel p, int r, int g, int b, int tol = 12) {
        return std::abs(p.r - r) <= tol && std::abs(p.g - g) <= tol && std::abs(p.b - b) <= tol;
    }
    // Where a frame drawn from the "ninths" texture shows which ninth of it:
    // the texture's ninth (col, row) is (30 + 100 col, 30 + 100 row, 60).
    struct NinthProbe {
        int x, y, col, row;
    };
    static void expect_ninths(const Frame& f, std::initializer_list<NinthProbe> probes) {
        for (const NinthProbe& p : probes) {
            EXPECT_TRUE(is(f.at(p.x, p.y), 30 + p.col * 100, 30 + p.row * 100, 60, 25))
                << p.x << "," << p.y << " got " << f.at(p.x, p.y).r << "," << f.at(p.x, p.y).g;
        }
    }

    static test::Xvfb* xvfb_;
    static test::ScopedEnv* audio_;
    static test::TempDir* data_;
};
test::Xvfb* Draw2D::xvfb_ = nullptr;
test::ScopedEnv* Draw2D::audio_ = nullptr;
test::TempDir* Draw2D::data_ = nullptr;

TEST_F(Draw2D, ImageWithoutSizeIsDrawnAtItsShapeSize) {
    image_draw(image_get("red"), 100, 100, 0, 0);
    image_draw(image_get("red"), 300, 100, 20, 10);
    Frame f = rt::read_frame("image_shape");
    EXPECT_TRUE(is(f.at(100, 100), 255, 0, 0));
    EXPECT_TRUE(is(f.at(139, 129), 255, 0, 0));
    EXPECT_TRUE(is(f.at(140, 115), 0, 0, 0));
    EXPECT_TRUE(is(f.at(120, 130), 0, 0, 0));
    EXPECT_TRUE(is(f.at(99, 115), 0, 0, 0));
    EXPECT_TRUE(is(f.at(319, 109), 255, 0, 0));
    EXPECT_TRUE(is(f.at(320, 105), 0, 0, 0));
    EXPECT_TRUE(is(f.at(310, 110), 0, 0, 0));
}

TEST_F(Draw2D, ASpriteHalfOutsideAClipBoxIsCutNotSquashed) {
    const int half = image_get("half");  // red left half, blue right half
    translate2d(200, 200);
    clip_push(40, 40);
    image_draw(half, -20, 0, 0, 0);  // only the right (blue) half lies inside
    image_draw(half, 30, 20, 0, 0);  // only the first quarter (red) lies inside
    clip_pop();
    translate2d(-200, -200);
    Frame f = rt::read_frame("clipped_sprite");
    for (int x : {202, 210, 218}) EXPECT_TRUE(is(f.at(x, 210), 0, 0, 255, 30)) << x;
    EXPECT_TRUE(is(f.at(197, 210), 0, 0, 0));  // outside the box
    for (int x : {231, 238}) EXPECT_TRUE(is(f.at(x, 230), 255, 0, 0, 30)) << x;
    EXPECT_TRUE(is(f.at(242, 230), 0, 0, 0));
    EXPECT_TRUE(is(f.at(235, 242), 0, 0, 0));
    // The same sprite without a clip shows both halves.
    image_draw(half, 500, 200, 0, 0);
    f = rt::read_frame("unclipped_sprite");
    EXPECT_TRUE(is(f.at(505, 210), 255, 0, 0, 30));
    EXPECT_TRUE(is(f.at(535, 210), 0, 0, 255, 30));
}

TEST_F(Draw2D, RectFillUsesTheColourAndLeavesWhite) {
    rect_fill(0x20C040, 50, 600, 30, 20);
    image_draw(image_get("red"), 100, 600, 10, 10);  // still drawn in opaque white
    Frame f = rt::read_frame("rect_fill");
    EXPECT_TRUE(is(f.at(60, 610), 0x20, 0xC0, 0x40, 2));
    EXPECT_TRUE(is(f.at(80, 610), 0, 0, 0, 2));
    EXPECT_TRUE(is(f.at(105, 605), 255, 0, 0, 2));
}

TEST_F(Draw2D, FrameTilesItsMiddleNinthsAndShortensTheLastOne) {
    frame_draw(texture_entry(texture_get("ninths")).gl_name, 400, 300, 110, 70, 20);
    Frame f = rt::read_frame("frame");
    expect_ninths(f, {
        {410, 310, 0, 0}, {430, 310, 1, 0}, {470, 310, 1, 0}, {485, 310, 1, 0},
        {500, 310, 2, 0}, {410, 330, 0, 1}, {410, 345, 0, 1}, {410, 360, 0, 2},
        {450, 330, 1, 1}, {485, 345, 1, 1}, {500, 360, 2, 2}, {450, 360, 1, 2},
    });
    EXPECT_TRUE(is(f.at(511, 310), 0, 0, 0));
    EXPECT_TRUE(is(f.at(450, 371), 0, 0, 0));
}

// A frame shorter or narrower than its two corners shows the outer half of
// each, side by side: drawn over each other, a translucent frame (a button's)
// showed the overlap as a line across its middle.
TEST_F(Draw2D, AFrameSmallerThanItsCornersSplitsThemWithoutOverlap) {
    frame_draw(texture_entry(texture_get("ninths")).gl_name, 600, 300, 30, 26, 20);
    Frame f = rt::read_frame("small_frame");
    expect_ninths(f, {
        {601, 301, 0, 0}, {612, 301, 0, 0}, {601, 311, 0, 0}, {613, 312, 0, 0},
        {616, 301, 2, 0}, {628, 312, 2, 0}, {601, 314, 0, 2}, {612, 324, 0, 2},
        {616, 314, 2, 2}, {628, 324, 2, 2},
    });
    EXPECT_TRUE(is(f.at(631, 310), 0, 0, 0));
    EXPECT_TRUE(is(f.at(610, 327), 0, 0, 0));
}

TEST_F(Draw2D, TextIsDrawnGlyphByGlyphAlignedAndClipped) {
    const int f = font_get("f");
    glyphs_draw(f, "AAAA", 100, 500);
    text_draw(f, "AB", 200, 540, 100, 1);   // right-aligned in 100 units
    text_draw(f, "AB", 200, 560, 100, 0);   // centred
    clip_push(20, 720);
    glyphs_draw(f, "AAAA", 0, 600);         // cut at x = 20
    clip_pop();
    std::string many(300, 'C');              // more glyphs than one draw call holds
    glyphs_draw(f, many.c_str(), 0, 650);
    Frame fr = rt::read_frame("text");
    EXPECT_TRUE(is(fr.at(101, 501), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(131, 515), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(133, 508), 0, 0, 0));
    EXPECT_TRUE(is(fr.at(99, 508), 0, 0, 0));
    EXPECT_TRUE(is(fr.at(283, 548), 0, 0, 0));
    EXPECT_TRUE(is(fr.at(285, 548), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(299, 548), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(241, 568), 0, 0, 0));
    EXPECT_TRUE(is(fr.at(243, 568), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(257, 568), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(19, 608), 255, 255, 255));
    EXPECT_TRUE(is(fr.at(21, 608), 0, 0, 0));
    EXPECT_TRUE(is(fr.at(3 * 280 + 1, 658), 255, 255, 255));  // from the second call
    EXPECT_TRUE(is(fr.at(901, 658), 0, 0, 0));
}

// A line whose left edge or top lands on half a pixel (centred in a width
// one unit wider than the line, or placed at y + 0.5) is moved to the nearest
// whole pixel: its one-pixel stripes come out as crisp as when drawn there, not
// smeared to grey.
TEST_F(Draw2D, TextLinesStartOnWholePixels) {
    const int f = font_get("s");  // glyph 'A' shows eight stripes, 'B' another eight
    glyphs_draw(f, "AB", 301, 100);             // the reference, on whole pixels
    text_draw(f, "AB", 300, 200, 17, 0);        // centred: 300 + (17 - 16) / 2 = 300.5
    text_draw(f, "AB", 301, 300.5f, 0, -1);     // top on half a pixel
    glyphs_draw(f, "AB", 300.5f, 400.5f);       // both
    text_draw(f, "AB", 301.25f, 500, 0, -1);    // a quarter: nearest is 301
    const Frame fr = rt::read_frame("text_whole_pixels");
    // The reference itself: alternating full white and black columns.
    for (int x = 301; x < 317; ++x)
        ASSERT_TRUE(is(fr.at(x, 108), (x - 301) % 2 ? 0 : 255, (x - 301) % 2 ? 0 : 255,
                       (x - 301) % 2 ? 0 : 255, 20))
            << x << ": " << fr.at(x, 108).r;
    for (int top : {200, 301, 401, 500}) {
        for (int x = 296; x < 322; ++x)
            EXPECT_NEAR(fr.at(x, top + 8).r, fr.at(x, 108).r, 20) << "line at " << top << ", x " << x;
        // The rows just above and below the line stay empty, and its first and
        // last rows are whole: no row is shared half and half with the next.
        EXPECT_TRUE(is(fr.at(302, top - 1), 0, 0, 0, 20)) << top;
        EXPECT_TRUE(is(fr.at(301, top), 255, 255, 255, 20)) << top;
        EXPECT_TRUE(is(fr.at(301, top + 15), 255, 255, 255, 20)) << top;
        EXPECT_TRUE(is(fr.at(301, top + 16), 0, 0, 0, 20)) << top;
    }
}

TEST_F(Draw2D, GlyphsAreAddressedByTheFontsOwnRectangle) {
    const int f = font_get("half");
    glyphs_draw(f, "A", 400, 300);
    text_draw(f, "A", 400, 340, 0, -1);
    Frame fr = rt::read_frame("glyph_rect");
    for (int top : {300, 340}) {
        SCOPED_TRACE(top);
        for (int x : {402, 416, 429})
            for (int y : {top + 2, top + 8, top + 13}) EXPECT_TRUE(is(fr.at(x, y), 255, 0, 0)) << x << "," << y;
        EXPECT_TRUE(is(fr.at(433, top + 8), 0, 0, 0));
    }
}

TEST_F(Draw2D, UploadsRgbaInMemoryOrderWithTransparentTexelsZeroed) {
    const int gl = texture_entry(texture_get("holes")).gl_name;
    ASSERT_NE(gl, 0);
    unsigned char px[4 * 4 * 4];
    glBindTexture(GL_TEXTURE_2D, GLuint(gl));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    for (int i = 0; i < 16; ++i) {
        const int x = i % 4, y = i / 4;
        const unsigned char* p = px + i * 4;
        if ((x + y) % 2) {
            EXPECT_EQ(p[0], 0) << i;
            EXPECT_EQ(p[1], 200) << i;
            EXPECT_EQ(p[2], 0) << i;
            EXPECT_EQ(p[3], 255) << i;
        } else {  // was red with alpha 0: every channel cleared
            EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0) << i;
        }
    }
}

TEST_F(Draw2D, AnUploadIsLoggedWithItsPathAndGlName) {
    testing::internal::CaptureStderr();
    const int t = texture_get("logged");
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_GT(t, 0);
    const int gl = texture_entry(t).gl_name;
    ASSERT_NE(gl, 0);
    const std::string path = data_->path() + "/red.tga";
    EXPECT_EQ(log, "trying load tex logged\ndoing load tex logged (" + std::to_string(t) +
                       ")\ndriver_tex_load " + path + "\nloaded " + path + " as " +
                       std::to_string(gl) + "\n");
}

TEST_F(Draw2D, PicturesThatDoNotLoadKeepTheirIndexAndDrawNothing) {
    testing::internal::CaptureStderr();
    const int broken = texture_get("broken");
    const int gone = texture_get("gone");
    const int img = image_get("broken");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_GT(broken, 0);
    EXPECT_GT(gone, 0);
    EXPECT_GT(img, 0);
    EXPECT_EQ(texture_entry(broken).gl_name, 0);
    EXPECT_EQ(texture_entry(gone).gl_name, 0);
    EXPECT_NE(log.find("unable to load " + data_->path() + "/broken.png\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("unable to load " + data_->path() + "/no-such-file.png\n"),
              std::string::npos);
    image_draw(img, 100, 100, 0, 0);
    image_draw(0, 200, 100, 50, 50);  // index 0: nothing either
    Frame f = rt::read_frame("broken");
    EXPECT_TRUE(is(f.at(110, 110), 0, 0, 0, 0));
    EXPECT_TRUE(is(f.at(210, 110), 0, 0, 0, 0));
}

TEST_F(Draw2D, TheWorldPassLeavesNothingBehindForThe2DLayer) {
    std::unique_ptr<game> g(new game());
    g->level.look_x = g->level.look_y = 64;
    for (int i = 0; i < MAP_SIZE * MAP_SIZE; ++i) g->level.map[i] = 0;
    world_draw(*g);
    canvas_begin_2d();
    rect_fill(0x20C040, 50, 600, 30, 20);
    image_draw(image_get("red"), 100, 600, 10, 10);
    text_draw(font_get("f"), "A", 150, 600, 0, -1);
    Frame f = rt::read_frame("after_world");
    EXPECT_TRUE(is(f.at(60, 610), 0x20, 0xC0, 0x40, 2));
    EXPECT_TRUE(is(f.at(105, 605), 255, 0, 0, 2));
    EXPECT_TRUE(is(f.at(154, 608), 255, 255, 255, 2));
    GLboolean normals = GL_TRUE;
    glGetBooleanv(GL_NORMAL_ARRAY, &normals);
    EXPECT_EQ(normals, GL_FALSE);
}

}  // namespace
