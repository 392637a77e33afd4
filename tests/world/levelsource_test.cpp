// Level sources and the level checker, against the shipped tile catalogue.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "world/catalogue.h"
#include "world/levelcheck.h"
#include "world/levelsource.h"
#include "world/model.h"

namespace {

std::unique_ptr<game> shipped_catalogue() {
    std::unique_ptr<game> g(new game());
    const std::string json = test::read_file(test::source_data_dir() + "/tiles.json");
    test::stderr_of([&] { tile_catalogue_load_text(*g, json); });
    return g;
}

std::string source(const std::string& map, const std::string& extra = "") {
    return "name   demo\ntitle  A Demo\nintro  Walk.\n" + extra + "map\n" + map;
}

TEST(LevelSource, EveryKeyEndsUpInTheStoredRecord) {
    const std::string text =
        "# a comment, then blank lines\n\n"
        "name   c01\n"
        "id     c01-id\n"
        "title  The Cellar\n"
        "intro  Two lines of intro\n"
        "intro    joined by one space.\n"
        "author Someone\n"
        "uid    g:Someone\n"
        "bombs  detonator 2 mini 1 time 0\n"
        "music  menus\n"
        "theme  cellar\n"
        "at     20 30\n"
        "tile   Q 30\n"
        "map\r\n"
        "#####\r\n"
        "#@PQW\r\n"
        "#,$_#\r\n"
        "\n\n";
    LevelSource src;
    std::string error;
    ASSERT_TRUE(parse_level_source(text, "c01.level", src, error)) << error;
    const level& lv = src.lv;
    EXPECT_STREQ(lv.name, "c01");
    EXPECT_STREQ(lv.id, "c01-id");
    EXPECT_STREQ(lv.title, "The Cellar");
    EXPECT_STREQ(lv.intro, "Two lines of intro joined by one space.");
    EXPECT_STREQ(lv.author, "Someone");
    EXPECT_STREQ(lv.uid, "g:Someone");
    EXPECT_STREQ(lv.music, "menus");
    EXPECT_STREQ(lv.theme, "cellar");
    EXPECT_EQ(lv.inventory[ACTOR_DETONATOR], 2);
    EXPECT_EQ(lv.inventory[ACTOR_TIME_BOMB], 0);
    EXPECT_EQ(lv.inventory[ACTOR_EMP_BOMB], 0);
    EXPECT_EQ(lv.inventory[ACTOR_MINI_BOMB], 1);
    EXPECT_EQ(lv.unbeaten, 0);
    EXPECT_EQ(lv.started, 0);
    // The drawing's top-left character is cell (20, 30); the rest of the play
    // area is void and the frame is tile 32.
    const struct {
        int x, y, tile;
    } cells[] = {{20, 30, 32}, {21, 31, 4}, {22, 31, 7}, {23, 31, 30}, {24, 31, 6},
                 {21, 32, 2},  {22, 32, 17}, {23, 32, 0}, {25, 31, 0},  {3, 3, 32},
                 {124, 60, 32}, {60, 60, 0}};
    for (const auto& c : cells)
        EXPECT_EQ(lv.map[cell_index(c.x, c.y)], c.tile) << c.x << "," << c.y;
    int line = 0, column = 0;
    ASSERT_TRUE(source_position(src, 22, 32, &line, &column));
    EXPECT_EQ(line, 18);
    EXPECT_EQ(column, 3);
    EXPECT_FALSE(source_position(src, 25, 31, &line, &column));

    // Without "at" the drawing is centred and the identifier is the name.
    ASSERT_TRUE(parse_level_source(source("#@W#\n"), "demo.level", src, error)) << error;
    EXPECT_EQ(src.map_x0, 62);
    EXPECT_EQ(src.map_y0, 64);
    EXPECT_EQ(src.lv.map[cell_index(63, 64)], 4);
    EXPECT_STREQ(src.lv.id, "demo");
    EXPECT_STREQ(src.lv.author, "Murkwell");
}

TEST(LevelSource, MistakesAreReportedWithFileAndLine) {
    const std::string long_title(64, 'T');
    const std::string intro_line(130, 'i');
    const struct {
        std::string text, message;
    } cases[] = {
        {source("#@W#\n#X.#\n"), "x.level:6: column 2: no tile for 'X'"},
        {source("#@W#\n#..\n"), "x.level:6: row is 3 characters wide; the first row is 4"},
        {source("#@W#\n\n#..#\n"), "x.level:6: row is 0 characters wide"},
        {source("#@W\x01\n"), "x.level:5: column 4: no tile for '\\x01'"},
        {"name demo\ntitle " + long_title + "\nintro x\nmap\n#@#\n",
         "x.level:2: title is 64 characters; at most 63 fit"},
        {"name demo\ntitle t\nintro " + intro_line + "\nintro " + intro_line + "\nmap\n#@#\n",
         "x.level:4: intro (joined) is 261 characters; at most 255 fit"},
        {"name " + std::string(32, 'n') + "\ntitle t\nintro x\nmap\n#@#\n",
         "x.level:1: name is 32 characters; at most 31 fit"},
        {"name demo\ntitle Caf\xe9\nintro x\nmap\n#@#\n",
         "x.level:2: title: character 4 is not printable ASCII"},
        {source("#@#\n", "colour red\n"), "x.level:4: unknown key \"colour\""},
        {source("#@#\n", "title again\n"), "x.level:4: \"title\" given twice"},
        {source("#@#\n", "bombs detonator 100\n"), "x.level:4: bomb count \"100\""},
        {source("#@#\n", "bombs nuke 1\n"), "x.level:4: unknown bomb kind \"nuke\""},
        {source("#@#\n", "bombs time\n"), "x.level:4: bombs takes pairs"},
        {source("#@#\n", "at 2 50\n"), "x.level:4: at takes a cell"},
        {source("#@##\n", "at 121 50\n"), "x.level:6: the drawing placed at (121, 50) runs past cell 123"},
        {source("#@#\n", "tile QQ 3\n"), "x.level:4: tile takes a character"},
        {source(""), "x.level:4: the drawing after \"map\" is empty"},
        {"name demo\ntitle t\nintro x\n", "x.level:3: no \"map\" line"},
        {"name demo\nintro x\nmap\n#@#\n", "x.level:3: no \"title\" line"},
        {"name demo\ntitle t\nintro x\nmap here\n#@#\n", "x.level:4: \"map\" takes no value"},
        {source(std::string(121, '.') + "\n"), "x.level:5: the drawing is 121 x 1; at most 120 x 120 fit"},
    };
    for (const auto& c : cases) {
        LevelSource src;
        std::string error;
        EXPECT_FALSE(parse_level_source(c.text, "x.level", src, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
}

// The problems found in a drawing, as "x,y: text" (or "-: text").
std::vector<std::string> problems_of(game& g, const std::string& map, bool needs_targets = true,
                                     const std::string& extra = "") {
    LevelSource src;
    std::string error;
    EXPECT_TRUE(parse_level_source(source(map, "at 10 10\n" + extra), "x.level", src, error))
        << error;
    LevelCheckOptions o;
    o.needs_targets = needs_targets;
    std::vector<std::string> out;
    for (const LevelProblem& p : check_level(g, src.lv, o))
        out.push_back((p.x < 0 ? std::string("-") : std::to_string(p.x) + "," + std::to_string(p.y)) +
                      ": " + p.text);
    return out;
}

TEST(LevelCheck, FindsEachStructuralFault) {
    std::unique_ptr<game> g = shipped_catalogue();
    // A sound level: a target, a reachable window and cartridge, a patrolling
    // guard (three points, looping) and a guard standing still (no arrow).
    EXPECT_TRUE(problems_of(*g, "#########\n"
                                "#@..P..$W\n"
                                "#G3...7.#\n"
                                "#......G#\n"
                                "#########\n")
                    .empty());
    const struct {
        std::string map;
        bool needs_targets;
        std::string extra, problem;
    } cases[] = {
        {"#####\n#.PW#\n#####\n", true, "", "-: no player start"},
        {"######\n#@@PW#\n######\n", true, "", "12,11: a second player start; a level has one"},
        {"#####\n#@.W#\n#####\n", true, "", "-: no targets"},
        {"######\n#@.P.#\n######\n", true, "", "-: no window"},
        {"#######\n#@P#.W#\n#######\n", true, "", "-: no window can be reached from the player start"},
        {"#######\n#@PW#$#\n#######\n", true, "", "15,11: a Data Cartridge the player cannot reach"},
        {"########\n#@PW.G3#\n########\n", true, "",
         "15,11: the guard's arrow leads to no further arrow, so it never walks"},
        // A diagonal leg between two walls that touch at a corner: the route is
        // traced along it, but no guard can walk it.
        {"#######\n#@PW..#\n#G2####\n###.###\n####.##\n#####8#\n#######\n", true, "",
         "11,12: the guard cannot walk its route from (12, 12) to (15, 15)"},
        {"#####\n#@PW#\n#.Q.#\n#####\n", true, "tile Q 31\n", "12,12: tile 31 is not in the tile catalogue"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> found = problems_of(*g, c.map, c.needs_targets, c.extra);
        bool seen = false;
        for (const std::string& f : found) seen = seen || f == c.problem;
        EXPECT_TRUE(seen) << "expected \"" << c.problem << "\" in:\n"
                          << testing::PrintToString(found);
    }
    // The first tutorial may go without targets.
    EXPECT_TRUE(problems_of(*g, "#####\n#@.W#\n#####\n", false).empty());

    // 65 actors: the player and 64 lamps.
    const std::string wall(69, '#');
    const std::string crowd = wall + "\n#@" + std::string(64, '*') + "PW#\n" + wall + "\n";
    const std::vector<std::string> found = problems_of(*g, crowd);
    ASSERT_EQ(found.size(), 1u) << testing::PrintToString(found);
    EXPECT_EQ(found[0], "-: 65 actors (player, guards, lamps); at most 64 fit");
}

}  // namespace
