#include "world/levelfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "db/mydb.h"
#include "world/levelsource.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

const size_t MAX_LEVEL_FILE = 4 << 20;  // far above any level in any form
const char SQLITE_MAGIC[] = "SQLite format 3";  // 16 bytes with its NUL

bool is_regular_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_database(const std::string& bytes) {
    return bytes.size() >= 16 && memcmp(bytes.data(), SQLITE_MAGIC, 16) == 0;
}

bool looks_like_zlib(const std::string& b) {
    if (b.size() < 2) return false;
    const unsigned c0 = static_cast<unsigned char>(b[0]), c1 = static_cast<unsigned char>(b[1]);
    return (c0 & 0x0F) == 8 && (c0 * 256 + c1) % 31 == 0;
}

bool is_text(const std::string& b) { return b.find('\0') == std::string::npos; }

// A record from a file starts like a stored level: sane, and not set up.
void as_stored(level& lv) {
    level_sanitize(lv);
    sanitize_stored_level(lv);
    memset(lv.actors, 0, sizeof lv.actors);
    lv.started = 0;
    lv.ticks = 0;
    lv.play_time = 0;
    lv.emp_time = 0;
    lv.rewinds_used = 0;
}

}  // namespace

bool read_whole_file(const std::string& path, size_t max_bytes, const char* what, std::string& out,
                     std::string& why) {
    out.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        why = path + ": " + strerror(errno);
        return false;
    }
    char buf[65536];
    size_t n;
    bool big = false;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        out.append(buf, n);
        if (out.size() > max_bytes) {
            big = true;
            break;
        }
    }
    const bool bad = ferror(f) != 0;
    fclose(f);
    if (bad) why = path + ": cannot be read";
    else if (big) why = path + ": larger than " + std::to_string(max_bytes >> 20) + " MiB: not a " + what;
    return !bad && !big;
}

bool read_level_from_db(const std::string& path, const std::string& key, level& out,
                        std::string& why) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        why = path + ": " + strerror(errno);
        return false;
    }
    char magic[16] = {};
    const size_t n = fread(magic, 1, sizeof magic, f);
    fclose(f);
    if (n != sizeof magic || memcmp(magic, SQLITE_MAGIC, 16) != 0) {
        why = path + ": not an SQLite database";
        return false;
    }
    MyDB db;
    db.db_open(path);
    db.lock_down();  // a file from anywhere: its schema is not trusted
    std::vector<Row> rows;
    if (key.empty()) {
        rows = db.query("select * from levels limit 2");
        if (db.error) {
            why = path + ": holds no levels table";
            return false;
        }
        if (rows.size() != 1) {
            why = path + (rows.empty() ? ": holds no level"
                                       : ": holds several levels; name one as " + path + ":ID");
            return false;
        }
    } else {
        rows = db.query("select * from levels where id = ?", {key});
        if (rows.empty() && !db.error) rows = db.query("select * from levels where name = ? limit 1", {key});
        if (db.error) {
            why = path + ": holds no levels table";
            return false;
        }
        if (rows.empty()) {
            why = path + ": no level with the identifier or name \"" + key + "\"";
            return false;
        }
    }
    level lv{};
    if (!level_from_row(rows.front(), lv)) {
        why = path + ": the level's data does not decompress";
        return false;
    }
    as_stored(lv);
    out = lv;
    return true;
}

bool read_level_file(const std::string& where, level& out, std::string& why) {
    std::string path = where, key;
    if (!is_regular_file(where)) {
        const size_t colon = where.rfind(':');
        if (colon != std::string::npos && colon > 0 && is_regular_file(where.substr(0, colon))) {
            path = where.substr(0, colon);
            key = where.substr(colon + 1);
        }
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        why = path + ": " + strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = path + ": not a file";
        return false;
    }
    std::string bytes;
    if (!read_whole_file(path, MAX_LEVEL_FILE, "level", bytes, why)) return false;

    if (is_database(bytes)) return read_level_from_db(path, key, out, why);
    if (!key.empty()) {
        why = path + ": not an SQLite database, so \":" + key + "\" names nothing in it";
        return false;
    }
    level lv{};
    if (bytes.size() == sizeof(level) && !is_text(bytes)) {
        memcpy(&lv, bytes.data(), sizeof lv);
    } else if (looks_like_zlib(bytes) && level_data_inflate(bytes, lv)) {
        // the compressed encoding of a record
    } else if (looks_like_zlib(bytes) && !is_text(bytes)) {
        why = path + ": compressed data that is not one whole level";
        return false;
    } else if (is_text(bytes)) {
        LevelSource src;
        if (!parse_level_source(bytes, path, src, why)) return false;
        lv = src.lv;
    } else {
        why = path + ": not a level (neither a level source, a level record of 46576 bytes, "
                     "compressed level data nor a level database)";
        return false;
    }
    as_stored(lv);
    out = lv;
    return true;
}
