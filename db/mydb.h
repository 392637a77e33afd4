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
    // handle stays null and every later query returns nothing.
    void db_open(const std::string& path);

    // For a file from outside: page cells are checked as they are read, the
    // schema cannot be changed in ways that corrupt the file, and no function
    // or view named in the file's schema is trusted. Call right after db_open,
    // before anything reads or writes the file's tables.
    void lock_down();

    // Runs one statement; params bind to "?" 1, 2, ... as text of exact length.
    // Returns the rows read; on an error the rows before it, with error == 1.
    std::vector<Row> query(const std::string& sql, const std::vector<std::string>& params = {});

    // Closes the connection if open (the destructor does the same).
    void close();

    bool is_open() const { return handle != nullptr; }

    sqlite3* handle = nullptr;
    int error = 0;   // 1 while a query runs or after it failed; 0 after success
};
