// MyDB on real SQLite files, checked with the sqlite3 shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "db/mydb.h"
#include "test_support.h"

namespace {

using test::sqlite;
using test::stderr_of;

struct MyDBTest : ::testing::Test {
    test::TempDir tmp;
    std::string path = tmp.file("user.db");
    MyDB db;
    void SetUp() override {
        ASSERT_TRUE(stderr_of([&] { db.db_open(path); }).empty());
        ASSERT_TRUE(db.is_open());
    }
    std::vector<Row> q(const std::string& sql, const std::vector<std::string>& params = {}) {
        return db.query(sql, params);
    }
};

TEST(MyDBLife, FreshObjectAndUnopenedQueriesAreSilentAndEmpty) {
    MyDB db;
    EXPECT_EQ(db.handle, nullptr);
    EXPECT_EQ(db.error, 0);
    std::vector<Row> rows;
    EXPECT_EQ(stderr_of([&] { rows = db.query("select 1"); }), "");
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db.error, 0);
}

TEST(MyDBLife, MissingFileIsCreatedEmptyThenBecomesADatabase) {
    test::TempDir tmp;
    const std::string path = tmp.file("user.db");
    {
        MyDB db;
        db.db_open(path);
        ASSERT_TRUE(db.is_open());
        ASSERT_TRUE(test::file_exists(path));
        db.query("create table t (a text)");
        db.query("insert into t values (?)", {"kept"});
        EXPECT_EQ(db.error, 0);
    }  // the destructor closes the file
    EXPECT_EQ(sqlite(path, "select a from t"), "kept\n");
}

TEST(MyDBLife, ReopeningAndClosingLeaveNoConnectionBehind) {
    test::TempDir tmp;
    MyDB db;
    db.db_open(tmp.file("a.db"));
    db.query("create table a (x)");
    db.db_open(tmp.file("b.db"));  // the first connection is closed, not leaked
    ASSERT_TRUE(db.is_open());
    EXPECT_EQ(db.query("select count(*) as n from sqlite_master").at(0).at("n"), "0");
    db.close();
    EXPECT_EQ(db.handle, nullptr);
    EXPECT_TRUE(db.query("select 1").empty());
    EXPECT_EQ(db.error, 0);
    db.close();  // twice is harmless
}

TEST(MyDBLife, FilesThatCannotBeOpenedLeaveANullHandle) {
    test::TempDir tmp;
    mkdir(tmp.file("folder").c_str(), 0700);
    // Missing folder, a path inside a read-only file system, a folder itself.
    for (const std::string& path :
         {tmp.file("missing/user.db"), std::string("/proc/murkwell-user.db"), tmp.file("folder")}) {
        MyDB db;
        const std::string log = stderr_of([&] { db.db_open(path); });
        EXPECT_EQ(log, "Can't open database: unable to open database file\n") << path;
        EXPECT_EQ(db.handle, nullptr) << path;
        std::vector<Row> rows;
        EXPECT_EQ(stderr_of([&] { rows = db.query("select 1"); }), "") << path;
        EXPECT_TRUE(rows.empty());
        EXPECT_EQ(db.error, 0);
    }
}

TEST(MyDBLife, RandomBytesAreReportedAsNotADatabaseAndLeftAlone) {
    test::TempDir tmp;
    const std::string path = tmp.file("junk.db");
    std::string junk(5000, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = char((i * 7919 + 13) % 251);
    test::write_file(path, junk);
    MyDB db;
    db.db_open(path);
    std::vector<Row> rows;
    const std::string log = stderr_of([&] { rows = db.query("select * from levels"); });
    EXPECT_EQ(log, "sqlite3:prepare [26] file is not a database\n");
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db.error, 1);
    stderr_of([&] { db.query("create table t (a)"); });
    EXPECT_EQ(test::read_file(path), junk);
}

TEST_F(MyDBTest, SyntaxErrorPrintsThePrepareMessage) {
    std::vector<Row> rows;
    const std::string log = stderr_of([&] { rows = q("selec 1"); });
    EXPECT_EQ(log, "sqlite3:prepare [1] near \"selec\": syntax error\n");
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db.error, 1);
    q("select 1");
    EXPECT_EQ(db.error, 0);  // the next good statement clears it
}

TEST_F(MyDBTest, FailureHalfWayReturnsTheRowsBeforeIt) {
    q("create table t (x int)");
    q("insert into t values (1), (2), (-9223372036854775808), (4)");
    std::vector<Row> rows;
    const std::string log = stderr_of([&] { rows = q("select abs(x) as a from t order by rowid"); });
    EXPECT_EQ(log, "sqlite3:step [1] integer overflow\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("a"), "1");
    EXPECT_EQ(rows[1].at("a"), "2");
    EXPECT_EQ(db.error, 1);
}

TEST_F(MyDBTest, ConstraintFailureIsAStepErrorAndUndoesTheStatement) {
    q("create table u (a text unique)");
    const std::string log =
        stderr_of([&] { q("insert into u values (?), (?), (?)", {"x", "y", "x"}); });
    EXPECT_EQ(log, "sqlite3:step [19] UNIQUE constraint failed: u.a\n");
    EXPECT_EQ(db.error, 1);
    EXPECT_EQ(sqlite(path, "select count(*) from u"), "0\n");
}

TEST_F(MyDBTest, ExtraParameterIsABindError) {
    std::vector<Row> rows;
    const std::string log = stderr_of([&] { rows = q("select ? as v", {"a", "b"}); });
    EXPECT_EQ(log, "sqlite3:bind [25] column index out of range\n");
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(db.error, 1);
}

TEST_F(MyDBTest, EmptyStatementRunsNothingAndSucceeds) {
    for (const char* sql : {"", "   ", "-- nothing"}) {
        std::vector<Row> rows;
        EXPECT_EQ(stderr_of([&] { rows = q(sql); }), "") << sql;
        EXPECT_TRUE(rows.empty());
        EXPECT_EQ(db.error, 0);
    }
}

TEST_F(MyDBTest, ValuesComeBackAsTheirExactBytes) {
    const std::string nul_text("a\0b\0\xff\xfe", 6);
    q("create table v (id int, t text, b blob, r float, n)");
    q("insert into v values (?, ?, ?, ?, ?)", {"7", nul_text, "", "2.5", "x"});
    q("insert into v values (8, 'plain', x'00ff0000', 1e300, null)");
    q("insert into v values (9, '', zeroblob(10), -0.125, 3)");
    ASSERT_EQ(db.error, 0);
    const std::vector<Row> rows = q("select * from v order by id");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("id"), "7");
    EXPECT_EQ(rows[0].at("t"), nul_text);  // text parameter bound with its length
    EXPECT_EQ(rows[0].at("b"), "");
    EXPECT_EQ(rows[0].at("r"), "2.5");     // numeric text took the column's type
    EXPECT_EQ(rows[1].at("b"), std::string("\0\xff\0\0", 4));
    EXPECT_EQ(rows[1].at("r"), "1.0e+300");
    EXPECT_EQ(rows[1].at("n"), "");       // NULL
    EXPECT_EQ(rows[2].at("b"), std::string(10, '\0'));
    EXPECT_EQ(rows[2].at("r"), "-0.125");
    EXPECT_EQ(rows[2].at("n"), "3");
    EXPECT_EQ(rows[0].size(), 5u);
    // The shell sees the bytes the parameter carried.
    EXPECT_EQ(sqlite(path, "select hex(t), typeof(r) from v where id = 7"), "61006200FFFE|real\n");
}

TEST_F(MyDBTest, CountComesBackAsDecimalText) {
    q("create table c (a)");
    q("begin");
    for (int i = 0; i < 1234; ++i) q("insert into c values (?)", {std::to_string(i)});
    q("commit");
    const std::vector<Row> rows = q("select count(*) from c");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("count(*)"), "1234");
}

TEST_F(MyDBTest, BeginAndCommitAroundABatch) {
    q("create table b (a)");
    q("begin");
    q("insert into b values ('in the batch')");
    EXPECT_EQ(sqlite(path, "select count(*) from b"), "0\n");  // not yet visible
    q("commit");
    EXPECT_EQ(db.error, 0);
    EXPECT_EQ(sqlite(path, "select a from b"), "in the batch\n");
}

TEST_F(MyDBTest, RowsKeepSQLiteOrderAndColumnNames) {
    q("create table o (k text, v int)");
    for (const char* k : {"c", "a", "b"}) q("insert into o values (?, 1)", {k});
    const std::vector<Row> rows = q("select k, v * 2 as twice from o order by k desc");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("k"), "c");
    EXPECT_EQ(rows[2].at("k"), "a");
    EXPECT_EQ(rows[1].at("twice"), "2");
}

}  // namespace
