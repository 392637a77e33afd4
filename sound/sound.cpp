// Sound effects and music by name, over the engine boundary of sound/mixer.h.
#include "sound/sound.h"

#include <SDL.h>
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>

#include "platform/data_json.h"
#include "platform/files.h"
#include "sound/mixer.h"
#include "text/text.h"

namespace {

// The parsed name lists and what each name has resolved to so far.
struct SoundNames {
    Json::Value sound_json{Json::objectValue};  // sample name → {"fname": ...}
    std::map<std::string, int> sample_handles;  // 0 remembered for a failed file
    Json::Value music_json{Json::objectValue};  // stream name → {"fname": ...}
    std::map<std::string, int> stream_handles;
};

// The two voices of a sample's last playing.
struct VoicePair {
    int voice[2] = {mixer::NO_VOICE, mixer::NO_VOICE};
};

// Everything indexed by handle. Samples and streams draw from the one
// next_handle, so a handle names either a sample or a stream, never both.
struct SoundTable {
    mixer::Sample* sources[SOUND_SLOTS] = {};
    int32_t next_handle = 1;
    VoicePair voice_pairs[SOUND_SLOTS];
    mixer::Stream* stream_voices[SOUND_SLOTS] = {};
    bool engine = false;
};

// Sample handle h plays on mixer channels 2h and 2h + 1 (0 and 1 stay unused):
// a sample never overlaps itself, so it needs no more, and a remembered voice
// can only be the sample's own.
constexpr int MIXER_CHANNELS = 2 * SOUND_SLOTS;
int voice_channel(int handle, int which) { return 2 * handle + which; }

SoundNames g_names;
std::unique_ptr<SoundTable> g_table;

// The stream the music functions last started, and the level music field that
// got the last diagnostic.
int g_music = 0;
std::string g_music_reported;
bool g_music_reported_any = false;

bool engine_ready() { return g_table && g_table->engine; }

// A name list from the data folder: a JSON object, or an empty one (with a
// diagnostic) when the file is missing, empty, malformed or not an object.
Json::Value parse_name_list(const char* file) {
    return data_json_object(file, read_data_file(file), "load_sound_names: ");
}

// The two kinds of named sound differ only in these.
struct NamedKind {
    const Json::Value& list;
    std::map<std::string, int>& handles;
    const char* trying;  // "trying load %s %s\n" style messages
    const char* doing;
    const char* no_fname;
    int (*load)(const std::string& path);
};

int get_by_name(const NamedKind& kind, const std::string& name) {
    if (!engine_ready()) return 0;
    const auto known = kind.handles.find(name);
    if (known != kind.handles.end()) return known->second;
    fprintf(stderr, kind.trying, name.c_str());
    const Json::Value* entry = kind.list.find(name.data(), name.data() + name.size());
    if (!entry) return 0;  // not remembered: the next request looks again
    fprintf(stderr, kind.doing, name.c_str());
    static const char key[] = "fname";
    const Json::Value* fname = entry->isObject() ? entry->find(key, key + sizeof key - 1) : nullptr;
    if (!fname || !fname->isString() || fname->asString().empty()) {
        fprintf(stderr, kind.no_fname, name.c_str());
        kind.handles[name] = 0;
        return 0;
    }
    const int handle = kind.load(path_join(data_dir(), fname->asString()));
    kind.handles[name] = handle;
    return handle;
}

float clamp_unit(float v, float lo) {  // into [lo, 1]; NaN → 0
    if (v != v) return 0.0f;
    return v < lo ? lo : v > 1.0f ? 1.0f : v;
}

mixer::Stream* stream_voice(int handle) {
    return handle < SOUND_SLOTS ? g_table->stream_voices[handle] : nullptr;
}

}  // namespace

void sound_init() {
    if (g_table) return;
    g_table.reset(new SoundTable);
    std::string why;
    if (mixer::open(MIXER_CHANNELS, &why)) g_table->engine = true;
    else fprintf(stderr, "sound_init: SDL_mixer could not start: %s\n", why.c_str());
}

void load_sound_names() {
    if (!engine_ready()) return;
    g_names.sound_json = parse_name_list("sound.txt");
    g_names.music_json = parse_name_list("music.txt");
}

int sample_get(const std::string& name) {
    const NamedKind kind{g_names.sound_json,          g_names.sample_handles,
                         "trying load sample %s\n",   "doing load sample %s\n",
                         "sample_get error: %s - no fname\n", sample_load};
    return get_by_name(kind, name);
}

int stream_get(const std::string& name) {
    const NamedKind kind{g_names.music_json,          g_names.stream_handles,
                         "trying load stream %s\n",   "doing load stream %s\n",
                         "stream_get error: %s - no fname\n", stream_load};
    return get_by_name(kind, name);
}

int sample_load(const std::string& path) {
    if (!engine_ready()) return 0;
    SoundTable& t = *g_table;
    fprintf(stderr, "loading: %s\n", path.c_str());
    if (t.next_handle >= SOUND_SLOTS) {
        fprintf(stderr, "sample_load error: %s - no free handle\n", path.c_str());
        return 0;
    }
    mixer::Sample* source = mixer::load_sample(path);
    t.sources[t.next_handle] = source;
    if (source) return t.next_handle++;
    fprintf(stderr, "error loading: %s\n", path.c_str());
    return 0;
}

void sound_play(int handle, float volume, float pan) {
    if (handle < 1 || !engine_ready()) return;
    SoundTable& t = *g_table;
    mixer::Sample* source = handle < SOUND_SLOTS ? t.sources[handle] : nullptr;
    if (!source) {
        fprintf(stderr, "sound_play error: %d - missing sample\n", handle);
        return;
    }
    // The first voice carries the left side, the second the right; c is the
    // share of the right side, so pan 0 gives each side half the volume.
    const float c = (clamp_unit(pan, -1.0f) + 1.0f) * 0.5f;
    const float v = clamp_unit(volume, 0.0f);
    const float side_pan[2] = {-1.0f, 1.0f};
    const float side_volume[2] = {(1.0f - c) * v, c * v};

    mixer::Batch hold;  // both voices start on the same frame
    VoicePair& pair = t.voice_pairs[handle];
    for (int& voice : pair.voice) {
        mixer::voice_stop(voice);
        voice = mixer::NO_VOICE;
    }
    for (int i = 0; i < 2; ++i) {
        const int voice = mixer::start_sample(source, voice_channel(handle, i), true);
        mixer::voice_set_pan(voice, side_pan[i]);
        mixer::voice_set_volume(voice, side_volume[i]);
        pair.voice[i] = voice;
    }
    for (int voice : pair.voice) mixer::voice_set_paused(voice, false);
}

int stream_load(const std::string& path) {
    if (!engine_ready()) return 0;
    SoundTable& t = *g_table;
    if (t.next_handle >= SOUND_SLOTS) {
        fprintf(stderr, "stream_load error: %s - no free handle\n", path.c_str());
        return 0;
    }
    const Uint32 start = SDL_GetTicks();
    mixer::Stream* source = mixer::load_stream(path);
    if (!source) {
        fprintf(stderr, "stream_load (soundSource) error: %s\n", path.c_str());
    } else {
        mixer::stream_configure(source, 0);
        if (mixer::start_stream(source, true, true)) {
            t.stream_voices[t.next_handle] = source;  // the voice now owns the source
        } else {
            mixer::free_stream(source);
            fprintf(stderr, "stream_load (play2d) error: %s\n", path.c_str());
        }
    }
    fprintf(stderr, "stream_load in ticks: %d\n", int(SDL_GetTicks() - start));
    return t.next_handle++;
}

void stream_play(int handle, float volume, float seconds) {
    if (handle < 1 || !engine_ready()) return;
    mixer::Stream* voice = stream_voice(handle);
    if (!voice) {
        fprintf(stderr, "stream_play error: %d - missing stream\n", handle);
        return;
    }
    // Whole milliseconds, kept inside int (about 24 days).
    const double wanted = double(seconds) * 1000.0;
    const int ms = !(wanted > 0.0) ? 0 : wanted > 2.0e9 ? 2000000000 : int(wanted);

    Uint32 start = SDL_GetTicks();
    mixer::stream_set_volume(voice, volume);
    fprintf(stderr, "setvol: %d\n", int(SDL_GetTicks() - start));
    start = SDL_GetTicks();
    mixer::stream_set_position(voice, ms);
    fprintf(stderr, "setplayposition: %d\n", int(SDL_GetTicks() - start));
    start = SDL_GetTicks();
    mixer::stream_set_paused(voice, false);
    fprintf(stderr, "setispaused: %d\n", int(SDL_GetTicks() - start));
    fprintf(stderr, "Pos: set: %d get: %d\n", ms, mixer::stream_position(voice));
}

void stream_volume(int handle, float volume) {
    if (handle < 1 || !engine_ready()) return;
    mixer::Stream* voice = stream_voice(handle);
    if (!voice) {
        fprintf(stderr, "stream_volume error: %d - missing stream\n", handle);
        return;
    }
    mixer::stream_set_volume(voice, volume);
}

void sound_shutdown() {
    if (!g_table) return;
    SoundTable& t = *g_table;
    if (t.engine) {
        for (VoicePair& pair : t.voice_pairs)
            for (int voice : pair.voice) mixer::voice_stop(voice);
        for (int h = 0; h < SOUND_SLOTS; ++h) {
            mixer::free_sample(t.sources[h]);
            mixer::free_stream(t.stream_voices[h]);
        }
        mixer::close();
    }
    g_table.reset();
    // The handles died with the table; the parsed lists stay for a later start.
    g_names.sample_handles.clear();
    g_names.stream_handles.clear();
    g_music = 0;
}

const char* const MUSIC_PLAY_DEFAULT = "sneak";
const char* const MUSIC_MENUS = "menus";

namespace {
bool stream_listed(const std::string& name) {
    return g_names.music_json.isObject() &&
           g_names.music_json.find(name.data(), name.data() + name.size()) != nullptr;
}

// The stream a level's music field selects, and the line to print when the
// field names nothing playable (empty when all is well).
std::string select_level_music(const char* field, size_t size, std::string* complaint) {
    std::string name;
    if (!field_name(field, size, &name)) {
        *complaint = std::string("music_play_level: the level's music is not text, playing ") +
                     MUSIC_PLAY_DEFAULT + "\n";
        return MUSIC_PLAY_DEFAULT;
    }
    if (name.empty()) return MUSIC_PLAY_DEFAULT;
    if (stream_listed(name)) return name;
    *complaint = "music_play_level: no stream \"" + name + "\" in music.txt, playing " +
                 MUSIC_PLAY_DEFAULT + "\n";
    return MUSIC_PLAY_DEFAULT;
}

void music_play(const std::string& name, float volume) {
    const int handle = stream_get(name);
    if (handle < 1 || handle == g_music) return;
    stream_play(handle, volume, 0.0f);
    g_music = handle;
}
}  // namespace

std::string level_music_name(const char* field, size_t size) {
    std::string complaint;
    return select_level_music(field, size, &complaint);
}

void music_play_level(const char* field, size_t size, float volume) {
    if (!engine_ready()) return;
    std::string complaint;
    const std::string name = select_level_music(field, size, &complaint);
    const std::string bytes(field, size);
    if (!complaint.empty() && !(g_music_reported_any && bytes == g_music_reported)) {
        g_music_reported = bytes;
        g_music_reported_any = true;
        fputs(complaint.c_str(), stderr);
    }
    music_play(name, volume);
}

void music_play_menus(float volume) {
    if (!engine_ready()) return;
    music_play(MUSIC_MENUS, volume);
}

int music_current() { return g_music; }
