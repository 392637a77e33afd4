// MyDB: the one way into an SQLite database. One statement with text parameters
// in, every row out as column name -> raw bytes. Main thread only.
#pragma once

#include <map>
#include <string>
#include <vector>

struct sqlite3;

// Column name -> the column's raw bytes (text as characters, numbers as SQLite's
// text rendering, blobs byte for byte, NULL as empty).
using Row = std::map<std::string, std::string>;

class MyDB {
public:
    MyDB() = default;
    MyDB(const MyDB&) = delete;
    MyDB& operator=(const MyDB&) = delete;
    virtual ~MyDB();

    // Opens (creating if missing or empty) the file at path. On failure the
    // handle stays null and every later query returns nothing. A read-only
    // connection creates nothing and never writes: not even a hot journal is
    // rolled back (statements then fail with SQLITE_READONLY).
    void db_open(const std::string& path, bool read_only = false);

    // For a file from outside: page cells are checked as they are read, the
    // schema cannot be changed in ways that corrupt the file, and no function
    // or view named in the file's schema is trusted. Call right after db_open,
    // before anything reads or writes the file's tables.
    void lock_down();

    // Runs one statement; params bind to "?" 1, 2, ... as text of exact length.
    // Returns the rows read; on an error the rows before it, with error == 1.
    std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params = {});

    // How long a statement waits for another connection's lock before it fails
    // with SQLITE_BUSY (milliseconds; 0, the default, fails at once).
    void set_busy_timeout(int ms);

    // Whether the open file can only be read (its permissions, or a read-only
    // medium): every change to it will fail.
    bool read_only() const;

    // Closes the connection if open (the destructor does the same).
    void close();

    bool is_open() const { return handle != nullptr; }

    sqlite3* handle = nullptr;
    int error = 0;   // 1 while a query runs or after it failed; 0 after success
    int result = 0;  // SQLite's primary result code of the last failure (SQLITE_BUSY,
                     // SQLITE_CORRUPT, SQLITE_NOTADB, ...); 0 after a success
};
