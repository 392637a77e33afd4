// The menus played through the real dispatcher, headless: the main menu and
// where it leads, the tutorial browser, the settings pages, the credits, the
// error and sign-in dialog, the browser hand-offs, the map list and the online
// list over real SQLite files (hostile rows included).
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "menu_driver.h"
#include "screens/menu_credits.h"
#include "screens/menu_error.h"
#include "screens/menu_main.h"
#include "screens/menu_settings.h"
#include "ui/grid_picker.h"
#include "ui/slider.h"
#include "ui/stars.h"
#include "ui/text_input.h"

using menutest::label_with;
using menutest::MenuDriver;
using menutest::walk;

namespace {

struct Menus : MenuDriver {
    // The entries of the list shown, in order.
    std::vector<VBox*> entries() {
        std::vector<VBox*> out;
        ScrollBox2* pair = dynamic_cast<ScrollBox2*>(find(&root(), "entries"));
        if (!pair || !pair->box) return out;
        Table* column = dynamic_cast<Table*>(pair->box->content());
        for (Widget* c : column->children)
            if (c != column->filler) out.push_back(static_cast<VBox*>(c));
        return out;
    }
    // The texts of an entry, in order.
    static std::vector<std::string> texts(Widget* entry) {
        std::vector<std::string> out;
        walk(entry, [&](Widget* w) {
            if (Label* l = dynamic_cast<Label*>(w)) out.push_back(l->text);
        });
        return out;
    }
    int selected_entry() {
        int found = -1;
        for (VBox* e : entries())
            if (e->selected) found = e->value;
        return found;
    }
    // Scrolls the list so the entry is in view, then clicks it.
    void click_entry(int i) {
        ScrollBox2* pair = dynamic_cast<ScrollBox2*>(find(&root(), "entries"));
        ASSERT_NE(pair, nullptr);
        VBox* e = entries().at(size_t(i));
        pair->box->scroll_y = e->y;
        pair->box->clamp_scroll();
        frames();
        const Rect r = screen_rect(e);
        click_at(r.x + 20, r.y + 20);
    }
    bool has_button(const std::string& text) { return shown(text) != nullptr; }
};

TEST_F(Menus, FreshStartOpensTheMainMenuAndEveryScreenIsReachable) {
    go(app_start_state(0));
    ASSERT_EQ(g->state, STATE_MENU_MAIN);
    frames();
    for (const char* b : {"Tutorial", "Play", "Build", "Settings", "Your Stats", "Quit"})
        EXPECT_TRUE(has_button(b)) << b;

    // Each way out of the main menu, and Escape back.
    struct Way {
        const char* press;
        int state;
    };
    const Way ways[] = {
        {"Tutorial", STATE_MENU_PLAY},   {"Build", STATE_MENU_EDIT},
        {"Settings", STATE_MENU_SETTINGS}, {MAIN_CREDIT_NOTICE, STATE_MENU_CREDITS},
        {"Play", STATE_MENU_DOWNLOAD2},
    };
    for (const Way& w : ways) {
        press(w.press);
        EXPECT_EQ(g->state, w.state) << w.press;
        key(KEY_ESCAPE);
        EXPECT_EQ(g->state, STATE_MENU_MAIN) << "Escape from " << w.state;
    }
    // Play asked for the featured levels.
    EXPECT_EQ(field_text(g->download_query), "c~featured");
    EXPECT_EQ(field_text(g->download_title), "Featured");
    EXPECT_NE(web_slots().download.path.find("&_action=download&q=c%7efeatured"), std::string::npos)
        << web_slots().download.path;

    // The categories behind the online list's title, and back with Escape.
    press("Play");
    press("Featured");
    EXPECT_EQ(g->state, STATE_MENU_DOWNLOAD1);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    key(KEY_ESCAPE);

    EXPECT_EQ(g->quit, 0);
    press("Quit");
    EXPECT_EQ(g->quit, 1);
}

TEST_F(Menus, TutorialBrowserPagesWrapAndStartPlay) {
    MyDB& db = app_handles().game_db;
    // Stored out of order, with a level that is no tutorial.
    store(db, {"id3", "t03", "Third", "", "", "The third."});
    store(db, {"idx", "x01", "Not a tutorial", "", "", ""});
    store(db, {"id1", "t01", "First", "", "", "The first."});
    store(db, {"id2", "t02", "Second", "", "", "The second."});

    go(STATE_MENU_MAIN);
    press("Tutorial");
    ASSERT_EQ(g->state, STATE_MENU_PLAY);
    EXPECT_EQ(list_count, 3);

    struct Step {
        int key;              // 0: press the button named
        const char* button;
        const char* title;    // shown afterwards
        bool next, previous;  // buttons offered afterwards
    };
    const Step steps[] = {
        {0, nullptr, "First", true, false},
        {0, "Next", "Second", true, true},
        {0, "Next", "Third", false, true},
        {KEY_RIGHT, nullptr, "First", true, false},  // wraps forwards
        {KEY_LEFT, nullptr, "Third", false, true},   // and backwards
        {KEY_LEFT, nullptr, "Second", true, true},
        {0, "Previous", "First", true, false},
    };
    for (const Step& s : steps) {
        if (s.key) key(s.key);
        if (s.button) press(s.button);
        frames();
        SCOPED_TRACE(s.title);
        EXPECT_EQ(field_text(g->level.title), s.title);
        EXPECT_NE(shown(s.title), nullptr);
        EXPECT_EQ(has_button("Next"), s.next);
        EXPECT_EQ(has_button("Previous"), s.previous);
        EXPECT_TRUE(has_button("Play"));
    }

    // The preview is held at zoom 50 and turns a degree a frame.
    const float angle = g->level.cam_angle;
    frames(3);
    EXPECT_FLOAT_EQ(g->level.cam_dist, 50);
    EXPECT_FLOAT_EQ(g->level.zoom_target, 50);
    EXPECT_FLOAT_EQ(g->level.cam_angle, std::fmod(angle + 3, 360.0f));

    // A list page left large by another list wraps at enter.
    list_page = 7;
    go(STATE_MENU_PLAY);
    EXPECT_EQ(list_page, 1);
    EXPECT_EQ(field_text(g->level.title), "Second");

    press("Play");
    EXPECT_EQ(g->return_state, STATE_MENU_PLAY);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO) << "a fresh attempt starts with the intro";
    EXPECT_EQ(field_text(g->level.title), "Second");
    const std::string& track = web_slots().track.path;
    EXPECT_NE(track.find("&_action=track&page=level&category=t02&action=start&value=0"),
              std::string::npos)
        << track;
}

TEST_F(Menus, TutorialBrowserWithoutLevels) {
    go(STATE_MENU_PLAY);
    frames();
    EXPECT_NE(shown("No levels found."), nullptr);
    EXPECT_FALSE(has_button("Play"));
    EXPECT_FALSE(has_button("Next"));
    EXPECT_FALSE(has_button("Previous"));
    for (int k : {KEY_RIGHT, KEY_LEFT, KEY_ENTER}) key(k);
    EXPECT_EQ(g->state, STATE_MENU_PLAY);
    EXPECT_EQ(web_slots().track.path, "/");
    press("Menu");
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
}

TEST_F(Menus, SettingsPagesStoreTheirFields) {
    // Every mode the display is asked for is refused: nothing opens headless.
    set_video_attempt([](int, int, int) -> SDL_Surface* { return nullptr; });
    go(STATE_MENU_MAIN);
    press("Settings");
    ASSERT_EQ(settings_page, 0);
    frames();
    EXPECT_FALSE(has_button("Previous"));

    // The music slider reports every move; the effects slider only its release.
    NumSlider* music = dynamic_cast<NumSlider*>(find(&root(), "music"));
    NumSlider* sfx = dynamic_cast<NumSlider*>(find(&root(), "sfx"));
    ASSERT_TRUE(music && sfx);
    EXPECT_EQ(music->value, 50);
    Rect r = screen_rect(music);
    mouse(EV_MOUSEMOVE, r.x + r.w * 0.2f, r.y + r.h / 2, 0);
    mouse(EV_MOUSEDOWN, r.x + r.w * 0.2f, r.y + r.h / 2, 1);
    EXPECT_LT(g->settings.music_volume, 30);
    EXPECT_EQ(g->settings.music_volume, music->value);
    mouse(EV_MOUSEUP, r.x + r.w * 0.2f, r.y + r.h / 2, 1);
    r = screen_rect(sfx);
    mouse(EV_MOUSEMOVE, r.x + r.w * 0.7f, r.y + r.h / 2, 0);
    mouse(EV_MOUSEDOWN, r.x + r.w * 0.7f, r.y + r.h / 2, 1);
    EXPECT_EQ(g->settings.effects_volume, 50) << "not stored before the release";
    mouse(EV_MOUSEUP, r.x + r.w * 0.7f, r.y + r.h / 2, 1);
    EXPECT_GT(g->settings.effects_volume, 60);
    EXPECT_EQ(g->settings.effects_volume, sfx->value);

    // Page 1: the keyboard starts in the name field; Tab goes to the password.
    press("Next");
    ASSERT_EQ(settings_page, 1);
    TextInput* name = dynamic_cast<TextInput*>(find(&root(), "name"));
    TextInput* passwd = dynamic_cast<TextInput*>(find(&root(), "passwd"));
    ASSERT_TRUE(name && passwd);
    EXPECT_TRUE(name->focused);
    EXPECT_TRUE(passwd->password);
    type("ann");
    key(KEY_TAB);
    EXPECT_TRUE(passwd->focused);
    type("pw 1");
    press("Next");
    ASSERT_EQ(settings_page, 2);
    EXPECT_EQ(field_text(g->settings.user), "ann");
    EXPECT_EQ(field_text(g->settings.password), "pw 1");
    EXPECT_EQ(field_text(g->settings.user_id), "g:ann");
    press("Previous");
    ASSERT_EQ(settings_page, 1);
    EXPECT_STREQ(find(&root(), "name")->get_value_s(), "ann");
    EXPECT_STREQ(find(&root(), "passwd")->get_value_s(), "pw 1");
    press("Next");

    // Page 2: the resolutions in order, the stored one chosen.
    GridPicker* vres = dynamic_cast<GridPicker*>(find(&root(), "vres"));
    ASSERT_NE(vres, nullptr);
    std::vector<std::string> choices;
    for (Widget* c : vres->children)
        if (c != vres->filler) choices.push_back(static_cast<Label*>(static_cast<Box*>(c)->child())->text);
    EXPECT_EQ(choices, (std::vector<std::string>{"Auto", "1280x720", "1024x768", "960x640", "480x320"}));
    EXPECT_EQ(vres->value, -1);
    EXPECT_FALSE(has_button("Next"));

    struct Choice {
        const char* press;
        int mode, fullscreen;
    };
    const Choice picks[] = {
        {"1024x768", 4195072, 1}, {"Off", 4195072, -1}, {"Auto", -1, -1}, {"On", -1, 1},
        {"480x320", 480 * 4096 + 320, 1},
    };
    for (const Choice& c : picks) {
        log.clear();
        press(c.press);
        EXPECT_EQ(g->settings.video_mode, c.mode) << c.press;
        EXPECT_EQ(g->settings.fullscreen, c.fullscreen) << c.press;
        EXPECT_NE(log.find("init_video: "), std::string::npos) << "the mode is opened again";
        EXPECT_EQ(settings_page, 2);
        EXPECT_EQ(dynamic_cast<GridPicker*>(find(&root(), "vres"))->value, c.mode);
    }
    set_video_attempt(nullptr);

    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    EXPECT_EQ(settings_page, 0);
    press("Settings");
    EXPECT_EQ(settings_page, 0) << "the settings open at their first page again";
}

TEST_F(Menus, VideoChoicesOfTheDisplay) {
    struct Case {
        std::vector<VideoSize> reported;
        std::vector<std::string> added;
    };
    std::vector<VideoSize> many;
    for (int i = 0; i < 40; ++i) many.push_back({1000 + i, 700});
    std::vector<std::string> twenty;
    for (int i = 0; i < 20; ++i) twenty.push_back(std::to_string(1000 + i) + "x700");
    const Case cases[] = {
        {{}, {}},
        // Too small, already offered, repeated, beyond the stored value's room.
        {{{1920, 1080}, {640, 480}, {320, 240}, {1024, 768}, {1920, 1080}, {479, 600}, {800, 319},
          {5000, 3000}},
         {"1920x1080", "640x480"}},
        {many, twenty},
    };
    for (const Case& c : cases) {
        const std::vector<VideoChoice> v = video_choices(c.reported);
        ASSERT_GE(v.size(), 5u);
        EXPECT_EQ(v[0].text, "Auto");
        EXPECT_EQ(v[0].value, -1);
        EXPECT_EQ(v[2].value, 4195072);
        std::vector<std::string> added;
        for (size_t i = 5; i < v.size(); ++i) {
            added.push_back(v[i].text);
            const int w = v[i].value / 4096, h = v[i].value % 4096;
            EXPECT_EQ(v[i].text, std::to_string(w) + "x" + std::to_string(h));
        }
        EXPECT_EQ(added, c.added);
        EXPECT_LE(v.size(), 25u);
    }
}

TEST_F(Menus, CreditsScrollAwayByThemselves) {
    for (const char* line : credit_lines) ASSERT_NE(line, nullptr);
    EXPECT_STREQ(credit_lines[0], "Murkwell");
    EXPECT_STREQ(credit_lines[1], "1.0.3-Desktop-Win32-VANTORR");
    for (const char* heading : {"Thanks", "Beta Testers", "Libs", "Artwork", "Fonts"})
        EXPECT_TRUE(std::any_of(std::begin(credit_lines), std::end(credit_lines),
                                [&](const char* l) { return std::string(l) == heading; }))
            << heading;

    for (int state : {STATE_MENU_CREDITS, STATE_MENU_HELP}) {
        go(STATE_MENU_MAIN);
        if (state == STATE_MENU_CREDITS)
            press(MAIN_CREDIT_NOTICE);
        else
            go(state);
        ASSERT_EQ(g->state, state);
        Table* text = dynamic_cast<Table*>(find(&root(), "text"));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->y, 720);
        EXPECT_EQ(int(text->children.size()), CREDIT_LINES + 1);  // and the filler
        const int height = text->h;
        ASSERT_GT(height, 37 * 20);
        // Two units a frame; it leaves on the frame its bottom edge passes the top.
        const int last = (720 + height) / 2 + 1;
        int n = 0;
        while (g->state == state && n < 5000) {
            ++n;
            frames();
            if (g->state == state) {
                EXPECT_EQ(text->y, 720 - 2 * n);
                EXPECT_GE(text->y + text->h, 0) << "still on screen at frame " << n;
            }
        }
        EXPECT_EQ(n, last);
        EXPECT_EQ(g->state, STATE_MENU_MAIN);
    }

    // Escape, a click, and a key that is not Escape.
    go(STATE_MENU_CREDITS);
    key(KEY_A);
    EXPECT_EQ(g->state, STATE_MENU_CREDITS);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    go(STATE_MENU_CREDITS);
    mouse(EV_MOUSEDOWN, 400, 400, 1);
    EXPECT_EQ(g->state, STATE_MENU_CREDITS);
    mouse(EV_MOUSEUP, 400, 400, 1);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
}

TEST_F(Menus, ErrorDialogSignsInOverTheScreenUnderneath) {
    // Without a user name: no error text, "Create account", the name field first.
    go(STATE_MENU_MAIN);
    set_field(g->error_text, "E01: Something went wrong.");
    logged([&] { open_error_screen(*g); });
    ASSERT_EQ(g->state, STATE_MENU_ERROR);
    EXPECT_EQ(g->error_return_state, STATE_MENU_MAIN);
    frames();
    EXPECT_EQ(shown("E01: Something went wrong."), nullptr);
    EXPECT_NE(shown("Create account"), nullptr);
    EXPECT_EQ(shown("Manage account"), nullptr);
    // The main menu is painted first, the dialog over it.
    const std::vector<std::string> d = drawn();
    const auto under = std::find(d.begin(), d.end(), "Tutorial");
    const auto over = std::find(d.begin(), d.end(), "Sign In");
    ASSERT_NE(under, d.end());
    ASSERT_NE(over, d.end());
    EXPECT_LT(under - d.begin(), over - d.begin());
    TextInput* name = dynamic_cast<TextInput*>(find(&root(), "name"));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->focused);

    // Typing an account and Return signs in: stored, validated, back underneath.
    type("bob");
    key(KEY_TAB);
    type("secret");
    key(KEY_ENTER);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    EXPECT_EQ(field_text(g->settings.user), "bob");
    EXPECT_EQ(field_text(g->settings.password), "secret");
    EXPECT_EQ(field_text(g->settings.user_id), "g:bob");
    EXPECT_NE(web_slots().valid.path.find("&_uid=g%3abob&_name=bob&"), std::string::npos)
        << web_slots().valid.path;

    // With a user name: the service's text, "Manage account", the password
    // field first. A second error while it is shown keeps the screen it
    // returns to and shows the new text.
    go(STATE_MENU_PLAY);
    set_field(g->error_text, "E02: Wrong password.");
    logged([&] { open_error_screen(*g); });
    frames();
    EXPECT_NE(shown("E02: Wrong password."), nullptr);
    EXPECT_NE(shown("Manage account"), nullptr);
    EXPECT_TRUE(dynamic_cast<TextInput*>(find(&root(), "passwd"))->focused);
    type("x");
    set_field(g->error_text, "E03: Still wrong.");
    logged([&] { open_error_screen(*g); });
    EXPECT_EQ(g->state, STATE_MENU_ERROR);
    EXPECT_EQ(g->error_return_state, STATE_MENU_PLAY);
    frames();
    EXPECT_NE(shown("E03: Still wrong."), nullptr);
    EXPECT_EQ(field_text(g->settings.password), "x") << "what was typed is kept";
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_PLAY);

    // A run that ends on the dialog resumes on the screen underneath.
    logged([&] { open_error_screen(*g); });
    state_table[STATE_MENU_ERROR]->leave();
    EXPECT_EQ(g->state, STATE_MENU_PLAY);

    // A damaged record naming the dialog as its own screen underneath.
    g->error_return_state = STATE_MENU_ERROR;
    go(STATE_MENU_ERROR);
    frames(2);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
}

TEST_F(Menus, BrowserGetsTheAddressAsOneArgument) {
    // A stand-in browser that writes each argument on a line, then their count.
    const std::string bin = home.file("bin");
    mkdir(bin.c_str(), 0700);
    const std::string out = home.file("browser.txt");
    test::write_file(bin + "/xdg-open",
                     "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$BROWSER_OUT.tmp\"\n"
                     "echo $# >> \"$BROWSER_OUT.tmp\"\nmv \"$BROWSER_OUT.tmp\" \"$BROWSER_OUT\"\n");
    chmod((bin + "/xdg-open").c_str(), 0700);
    const std::string path = bin + ":" + (getenv("PATH") ? getenv("PATH") : "");
    test::ScopedEnv env_path("PATH", path.c_str());
    test::ScopedEnv env_out("BROWSER_OUT", out.c_str());
    test::write_file(path_join(user_dir(), "service.txt"), "{\"host\": \"127.0.0.1\", \"port\": 16999}");
    logged([] { web_load_service(); });

    const std::string user = "a b;$(touch PWNED)'\"&x`id`";
    set_field(g->settings.user, user);
    set_field(g->settings.user_id, "g:" + user);
    const std::string encoded = "a%20b%3b%24%28touch%20PWNED%29%27%22%26x%60id%60";
    const auto opened = [&]() -> std::string {
        for (int i = 0; i < 3000 && !test::file_exists(out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string text = test::read_file(out);
        std::remove(out.c_str());
        return text;
    };

    go(STATE_MENU_MAIN);
    press("Your Stats");
    EXPECT_EQ(opened(), "http://127.0.0.1:16999/murkwell/stats.php?uid=g%3a" + encoded + "\n1\n");

    set_field(g->error_text, "E04");
    logged([&] { open_error_screen(*g); });
    press("Manage account");
    EXPECT_EQ(g->state, STATE_MENU_ERROR) << "the dialog stays";
    EXPECT_EQ(opened(), "http://127.0.0.1:16999/murkwell/manage.php?name=" + encoded + "\n1\n");
    EXPECT_FALSE(test::file_exists("PWNED"));
    EXPECT_FALSE(test::file_exists(home.file("PWNED")));
    // Back to no service at all, as the other tests have it.
    test::write_file(path_join(user_dir(), "service.txt"), "{}");
    logged([] { web_load_service(); });
    EXPECT_EQ(web_service().host, "");
}

TEST_F(Menus, MapListNewEditPlayAndDelete) {
    // No maps: "---", and the editor's buttons still work on a blank map.
    go(STATE_MENU_EDIT);
    frames();
    EXPECT_NE(shown("---"), nullptr);
    EXPECT_TRUE(entries().empty());
    // A history left by another map (a state.dat of an earlier session) is not
    // carried into the map opened or made here.
    const auto leave_history = [&] {
        g->undo_pos = 3;
        for (int i = 0; i < 3; ++i) g->undo_ring[i] = UndoStep{i, 50, 50, 0, 1};
    };
    leave_history();
    press("Edit");
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(g->undo_ring[2].seq, 0);
    EXPECT_EQ(g->level.map[cell_index(64, 64)], 4) << "a new empty map";
    EXPECT_EQ(g->edit_level.map[cell_index(64, 64)], 4);
    go(STATE_MENU_EDIT);
    leave_history();
    press("New");
    EXPECT_EQ(g->state, STATE_EDIT_INFO);
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(g->level.unbeaten, 1);
    EXPECT_EQ(list_page, 0);

    // Three maps, newest first; one deleted before and one downloaded stay out.
    MyDB& db = app_handles().user_db;
    store(db, {"a", "a", "Map A", "me", "g:me", "Intro A"});
    store(db, {"b", "b", "Map B", "me", "g:me", "Intro B"});
    store(db, {"c", "c", "Map C", "me", "g:me", "Intro C"});
    store(db, {"d", "d", "Gone", "me", "g:me", ""});
    store(db, {"e", "e", "Elsewhere", "me", "g:me", ""});
    db.query("update levels set ts = 86400 * 100 where id = 'a'");
    db.query("update levels set ts = 86400 * 300 where id = 'b'");
    db.query("update levels set ts = 86400 * 200 where id = 'c'");
    db.query("update levels set q = 'deleted' where id = 'd'");
    db.query("update levels set q = 'c~newest' where id = 'e'");

    test::ScopedEnv tz("TZ", "UTC");
    tzset();
    go(STATE_MENU_EDIT);
    frames();
    std::vector<std::vector<std::string>> listed;
    for (VBox* e : entries()) listed.push_back(texts(e));
    EXPECT_EQ(listed, (std::vector<std::vector<std::string>>{
                          {"Map B", "10/28/1970"}, {"Map C", "7/20/1970"}, {"Map A", "4/11/1970"}}));
    EXPECT_EQ(selected_entry(), 0);
    EXPECT_EQ(field_text(g->level.title), "Map B");

    // Choosing an entry loads it and shows its panel; the arrows change nothing.
    click_entry(2);
    EXPECT_EQ(list_page, 2);
    EXPECT_EQ(selected_entry(), 2);
    EXPECT_EQ(field_text(g->level.title), "Map A");
    Widget* lev = find(&root(), "lev");
    ASSERT_NE(lev, nullptr);
    EXPECT_NE(label_with(lev, "Map A"), nullptr);
    EXPECT_NE(label_with(lev, "4/11/1970"), nullptr);
    EXPECT_NE(label_with(lev, "Intro A"), nullptr);
    EXPECT_EQ(find(&root(), "bts"), nullptr) << "no author cards on the map list";
    int panels = 0;
    for (Widget* c : root().children) panels += c->name == "lev";
    EXPECT_EQ(panels, 1);
    for (int k : {KEY_LEFT, KEY_RIGHT, KEY_LEFT}) key(k);
    EXPECT_EQ(list_page, 2);
    EXPECT_EQ(field_text(g->level.title), "Map A");

    // Edit opens the chosen map; the list reopens at its first entry.
    press("Edit");
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_EQ(field_text(g->level.title), "Map A");
    EXPECT_EQ(list_page, 0);

    // A page beyond the end wraps.
    list_page = 7;
    go(STATE_MENU_EDIT);
    EXPECT_EQ(list_page, 1);
    EXPECT_EQ(field_text(g->level.title), "Map C");

    press("Play");
    EXPECT_EQ(g->return_state, STATE_MENU_EDIT);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_NE(web_slots().track.path.find("&category=c&action=start"), std::string::npos);

    // Delete asks first; Cancel and Escape keep everything.
    go(STATE_MENU_EDIT);
    press("Delete");
    ASSERT_NE(find(&root(), "dialog"), nullptr);
    frames();
    EXPECT_NE(shown("Are you sure you want to delete this map?"), nullptr);
    press("Cancel");
    EXPECT_EQ(find(&root(), "dialog"), nullptr);
    press("Delete");
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_EDIT);
    EXPECT_EQ(find(&root(), "dialog"), nullptr);

    // Deleting marks the row; the list shrinks.
    click_entry(1);
    press("Delete");
    frames();
    Label* confirm = nullptr;
    walk(find(&root(), "dialog"), [&](Widget* w) {
        Label* l = dynamic_cast<Label*>(w);
        if (l && l->text == "Delete") confirm = l;
    });
    click(confirm);
    EXPECT_EQ(list_count, 2);
    EXPECT_EQ(list_page, 0);
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select id, q from levels where id in ('c', 'd') order by id"),
              "c|deleted\nd|deleted\n");
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select count(*) from levels"), "5\n");

    // Deleting the rest empties the list.
    for (int i = 0; i < 2; ++i) {
        press("Delete");
        frames();
        walk(find(&root(), "dialog"), [&](Widget* w) {
            Label* l = dynamic_cast<Label*>(w);
            if (l && l->text == "Delete") confirm = l;
        });
        click(confirm);
    }
    EXPECT_EQ(list_count, 0);
    frames();
    EXPECT_NE(shown("---"), nullptr);
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select count(*) from levels where q = 'deleted'"), "4\n");
}

TEST_F(Menus, OnlineListQueriesAndSelection) {
    MyDB& db = app_handles().net_db;
    const char* q = "c~newest";
    store(db, {"c~newest|1", "11", "One", "ann", "g:ann", "First shared."});
    store(db, {"c~newest|2", "12", "Two", "bob", "g:bob", "Second shared."});
    store(db, {"c~newest|3", "13", "Three", "ann", "g:ann", ""});
    store(db, {"c~popular|1", "11", "One", "ann", "g:ann", ""});
    db.query("update levels set q = substr(id, 1, instr(id, '|') - 1)");
    db.query("update levels set value = 3 - cast(name as int) % 10, stars = '4.5', skulls = '1'");

    go(STATE_MENU_MAIN);
    press("Play");
    press("Featured");
    press("Newest");
    ASSERT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(field_text(g->download_query), q);
    EXPECT_NE(web_slots().download.path.find("&q=c%7enewest"), std::string::npos);
    frames();
    std::vector<std::vector<std::string>> listed;
    for (VBox* e : entries()) listed.push_back(texts(e));
    EXPECT_EQ(listed, (std::vector<std::vector<std::string>>{{"ann", "Three"}, {"bob", "Two"}, {"ann", "One"}}));
    int stars = 0;
    walk(&root(), [&](Widget* w) {
        if (Stars* s = dynamic_cast<Stars*>(w)) {
            EXPECT_TRUE(s->disabled);
            stars += s->value == 4.5f || s->value == 1.0f;
        }
    });
    EXPECT_EQ(stars, 6);
    EXPECT_TRUE(has_button("Newest")) << "the title button";
    EXPECT_NE(label_with(find(&root(), "lev"), "Three"), nullptr);
    EXPECT_NE(label_with(find(&root(), "bts"), "ann's"), nullptr);

    click_entry(1);
    EXPECT_EQ(list_page, 1);
    EXPECT_EQ(field_text(g->level.title), "Two");
    EXPECT_NE(label_with(find(&root(), "lev"), "bob"), nullptr);
    int cards = 0;
    for (Widget* c : root().children) cards += c->name == "bts";
    EXPECT_EQ(cards, 1) << "the cards of the level shown before are gone";
    for (int k : {KEY_RIGHT, KEY_LEFT, KEY_RIGHT}) key(k);
    EXPECT_EQ(list_page, 1);

    // A reply stored while the list is shown replaces its rows and re-enters
    // it at its first entry.
    {
        MyDB reply;
        logged([&] { open_level_db(reply, home.file("reply.db")); });
        store(reply, {"7", "7", "Seven", "bob", "g:bob", ""});
        store(reply, {"8", "8", "Eight", "cy", "g:cy", ""});
        reply.query("update levels set value = cast(id as int)");
    }
    const std::string body = test::read_file(home.file("reply.db"));
    logged([&] { store_download(*g, body.data(), body.size(), body.size()); });
    EXPECT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(list_page, 0);
    listed.clear();
    for (VBox* e : entries()) listed.push_back(texts(e));
    EXPECT_EQ(listed, (std::vector<std::vector<std::string>>{{"bob", "Seven"}, {"cy", "Eight"}}));

    // The author's lists.
    click_entry(0);
    press("More by");
    EXPECT_EQ(field_text(g->download_query), "u~g:bob");
    EXPECT_EQ(field_text(g->download_title), "More by bob");
    EXPECT_NE(web_slots().download.path.find("&q=u%7eg%3abob"), std::string::npos);
    EXPECT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    frames();
    EXPECT_NE(shown("---"), nullptr) << "nothing stored for it yet";
    EXPECT_TRUE(has_button("More by bob"));
    go(STATE_MENU_DOWNLOAD1);
    press("Newest");
    press("bob's");
    EXPECT_EQ(field_text(g->download_query), "f~g:bob");
    EXPECT_EQ(field_text(g->download_title), "bob's Favorites");

    // Refresh asks again for the same query.
    web_slots().download = WebRequest();
    press("Refresh");
    EXPECT_NE(web_slots().download.path.find("&q=f%7eg%3abob"), std::string::npos);

    // Play from the list.
    set_field(g->download_query, q);
    go(STATE_MENU_DOWNLOAD2);
    click_entry(1);
    press("Play");
    EXPECT_EQ(g->return_state, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_EQ(field_text(g->level.title), "Eight");
    EXPECT_NE(web_slots().track.path.find("&category=8&action=start"), std::string::npos);
}

TEST_F(Menus, HostileRowsAreListedCutToTheirFields) {
    MyDB& db = app_handles().net_db;
    const std::string q = "c~popular";
    const std::string huge(100000, 'A');
    const std::string binary("bin\0ary\x01\x02\n\t\xff", 12);
    const char* ratings[] = {"NaN", "9e99", "-3", "2.5", "abc", "", "inf", "1e-300", "4"};
    const char* times[] = {"4611686018427387904", "-4611686018427387904", "soon", "1700000000",
                           "9e99", "", "-1", "1e15", "0"};
    logged([&] {
        db.query("begin");
        for (int i = 0; i < 5000; ++i) {
            const int k = i % 9;
            const std::string title = k == 0 ? huge : k == 1 ? binary : "Level " + std::to_string(i);
            const std::string author = k == 2 ? std::string(5000, 'B') : k == 3 ? binary : "by" + std::to_string(i);
            // Every third row holds a map that does not decompress.
            const std::string data = i % 3 ? std::string() : std::string("\x78\x9c garbage", 10);
            db.query("insert into levels (id,name,data,ts,author,title,q,uid,stars,skulls,intro,value) "
                     "values (?,?,?,?,?,?,?,?,?,?,?,?)",
                     {q + "|" + std::to_string(i), std::to_string(i), data, times[k], author, title, q,
                      "g:u", ratings[k], ratings[8 - k], binary, std::to_string(i)});
        }
        db.query("commit");
    });
    set_field(g->download_query, q);
    go(STATE_MENU_DOWNLOAD2);
    ASSERT_EQ(list_count, 5000);
    frames();
    const std::vector<VBox*> all = entries();
    ASSERT_EQ(all.size(), 5000u);
    for (VBox* e : all) {
        walk(e, [&](Widget* w) {
            if (Label* l = dynamic_cast<Label*>(w)) {
                EXPECT_LE(l->text.size(), 63u);
                for (char c : l->text) ASSERT_GE(static_cast<unsigned char>(c), 32) << l->text;
            }
            if (Stars* s = dynamic_cast<Stars*>(w)) {
                ASSERT_TRUE(s->value >= 0 && s->value <= 5) << s->value;
            }
        });
    }
    EXPECT_EQ(texts(all[0])[1], std::string(63, 'A'));
    EXPECT_EQ(texts(all[1])[1], "bin");
    EXPECT_EQ(texts(all[2])[0], std::string(31, 'B'));
    EXPECT_EQ(texts(all[3])[0], "bin");
    // Entries far down the list are laid out and answer like the first ones.
    EXPECT_GT(all[4999]->y, all[4998]->y);
    for (int i : {4321, 1025, 4999, 0}) {
        click_entry(i);
        EXPECT_EQ(list_page, i);
        EXPECT_EQ(selected_entry(), i);
    }
    // The wheel scrolls the list and the bar follows.
    ScrollBox2* pair = dynamic_cast<ScrollBox2*>(find(&root(), "entries"));
    const int before = pair->box->scroll_y;
    Event w{};
    w.kind = EV_WHEEL;
    w.x = 100;
    w.y = 300;
    w.dy = 1;
    send(w);
    frames();
    EXPECT_EQ(pair->box->scroll_y, before + 30);
    EXPECT_EQ(pair->bar->value, before + 30);
}

TEST_F(Menus, ListTextsFromAnyColumn) {
    test::ScopedEnv tz("TZ", "UTC");
    tzset();
    struct Case {
        const char* in;
        std::string date;
        float rating;
    };
    const Case cases[] = {
        {"0", "1/1/1970", 0},
        {"1700000000", "11/14/2023", 5},
        {"2.5", "1/1/1970", 2.5f},
        {"-86400", "12/31/1969", 0},
        {"NaN", "", 0},
        {"inf", "", 0},
        {"9e99", "", 5},
        {"4611686018427387904", "", 5},
        {"abc", "", 0},
        {"", "", 0},
        {"253402300799", "12/31/9999", 5},   // the last second of a four-digit year
        {"253402300800", "", 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list_date(c.in), c.date) << c.in;
        EXPECT_EQ(list_rating(c.in), c.rating) << c.in;
    }
    EXPECT_EQ(list_text(std::string("ab\0cd", 5), 63), "ab");
    EXPECT_EQ(list_text("a\nb\tc\x7f", 63), "a b c ");
    EXPECT_EQ(list_text(std::string(100, 'x'), 31), std::string(31, 'x'));
    EXPECT_EQ(list_text("\xc3\xa9t\xc3\xa9", 63), "\xc3\xa9t\xc3\xa9") << "bytes above 127 are the font's";
}

}  // namespace
