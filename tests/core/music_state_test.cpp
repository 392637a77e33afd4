// Music across screen changes: the play screen starts the level's own stream,
// the screens played over it keep it, and leaving them for any other screen
// brings the menus' stream back, without restarting what already plays.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/state.h"
#include "platform/files.h"
#include "sound/sound.h"
#include "test_support.h"

namespace {

// A screen that asks for nothing, and one that plays its level's music as the
// play screen does when it is entered.
class Quiet : public State {
public:
    using State::State;
};
class Playing : public State {
public:
    using State::State;
    void enter() override {
        music_play_level(g->level.music, sizeof g->level.music, float(g->settings.music_volume) / 100.0f);
    }
};

// A 16-bit stereo WAV of silence, `frames` long: enough for SDL_mixer to load
// as a stream.
std::string silent_wav(uint32_t frames) {
    std::string out = "RIFF";
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xff);
    };
    const auto u16 = [&](uint16_t v) {
        out += char(v & 0xff);
        out += char(v >> 8);
    };
    u32(36 + frames * 4);
    out += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    out += "data";
    u32(frames * 4);
    out += std::string(frames * 4, '\0');
    return out;
}

struct MusicAcrossScreens : ::testing::Test {
    test::ScopedEnv audio{"SDL_AUDIODRIVER", "dummy"};
    test::TempDir dir;
    std::unique_ptr<game> g{new game()};

    void SetUp() override {
        for (const char* name : {"menus", "sneak", "tension"})
            test::write_file(dir.file(std::string(name) + ".wav"), silent_wav(4410));
        test::write_file(dir.file("music.txt"), R"({"menus": {"fname": "menus.wav"},
            "sneak": {"fname": "sneak.wav"}, "tension": {"fname": "tension.wav"}})");
        set_data_dir(dir.path());
        sound_init();
        testing::internal::CaptureStderr();
        load_sound_names();
        testing::internal::GetCapturedStderr();
        for (State*& s : state_table) s = nullptr;
        for (int n : {STATE_MENU_MAIN, STATE_EDIT_MENU, STATE_MENU_PLAY, STATE_PAUSE, STATE_REWIND,
                      STATE_LEVEL_INTRO, STATE_LEVEL_WIN})
            state_table[n] = new Quiet(g.get());
        state_table[STATE_LEVEL] = new Playing(g.get());
        g->settings.music_volume = 50;
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
        sound_shutdown();
        set_data_dir("");
    }
    // Goes to screen n; what the music printed on the way.
    std::string go(int n) {
        testing::internal::CaptureStderr();
        set_state(*g, n);
        return testing::internal::GetCapturedStderr();
    }
    int stream(const char* name) {
        testing::internal::CaptureStderr();
        const int h = stream_get(name);
        testing::internal::GetCapturedStderr();
        return h;
    }
};

TEST_F(MusicAcrossScreens, PlayScreensKeepTheLevelsTrackAndTheMenusGetTheirsBack) {
    // The first screen of a run asks for nothing: the start-up starts the menus'.
    go(STATE_MENU_MAIN);
    EXPECT_EQ(music_current(), 0);
    music_play_menus(0.5f);
    const int menus = stream("menus");
    ASSERT_EQ(music_current(), menus);

    snprintf(g->level.music, sizeof g->level.music, "tension");
    go(STATE_MENU_PLAY);
    EXPECT_EQ(music_current(), menus);
    go(STATE_LEVEL);
    const int tension = stream("tension");
    EXPECT_EQ(music_current(), tension);
    // Intro, pause, rewind and back: the track plays on, never restarted.
    for (int n : {STATE_LEVEL_INTRO, STATE_LEVEL, STATE_PAUSE, STATE_LEVEL, STATE_REWIND, STATE_LEVEL,
                  STATE_LEVEL_WIN}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(go(n).find("setplayposition"), std::string::npos);
        EXPECT_EQ(music_current(), tension);
    }
    // Continue from the won level: the menus' stream again, from its start.
    EXPECT_NE(go(STATE_MENU_PLAY).find("Pos: set: 0"), std::string::npos);
    EXPECT_EQ(music_current(), menus);

    // A test play from the editor's menu with no music named: the play track,
    // then quitting from the pause screen goes back to the menus' stream.
    go(STATE_EDIT_MENU);
    g->level.music[0] = '\0';
    go(STATE_LEVEL);
    EXPECT_EQ(music_current(), stream("sneak"));
    go(STATE_PAUSE);
    go(STATE_EDIT_MENU);
    EXPECT_EQ(music_current(), menus);
    // Between two screens that are not play screens nothing changes.
    EXPECT_EQ(go(STATE_MENU_MAIN), "set_state: 7 -> 1\n") << "only the screen change is said";
    EXPECT_EQ(music_current(), menus);
}

}  // namespace
