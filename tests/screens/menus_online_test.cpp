// The online list against the real level service on 127.0.0.1: the game's own
// HTTP client and reply handling, a murkwell-server process seeded with
// featured levels, and the menus driven through the real dispatcher.
#include <chrono>
#include <thread>

#include "../server/server_process.h"
#include "menu_driver.h"
#include "screens/menu_error.h"
#include "text/text.h"
#include "ui/text_input.h"

using menutest::MenuDriver;
using menutest::walk;

namespace {

struct Online : MenuDriver {
    servertest::ServerProcess* server = nullptr;

    // Frames (as the main loop runs them, a few milliseconds apart) until the
    // condition holds or the bound of every wait passes.
    bool frames_until(const std::function<bool()>& done) {
        const auto t0 = std::chrono::steady_clock::now();
        while (servertest::seconds_since(t0) < servertest::WAIT_SECONDS) {
            frames();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    std::vector<std::vector<std::string>> listed() {
        std::vector<std::vector<std::string>> out;
        ScrollBox2* pair = dynamic_cast<ScrollBox2*>(find(&root(), "entries"));
        if (!pair) return out;
        Table* column = static_cast<Table*>(pair->box->content());
        for (Widget* c : column->children) {
            if (c == column->filler) continue;
            std::vector<std::string> texts;
            walk(c, [&](Widget* w) {
                if (Label* l = dynamic_cast<Label*>(w)) texts.push_back(l->text);
            });
            out.push_back(texts);
        }
        return out;
    }
    void click_entry(int i) {
        ScrollBox2* pair = dynamic_cast<ScrollBox2*>(find(&root(), "entries"));
        ASSERT_NE(pair, nullptr);
        Table* column = static_cast<Table*>(pair->box->content());
        Widget* e = column->children.at(size_t(i) + 1);  // after the filler
        frames();
        const Rect r = screen_rect(e);
        click_at(r.x + 20, r.y + 20);
    }
    int server_lines(const std::string& action) {
        const std::string log_text = server->log();
        int n = 0;
        for (size_t at = log_text.find(" " + action + " "); at != std::string::npos;
             at = log_text.find(" " + action + " ", at + 1))
            ++n;
        return n;
    }
};

TEST_F(Online, CategoryDownloadedListedAndPlayed) {
    // The featured levels the service starts with: two by ann, one by bob.
    const std::string seed = home.file("featured.db");
    {
        MyDB db;
        logged([&] { open_level_db(db, seed); });
        store(db, {"lvA", "lvA", "Atrium", "ann", "g:ann", "Ann's first."});
        store(db, {"lvB", "lvB", "Boathouse", "bob", "g:bob", "Bob's only one."});
        store(db, {"lvC", "lvC", "Chapel", "ann", "g:ann", "Ann's second."});
        db.query("update levels set value = 1 where id = 'lvA'");
        db.query("update levels set value = 2 where id = 'lvB'");
        db.query("update levels set value = 3 where id = 'lvC'");
    }
    servertest::ServerProcess service(home.file(""), {"--seed", seed});
    server = &service;
    ASSERT_TRUE(service.start()) << service.log();
    test::write_file(path_join(user_dir(), "service.txt"),
                     "{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(service.port()) + "}");
    logged([] { web_startup(); });

    // Play: the online list at once (nothing stored yet), then the reply.
    go(STATE_MENU_MAIN);
    press("Play");
    ASSERT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    frames();
    EXPECT_NE(shown("---"), nullptr);
    ASSERT_TRUE(frames_until([&] { return list_count == 3; })) << log;
    EXPECT_EQ(listed(), (std::vector<std::vector<std::string>>{
                            {"ann", "Atrium"}, {"bob", "Boathouse"}, {"ann", "Chapel"}}));
    EXPECT_EQ(field_text(g->level.title), "Atrium");
    EXPECT_EQ(test::sqlite(home.file("net.db"),
                           "select count(*) from levels where q = 'c~featured'"),
              "3\n");

    // More by the author of a level who has no other: only that level.
    click_entry(1);
    EXPECT_EQ(field_text(g->level.title), "Boathouse");
    press("More by");
    EXPECT_EQ(field_text(g->download_query), "u~g:bob");
    ASSERT_TRUE(frames_until([&] { return list_count == 1; })) << log;
    EXPECT_EQ(listed(), (std::vector<std::vector<std::string>>{{"bob", "Boathouse"}}));
    EXPECT_NE(shown("More by bob"), nullptr);

    // Back to a category through the title button; the list is rebuilt with
    // the reply's rows, and Play starts the chosen level.
    press("More by bob");
    ASSERT_EQ(g->state, STATE_MENU_DOWNLOAD1);
    press("Featured");
    ASSERT_EQ(g->state, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(list_count, 3) << "the rows already stored are shown at once";
    const int downloads = server_lines("download");
    ASSERT_TRUE(frames_until([&] { return server_lines("download") > downloads; }));
    frames(3);
    click_entry(2);
    EXPECT_EQ(field_text(g->level.title), "Chapel");
    const int tracks = server_lines("track");
    press("Play");
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_EQ(g->return_state, STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(field_text(g->level.title), "Chapel");
    ASSERT_TRUE(frames_until([&] { return server_lines("track") > tracks; })) << service.log();

    // A sign-in the service refuses opens the dialog with its text; signing in
    // again asks again and the dialog comes back over the same screen.
    go(STATE_MENU_MAIN);
    set_field(g->settings.user, "nobody");
    set_field(g->settings.password, "wrong");
    set_field(g->settings.user_id, "g:nobody");
    api_valid(*g);
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_MENU_ERROR; })) << log;
    EXPECT_EQ(g->error_return_state, STATE_MENU_MAIN);
    frames();
    EXPECT_NE(shown(field_text(g->error_text)), nullptr);
    EXPECT_NE(field_text(g->error_text).find("no account"), std::string::npos) << g->error_text;
    EXPECT_NE(shown("Manage account"), nullptr);
    const int valids = server_lines("valid");
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_MENU_ERROR; })) << log;
    EXPECT_GT(server_lines("valid"), valids);
    EXPECT_EQ(g->error_return_state, STATE_MENU_MAIN);

    logged([] { web_shutdown(); });
    test::write_file(path_join(user_dir(), "service.txt"), "{}");
    logged([] { web_load_service(); });
}

}  // namespace
