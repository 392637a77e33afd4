#include "server/sqlite_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char* const SCHEMA[] = {
    "create table if not exists settings (key text primary key, value text)",
    "create table if not exists accounts (uid text primary key, "
    "name text not null unique collate nocase, token text not null, created int not null, "
    "blocked int not null default 0)",
    // AUTOINCREMENT: a deleted level's number is never given to another one,
    // since players keep numbers in their downloaded lists and ratings.
    "create table if not exists levels (number integer primary key autoincrement, "
    "uid text not null, id text not null, name text, author text, title text, intro text, "
    "data blob not null, ts int not null, featured int not null default 0, "
    "stars real not null default 0, skulls real not null default 0, "
    "star_votes int not null default 0, skull_votes int not null default 0, "
    "plays int not null default 0, starts int not null default 0, unique (uid, id))",
    "create index if not exists levels_ts on levels (ts)",
    "create index if not exists levels_uid on levels (uid, ts)",
    "create table if not exists ratings (number int not null, player text not null, "
    "stars int not null, skulls int not null, ts int not null, primary key (number, player))",
    "create index if not exists ratings_player on ratings (player, stars, ts)",
    "create table if not exists plays (number int not null, player text not null, ts int not null, "
    "seconds int, bonus int, rewinds int, bombs_left int, stars int, skulls int)",
    "create index if not exists plays_ts on plays (ts, number)",
    "create table if not exists events (ts int not null, player text not null, page text, "
    "category text, action text, value int)",
    "create table if not exists player_levels (player text not null, category text not null, "
    "won int not null default 0, primary key (player, category))",
    "create table if not exists player_time (player text primary key, seconds int not null)",
};

const char* const LEVEL_COLUMNS =
    "l.number, l.uid, l.id, l.name, l.author, l.title, l.intro, l.ts, l.featured, l.stars, "
    "l.skulls, l.star_votes, l.skull_votes, l.plays, l.starts";

const char* const BUMP_GENERATION =
    "insert into settings (key, value) values ('generation', 1) "
    "on conflict (key) do update set value = value + 1";

std::string column(const Row& row, const char* name) {
    auto it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

int64_t integer(const Row& row, const char* name) { return strtoll(column(row, name).c_str(), nullptr, 10); }
double real(const Row& row, const char* name) { return strtod(column(row, name).c_str(), nullptr); }

std::string text(int64_t v) { return std::to_string(v); }

SharedLevel level_of(const Row& row) {
    SharedLevel l;
    l.number = integer(row, "number");
    l.uid = column(row, "uid");
    l.id = column(row, "id");
    l.name = column(row, "name");
    l.author = column(row, "author");
    l.title = column(row, "title");
    l.intro = column(row, "intro");
    l.data = column(row, "data");
    l.ts = integer(row, "ts");
    l.featured = int(integer(row, "featured"));
    l.stars = real(row, "stars");
    l.skulls = real(row, "skulls");
    l.star_votes = integer(row, "star_votes");
    l.skull_votes = integer(row, "skull_votes");
    l.plays = integer(row, "plays");
    l.starts = integer(row, "starts");
    return l;
}

Account account_of(const Row& row) {
    Account a;
    a.uid = column(row, "uid");
    a.name = column(row, "name");
    a.token = column(row, "token");
    a.created = integer(row, "created");
    a.blocked = integer(row, "blocked") != 0;
    return a;
}

bool is_number(const std::string& s) {
    if (s.empty() || s.size() > 18) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

// A connection borrowed from the pool for the length of one operation.
class SqliteStore::Lease {
public:
    explicit Lease(SqliteStore& store) : store_(store), db_(store.acquire()) {}
    ~Lease() { store_.release(std::move(db_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    MyDB& operator*() { return *db_; }
    MyDB* operator->() { return db_.get(); }

private:
    SqliteStore& store_;
    std::unique_ptr<MyDB> db_;
};

SqliteStore::SqliteStore(const std::string& path, SqliteStoreOptions options)
    : path_(path), options_(options) {
    std::unique_ptr<MyDB> db = open_connection();
    if (!db) return;
    // WAL: readers keep reading while one writer commits.
    const std::vector<Row> mode = db->query("pragma journal_mode = wal");
    if (db->error || mode.empty() || column(mode[0], "journal_mode") != "wal") {
        fprintf(stderr, "%s: cannot use write-ahead logging\n", path.c_str());
        return;
    }
    for (const char* statement : SCHEMA) {
        db->query(statement);
        if (db->error) {
            fprintf(stderr, "%s is not a level service database\n", path.c_str());
            return;
        }
    }
    // A file of another program can hold a `levels` table of its own.
    bool has_number = false;
    for (const Row& c : db->query("pragma table_info(levels)"))
        if (column(c, "name") == "number") has_number = true;
    if (!has_number) {
        fprintf(stderr, "%s is not a level service database\n", path.c_str());
        return;
    }
    ok_ = true;
    release(std::move(db));
}

SqliteStore::~SqliteStore() = default;

std::unique_ptr<MyDB> SqliteStore::open_connection() {
    auto db = std::make_unique<MyDB>();
    db->db_open(path_);
    if (!db->is_open()) return nullptr;
    // Writers queue for the write lock instead of failing at once.
    sqlite3_busy_timeout(db->handle, 30000);
    db->query(!options_.durable              ? "pragma synchronous = off"
              : options_.sync_every_write ? "pragma synchronous = full"
                                          : "pragma synchronous = normal");
    return db;
}

std::unique_ptr<MyDB> SqliteStore::acquire() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
            std::unique_ptr<MyDB> db = std::move(idle_.back());
            idle_.pop_back();
            return db;
        }
    }
    std::unique_ptr<MyDB> db = ok_ ? open_connection() : nullptr;
    // A connection that cannot open answers every query with nothing.
    return db ? std::move(db) : std::make_unique<MyDB>();
}

void SqliteStore::release(std::unique_ptr<MyDB> db) {
    if (!db || !db->is_open()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() < 16) idle_.push_back(std::move(db));
}

template <class Body>
bool SqliteStore::write(Body&& body) {
    if (!ok_) return false;
    Lease db(*this);
    std::lock_guard<std::mutex> turn(write_mutex_);
    db->query("begin immediate");
    if (db->error) return false;
    bool ok = body(*db) && db->error == 0;
    if (ok) {
        db->query("commit");
        ok = db->error == 0;
    }
    if (!ok) db->query("rollback");
    return ok;
}

// ---------------------------------------------------------------------------
// Accounts

std::optional<Account> SqliteStore::find_account(const std::string& name) {
    if (!ok_) return std::nullopt;
    Lease db(*this);
    const std::vector<Row> rows = db->query("select * from accounts where name = ?", {name});
    if (rows.empty()) return std::nullopt;
    return account_of(rows[0]);
}

bool SqliteStore::add_account(const Account& a) {
    return write([&](MyDB& db) {
        if (!db.query("select uid from accounts where name = ? or uid = ?", {a.name, a.uid}).empty())
            return false;
        db.query("insert into accounts (uid, name, token, created, blocked) values (?, ?, ?, ?, ?)",
                 {a.uid, a.name, a.token, text(a.created), a.blocked ? "1" : "0"});
        return db.error == 0;
    });
}

bool SqliteStore::set_token(const std::string& uid, const std::string& token) {
    return write([&](MyDB& db) {
        db.query("update accounts set token = ? where uid = ?", {token, uid});
        const std::vector<Row> n = db.query("select changes() as n");
        return !n.empty() && integer(n[0], "n") > 0;
    });
}

bool SqliteStore::set_blocked(const std::string& name, bool blocked) {
    return write([&](MyDB& db) {
        db.query("update accounts set blocked = ? where name = ?", {blocked ? "1" : "0", name});
        const std::vector<Row> n = db.query("select changes() as n");
        if (n.empty() || integer(n[0], "n") == 0) return false;
        db.query(BUMP_GENERATION);  // the account's levels leave or rejoin the lists
        return true;
    });
}

std::vector<Account> SqliteStore::accounts() {
    std::vector<Account> out;
    if (!ok_) return out;
    Lease db(*this);
    for (const Row& row : db->query("select * from accounts order by name")) out.push_back(account_of(row));
    return out;
}

// ---------------------------------------------------------------------------
// Levels

int64_t SqliteStore::put_level(const SharedLevel& l) {
    int64_t number = 0;
    const bool ok = write([&](MyDB& db) {
        const std::vector<Row> old =
            db.query("select number from levels where uid = ? and id = ?", {l.uid, l.id});
        if (db.error) return false;
        if (!old.empty()) {
            number = integer(old[0], "number");
            db.query("update levels set name = ?, author = ?, title = ?, intro = ?, "
                     "data = cast(? as blob), ts = ? where number = ?",
                     {l.name, l.author, l.title, l.intro, l.data, text(l.ts), text(number)});
        } else {
            std::string featured = "0";
            if (l.featured > 0) {
                const std::vector<Row> top = db.query("select coalesce(max(featured), 0) + 1 as f from levels");
                if (!top.empty()) featured = column(top[0], "f");
            }
            db.query("insert into levels (uid, id, name, author, title, intro, data, ts, featured) "
                     "values (?, ?, ?, ?, ?, ?, cast(? as blob), ?, ?)",
                     {l.uid, l.id, l.name, l.author, l.title, l.intro, l.data, text(l.ts), featured});
            const std::vector<Row> id = db.query("select last_insert_rowid() as n");
            if (id.empty()) return false;
            number = integer(id[0], "n");
        }
        if (db.error) return false;
        db.query(BUMP_GENERATION);
        return true;
    });
    return ok ? number : 0;
}

std::optional<SharedLevel> SqliteStore::level(int64_t number) {
    if (!ok_) return std::nullopt;
    Lease db(*this);
    const std::vector<Row> rows = db->query(
        std::string("select ") + LEVEL_COLUMNS + ", l.data from levels l where l.number = ?", {text(number)});
    if (rows.empty()) return std::nullopt;
    return level_of(rows[0]);
}

std::vector<SharedLevel> SqliteStore::list(const ListQuery& q) {
    std::vector<SharedLevel> out;
    if (!ok_) return out;
    std::string select = std::string("select ") + LEVEL_COLUMNS + (q.with_data ? ", l.data" : "");
    const std::string visible =
        q.hidden ? "1" : "l.uid not in (select uid from accounts where blocked = 1)";
    const std::string limit = text(q.limit < 0 ? 0 : q.limit);
    std::string sql;
    std::vector<std::string> params;
    switch (q.kind) {
    case ListKind::Featured:
        sql = select + " from levels l where l.featured > 0 and " + visible +
              " order by l.featured, l.number limit ?";
        params = {limit};
        break;
    case ListKind::Newest:
        sql = select + " from levels l where " + visible + " order by l.ts desc, l.number desc limit ?";
        params = {limit};
        break;
    case ListKind::Popular:
        sql = select +
              " from levels l left join (select number, count(*) as recent from plays where ts >= ? "
              "group by number) p on p.number = l.number where " + visible +
              " order by coalesce(p.recent, 0) desc, l.stars desc, l.ts desc, l.number desc limit ?";
        params = {text(q.since), limit};
        break;
    case ListKind::Favorites:
        sql = select + " from ratings r join levels l on l.number = r.number where r.player = ? and "
                       "r.stars >= 4 and " + visible + " order by r.ts desc, l.number desc limit ?";
        params = {q.who, limit};
        break;
    case ListKind::Friends:
        sql = select +
              " from levels l where l.uid in (select f.uid from ratings r join levels f on "
              "f.number = r.number where r.player = ? and r.stars >= 4 and f.uid != '') and "
              "l.uid != ? and " + visible + " order by l.ts desc, l.number desc limit ?";
        params = {q.who, q.who, limit};
        break;
    case ListKind::Author:
        sql = select + " from levels l where l.uid = ? and " + visible +
              " order by l.ts desc, l.number desc limit ?";
        params = {q.who, limit};
        break;
    }
    Lease db(*this);
    for (const Row& row : db->query(sql, params)) out.push_back(level_of(row));
    return out;
}

bool SqliteStore::remove_level(int64_t number) {
    return write([&](MyDB& db) {
        db.query("delete from levels where number = ?", {text(number)});
        const std::vector<Row> n = db.query("select changes() as n");
        if (n.empty() || integer(n[0], "n") == 0) return false;
        db.query("delete from ratings where number = ?", {text(number)});
        db.query("delete from plays where number = ?", {text(number)});
        db.query(BUMP_GENERATION);
        return true;
    });
}

bool SqliteStore::set_featured(int64_t number, bool featured) {
    return write([&](MyDB& db) {
        if (featured) {
            db.query("update levels set featured = (select coalesce(max(featured), 0) + 1 from levels) "
                     "where number = ? and featured = 0",
                     {text(number)});
        } else {
            db.query("update levels set featured = 0 where number = ?", {text(number)});
        }
        if (db.query("select number from levels where number = ?", {text(number)}).empty()) return false;
        db.query(BUMP_GENERATION);
        return true;
    });
}

int64_t SqliteStore::level_count() {
    if (!ok_) return 0;
    Lease db(*this);
    const std::vector<Row> rows = db->query("select count(*) as n from levels");
    return rows.empty() ? 0 : integer(rows[0], "n");
}

// ---------------------------------------------------------------------------
// Plays and events

PlayResult SqliteStore::add_play(const Play& p) {
    bool unknown = false;
    const std::string number = text(p.level);
    const bool ok = write([&](MyDB& db) {
        if (db.query("select number from levels where number = ?", {number}).empty()) {
            unknown = db.error == 0;
            return false;
        }
        db.query("insert into plays (number, player, ts, seconds, bonus, rewinds, bombs_left, stars, "
                 "skulls) values (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {number, p.player, text(p.ts), text(p.seconds), text(p.bonus), text(p.rewinds),
                  text(p.bombs_left), text(p.stars), text(p.skulls)});
        db.query("update levels set plays = plays + 1 where number = ?", {number});
        if (!p.player.empty() && (p.stars > 0 || p.skulls > 0)) {
            // A rating of 0 is "not rated": it keeps the player's earlier value.
            db.query("insert into ratings (number, player, stars, skulls, ts) values (?, ?, ?, ?, ?) "
                     "on conflict (number, player) do update set "
                     "stars = case when excluded.stars > 0 then excluded.stars else stars end, "
                     "skulls = case when excluded.skulls > 0 then excluded.skulls else skulls end, "
                     "ts = excluded.ts",
                     {number, p.player, text(p.stars), text(p.skulls), text(p.ts)});
            db.query("update levels set "
                     "stars = coalesce((select avg(stars) from ratings where number = ?1 and stars > 0), 0), "
                     "star_votes = (select count(*) from ratings where number = ?1 and stars > 0), "
                     "skulls = coalesce((select avg(skulls) from ratings where number = ?1 and skulls > 0), 0), "
                     "skull_votes = (select count(*) from ratings where number = ?1 and skulls > 0) "
                     "where number = ?1",
                     {number});
        }
        if (p.account) {
            db.query("insert into player_levels (player, category, won) values (?, ?, 1) "
                     "on conflict (player, category) do update set won = 1",
                     {p.player, number});
        }
        db.query(BUMP_GENERATION);
        return true;
    });
    if (ok) return PlayResult::Stored;
    return unknown ? PlayResult::UnknownLevel : PlayResult::Failed;
}

bool SqliteStore::add_event(const PlayEvent& e) {
    return write([&](MyDB& db) {
        db.query("insert into events (ts, player, page, category, action, value) values (?, ?, ?, ?, ?, ?)",
                 {text(e.ts), e.player, e.page, e.category, e.action, text(e.value)});
        if (e.account) {
            if (e.action == "start" || e.action == "win") {
                db.query("insert into player_levels (player, category, won) values (?, ?, ?) "
                         "on conflict (player, category) do update set won = max(won, excluded.won)",
                         {e.player, e.category, e.action == "win" ? "1" : "0"});
            }
            if (e.action == "win" || e.action == "restart" || e.action == "quit") {
                db.query("insert into player_time (player, seconds) values (?, ?) "
                         "on conflict (player) do update set seconds = seconds + excluded.seconds",
                         {e.player, text(e.value)});
            }
        }
        if (e.action == "start" && is_number(e.category))
            db.query("update levels set starts = starts + 1 where number = ?", {e.category});
        // The newest event_limit events are kept; rowids grow with every insert.
        db.query("delete from events where rowid <= (select max(rowid) from events) - ?",
                 {text(options_.event_limit)});
        return true;
    });
}

PlayerStats SqliteStore::player_stats(const std::string& uid) {
    PlayerStats s;
    if (!ok_) return s;
    Lease db(*this);
    const std::vector<Row> levels = db->query(
        "select count(*) as played, coalesce(sum(won), 0) as won from player_levels where player = ?", {uid});
    if (!levels.empty()) {
        s.played = integer(levels[0], "played");
        s.won = integer(levels[0], "won");
    }
    const std::vector<Row> time = db->query("select seconds from player_time where player = ?", {uid});
    if (!time.empty()) s.seconds = integer(time[0], "seconds");
    return s;
}

// ---------------------------------------------------------------------------
// Settings

int64_t SqliteStore::generation() {
    return strtoll(setting("generation").c_str(), nullptr, 10);
}

std::string SqliteStore::setting(const std::string& key) {
    if (!ok_) return "";
    Lease db(*this);
    const std::vector<Row> rows = db->query("select value from settings where key = ?", {key});
    return rows.empty() ? "" : column(rows[0], "value");
}

bool SqliteStore::set_setting(const std::string& key, const std::string& value) {
    return write([&](MyDB& db) {
        db.query("insert into settings (key, value) values (?, ?) "
                 "on conflict (key) do update set value = excluded.value",
                 {key, value});
        return true;
    });
}
