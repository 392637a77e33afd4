#include "sound/mixer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <cmath>

namespace mixer {

struct Sample {
    Mix_Chunk* chunk = nullptr;
};

struct Stream {
    SDL_RWops* file = nullptr;  // read by the music while it plays; closed after it
    Mix_Music* music = nullptr;
    int volume = MIX_MAX_VOLUME;  // 0..128, applied whenever it is the current music
    int position_ms = 0;          // where it was last put (or started)
    long long length_ms = 0;      // one pass of the track; 0 when unknown
    bool looped = false;
    bool ogg = false;
};

namespace {

constexpr int RATE = 44100;
constexpr int CHUNK_FRAMES = 1024;

bool g_open = false;
bool g_quit_audio = false;  // this module started SDL's audio subsystem
int g_rate = RATE;
int g_frame_bytes = 4;
Stream* g_current = nullptr;  // the stream that owns the one Mix_Music slot

// Frames mixed while the music played unpaused, since its position was last set.
// Written by the audio thread, reset by the main thread under the audio lock.
std::atomic<long long> g_music_frames{0};

void count_music_frames(void*, Uint8*, int len) {
    // Runs on the audio thread with the audio lock held; SDL lets the audio
    // thread re-enter its own lock, so the two queries are safe here.
    if (Mix_PlayingMusic() && !Mix_PausedMusic())
        g_music_frames.fetch_add(len / g_frame_bytes, std::memory_order_relaxed);
}

int scale_volume(float volume) {
    if (!(volume > 0.0f)) return 0;  // also NaN
    if (volume >= 1.0f) return MIX_MAX_VOLUME;
    return int(std::lround(volume * MIX_MAX_VOLUME));
}

int side_level(float fade) {  // 0..1 of the far side's attenuation → 255..0
    if (!(fade > 0.0f)) return 255;
    if (fade >= 1.0f) return 0;
    return int(std::lround(255.0f * (1.0f - fade)));
}

long long ogg_length_ms(const std::string& path) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return 0;
    long long ms = 0;
    const vorbis_info* info = ov_info(&file, -1);
    const ogg_int64_t frames = ov_pcm_total(&file, -1);
    if (info && info->rate > 0 && frames > 0) ms = frames * 1000 / info->rate;
    ov_clear(&file);
    return ms;
}

int wrap_position(const Stream* s, long long ms) {
    if (ms < 0) ms = 0;
    if (s->length_ms > 0) {
        if (s->looped) ms %= s->length_ms;
        else if (ms > s->length_ms) ms = s->length_ms;
    }
    if (ms > 0x7fffffff) ms = 0x7fffffff;
    return int(ms);
}

// Puts the current music at s->position_ms and restarts the frame count.
// Call with the audio lock held.
void seek_current(Stream* s) {
    if (s->ogg) Mix_SetMusicPosition(s->position_ms / 1000.0);
    else if (s->position_ms == 0) Mix_RewindMusic();
    else Mix_SetMusicPosition(s->position_ms / 1000.0);
    g_music_frames.store(0, std::memory_order_relaxed);
}

// Makes s the current music, paused, at its own volume and position.
bool make_current(Stream* s) {
    Batch hold;
    if (Mix_PlayMusic(s->music, s->looped ? -1 : 0) < 0) return false;
    Mix_PauseMusic();
    Mix_VolumeMusic(s->volume);
    g_current = s;
    if (s->position_ms != 0) seek_current(s);
    g_music_frames.store(0, std::memory_order_relaxed);
    return true;
}

// ALSA prints a dozen lines of its own while SDL probes for a sound card that a
// server does not have; the caller reports the failure in one line instead.
// libasound is already loaded with SDL, so its error hook is looked up rather
// than linked; without it nothing is silenced.
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsa {
public:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    QuietAlsa() : set_(reinterpret_cast<int (*)(Handler)>(
                      dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))) {
        if (set_) set_(quiet_alsa);
    }
    ~QuietAlsa() {
        if (set_) set_(nullptr);  // back to ALSA's default reporting
    }

private:
    int (*set_)(Handler);
};

}  // namespace

Batch::Batch() { SDL_LockAudio(); }
Batch::~Batch() { SDL_UnlockAudio(); }

bool open(int channels, std::string* error) {
    if (g_open) return true;
    QuietAlsa quiet;  // SDL probes the ALSA device both when starting audio and when opening it
    g_quit_audio = false;
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
            if (error) *error = SDL_GetError();
            return false;
        }
        g_quit_audio = true;
    }
    // Mix_Init is never undone: this SDL_mixer's Mix_Quit frees its sound-font
    // path but keeps the pointer, and the next Mix_OpenAudio reads it. A
    // repeated Mix_Init is harmless (it reports what is already loaded).
    Mix_Init(MIX_INIT_OGG | MIX_INIT_MOD);
    if (Mix_OpenAudio(RATE, MIX_DEFAULT_FORMAT, 2, CHUNK_FRAMES) < 0) {
        if (error) *error = Mix_GetError();
        if (g_quit_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_quit_audio = false;
        return false;
    }
    int rate = RATE, out_channels = 2;
    Uint16 format = MIX_DEFAULT_FORMAT;
    Mix_QuerySpec(&rate, &format, &out_channels);
    g_rate = rate > 0 ? rate : RATE;
    g_frame_bytes = ((format & 0xff) / 8) * (out_channels > 0 ? out_channels : 1);
    if (g_frame_bytes <= 0) g_frame_bytes = 1;
    Mix_AllocateChannels(channels);
    g_music_frames.store(0);
    Mix_SetPostMix(count_music_frames, nullptr);
    g_current = nullptr;
    g_open = true;
    return true;
}

void close() {
    if (!g_open) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    if (g_quit_audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_quit_audio = false;
    g_current = nullptr;
    g_open = false;
}

bool is_open() { return g_open; }

Sample* load_sample(const std::string& path) {
    if (!g_open) return nullptr;
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (!chunk) return nullptr;
    return new Sample{chunk};
}

void free_sample(Sample* sample) {
    if (!sample) return;
    Mix_FreeChunk(sample->chunk);  // halts the channels still playing it
    delete sample;
}

int start_sample(Sample* sample, int channel, bool paused) {
    if (!g_open || !sample || channel < 0) return NO_VOICE;
    Batch hold;
    if (Mix_PlayChannel(channel, sample->chunk, 0) < 0) return NO_VOICE;
    if (paused) Mix_Pause(channel);
    return channel;
}

void voice_set_paused(int voice, bool paused) {
    if (!g_open || voice < 0) return;
    if (paused) Mix_Pause(voice);
    else Mix_Resume(voice);
}

void voice_stop(int voice) {
    if (!g_open || voice < 0) return;
    Mix_HaltChannel(voice);
}

void voice_set_volume(int voice, float volume) {
    if (!g_open || voice < 0) return;
    Mix_Volume(voice, scale_volume(volume));
}

void voice_set_pan(int voice, float pan) {
    if (!g_open || voice < 0) return;
    if (std::isnan(pan)) pan = 0.0f;
    const int left = side_level(pan);    // a pan to the right fades the left side
    const int right = side_level(-pan);  // and the other way round
    Mix_SetPanning(voice, Uint8(left), Uint8(right));
}

Stream* load_stream(const std::string& path) {
    if (!g_open) return nullptr;
    // The file is opened here and handed over without ownership: this
    // SDL_mixer's own file loading leaks its file handle on several failures.
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file) return nullptr;
    Mix_Music* music = Mix_LoadMUS_RW(file);
    if (!music) {
        SDL_RWclose(file);
        return nullptr;
    }
    Stream* s = new Stream;
    s->file = file;
    s->music = music;
    s->ogg = Mix_GetMusicType(music) == MUS_OGG;
    if (s->ogg) s->length_ms = ogg_length_ms(path);
    return s;
}

void free_stream(Stream* stream) {
    if (!stream) return;
    if (g_current == stream) g_current = nullptr;
    Mix_FreeMusic(stream->music);  // halts it when it is the music playing
    SDL_RWclose(stream->file);
    delete stream;
}

void stream_configure(Stream* stream, int value) {
    if (!stream) return;
    stream->volume = value < 0 ? 0 : value > MIX_MAX_VOLUME ? MIX_MAX_VOLUME : value;
    if (g_open && g_current == stream) Mix_VolumeMusic(stream->volume);
}

bool start_stream(Stream* stream, bool looped, bool paused) {
    if (!g_open || !stream) return false;
    Batch hold;
    stream->looped = looped;
    stream->position_ms = 0;
    if (!make_current(stream)) return false;
    if (!paused) Mix_ResumeMusic();
    return true;
}

void stream_set_paused(Stream* stream, bool paused) {
    if (!g_open || !stream) return;
    Batch hold;
    if (paused) {
        if (g_current == stream) Mix_PauseMusic();  // the frame count stops with it
        return;
    }
    if (g_current == stream && !Mix_PlayingMusic()) stream->position_ms = 0;  // played out
    if (g_current != stream || !Mix_PlayingMusic()) {
        if (!make_current(stream)) return;
    }
    Mix_ResumeMusic();
}

void stream_set_volume(Stream* stream, float volume) {
    if (!stream) return;
    stream->volume = scale_volume(volume);
    if (g_open && g_current == stream) Mix_VolumeMusic(stream->volume);
}

void stream_set_position(Stream* stream, int ms) {
    if (!g_open || !stream) return;
    Batch hold;
    stream->position_ms = wrap_position(stream, ms);
    if (g_current == stream) seek_current(stream);
}

int stream_position(const Stream* stream) {
    if (!stream) return 0;
    if (!g_open || g_current != stream) return stream->position_ms;
    const long long frames = g_music_frames.load(std::memory_order_relaxed);
    return wrap_position(stream, stream->position_ms + frames * 1000 / g_rate);
}

}  // namespace mixer
