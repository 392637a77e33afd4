// Drives the menus headless through the real dispatcher: a temporary per-user
// folder with real user, game and network databases, events into app_event,
// app_frame and the current screen's paint as the main loop calls them, the
// widgets painted into the toolkit's draw recorder.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../ui/test_gfx.h"
#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "screens/level_list.h"
#include "screens/screen.h"
#include "screens/states.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/rewind.h"
#include "world/storage.h"

namespace menutest {

// Every widget of a tree, depth first.
inline void walk(Widget* w, const std::function<void(Widget*)>& f) {
    f(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->children) walk(k, f);
}

inline Label* label_with(Widget* root, const std::string& text) {
    Label* found = nullptr;
    walk(root, [&](Widget* w) {
        Label* l = dynamic_cast<Label*>(w);
        if (!found && l && l->text == text) found = l;
    });
    return found;
}

// A stored level: texts and a small map with a player start.
struct StoredLevel {
    std::string id, name, title, author, uid, intro;
};

struct MenuDriver : ::testing::Test {
    test::TempDir home;
    test::ScopedEnv appdata{"APPDATA", home.path().c_str()};
    uitest::FakeGfx fake;
    std::unique_ptr<game> g{new game()};
    std::string log;  // the error stream of everything sent through the helpers

    void SetUp() override {
        set_data_dir(test::source_data_dir());
        driver().app_name = "Murkwell";  // the per-user folder: $APPDATA/Murkwell
        driver().width = 960;
        driver().height = 720;
        g->settings.music_volume = 50;
        g->settings.effects_volume = 50;
        g->settings.video_mode = -1;
        g->settings.fullscreen = 1;
        set_field(g->settings.user_id, "g:");
        logged([&] {
            _game_tile_init(*g);
            open_level_db(app_handles().user_db, home.file("user.db"));
            open_level_db(app_handles().game_db, home.file("game.db"));
            open_level_db(app_handles().net_db, home.file("net.db"));
            make_states(*g);
            app_wire_rules();
            rewind_store_alloc();
        });
        list_page = 0;
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
        set_rules_hooks(RulesHooks());
        download_list_reset = nullptr;
        WebSlots& w = web_slots();
        for (WebRequest* r : {&w.track, &w.share, &w.download, &w.plays, &w.valid}) *r = WebRequest();
        app_handles().user_db.close();
        app_handles().game_db.close();
        app_handles().net_db.close();
        driver().width = driver().height = 0;
        driver().app_name = "";
        set_data_dir("");
        list_page = 0;
        list_count = 0;
        list_ids.clear();
    }

    template <class F>
    void logged(F&& f) {
        log += test::stderr_of(f);
    }

    void go(int state) {
        logged([&] { set_state(*g, state); });
    }
    void send(Event e) {
        logged([&] { app_event(*g, e); });
    }
    void key(int code, uint32_t unicode = 0) {
        Event e{};
        e.kind = EV_KEYDOWN;
        e.key = uint32_t(code);
        e.unicode = unicode;
        send(e);
        e.kind = EV_KEYUP;
        send(e);
    }
    void type(const std::string& text) {
        for (char c : text) key(0, uint32_t(static_cast<unsigned char>(c)));
    }
    void mouse(int kind, float x, float y, uint32_t button) {
        Event e{};
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.button = button;
        send(e);
    }
    void click_at(float x, float y) {
        mouse(EV_MOUSEMOVE, x, y, 0);
        mouse(EV_MOUSEDOWN, x, y, 1);
        mouse(EV_MOUSEUP, x, y, 1);
    }
    void click(Widget* w) {
        ASSERT_NE(w, nullptr);
        const Rect r = screen_rect(w);
        click_at(r.x + r.w / 2, r.y + r.h / 2);
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

    Screen& screen(int n) { return *static_cast<Screen*>(state_table[n]); }
    Container& root() { return screen(g->state).root; }
    // The label showing text on the current screen (null when none).
    Label* shown(const std::string& text) { return label_with(&root(), text); }
    // Clicks the widget showing text on the current screen, after a frame so
    // that it is laid out where it is painted.
    void press(const std::string& text) {
        frames();
        Label* l = shown(text);
        ASSERT_NE(l, nullptr) << "no \"" << text << "\" on screen " << g->state;
        click(l);
    }
    // The texts the last paint drew, in order.
    std::vector<std::string> drawn() {
        std::vector<std::string> out;
        for (const uitest::Call& c : fake.rec().of("text")) out.push_back(c.text);
        return out;
    }

    // Stores a level as the editor would, in db. The map: a room with the
    // player start and a pillar.
    void store(MyDB& db, const StoredLevel& s) {
        std::unique_ptr<game> scratch(new game());
        logged([&] {
            new_level(*scratch);
            level& lv = scratch->level;
            for (int x = 60; x <= 68; ++x) lv.map[cell_index(x, 62)] = 1;
            lv.map[cell_index(68, 62)] = 7;
            set_field(lv.id, s.id);
            set_field(lv.name, s.name);
            set_field(lv.title, s.title);
            set_field(lv.author, s.author);
            set_field(lv.uid, s.uid);
            set_field(lv.intro, s.intro);
            scratch->edit_level = lv;
            ASSERT_TRUE(logic_save(*scratch, db));
        });
    }
};

}  // namespace menutest
