// The sound module against a real SDL_mixer: SDL's disk audio driver writes the
// mixed output to a file, which the tests read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>

#include "audio_capture.h"
#include "platform/files.h"
#include "sound/mixer.h"
#include "sound/sound.h"
#include "test_support.h"

namespace {

using test::Frame;
using test::Levels;
using test::measure;

constexpr size_t RATE = 44100;
// Frames between a call and the moment its sound can be seen in the file: the
// mixer's chunk, the output buffer and the writer's buffering, with room to spare.
constexpr size_t SLACK = RATE / 2;

std::string stderr_of(const std::function<void()>& action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

bool matches(const std::string& text, const std::string& pattern) {
    return std::regex_match(text, std::regex(pattern));
}

// Literal text inside a pattern.
std::string quoted(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

class SoundTest : public ::testing::Test {
protected:
    test::TempDir dir;  // the data folder of the test, and the captured output
    test::DiskAudio audio{dir.file("mixed.raw")};

    void SetUp() override {
        set_data_dir(dir.path());
        sound_init();
        ASSERT_TRUE(mixer::is_open()) << "the disk audio driver did not start";
    }
    void TearDown() override {
        sound_shutdown();
        set_data_dir("");
    }

    void put(const std::string& name, const std::string& bytes) {
        test::write_file(dir.file(name), bytes);
    }
    std::string path(const std::string& name) const { return path_join(dir.path(), name); }

    // The output from the moment `action` runs until `frames` frames (plus slack) later.
    std::vector<Frame> output_of(const std::function<void()>& action, size_t frames) {
        const size_t start = audio.frames_now();
        action();
        return audio.window(start, frames + SLACK);
    }
    // `frames` frames of output that start after everything asked for so far.
    std::vector<Frame> output_from_now(size_t frames) {
        return audio.window(audio.frames_now() + SLACK, frames);
    }
};

// A sample at 16000 on both sides, 0.2 s long.
constexpr int LEVEL = 16000;
constexpr int TONE_FRAMES = int(RATE / 5);

TEST_F(SoundTest, PanAndVolumeAreSplitOverALeftAndARightVoice) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    const int h = sample_load(path("tone.wav"));
    ASSERT_GT(h, 0);
    struct Case {
        float volume, pan;
        int left, right;  // expected level on each side
    };
    const Case cases[] = {
        {1.0f, 0.0f, 8000, 8000},  // what the game plays: half on each side
        {0.5f, 0.0f, 4000, 4000},
        {1.0f, -1.0f, 16000, 0},
        {1.0f, 1.0f, 0, 16000},
        {1.0f, 0.5f, 4000, 12000},
        {1.0f, -0.5f, 12000, 4000},
        {0.0f, 0.0f, 0, 0},
        {1.0f, -7.0f, 16000, 0},  // out of range: held at the ends
        {3.0f, 0.0f, 8000, 8000},
        {NAN, 0.0f, 0, 0},
        {1.0f, NAN, 8000, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
        const Levels l = measure(output_of([&] { sound_play(h, c.volume, c.pan); }, TONE_FRAMES));
        EXPECT_EQ(l.peak[0], c.left);
        EXPECT_EQ(l.peak[1], c.right);
        EXPECT_EQ(l.loud[0], c.left ? size_t(TONE_FRAMES) : 0u);
        EXPECT_EQ(l.loud[1], c.right ? size_t(TONE_FRAMES) : 0u);
        if (c.left && c.right) {
            EXPECT_EQ(l.first[0], l.first[1]) << "the two voices start apart";
        }
    }
}

TEST_F(SoundTest, PlayingASampleAgainStopsItsFirstPlaying) {
    const int long_frames = int(RATE / 2);
    put("long.wav", test::wav_bytes(long_frames, LEVEL, LEVEL));
    const int h = sample_load(path("long.wav"));
    ASSERT_GT(h, 0);
    const Levels l = measure(output_of(
        [&] {
            sound_play(h, 1.0f, 0.0f);
            sound_play(h, 1.0f, 0.0f);
        },
        long_frames));
    // Two overlapping playings would add up to 16000 per side.
    EXPECT_EQ(l.peak[0], 8000);
    EXPECT_EQ(l.peak[1], 8000);
    EXPECT_GE(l.loud[0], size_t(long_frames));  // the second one played whole
}

TEST_F(SoundTest, PlayingAHandleWithoutASample) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    ASSERT_EQ(sample_load(path("tone.wav")), 1);
    struct Case {
        int handle;
        std::string printed;
    };
    const Case cases[] = {
        {0, ""},  // no sound: nothing at all
        {-3, ""},
        {2, "sound_play error: 2 - missing sample\n"},  // not loaded yet
        {255, "sound_play error: 255 - missing sample\n"},
        {256, "sound_play error: 256 - missing sample\n"},  // past the table
        {2147483647, "sound_play error: 2147483647 - missing sample\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handle);
        std::vector<Frame> out;
        const std::string printed =
            stderr_of([&] { out = output_of([&] { sound_play(c.handle, 1.0f, 0.0f); }, RATE / 10); });
        EXPECT_EQ(printed, c.printed);
        const Levels l = measure(out);
        EXPECT_EQ(l.loud[0] + l.loud[1], 0u);
    }
}

TEST_F(SoundTest, TheGamesBombIsHeardAndSilentAtVolumeZero) {
    set_data_dir(test::source_data_dir());
    load_sound_names();
    int h = 0;
    const std::string bomb_path = path_join(test::source_data_dir(), "sound/bomb.ogg");
    EXPECT_EQ(stderr_of([&] { h = sample_get("bomb"); }),
              "trying load sample bomb\ndoing load sample bomb\nloading: " + bomb_path + "\n");
    ASSERT_GT(h, 0);
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(sample_get("bomb"), h); }), "");  // remembered

    // The window covers the whole bomb (1.9 s), so nothing of it is left to mix
    // when the silent playing starts.
    const Levels heard = measure(output_of([&] { sound_play(h, 0.5f, 0.0f); }, 2 * RATE));
    EXPECT_GT(heard.loud[0], RATE / 2);
    EXPECT_GT(heard.loud[1], RATE / 2);
    EXPECT_GT(heard.peak[0], 1000);
    EXPECT_EQ(heard.peak[0], heard.peak[1]);  // centred

    const Levels muted = measure(output_of([&] { sound_play(h, 0.0f, 0.0f); }, 2 * RATE));
    EXPECT_EQ(muted.loud[0] + muted.loud[1], 0u);
}

TEST_F(SoundTest, MenuMusicStartsPausedThenPlaysAndLogsEachStep) {
    set_data_dir(test::source_data_dir());
    load_sound_names();
    int h = 0;
    EXPECT_TRUE(matches(stderr_of([&] { h = stream_get("menus"); }),
                        "trying load stream menus\ndoing load stream menus\n"
                        "stream_load in ticks: \\d+\n"));
    ASSERT_GT(h, 0);
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(stream_get("menus"), h); }), "");

    const Levels paused = measure(output_from_now(RATE / 2));
    EXPECT_EQ(paused.loud[0] + paused.loud[1], 0u) << "a loaded stream waits for stream_play";

    // The audio callback is held off around each stream_play, so the position
    // read back is exactly the one set.
    std::string log;
    std::vector<Frame> out;
    log = stderr_of([&] {
        out = output_of([&] { mixer::Batch hold; stream_play(h, 0.5f, 0.0f); }, RATE);
    });
    EXPECT_TRUE(matches(log, "setvol: \\d+\nsetplayposition: \\d+\nsetispaused: \\d+\n"
                             "Pos: set: 0 get: 0\n"))
        << log;
    const Levels playing = measure(out);
    EXPECT_GT(playing.loud[0], RATE / 2);
    EXPECT_GT(playing.loud[1], RATE / 2);

    stream_volume(h, 0.0f);
    const Levels quiet = measure(output_from_now(RATE / 2));
    EXPECT_EQ(quiet.loud[0] + quiet.loud[1], 0u);

    log = stderr_of([&] { mixer::Batch hold; stream_play(h, 0.5f, 2.5f); });
    EXPECT_TRUE(matches(log, "setvol: \\d+\nsetplayposition: \\d+\nsetispaused: \\d+\n"
                             "Pos: set: 2500 get: 2500\n"))
        << log;
    const Levels again = measure(output_from_now(RATE / 2));
    EXPECT_GT(again.loud[0], 0u);
}

// The menus and the play screen ask for their music on every enter: a level's
// music field picks a listed stream, anything else the play track, and the
// menus get theirs back. Each stream here plays on its own side or both, so
// the output tells which one plays.
TEST_F(SoundTest, LevelsPlayTheStreamTheirFieldNamesAndMenusGetTheirsBack) {
    put("left.wav", test::wav_bytes(int(RATE), 8000, 0));
    put("both.wav", test::wav_bytes(int(RATE), 8000, 8000));
    put("right.wav", test::wav_bytes(int(RATE), 0, 8000));
    put("music.txt", R"({"menus": {"fname": "left.wav"}, "sneak": {"fname": "both.wav"},
                         "tension": {"fname": "right.wav"}})");
    load_sound_names();
    // Which sides the music reaches once it has settled after `action`.
    const auto sides = [&](const std::function<void()>& action) {
        action();
        const Levels l = measure(output_from_now(RATE / 4));
        return std::string(l.loud[0] ? "L" : "") + (l.loud[1] ? "R" : "");
    };
    const auto field = [](const std::string& bytes) {
        std::string f(32, '\0');
        f.replace(0, bytes.size(), bytes);
        return f;
    };
    const auto play_level = [](const std::string& f) { music_play_level(f.data(), f.size(), 1.0f); };

    EXPECT_EQ(music_current(), 0);
    EXPECT_EQ(sides([] { music_play_menus(1.0f); }), "L");
    const int menus = music_current();
    EXPECT_EQ(menus, stream_get("menus"));

    const std::string tension = field("tension");
    EXPECT_EQ(sides([&] { play_level(tension); }), "R");
    // Entering again (back from the pause screen) neither restarts nor logs.
    EXPECT_EQ(stderr_of([&] { play_level(tension); }), "");
    EXPECT_EQ(music_current(), stream_get("tension"));

    // Fields that name no stream: the play track; a word about it once, again
    // only when another such field comes.
    struct Bad {
        std::string field, line;
    };
    const Bad bad[] = {
        {field("Tension"), "music_play_level: no stream \"Tension\" in music.txt, playing sneak\n"},
        {field("menus\x01"), "music_play_level: the level's music is not text, playing sneak\n"},
        {field("caf\xe9"), "music_play_level: the level's music is not text, playing sneak\n"},
        {std::string(32, 'x'), "music_play_level: the level's music is not text, playing sneak\n"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.line);
        music_play_menus(1.0f);
        std::string log = stderr_of([&] { EXPECT_EQ(sides([&] { play_level(b.field); }), "LR"); });
        EXPECT_EQ(log.substr(0, b.line.size()), b.line);
        music_play_menus(1.0f);
        log = stderr_of([&] { play_level(b.field); });
        EXPECT_EQ(log.find("music_play_level"), std::string::npos) << log;
    }
    // An empty field is the play track without a word.
    music_play_menus(1.0f);
    std::string log = stderr_of([&] { EXPECT_EQ(sides([&] { play_level(field("")); }), "LR"); });
    EXPECT_EQ(log.find("music_play_level"), std::string::npos) << log;
    EXPECT_EQ(level_music_name(field("tension").data(), 32), "tension");
    EXPECT_EQ(level_music_name(field("").data(), 32), MUSIC_PLAY_DEFAULT);

    // Back to the menus: their own stream again, from its start.
    log = stderr_of([&] { EXPECT_EQ(sides([] { music_play_menus(1.0f); }), "L"); });
    EXPECT_NE(log.find("Pos: set: 0 get: "), std::string::npos) << log;
    EXPECT_EQ(music_current(), menus);
}

TEST_F(SoundTest, StreamPositionIsReadBackWrappedAtTheLoop) {
    // A 0.4 s Ogg Vorbis loop, made with the encoder the data generator uses.
    std::vector<Frame> wave(RATE * 2 / 5);
    for (size_t i = 0; i < wave.size(); ++i) {
        const int16_t v = int16_t(12000 * std::sin(2 * M_PI * 441.0 * double(i) / RATE));
        wave[i] = Frame{v, v};
    }
    put("loop.wav", test::wav_bytes(wave));
    const std::string command =
        "oggenc --quiet -o '" + path("loop.ogg") + "' '" + path("loop.wav") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << "oggenc (vorbis-tools) is needed";

    mixer::Stream* s = mixer::load_stream(path("loop.ogg"));
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(mixer::start_stream(s, true, false));
    mixer::stream_set_volume(s, 1.0f);
    const size_t start = audio.frames_now();
    audio.frames(start + 3 * wave.size() + SLACK);  // three passes and more are mixed
    const int pos = mixer::stream_position(s);
    EXPECT_GE(pos, 0);
    EXPECT_LT(pos, 400);
    const Levels later = measure(audio.window(start + 2 * wave.size(), wave.size()));
    EXPECT_GT(later.loud[0], wave.size() / 2) << "the loop stopped instead of starting over";

    mixer::Batch hold;  // nothing is mixed between the two calls
    mixer::stream_set_position(s, 1000);
    EXPECT_EQ(mixer::stream_position(s), 200);  // 1000 ms into a 400 ms loop
    mixer::free_stream(s);
}

TEST_F(SoundTest, MissingStreamFileStillTakesAHandle) {
    const std::string missing = path("nowhere.ogg");
    int h = 0;
    EXPECT_TRUE(matches(stderr_of([&] { h = stream_load(missing); }),
                        "stream_load \\(soundSource\\) error: " + quoted(missing) +
                            "\nstream_load in ticks: \\d+\n"));
    EXPECT_EQ(h, 1);
    EXPECT_EQ(stderr_of([&] { stream_play(h, 1.0f, 0.0f); }),
              "stream_play error: 1 - missing stream\n");
    EXPECT_EQ(stderr_of([&] { stream_volume(h, 1.0f); }),
              "stream_volume error: 1 - missing stream\n");
    EXPECT_EQ(stderr_of([] { stream_play(0, 1.0f, 0.0f); stream_volume(0, 1.0f); }), "");
}

TEST_F(SoundTest, SamplesAndStreamsNeverShareAHandle) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    put("junk.ogg", "this is not audio\n");
    const std::string music = path_join(test::source_data_dir(), "sound/menus.ogg");
    struct Step {
        bool stream;
        std::string file;
        int handle;
    };
    const Step steps[] = {
        {false, path("tone.wav"), 1},
        {true, music, 2},
        {false, path("junk.ogg"), 0},  // a failed sample takes no handle
        {true, path("junk.ogg"), 3},   // a failed stream does
        {false, path("tone.wav"), 4},
        {true, music, 5},
    };
    testing::internal::CaptureStderr();
    for (const Step& s : steps)
        EXPECT_EQ(s.stream ? stream_load(s.file) : sample_load(s.file), s.handle) << s.file;
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(stderr_of([] { sound_play(2, 1.0f, 0.0f); }), "sound_play error: 2 - missing sample\n");
    EXPECT_EQ(stderr_of([] { stream_volume(4, 1.0f); }), "stream_volume error: 4 - missing stream\n");
    EXPECT_TRUE(matches(stderr_of([] { stream_play(5, 0.0f, 0.0f); }), "setvol: [^]*"));
    EXPECT_EQ(stderr_of([] { sound_play(4, 0.0f, 0.0f); }), "");
}

TEST_F(SoundTest, NameMissingFromTheListIsLookedUpAgain) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    put("sound.txt", R"({"tone": {"fname": "tone.wav"}})");
    put("music.txt", R"({})");
    load_sound_names();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(stderr_of([] { EXPECT_EQ(sample_get("later"), 0); }), "trying load sample later\n");
        EXPECT_EQ(stderr_of([] { EXPECT_EQ(stream_get("later"), 0); }), "trying load stream later\n");
    }
    // Once the list names it, the same request finds it.
    put("sound.txt", R"({"tone": {"fname": "tone.wav"}, "later": {"fname": "tone.wav"}})");
    load_sound_names();
    int h = 0;
    EXPECT_EQ(stderr_of([&] { h = sample_get("later"); }),
              "trying load sample later\ndoing load sample later\nloading: " + path("tone.wav") + "\n");
    EXPECT_EQ(h, 1);
}

TEST_F(SoundTest, MalformedNameListsGiveOneLineAndNoSounds) {
    struct Case {
        const char* what;
        std::string text;  // written to "sound.txt" and "music.txt" alike
        bool absent;       // no files at all
        std::string line;  // pattern of the diagnostic, F standing for the file
    };
    const std::string deep(5000, '[');
    const Case cases[] = {
        {"absent", "", true, "load_sound_names: F is missing or empty\n"},
        {"empty", "", false, "load_sound_names: F is missing or empty\n"},
        {"cut short", "{\"bomb\": {\"fname\": ", false, "load_sound_names: F: [^\n]+\n"},
        {"not JSON", "\xff\xfe\x01 binary", false, "load_sound_names: F: [^\n]+\n"},
        {"nested too deep", deep, false, "load_sound_names: F: [^\n]+\n"},
        {"array", "[1, 2]", false, "load_sound_names: F is not a JSON object\n"},
        {"string", "\"bomb\"", false, "load_sound_names: F is not a JSON object\n"},
        {"null", "null", false, "load_sound_names: F is not a JSON object\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(dir.file("sound.txt").c_str());
        std::remove(dir.file("music.txt").c_str());
        if (!c.absent) {
            put("sound.txt", c.text);
            put("music.txt", c.text);
        }
        const std::string printed = stderr_of(load_sound_names);
        const std::string expected = std::regex_replace(c.line, std::regex("F"), "sound\\.txt") +
                                     std::regex_replace(c.line, std::regex("F"), "music\\.txt");
        EXPECT_TRUE(matches(printed, expected)) << printed;
        EXPECT_EQ(stderr_of([] { EXPECT_EQ(sample_get("bomb"), 0); }), "trying load sample bomb\n");
        EXPECT_EQ(stderr_of([] { EXPECT_EQ(stream_get("menus"), 0); }), "trying load stream menus\n");
    }
}

TEST_F(SoundTest, BadEntriesGiveNoSoundAndAreRemembered) {
    put("junk.txt", "this is not audio\n");
    put("empty.wav", "");
    std::string cut = test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL);
    put("cut.wav", cut.substr(0, 60));  // the header promises far more than there is
    std::string bomb = test::read_file(path_join(test::source_data_dir(), "sound/bomb.ogg"));
    put("cut.ogg", bomb.substr(0, 300));
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);

    struct Case {
        std::string entry;  // the JSON value of the name "x"
        std::string file;   // the file it names when it names one
        bool streams;       // the music streamer plays what there is of it
    };
    const Case cases[] = {
        {"5", "", false},
        {"{}", "", false},
        {R"({"fname": 7})", "", false},
        {R"({"fname": ""})", "", false},
        {R"({"fname": "junk.txt"})", "junk.txt", false},
        {R"({"fname": "empty.wav"})", "empty.wav", false},
        {R"({"fname": "cut.wav"})", "cut.wav", true},
        {R"({"fname": "cut.ogg"})", "cut.ogg", false},
        {R"({"fname": "folder"})", "folder", false},
        {R"({"fname": "not-there.ogg"})", "not-there.ogg", false},
    };
    const int next_stream_handle = 1;  // every case starts a fresh table
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        sound_shutdown();  // forget what the last case remembered
        sound_init();
        put("sound.txt", "{\"x\": " + c.entry + "}");
        put("music.txt", "{\"x\": " + c.entry + "}");
        load_sound_names();
        const std::string p = quoted(path(c.file));

        int h = -1;
        std::string printed = stderr_of([&] { h = sample_get("x"); });
        EXPECT_EQ(h, 0);
        const std::string sample_tail =
            c.file.empty() ? "sample_get error: x - no fname\n"
                           : "loading: " + p + "\nerror loading: " + p + "\n";
        EXPECT_TRUE(matches(printed, "trying load sample x\ndoing load sample x\n" + sample_tail))
            << printed;
        EXPECT_EQ(stderr_of([&] { EXPECT_EQ(sample_get("x"), 0); }), "");

        printed = stderr_of([&] { h = stream_get("x"); });
        if (c.file.empty()) {
            EXPECT_EQ(h, 0);
            EXPECT_EQ(printed, "trying load stream x\ndoing load stream x\nstream_get error: x - no fname\n");
        } else if (c.streams) {
            EXPECT_EQ(h, next_stream_handle);
            EXPECT_TRUE(matches(printed, "trying load stream x\ndoing load stream x\n"
                                         "stream_load in ticks: \\d+\n"))
                << printed;
            EXPECT_TRUE(matches(stderr_of([&] { stream_play(h, 1.0f, 0.0f); }), "setvol: [^]*"));
        } else {
            EXPECT_EQ(h, next_stream_handle);  // a handle without a voice
            EXPECT_TRUE(matches(printed, "trying load stream x\ndoing load stream x\n"
                                         "stream_load \\(soundSource\\) error: " + p +
                                         "\nstream_load in ticks: \\d+\n"))
                << printed;
            EXPECT_EQ(stderr_of([&] { stream_play(h, 1.0f, 0.0f); }),
                      "stream_play error: " + std::to_string(h) + " - missing stream\n");
        }
        EXPECT_EQ(stderr_of([&] { EXPECT_EQ(stream_get("x"), h); }), "");
    }
}

TEST_F(SoundTest, TheTablesHold255SoundsThenRefuseMore) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    put("sound.txt", R"({"late": {"fname": "tone.wav"}})");
    put("music.txt", R"({"late": {"fname": "tone.wav"}})");
    load_sound_names();
    const std::string tone = path("tone.wav");
    testing::internal::CaptureStderr();
    for (int h = 1; h < SOUND_SLOTS; ++h) ASSERT_EQ(sample_load(tone), h);
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(sample_load(tone), 0); }),
              "loading: " + tone + "\nsample_load error: " + tone + " - no free handle\n");
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(stream_load(tone), 0); }),
              "stream_load error: " + tone + " - no free handle\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(sample_get("late"), 0);
    EXPECT_EQ(stream_get("late"), 0);
    testing::internal::GetCapturedStderr();

    // The last handle still plays, on the last two mixer channels.
    const Levels l = measure(output_of([] { sound_play(SOUND_SLOTS - 1, 1.0f, 0.0f); }, TONE_FRAMES));
    EXPECT_EQ(l.peak[0], 8000);
    EXPECT_EQ(l.peak[1], 8000);
}

TEST_F(SoundTest, StartingTwiceKeepsTheTable) {
    put("tone.wav", test::wav_bytes(TONE_FRAMES, LEVEL, LEVEL));
    const int h = sample_load(path("tone.wav"));
    ASSERT_EQ(h, 1);
    EXPECT_EQ(stderr_of(sound_init), "");
    const Levels l = measure(output_of([&] { sound_play(h, 1.0f, -1.0f); }, TONE_FRAMES));
    EXPECT_EQ(l.peak[0], LEVEL);
}

// No output device: one line from sound_init, then silence from everything.
TEST(SoundWithoutDevice, EveryOperationIsASilentNoOp) {
    test::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    set_data_dir(test::source_data_dir());
    const std::string bomb = path_join(test::source_data_dir(), "sound/bomb.ogg");
    const std::string music = path_join(test::source_data_dir(), "sound/menus.ogg");
    const std::string printed = stderr_of([&] {
        sound_init();
        sound_init();
        load_sound_names();
        EXPECT_EQ(sample_get("bomb"), 0);
        EXPECT_EQ(stream_get("menus"), 0);
        EXPECT_EQ(sample_load(bomb), 0);
        EXPECT_EQ(stream_load(music), 0);
        sound_play(1, 1.0f, 0.0f);
        stream_play(1, 1.0f, 0.0f);
        stream_volume(1, 1.0f);
        sound_shutdown();
    });
    EXPECT_TRUE(matches(printed, "sound_init: SDL_mixer could not start: [^\n]+\n")) << printed;
    EXPECT_FALSE(mixer::is_open());
    set_data_dir("");
}

// ALSA with no card behind its default device (a server): its own chatter while
// SDL probes is kept off the error stream, which gets the one line.
TEST(SoundWithoutDevice, AlsaWithoutACardIsQuiet) {
    test::TempDir dir;
    test::write_file(dir.file("asound.conf"), "pcm.!default { type hw card \"no-such-card\" }\n");
    test::ScopedEnv config("ALSA_CONFIG_PATH", dir.file("asound.conf").c_str());
    test::ScopedEnv driver("SDL_AUDIODRIVER", "alsa");
    const std::string printed = stderr_of([] {
        sound_init();
        EXPECT_EQ(sample_get("bomb"), 0);
        sound_shutdown();
    });
    EXPECT_TRUE(matches(printed, "sound_init: SDL_mixer could not start: [^\n]+\n")) << printed;
}

// Before sound_init and after sound_shutdown there is no table at all.
TEST(SoundWithoutTable, EveryOperationIsASilentNoOp) {
    const std::string printed = stderr_of([] {
        load_sound_names();
        EXPECT_EQ(sample_get("bomb"), 0);
        EXPECT_EQ(stream_get("menus"), 0);
        EXPECT_EQ(sample_load("/nowhere.ogg"), 0);
        EXPECT_EQ(stream_load("/nowhere.ogg"), 0);
        sound_play(1, 1.0f, 0.0f);
        stream_play(1, 1.0f, 0.0f);
        stream_volume(1, 1.0f);
        sound_shutdown();
    });
    EXPECT_EQ(printed, "");
}

}  // namespace
