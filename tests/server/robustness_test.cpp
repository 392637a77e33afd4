// The level service against bad input, floods and crashes, over real sockets
// to a real murkwell-server process: every refusal carries a clear error and
// stores nothing (checked with the sqlite3 shell), the service keeps answering
// others, and a SIGKILL during a burst of shares loses no acknowledged one.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/service.h"
#include "server_process.h"
#include "test_support.h"

namespace {

using servertest::round_trip;
using servertest::get;
using servertest::post;
using servertest::Reply;
using servertest::ServerProcess;
using servertest::api;
using servertest::data_field;
using servertest::deflate;
using servertest::e;
using servertest::good_record;
using servertest::md5;
using servertest::share_body;
using test::sqlite;

struct Robustness : ::testing::Test {
    test::TempDir tmp;
    std::unique_ptr<ServerProcess> server;

    void start(std::vector<std::string> options) {
        server = std::make_unique<ServerProcess>(tmp.path(), std::move(options));
        ASSERT_TRUE(server->start()) << server->log();
    }
    void TearDown() override {
        if (server && server->pid() > 0) {
            EXPECT_EQ(server->terminate(), 0) << server->log();
        }
    }
    int port() const { return server->port(); }
    std::string count(const char* table) { return sqlite(server->db(), std::string("select count(*) from ") + table); }
    Reply create_account(const std::string& name, const char* from = nullptr) {
        return round_trip(port(),
                        post("/murkwell/manage.php", "do=create&name=" + e(name) + "&password=secret1&password2=secret1",
                             port()),
                        from);
    }
    Reply valid_from(const char* from) { return round_trip(port(), get(api("valid"), port()), from); }
};

TEST_F(Robustness, BadRequestsGetAClearErrorAndStoreNothing) {
    start({"--share-limit", "1000/1"});
    ASSERT_EQ(create_account("ann").status, 201);
    const std::string ann_valid = api("valid", "ann", "secret1");
    const std::string ann_share = api("share", "ann", "secret1");
    const std::string ann_plays = api("plays", "ann", "secret1");
    const std::string ann_track = api("track", "ann", "secret1");
    const std::string record = good_record();
    const std::string bomb = deflate(std::string(16 << 20, '\0'));  // 16 MiB from a few KiB

    struct Case {
        const char* what;
        std::string request;
        int status;
        std::string error;
    };
    const int p = port();
    const Case cases[] = {
        {"no action", get("/murkwell/api.php", p), 400, ERR_UNKNOWN_ACTION},
        {"duplicated action", get(ann_valid + "&_action=valid", p), 400, ERR_BAD_REQUEST},
        {"duplicated name", get("/murkwell/api.php?&_name=ann&_name=bob&_action=valid", p), 400, ERR_BAD_REQUEST},
        {"empty name is a guest", get("/murkwell/api.php?&_name=&_action=valid", p), 200, ""},
        {"binary name", get("/murkwell/api.php?&_name=%00%ff%01&_token=x&_action=valid", p), 403,
         ERR_UNKNOWN_ACCOUNT},
        {"oversized name", get("/murkwell/api.php?&_name=" + std::string(10000, 'a') + "&_action=valid", p), 403,
         ERR_UNKNOWN_ACCOUNT},
        {"missing token", get("/murkwell/api.php?&_name=ann&_action=valid", p), 403, ERR_WRONG_PASSWORD},
        {"other protocol", get("/murkwell/api.php?&_version=3&_action=valid", p), 400, ERR_VERSION},
        {"broken percent-encoding", get("/murkwell/api.php?&_name=%zz&_action=valid", p), 400, ERR_BAD_REQUEST},
        {"download without q", get(api("download"), p), 404, ERR_UNKNOWN_LIST},
        {"download of 10000 characters", get(api("download") + "&q=c~" + std::string(9998, 'x'), p), 404,
         ERR_UNKNOWN_LIST},
        {"download of nobody", get(api("download") + "&q=u~", p), 404, ERR_UNKNOWN_LIST},
        {"binary download", get(api("download") + "&q=u~%01%02", p), 404, ERR_UNKNOWN_LIST},
        {"share by GET", get(ann_share + share_body("a", data_field(deflate(record))), p), 405, ERR_SHARE_METHOD},
        {"share without data", post(ann_share, "&target=1&id=a", p), 400, ERR_MAP_DAMAGED},
        {"data not base64", post(ann_share, share_body("a", "%40%40%40%40"), p), 400, ERR_MAP_DAMAGED},
        {"base64 not zlib", post(ann_share, share_body("a", data_field("hello, world")), p), 400, ERR_MAP_DAMAGED},
        {"zlib bomb", post(ann_share, share_body("a", data_field(bomb)), p), 400, ERR_MAP_DAMAGED},
        {"record one byte short", post(ann_share, share_body("a", data_field(deflate(record.substr(1)))), p), 400,
         ERR_MAP_DAMAGED},
        {"record one byte long", post(ann_share, share_body("a", data_field(deflate(record + "x"))), p), 400,
         ERR_MAP_DAMAGED},
        {"bytes after the stream", post(ann_share, share_body("a", data_field(deflate(record) + "x")), p), 400,
         ERR_MAP_DAMAGED},
        {"duplicated data", post(ann_share, share_body("a", data_field(deflate(record))) + "&data=x", p), 400,
         ERR_BAD_REQUEST},
        {"other target", post(ann_share, "&target=2&id=a&data=" + data_field(deflate(record)), p), 400,
         ERR_BAD_REQUEST},
        {"no identifier", post(ann_share, "&target=1&data=" + data_field(deflate(record)), p), 400, ERR_BAD_REQUEST},
        {"identifier of 40", post(ann_share, share_body(std::string(40, 'i'), data_field(deflate(record))), p), 400,
         ERR_BAD_REQUEST},
        {"rating of 9", get(ann_plays + "&lid=1&tm=1&bonus=0&rewind=0&extra=0&stars=9&skulls=0", p), 400,
         ERR_BAD_REQUEST},
        {"negative time", get(ann_plays + "&lid=1&tm=-5&bonus=0&rewind=0&extra=0&stars=1&skulls=1", p), 400,
         ERR_BAD_REQUEST},
        {"plays without time", get(ann_plays + "&lid=1&bonus=0&rewind=0&extra=0&stars=1&skulls=1", p), 400,
         ERR_BAD_REQUEST},
        {"tutorial level", get(ann_plays + "&lid=t01&tm=1&bonus=0&rewind=0&extra=0&stars=1&skulls=1", p), 404,
         ERR_UNKNOWN_LEVEL},
        {"level not there", get(ann_plays + "&lid=77&tm=1&bonus=0&rewind=0&extra=0&stars=1&skulls=1", p), 404,
         ERR_UNKNOWN_LEVEL},
        {"event value", get(ann_track + "&page=level&category=1&action=win&value=xyz", p), 400, ERR_BAD_REQUEST},
        {"event action", get(ann_track + "&page=level&category=1&action=WIN&value=1", p), 400, ERR_BAD_REQUEST},
        {"event without level", get(ann_track + "&page=level&category=&action=win&value=1", p), 400,
         ERR_BAD_REQUEST},
        {"name of 40", post("/murkwell/manage.php",
                            "do=create&name=" + std::string(40, 'n') + "&password=secret1&password2=secret1", p),
         400, "A user name has 1 to 29 characters, no control characters and no spaces at either end."},
        {"name with a control byte", post("/murkwell/manage.php", "do=create&name=a%01b&password=secret1&password2=secret1", p),
         400, "A user name has 1 to 29 characters, no control characters and no spaces at either end."},
        {"short password", post("/murkwell/manage.php", "do=create&name=cat&password=abc&password2=abc", p), 400,
         "A password has 4 to 63 characters."},
        {"passwords differ", post("/murkwell/manage.php", "do=create&name=cat&password=abcd&password2=abce", p),
         400, "The two passwords differ. Enter the same password twice."},
        {"change with a wrong password",
         post("/murkwell/manage.php", "do=change&name=ann&password=nope&new=secret9&new2=secret9", p), 403,
         ERR_WRONG_PASSWORD},
        {"unknown form", post("/murkwell/manage.php", "do=drop&name=ann", p), 400, ERR_BAD_REQUEST},
        {"stats of nobody", get("/murkwell/stats.php?uid=g%3anobody", p), 404, ERR_UNKNOWN_ACCOUNT},
        {"stats without uid", get("/murkwell/stats.php", p), 400, ERR_BAD_REQUEST},
        {"other path", get("/etc/passwd", p), 404, ERR_NOT_FOUND},
        {"body over 1 MiB", post(ann_share, share_body("a", std::string((1 << 20) + 1, 'A')), p), 413,
         ERR_TOO_LARGE},
        {"chunked body over 1 MiB",
         "POST " + ann_share + " HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" +
             [] {
                 std::string chunks;
                 for (int i = 0; i < 40; ++i) chunks += "8000\r\n" + std::string(0x8000, 'A') + "\r\n";
                 return chunks + "0\r\n\r\n";
             }(),
         413, ERR_TOO_LARGE},
    };
    for (const Case& c : cases) {
        const Reply r = round_trip(p, c.request);
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.head;
        EXPECT_EQ(r.header("X-Response"), "1") << c.what;
        EXPECT_EQ(r.header("X-Error"), c.error) << c.what;
    }
    // Bytes that are no HTTP at all: refused by the HTTP layer.
    EXPECT_EQ(round_trip(p, std::string("\x01\x02\xff garbage\n\n", 14)).status, 400);

    EXPECT_EQ(count("levels"), "0\n");
    EXPECT_EQ(count("accounts"), "1\n");
    EXPECT_EQ(count("plays") + count("events") + count("ratings"), "0\n0\n0\n");
    const Reply still = round_trip(p, get(ann_valid, p));
    EXPECT_EQ(still.status, 200);
    EXPECT_EQ(still.header("X-Error"), "");
    // The log names the refusals but never the token.
    EXPECT_EQ(server->log().find(md5("ann|" + md5("secret1"))), std::string::npos);
    EXPECT_NE(server->log().find("share 400 0"), std::string::npos);
}

TEST_F(Robustness, FloodsFromOneAddressAreLimitedOthersGoOn) {
    start({"--share-limit", "3/3600", "--account-limit", "2/3600", "--plays-limit", "2/3600"});
    ASSERT_EQ(create_account("ann", "127.0.0.3").status, 201);
    const std::string share = api("share", "ann", "secret1");
    const std::string data = data_field(deflate(good_record()));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(round_trip(port(), post(share, share_body("m" + std::to_string(i), data), port())).status, 200);
    const Reply flood = round_trip(port(), post(share, share_body("m3", data), port()));
    EXPECT_EQ(flood.status, 429);
    EXPECT_EQ(flood.header("X-Error"), ERR_TOO_MANY_SHARES);
    EXPECT_EQ(round_trip(port(), post(share, share_body("m4", data), port()), "127.0.0.2").status, 200);
    EXPECT_EQ(sqlite(server->db(), "select id from levels order by id"), "m0\nm1\nm2\nm4\n");

    // Finished plays: a flood is refused, and nothing of it is counted.
    const std::string played = api("plays", "ann", "secret1") + "&lid=1&tm=9&bonus=0&rewind=0&extra=0&stars=4&skulls=2";
    for (int i = 0; i < 2; ++i) EXPECT_EQ(round_trip(port(), get(played, port())).status, 200);
    const Reply too_many = round_trip(port(), get(played, port()));
    EXPECT_EQ(too_many.status, 429);
    EXPECT_EQ(too_many.header("X-Error"), ERR_TOO_MANY_PLAYS);
    EXPECT_EQ(round_trip(port(), get(played, port()), "127.0.0.2").status, 200);
    EXPECT_EQ(sqlite(server->db(), "select count(*) from plays"), "3\n");
    EXPECT_EQ(sqlite(server->db(), "select plays from levels where number = 1"), "3\n");

    EXPECT_EQ(create_account("cat").status, 201);
    EXPECT_EQ(create_account("dog").status, 201);
    const Reply third = create_account("eel");
    EXPECT_EQ(third.status, 429);
    EXPECT_EQ(third.header("X-Error"), ERR_TOO_MANY_ACCOUNTS);
    EXPECT_EQ(create_account("eel", "127.0.0.2").status, 201);
    EXPECT_EQ(sqlite(server->db(), "select name from accounts order by name"), "ann\ncat\ndog\neel\n");
}

TEST_F(Robustness, SlowAndCountlessConnectionsAreCut) {
    start({"--timeout", "1", "--max-per-address", "8", "--max-connections", "64"});
    rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    // Slow clients: a request line and then nothing.
    std::vector<int> slow;
    for (int i = 0; i < 8; ++i) {
        const int fd = servertest::connect_to(port(), "127.0.0.2");
        ASSERT_GE(fd, 0);
        servertest::send_all(fd, "GET /murkwell/api.php?&_action=valid HTTP/1.0\nHost: x\n");
        slow.push_back(fd);
    }
    // Hundreds more from the same address: held off at the door.
    std::vector<int> crowd;
    for (int i = 0; i < 400; ++i) {
        const int fd = servertest::connect_to(port(), "127.0.0.2");
        if (fd >= 0) crowd.push_back(fd);
    }
    EXPECT_EQ(valid_from("127.0.0.1").status, 200);
    EXPECT_EQ(valid_from("127.0.0.4").status, 200);
    // The silent ones are closed by the service after its time-out.
    for (int fd : slow) {
        EXPECT_EQ(servertest::read_to_end(fd), "");
        close(fd);
    }
    for (int fd : crowd) close(fd);

    // Many addresses at once run into the limit for all; the service stays up.
    std::vector<int> many;
    for (int a = 10; a < 30; ++a)
        for (int i = 0; i < 8; ++i) {
            const int fd = servertest::connect_to(port(), ("127.0.0." + std::to_string(a)).c_str());
            if (fd >= 0) many.push_back(fd);
        }
    for (int fd : many) close(fd);
    EXPECT_TRUE(servertest::eventually([&] { return valid_from("127.0.0.2").status == 200; }));
}

TEST_F(Robustness, AKillDuringABurstOfSharesLosesNoAcknowledgedShare) {
    start({"--share-limit", "100000/1", "--quiet"});
    ASSERT_EQ(create_account("ann").status, 201);
    const std::string share = api("share", "ann", "secret1");
    const std::string data = data_field(deflate(good_record()));
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::atomic<bool> stop{false};
    const int p = port();
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                const std::string id = "t" + std::to_string(t) + "-" + std::to_string(i);
                const Reply r = round_trip(p, post(share, share_body(id, data), p));
                if (r.status == 0) break;  // the service is gone
                if (r.status == 200 && r.header("X-Error").empty()) {
                    std::lock_guard<std::mutex> lock(mutex);
                    acknowledged.insert(id);
                }
            }
        });
    }
    ASSERT_TRUE(servertest::eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return acknowledged.size() >= 40;
    }));
    server->kill9();
    stop = true;
    for (std::thread& t : senders) t.join();

    ASSERT_TRUE(server->start()) << server->log();
    EXPECT_EQ(sqlite(server->db(), "pragma integrity_check"), "ok\n");
    const std::string stored = sqlite(server->db(), "select id from levels");
    std::set<std::string> have;
    for (size_t at = 0; at < stored.size();) {
        const size_t end = stored.find('\n', at);
        have.insert(stored.substr(at, end - at));
        at = end + 1;
    }
    for (const std::string& id : acknowledged) EXPECT_EQ(have.count(id), 1u) << id;
    EXPECT_GE(have.size(), acknowledged.size());
    EXPECT_EQ(valid_from("127.0.0.1").status, 200);
}

TEST_F(Robustness, AdministrationCommandsWorkWhileItServes) {
    start({});
    ASSERT_EQ(create_account("ann").status, 201);
    const std::string data = data_field(deflate(good_record()));
    for (const char* id : {"m1", "m2"})
        ASSERT_EQ(round_trip(port(), post(api("share", "ann", "secret1"), share_body(id, data), port())).status, 200);
    auto featured = [&] {
        const Reply r = round_trip(port(), get(api("download") + "&q=c~featured", port()));
        test::write_file(tmp.file("featured.db"), r.body);
        return sqlite(tmp.file("featured.db"), "select id from levels order by value");
    };
    EXPECT_EQ(featured(), "");

    const std::string levels = server->admin("levels");
    EXPECT_NE(levels.find("2\t"), std::string::npos) << levels;
    EXPECT_NE(levels.find("\tg:ann\tann\tT\tfeatured 0\t"), std::string::npos) << levels;
    EXPECT_EQ(server->admin("feature 2 1"), "feature 2: done\nfeature 1: done\n");
    EXPECT_EQ(featured(), "2\n1\n");
    EXPECT_EQ(server->admin("unfeature 2"), "unfeature 2: done\n");
    EXPECT_EQ(featured(), "1\n");
    EXPECT_EQ(server->admin("delete 1 9"), "delete 1: done\ndelete 9: no such level or account\n");
    EXPECT_EQ(featured(), "");
    EXPECT_EQ(sqlite(server->db(), "select id from levels"), "m2\n");

    EXPECT_EQ(server->admin("block ann"), "block ann: done\n");
    EXPECT_NE(server->admin("accounts").find("ann\tg:ann\t"), std::string::npos);
    EXPECT_NE(server->admin("accounts").find("\tblocked\n"), std::string::npos);
    const Reply blocked = round_trip(port(), get(api("valid", "ann", "secret1"), port()));
    EXPECT_EQ(blocked.header("X-Error"), ERR_BLOCKED);
    EXPECT_EQ(server->admin("unblock ann"), "unblock ann: done\n");
    EXPECT_EQ(round_trip(port(), get(api("valid", "ann", "secret1"), port())).header("X-Error"), "");
    EXPECT_NE(server->admin("feature").find("usage:"), std::string::npos);
}

TEST_F(Robustness, AdministrationListsShowPlayersTextsInertly) {
    start({});
    ASSERT_EQ(create_account("ann").status, 201);
    // A title that would retitle the administrator's terminal, clear it and
    // shift the columns, if it were printed as it came (and a letter of UTF-8).
    const std::string title = "\x1b]0;owned\x07\x1b[2J\tcol\rback\x9b" "31m\xc3\xa9";
    const std::string body = "&target=1&id=esc&title=" + servertest::e(title) + "&intro=I&data=" +
                             data_field(deflate(good_record()));
    ASSERT_EQ(round_trip(port(), post(api("share", "ann", "secret1"), body, port())).status, 200);

    const std::string levels = server->admin("levels");
    ASSERT_NE(levels.find("\tg:ann\tann\t"), std::string::npos) << levels;
    size_t tabs = 0;
    for (char c : levels) {
        const unsigned char u = static_cast<unsigned char>(c);
        EXPECT_TRUE(u == '\t' || u == '\n' || (u >= 0x20 && u < 0x7f)) << "byte " << int(u) << " in " << levels;
        tabs += c == '\t';
    }
    EXPECT_EQ(tabs, 8u) << "one line of nine columns: " << levels;
    EXPECT_NE(levels.find("\\x1b]0;owned\\x07\\x1b[2J\\x09col\\x0dback\\x9b31m\\xc3\\xa9"), std::string::npos)
        << levels;
}

}  // namespace
