// The level service end to end: the game's own client code (the net/ module,
// logic_load) against a real murkwell-server process on 127.0.0.1 with a
// temporary database. Accounts are made through the account page, maps shared,
// listed, loaded back and rated; refused requests store nothing (checked with
// the sqlite3 shell); the pages are checked with Python's html.parser.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "server/service.h"
#include "server_process.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

using servertest::ServerProcess;
using test::run;
using test::sqlite;

// A screen that only counts; the error screen returns to error_return_state
// when left, as the real one does.
class Recorder : public State {
public:
    Recorder(game* g, int number) : State(g), number(number) {}
    void enter() override { ++enters; }
    void leave() override {
        if (number == STATE_MENU_ERROR) g->state = g->error_return_state;
    }
    int number;
    int enters = 0;
};

// Checks a page with Python's html.parser: prints "errors:" (doctype missing,
// an end tag that closes nothing open, elements left open), "tags:" (every
// start tag seen) and "text:" (the character data, entities decoded). Reading
// the file as UTF-8 fails on any byte that is not.
const char* const HTML_CHECK = R"PY(
import sys, html.parser
VOID = {'area','base','br','col','embed','hr','img','input','link','meta','source','track','wbr'}
class Check(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.tags, self.text, self.errors, self.doctype = [], set(), [], [], False
    def handle_decl(self, decl):
        self.doctype = self.doctype or decl.lower() == 'doctype html'
    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        if tag not in VOID: self.stack.append(tag)
    def handle_endtag(self, tag):
        if self.stack and self.stack[-1] == tag: self.stack.pop()
        else: self.errors.append('stray </%s>' % tag)
    def handle_data(self, data):
        if not self.stack or self.stack[-1] not in ('style', 'script'): self.text.append(data)
c = Check()
c.feed(open(sys.argv[1], encoding='utf-8', errors='strict').read())
c.close()
if not c.doctype: c.errors.append('no doctype')
if c.stack: c.errors.append('open: ' + ' '.join(c.stack))
print('errors:' + ';'.join(c.errors))
print('tags:' + ' '.join(sorted(c.tags)))
print('text:' + ' '.join(''.join(c.text).split()))
)PY";

struct ServiceTest : ::testing::Test {
    test::TempDir tmp;
    test::ScopedEnv appdata{"APPDATA", tmp.path().c_str()};
    std::unique_ptr<game> gp{new game()};
    game& g = *gp;
    State* saved_states[STATE_TABLE_SIZE];
    std::vector<std::unique_ptr<Recorder>> screens;
    std::unique_ptr<ServerProcess> server;
    std::string net_path;

    void SetUp() override {
        driver().app_name = "Murkwell";
        for (int i = 0; i < STATE_TABLE_SIZE; ++i) {
            saved_states[i] = state_table[i];
            screens.push_back(std::make_unique<Recorder>(&g, i));
            state_table[i] = i == 0 ? nullptr : screens.back().get();
        }
        g.state = STATE_MENU_MAIN;
        set_data_dir(test::source_data_dir());
        _game_tile_init(g);
        set_field(g.settings.device_id, "time|1700000000");
        net_path = path_join(user_dir(), "net.db");
        open_level_db(app_handles().net_db, net_path);
        server = std::make_unique<ServerProcess>(tmp.path(), std::vector<std::string>{"--quiet"});
        ASSERT_TRUE(server->start()) << server->log();
        point_client();
    }

    void TearDown() override {
        web_shutdown();
        app_handles().net_db.close();
        EXPECT_EQ(server->terminate(), 0) << server->log();
        for (int i = 0; i < STATE_TABLE_SIZE; ++i) state_table[i] = saved_states[i];
        set_data_dir("");
        driver().app_name = "";
    }

    // The player's own service.txt names the test's service.
    void point_client() {
        test::write_file(path_join(user_dir(), "service.txt"),
                         "{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(server->port()) + "}");
        web_startup();
    }

    void sign_in(const std::string& name, const std::string& password) {
        set_field(g.settings.user, name);
        set_field(g.settings.password, password);
        set_field(g.settings.user_id, "g:" + name);
    }

    // Frames of the network step until the slot is idle again.
    bool finish(const WebRequest& slot) {
        return servertest::eventually([&] {
            web_poll(g);
            return slot.conn == nullptr;
        });
    }

    // A request through the game's HTTP client: the reply's X-Error and body.
    struct Page {
        bool done = false;
        std::string response, error, body;
    };
    Page fetch(const std::string& path, const std::string& form = "") {
        WebRequest r;
        r.host = "127.0.0.1";
        r.port = server->port();
        r.path = path;
        r.post = form;
        r.start();
        Page p;
        p.done = servertest::eventually([&] { return conn_poll(r.conn) != 0; }) && !r.conn->failed;
        p.response = r.header("X-Response");
        p.error = r.header("X-Error");
        p.body.assign(r.conn->body, size_t(r.conn->body_len));
        return p;
    }

    // What html.parser makes of a page: its errors, start tags and text.
    struct Parsed {
        std::string output, errors, tags, text;
    };
    Parsed html_check(const std::string& page) {
        test::write_file(tmp.file("page.html"), page);
        test::write_file(tmp.file("check.py"), HTML_CHECK);
        Parsed p;
        p.output = run("python3 " + tmp.file("check.py") + " " + tmp.file("page.html") + " 2>&1");
        auto line = [&](const std::string& key) {
            const size_t at = p.output.find("\n" + key);
            const size_t from = (p.output.compare(0, key.size(), key) == 0 ? 0 : at + 1) + key.size();
            if (at == std::string::npos && p.output.compare(0, key.size(), key) != 0) return std::string("<none>");
            return p.output.substr(from, p.output.find('\n', from) - from);
        };
        p.errors = line("errors:");
        p.tags = " " + line("tags:") + " ";
        p.text = line("text:");
        return p;
    }

    // Shares edit_level and returns the error shown ("" when none).
    std::string share() {
        g.state = STATE_EDIT_SHARE;
        g.error_text[0] = '\0';
        api_share(g, 1);
        EXPECT_TRUE(finish(web_slots().share));
        return g.state == STATE_MENU_ERROR ? field_text(g.error_text) : "";
    }

    std::string download(const std::string& q) {
        g.state = STATE_MENU_DOWNLOAD1;
        set_field(g.download_query, q);
        api_download(g);
        EXPECT_TRUE(finish(web_slots().download));
        return g.state == STATE_MENU_ERROR ? field_text(g.error_text) : "";
    }

    // The numbers of the levels a download stored for q, in list order.
    std::vector<std::string> listed(const std::string& q) {
        const std::string rows =
            sqlite(net_path, "select name from levels where q = '" + q + "' order by value");
        std::vector<std::string> out;
        size_t at = 0;
        while (at < rows.size()) {
            const size_t end = rows.find('\n', at);
            out.push_back(rows.substr(at, end - at));
            at = end == std::string::npos ? rows.size() : end + 1;
        }
        return out;
    }

    // A cleanly won map with a pattern of `seed` around the blank map's start.
    void make_map(int seed, const std::string& title) {
        new_level(g);
        level& lv = g.edit_level;
        for (int y = 50; y < 80; ++y)
            for (int x = 50; x < 80; ++x)
                if ((x * seed + y) % 5 != 0 && lv.map[x + MAP_SIZE * y] == 0) lv.map[x + MAP_SIZE * y] = 1;
        lv.map[70 + MAP_SIZE * 70] = 7;  // a target
        lv.inventory[ACTOR_DETONATOR] = seed;
        set_field(lv.title, title);
        set_field(lv.intro, "Intro " + std::to_string(seed));
        set_field(lv.id, "map" + std::to_string(seed));
        lv.unbeaten = 0;
    }

    std::string levels_stored() { return sqlite(server->db(), "select count(*) from levels"); }
};

TEST_F(ServiceTest, AccountsSharesListsAndRatingsThroughTheGamesClient) {
    // Accounts through the account page; names are unique in any case.
    const Page made = fetch("/murkwell/manage.php", "do=create&name=ann&password=secret1&password2=secret1");
    ASSERT_TRUE(made.done);
    EXPECT_EQ(made.response, "1");
    EXPECT_EQ(made.error, "");
    EXPECT_EQ(fetch("/murkwell/manage.php", "do=create&name=bob&password=secret2&password2=secret2").error, "");
    EXPECT_EQ(fetch("/murkwell/manage.php", "do=create&name=ANN&password=other1&password2=other1").error,
              "This user name is taken. Choose another one.");
    // The shipped featured levels' author is no one's to claim.
    EXPECT_EQ(fetch("/murkwell/manage.php", "do=create&name=murkwell&password=secret3&password2=secret3").error,
              "This user name is taken. Choose another one.");
    EXPECT_EQ(sqlite(server->db(), "select name, length(token) from accounts order by name"), "ann|32\nbob|32\n");
    EXPECT_EQ(sqlite(server->db(), "select count(*) from accounts where token like '%secret%'"), "0\n");

    // valid: the right token passes quietly, a wrong one or an unknown name opens the dialog.
    sign_in("ann", "secret1");
    api_valid(g);
    ASSERT_TRUE(finish(web_slots().valid));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    struct {
        const char* name;
        const char* password;
        const char* error;
    } refused[] = {{"ann", "wrong", ERR_WRONG_PASSWORD}, {"zed", "secret1", ERR_UNKNOWN_ACCOUNT},
                   {"Ann", "secret1", ERR_UNKNOWN_ACCOUNT}};
    for (const auto& c : refused) {
        g.state = STATE_MENU_MAIN;
        sign_in(c.name, c.password);
        api_valid(g);
        ASSERT_TRUE(finish(web_slots().valid));
        EXPECT_EQ(g.state, STATE_MENU_ERROR) << c.name;
        EXPECT_EQ(field_text(g.error_text), c.error) << c.name;
    }

    // Three maps: one by ann (its title is markup), two by bob.
    sign_in("ann", "secret1");
    make_map(3, "<script>alert(1)</script> & \"co\"");
    const std::unique_ptr<level> shared(new level(g.edit_level));
    ASSERT_EQ(share(), "");
    sign_in("bob", "secret2");
    make_map(4, "Bob one");
    ASSERT_EQ(share(), "");
    make_map(5, "Bob two");
    ASSERT_EQ(share(), "");
    // Sharing the same map again replaces it.
    set_field(g.edit_level.title, "Bob two, again");
    ASSERT_EQ(share(), "");
    EXPECT_EQ(levels_stored(), "3\n");
    const std::string ann_map = sqlite(server->db(), "select number from levels where uid = 'g:ann'");
    const std::string bob1 = sqlite(server->db(), "select number from levels where id = 'map4'");
    const std::string bob2 = sqlite(server->db(), "select number from levels where id = 'map5'");
    const std::string a = ann_map.substr(0, ann_map.size() - 1), b1 = bob1.substr(0, bob1.size() - 1),
                      b2 = bob2.substr(0, bob2.size() - 1);

    // The newest list and the author's list carry ann's map; loaded back it is the same map.
    sign_in("ann", "secret1");
    ASSERT_EQ(download("c~newest"), "");
    EXPECT_EQ(listed("c~newest"), (std::vector<std::string>{b2, b1, a}));
    ASSERT_EQ(download("u~g:ann"), "");
    EXPECT_EQ(listed("u~g:ann"), (std::vector<std::string>{a}));
    EXPECT_EQ(sqlite(net_path, "select author, uid, title from levels where id = 'u~g:ann|" + a + "'"),
              "ann|g:ann|<script>alert(1)</script> & \"co\"\n");
    ASSERT_TRUE(logic_load(g, app_handles().net_db, "u~g:ann|" + a));
    EXPECT_EQ(memcmp(g.edit_level.map, shared->map, sizeof shared->map), 0);
    EXPECT_EQ(memcmp(g.edit_level.inventory, shared->inventory, sizeof shared->inventory), 0);
    EXPECT_EQ(field_text(g.edit_level.title), field_text(shared->title));
    EXPECT_EQ(field_text(g.edit_level.intro), "Intro 3");
    EXPECT_EQ(field_text(g.edit_level.author), "ann");
    EXPECT_EQ(g.edit_level.unbeaten, 0);
    EXPECT_EQ(field_text(g.level.name), a);  // plays and events name the level by its number

    // Ratings: ann gives her map 4 stars and 2 skulls, bob 2 and 4; ann loves bob's first map.
    api_plays(g, 4, 2);
    ASSERT_TRUE(finish(web_slots().plays));
    sign_in("bob", "secret2");
    api_plays(g, 2, 4);
    ASSERT_TRUE(finish(web_slots().plays));
    sign_in("ann", "secret1");
    ASSERT_EQ(download("c~newest"), "");
    ASSERT_TRUE(logic_load(g, app_handles().net_db, "c~newest|" + b1));
    api_plays(g, 5, 1);
    ASSERT_TRUE(finish(web_slots().plays));

    ASSERT_EQ(download("c~newest"), "");
    EXPECT_EQ(sqlite(net_path, "select name, stars, skulls from levels where q = 'c~newest' order by value"),
              b2 + "|0.0|0.0\n" + b1 + "|5.0|1.0\n" + a + "|3.0|3.0\n");
    ASSERT_EQ(download("c~popular"), "");
    EXPECT_EQ(listed("c~popular"), (std::vector<std::string>{a, b1, b2}));
    ASSERT_EQ(download("c~favorites"), "");
    EXPECT_EQ(listed("c~favorites"), (std::vector<std::string>{b1, a}));
    ASSERT_EQ(download("f~g:ann"), "");
    EXPECT_EQ(listed("f~g:ann"), (std::vector<std::string>{b1, a}));
    ASSERT_EQ(download("c~friends"), "");
    EXPECT_EQ(listed("c~friends"), (std::vector<std::string>{b2, b1}));
    sign_in("bob", "secret2");
    ASSERT_EQ(download("c~favorites"), "");
    EXPECT_EQ(listed("c~favorites"), std::vector<std::string>{});

    // The player's page: valid HTML, the markup title shown as text.
    const Page stats = fetch("/murkwell/stats.php?uid=g%3aann");
    ASSERT_TRUE(stats.done);
    EXPECT_EQ(stats.error, "");
    const Parsed page = html_check(stats.body);
    EXPECT_EQ(page.errors, "") << page.output;
    EXPECT_EQ(page.tags.find(" script "), std::string::npos) << page.output;
    EXPECT_NE(page.text.find("<script>alert(1)</script> & \"co\""), std::string::npos) << page.output;
    EXPECT_NE(page.text.find("ann Levels played2 Levels won2"), std::string::npos) << page.output;
    const Parsed account_page = html_check(fetch("/murkwell/manage.php?name=ann").body);
    EXPECT_EQ(account_page.errors, "") << account_page.output;
    EXPECT_NE(account_page.tags.find(" form "), std::string::npos) << account_page.output;
}

TEST_F(ServiceTest, RefusedSharesStoreNothing) {
    ASSERT_EQ(fetch("/murkwell/manage.php", "do=create&name=ann&password=secret1&password2=secret1").error, "");

    // A guest cannot share.
    make_map(3, "Guest map");
    EXPECT_EQ(share(), ERR_SIGN_IN_TO_SHARE);
    // A map not yet won cleanly.
    sign_in("ann", "secret1");
    make_map(3, "Unbeaten");
    g.edit_level.unbeaten = 1;
    EXPECT_EQ(share(), ERR_MAP_UNBEATEN);
    // A map without its player start.
    make_map(3, "Nobody");
    g.edit_level.map[64 + MAP_SIZE * 64] = 1;
    EXPECT_EQ(share(), ERR_MAP_NO_PLAYER);
    // A corrupt data field, sent as the game sends a share.
    const std::string path = api_path(g, "share");
    for (const char* data : {"not%20base64!", "AAAA", "eJzLSM3JyQcABiwCFQ%3d%3d"}) {
        const Page p = fetch(path, std::string("&target=1&id=x&title=t&intro=i&data=") + data);
        ASSERT_TRUE(p.done);
        EXPECT_EQ(p.error, ERR_MAP_DAMAGED) << data;
    }
    EXPECT_EQ(levels_stored(), "0\n");
    EXPECT_EQ(sqlite(server->db(), "pragma integrity_check"), "ok\n");
}

}  // namespace
