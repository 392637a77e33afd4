// A fixture that drives the screens headless as the main loop does: a game
// record with the shipped tile catalogue, the screen table, a real user.db in a
// temporary APPDATA, the widgets painted into the toolkit's draw recorder, and
// helpers that send real Event records through app_event, run app_frame and
// paint the current screen. What the screens print on the error stream is
// collected in `log`.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../ui/test_gfx.h"
#include "core/app.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "screens/screen.h"
#include "screens/states.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/rewind.h"
#include "world/rules.h"
#include "world/storage.h"

namespace test {

struct ScreenDriver : ::testing::Test {
    TempDir home;
    ScopedEnv appdata{"APPDATA", home.path().c_str()};
    ScopedEnv no_display{"DISPLAY", nullptr};  // the clipboard stays inside the process
    uitest::FakeGfx fake;
    std::unique_ptr<game> g{new game()};
    std::string log;  // the error stream of everything sent through the helpers
    float pointer_x = 0, pointer_y = 0;  // where the last pointer event was

    void SetUp() override {
        set_data_dir(source_data_dir());
        // A window of the canvas's size, so window and canvas positions agree.
        driver().width = 960;
        driver().height = 720;
        testing::internal::CaptureStderr();
        _game_tile_init(*g);
        open_level_db(app_handles().user_db, home.file("user.db"));
        testing::internal::GetCapturedStderr();
        make_states(*g);
        app_wire_rules();
        rewind_store_alloc();
        rules_seed(0);
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
        set_rules_hooks(RulesHooks());
        WebSlots& w = web_slots();
        for (WebRequest* r : {&w.track, &w.share, &w.download, &w.plays, &w.valid}) *r = WebRequest();
        app_handles().user_db.close();
        driver().width = driver().height = 0;
        set_data_dir("");
    }

    template <class F>
    void logged(F&& f) {
        log += stderr_of(f);
    }
    void send(Event e) {
        logged([&] { app_event(*g, e); });
    }
    void key_down(int code, uint32_t unicode = 0, uint32_t mods = 0) {
        Event e{};
        e.kind = EV_KEYDOWN;
        e.key = uint32_t(code);
        e.unicode = unicode;
        e.button = mods;
        send(e);
    }
    void key_up(int code) {
        Event e{};
        e.kind = EV_KEYUP;
        e.key = uint32_t(code);
        send(e);
    }
    void key(int code, uint32_t unicode = 0, uint32_t mods = 0) {
        key_down(code, unicode, mods);
        key_up(code);
    }
    void typed(char c) { key(0, static_cast<unsigned char>(c)); }
    void type(const std::string& text) {
        for (char c : text) typed(c);
    }
    // A pointer event at window point (x, y); dx, dy the motion that led there.
    void mouse(int kind, float x, float y, uint32_t button, float dx = 0, float dy = 0) {
        Event e{};
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.dx = dx;
        e.dy = dy;
        e.button = button;
        send(e);
        pointer_x = x;
        pointer_y = y;
    }
    void click(float x, float y) {
        mouse(EV_MOUSEMOVE, x, y, 0);
        mouse(EV_MOUSEDOWN, x, y, 1);
        mouse(EV_MOUSEUP, x, y, 1);
    }
    // A click in the middle of a widget where its last layout put it.
    void click(Widget* w) {
        ASSERT_NE(w, nullptr);
        const Rect r = screen_rect(w);
        click(r.x + r.w / 2, r.y + r.h / 2);
    }
    // One pass of the main loop after the events: update, then paint.
    void frames(int n = 1) {
        logged([&] {
            for (int i = 0; i < n; ++i) {
                app_frame(*g);
                fake.rec().calls.clear();
                if (State* s = current_state(*g)) s->paint();
            }
        });
    }
    // Frames until the condition holds, at most `limit`.
    bool frames_until(const std::function<bool()>& done, int limit = 600) {
        for (int i = 0; i < limit; ++i) {
            if (done()) return true;
            frames();
        }
        return done();
    }

    Screen& screen(int n) { return *static_cast<Screen*>(state_table[n]); }

    // The texts the last paint drew in a font (1 = "font1", 2 = "font2").
    std::vector<uitest::Call> texts(int font) {
        std::vector<uitest::Call> out;
        for (const uitest::Call& c : fake.rec().of("text"))
            if (c.id == font) out.push_back(c);
        return out;
    }
};

}  // namespace test
