#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include <cstddef>

#include "core/persist.h"
#include "platform/driver.h"
#include "test_support.h"

namespace {

struct PersistTest : ::testing::Test {
    test::TempDir tmp;
    test::ScopedEnv appdata{"APPDATA", tmp.path().c_str()};
    std::unique_ptr<game> g{new game()};
    std::string user_file(const char* name) { return tmp.path() + "/Murkwell/" + name; }
    void SetUp() override {
        driver().app_name = "Murkwell";
        test::write_file(tmp.path() + "/.keep", "");
        mkdir((tmp.path() + "/Murkwell").c_str(), 0700);
    }
    void TearDown() override { driver().app_name = ""; }
    void load() {
        testing::internal::CaptureStderr();
        load_state(*g);
        load_settings(*g);
        log = testing::internal::GetCapturedStderr();
    }
    std::string log;
};

TEST_F(PersistTest, FirstStartGetsDefaults) {
    const long before = long(time(nullptr));
    load();
    const settings& s = g->settings;
    EXPECT_EQ(g->state, 0);
    EXPECT_EQ(s.version, 1);
    EXPECT_EQ(s.music_volume, 50);
    EXPECT_EQ(s.effects_volume, 50);
    EXPECT_EQ(s.fullscreen, 1);
    EXPECT_EQ(s.video_mode, -1);
    EXPECT_STREQ(s.user_id, "g:");
    ASSERT_EQ(std::string(s.device_id).rfind("time|", 0), 0u);
    const long made = atol(s.device_id + 5);
    EXPECT_GE(made, before);
    EXPECT_LE(made, long(time(nullptr)));
    EXPECT_NE(log.find("file not found: " + user_file("state.dat")), std::string::npos) << log;
    EXPECT_NE(log.find("file not found: " + user_file("settings.dat")), std::string::npos);
}

TEST_F(PersistTest, RoundTripKeepsEverythingButTheHandleSlots) {
    load();
    g->version = 1;  // as start-up sets it
    g->state = 9;
    g->return_state = 8;
    strcpy(g->level.title, "Night Shift");
    g->level.map[64 + 128 * 64] = 4;
    g->edit_level.stars = 4.5f;
    strcpy(g->settings.user, "alice");
    g->settings.music_volume = 12;
    g->settings.video_mode = 1024 * 4096 + 768;
    memset(g->db_slots, 0xAB, sizeof g->db_slots);
    memset(g->rewind_store_slot, 0xCD, sizeof g->rewind_store_slot);
    save_state_and_settings(*g);

    const std::string state = test::read_file(user_file("state.dat"));
    const std::string sets = test::read_file(user_file("settings.dat"));
    ASSERT_EQ(state.size(), 213308u);
    ASSERT_EQ(sets.size(), 276u);
    EXPECT_EQ(state.substr(213012, 36), std::string(36, '\0'));
    EXPECT_EQ(state.substr(213004, 4), std::string(4, '\0'));
    EXPECT_EQ(memcmp(sets.data(), state.data() + 111348, 276), 0) << "settings.dat is the record's region";

    std::unique_ptr<game> back(new game());
    std::swap(g, back);
    load();
    EXPECT_EQ(g->state, 9);
    EXPECT_EQ(g->return_state, 8);
    EXPECT_STREQ(g->level.title, "Night Shift");
    EXPECT_EQ(g->level.map[64 + 128 * 64], 4);
    EXPECT_FLOAT_EQ(g->edit_level.stars, 4.5f);
    EXPECT_EQ(g->settings.music_volume, 12);
    EXPECT_EQ(g->settings.video_mode, 1024 * 4096 + 768);
    EXPECT_STREQ(g->settings.user_id, "g:alice");
    EXPECT_STREQ(g->settings.device_id, back->settings.device_id) << "made once, then kept";
}

TEST_F(PersistTest, SettingsVersionZeroResetsOnlyVolumes) {
    settings s{};
    s.version = 0;
    strcpy(s.user, "bob");
    s.music_volume = 5;
    s.effects_volume = 7;
    s.video_mode = 800 * 4096 + 600;
    s.fullscreen = -1;
    strcpy(s.device_id, "time|123");
    test::write_file(user_file("settings.dat"), std::string(reinterpret_cast<char*>(&s), sizeof s));
    load();
    EXPECT_EQ(g->settings.music_volume, 50);
    EXPECT_EQ(g->settings.effects_volume, 50);
    EXPECT_STREQ(g->settings.user, "bob");
    EXPECT_EQ(g->settings.video_mode, 800 * 4096 + 600);
    EXPECT_EQ(g->settings.fullscreen, -1);
    EXPECT_STREQ(g->settings.device_id, "time|123");
    EXPECT_EQ(g->settings.version, 1);
}

TEST_F(PersistTest, GarbageSettingsAreTamed) {
    std::string junk(276, '\xff');
    junk[0] = 1;  // version 1
    junk[1] = junk[2] = junk[3] = 0;
    test::write_file(user_file("settings.dat"), junk);
    load();
    const settings& s = g->settings;
    EXPECT_GE(s.music_volume, 0);
    EXPECT_LE(s.music_volume, 100);
    EXPECT_GE(s.effects_volume, 0);
    EXPECT_LE(s.effects_volume, 100);
    EXPECT_EQ(strlen(s.user), 63u);
    EXPECT_EQ(strlen(s.password), 63u);
    EXPECT_EQ(strlen(s.device_id), 63u);
    // "g:" plus a 63-character name does not fit: the name is cut to the field.
    EXPECT_EQ(strlen(s.user_id), 63u);
    EXPECT_EQ(std::string(s.user_id).substr(0, 2), "g:");

    std::string big_volumes(276, '\0');
    int32_t v = 1;
    memcpy(&big_volumes[0], &v, 4);
    v = 1000;
    memcpy(&big_volumes[132], &v, 4);
    v = -3;
    memcpy(&big_volumes[136], &v, 4);
    test::write_file(user_file("settings.dat"), big_volumes);
    load();
    EXPECT_EQ(g->settings.music_volume, 100);
    EXPECT_EQ(g->settings.effects_volume, 0);
}

TEST_F(PersistTest, StateFilesThatAreDiscarded) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"too large", std::string(213309, '\1'), "state.dat is too large\n"},
        {"other version", std::string("\2\0\0\0\5\0\0\0", 8), nullptr},
        {"empty", std::string(), nullptr},
    };
    for (const Case& c : cases) {
        test::write_file(user_file("state.dat"), c.bytes);
        g->state = 77;
        load();
        EXPECT_EQ(g->version, 0) << c.what;
        EXPECT_EQ(g->state, 0) << c.what;
        if (c.message) {
            EXPECT_NE(log.find(c.message), std::string::npos) << c.what << ": " << log;
        }
    }
}

TEST_F(PersistTest, VersionOneGarbageIsTerminatedAndCleared) {
    std::string junk(213308, 'x');
    int32_t one = 1;
    memcpy(&junk[0], &one, 4);
    int32_t negative = -7;
    memcpy(&junk[offsetof(game, rewind_pos)], &negative, 4);
    test::write_file(user_file("state.dat"), junk);
    load();
    EXPECT_EQ(g->version, 1);
    EXPECT_EQ(strlen(g->level.title), 63u);
    EXPECT_EQ(strlen(g->level.intro), 255u);
    EXPECT_EQ(strlen(g->edit_level.id), 31u);
    EXPECT_EQ(strlen(g->level.actors[63].anim), 31u);
    EXPECT_EQ(strlen(g->download_query), 255u);
    EXPECT_EQ(strlen(g->error_text), 255u);
    EXPECT_EQ(g->rewind_pos, 0);
    for (uint8_t k : g->keys) ASSERT_EQ(k, 0) << "no key is held at start";
}

TEST_F(PersistTest, ShortStateFileIsKeptAsideNotResumed) {
    // A record cut short would resume a level whose tail is zeros: a map missing
    // its lower rows, actors without their state. It is not resumed.
    std::string head(16, '\0');
    int32_t one = 1, three = 3;
    memcpy(&head[0], &one, 4);
    memcpy(&head[4], &three, 4);
    test::write_file(user_file("state.dat"), head);
    load();
    EXPECT_EQ(g->state, 0);
    EXPECT_EQ(g->version, 0);
    EXPECT_EQ(test::read_file(user_file("state.dat.damaged")), head);
}

// Every state.dat or settings.dat the game cannot use is said on the error
// stream and kept, byte for byte, under another name; the record starts as on a
// first start, and the file written at shutdown replaces nothing.
TEST_F(PersistTest, DamagedRecordFilesAreReportedKeptAndReplacedByDefaults) {
    std::string whole(sizeof(game), '\0');
    const int32_t one = 1, two = 2, three = 3;
    memcpy(&whole[0], &one, 4);
    memcpy(&whole[4], &three, 4);  // a level in play
    memcpy(&whole[offsetof(game, level) + offsetof(level, title)], "Cut", 3);
    std::string other = whole;
    memcpy(&other[0], &two, 4);
    std::string noise(276, '\0');
    unsigned seed = 7;
    for (char& c : noise) c = char((seed = seed * 1103515245u + 12345u) >> 16);
    std::string settings_two(276, '\0');
    memcpy(&settings_two[0], &two, 4);

    struct Case {
        const char* file;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"state.dat", whole.substr(0, 16), "state.dat is cut short (16 of 213308 bytes)\n"},
        {"state.dat", whole.substr(0, 100000), "state.dat is cut short (100000 of 213308 bytes)\n"},
        {"state.dat", whole + "x", "state.dat is too large\n"},
        {"state.dat", other, "state.dat is of another version (2)\n"},
        {"state.dat", std::string(), "state.dat is cut short (0 of 213308 bytes)\n"},
        {"settings.dat", noise, "settings.dat is of another version ("},
        {"settings.dat", noise.substr(0, 100), "settings.dat is cut short (100 of 276 bytes)\n"},
        {"settings.dat", noise + noise, "settings.dat is too large\n"},
        {"settings.dat", settings_two, "settings.dat is of another version (2)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        unlink(user_file("state.dat").c_str());
        unlink(user_file("settings.dat").c_str());
        test::write_file(user_file(c.file), c.bytes);
        g.reset(new game());
        load();
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        const std::string kept = user_file(c.file) + ".damaged";
        EXPECT_NE(log.find(std::string(c.file) + " kept as " + kept + "; "), std::string::npos) << log;
        EXPECT_EQ(test::read_file(kept), c.bytes);
        EXPECT_FALSE(test::file_exists(user_file(c.file)));
        // As a first start: the main menu, the default settings.
        EXPECT_EQ(g->state, 0);
        EXPECT_EQ(g->level.title[0], 0);
        EXPECT_EQ(g->settings.music_volume, 50);
        EXPECT_EQ(g->settings.effects_volume, 50);
        EXPECT_EQ(g->settings.fullscreen, 1);
        EXPECT_EQ(g->settings.video_mode, -1);
        EXPECT_STREQ(g->settings.user, "");
        // Shutdown writes good files beside the kept one.
        save_state_and_settings(*g);
        EXPECT_EQ(test::read_file(kept), c.bytes);
        EXPECT_EQ(test::read_file(user_file("state.dat")).size(), sizeof(game));
        unlink(kept.c_str());
    }
}

TEST_F(PersistTest, AnOlderKeptFileIsNeverReplaced) {
    test::write_file(user_file("state.dat"), "first");
    load();
    test::write_file(user_file("state.dat"), "second");
    load();
    mkdir(user_file("state.dat").c_str(), 0700);  // not even a file
    load();
    EXPECT_NE(log.find("cannot read " + user_file("state.dat") + ": not a file"), std::string::npos) << log;
    EXPECT_EQ(test::read_file(user_file("state.dat.damaged")), "first");
    EXPECT_EQ(test::read_file(user_file("state.dat.damaged.2")), "second");
    struct stat st;
    ASSERT_EQ(stat(user_file("state.dat.damaged.3").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(g->state, 0);
}

}  // namespace
