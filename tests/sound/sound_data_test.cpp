// The sounds shipped in data/: every name the game asks for is there, and every
// file decodes through the game's own engine into a clean sound — no click at
// either end, no clipping, and a music loop whose end runs into its start.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "sound/sound.h"
#include "test_support.h"

namespace {

constexpr int RATE = 44100;
constexpr int CLEAN = 328;  // 1 % of full scale

// One decoded file: frames of `channels` 16-bit samples at 44100 Hz (the
// engine's output format, into which SDL_mixer converts on loading).
struct Decoded {
    std::vector<int16_t> samples;
    int channels = 2;
    size_t frames() const { return samples.size() / size_t(channels); }
    int at(size_t frame, int side) const { return samples[frame * size_t(channels) + size_t(side)]; }
};

class SoundData : public ::testing::Test {
protected:
    test::ScopedEnv driver{"SDL_AUDIODRIVER", "dummy"};

    void SetUp() override {
        set_data_dir(test::source_data_dir());
        sound_init();
        testing::internal::CaptureStderr();
        load_sound_names();
        load_errors_ = testing::internal::GetCapturedStderr();
        int freq = 0, channels = 0;
        Uint16 format = 0;
        ASSERT_TRUE(Mix_QuerySpec(&freq, &format, &channels)) << "the dummy audio driver did not start";
        ASSERT_EQ(freq, RATE);
        ASSERT_EQ(format, AUDIO_S16SYS);
        ASSERT_EQ(channels, 2);
    }
    void TearDown() override {
        sound_shutdown();
        set_data_dir("");
    }

    static Json::Value list(const char* file) {
        Json::Value root;
        std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
        const std::string text = read_data_file(file);
        std::string errors;
        EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors))
            << file << ": " << errors;
        EXPECT_TRUE(root.isObject()) << file;
        return root;
    }

    static Decoded decode(const std::string& fname) {
        Decoded d;
        Mix_Chunk* chunk = Mix_LoadWAV(path_join(data_dir(), fname).c_str());
        EXPECT_NE(chunk, nullptr) << fname << ": " << Mix_GetError();
        if (!chunk) return d;
        d.samples.assign(reinterpret_cast<const int16_t*>(chunk->abuf),
                         reinterpret_cast<const int16_t*>(chunk->abuf) + chunk->alen / 2);
        Mix_FreeChunk(chunk);
        return d;
    }

    // The step between neighbouring frames that only one in a thousand exceeds.
    static int typical_big_step(const Decoded& d, int side) {
        std::vector<int> steps;
        for (size_t i = 1; i < d.frames(); ++i) steps.push_back(std::abs(d.at(i, side) - d.at(i - 1, side)));
        if (steps.empty()) return 0;
        const size_t k = steps.size() * 999 / 1000;
        std::nth_element(steps.begin(), steps.begin() + long(k), steps.end());
        return steps[k];
    }

    std::string load_errors_;
};

TEST_F(SoundData, EveryNameTheGamePlaysIsThere) {
    EXPECT_EQ(load_errors_, "");
    std::vector<int> handles;
    for (const char* name : {"win", "yeah", "death", "drop", "shoot", "guard", "bomb"}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        const int h = sample_get(name);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_GT(h, 0);
        EXPECT_EQ(printed.find("error"), std::string::npos) << printed;
        handles.push_back(h);
    }
    // The menus' stream, and the play tracks a level's music field may name.
    for (const char* name : {"menus", "sneak", "tension"}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        const int music = stream_get(name);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_GT(music, 0);
        EXPECT_EQ(printed.find("error"), std::string::npos) << printed;
        handles.push_back(music);
    }
    EXPECT_EQ(level_music_name("", 1), "sneak");
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(std::adjacent_find(handles.begin(), handles.end()), handles.end());
}

TEST_F(SoundData, EveryEffectIsShortCleanAndUnclipped) {
    const Json::Value sounds = list("sound.txt");
    ASSERT_GE(sounds.size(), 7u);
    for (const std::string& name : sounds.getMemberNames()) {
        SCOPED_TRACE(name);
        const Decoded d = decode(sounds[name]["fname"].asString());
        ASSERT_GT(d.frames(), size_t(RATE / 20));
        EXPECT_LT(d.frames(), size_t(3 * RATE));
        int peak = 0;
        for (int16_t s : d.samples) peak = std::max(peak, std::abs(int(s)));
        EXPECT_GT(peak, 32768 / 4) << "too quiet to be heard at half volume";
        EXPECT_LT(peak, 32767) << "clipped";
        for (int side = 0; side < 2; ++side) {
            EXPECT_LE(std::abs(d.at(0, side)), CLEAN / 4) << "starts with a click";
            int head = 0, tail = 0;
            for (size_t i = 0; i < size_t(RATE / 1000); ++i) head = std::max(head, std::abs(d.at(i, side)));
            for (size_t i = d.frames() - size_t(RATE / 200); i < d.frames(); ++i)
                tail = std::max(tail, std::abs(d.at(i, side)));
            EXPECT_LE(head, CLEAN) << "does not rise from silence";
            EXPECT_LE(tail, CLEAN) << "is cut off instead of fading out";
        }
    }
}

// Every stream in music.txt (the menus' and the play tracks) is a stereo loop
// whose end runs into its start without a click.
TEST_F(SoundData, EveryMusicLoopRunsRoundWithoutAStep) {
    const Json::Value music = list("music.txt");
    for (const char* name : {"menus", "sneak", "tension"}) EXPECT_TRUE(music.isMember(name)) << name;
    for (const std::string& name : music.getMemberNames()) {
        SCOPED_TRACE(name);
        const Decoded d = decode(music[name]["fname"].asString());
        ASSERT_GT(d.frames(), size_t(5 * RATE));
        EXPECT_LT(d.frames(), size_t(60 * RATE));
        bool stereo = false;
        for (size_t i = 0; i < d.frames(); ++i) {
            stereo = stereo || d.at(i, 0) != d.at(i, 1);
            ASSERT_LT(std::abs(d.at(i, 0)), 32767) << "clipped at frame " << i;
            ASSERT_LT(std::abs(d.at(i, 1)), 32767) << "clipped at frame " << i;
        }
        EXPECT_TRUE(stereo);
        const size_t last = d.frames() - 1;
        for (int side = 0; side < 2; ++side) {
            SCOPED_TRACE(side);
            const int step = typical_big_step(d, side);
            // Played round, the last frame runs into the first; started from
            // silence, the first frame follows 0. Neither step may stand out.
            EXPECT_LE(std::abs(d.at(last, side) - d.at(0, side)), step);
            EXPECT_LE(std::abs(d.at(0, side)), step);
        }
    }
}

}  // namespace
