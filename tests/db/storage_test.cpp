// Level storage on real SQLite files: table upgrades, saving, loading and bad
// rows, checked with the sqlite3 shell and Python's zlib.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "db/mydb.h"
#include "test_support.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

using test::run;
using test::sqlite;
using test::stderr_of;

const char* const FINAL_LEVELS =
    "id text\nname text\ndata blob\nts int\nauthor text\ntitle text\nq text\nuid text\n"
    "stars float\nskulls float\nintro text\nvalue int\n";
const char* const FINAL_RATINGS = "lid text\nstars int\nskulls int\n";

std::string columns_of(const std::string& path, const char* table) {
    return sqlite(path, std::string("select name || ' ' || lower(type) from pragma_table_info('") + table +
                            "')");
}

std::string zlib_compress(const void* bytes, size_t size, int level = Z_DEFAULT_COMPRESSION) {
    std::string out(compressBound(uLong(size)), '\0');
    uLongf n = out.size();
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&out[0]), &n, static_cast<const Bytef*>(bytes),
                        uLong(size), level),
              Z_OK);
    out.resize(n);
    return out;
}

std::string bytes_of(const level& lv) {
    return std::string(reinterpret_cast<const char*>(&lv), sizeof lv);
}

template <size_t N>
void set_text(char (&field)[N], const std::string& s) {
    memset(field, 0, N);
    memcpy(field, s.data(), std::min(s.size(), N - 1));
}

// The blank map: tile 32 frame, 3x3 floor, tile 4 at the centre.
void expect_blank(const level& lv) {
    for (int y = 0; y < MAP_SIZE; ++y) {
        for (int x = 0; x < MAP_SIZE; ++x) {
            const bool frame = x < 4 || y < 4 || x > 123 || y > 123;
            const bool floor = x >= 63 && x <= 65 && y >= 63 && y <= 65;
            const int want = frame ? 32 : (x == 64 && y == 64) ? 4 : floor ? 1 : 0;
            ASSERT_EQ(lv.map[x + MAP_SIZE * y], want) << x << "," << y;
        }
    }
    EXPECT_EQ(lv.unbeaten, 1);
    EXPECT_EQ(lv.look_x, 64.0f);
    EXPECT_STREQ(lv.title, "");
    EXPECT_STREQ(lv.name, "");
}

// A game record with guard bytes after it: loading must never write past it.
struct Guarded {
    game g;
    unsigned char guard[8192];
};

struct StorageTest : ::testing::Test {
    test::TempDir tmp;
    std::string path = tmp.file("user.db");
    MyDB db;
    std::unique_ptr<Guarded> box{new Guarded()};
    game& g = box->g;

    void SetUp() override {
        memset(box->guard, 0xA5, sizeof box->guard);
        stderr_of([&] { open_level_db(db, path); });
        ASSERT_TRUE(db.is_open());
    }
    void TearDown() override {
        for (unsigned char b : box->guard) ASSERT_EQ(b, 0xA5) << "written past the record";
    }

    // A busy stored copy and the play copy's texts, as the editor leaves them.
    void make_map(const char* id, uint32_t seed = 1) {
        new_level(g);
        std::mt19937 rng(seed);
        level& st = g.edit_level;
        for (int y = 4; y < 124; ++y)
            for (int x = 4; x < 124; ++x) st.map[x + MAP_SIZE * y] = uint8_t(rng() % 60);
        st.inventory[ACTOR_DETONATOR] = 3;
        st.inventory[ACTOR_MINI_BOMB] = 7;
        set_text(st.theme, "night");
        set_text(st.music, "tension");
        st.cam_dist = 12.5f;
        st.cam_angle = 45.0f;
        st.look_x = 70.25f;
        st.look_y = 33.5f;
        st.zoom_target = -10.0f;
        st.reserved2[7] = 0x5c;  // unknown bytes travel too
        level& pl = g.level;
        set_text(pl.id, id);
        set_text(pl.name, std::string("name of ") + id);
        set_text(pl.author, "Ada");
        set_text(pl.title, "The Long Corridor");
        set_text(pl.uid, "u:42");
        set_text(pl.intro, "Get in, blow the pillars, get out.");
    }

    // Inserts a row directly; absent columns stay NULL.
    void insert_row(const std::vector<std::pair<std::string, std::string>>& values) {
        std::string cols, marks;
        std::vector<std::string> params;
        for (auto& [c, v] : values) {
            cols += (cols.empty() ? "" : ",") + c;
            marks += marks.empty() ? "?" : ",?";
            params.push_back(v);
        }
        db.query("insert into levels (" + cols + ") values (" + marks + ")", params);
        ASSERT_EQ(db.error, 0);
    }

    std::string load(const std::string& id, bool* ok = nullptr) {
        return stderr_of([&] {
            const bool loaded = logic_load(g, db, id);
            if (ok) *ok = loaded;
        });
    }
};

// ---------------------------------------------------------------------------
// open_level_db

struct UpgradeCase {
    const char* name;
    std::vector<const char*> setup;  // statements making the old table
    int before;
    std::vector<const char*> errors;  // statements that are passed over
};

TEST(OpenLevelDb, EveryOlderFormatGrowsToTheFinalOne) {
    const char* six =
        "create table levels (id text primary key, name text, data blob, ts int, author text, "
        "title text)";
    const UpgradeCase cases[] = {
        {"empty file", {}, 0, {}},
        {"first six", {six}, 6, {}},
        {"with q", {six, "alter table levels add q text"}, 7, {}},
        {"with q and uid",
         {six, "alter table levels add q text", "alter table levels add uid text"},
         8,
         {"sqlite3:prepare [1] duplicate column name: uid\n"}},
        {"all but value",
         {six, "alter table levels add q text", "alter table levels add uid text",
          "alter table levels add stars float", "alter table levels add skulls float",
          "alter table levels add intro text"},
         11,
         {}},
    };
    for (const UpgradeCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir tmp;
        const std::string path = tmp.file("net.db");
        for (const char* sql : c.setup) sqlite(path, sql);
        if (c.before == 6) sqlite(path, "insert into levels (id, name) values ('old', 'Old Map')");
        MyDB db;
        const std::string log = stderr_of([&] { open_level_db(db, path); });
        std::string want = "levels " + path + " has " + std::to_string(c.before) + " \n";
        for (const char* e : c.errors) want += e;
        want += "levels " + path + " now has 12 \n";
        want += "ratings " + path + " has 0 \nratings " + path + " has 3 \n";
        EXPECT_EQ(log, want);
        EXPECT_EQ(columns_of(path, "levels"), FINAL_LEVELS);
        EXPECT_EQ(columns_of(path, "ratings"), FINAL_RATINGS);
        if (c.before == 6) {
            // The old row reads its new columns as NULL.
            EXPECT_EQ(sqlite(path, "select id, name, q is null, uid is null, value is null from "
                                   "levels"),
                      "old|Old Map|1|1|1\n");
        }
    }
}

TEST(OpenLevelDb, AnEmptyFileGetsBothTables) {
    // A zero-byte file (left by an interrupted first start) is a database
    // with no tables yet.
    test::TempDir tmp;
    const std::string path = tmp.file("user.db");
    test::write_file(path, "");
    MyDB db;
    const std::string log = stderr_of([&] { open_level_db(db, path); });
    EXPECT_EQ(log, "levels " + path + " has 0 \nlevels " + path + " now has 12 \nratings " + path +
                       " has 0 \nratings " + path + " has 3 \n");
    EXPECT_EQ(columns_of(path, "levels"), FINAL_LEVELS);
    EXPECT_EQ(columns_of(path, "ratings"), FINAL_RATINGS);
}

TEST(OpenLevelDb, AnUpToDateFileIsOnlyCounted) {
    test::TempDir tmp;
    const std::string path = tmp.file("user.db");
    { MyDB first; stderr_of([&] { open_level_db(first, path); }); }
    const std::string before = test::read_file(path);
    MyDB db;
    const std::string log = stderr_of([&] { open_level_db(db, path); });
    EXPECT_EQ(log, "levels " + path + " has 12 \nlevels " + path + " now has 12 \nratings " + path +
                       " has 3 \n");
    EXPECT_EQ(test::read_file(path), before);
}

TEST(OpenLevelDb, ShippedGameDbHasTheFinalTablesAndStaysUntouched) {
    const std::string shipped = test::source_data_dir() + "/game.db";
    ASSERT_TRUE(test::file_exists(shipped));
    EXPECT_EQ(columns_of(shipped, "levels"), FINAL_LEVELS);
    EXPECT_EQ(columns_of(shipped, "ratings"), FINAL_RATINGS);

    // Opening it at start-up writes nothing (the data folder may be read-only),
    // and every level it ships loads.
    test::TempDir tmp;
    const std::string copy = tmp.file("game.db");
    test::write_file(copy, test::read_file(shipped));
    MyDB db;
    const std::string log = stderr_of([&] { open_level_db(db, copy); });
    EXPECT_EQ(log, "levels " + copy + " has 12 \nlevels " + copy + " now has 12 \nratings " + copy +
                       " has 3 \n");
    EXPECT_EQ(test::read_file(copy), test::read_file(shipped));
    std::unique_ptr<game> g(new game());
    for (const Row& row : db.query("select id from levels")) {
        bool ok = false;
        const std::string err = stderr_of([&] { ok = logic_load(*g, db, row.at("id")); });
        EXPECT_TRUE(ok) << row.at("id") << err;
    }
}

TEST(OpenLevelDb, MakeGameDbToolWritesTheSchemaTheGameBuilds) {
    test::TempDir tmp;
    const std::string made = tmp.file("tool.db");
    const std::string out =
        run(std::string(MURKWELL_SOURCE_DIR) + "/tools/make_game_db.sh " + made + " 2>&1");
    EXPECT_EQ(out, "wrote " + made + "\n");
    MyDB db;
    stderr_of([&] { open_level_db(db, tmp.file("game-made.db")); });
    EXPECT_EQ(sqlite(made, ".schema"), sqlite(tmp.file("game-made.db"), ".schema"));
    EXPECT_EQ(sqlite(made, "select count(*) from levels"), "0\n");
}

TEST(OpenLevelDb, ForeignLevelsTableIsReportedAndNothingBreaks) {
    test::TempDir tmp;
    const std::string path = tmp.file("user.db");
    sqlite(path, "create table levels (a, b, c)");
    MyDB db;
    const std::string log = stderr_of([&] { open_level_db(db, path); });
    const std::string p = path;
    EXPECT_EQ(log, "levels " + p + " has 3 \n" +
                       "sqlite3:prepare [1] table levels already exists\n" + "levels " + p +
                       " now has 9 \n" + "levels " + p + " lacks column id\n" + "levels " + p +
                       " lacks column name\n" + "levels " + p + " lacks column data\n" +
                       "levels " + p + " lacks column ts\n" + "levels " + p +
                       " lacks column author\n" + "levels " + p + " lacks column title\n" +
                       "ratings " + p + " has 0 \nratings " + p + " has 3 \n");

    std::unique_ptr<game> g(new game());
    new_level(*g);
    set_text(g->level.id, "x");
    bool saved = true;
    EXPECT_EQ(stderr_of([&] { saved = logic_save(*g, db); }),
              "sqlite3:prepare [1] no such column: id\n");
    EXPECT_FALSE(saved);
    bool loaded = true;
    EXPECT_EQ(stderr_of([&] { loaded = logic_load(*g, db, "x"); }),
              "sqlite3:prepare [1] no such column: id\n");
    EXPECT_FALSE(loaded);
    expect_blank(g->edit_level);
    EXPECT_EQ(sqlite(path, "select count(*) from levels"), "0\n");
}

TEST(OpenLevelDb, RandomBytesFileGivesErrorLinesAndEmptyResults) {
    test::TempDir tmp;
    const std::string path = tmp.file("net.db");
    std::mt19937 rng(9);
    std::string junk(20000, '\0');
    for (char& c : junk) c = char(rng());
    test::write_file(path, junk);
    MyDB db;
    const std::string log = stderr_of([&] { open_level_db(db, path); });
    // Only the counts and SQLite's own verdict, one line each.
    size_t count_lines = 0, verdicts = 0, start = 0;
    while (start < log.size()) {
        const size_t end = log.find('\n', start);
        const std::string line = log.substr(start, end - start);
        if (line == "sqlite3:prepare [26] file is not a database") ++verdicts;
        else if (line.find(" " + path + " ") != std::string::npos) ++count_lines;
        else ADD_FAILURE() << "unexpected line: " << line;
        start = end + 1;
    }
    EXPECT_EQ(count_lines, 4u);
    EXPECT_GT(verdicts, 0u);
    EXPECT_NE(log.find("levels " + path + " now has 0 \n"), std::string::npos);

    std::unique_ptr<game> g(new game());
    new_level(*g);
    set_text(g->level.id, "1");
    bool saved = true;
    EXPECT_NE(stderr_of([&] { saved = logic_save(*g, db); }).find("file is not a database"),
              std::string::npos);
    EXPECT_FALSE(saved);
    bool loaded = true;
    stderr_of([&] { loaded = logic_load(*g, db, "1"); });
    EXPECT_FALSE(loaded);
    expect_blank(g->level);
    EXPECT_EQ(test::read_file(path), junk);
}

TEST(OpenLevelDb, UnopenableFileLeavesADeadDatabaseBehind) {
    test::TempDir tmp;
    for (const std::string& path :
         {tmp.file("no/such/folder/user.db"), std::string("/proc/murkwell-net.db")}) {
        SCOPED_TRACE(path);
        MyDB db;
        const std::string log = stderr_of([&] { open_level_db(db, path); });
        EXPECT_EQ(log, "Can't open database: unable to open database file\nlevels " + path +
                           " has 0 \nlevels " + path + " now has 0 \nratings " + path +
                           " has 0 \nratings " + path + " has 0 \n");
        std::unique_ptr<game> g(new game());
        new_level(*g);
        bool saved = true, loaded = true;
        EXPECT_EQ(stderr_of([&] { saved = logic_save(*g, db); }), "");
        EXPECT_EQ(stderr_of([&] { loaded = logic_load(*g, db, g->level.id); }), "");
        EXPECT_FALSE(saved);
        EXPECT_FALSE(loaded);
        expect_blank(g->edit_level);
    }
}

// ---------------------------------------------------------------------------
// logic_save

TEST_F(StorageTest, SavedRowHoldsTheTextsAndTheRecordPythonInflates) {
    make_map("1700000001");
    const long before = long(time(nullptr));
    bool ok = false;
    EXPECT_EQ(stderr_of([&] { ok = logic_save(g, db); }), "");
    EXPECT_TRUE(ok);
    const long after = long(time(nullptr));

    EXPECT_EQ(sqlite(path, "select id, name, author, title, uid, intro, q is null, stars is null, "
                           "skulls is null, value is null, typeof(ts) from levels"),
              "1700000001|name of 1700000001|Ada|The Long Corridor|u:42|"
              "Get in, blow the pillars, get out.|1|1|1|1|integer\n");
    const long ts = atol(sqlite(path, "select ts from levels").c_str());
    EXPECT_GE(ts, before);
    EXPECT_LE(ts, after);

    // Python reads the column's bytes (stored as text of exact length) and
    // inflates them to the whole stored copy.
    const std::string out = tmp.file("record.bin");
    const std::string py = run(
        "/usr/bin/python3 -c 'import sqlite3, sys, zlib\n"
        "c = sqlite3.connect(sys.argv[1]); c.text_factory = bytes\n"
        "d = c.execute(\"select data from levels\").fetchone()[0]\n"
        "print(len(d), d[0] == 0x78)\n"
        "open(sys.argv[2], \"wb\").write(zlib.decompress(d))' " +
        path + " " + out + " 2>&1");
    EXPECT_NE(py.find(" True"), std::string::npos) << py;
    EXPECT_LE(atoi(py.c_str()), LEVEL_DATA_CAPACITY);
    const std::string inflated = test::read_file(out);
    ASSERT_EQ(inflated.size(), sizeof(level));
    EXPECT_EQ(inflated, bytes_of(g.edit_level));
}

TEST_F(StorageTest, TextsComeFromThePlayCopyAndTheMapFromTheStoredCopy) {
    make_map("7");
    set_text(g.edit_level.title, "stored title");
    g.level.map[70 + 128 * 70] = 99;   // only the stored copy is saved
    g.edit_level.map[70 + 128 * 70] = 12;
    ASSERT_TRUE(logic_save(g, db));
    EXPECT_EQ(sqlite(path, "select title from levels"), "The Long Corridor\n");
    const std::vector<Row> rows = db.query("select data from levels");
    ASSERT_EQ(rows.size(), 1u);
    level back;
    ASSERT_TRUE(level_data_inflate(rows[0].at("data"), back));
    EXPECT_STREQ(back.title, "stored title");
    EXPECT_EQ(back.map[70 + 128 * 70], 12);
}

TEST_F(StorageTest, SavingTwiceWithTheSameIdLeavesOneRow) {
    make_map("same");
    ASSERT_TRUE(logic_save(g, db));
    set_text(g.level.title, "second");
    g.edit_level.map[5 + 128 * 5] = 42;
    ASSERT_TRUE(logic_save(g, db));
    make_map("other");
    ASSERT_TRUE(logic_save(g, db));
    EXPECT_EQ(sqlite(path, "select id, title from levels order by id"),
              "other|The Long Corridor\nsame|second\n");
    ASSERT_TRUE(logic_load(g, db, "same"));
    EXPECT_EQ(g.edit_level.map[5 + 128 * 5], 42);
}

TEST_F(StorageTest, AFailedInsertKeepsTheOldRow) {
    make_map("keep");
    ASSERT_TRUE(logic_save(g, db));
    sqlite(path, "create trigger refuse before insert on levels when new.title = 'bad' "
                 "begin select raise(abort, 'refused'); end");
    set_text(g.level.title, "bad");
    bool ok = true;
    EXPECT_EQ(stderr_of([&] { ok = logic_save(g, db); }), "sqlite3:step [19] refused\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(sqlite(path, "select id, title from levels"), "keep|The Long Corridor\n");
    // No transaction is left open: another connection can write.
    EXPECT_EQ(sqlite(path, "insert into ratings values ('keep', 5, 1); select count(*) from ratings"),
              "1\n");
}

// ---------------------------------------------------------------------------
// logic_load

TEST_F(StorageTest, MissingIdGivesTheBlankMapInBothCopies) {
    make_map("present");
    ASSERT_TRUE(logic_save(g, db));
    memset(&g.edit_level, 0x77, sizeof(level));
    memset(&g.level, 0x66, sizeof(level));
    bool ok = true;
    EXPECT_EQ(load("absent", &ok), "");
    EXPECT_FALSE(ok);
    expect_blank(g.edit_level);
    expect_blank(g.level);
}

TEST_F(StorageTest, SaveThenLoadGivesTheSameBytesButTheRefreshedTexts) {
    make_map("1700000123", 77);
    ASSERT_TRUE(logic_save(g, db));
    level expected = g.edit_level;
    set_text(expected.id, "1700000123");
    set_text(expected.name, "name of 1700000123");
    set_text(expected.author, "Ada");
    set_text(expected.title, "The Long Corridor");
    set_text(expected.uid, "u:42");
    set_text(expected.intro, "Get in, blow the pillars, get out.");
    expected.stars = 0.0f;  // NULL columns
    expected.skulls = 0.0f;

    memset(&g.edit_level, 0, sizeof(level));
    memset(&g.level, 0, sizeof(level));
    bool ok = false;
    EXPECT_EQ(load("1700000123", &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes_of(g.edit_level), bytes_of(expected));
    EXPECT_STREQ(g.level.title, "The Long Corridor");
    EXPECT_STREQ(g.level.intro, expected.intro);
    EXPECT_STREQ(g.level.id, "1700000123");
}

TEST_F(StorageTest, LongTextsAreCutAndNullColumnsReadEmpty) {
    new_level(g);
    const std::string data = zlib_compress(&g.edit_level, sizeof(level));
    const std::string long_text(2000, 'w');
    insert_row({{"id", "long"}, {"data", data}, {"name", long_text}, {"author", long_text},
                {"title", long_text}, {"uid", long_text}, {"intro", long_text}});
    insert_row({{"id", "bare"}, {"data", data}});
    ASSERT_TRUE(logic_load(g, db, "long"));
    const level& lv = g.edit_level;
    EXPECT_EQ(std::string(lv.name), std::string(31, 'w'));
    EXPECT_EQ(std::string(lv.author), std::string(31, 'w'));
    EXPECT_EQ(std::string(lv.uid), std::string(31, 'w'));
    EXPECT_EQ(std::string(lv.title), std::string(63, 'w'));
    EXPECT_EQ(std::string(lv.intro), std::string(255, 'w'));
    EXPECT_EQ(lv.theme[0], '\0');  // the next field is untouched
    EXPECT_EQ(std::string(g.level.intro), std::string(255, 'w'));

    ASSERT_TRUE(logic_load(g, db, "bare"));
    for (const char* text : {lv.name, lv.author, lv.title, lv.uid, lv.intro})
        EXPECT_STREQ(text, "");
    EXPECT_STREQ(lv.id, "bare");
    EXPECT_EQ(lv.stars, 0.0f);
}

TEST_F(StorageTest, RatingsReadAsDecimalNumbersOrZero) {
    new_level(g);
    const std::string data = zlib_compress(&g.edit_level, sizeof(level));
    struct Case {
        const char* text;
        float value;
    } cases[] = {
        {"4.5", 4.5f},  {"3", 3.0f},     {" 2.25", 2.25f}, {"1.5 stars", 1.5f}, {"abc", 0.0f},
        {"", 0.0f},     {"nan", 0.0f},   {"inf", 0.0f},    {"-inf", 0.0f},      {"1e999", 0.0f},
        {"0x10", 0.0f}, {"-1", 0.0f},    {"7", 5.0f},      {"4e-1", 0.4f},      {"..", 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        db.query("delete from levels");
        insert_row({{"id", "r"}, {"data", data}, {"stars", c.text}, {"skulls", c.text}});
        ASSERT_TRUE(logic_load(g, db, "r"));
        EXPECT_FLOAT_EQ(g.edit_level.stars, c.value);
        EXPECT_FLOAT_EQ(g.edit_level.skulls, c.value);
        EXPECT_FLOAT_EQ(g.level.stars, c.value);
    }
    db.query("delete from levels");
    db.query("insert into levels (id, data, stars, skulls) values ('n', ?, null, 2.75)", {data});
    ASSERT_TRUE(logic_load(g, db, "n"));
    EXPECT_EQ(g.edit_level.stars, 0.0f);
    EXPECT_EQ(g.edit_level.skulls, 2.75f);
}

TEST_F(StorageTest, BadDataGivesZlibFailAndTheBlankMap) {
    new_level(g);
    std::string record = bytes_of(g.edit_level);
    record[700] = 9;
    const std::string good = zlib_compress(record.data(), record.size());
    const std::string one_more(sizeof(level) + 1, 'x');
    const std::string zeros(10 << 20, '\0');
    std::string raw_deflate(good.substr(2, good.size() - 6));
    const std::string gzip = run("printf hello | gzip -c");
    struct Case {
        const char* name;
        std::string data;
    } cases[] = {
        {"empty", ""},
        {"not zlib", "hello, this is not a level"},
        {"truncated to half", good.substr(0, good.size() / 2)},
        {"missing its check", good.substr(0, good.size() - 4)},
        {"one byte short", good.substr(0, good.size() - 1)},
        {"bad check", good.substr(0, good.size() - 1) + char(good.back() ^ 1)},
        {"record plus one byte", zlib_compress(one_more.data(), one_more.size())},
        {"10 MiB of zeros", zlib_compress(zeros.data(), zeros.size(), 9)},
        {"raw deflate", raw_deflate},
        {"gzip", gzip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.query("delete from levels");
        insert_row({{"id", "bad"}, {"data", c.data}, {"title", "Not shown"}});
        memset(&g.edit_level, 0x33, sizeof(level));
        bool ok = true;
        EXPECT_EQ(load("bad", &ok), "logic_load(): zlib fail\n");
        EXPECT_FALSE(ok);
        expect_blank(g.edit_level);
        EXPECT_EQ(bytes_of(g.level), bytes_of(g.edit_level));
    }
    // A NULL data column is the same as an empty one.
    db.query("delete from levels");
    insert_row({{"id", "null"}});
    EXPECT_EQ(load("null"), "logic_load(): zlib fail\n");
    expect_blank(g.level);
    // The good stream itself loads.
    db.query("delete from levels");
    insert_row({{"id", "good"}, {"data", good}});
    EXPECT_EQ(load("good"), "");
    EXPECT_EQ(g.edit_level.map[700 - offsetof(level, map)], 9);
}

TEST_F(StorageTest, ShortRecordsAndTrailingBytesAreAccepted) {
    // A complete stream of fewer bytes fills the start of the record; the rest
    // stays the blank map. Bytes after the end of the stream are ignored.
    std::string head(200, '\0');
    head[4 + 4 * ACTOR_TIME_BOMB] = 5;  // inventory[20]
    db.query("delete from levels");
    insert_row({{"id", "short"}, {"data", zlib_compress(head.data(), head.size()) + "junk"}});
    ASSERT_EQ(load("short"), "");
    EXPECT_EQ(g.edit_level.inventory[ACTOR_TIME_BOMB], 5);
    expect_blank(g.edit_level);
}

TEST_F(StorageTest, BlobFromTheWebServiceLoadsLikeSavedText) {
    // A downloaded pack stores data as a real BLOB (here written by Python).
    make_map("net|9", 5);
    const std::string record_file = tmp.file("record.bin");
    test::write_file(record_file, bytes_of(g.edit_level));
    const std::string py = run(
        "/usr/bin/python3 -c 'import sqlite3, sys, zlib\n"
        "c = sqlite3.connect(sys.argv[1])\n"
        "d = zlib.compress(open(sys.argv[2], \"rb\").read(), 9)\n"
        "c.execute(\"insert into levels (id, data, title, stars, skulls) values (?,?,?,?,?)\",\n"
        "          (\"net|9\", d, \"From afar\", 3.5, \"1.25\"))\n"
        "c.commit()' " +
        path + " " + record_file + " 2>&1");
    ASSERT_EQ(py, "");
    EXPECT_EQ(sqlite(path, "select typeof(data) from levels"), "blob\n");
    const level stored = g.edit_level;
    memset(&g.edit_level, 0, sizeof(level));
    ASSERT_EQ(load("net|9"), "");
    EXPECT_EQ(memcmp(g.edit_level.map, stored.map, sizeof stored.map), 0);
    EXPECT_STREQ(g.edit_level.title, "From afar");
    EXPECT_EQ(g.edit_level.stars, 3.5f);
    EXPECT_EQ(g.edit_level.skulls, 1.25f);
}

TEST_F(StorageTest, LoadedRecordsAreMadeSafe) {
    // Texts without their NUL, absurd counts and non-finite camera values.
    new_level(g);
    level& lv = g.edit_level;
    memset(lv.theme, 'T', sizeof lv.theme);
    memset(lv.music, 'M', sizeof lv.music);
    memset(lv.actors[3].anim, 'A', sizeof lv.actors[3].anim);
    lv.inventory[ACTOR_DETONATOR] = -5;
    lv.inventory[ACTOR_EMP_BOMB] = 2000000000;
    lv.inventory[ACTOR_CARTRIDGE] = 4;
    lv.inventory[2] = 9;
    lv.look_x = std::numeric_limits<float>::quiet_NaN();
    lv.look_y = 1e30f;
    lv.zoom_target = -1e9f;
    lv.cam_dist = std::numeric_limits<float>::infinity();
    insert_row({{"id", "odd"}, {"data", zlib_compress(&lv, sizeof(level))}});
    ASSERT_EQ(load("odd"), "");
    EXPECT_EQ(strlen(lv.theme), 31u);
    EXPECT_EQ(strlen(lv.music), 31u);
    EXPECT_EQ(strlen(lv.actors[3].anim), 31u);
    EXPECT_EQ(lv.inventory[ACTOR_DETONATOR], 0);
    EXPECT_EQ(lv.inventory[ACTOR_EMP_BOMB], 999);
    EXPECT_EQ(lv.inventory[ACTOR_CARTRIDGE], 4);
    EXPECT_EQ(lv.inventory[2], 0);
    EXPECT_EQ(lv.look_x, 0.0f);
    EXPECT_EQ(lv.look_y, 128.0f);
    EXPECT_EQ(lv.zoom_target, -25.0f);
    EXPECT_EQ(lv.cam_dist, 0.0f);
    EXPECT_EQ(g.level.inventory[ACTOR_EMP_BOMB], 999);
}

}  // namespace
