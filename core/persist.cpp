#include "core/persist.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/fixed_text.h"
#include "db/mydb.h"
#include "platform/files.h"
#include "world/storage.h"

namespace {
int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

enum class RecordFile { missing, read, unusable };

// Reads a record file of the per-user folder, which must hold exactly `size`
// bytes. A file that is there but too large, cut short or unreadable is
// reported and answers `unusable`; buf may then hold part of it.
RecordFile read_record_file(const char* name, void* buf, size_t size) {
    const bool there = user_file_exists(name);
    const size_t got = read_user_file(name, buf, size);  // says why it read nothing
    if (!there) return RecordFile::missing;
    if (got == size) return RecordFile::read;
    struct stat st;
    const bool regular = stat(path_join(user_dir(), name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (regular && size_t(st.st_size) < size && got == size_t(st.st_size))
        fprintf(stderr, "%s is cut short (%zu of %zu bytes)\n", name, got, size);
    return RecordFile::unusable;
}

// The game writes a new file of that name at shutdown; the one it could not use
// is kept beside it for the player (or a tool) to recover.
void set_aside(const char* name, const char* instead) {
    const std::string kept = keep_user_file_aside(name);
    if (!kept.empty()) fprintf(stderr, "%s kept as %s; %s\n", name, kept.c_str(), instead);
}

void clear_handle_slots(game& g) {
    memset(g.rewind_store_slot, 0, sizeof g.rewind_store_slot);
    memset(g.db_slots, 0, sizeof g.db_slots);
}
}  // namespace

void load_state(game& g) {
    memset(&g, 0, sizeof g);
    const RecordFile got = read_record_file("state.dat", &g, sizeof g);
    if (got == RecordFile::read && g.version != GAME_RECORD_VERSION)
        fprintf(stderr, "state.dat is of another version (%d)\n", int(g.version));
    if (got == RecordFile::unusable || g.version != GAME_RECORD_VERSION) {
        memset(&g, 0, sizeof g);
        if (got != RecordFile::missing) set_aside("state.dat", "starting at the main menu");
    }
    level_terminate_texts(g.level);
    level_terminate_texts(g.edit_level);
    terminate_field(g.download_query);
    terminate_field(g.download_title);
    terminate_field(g.error_text);
    clear_handle_slots(g);
    if (g.rewind_pos < 0) g.rewind_pos = 0;
    // Keys held when the last run ended are not held now.
    memset(g.keys, 0, sizeof g.keys);
}

void load_settings(game& g) {
    settings& s = g.settings;
    memset(&s, 0, sizeof s);
    RecordFile got = read_record_file("settings.dat", &s, sizeof s);
    // Version 0 is an older record whose volumes are reset below; anything but
    // 0 or 1 is not a settings record at all.
    if (got == RecordFile::read && (s.version < 0 || s.version > 1)) {
        fprintf(stderr, "settings.dat is of another version (%d)\n", int(s.version));
        got = RecordFile::unusable;
    }
    if (got == RecordFile::unusable) {
        memset(&s, 0, sizeof s);
        set_aside("settings.dat", "using the default settings");
    }
    if (s.version < 1) {
        s.music_volume = 50;
        s.effects_volume = 50;
    }
    s.music_volume = clamp(s.music_volume, 0, 100);
    s.effects_volume = clamp(s.effects_volume, 0, 100);
    terminate_field(s.user);
    terminate_field(s.password);
    terminate_field(s.user_id);
    terminate_field(s.device_id);
    if (s.video_mode == 0) s.video_mode = -1;
    if (s.fullscreen == 0) s.fullscreen = 1;
    s.version = 1;
    snprintf(s.user_id, sizeof s.user_id, "g:%.61s", s.user);
    if (!s.device_id[0]) snprintf(s.device_id, sizeof s.device_id, "time|%ld", long(time(nullptr)));
}

void save_settings(game& g) { write_user_file("settings.dat", &g.settings, sizeof g.settings); }

void save_state_and_settings(game& g) {
    clear_handle_slots(g);
    write_user_file("settings.dat", &g.settings, sizeof g.settings);
    write_user_file("state.dat", &g, sizeof g);
}

namespace {
// SQLite's primary result codes the health check tells apart.
const int SQL_BUSY = 5, SQL_LOCKED = 6, SQL_READONLY = 8, SQL_CORRUPT = 11, SQL_NOTADB = 26;

// How long a statement of the game waits for another program's lock. Long
// enough to ride out a short read by a tool; a frame stalls that long at most.
const int BUSY_WAIT_MS = 250;
}  // namespace

namespace {
// One look at an existing database: SQLite's quick check on the connection.
DbHealth quick_check(MyDB& db, std::string& why) {
    const std::vector<Row> rows = db.query("pragma quick_check");
    if (db.error) {
        switch (db.result) {
        case SQL_BUSY:
        case SQL_LOCKED: why = "database is locked"; return DbHealth::locked;
        case SQL_NOTADB: why = "file is not a database"; return DbHealth::damaged;
        case SQL_CORRUPT: why = "database disk image is malformed"; return DbHealth::damaged;
        case SQL_READONLY: why = "a journal waits to be rolled back"; return DbHealth::unreadable;
        default: why = "SQLite error " + std::to_string(db.result); return DbHealth::unreadable;
        }
    }
    auto it = rows.empty() ? Row::const_iterator() : rows[0].find("quick_check");
    if (rows.size() != 1 || it == rows[0].end() || it->second != "ok") {
        why = rows.empty() || it == rows[0].end() ? std::string("its check failed") : it->second;
        if (why.size() > 120) why.resize(120);
        return DbHealth::damaged;
    }
    return DbHealth::sound;
}
}  // namespace

DbHealth check_level_db(const std::string& path, std::string& why) {
    why.clear();
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0))
        return DbHealth::sound;  // a new, empty database
    // Read-only first: nothing, not even a hot journal, touches a file before
    // it is known to be a database.
    MyDB probe;
    probe.db_open(path, true);
    if (!probe.is_open()) {
        why = "it cannot be opened";
        return DbHealth::unreadable;
    }
    probe.set_busy_timeout(BUSY_WAIT_MS);
    DbHealth health = quick_check(probe, why);
    if (health != DbHealth::unreadable || probe.result != SQL_READONLY) return health;

    // A journal left by a run that did not finish: SQLite rolls it back on the
    // first read-write access. That is recovery for a database, so it happens
    // only for a file that begins like one.
    char head[16] = {};
    FILE* f = fopen(path.c_str(), "rb");
    const bool looks_right = f && fread(head, 1, 16, f) == 16 && memcmp(head, "SQLite format 3", 16) == 0;
    if (f) fclose(f);
    if (!looks_right) {
        why = "file is not a database";
        return DbHealth::damaged;
    }
    probe.db_open(path);
    probe.set_busy_timeout(BUSY_WAIT_MS);
    return quick_check(probe, why);
}

void open_user_level_db(MyDB& db, const char* name) {
    const std::string path = path_join(user_dir(), name);
    std::string why;
    switch (check_level_db(path, why)) {
    case DbHealth::sound:
        break;
    case DbHealth::locked:
        fprintf(stderr, "%s is locked by another program (%s); the game goes on and saves there "
                        "once it is free\n", name, why.c_str());
        // Its tables are brought up to date at a start that finds it free; each
        // step would only wait for the lock now.
        db.db_open(path);
        db.set_busy_timeout(BUSY_WAIT_MS);
        return;
    case DbHealth::unreadable:
        // Nothing can be said about its contents, so nothing may write to it.
        fprintf(stderr, "%s cannot be used (%s); it is left as it is and nothing is saved there "
                        "this run\n", name, why.c_str());
        db.close();
        return;
    case DbHealth::damaged: {
        fprintf(stderr, "%s is damaged (%s)\n", name, why.c_str());
        // Its journal goes with it: applied to the new file it would spoil that too.
        for (const char* tail : {"-journal", "-wal"}) {
            const std::string extra = std::string(name) + tail;
            if (user_file_exists(extra)) keep_user_file_aside(extra);
        }
        const std::string kept = keep_user_file_aside(name);
        if (kept.empty()) {
            fprintf(stderr, "%s is left as it is and nothing is saved there this run\n", name);
            db.close();
            return;
        }
        fprintf(stderr, "%s kept as %s; starting a new one\n", name, kept.c_str());
        break;
    }
    }
    open_level_db(db, path);
    db.set_busy_timeout(BUSY_WAIT_MS);
    if (db.read_only())
        fprintf(stderr, "%s can only be read; nothing is saved there this run\n", name);
}
