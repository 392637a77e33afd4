#include "db/mydb.h"

#include <sqlite3.h>

#include <cstdio>

#include "platform/files.h"

MyDB::~MyDB() { close(); }

void MyDB::close() {
    if (handle) sqlite3_close(handle);
    handle = nullptr;
}

void MyDB::db_open(const std::string& path, bool read_only) {
    close();
    if (!read_only && file_size(path) == 0) {
        if (FILE* f = fopen(path.c_str(), "wb")) fclose(f);
    }
    const int flags = read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &handle, flags, nullptr) != SQLITE_OK) {
        fprintf(stderr, "Can't open database: %s\n", handle ? sqlite3_errmsg(handle) : "out of memory");
        sqlite3_close(handle);
        handle = nullptr;
    }
}

void MyDB::set_busy_timeout(int ms) {
    if (handle) sqlite3_busy_timeout(handle, ms);
}

bool MyDB::read_only() const { return handle && sqlite3_db_readonly(handle, "main") == 1; }

void MyDB::lock_down() {
    if (!handle) return;
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    query("pragma cell_size_check = on");
}

std::vector<Row> MyDB::query(const std::string& sql, const std::vector<std::string>& params) {
    std::vector<Row> rows;
    error = 1;
    result = 0;
    if (!handle) {
        error = 0;
        return rows;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, sql.data(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        result = sqlite3_errcode(handle) & 0xff;
        fprintf(stderr, "sqlite3:prepare [%d] %s\n", sqlite3_errcode(handle), sqlite3_errmsg(handle));
        sqlite3_finalize(stmt);
        return rows;
    }
    if (!stmt) {  // nothing but blanks or comments: nothing to run
        error = 0;
        return rows;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        // The 64-bit length form, so a huge parameter fails as "too big" instead
        // of being read as a negative (NUL-terminated) length.
        if (sqlite3_bind_text64(stmt, int(i + 1), params[i].data(), params[i].size(),
                                SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
            result = sqlite3_errcode(handle) & 0xff;
            fprintf(stderr, "sqlite3:bind [%d] %s\n", sqlite3_errcode(handle), sqlite3_errmsg(handle));
            sqlite3_finalize(stmt);
            return rows;
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Row row;
        const int columns = sqlite3_column_count(stmt);
        for (int c = 0; c < columns; ++c) {
            const void* bytes = sqlite3_column_blob(stmt, c);
            const int length = sqlite3_column_bytes(stmt, c);
            const char* name = sqlite3_column_name(stmt, c);  // null only when out of memory
            row[name ? name : ""] =
                bytes ? std::string(static_cast<const char*>(bytes), size_t(length)) : std::string();
        }
        rows.push_back(std::move(row));
    }
    if (rc == SQLITE_DONE) {
        sqlite3_finalize(stmt);
        error = 0;
        return rows;
    }
    result = rc & 0xff;
    fprintf(stderr, "sqlite3:step [%d] %s\n", sqlite3_errcode(handle), sqlite3_errmsg(handle));
    sqlite3_finalize(stmt);
    return rows;
}
