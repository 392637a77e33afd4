// The per-user level databases as the game finds them on disk: damaged ones are
// moved aside untouched and replaced, one locked by another program is left as
// it is until the lock goes, and nothing is ever written into a file the game
// could not read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/game.h"
#include "core/persist.h"
#include "db/mydb.h"
#include "platform/driver.h"
#include "test_support.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

struct UserDb : ::testing::Test {
    test::TempDir tmp;
    test::ScopedEnv appdata{"APPDATA", tmp.path().c_str()};
    std::string dir;
    void SetUp() override {
        driver().app_name = "Murkwell";
        dir = tmp.path() + "/Murkwell";
        mkdir(dir.c_str(), 0700);
    }
    void TearDown() override { driver().app_name = ""; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

    std::string open(MyDB& db, const char* name) {
        return test::stderr_of([&] { open_user_level_db(db, name); });
    }
    // A level saved through the game's own path; true when its row is there.
    bool save_level(MyDB& db, const char* id) {
        std::unique_ptr<game> g(new game());
        strcpy(g->edit_level.title, "Kept");
        strcpy(g->edit_level.id, id);
        g->level = g->edit_level;
        bool ok = false;
        test::stderr_of([&] { ok = logic_save(*g, db); });
        return ok;
    }
    std::string md5(const std::string& path) { return test::run("md5sum < '" + path + "'"); }
};

// A database file with real tables and rows over many pages, made by the
// sqlite3 shell.
void make_db(const std::string& path) {
    test::sqlite(path,
                 "create table levels (id text primary key, name text, data blob, ts int, author text, "
                 "title text, q text, uid text, stars float, skulls float, intro text, value int);"
                 "create table ratings (lid text primary key, stars int, skulls int);"
                 "with recursive n(i) as (select 1 union all select i + 1 from n where i < 400) "
                 "insert into levels (id, title, data) select i, 'map ' || i, randomblob(300) from n;");
}

TEST_F(UserDb, DamagedFilesAreMovedAsideWithTheirJournalAndANewOneServes) {
    // Not a database at all.
    std::string noise(8192, '\0');
    unsigned seed = 11;
    for (char& c : noise) c = char((seed = seed * 1103515245u + 12345u) >> 16);
    test::write_file(file("user.db"), noise);
    // With a journal beside it that would otherwise be rolled into the new file.
    test::write_file(file("user.db-journal"), std::string(1024, 'j'));
    // A real database whose pages were overwritten.
    make_db(file("net.db"));
    {
        std::string bytes = test::read_file(file("net.db"));
        ASSERT_GT(bytes.size(), 40000u);
        for (size_t i = 4096 * 3; i < 4096 * 6; ++i) bytes[i] = char(i * 7);
        test::write_file(file("net.db"), bytes);
    }
    const std::string user_sum = md5(file("user.db")), net_sum = md5(file("net.db"));

    for (const char* name : {"user.db", "net.db"}) {
        SCOPED_TRACE(name);
        MyDB db;
        const std::string log = open(db, name);
        EXPECT_NE(log.find(std::string(name) + " is damaged ("), std::string::npos) << log;
        EXPECT_NE(log.find(std::string(name) + " kept as " + file(name) + ".damaged; starting a new one"),
                  std::string::npos)
            << log;
        ASSERT_TRUE(db.is_open());
        EXPECT_TRUE(save_level(db, "1700000000"));
        db.close();
        EXPECT_EQ(test::sqlite(file(name), "select title from levels; pragma integrity_check;"), "Kept\nok\n");
    }
    EXPECT_EQ(md5(file("user.db.damaged")), user_sum);
    EXPECT_EQ(md5(file("net.db.damaged")), net_sum);
    EXPECT_EQ(test::read_file(file("user.db-journal.damaged")), std::string(1024, 'j'));
    EXPECT_FALSE(test::file_exists(file("user.db-journal")));

    // The next damage keeps the first one too.
    test::write_file(file("user.db"), "SQLite format 3 but no more");
    MyDB again;
    const std::string log = open(again, "user.db");
    EXPECT_NE(log.find("user.db kept as " + file("user.db.damaged.2")), std::string::npos) << log;
    EXPECT_EQ(md5(file("user.db.damaged")), user_sum);
}

TEST_F(UserDb, SoundDatabasesAreOpenedAsTheyAre) {
    make_db(file("user.db"));
    MyDB db;
    const std::string log = open(db, "user.db");
    EXPECT_EQ(log.find("damaged"), std::string::npos) << log;
    EXPECT_EQ(log.find("locked"), std::string::npos) << log;
    EXPECT_FALSE(test::file_exists(file("user.db.damaged")));
    db.close();
    EXPECT_EQ(test::sqlite(file("user.db"), "select count(*) from levels;"), "400\n");
}

TEST_F(UserDb, OneThatCannotBeOpenedIsLeftAlone) {
    mkdir(file("user.db").c_str(), 0700);
    test::write_file(file("user.db") + "/inside", "x");
    MyDB db;
    const std::string log = open(db, "user.db");
    EXPECT_NE(log.find("user.db cannot be used ("),
              std::string::npos)
        << log;
    EXPECT_FALSE(db.is_open());
    EXPECT_FALSE(save_level(db, "1"));
    EXPECT_EQ(test::read_file(file("user.db") + "/inside"), "x");
}

// Another program (here Python's sqlite3 module) holds an exclusive lock while
// the game starts: the game says so, changes nothing, and saves once the lock
// is gone.
TEST_F(UserDb, ALockedDatabaseIsKeptAndUsedOnceFree) {
    make_db(file("user.db"));
    const std::string sum = md5(file("user.db"));
    const std::string ready = tmp.path() + "/locked";
    int to_child[2];
    ASSERT_EQ(pipe(to_child), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_child[0], 0);
        close(to_child[1]);
        const std::string script =
            "import sqlite3, sys\n"
            "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
            "c.execute('begin exclusive')\n"
            "open(sys.argv[2], 'w').close()\n"
            "sys.stdin.read()\n"
            "c.execute('rollback')\n";
        execlp("python3", "python3", "-c", script.c_str(), file("user.db").c_str(), ready.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    for (int i = 0; i < 1000 && !test::file_exists(ready); ++i) usleep(10000);
    ASSERT_TRUE(test::file_exists(ready)) << "the lock holder did not start";

    MyDB db;
    const std::string log = open(db, "user.db");
    EXPECT_NE(log.find("user.db is locked by another program (database is locked); the game goes on "
                       "and saves there once it is free"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("damaged"), std::string::npos) << log;
    ASSERT_TRUE(db.is_open());
    EXPECT_FALSE(save_level(db, "1700000001")) << "the lock is still held";

    close(to_child[1]);  // the holder lets go and ends
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(md5(file("user.db")), sum) << "nothing was written while it was locked";
    EXPECT_FALSE(test::file_exists(file("user.db.damaged")));

    EXPECT_TRUE(save_level(db, "1700000001"));
    db.close();
    EXPECT_EQ(test::sqlite(file("user.db"), "select title from levels where id = '1700000001';"), "Kept\n");
}

}  // namespace
