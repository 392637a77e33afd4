// Shared ground of the rendering tests: a real GL window under a private Xvfb
// with the shipped artwork loaded, levels drawn as text with the shipped tile
// catalogue, and pixels read back from the frame.
//
// Set MURKWELL_SHOT_DIR to a folder to keep every frame read back as a PPM
// picture there (for looking at what the tests see).
#pragma once
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "test_support.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/model.h"

namespace rt {

// Characters for the shipped tile numbers (data/tiles.json).
inline const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {' ', 0},  {'.', 1},  {',', 2},  {'o', 3},  {'@', 4},  {'G', 5},  {'W', 6},  {'P', 7},
        {'L', 9},  {'l', 10}, {'r', 11}, {'v', 12}, {'D', 13}, {'B', 14}, {'E', 15}, {'M', 16},
        {'$', 17}, {'b', 18}, {'u', 19}, {'s', 20}, {'1', 21}, {'2', 22}, {'3', 23}, {'4', 24},
        {'6', 26}, {'7', 27}, {'8', 28}, {'9', 29}, {'#', 32}, {'X', 33}, {'A', 34}, {'c', 35},
    };
    return L;
}

struct Pixel {
    int r = 0, g = 0, b = 0;
    int sum() const { return r + g + b; }
};

// One frame read back, rows top to bottom.
struct Frame {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    Pixel at(int x, int y) const {
        const unsigned char* p = &rgb[size_t((y * w + x) * 3)];
        return Pixel{p[0], p[1], p[2]};
    }
    // Mean colour of the box [x0, x1) x [y0, y1).
    Pixel mean(int x0, int y0, int x1, int y1) const {
        long r = 0, g = 0, b = 0, n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Pixel p = at(x, y);
                r += p.r;
                g += p.g;
                b += p.b;
                ++n;
            }
        return n ? Pixel{int(r / n), int(g / n), int(b / n)} : Pixel{};
    }
};

inline Frame read_frame(const char* shot_name) {
    Frame f;
    f.w = driver().width;
    f.h = driver().height;
    std::vector<unsigned char> up(size_t(f.w * f.h * 3));
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, f.w, f.h, GL_RGB, GL_UNSIGNED_BYTE, up.data());
    f.rgb.resize(up.size());
    for (int y = 0; y < f.h; ++y)
        std::copy(up.begin() + (f.h - 1 - y) * f.w * 3, up.begin() + (f.h - y) * f.w * 3,
                  f.rgb.begin() + y * f.w * 3);
    if (const char* dir = getenv("MURKWELL_SHOT_DIR")) {
        const std::string path = std::string(dir) + "/" + shot_name + ".ppm";
        if (FILE* out = fopen(path.c_str(), "wb")) {
            fprintf(out, "P6\n%d %d\n255\n", f.w, f.h);
            fwrite(f.rgb.data(), 1, f.rgb.size(), out);
            fclose(out);
        }
    }
    return f;
}

// Opens the 960 x 720 GL window (on the display already set up) and loads the
// images and fonts described in `data_dir`, swallowing their log lines.
inline void open_graphics(const std::string& data_dir) {
    set_data_dir(data_dir);
    testing::internal::CaptureStderr();
    SDL_Init(SDL_INIT_VIDEO);
    init_video(960, 720, 0);
    load_graphics();
    canvas() = Canvas();
    load_fonts();
    testing::internal::GetCapturedStderr();
}

inline void close_graphics() {
    graphics_free();
    SDL_Quit();
    set_data_dir("");
}

// A 960 x 720 GL window with the shipped artwork, one per test program.
class Window : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        xvfb_ = new test::Xvfb();
        audio_ = new test::ScopedEnv("SDL_AUDIODRIVER", "dummy");
        if (xvfb_->ok()) open_graphics(test::source_data_dir());
    }
    static void TearDownTestSuite() {
        close_graphics();
        delete audio_;
        delete xvfb_;
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_->ok());
        ASSERT_TRUE(graphics_has_gl());
        ASSERT_EQ(driver().width, 960);
        glViewport(0, 0, 960, 720);
    }
    void clear(float r = 0, float g = 0, float b = 0) {
        glClearColor(r, g, b, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    static test::Xvfb* xvfb_;
    static test::ScopedEnv* audio_;
};
inline test::Xvfb* Window::xvfb_ = nullptr;
inline test::ScopedEnv* Window::audio_ = nullptr;

// A game record with the shipped tile catalogue and a level drawn as text at
// (x0, y0), set up for play (actors spawned, flags built).
inline std::unique_ptr<game> make_game(const std::vector<std::string>& rows, int state,
                                       int x0 = 20, int y0 = 20) {
    std::unique_ptr<game> g(new game());
    testing::internal::CaptureStderr();
    _game_tile_init(*g);
    EXPECT_TRUE(level_from_ascii(g->level, rows, legend(), x0, y0, 0));
    g->edit_level = g->level;
    g->state = state;
    setup_level(*g, 1);
    testing::internal::GetCapturedStderr();
    return g;
}

}  // namespace rt
