#include "world/catalogue.h"

#include <json/json.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"

namespace {

const char* const TILE_WORDS[] = {
    "none", "floor", "dark", "full", "arch", "wall", "window", "pillar", "crate",
    "pit", "guard", "player", "arrow", "light", "item", "sprite", "decal",
};

const tile_entry ZERO_ENTRY{};

// An integer field: a missing key reads as 0; a number outside int32 or a value of
// another type reads as 0 with a diagnostic. Booleans count as 0 and 1.
int32_t int_field(const Json::Value& e, const char* key, int n) {
    const Json::Value& v = e[key];
    if (v.isNull()) return 0;
    if (v.isBool()) return v.asBool() ? 1 : 0;
    if (v.isInt()) return v.asInt();
    if (v.isDouble()) {
        const double d = v.asDouble();
        if (d >= double(INT_MIN) && d <= double(INT_MAX)) return int32_t(d);
    }
    fprintf(stderr, "_game_tile_init: tile %d: \"%s\" is not an integer\n", n, key);
    return 0;
}

// A text field cut to fit `size` bytes with its NUL.
void text_field(const Json::Value& e, const char* key, int n, char* out, size_t size) {
    memset(out, 0, size);
    const Json::Value& v = e[key];
    if (v.isNull()) return;
    if (!v.isString()) {
        fprintf(stderr, "_game_tile_init: tile %d: \"%s\" is not a string\n", n, key);
        return;
    }
    const std::string s = v.asString();
    if (s.size() >= size)
        fprintf(stderr, "_game_tile_init: tile %d: \"%s\" cut to %d characters\n", n, key,
                int(size - 1));
    memcpy(out, s.data(), s.size() < size ? s.size() : size - 1);
}

int word_field(const Json::Value& e, const char* key, int n) {
    const Json::Value& v = e[key];
    if (!v.isNull() && !v.isString()) {
        fprintf(stderr, "_game_tile_init: tile %d: \"%s\" is not a word\n", n, key);
        return -1;
    }
    return tile_kind_of_word(v.isString() ? v.asString() : std::string());
}

void load_element(game& g, const Json::Value& e, int index) {
    if (!e.isObject()) {
        fprintf(stderr, "_game_tile_init: element %d is not an object, skipped\n", index);
        return;
    }
    const Json::Value& nv = e["n"];
    int n = 0;  // a missing number reads as 0, like every other missing key
    if (!nv.isNull()) {
        if (!nv.isInt() || nv.asInt() < 0 || nv.asInt() > 255) {
            fprintf(stderr, "_game_tile_init: element %d: \"n\" is not a tile number 0..255, "
                            "skipped\n", index);
            return;
        }
        n = nv.asInt();
    }
    // A later element with the same number replaces the earlier one whole.
    tile_entry t{};
    t.number = n;
    text_field(e, "name", n, t.name, sizeof t.name);
    t.kind = int8_t(word_field(e, "type", n));
    t.view = int8_t(word_field(e, "view", n));
    t.value = int_field(e, "value", n);
    t.solid = int_field(e, "solid", n);
    t.opaque = int_field(e, "opaque", n);
    t.shadow = int_field(e, "shadow", n);
    t.editor = int_field(e, "editor", n);
    text_field(e, "help", n, t.help, sizeof t.help);
    g.tiles[n] = t;
    fprintf(stderr, "_game_tile_init %d %s : %d,%d,%d %d,%d,%d\n", t.number, t.name, t.kind,
            t.value, t.view, t.solid, t.opaque, t.shadow);
}

}  // namespace

int tile_kind_of_word(const std::string& word) {
    for (int i = 0; i < int(sizeof TILE_WORDS / sizeof TILE_WORDS[0]); ++i)
        if (word == TILE_WORDS[i]) return i;
    return -1;
}

const tile_entry& tile_at(const game& g, int tile) {
    return tile >= 0 && tile < 256 ? g.tiles[tile] : ZERO_ENTRY;
}

void tile_catalogue_load_text(game& g, const std::string& json) {
    memset(g.tiles, 0, sizeof g.tiles);
    // A missing or empty file is not an error: the catalogue simply stays all zero.
    if (json.empty()) return;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value doc;
    std::string errors;
    try {
        if (!reader->parse(json.data(), json.data() + json.size(), &doc, &errors)) {
            fprintf(stderr, "_game_tile_init: tiles.json: %s", errors.c_str());
            return;
        }
        if (!doc.isArray()) {
            fprintf(stderr, "_game_tile_init: tiles.json is not an array\n");
            return;
        }
        for (Json::ArrayIndex i = 0; i < doc.size(); ++i) load_element(g, doc[i], int(i));
    } catch (const std::exception& ex) {
        fprintf(stderr, "_game_tile_init: tiles.json: %s\n", ex.what());
    }
}

void _game_tile_init(game& g) { tile_catalogue_load_text(g, read_data_file("tiles.json")); }
