// The level service's rules, in process: Service::handle on a real SQLite
// file with a clock the test moves. Download bodies are read back with the
// sqlite3 shell; the featured seed is a level database made by the game's own
// storage code.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/fixed_text.h"
#include "db/mydb.h"
#include "platform/files.h"
#include "server/service.h"
#include "server/sqlite_store.h"
#include "server_process.h"
#include "test_support.h"
#include "world/storage.h"

namespace {

using servertest::api;
using servertest::data_field;
using servertest::deflate;
using servertest::good_record;
using servertest::share_body;
using test::sqlite;

const int64_t DAY = 86400;

struct ServiceRules : ::testing::Test {
    test::TempDir tmp;
    int64_t clock = 1800000000;
    TileKinds kinds;
    std::unique_ptr<SqliteStore> store;
    std::unique_ptr<Service> service;

    void SetUp() override {
        set_data_dir(test::source_data_dir());
        ASSERT_TRUE(load_tile_kinds(kinds));
        open(SqliteStoreOptions{});
    }
    void TearDown() override { set_data_dir(""); }

    void open(SqliteStoreOptions options) {
        service.reset();
        store = std::make_unique<SqliteStore>(tmp.file("service.db"), options);
        ASSERT_TRUE(store->ok());
        ServiceOptions o;
        o.shares = {1000, 1};
        o.clock = [this] { return clock; };
        service = std::make_unique<Service>(*store, kinds, o);
    }

    Reply get(const std::string& target) { return service->handle(Request{"GET", target, "", "", "127.0.0.1"}); }
    Reply post(const std::string& target, const std::string& body) {
        return service->handle(Request{"POST", target, "application/x-www-form-urlencoded", body, "127.0.0.1"});
    }

    void account(const std::string& name) {
        ASSERT_EQ(post("/murkwell/manage.php", "do=create&name=" + name + "&password=pw" + name + "&password2=pw" + name)
                      .status,
                  201);
    }
    std::string as(const std::string& action, const std::string& name) { return api(action, name, "pw" + name); }

    // Shares a good map as `name` and returns its number.
    std::string share(const std::string& name, const std::string& id) {
        const Reply r = post(as("share", name), share_body(id, data_field(deflate(good_record()))));
        EXPECT_EQ(r.error, "") << id;
        return r.body.substr(0, r.body.find('\n'));
    }
    void play(const std::string& name, const std::string& number, int stars, int skulls) {
        const Reply r = get(as("plays", name) + "&lid=" + number + "&tm=30&bonus=0&rewind=0&extra=1&stars=" +
                            std::to_string(stars) + "&skulls=" + std::to_string(skulls));
        EXPECT_EQ(r.error, "") << name << " " << number;
    }
    void event(const std::string& name, const std::string& category, const std::string& action, int value) {
        const Reply r = get(as("track", name) + "&page=level&category=" + category + "&action=" + action +
                            "&value=" + std::to_string(value));
        EXPECT_EQ(r.error, "") << action;
    }

    // The rows of a download as the sqlite3 shell reads them ("name|stars|skulls|value" per line).
    std::string list(const std::string& q, const std::string& as_name = "", const char* columns = "name") {
        const Reply r = get((as_name.empty() ? api("download") : as("download", as_name)) + "&q=" + q);
        EXPECT_EQ(r.error, "") << q;
        test::write_file(tmp.file("list.db"), r.bytes());
        return sqlite(tmp.file("list.db"), std::string("select ") + columns + " from levels order by value");
    }
};

TEST_F(ServiceRules, RatingsReplaceEarlierOnesAndZeroMeansNotRated) {
    account("ann");
    account("bob");
    const std::string n = share("ann", "m1");
    struct Step {
        const char* who;
        int stars, skulls;
        const char* averages;  // stars|skulls of the level afterwards
    } steps[] = {
        {"ann", 5, 0, "5.0|0.0"},  // skulls not rated
        {"ann", 0, 3, "5.0|3.0"},  // stars kept
        {"ann", 2, 0, "2.0|3.0"},  // replaced, not added
        {"bob", 4, 1, "3.0|2.0"},
        {"bob", 0, 0, "3.0|2.0"},  // a play without a rating
    };
    for (const Step& s : steps) {
        play(s.who, n, s.stars, s.skulls);
        EXPECT_EQ(list("c~newest", "", "stars, skulls"), std::string(s.averages) + "\n") << s.who << s.stars;
    }
    EXPECT_EQ(sqlite(tmp.file("service.db"), "select plays, star_votes, skull_votes from levels"), "5|2|2\n");
    // A guest rates as its device.
    const Reply guest = get(api("plays") + "&lid=" + n + "&tm=1&bonus=0&rewind=0&extra=0&stars=5&skulls=5");
    EXPECT_EQ(guest.error, "");
    EXPECT_EQ(sqlite(tmp.file("service.db"), "select player, stars, skulls from ratings order by player"),
              "d:time|1|5|5\ng:ann|2|3\ng:bob|4|1\n");
}

TEST_F(ServiceRules, PopularCountsTheLast30DaysAndListsFollowTheClock) {
    account("ann");
    const std::string old_hit = share("ann", "m1");
    const std::string recent = share("ann", "m2");
    const std::string quiet = share("ann", "m3");
    for (int i = 0; i < 3; ++i) play("ann", old_hit, 0, 0);
    clock += 20 * DAY;
    play("ann", recent, 0, 0);
    play("ann", recent, 0, 0);
    EXPECT_EQ(list("c~popular"), old_hit + "\n" + recent + "\n" + quiet + "\n");
    // Eleven days later the first three plays are older than 30 days (levels
    // without recent plays follow, newest first); nothing was written in
    // between, so only the clock can move the cached list.
    clock += 11 * DAY;
    EXPECT_EQ(list("c~popular"), recent + "\n" + quiet + "\n" + old_hit + "\n");
    // The newest list: the last share first; sharing a map again moves it up
    // and keeps its number and plays.
    EXPECT_EQ(list("c~newest"), quiet + "\n" + recent + "\n" + old_hit + "\n");
    clock += 1;
    EXPECT_EQ(share("ann", "m1"), old_hit);
    EXPECT_EQ(list("c~newest"), old_hit + "\n" + quiet + "\n" + recent + "\n");
    EXPECT_EQ(sqlite(tmp.file("service.db"), "select plays from levels where number = " + old_hit), "3\n");
}

TEST_F(ServiceRules, PlayEventsAreBoundedAndCountForThePlayersPage) {
    SqliteStoreOptions bounded;
    bounded.event_limit = 50;
    open(bounded);
    account("ann");
    event("ann", "t01", "start", 0);
    event("ann", "t02", "start", 0);
    event("ann", "t01", "win", 100);
    event("ann", "t02", "quit", 50);
    event("ann", "t02", "restart", 2000000000);  // counts as one day at most
    event("ann", "t02", "rewind", 40);           // not the end of a play
    const Reply page = get("/murkwell/stats.php?uid=g%3aann");
    EXPECT_EQ(page.status, 200);
    const int64_t seconds = 100 + 50 + DAY;
    char played[256];
    snprintf(played, sizeof played,
             "<tr><th>Levels played</th><td class=\"n\">2</td></tr>\n<tr><th>Levels won</th><td "
             "class=\"n\">1</td></tr>\n<tr><th>Play time</th><td class=\"n\">%lld:%02lld:%02lld</td></tr>",
             static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
             static_cast<long long>(seconds % 60));
    EXPECT_NE(page.body.find(played), std::string::npos) << page.body;

    // Guests' events are kept too, but only the newest 50 of all.
    for (int i = 0; i < 120; ++i) {
        const Reply r = get(api("track") + "&page=level&category=t03&action=start&value=" + std::to_string(i));
        ASSERT_EQ(r.error, "");
    }
    EXPECT_EQ(sqlite(tmp.file("service.db"), "select count(*), min(value), max(value) from events"), "50|70|119\n");
}

TEST_F(ServiceRules, FeaturedLevelsComeFromTheSeedOnceAndAdministrationShowsAtOnce) {
    // A seed in the game's own level database format, the data column written
    // as the game writes it.
    MyDB seed;
    open_level_db(seed, tmp.file("featured.db"));
    std::string record = good_record();
    const std::string good = deflate(record);
    std::string no_player = record;
    no_player[offsetof(level, map) + 64 + MAP_SIZE * 64] = 1;
    struct Row {
        const char* id;
        std::string data;
        const char* value;
    } rows[] = {{"second", good, "2"}, {"first", good, "1"}, {"broken", "not zlib", "0"},
                {"nobody", deflate(no_player), "3"}, {"third", good, "4"}};
    for (const Row& r : rows)
        seed.query("insert into levels (id,name,data,ts,author,title,uid,intro,value) values (?,?,?,?,?,?,?,?,?)",
                   {r.id, r.id, r.data, "1", "Murkwell", std::string("Title ") + r.id, "", "Intro", r.value});
    seed.close();

    const std::string log = test::stderr_of([&] { service->seed_once(tmp.file("featured.db")); });
    EXPECT_NE(log.find("level \"broken\" is not a sound level"), std::string::npos) << log;
    EXPECT_NE(log.find("level \"nobody\" is not a sound level"), std::string::npos) << log;
    EXPECT_NE(log.find("loaded 3 from"), std::string::npos) << log;
    EXPECT_EQ(list("c~featured", "", "id, title, author"), "1|Title first|Murkwell\n2|Title second|Murkwell\n"
                                                             "3|Title third|Murkwell\n");
    service->seed_once(tmp.file("featured.db"));
    EXPECT_EQ(store->level_count(), 3);

    // Another process administers the same file; the cached list notices.
    {
        SqliteStore admin(tmp.file("service.db"));
        ASSERT_TRUE(admin.set_featured(1, false));
        ASSERT_TRUE(admin.set_featured(1, true));
        ASSERT_TRUE(admin.remove_level(2));
    }
    EXPECT_EQ(list("c~featured"), "3\n1\n");
    ASSERT_TRUE(store->remove_level(1));
    ASSERT_TRUE(store->remove_level(3));
    service->seed_once(tmp.file("featured.db"));
    EXPECT_EQ(store->level_count(), 0);  // seeded once, not again
}

TEST_F(ServiceRules, ABlockedAccountIsRefusedAndItsLevelsLeaveTheLists) {
    account("ann");
    account("bob");
    const std::string a = share("ann", "m1");
    const std::string b = share("bob", "m1");
    play("bob", a, 5, 0);
    EXPECT_EQ(list("c~newest"), b + "\n" + a + "\n");
    ASSERT_TRUE(store->set_blocked("ann", true));
    EXPECT_EQ(get(as("valid", "ann")).error, ERR_BLOCKED);
    EXPECT_EQ(post(as("share", "ann"), share_body("m2", data_field(deflate(good_record())))).error, ERR_BLOCKED);
    EXPECT_EQ(list("c~newest"), b + "\n");
    EXPECT_EQ(list("c~favorites", "bob"), "");
    EXPECT_EQ(get("/murkwell/stats.php?uid=g%3aann").status, 404);
    ASSERT_TRUE(store->set_blocked("ANN", false));
    EXPECT_EQ(list("c~favorites", "bob"), a + "\n");
    // A password change through the account page takes effect at once.
    EXPECT_EQ(post("/murkwell/manage.php", "do=change&name=ann&password=pwann&new=fresh1&new2=fresh1").status, 200);
    EXPECT_EQ(get(as("valid", "ann")).error, ERR_WRONG_PASSWORD);
    EXPECT_EQ(get(api("valid", "ann", "fresh1")).error, "");
}

TEST_F(ServiceRules, EveryShippedFeaturedLevelLoads) {
    const std::string shipped = test::source_data_dir() + "/featured.db";
    if (!test::file_exists(shipped)) GTEST_SKIP() << "no featured levels shipped yet";
    const std::string rows = sqlite(shipped, "select count(*) from levels");
    std::string log;
    int loaded = -1;
    log = test::stderr_of([&] { loaded = service->load_featured(shipped); });
    EXPECT_EQ(std::to_string(loaded) + "\n", rows) << log;
    EXPECT_EQ(log.find("not a sound level"), std::string::npos) << log;
    EXPECT_EQ(list("c~featured", "", "count(*)"), rows);
}

}  // namespace
