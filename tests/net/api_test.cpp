// The web service API through the real client and a scripted server on
// 127.0.0.1: request paths and bodies, the five slots, reply checks and the
// error screen, downloads stored into a real "net.db" (checked with the sqlite3
// shell), and a share served back as a download and loaded with logic_load.
// Download databases are built and share bodies decoded by Python.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "script_server.h"
#include "test_support.h"
#include "text/text.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

using nettest::ScriptServer;
using test::run;
using test::sqlite;
using test::stderr_of;

// ---------------------------------------------------------------------------
// Helpers


std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char ch : bytes) {
        out += digits[ch >> 4];
        out += digits[ch & 15];
    }
    return out;
}

std::string md5(const std::string& s) {
    char out[33];
    md5_hex(s.size(), s.data(), out);
    return out;
}

std::string percent_decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The value of "&key=" in a request's first line, decoded.
std::string param(const std::string& request, const std::string& key) {
    const std::string line = request.substr(0, request.find('\n'));
    const size_t at = line.find("&" + key + "=");
    if (at == std::string::npos) return "<none>";
    const size_t from = at + key.size() + 2;
    const size_t to = line.find_first_of("& ", from);
    return percent_decode(line.substr(from, to - from));
}

template <size_t N>
void set_text(char (&field)[N], const std::string& s) {
    memset(field, 0, N);
    memcpy(field, s.data(), std::min(s.size(), N - 1));
}

std::string compress_level(const level& lv) {
    std::string out(compressBound(sizeof lv), '\0');
    uLongf n = out.size();
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(&lv),
                        sizeof lv, 9),
              Z_OK);
    out.resize(n);
    return out;
}

// A level whose map is a pattern of `seed`.
std::unique_ptr<level> patterned_level(int seed) {
    std::unique_ptr<level> lv(new level());
    for (int y = MAP_MIN; y <= MAP_MAX; ++y)
        for (int x = MAP_MIN; x <= MAP_MAX; ++x)
            lv->map[x + MAP_SIZE * y] = uint8_t((x * seed + y * 7 + seed) % 40);
    lv->inventory[ACTOR_DETONATOR] = seed % 5;
    return lv;
}

// One value of a download database row: its SQLite type and its bytes.
struct Value {
    std::string type;  // "text", "blob", "int", "real", "null"
    std::string bytes;
};
using DownloadRow = std::vector<std::pair<std::string, Value>>;

Value text(const std::string& s) { return {"text", s}; }
Value blob(const std::string& s) { return {"blob", s}; }
Value integer(long long v) { return {"int", std::to_string(v)}; }
Value real(double v) { return {"real", std::to_string(v)}; }

const char* const FULL_LEVELS =
    "create table levels (id text primary key, name text, data blob, ts int, author text, "
    "title text, q text, uid text, stars float, skulls float, intro text, value int)";

// The row of a level as the service would deliver it.
DownloadRow service_row(const std::string& id, int seed, int value) {
    return {{"id", text(id)},
            {"name", text("map" + id)},
            {"data", blob(compress_level(*patterned_level(seed)))},
            {"ts", integer(1700000000 + value)},
            {"author", text("author" + id)},
            {"title", text("Title " + id)},
            {"uid", text("g:author" + id)},
            {"stars", real(3.5)},
            {"skulls", real(1.25)},
            {"intro", text("Intro of " + id)},
            {"value", integer(value)}};
}

// Builds a download database with Python's sqlite3 module (independent of the
// game's own database code) and returns the file's bytes.
std::string make_download_db(const test::TempDir& dir, const std::string& create_sql,
                             const std::vector<DownloadRow>& rows) {
    static int serial = 0;
    const std::string path = dir.file("download-" + std::to_string(++serial) + ".db");
    std::string rows_text = create_sql + "\n";
    for (const DownloadRow& row : rows) {
        for (const auto& [name, value] : row) rows_text += name + " " + value.type + " " + hex(value.bytes) + "\t";
        rows_text += "\n";
    }
    test::write_file(path + ".rows_text", rows_text);
    test::write_file(path + ".py", R"PY(
import sqlite3, sys
path = sys.argv[1]
lines = open(path + '.rows_text', encoding='latin-1').read().split('\n')
db = sqlite3.connect(path)
db.execute(lines[0])
for line in lines[1:]:
    if not line: continue
    names, marks, values = [], [], []
    for cell in line.rstrip('\t').split('\t'):
        name, kind, data = (cell.split(' ') + [''])[:3]
        raw = bytes.fromhex(data)
        names.append(name)
        if kind == 'text': marks.append('cast(? as text)'); values.append(raw)
        elif kind == 'blob': marks.append('?'); values.append(raw)
        elif kind == 'int': marks.append('?'); values.append(int(raw))
        elif kind == 'real': marks.append('?'); values.append(float(raw))
        else: marks.append('null')
    db.execute('insert into levels (%s) values (%s)' % (','.join(names), ','.join(marks)), values)
db.commit()
db.close()
)PY");
    const std::string err = run("/usr/bin/python3 '" + path + ".py' '" + path + "' 2>&1");
    EXPECT_EQ(err, "");
    return test::read_file(path);
}

const std::string GOOD_HEAD = "HTTP/1.0 200 OK\r\nX-Response: 1\r\nContent-Type: application/x-sqlite3\r\n\r\n";

// A screen that only counts; the error screen's also returns to
// error_return_state when left, as the real one does.
class Recorder : public State {
public:
    Recorder(game* g, int number) : State(g), number(number) {}
    void enter() override {
        ++enters;
        if (on_enter) on_enter();
    }
    void leave() override {
        ++leaves;
        if (number == STATE_MENU_ERROR) g->state = g->error_return_state;
    }
    int number;
    int enters = 0, leaves = 0;
    std::function<void()> on_enter;
};

// ---------------------------------------------------------------------------
// Fixture: a per-user folder, a data folder with service.txt, the network
// database, counting screens, and a game record.

struct ApiTest : ::testing::Test {
    test::TempDir tmp;
    test::ScopedEnv appdata{"APPDATA", tmp.path().c_str()};
    std::unique_ptr<game> gp{new game()};
    game& g = *gp;
    State* saved_states[STATE_TABLE_SIZE];
    std::vector<std::unique_ptr<Recorder>> screens;
    std::string net_path;

    void SetUp() override {
        driver().app_name = "Murkwell";
        for (int i = 0; i < STATE_TABLE_SIZE; ++i) {
            saved_states[i] = state_table[i];
            screens.push_back(std::make_unique<Recorder>(&g, i));
            state_table[i] = i == 0 ? nullptr : screens.back().get();
        }
        g.state = STATE_MENU_MAIN;
        set_text(g.settings.user, "ann");
        set_text(g.settings.password, "secret");
        set_text(g.settings.user_id, "g:ann");
        set_text(g.settings.device_id, "time|1700000000");
        net_path = path_join(user_dir(), "net.db");
        open_level_db(app_handles().net_db, net_path);
    }

    void TearDown() override {
        web_shutdown();
        app_handles().net_db.close();
        for (int i = 0; i < STATE_TABLE_SIZE; ++i) state_table[i] = saved_states[i];
        set_data_dir("");
        download_list_reset = nullptr;
        driver().app_name = "";
    }

    Recorder& screen(int n) { return *screens[size_t(n)]; }

    // Points the service at host:port through a data folder's service.txt.
    void use_service(const std::string& json) {
        const std::string dir = tmp.file("data");
        run("mkdir -p '" + dir + "'");
        test::write_file(dir + "/service.txt", json);
        set_data_dir(dir);
        web_startup();
    }
    void use_server(const ScriptServer& server) {
        use_service("{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(server.port()) + "}");
    }

    // Runs the network step of frames until pred holds (bounded generously).
    template <class Pred>
    bool frames_until(Pred pred) {
        const auto t0 = std::chrono::steady_clock::now();
        while (nettest::seconds_since(t0) < nettest::WAIT_SECONDS) {
            web_poll(g);
            if (pred()) return true;
            usleep(500);
        }
        return false;
    }
    bool idle(const WebRequest& r) { return frames_until([&] { return r.conn == nullptr; }); }

    std::string net_rows() { return sqlite(net_path, "select id, q, title from levels order by id"); }
};

// ---------------------------------------------------------------------------
// Paths and parameters

TEST_F(ApiTest, PathHasTheFixedParameterOrderAndEncoding) {
    set_text(g.settings.user, "Ann Lee\xc3\xa9");
    set_text(g.settings.user_id, "g:Ann Lee\xc3\xa9");
    const std::string token = md5("Ann Lee\xc3\xa9|" + md5("secret"));
    EXPECT_EQ(api_path(g, "valid"),
              "/murkwell/api.php?&_vinfo=1%2e0%2e3%2dDesktop%2dWin32%2dVANTORR&_version=2"
              "&_uid=g%3aAnn%20Lee%c3%a9&_name=Ann%20Lee%c3%a9&_token=" +
                  token + "&_udid=time%7c1700000000&_action=valid");
}

TEST_F(ApiTest, TokenIsCheckedAgainstMd5sum) {
    struct {
        const char* user;
        const char* password;
    } cases[] = {{"", ""}, {"ann", "secret"}, {"Ann Lee", "p w|x"}};
    for (const auto& tc : cases) {
        set_text(g.settings.user, tc.user);
        set_text(g.settings.password, tc.password);
        const std::string inner =
            run("printf '%s' '" + std::string(tc.password) + "' | md5sum | cut -c1-32");
        const std::string outer = run("printf '%s' '" + std::string(tc.user) + "|" +
                                      inner.substr(0, 32) + "' | md5sum | cut -c1-32");
        EXPECT_EQ(api_token(g.settings), outer.substr(0, 32)) << tc.user;
    }
    // The empty account: "&_name=" followed by nothing, then the token.
    set_text(g.settings.user, "");
    set_text(g.settings.password, "");
    const std::string path = api_path(g, "valid");
    EXPECT_NE(path.find("&_name=&_token=" + md5("|" + md5("")) + "&"), std::string::npos) << path;
}

TEST_F(ApiTest, UnterminatedSettingsFieldsAreReadWithinTheirSize) {
    memset(g.settings.user, 'u', sizeof g.settings.user);
    memset(g.settings.user_id, 'i', sizeof g.settings.user_id);
    memset(g.settings.device_id, 'd', sizeof g.settings.device_id);
    const std::string path = api_path(g, "valid");
    EXPECT_NE(path.find("&_name=" + std::string(64, 'u') + "&"), std::string::npos);
    EXPECT_NE(path.find("&_udid=" + std::string(64, 'd') + "&"), std::string::npos);
}

TEST_F(ApiTest, ServiceAddressComesFromServiceTxt) {
    struct {
        const char* file;
        const char* host;
        int port;
        const char* message;
    } cases[] = {
        {"{\"host\": \"svc.example.net\", \"port\": 8080}", "svc.example.net", 8080, ""},
        {"{\"host\": \"svc.example.net\"}", "svc.example.net", 80, ""},
        {"{\"host\": \"svc\", \"port\": \"81\"}", "svc", 80, "service.txt: bad port, using 80\n"},
        {"{\"host\": \"svc\", \"port\": 0}", "svc", 80, "service.txt: bad port, using 80\n"},
        {"{\"host\": \"svc\", \"port\": 65536}", "svc", 80, "service.txt: bad port, using 80\n"},
        {"{\"host\": 12, \"port\": 81}", "", 81, "service.txt: no usable host\n"},
        {"[1, 2]", "", 80, "service.txt: not a JSON object\n"},
        {"{\"host\": ", "", 80, "service.txt: not a JSON object\n"},
        {"", "", 80, "service.txt: not found\n"},
    };
    for (const auto& sc : cases) {
        const std::string err = stderr_of([&] { use_service(sc.file); });
        EXPECT_EQ(web_service().host, sc.host) << sc.file;
        EXPECT_EQ(web_service().port, sc.port) << sc.file;
        EXPECT_EQ(err, sc.message) << sc.file;
    }
    use_service("{\"host\": \"svc.example.net\", \"port\": 8080}");
    EXPECT_EQ(web_service_url("/murkwell/stats.php"), "http://svc.example.net:8080/murkwell/stats.php");
    use_service("{\"host\": \"svc.example.net\"}");
    EXPECT_EQ(web_service_url("/murkwell/manage.php"), "http://svc.example.net/murkwell/manage.php");
    EXPECT_TRUE(web_started());

    // The shipped file names the local level service.
    set_data_dir(test::source_data_dir());
    web_load_service();
    EXPECT_EQ(web_service().host, "127.0.0.1");
    EXPECT_EQ(web_service().port, 8457);

    // A per-user service.txt wins over the shipped one; an empty one does not count.
    test::write_file(path_join(user_dir(), "service.txt"), "");
    web_load_service();
    EXPECT_EQ(web_service().port, 8457);
    test::write_file(path_join(user_dir(), "service.txt"), "{\"host\": \"group.example.net\", \"port\": 9000}");
    web_load_service();
    EXPECT_EQ(web_service().host, "group.example.net");
    EXPECT_EQ(web_service().port, 9000);
    EXPECT_EQ(web_service_url("/murkwell/stats.php"), "http://group.example.net:9000/murkwell/stats.php");
}

// ---------------------------------------------------------------------------
// Requests on the wire

TEST_F(ApiTest, ValidIsAGetOfThePathToTheServicesHost) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(GOOD_HEAD); });
    use_server(server);
    api_valid(g);
    ASSERT_NE(web_slots().valid.conn, nullptr);
    EXPECT_EQ(web_slots().valid.timeout, 30.0f);
    ASSERT_TRUE(idle(web_slots().valid));
    EXPECT_EQ(server.request(0), "GET " + api_path(g, "valid") + " HTTP/1.0\nHost: 127.0.0.1:" +
                                     std::to_string(server.port()) + "\n\n");
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}

TEST_F(ApiTest, TrackSendsItsParametersAndNothingWhenCategoryOrActionIsEmpty) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(GOOD_HEAD); });
    use_server(server);
    api_track(g, 12, "", "win");
    api_track(g, 12, "My Map", "");
    api_track(g, 12, nullptr, "win");
    api_track(g, 12, "My Map", nullptr);
    EXPECT_EQ(web_slots().track.conn, nullptr);

    api_track(g, -3, "My Map", "win");
    ASSERT_TRUE(idle(web_slots().track));
    EXPECT_EQ(server.connections(), 1u);
    const std::string line = server.request(0).substr(0, server.request(0).find('\n'));
    EXPECT_EQ(line, "GET " + api_path(g, "track") +
                        "&page=level&category=My%20Map&action=win&value=%2d3 HTTP/1.0");
}

TEST_F(ApiTest, PlaysReportsTheLiveLevel) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(GOOD_HEAD); });
    use_server(server);
    level& lv = g.level;
    set_text(lv.name, "tut 1");
    lv.play_time = 95;
    lv.cartridges = 1;
    lv.cartridges_total = 3;
    lv.rewinds_used = 2;
    for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) lv.inventory[k] = k - 18;  // 1+2+3+4
    api_plays(g, 4, 2);
    ASSERT_TRUE(idle(web_slots().plays));
    const std::string r = server.request(0);
    EXPECT_EQ(r.substr(0, r.find('\n')),
              "GET " + api_path(g, "plays") +
                  "&lid=tut%201&tm=3&bonus=333&rewind=2&extra=10&stars=4&skulls=2 HTTP/1.0");

    // No items in the level: bonus divides by 1.
    lv.cartridges = 0;
    lv.cartridges_total = 0;
    api_plays(g, 0, 0);
    ASSERT_TRUE(idle(web_slots().plays));
    EXPECT_EQ(param(server.request(1), "bonus"), "0");
}

TEST_F(ApiTest, ShareWithoutANameSendsTheIdentifierAsName) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(GOOD_HEAD); });
    use_server(server);
    std::unique_ptr<level> lv = patterned_level(3);
    set_text(lv->id, "1700000123");
    set_text(lv->title, "Zig & Zag");
    set_text(lv->intro, "Sneak in.\nBlow it up.");
    g.edit_level = *lv;
    api_share(g, 1);
    // Stamped with the account and named after the identifier.
    EXPECT_STREQ(g.edit_level.name, "1700000123");
    EXPECT_STREQ(g.edit_level.author, "ann");
    EXPECT_STREQ(g.edit_level.uid, "g:ann");
    ASSERT_TRUE(idle(web_slots().share));

    const std::string request = server.request(0);
    const size_t blank = request.find("\n\n");
    ASSERT_NE(blank, std::string::npos);
    const std::string head = request.substr(0, blank + 2);
    const std::string body = request.substr(blank + 2);
    EXPECT_EQ(head, "POST " + api_path(g, "share") + " HTTP/1.0\nHost: 127.0.0.1:" +
                        std::to_string(server.port()) +
                        "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " +
                        std::to_string(body.size()) + "\n\n");
    EXPECT_EQ(body.rfind("&target=1&id=1700000123&title=Zig%20%26%20Zag&intro=Sneak%20in%2e%0aBlow", 0), 0u)
        << body.substr(0, 100);

    // Python decodes the form, the base64 and the zlib stream: the record sent
    // is the stored copy as it stands now.
    test::write_file(tmp.file("body"), body);
    test::write_file(tmp.file("decode.py"), R"PY(
import sys, base64, zlib, urllib.parse
form = urllib.parse.parse_qs(open(sys.argv[1], encoding='ascii').read(), keep_blank_values=True,
                             encoding='latin-1')
record = zlib.decompress(base64.b64decode(form['data'][0], validate=True))
open(sys.argv[2], 'wb').write(record)
print(form['target'][0], form['id'][0], record[516:548].split(b'\0')[0].decode(),
      record[548:580].split(b'\0')[0].decode(), len(record))
)PY");
    EXPECT_EQ(run("/usr/bin/python3 " + tmp.file("decode.py") + " " + tmp.file("body") + " " +
                  tmp.file("record") + " 2>&1"),
              "1 1700000123 1700000123 ann 46576\n");
    const std::string record = test::read_file(tmp.file("record"));
    ASSERT_EQ(record.size(), sizeof(level));
    EXPECT_EQ(memcmp(record.data(), &g.edit_level, sizeof(level)), 0);
}

TEST_F(ApiTest, ShareKeepsAnExistingName) {
    ScriptServer server([](const std::string&) { return std::optional<std::string>(GOOD_HEAD); });
    use_server(server);
    set_text(g.edit_level.id, "1700000123");
    set_text(g.edit_level.name, "tower");
    api_share(g, 2);
    EXPECT_STREQ(g.edit_level.name, "tower");
    ASSERT_TRUE(idle(web_slots().share));
    const std::string r = server.request(0);
    EXPECT_NE(r.find("\n\n&target=2&id=1700000123&"), std::string::npos);
}

TEST_F(ApiTest, SlotsArePolledInTheirFixedOrder) {
    ScriptServer server;  // scripted: replies only when told
    use_server(server);
    set_text(g.download_query, "c~featured");
    set_text(g.edit_level.id, "1");
    // Started in the reverse order of polling.
    api_valid(g);
    api_plays(g, 1, 1);
    api_download(g);
    api_share(g, 1);
    api_track(g, 1, "lvl", "start");
    ASSERT_TRUE(frames_until([&] { return server.requests_read() == 5; }));

    // Every slot gets an error reply naming its action, and the connection is
    // closed; once all five replies have arrived, one pass finishes them all.
    for (size_t i = 0; i < 5; ++i) {
        server.send(i, "HTTP/1.0 200 OK\nX-Response: 0\nX-Error: " + param(server.request(i), "_action") + "\n\n");
        server.close(i);
    }
    WebSlots& s = web_slots();
    const WebRequest* const order[5] = {&s.track, &s.share, &s.download, &s.plays, &s.valid};
    for (const WebRequest* r : order) {
        ASSERT_NE(r->conn, nullptr);
        pollfd p = {r->conn->sock, POLLRDHUP, 0};
        const auto t0 = std::chrono::steady_clock::now();
        while (poll(&p, 1, 0) == 0 && nettest::seconds_since(t0) < nettest::WAIT_SECONDS) usleep(500);
        ASSERT_TRUE(p.revents & POLLRDHUP);
    }

    // Each error shown records its text and which slots were already freed.
    std::vector<std::string> seen;
    screen(STATE_MENU_ERROR).on_enter = [&] {
        std::string freed;
        for (const WebRequest* r : order) freed += r->conn ? '.' : 'x';
        seen.push_back(std::string(g.error_text) + " " + freed);
    };
    ASSERT_TRUE(frames_until([&] {
        return !s.track.conn && !s.share.conn && !s.download.conn && !s.plays.conn && !s.valid.conn;
    }));
    EXPECT_EQ(seen, (std::vector<std::string>{"share x....", "download xx...", "valid xxxx."}));
    EXPECT_EQ(g.error_return_state, STATE_MENU_MAIN);
}

// ---------------------------------------------------------------------------
// Replies and the error screen

TEST_F(ApiTest, CheckReplyVerdicts) {
    struct {
        const char* name;
        std::string reply;  // empty: the request failed
        bool result;
        const char* error_text;
    } cases[] = {
        {"good", "HTTP/1.0 200 OK\nX-Response: 1\n\n", false, ""},
        {"good with empty error", "HTTP/1.0 200 OK\nX-Response: 1\nX-Error: \n\n", false, ""},
        {"no X-Response", "HTTP/1.0 200 OK\nX-Error: E1: x\n\n", true, "G01: Invalid response."},
        {"lower-case header", "HTTP/1.0 200 OK\nx-response: 1\n\n", true, "G01: Invalid response."},
        {"service error", "HTTP/1.0 200 OK\r\nX-Response: 0\r\nX-Error: E17: Wrong password.\r\n\r\n",
         true, "E17: Wrong password."},
        {"failed", "", true, ""},
    };
    for (const auto& rc : cases) {
        SCOPED_TRACE(rc.name);
        g.state = STATE_MENU_DOWNLOAD2;
        g.error_return_state = 0;
        memset(g.error_text, 0, sizeof g.error_text);
        const int enters = screen(STATE_MENU_ERROR).enters;
        WebRequest r;
        r.conn = conn_open("127.0.0.1", 9, "/", nullptr, 0, 30);
        if (rc.reply.empty()) {
            r.conn->failed = 1;
        } else {
            ASSERT_TRUE(conn_take_reply(r.conn, rc.reply.data(), rc.reply.size()));
            r.conn->state = CONN_COMPLETE;
        }
        EXPECT_EQ(check_reply(g, r), rc.result);
        EXPECT_STREQ(g.error_text, rc.error_text);
        const bool shown = rc.error_text[0] != '\0';
        EXPECT_EQ(g.state, shown ? STATE_MENU_ERROR : STATE_MENU_DOWNLOAD2);
        EXPECT_EQ(g.error_return_state, shown ? STATE_MENU_DOWNLOAD2 : 0);
        EXPECT_EQ(screen(STATE_MENU_ERROR).enters, enters + (shown ? 1 : 0));
    }
    WebRequest none;
    EXPECT_TRUE(check_reply(g, none));
}

TEST_F(ApiTest, ErrorWhileTheErrorScreenIsShownKeepsItsReturnState) {
    const std::string value(400, 'x');
    int replies = 0;
    ScriptServer server([&](const std::string&) {
        ++replies;
        return std::optional<std::string>("HTTP/1.0 200 OK\nX-Response: 0\nX-Error: " +
                                          (replies == 1 ? std::string("E1: first") : value) + "\n\n");
    });
    use_server(server);
    g.state = STATE_MENU_PLAY;
    api_valid(g);
    ASSERT_TRUE(idle(web_slots().valid));
    EXPECT_EQ(g.state, STATE_MENU_ERROR);
    EXPECT_EQ(g.error_return_state, STATE_MENU_PLAY);
    EXPECT_STREQ(g.error_text, "E1: first");

    // "Sign In" on the dialog asks again; the second error arrives over it.
    api_valid(g);
    ASSERT_TRUE(idle(web_slots().valid));
    EXPECT_EQ(g.state, STATE_MENU_ERROR);
    EXPECT_EQ(g.error_return_state, STATE_MENU_PLAY);
    EXPECT_EQ(std::string(g.error_text), std::string(255, 'x'));
    EXPECT_EQ(screen(STATE_MENU_ERROR).enters, 2);
}

TEST_F(ApiTest, NetworkFailuresAreSilent) {
    use_service("{\"host\": \"nowhere.invalid\", \"port\": 80}");
    g.state = STATE_MENU_MAIN;
    api_valid(g);
    set_text(g.edit_level.id, "5");
    api_share(g, 1);
    web_poll(g);
    EXPECT_EQ(web_slots().valid.conn, nullptr);
    EXPECT_EQ(web_slots().share.conn, nullptr);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    EXPECT_EQ(screen(STATE_MENU_ERROR).enters, 0);
    EXPECT_STREQ(g.error_text, "");
}

// ---------------------------------------------------------------------------
// Downloads

// A server that answers "download" with the database made for its query and
// everything else with a good empty reply.
struct DownloadServer {
    std::mutex mutex;
    std::map<std::string, std::string> databases;  // query -> file bytes
    std::string head = GOOD_HEAD;
    ScriptServer server{[this](const std::string& request) {
        std::lock_guard<std::mutex> lock(mutex);
        const std::string q = param(request, "q");
        auto it = databases.find(q);
        return std::optional<std::string>(head + (it == databases.end() ? "" : it->second));
    }};
    void set(const std::string& q, const std::string& db) {
        std::lock_guard<std::mutex> lock(mutex);
        databases[q] = db;
    }
};

TEST_F(ApiTest, DownloadingACategoryTwiceReplacesItsRowsOnly) {
    DownloadServer ds;
    use_server(ds.server);
    // A row of another category and one of the user's own maps stay untouched.
    app_handles().net_db.query("insert into levels (id, q, title) values ('c~newest|9', 'c~newest', 'Nine')");
    app_handles().net_db.query("insert into levels (id, title) values ('own', 'Own')");

    ds.set("c~featured", make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 2), service_row("2", 2, 1)}));
    set_text(g.download_query, "c~featured");
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(net_rows(),
              "c~featured|1|c~featured|Title 1\nc~featured|2|c~featured|Title 2\n"
              "c~newest|9|c~newest|Nine\nown||Own\n");
    EXPECT_EQ(param(ds.server.request(0), "q"), "c~featured");

    ds.set("c~featured", make_download_db(tmp, FULL_LEVELS, {service_row("3", 3, 1)}));
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(net_rows(), "c~featured|3|c~featured|Title 3\nc~newest|9|c~newest|Nine\nown||Own\n");

    // Every column is carried over from the download.
    EXPECT_EQ(sqlite(net_path, "select name, author, ts, uid, stars, skulls, intro, value from levels "
                               "where id = 'c~featured|3'"),
              "map3|author3|1700000001|g:author3|3.5|1.25|Intro of 3|1\n");
}

TEST_F(ApiTest, StoringADownloadReportsBodyAndReplyLengths) {
    DownloadServer ds;
    use_server(ds.server);
    const std::string db = make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 1)});
    ds.set("c~featured", db);
    set_text(g.download_query, "c~featured");
    api_download(g);
    const std::string err = stderr_of([&] { ASSERT_TRUE(idle(web_slots().download)); });
    const std::string line = "saving download data ... " + std::to_string(db.size()) + " - " +
                             std::to_string(GOOD_HEAD.size() + db.size()) + "\n";
    EXPECT_EQ(err.substr(0, line.size()), line) << err;
    // The body became tmp.db in the per-user folder (since opened and given
    // its ratings table).
    EXPECT_EQ(sqlite(path_join(user_dir(), "tmp.db"), "select id from levels"), "1\n");
}

TEST_F(ApiTest, OneLevelUnderTwoCategoriesIsStoredTwiceWithItsExactBlob) {
    DownloadServer ds;
    use_server(ds.server);
    const DownloadRow row = service_row("42", 4, 1);
    const std::string db = make_download_db(tmp, FULL_LEVELS, {row});
    ds.set("c~featured", db);
    ds.set("c~popular", db);
    for (const char* q : {"c~featured", "c~popular"}) {
        set_text(g.download_query, q);
        api_download(g);
        ASSERT_TRUE(idle(web_slots().download));
    }
    const std::string want_hex = hex(row[2].second.bytes);
    std::string upper;
    for (char ch : want_hex) upper += char(toupper(ch));
    EXPECT_EQ(sqlite(net_path, "select id, q, hex(data) from levels order by id"),
              "c~featured|42|c~featured|" + upper + "\nc~popular|42|c~popular|" + upper + "\n");
}

TEST_F(ApiTest, SecondDownloadBeforeTheFirstReplyStoresOnlyTheSecond) {
    ScriptServer server;  // scripted: replies only when told
    use_server(server);
    set_text(g.download_query, "c~first");
    api_download(g);
    ASSERT_TRUE(frames_until([&] { return server.connections() == 1; }));
    ASSERT_TRUE(server.wait_requests(1));

    set_text(g.download_query, "c~second");
    api_download(g);  // abandons the first connection
    ASSERT_TRUE(server.wait_peer_closed(0));
    ASSERT_TRUE(frames_until([&] { return server.connections() == 2; }));
    ASSERT_TRUE(server.wait_requests(2));
    EXPECT_EQ(param(server.request(1), "q"), "c~second");

    server.send(0, GOOD_HEAD + make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 1)}));
    server.close(0);
    server.send(1, GOOD_HEAD + make_download_db(tmp, FULL_LEVELS, {service_row("2", 2, 1)}));
    server.close(1);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(net_rows(), "c~second|2|c~second|Title 2\n");
}

TEST_F(ApiTest, StoredDownloadReentersTheListWhenItIsShown) {
    DownloadServer ds;
    use_server(ds.server);
    int resets = 0;
    static int* counter;
    counter = &resets;
    download_list_reset = [] { ++*counter; };
    ds.set("c~featured", make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 1)}));
    set_text(g.download_query, "c~featured");

    g.state = STATE_MENU_DOWNLOAD2;
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(screen(STATE_MENU_DOWNLOAD2).enters, 1);
    EXPECT_EQ(screen(STATE_MENU_DOWNLOAD2).leaves, 1);
    EXPECT_EQ(resets, 1);

    g.state = STATE_MENU_MAIN;  // elsewhere: stored, nothing re-entered
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(screen(STATE_MENU_DOWNLOAD2).enters, 1);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}

TEST_F(ApiTest, DownloadWithAnErrorStoresNothing) {
    DownloadServer ds;
    ds.head = "HTTP/1.0 200 OK\nX-Response: 0\nX-Error: E5: Try later.\n\n";
    use_server(ds.server);
    app_handles().net_db.query("insert into levels (id, q, title) values ('c~featured|7', 'c~featured', 'Old')");
    ds.set("c~featured", make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 1)}));
    set_text(g.download_query, "c~featured");
    g.state = STATE_MENU_DOWNLOAD2;
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(net_rows(), "c~featured|7|c~featured|Old\n");
    EXPECT_EQ(g.state, STATE_MENU_ERROR);
    EXPECT_EQ(g.error_return_state, STATE_MENU_DOWNLOAD2);
    EXPECT_STREQ(g.error_text, "E5: Try later.");
    EXPECT_FALSE(test::file_exists(path_join(user_dir(), "tmp.db")));
}

TEST_F(ApiTest, LongIdsStillFindTheirRow) {
    DownloadServer ds;
    use_server(ds.server);
    // "u~g:" and a 61-character user: the stored id is far longer than the
    // 31 characters of the record's id field.
    const std::string q = "u~g:" + std::string(61, 'n');
    const std::string id = "1700000000" + std::string(40, '7');
    ds.set(q, make_download_db(tmp, FULL_LEVELS, {service_row(id, 5, 1), service_row("1700000000", 6, 2)}));
    set_text(g.download_query, q);
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));

    ASSERT_TRUE(logic_load(g, app_handles().net_db, q + "|" + id));
    EXPECT_EQ(memcmp(g.edit_level.map, patterned_level(5)->map, sizeof g.edit_level.map), 0);
    EXPECT_STREQ(g.edit_level.title, ("Title " + id).c_str());
    EXPECT_EQ(strlen(g.edit_level.id), 31u);  // the field holds the id's first 31 characters

    // Two ids that agree in their first 31 characters stay two rows.
    ASSERT_TRUE(logic_load(g, app_handles().net_db, q + "|1700000000"));
    EXPECT_EQ(memcmp(g.edit_level.map, patterned_level(6)->map, sizeof g.edit_level.map), 0);
}

// ---------------------------------------------------------------------------
// Bad downloads: never a crash; a body that is no level database keeps the list.

TEST_F(ApiTest, BodiesThatAreNoLevelDatabaseKeepTheOldRows) {
    DownloadServer ds;
    use_server(ds.server);
    const std::string good = make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 1)});
    struct {
        const char* name;
        std::string body;
    } cases[] = {
        {"empty", ""},
        {"text", "<html>Service Unavailable</html>"},
        {"truncated database", good.substr(0, 1500)},
        {"header only", good.substr(0, 100)},
        {"no id column", make_download_db(tmp, "create table levels (name text, data blob)",
                                          {{{"name", text("x")}, {"data", blob("y")}}})},
        {"levels is a view",
         make_download_db(tmp, "create view levels as select 1 as id, 'v' as name", {})},
    };
    for (const auto& bc : cases) {
        SCOPED_TRACE(bc.name);
        app_handles().net_db.query("delete from levels");
        app_handles().net_db.query(
            "insert into levels (id, q, title) values ('c~featured|7', 'c~featured', 'Old')");
        ds.set("c~featured", bc.body);
        set_text(g.download_query, "c~featured");
        std::string err;
        api_download(g);
        err = stderr_of([&] { ASSERT_TRUE(idle(web_slots().download)); });
        EXPECT_NE(err.find("download is not a level database\n"), std::string::npos) << err;
        EXPECT_EQ(net_rows(), "c~featured|7|c~featured|Old\n");
    }
}

TEST_F(ApiTest, DownloadWithMissingColumnsStoresWhatItHas) {
    DownloadServer ds;
    use_server(ds.server);
    const std::string data = compress_level(*patterned_level(8));
    ds.set("c~odd", make_download_db(tmp, "create table levels (id text, name text, data blob)",
                                     {{{"id", text("1")}, {"name", text("n1")}, {"data", blob(data)}}}));
    set_text(g.download_query, "c~odd");
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(sqlite(net_path, "select id, name, q, author, title, hex(data) = '" + [&] {
                  std::string h = hex(data);
                  for (char& ch : h) ch = char(toupper(ch));
                  return h;
              }() + "' from levels"),
              "c~odd|1|n1|c~odd|||1\n");
    ASSERT_TRUE(logic_load(g, app_handles().net_db, "c~odd|1"));
    EXPECT_EQ(memcmp(g.edit_level.map, patterned_level(8)->map, sizeof g.edit_level.map), 0);
}

TEST_F(ApiTest, OversizedAndBinaryTextsAreStoredByteForByteAndCutOnLoad) {
    DownloadServer ds;
    use_server(ds.server);
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += char(i);
    const std::string id = "id" + binary.substr(1);  // no NUL in the id: it is looked up as text
    DownloadRow row = service_row("x", 9, 1);
    row[0].second = text(id);
    row[4].second = text(std::string(5000, 'A') + binary);    // author
    row[5].second = text(binary + binary);                     // title
    row[9].second = text(std::string(100000, 'i'));            // intro
    row[6].second = text(binary);                              // uid
    row[7].second = text("not a number");                      // stars
    ds.set("c~bin", make_download_db(tmp, FULL_LEVELS, {row}));
    set_text(g.download_query, "c~bin");
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(sqlite(net_path, "select length(cast(id as blob)), hex(title), length(intro) from levels"),
              std::to_string(6 + id.size()) + "|" + [&] {
                  std::string h = hex(binary + binary);
                  for (char& ch : h) ch = char(toupper(ch));
                  return h;
              }() + "|100000\n");

    ASSERT_TRUE(logic_load(g, app_handles().net_db, "c~bin|" + id));
    EXPECT_EQ(memcmp(g.edit_level.map, patterned_level(9)->map, sizeof g.edit_level.map), 0);
    EXPECT_EQ(strnlen(g.edit_level.author, sizeof g.edit_level.author), 31u);
    EXPECT_EQ(strnlen(g.edit_level.intro, sizeof g.edit_level.intro), 255u);
    EXPECT_EQ(g.edit_level.stars, 0.0f);
}

TEST_F(ApiTest, AnIdListedTwiceIsStoredOnceFromItsFirstRow) {
    DownloadServer ds;
    use_server(ds.server);
    // No primary key in the download: the same id twice. The first row is kept
    // and the rest of the download is stored.
    ds.set("c~dup", make_download_db(tmp, "create table levels (id text, name text, data blob, title text)",
                                     {{{"id", text("1")}, {"title", text("a")}},
                                      {{"id", text("1")}, {"title", text("b")}},
                                      {{"id", text("2")}, {"title", text("c")}}}));
    set_text(g.download_query, "c~dup");
    api_download(g);
    const std::string err = stderr_of([&] { ASSERT_TRUE(idle(web_slots().download)); });
    EXPECT_EQ(err.find("not stored"), std::string::npos) << err;
    EXPECT_EQ(sqlite(net_path, "select id, title from levels order by id"), "c~dup|1|a\nc~dup|2|c\n");
}

// A download whose second row cannot be read: its data runs on into overflow
// pages, and the first of them links to a page far past the end of the file.
// Its id still lists (it lies on the table page), so the damage shows only when
// the whole row is read.
std::string with_unreadable_second_row(const test::TempDir& tmp) {
    DownloadRow second = service_row("2", 2, 2);
    second[2].second = blob(std::string(12000, '\xAB'));
    std::string db = make_download_db(tmp, FULL_LEVELS,
                                      {service_row("1", 1, 1), second, service_row("3", 3, 3)});
    const unsigned char* b = reinterpret_cast<const unsigned char*>(db.data());
    size_t page = size_t(b[16]) << 8 | b[17];
    if (page == 1) page = 65536;
    for (size_t at = page; at + page <= db.size(); at += page) {
        const bool continues_the_blob = db.compare(at + 4, 64, std::string(64, '\xAB')) == 0;
        const bool links_on = db.compare(at, 4, std::string(4, '\0')) != 0;
        if (continues_the_blob && links_on) {
            db.replace(at, 4, "\x7f\xff\xff\xff");
            return db;
        }
    }
    ADD_FAILURE() << "no overflow page found";
    return db;
}

TEST_F(ApiTest, ADownloadThatFailsPartWayKeepsTheQuerysOldRows) {
    const std::string good = make_download_db(tmp, FULL_LEVELS,
                                              {service_row("1", 1, 1), service_row("2", 2, 2),
                                               service_row("3", 3, 3)});
    struct {
        const char* name;
        std::string body;
        const char* trigger;  // installed on the network database for the case
    } cases[] = {
        {"second row unreadable", with_unreadable_second_row(tmp), nullptr},
        {"second insert refused", good,
         "create trigger refuse before insert on levels when new.title = 'Title 2' "
         "begin select raise(abort, 'database or disk is full'); end"},
    };
    MyDB& net = app_handles().net_db;
    set_text(g.download_query, "c~featured");
    for (const auto& bc : cases) {
        SCOPED_TRACE(bc.name);
        net.query("drop trigger if exists refuse");
        net.query("delete from levels");
        net.query("insert into levels (id, q, title) values ('c~featured|7', 'c~featured', 'Old')");
        net.query("insert into levels (id, q, title) values ('c~featured|8', 'c~featured', 'Older')");
        net.query("insert into levels (id, q, title) values ('c~newest|1', 'c~newest', 'Other')");
        if (bc.trigger) net.query(bc.trigger);
        bool stored = true;
        const std::string err =
            stderr_of([&] { stored = store_download(g, bc.body.data(), bc.body.size(), bc.body.size()); });
        EXPECT_FALSE(stored);
        EXPECT_NE(err.find("download not stored: the old levels are kept\n"), std::string::npos) << err;
        EXPECT_EQ(net_rows(),
                  "c~featured|7|c~featured|Old\nc~featured|8|c~featured|Older\nc~newest|1|c~newest|Other\n");
        // Nothing is left half done: the next download goes through.
        net.query("drop trigger if exists refuse");
        EXPECT_TRUE(store_download(g, good.data(), good.size(), good.size()));
        EXPECT_EQ(sqlite(net_path, "select id from levels where q = 'c~featured' order by id"),
                  "c~featured|1\nc~featured|2\nc~featured|3\n");
    }
}

// What the connection to "tmp.db" allowed when the first change to the file
// was prepared. Every connection the process opens is watched by an SQLite
// authorizer installed as it opens; only the one to tmp.db records.
struct FirstChange {
    int action = 0;                 // the authorizer's action code; 0 = none yet
    int defensive = -1;
    int trusted_schema = -1;
    bool cell_size_check = false;   // switched on before it
};
FirstChange g_first_change;

int watch_tmp_db(void* db, int action, const char* a, const char*, const char*, const char*) {
    FirstChange& f = g_first_change;
    if (f.action != 0) return SQLITE_OK;
    if (action == SQLITE_PRAGMA && a && strcmp(a, "cell_size_check") == 0) f.cell_size_check = true;
    switch (action) {
    case SQLITE_ALTER_TABLE:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        f.action = action;
        sqlite3_db_config(static_cast<sqlite3*>(db), SQLITE_DBCONFIG_DEFENSIVE, -1, &f.defensive);
        sqlite3_db_config(static_cast<sqlite3*>(db), SQLITE_DBCONFIG_TRUSTED_SCHEMA, -1,
                          &f.trusted_schema);
        break;
    default:
        break;
    }
    return SQLITE_OK;
}

int watch_if_tmp_db(sqlite3* db, char**, const sqlite3_api_routines*) {
    const std::string name = sqlite3_db_filename(db, "main") ? sqlite3_db_filename(db, "main") : "";
    if (name.size() >= 7 && name.compare(name.size() - 7, 7, "/tmp.db") == 0)
        sqlite3_set_authorizer(db, watch_tmp_db, db);
    return SQLITE_OK;
}

TEST_F(ApiTest, TheDownloadIsLockedDownBeforeItsTablesAreUpgraded) {
    // An older table layout, so opening it alters the table and adds ratings.
    const std::string body = make_download_db(
        tmp, "create table levels (id text primary key, name text, data blob, ts int, author text, title text)",
        {{{"id", text("1")}, {"title", text("Old Layout")}}});
    g_first_change = FirstChange();
    auto entry = reinterpret_cast<void (*)()>(watch_if_tmp_db);
    ASSERT_EQ(sqlite3_auto_extension(entry), SQLITE_OK);
    set_text(g.download_query, "c~old");
    bool stored = false;
    stderr_of([&] { stored = store_download(g, body.data(), body.size(), body.size()); });
    sqlite3_cancel_auto_extension(entry);
    EXPECT_TRUE(stored);
    EXPECT_EQ(net_rows(), "c~old|1|c~old|Old Layout\n");
    EXPECT_EQ(g_first_change.action, SQLITE_ALTER_TABLE);
    EXPECT_EQ(g_first_change.defensive, 1);
    EXPECT_EQ(g_first_change.trusted_schema, 0);
    EXPECT_TRUE(g_first_change.cell_size_check);
}

// ---------------------------------------------------------------------------
// End to end: share, serve back as a download, load.

TEST_F(ApiTest, SharedLevelComesBackAsADownloadWithTheSameMap) {
    std::mutex mutex;
    std::string shared_body;
    test::write_file(tmp.file("serve.py"), R"PY(
import sys, base64, sqlite3, urllib.parse
form = urllib.parse.parse_qs(open(sys.argv[1], encoding='ascii').read(), keep_blank_values=True,
                             encoding='latin-1')
data = base64.b64decode(form['data'][0], validate=True)
db = sqlite3.connect(sys.argv[2])
db.execute('create table levels (id text primary key, name text, data blob, ts int, author text, '
           'title text, q text, uid text, stars float, skulls float, intro text, value int)')
db.execute('insert into levels values (?,?,?,?,?,?,?,?,?,?,?,?)',
           (form['id'][0], form['id'][0], data, 1700000999, 'ann', form['title'][0], None, 'g:ann',
            4.5, 2.0, form['intro'][0], 1))
db.commit()
)PY");
    const std::string dir = tmp.path();
    ScriptServer server([&](const std::string& request) {
        std::lock_guard<std::mutex> lock(mutex);
        if (request.rfind("POST ", 0) == 0) {
            shared_body = request.substr(request.find("\n\n") + 2);
            return std::optional<std::string>(GOOD_HEAD);
        }
        test::write_file(dir + "/shared.form", shared_body);
        run("rm -f '" + dir + "/served.db'; /usr/bin/python3 '" + dir + "/serve.py' '" + dir +
            "/shared.form' '" + dir + "/served.db'");
        return std::optional<std::string>(GOOD_HEAD + test::read_file(dir + "/served.db"));
    });
    use_server(server);

    std::unique_ptr<level> original = patterned_level(11);
    set_text(original->id, "1700000321");
    set_text(original->title, "Round Trip");
    set_text(original->intro, "There and back.");
    original->inventory[ACTOR_TIME_BOMB] = 3;
    g.edit_level = *original;
    api_share(g, 1);
    ASSERT_TRUE(idle(web_slots().share));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);  // a good reply shows nothing

    set_text(g.download_query, "c~newest");
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(sqlite(net_path, "select id, title, stars from levels"), "c~newest|1700000321|Round Trip|4.5\n");

    memset(&g.edit_level, 0, sizeof(level));
    ASSERT_TRUE(logic_load(g, app_handles().net_db, "c~newest|1700000321"));
    EXPECT_EQ(memcmp(g.edit_level.map, original->map, sizeof original->map), 0);
    EXPECT_EQ(g.edit_level.inventory[ACTOR_TIME_BOMB], 3);
    EXPECT_STREQ(g.edit_level.title, "Round Trip");
    EXPECT_STREQ(g.edit_level.intro, "There and back.");
    EXPECT_STREQ(g.edit_level.author, "ann");
    EXPECT_EQ(g.edit_level.stars, 4.5f);
}

}  // namespace

// A crash in the middle of an earlier import can leave tmp.db's rollback
// journal behind. SQLite would replay it onto the freshly written download
// (the journal does not name its database), so the import must start without it.
TEST_F(ApiTest, AStaleJournalOfAnEarlierImportIsNotReplayedOntoTheDownload) {
    // A hot journal of some other database: taken while a big update is under
    // way with a tiny page cache, so SQLite has already synced it.
    const std::string other = path_join(tmp.path(), "other.db");
    const std::string journal = path_join(user_dir(), "tmp.db-journal");
    run("/usr/bin/python3 - '" + other + "' '" + journal + "' <<'PY'\n"
        "import shutil, sqlite3, sys\n"
        "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
        "c.execute('pragma cache_size = 2')\n"
        "c.execute('create table t (x)')\n"
        "for i in range(300): c.execute('insert into t values (randomblob(1000))')\n"
        "c.execute('begin')\n"
        "c.execute('update t set x = randomblob(1000)')\n"
        "shutil.copy(sys.argv[1] + '-journal', sys.argv[2])\n"
        "c.execute('rollback')\n"
        "PY\n");
    ASSERT_TRUE(test::file_exists(journal));

    DownloadServer ds;
    use_server(ds.server);
    ds.set("c~featured", make_download_db(tmp, FULL_LEVELS, {service_row("1", 1, 2)}));
    set_text(g.download_query, "c~featured");
    api_download(g);
    ASSERT_TRUE(idle(web_slots().download));
    EXPECT_EQ(net_rows(), "c~featured|1|c~featured|Title 1\n");
}
