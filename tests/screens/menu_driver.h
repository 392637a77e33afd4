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
#include "screen_driver.h"
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

struct MenuDriver : test::ScreenDriver {
    void SetUp() override {
        test::ScreenDriver::SetUp();
        driver().app_name = "Murkwell";  // the per-user folder: $APPDATA/Murkwell
        g->settings.music_volume = 50;
        g->settings.effects_volume = 50;
        g->settings.video_mode = -1;
        g->settings.fullscreen = 1;
        set_field(g->settings.user_id, "g:");
        logged([&] {
            open_level_db(app_handles().game_db, home.file("game.db"));
            open_level_db(app_handles().net_db, home.file("net.db"));
        });
        list_page = 0;
    }
    void TearDown() override {
        download_list_reset = nullptr;
        app_handles().game_db.close();
        app_handles().net_db.close();
        test::ScreenDriver::TearDown();
        driver().app_name = "";
        list_page = 0;
        list_count = 0;
        list_ids.clear();
    }

    void go(int state) {
        logged([&] { set_state(*g, state); });
    }
    void click_at(float x, float y) { click(x, y); }
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
