#include "server/level_check.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/game.h"
#include "text/text.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

bool load_tile_kinds(TileKinds& out) {
    std::unique_ptr<game> g(new game());
    _game_tile_init(*g);
    bool player = false;
    for (int t = 0; t < 256; ++t) {
        out.kind[t] = g->tiles[t].kind;
        if (g->tiles[t].kind == TILE_PLAYER) player = true;
    }
    if (!player) fprintf(stderr, "tiles.json: no player tile; maps cannot be checked\n");
    return player;
}

bool inflate_level_exact(const std::string& compressed, level& out) {
    if (compressed.empty() || compressed.size() > size_t(LEVEL_DATA_CAPACITY)) return false;
    // One byte of room past the record tells a longer stream from an exact one.
    static thread_local unsigned char room[sizeof(level) + 1];
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = uInt(compressed.size());
    z.next_out = room;
    z.avail_out = sizeof room;
    const int rc = inflate(&z, Z_FINISH);
    const size_t produced = sizeof room - z.avail_out;
    const bool whole = rc == Z_STREAM_END && produced == sizeof(level) && z.avail_in == 0;
    inflateEnd(&z);
    if (whole) memcpy(&out, room, sizeof(level));
    return whole;
}

MapVerdict check_level(level& lv, const TileKinds& kinds, bool require_won) {
    level_sanitize(lv);
    // The cells set-up turns into actors: the playable area only.
    int players = 0, actors = 0;
    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            const int kind = kinds.kind[lv.map[x + MAP_SIZE * y]];
            if (kind == TILE_PLAYER) ++players;
            if (kind == TILE_PLAYER || kind == TILE_GUARD || kind == TILE_LIGHT) ++actors;
        }
    }
    if (players == 0) return MapVerdict::NoPlayerStart;
    if (actors > MAX_ACTORS) return MapVerdict::TooManyActors;
    if (require_won && lv.unbeaten != 0) return MapVerdict::Unbeaten;
    return MapVerdict::Ok;
}

MapVerdict check_shared_data(const std::string& base64, const TileKinds& kinds, level& out) {
    // Longer text cannot decode to a stream of at most 65536 bytes.
    if (base64.size() > size_t(LEVEL_DATA_CAPACITY + 2) / 3 * 4) return MapVerdict::Damaged;
    std::string compressed;
    if (!base64_decode(base64, compressed)) return MapVerdict::Damaged;
    if (!inflate_level_exact(compressed, out)) return MapVerdict::Damaged;
    return check_level(out, kinds, true);
}
