// Arbitrary bytes as one `levels` row (its data and text columns) through
// logic_load, then the start of play (setup_level) on what was loaded.
//
// Input: one mode byte, then eight text columns (id, name, author, title, uid,
// intro, stars, skulls), each a little-endian 16-bit length and that many bytes
// (cut at the end of the input), then the payload for the data column:
//   mode % 3 == 0  the payload as it is (mostly not zlib)
//   mode % 3 == 1  the payload compressed (a record of any length)
//   mode % 3 == 2  a blank level with the payload over its map, compressed
// The tile catalogue is synthetic so that every tile kind occurs among the 256
// tile numbers, with arrow directions 0..9.
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/game.h"
#include "db/mydb.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

struct Guarded {
    game g;
    unsigned char guard[4096];  // must stay 0xA5: nothing is written past the record
};

struct Fixture {
    std::string dir, path;
    MyDB db;
    Guarded* box = nullptr;

    Fixture() {
        char tmpl[] = "/tmp/murkwell-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        dir = tmpl;
        path = dir + "/fuzz.db";
        open_level_db(db, path);
        if (!db.is_open()) abort();
        db.query("pragma synchronous = off");
        db.query("pragma journal_mode = memory");
        box = new Guarded();
        memset(box->guard, 0xA5, sizeof box->guard);
        for (int n = 0; n < 256; ++n) {
            tile_entry& t = box->g.tiles[n];
            t.number = n;
            t.kind = int8_t(n % 18 - 1);
            t.value = n % 10;
            t.view = int8_t(n % 17);
            t.solid = n % 3 == 0;
            t.opaque = n % 5 == 0;
            t.shadow = n % 3;
            t.editor = 1;
        }
    }
    ~Fixture() {
        db.close();
        delete box;
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

struct Reader {
    const uint8_t* p;
    size_t left;
    std::string take(size_t n) {
        if (n > left) n = left;
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
    std::string text() {
        const std::string len = take(2);
        size_t n = len.size() > 0 ? uint8_t(len[0]) : 0;
        if (len.size() > 1) n |= size_t(uint8_t(len[1])) << 8;
        return take(n);
    }
};

std::string compress_bytes(const void* bytes, size_t size) {
    std::string out(compressBound(uLong(size)), '\0');
    uLongf n = out.size();
    if (compress2(reinterpret_cast<Bytef*>(&out[0]), &n, static_cast<const Bytef*>(bytes),
                  uLong(size), 1) != Z_OK)
        abort();
    out.resize(n);
    return out;
}

template <size_t N>
void check_terminated(const char (&field)[N]) {
    if (strnlen(field, N) == N) abort();
}

void check_level(const level& lv) {
    check_terminated(lv.title);
    check_terminated(lv.intro);
    check_terminated(lv.theme);
    check_terminated(lv.music);
    check_terminated(lv.name);
    check_terminated(lv.author);
    check_terminated(lv.uid);
    check_terminated(lv.id);
    if (!(lv.stars >= 0.0f && lv.stars <= 5.0f)) abort();
    if (!(lv.skulls >= 0.0f && lv.skulls <= 5.0f)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    game& g = f.box->g;
    if (size == 0) return 0;
    Reader in{data + 1, size - 1};
    const int mode = data[0] % 3;
    std::vector<std::string> texts;
    for (int i = 0; i < 8; ++i) texts.push_back(in.text());
    const std::string payload = in.take(in.left);

    std::string column;
    if (mode == 0) {
        column = payload;
    } else if (mode == 1) {
        column = compress_bytes(payload.data(), payload.size());
    } else {
        static level lv;
        new_level(g);
        lv = g.edit_level;
        memcpy(lv.map, payload.data(), payload.size() < sizeof lv.map ? payload.size() : sizeof lv.map);
        column = compress_bytes(&lv, sizeof lv);
    }

    f.db.query("delete from levels");
    f.db.query("insert into levels (id,name,author,title,uid,intro,stars,skulls,data) "
               "values (?,?,?,?,?,?,?,?,?)",
               {texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6], texts[7],
                column});

    const bool loaded = logic_load(g, f.db, texts[0]);
    check_level(g.edit_level);
    check_level(g.level);
    if (loaded) {
        // Starting play: the stored copy over the play copy, then set-up.
        memcpy(&g.level, &g.edit_level, sizeof(level));
        setup_level(g, 1);
    }
    for (unsigned char b : f.box->guard)
        if (b != 0xA5) abort();

    // The inflate step alone, on the raw payload.
    static level scratch;
    level_data_inflate(payload, scratch);
    return 0;
}
