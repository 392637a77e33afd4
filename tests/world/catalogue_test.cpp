#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "test_support.h"
#include "world_fixture.h"

namespace {

struct Catalogue : ::testing::Test {
    std::unique_ptr<game> g{new game()};
    std::string log;
    void load(const std::string& json) {
        testing::internal::CaptureStderr();
        tile_catalogue_load_text(*g, json);
        log = testing::internal::GetCapturedStderr();
    }
    bool logged(const std::string& s) const { return log.find(s) != std::string::npos; }
};

TEST_F(Catalogue, ReadsEveryFieldAndPrintsEachEntry) {
    load(R"([{"n": 7, "name": "pillar", "type": "pillar", "value": 3, "view": "crate",
              "solid": 1, "opaque": 1, "shadow": 2, "editor": 1, "help": "Blow it up."}])");
    const tile_entry& t = g->tiles[7];
    EXPECT_EQ(t.number, 7);
    EXPECT_STREQ(t.name, "pillar");
    EXPECT_EQ(t.kind, TILE_PILLAR);
    EXPECT_EQ(t.value, 3);
    EXPECT_EQ(t.view, TILE_CRATE);
    EXPECT_EQ(t.solid, 1);
    EXPECT_EQ(t.opaque, 1);
    EXPECT_EQ(t.shadow, 2);
    EXPECT_EQ(t.editor, 1);
    EXPECT_STREQ(t.help, "Blow it up.");
    EXPECT_EQ(log, "_game_tile_init 7 pillar : 7,3,8 1,1,2\n");
    // Lookups agree with the entry.
    EXPECT_EQ(tile_kind(*g, 7), TILE_PILLAR);
    EXPECT_EQ(tile_value(*g, 7), 3);
    EXPECT_EQ(tile_view(*g, 7), TILE_CRATE);
    EXPECT_TRUE(tile_solid(*g, 7));
    EXPECT_TRUE(tile_opaque(*g, 7));
    EXPECT_EQ(tile_shadow(*g, 7), 2);
    EXPECT_TRUE(tile_editor(*g, 7));
    EXPECT_STREQ(tile_name(*g, 7), "pillar");
    EXPECT_STREQ(tile_help(*g, 7), "Blow it up.");
    // Undescribed numbers and numbers off the table read as zero entries.
    EXPECT_EQ(tile_kind(*g, 8), TILE_NONE);
    EXPECT_FALSE(tile_solid(*g, 8));
    EXPECT_EQ(tile_kind(*g, -1), 0);
    EXPECT_EQ(tile_kind(*g, 256), 0);
}

TEST_F(Catalogue, EveryKindWordMapsToItsNumber) {
    const char* words[] = {"none", "floor", "dark", "full", "arch", "wall", "window", "pillar",
                           "crate", "pit", "guard", "player", "arrow", "light", "item",
                           "sprite", "decal"};
    for (int i = 0; i < 17; ++i) EXPECT_EQ(tile_kind_of_word(words[i]), i) << words[i];
    for (const char* w : {"Wall", "walls", "", " wall", "lamp"})
        EXPECT_EQ(tile_kind_of_word(w), -1) << w;
}

TEST_F(Catalogue, LaterDescriptionReplacesTheEarlierWhole) {
    load(R"([{"n": 5, "name": "a", "type": "wall", "solid": 1, "opaque": 1, "help": "x"},
             {"n": 5, "name": "b", "type": "floor"}])");
    EXPECT_STREQ(g->tiles[5].name, "b");
    EXPECT_EQ(g->tiles[5].kind, TILE_FLOOR);
    EXPECT_EQ(g->tiles[5].solid, 0);
    EXPECT_EQ(g->tiles[5].opaque, 0);
    EXPECT_STREQ(g->tiles[5].help, "");
}

TEST_F(Catalogue, MissingKeysReadAsZeroAndUnknownWordsAsMinusOne) {
    load(R"([{"name": "bare"}, {"n": 9, "type": "lava", "view": "floor"}])");
    EXPECT_STREQ(g->tiles[0].name, "bare");  // no "n": tile 0
    EXPECT_EQ(g->tiles[0].kind, -1);         // no "type": the empty word
    EXPECT_EQ(g->tiles[9].kind, -1);
    EXPECT_EQ(g->tiles[9].view, TILE_FLOOR);
    EXPECT_EQ(g->tiles[9].value, 0);
    EXPECT_STREQ(g->tiles[9].name, "");
}

TEST_F(Catalogue, BadElementsAreSkippedWithADiagnostic) {
    struct Case {
        const char* json;
        const char* message;
    } cases[] = {
        {R"([{"n": 256, "name": "big"}])", "\"n\" is not a tile number 0..255"},
        {R"([{"n": -1, "name": "neg"}])", "\"n\" is not a tile number 0..255"},
        {R"([{"n": "7", "name": "text"}])", "\"n\" is not a tile number 0..255"},
        {R"([{"n": 1.5, "name": "frac"}])", "\"n\" is not a tile number 0..255"},
        {R"([{"n": 1e30, "name": "huge"}])", "\"n\" is not a tile number 0..255"},
        {R"([3, "x", null])", "is not an object, skipped"},
        {R"({"n": 1})", "tiles.json is not an array"},
        {R"([{"n": 1,)", "_game_tile_init: tiles.json:"},
    };
    for (const Case& c : cases) {
        memset(g->tiles, 0x55, sizeof g->tiles);
        load(c.json);
        EXPECT_TRUE(logged(c.message)) << c.json << "\n" << log;
        const tile_entry zero{};
        for (int t = 0; t < 256; ++t)
            ASSERT_EQ(memcmp(&g->tiles[t], &zero, sizeof zero), 0) << c.json << " tile " << t;
    }
    // An empty document is no error: the catalogue stays zero without a word.
    memset(g->tiles, 0x55, sizeof g->tiles);
    load("");
    EXPECT_EQ(log, "");
    const tile_entry zero{};
    for (int t = 0; t < 256; ++t) ASSERT_EQ(memcmp(&g->tiles[t], &zero, sizeof zero), 0) << t;
}

TEST_F(Catalogue, WrongFieldTypesReadAsZeroOrEmpty) {
    load(R"([{"n": 3, "name": 12, "type": 4, "value": "x", "solid": true, "opaque": [1],
              "shadow": 2.0, "editor": 1e20, "help": {"a": 1}}])");
    const tile_entry& t = g->tiles[3];
    EXPECT_STREQ(t.name, "");
    EXPECT_EQ(t.kind, -1);
    EXPECT_EQ(t.value, 0);
    EXPECT_EQ(t.solid, 1);  // a boolean counts as 0 or 1
    EXPECT_EQ(t.opaque, 0);
    EXPECT_EQ(t.shadow, 2);
    EXPECT_EQ(t.editor, 0);
    EXPECT_STREQ(t.help, "");
    for (const char* key : {"\"name\" is not a string", "\"type\" is not a word",
                            "\"value\" is not an integer", "\"opaque\" is not an integer",
                            "\"editor\" is not an integer", "\"help\" is not a string"})
        EXPECT_TRUE(logged(key)) << key << "\n" << log;
}

TEST_F(Catalogue, LongTextsAreCutToTheirFields) {
    const std::string name(40, 'n'), help(400, 'h');
    load("[{\"n\": 2, \"name\": \"" + name + "\", \"help\": \"" + help + "\"}]");
    EXPECT_EQ(std::string(g->tiles[2].name), name.substr(0, 31));
    EXPECT_EQ(std::string(g->tiles[2].help), help.substr(0, 319));
    EXPECT_TRUE(logged("\"name\" cut to 31 characters"));
    EXPECT_TRUE(logged("\"help\" cut to 319 characters"));
}

TEST_F(Catalogue, StartUpLoaderReadsTheDataFolder) {
    test::TempDir dir;
    test::write_file(dir.file("tiles.json"), wt::test_tiles_json());
    set_data_dir(dir.path());
    memset(g->tiles, 0x77, sizeof g->tiles);
    testing::internal::CaptureStderr();
    _game_tile_init(*g);
    log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(memcmp(g->tiles, wt::test_tiles(), sizeof g->tiles), 0);
    EXPECT_TRUE(logged("_game_tile_init 32 border : 5,0,5 1,1,0\n"));

    // A missing file leaves the catalogue all zero and reports nothing.
    set_data_dir(dir.file("nowhere"));
    testing::internal::CaptureStderr();
    _game_tile_init(*g);
    log = testing::internal::GetCapturedStderr();
    const tile_entry zero{};
    for (int t = 0; t < 256; ++t) ASSERT_EQ(memcmp(&g->tiles[t], &zero, sizeof zero), 0) << t;
    EXPECT_EQ(log, "");
    set_data_dir("");
}

// The flags come from the catalogue's flags alone, never from the kind.
struct CatalogueFlags : wt::World {};

TEST_F(CatalogueFlags, SolidOpaqueAndShadowDecideTheCellFlags) {
    using namespace wt;
    draw({"#..T...%.c",
          "..........",
          "..........",
          "..#.......",
          "..T......."});
    EXPECT_EQ(flags(10, 10) & (CELL_SOLID | CELL_OPAQUE), CELL_SOLID | CELL_OPAQUE);
    // An opaque curtain blocks sight but not walking; a crate the other way round.
    EXPECT_EQ(flags(17, 10) & (CELL_SOLID | CELL_OPAQUE), CELL_OPAQUE);
    EXPECT_EQ(flags(19, 10) & (CELL_SOLID | CELL_OPAQUE), CELL_SOLID);
    // Shadow 1 shades one cell in +y, shadow 2 two.
    EXPECT_TRUE(flags(10, 11) & CELL_SHADED);
    EXPECT_FALSE(flags(10, 12) & CELL_SHADED);
    EXPECT_TRUE(flags(13, 11) & CELL_SHADED);
    EXPECT_TRUE(flags(13, 12) & CELL_SHADED);
    EXPECT_FALSE(flags(13, 13) & CELL_SHADED);
    // A tile that casts a shadow is not shaded itself.
    EXPECT_FALSE(flags(12, 14) & CELL_SHADED);  // below the wall at (12, 13)
    EXPECT_TRUE(flags(12, 15) & CELL_SHADED);
    EXPECT_TRUE(flags(12, 16) & CELL_SHADED);
    // A path runs through the curtain but around the crate.
    const PathCell* cells;
    const int n = find_path(*g, 16, 10, 18, 10, &cells);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(cells[1].x, 17);
    EXPECT_EQ(cells[1].y, 10);
    EXPECT_EQ(find_path(*g, 18, 10, 20, 10, &cells) > 3, true);
}

}  // namespace
