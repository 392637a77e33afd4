#include "server/download_db.h"

#include <sqlite3.h>

#include <cstdio>

namespace {

// The table as the game's own databases have it, column for column.
const char* const CREATE_LEVELS =
    "create table levels (id text primary key, name text, data blob, ts int, author text, "
    "title text, q text, uid text, stars float, skulls float, intro text, value int);"
    "create table ratings (lid text primary key, stars int, skulls int);";

std::string decimal(double v) {
    char buf[32];
    snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

void bind_text(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text64(s, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

std::string build_download_db(const std::vector<SharedLevel>& levels) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return out;
    }
    sqlite3_stmt* insert = nullptr;
    bool ok = sqlite3_exec(db, CREATE_LEVELS, nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(db,
                                 "insert into levels (id,name,data,ts,author,title,uid,stars,skulls,"
                                 "intro,value) values (?,?,?,?,?,?,?,?,?,?,?)",
                                 -1, &insert, nullptr) == SQLITE_OK;
    for (size_t i = 0; ok && i < levels.size(); ++i) {
        const SharedLevel& l = levels[i];
        const std::string number = std::to_string(l.number);
        bind_text(insert, 1, number);
        bind_text(insert, 2, number);
        sqlite3_bind_blob64(insert, 3, l.data.data(), l.data.size(), SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 4, l.ts);
        bind_text(insert, 5, l.author);
        bind_text(insert, 6, l.title);
        bind_text(insert, 7, l.uid);
        bind_text(insert, 8, decimal(l.stars));
        bind_text(insert, 9, decimal(l.skulls));
        bind_text(insert, 10, l.intro);
        sqlite3_bind_int64(insert, 11, sqlite3_int64(i));
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_int64 size = 0;
        unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
        if (bytes) out.assign(reinterpret_cast<const char*>(bytes), size_t(size));
        sqlite3_free(bytes);
    }
    if (!ok) fprintf(stderr, "download database: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return out;
}
