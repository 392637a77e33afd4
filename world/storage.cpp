#include "world/storage.h"

#include <zlib.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/fixed_text.h"
#include "world/model.h"

namespace {

const char* const LEVELS_COLUMN_NAMES[LEVELS_COLUMNS] = {
    "id", "name", "data", "ts", "author", "title",
    "q", "uid", "stars", "skulls", "intro", "value",
};

std::vector<Row> table_info(MyDB& db, const char* table) {
    return db.query(std::string("pragma table_info(") + table + ")");
}

// Reports every column the current table format needs that `levels` lacks, so a
// foreign table explains the failures that follow.
void report_missing_columns(MyDB& db, const std::string& path) {
    const std::vector<Row> columns = table_info(db, "levels");
    if (columns.empty()) return;
    for (const char* name : LEVELS_COLUMN_NAMES) {
        bool found = false;
        for (const Row& column : columns) {
            auto it = column.find("name");
            if (it != column.end() && it->second == name) found = true;
        }
        if (!found) fprintf(stderr, "levels %s lacks column %s\n", path.c_str(), name);
    }
}

std::string column(const Row& row, const char* name) {
    auto it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

// A rating column: a decimal number; anything else (NULL, text, hexadecimal,
// infinities, NaN) reads 0. Ratings are averages of 0..5, so the result is held
// to that range and a float never carries a value other code cannot convert.
float rating(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    for (; i < text.size() && text[i] != '\0' && strchr("+-.0123456789eE", text[i]); ++i)
        number += text[i];
    if (number.empty()) return 0.0f;
    const double v = strtod(number.c_str(), nullptr);
    if (!std::isfinite(v) || v < 0.0) return 0.0f;
    return v > 5.0 ? 5.0f : float(v);
}

float finite_or(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

float clamp_float(float v, float lo, float hi) {
    if (!std::isfinite(v)) return lo;
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

void sanitize_stored_level(level& lv) {
    level_terminate_texts(lv);
    for (int kind = 0; kind < 32; ++kind) {
        int32_t& count = lv.inventory[kind];
        if (kind < ACTOR_DETONATOR || kind > ACTOR_CARTRIDGE) count = 0;
        else if (count < 0) count = 0;
        else if (count > 999) count = 999;
    }
    lv.cam_dist = finite_or(lv.cam_dist, 0.0f);
    lv.cam_angle = finite_or(lv.cam_angle, 0.0f);
    lv.look_x = clamp_float(lv.look_x, 0.0f, float(MAP_SIZE));
    lv.look_y = clamp_float(lv.look_y, 0.0f, float(MAP_SIZE));
    lv.cam_angle_target = finite_or(lv.cam_angle_target, 0.0f);
    lv.zoom_target = clamp_float(lv.zoom_target, -25.0f, 50.0f);
}

void open_level_db(MyDB& db, const std::string& path, bool untrusted) {
    db.db_open(path);
    if (untrusted) db.lock_down();
    const char* p = path.c_str();

    const int n = int(table_info(db, "levels").size());
    fprintf(stderr, "levels %s has %d \n", p, n);
    // Each step brings one older table format up to the next; a statement that
    // fails (the column is already there) is passed over.
    if (n < 6)
        db.query("create table levels (id text primary key, name text, data blob, ts int, "
                 "author text, title text)");
    if (n < 7) db.query("alter table levels add q text");
    if (n < 11) {
        db.query("alter table levels add uid text");
        db.query("alter table levels add stars float");
        db.query("alter table levels add skulls float");
        db.query("alter table levels add intro text");
    }
    if (n < 12) db.query("alter table levels add value int");
    fprintf(stderr, "levels %s now has %d \n", p, int(table_info(db, "levels").size()));
    report_missing_columns(db, path);

    const int r = int(table_info(db, "ratings").size());
    fprintf(stderr, "ratings %s has %d \n", p, r);
    if (r < 3) {
        db.query("create table ratings (lid text primary key, stars int, skulls int)");
        fprintf(stderr, "ratings %s has %d \n", p, int(table_info(db, "ratings").size()));
    }
}

bool logic_save(game& g, MyDB& db) {
    // Compress first: a failure must not cost the row already stored.
    std::string packed;
    if (!level_data_deflate(g.edit_level, packed)) {
        fprintf(stderr, "logic_save(): zlib fail\n");
        return false;
    }
    if (!db.is_open()) return false;

    const level& lv = g.level;
    char ts[24];
    snprintf(ts, sizeof ts, "%lld", static_cast<long long>(time(nullptr)));
    const std::string id = field_text(lv.id);

    // Delete and insert together, so a failed insert keeps the old row.
    db.query("begin");
    const bool in_transaction = db.error == 0;
    db.query("delete from levels where id = ?", {id});
    bool ok = db.error == 0;
    if (ok) {
        db.query("insert into levels (id,name,author,data,title,ts,uid,intro) "
                 "values (?,?,?,?,?,?,?,?)",
                 {id, field_text(lv.name), field_text(lv.author), packed, field_text(lv.title), ts,
                  field_text(lv.uid), field_text(lv.intro)});
        ok = db.error == 0;
    }
    if (in_transaction) {
        if (ok) {
            db.query("commit");
            ok = db.error == 0;
        }
        if (!ok) db.query("rollback");
    }
    return ok;
}

bool level_data_deflate(const level& lv, std::string& out) {
    out.assign(LEVEL_DATA_CAPACITY, '\0');
    uLongf packed_size = out.size();
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &packed_size,
                  reinterpret_cast<const Bytef*>(&lv), sizeof(level),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(packed_size);
    return true;
}

bool level_data_inflate(const std::string& data, level& out) {
    if (data.empty() || data.size() > UINT_MAX) return false;
    // Inflate into a scratch record so a bad stream never leaves half a level.
    static level scratch;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&scratch);
    z.avail_out = sizeof(level);
    // With all the input and exactly one record of room, anything but the end of
    // the stream is corrupt, truncated or longer than a record.
    const int rc = inflate(&z, Z_FINISH);
    const size_t produced = sizeof(level) - z.avail_out;
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return false;
    memcpy(&out, &scratch, produced);
    return true;
}

bool level_from_row(const Row& row, level& lv) {
    if (!level_data_inflate(column(row, "data"), lv)) return false;
    set_field(lv.id, column(row, "id"));
    set_field(lv.name, column(row, "name"));
    set_field(lv.author, column(row, "author"));
    set_field(lv.title, column(row, "title"));
    set_field(lv.uid, column(row, "uid"));
    set_field(lv.intro, column(row, "intro"));
    sanitize_stored_level(lv);
    lv.stars = rating(column(row, "stars"));
    lv.skulls = rating(column(row, "skulls"));
    return true;
}

bool logic_load(game& g, MyDB& db, const std::string& id) {
    const std::vector<Row> rows = db.query("select * from levels where id = ?", {id});
    new_level(g);
    if (rows.empty()) return false;
    if (!level_from_row(rows.front(), g.edit_level)) {
        fprintf(stderr, "logic_load(): zlib fail\n");
        return false;
    }
    memcpy(&g.level, &g.edit_level, sizeof(level));
    setup_level(g, 0);
    return true;
}
