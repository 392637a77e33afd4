// The shipped tile catalogue (data/tiles.json): well-formed for the loader,
// the fixed roles the rules rely on, a complete tile set, and a palette whose
// 32 cells hold the tiles a map needs.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const char* const kKinds[] = {"none", "floor", "dark", "full", "arch", "wall", "window", "pillar", "crate",
                              "pit", "guard", "player", "arrow", "light", "item", "sprite", "decal"};

struct Tile {
    int n = -1;
    std::string name, type, view, help;
    int value = 0, solid = 0, opaque = 0, shadow = 0, editor = 0;
};

class TilesJson : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string text = test::read_file(test::source_data_dir() + "/tiles.json");
        root_ = new Json::Value;
        Json::CharReaderBuilder builder;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        parsed_ = reader->parse(text.data(), text.data() + text.size(), root_, &errors);
        errors_ = errors;
        tiles_ = new std::map<int, Tile>;
        if (!parsed_ || !root_->isArray()) return;
        for (const Json::Value& e : *root_) {
            if (!e.isObject() || !e["n"].isInt()) continue;
            Tile t;
            t.n = e["n"].asInt();
            t.name = e.get("name", "").asString();
            t.type = e.get("type", "").asString();
            t.view = e.get("view", "").asString();
            t.help = e.get("help", "").asString();
            t.value = e.get("value", 0).asInt();
            t.solid = e.get("solid", 0).asInt();
            t.opaque = e.get("opaque", 0).asInt();
            t.shadow = e.get("shadow", 0).asInt();
            t.editor = e.get("editor", 0).asInt();
            (*tiles_)[t.n] = t;
        }
    }
    static void TearDownTestSuite() {
        delete root_;
        delete tiles_;
    }
    static const Tile& tile(int n) {
        static const Tile none;
        auto it = tiles_->find(n);
        return it == tiles_->end() ? none : it->second;
    }
    static std::vector<const Tile*> of_type(const std::string& type) {
        std::vector<const Tile*> out;
        for (const auto& kv : *tiles_)
            if (kv.second.type == type) out.push_back(&kv.second);
        return out;
    }

    static Json::Value* root_;
    static std::map<int, Tile>* tiles_;
    static bool parsed_;
    static std::string errors_;
};

Json::Value* TilesJson::root_ = nullptr;
std::map<int, Tile>* TilesJson::tiles_ = nullptr;
bool TilesJson::parsed_ = false;
std::string TilesJson::errors_;

// Every element carries every field with the JSON type the loader reads, in
// the limits of the catalogue's fixed-size fields, and each number once.
TEST_F(TilesJson, ElementsAreWellFormed) {
    ASSERT_TRUE(parsed_) << errors_;
    ASSERT_TRUE(root_->isArray());
    std::set<int> seen;
    std::set<std::string> names;
    std::set<std::string> kinds(std::begin(kKinds), std::end(kKinds));
    for (const Json::Value& e : *root_) {
        ASSERT_TRUE(e.isObject());
        ASSERT_TRUE(e["n"].isInt()) << e.toStyledString();
        int n = e["n"].asInt();
        EXPECT_TRUE(n >= 0 && n <= 255) << n;
        EXPECT_TRUE(seen.insert(n).second) << "tile " << n << " described twice";
        for (const char* key : {"name", "type", "view", "help"})
            EXPECT_TRUE(e[key].isString()) << "tile " << n << " field " << key;
        for (const char* key : {"value", "solid", "opaque", "shadow", "editor"})
            EXPECT_TRUE(e[key].isInt()) << "tile " << n << " field " << key;
        std::string name = e["name"].asString();
        EXPECT_FALSE(name.empty()) << n;
        EXPECT_LE(name.size(), 31u) << name;
        EXPECT_TRUE(names.insert(name).second) << "name " << name << " used twice";
        EXPECT_FALSE(e["help"].asString().empty()) << name;
        // Texts are drawn byte by byte from single-byte glyph tables: plain ASCII only.
        for (unsigned char c : name + e["help"].asString()) EXPECT_LT(c, 128) << name;
        EXPECT_LE(e["help"].asString().size(), 319u) << name;
        EXPECT_TRUE(kinds.count(e["type"].asString())) << name << " type " << e["type"].asString();
        EXPECT_TRUE(kinds.count(e["view"].asString())) << name << " view " << e["view"].asString();
        int shadow = e["shadow"].asInt();
        EXPECT_TRUE(shadow >= 0 && shadow <= 2) << name;
        for (const char* key : {"solid", "opaque"})
            EXPECT_TRUE(e[key].asInt() == 0 || e[key].asInt() == 1) << name << " " << key;
        int editor = e["editor"].asInt();
        EXPECT_TRUE(editor >= 0 && editor <= 7) << name;
    }
}

TEST_F(TilesJson, EveryKindIsUsed) {
    for (const char* kind : kKinds) EXPECT_FALSE(of_type(kind).empty()) << "no tile of type " << kind;
}

// Tiles 0-4 and 32 have roles in the rules whatever the file says; their
// entries must agree with those roles.
TEST_F(TilesJson, FixedRolesHold) {
    EXPECT_EQ(tile(0).type, "none");
    EXPECT_EQ(tile(0).solid, 1) << "nobody may walk on the outside";
    EXPECT_EQ(tile(1).type, "floor");
    EXPECT_EQ(tile(1).solid, 0);
    EXPECT_EQ(tile(1).opaque, 0);
    EXPECT_EQ(tile(2).type, "dark");
    EXPECT_EQ(tile(2).solid, 0);
    EXPECT_EQ(tile(2).opaque, 0);
    EXPECT_EQ(tile(3).solid, 1) << "a crater must kill and stop running guards at its rim";
    EXPECT_EQ(tile(3).type, "pit");
    EXPECT_EQ(tile(4).type, "player") << "a new map must be test-playable at once";
    EXPECT_EQ(tile(32).solid, 1);
    EXPECT_EQ(tile(32).opaque, 1);
    // The player's start, the floor and the crater never block the view.
    EXPECT_EQ(tile(3).opaque, 0);
    EXPECT_EQ(tile(4).solid, 0);
}

// Arrows: the eight keypad directions exactly once, named after their value,
// and all among ids 0..31 where the editor looks for a turned arrow.
TEST_F(TilesJson, ArrowsCoverTheEightDirections) {
    std::multiset<int> values;
    for (const Tile* t : of_type("arrow")) {
        values.insert(t->value);
        EXPECT_EQ(t->name, "arrow" + std::to_string(t->value));
        EXPECT_LT(t->n, 32) << t->name;
        EXPECT_EQ(t->solid, 0) << t->name;
    }
    EXPECT_EQ(values, (std::multiset<int>{1, 2, 3, 4, 6, 7, 8, 9}));
}

TEST_F(TilesJson, LampsAndItemsCoverTheirValues) {
    std::multiset<int> lamps, items;
    for (const Tile* t : of_type("light")) lamps.insert(t->value);
    for (const Tile* t : of_type("item")) items.insert(t->value);
    EXPECT_EQ(lamps, (std::multiset<int>{1, 2, 3, 4}));
    EXPECT_EQ(items, (std::multiset<int>{1, 2, 3, 4, 5}));
    // The bombs' item tiles share their names with the bombs' images.
    for (const Tile* t : of_type("item"))
        if (t->value <= 4) {
            EXPECT_EQ(t->name, "bomb" + std::to_string(t->value));
        }
}

TEST_F(TilesJson, FlagsMakeSense) {
    for (const auto& kv : *tiles_) {
        const Tile& t = kv.second;
        // Spawn tiles are replaced by ground at set-up; items are picked up by walking on them.
        if (t.type == "guard" || t.type == "player" || t.type == "arrow" || t.type == "light" ||
            t.type == "item" || t.type == "floor" || t.type == "dark" || t.type == "decal") {
            EXPECT_EQ(t.solid, 0) << t.name;
        }
        if (t.type == "wall" || t.type == "full" || t.type == "pillar" || t.type == "window" || t.type == "pit") {
            EXPECT_EQ(t.solid, 1) << t.name;
        }
        if (t.type == "wall" || t.type == "full" || t.type == "pillar") {
            EXPECT_EQ(t.opaque, 1) << t.name;
        }
        if (t.type == "window") {
            EXPECT_EQ(t.opaque, 0) << t.name << ": the way out is seen through";
        }
        if (t.opaque == 0) {
            EXPECT_EQ(t.shadow, 0) << t.name << " casts a shadow but hides nothing";
        }
        // A "full" view draws nothing in the world renderer: a wall must never use it.
        EXPECT_NE(t.view, "full") << t.name;
    }
}

// The palette shows the first 32 tiles in (category, id) order: they must be
// 32 real tiles and include everything a playable map needs.
TEST_F(TilesJson, PaletteShowsTheEssentialTiles) {
    std::vector<const Tile*> order;
    for (int k = 1; k <= 7; k++)
        for (const auto& kv : *tiles_)
            if (kv.second.editor == k) order.push_back(&kv.second);
    ASSERT_GE(order.size(), 32u);
    order.resize(32);
    std::set<std::string> shown;
    for (const Tile* t : order) shown.insert(t->name);
    std::set<std::string> types;
    for (const Tile* t : order) types.insert(t->type);
    for (const char* type : {"floor", "dark", "wall", "window", "pillar", "guard", "player", "light", "item", "pit",
                             "crate", "sprite"})
        EXPECT_TRUE(types.count(type)) << "the palette offers no " << type << " tile";
    for (int n : {0, 1, 2, 32}) EXPECT_TRUE(shown.count(tile(n).name)) << "tile " << n << " not in the palette";
    int arrows = 0, lamps = 0, items = 0;
    for (const Tile* t : order) {
        arrows += t->type == "arrow";
        lamps += t->type == "light";
        items += t->type == "item";
    }
    EXPECT_EQ(arrows, 8);
    EXPECT_EQ(lamps, 4);
    EXPECT_EQ(items, 5);
    // Categories come in their documented order: floors, walls, goals, people and lamps, ...
    std::map<std::string, int> expected = {{"floor", 1}, {"dark", 1}, {"wall", 2}, {"window", 3}, {"pillar", 3},
                                           {"player", 4}, {"guard", 4}, {"light", 4}, {"arrow", 5}, {"item", 6},
                                           {"sprite", 7}};
    for (const auto& kv : *tiles_) {
        auto it = expected.find(kv.second.type);
        if (it != expected.end() && kv.second.editor != 0) {
            EXPECT_EQ(kv.second.editor, it->second) << kv.second.name;
        }
    }
}

}  // namespace
