// The sound engine boundary: the handful of engine operations the sound module
// relies on, realised over SDL_mixer 1.2. This layer only translates; the rules
// (handles, names, voice pairs, diagnostics) live in sound.cpp. Main thread only;
// SDL_mixer mixes on SDL's audio thread.
//
// How each engine operation maps onto SDL_mixer:
//
// - create engine: SDL_InitSubSystem(SDL_INIT_AUDIO), then Mix_OpenAudio at 44100 Hz,
//   signed 16-bit native order, stereo, 1024-frame chunks, on the output SDL picks
//   (or the driver named by SDL_AUDIODRIVER), and Mix_AllocateChannels(channels).
//   Any failure closes what was opened and reports the reason: there is no engine.
//   ALSA's own messages while SDL probes for a device are silenced meanwhile, so a
//   machine without a sound card gets the caller's one line only.
// - load a sound source (sample): Mix_LoadWAV, format detected from the file (WAV,
//   Ogg Vorbis, ...). SDL_mixer has no streamed effects: the whole file is decoded
//   into a Mix_Chunk in the output format when it is loaded.
// - load a sound source (stream): Mix_LoadMUS_RW on a file opened here (Ogg Vorbis,
//   tracker modules, ...), decoded piece by piece while it plays.
// - sample voice: one mixer channel, named by its channel number. The caller picks
//   the channel, so a voice it remembers can only ever be the sound it started
//   there (no other sound is put on that channel behind its back). sound.cpp gives
//   sample handle h the channels 2h and 2h + 1 for the two voices of a playing:
//   the first panned hard left, the second hard right, each with its share of
//   the volume.
// - start a voice paused: Mix_PlayChannel on the channel and Mix_Pause, with the
//   audio callback locked out in between, so not one frame is mixed unpaused.
//   Starting a channel ends what played there before.
// - voice set paused (false / true): Mix_Resume / Mix_Pause.
// - voice stop: Mix_HaltChannel; the channel is free again.
// - voice set volume: Mix_Volume, 0..1 scaled to 0..MIX_MAX_VOLUME (128), clamped.
// - voice set pan: Mix_SetPanning (SDL_mixer's position effect), a balance control:
//   -1 plays on the left only (255, 0), +1 on the right only (0, 255), 0 leaves both
//   sides at full level (the effect is removed); in between the far side fades
//   linearly. SDL_mixer drops a channel's effects when the channel stops or is
//   started again, so the pan is set after every start.
// - stream voice: the one Mix_Music. A stream source and its voice are the same
//   object; starting it is Mix_PlayMusic (loops -1 for looped) followed by
//   Mix_PauseMusic under the audio lock. SDL_mixer plays one Mix_Music at a time:
//   starting or unpausing a stream voice that is not the current music makes it
//   current (the other one stops) and applies its own volume and position.
// - the configuration call on a stream before it starts (value 0): the stream's
//   volume, so a stream is silent until its owner sets a volume. Once started,
//   the program keeps the source only as its voice; Mix_FreeMusic releases both
//   when the sound table goes.
// - stream voice set paused: Mix_PauseMusic / Mix_ResumeMusic. Set volume:
//   Mix_VolumeMusic (0..128). Set play position: Mix_SetMusicPosition in seconds
//   (Ogg Vorbis); Mix_RewindMusic for 0 on other formats.
// - stream voice get play position: SDL_mixer has no call for it. A post-mix hook
//   (Mix_SetPostMix) counts the frames mixed while the music plays unpaused since
//   the position was last set; the position is the set position plus those frames,
//   wrapped at the track length (read from the Ogg Vorbis headers with
//   libvorbisfile; unwrapped when the length is unknown). It counts what was mixed,
//   which runs ahead of what is heard by the output latency.
// - release engine: Mix_HaltChannel(-1), Mix_HaltMusic, Mix_CloseAudio, then
//   SDL_QuitSubSystem(SDL_INIT_AUDIO). Sources must be freed before. Mix_Quit is
//   never called (see open()), so the engine can be created again.
#pragma once

#include <string>

namespace mixer {

struct Sample;  // a decoded sound effect
struct Stream;  // a music stream, which is also its own voice

constexpr int NO_VOICE = -1;

// Creates the engine with `channels` mixer channels. False, with the reason in
// *error, when no output could be opened; nothing stays open then.
bool open(int channels, std::string* error);
// Stops all sound and closes the output. Free every source first.
void close();
bool is_open();

// Null when the file cannot be loaded (missing, not audio, no decoder).
Sample* load_sample(const std::string& path);
void free_sample(Sample* sample);

// Starts `sample` once on mixer channel `channel`, paused when asked. Returns
// the voice (the channel) or NO_VOICE.
int start_sample(Sample* sample, int channel, bool paused);
void voice_set_paused(int voice, bool paused);
void voice_stop(int voice);
void voice_set_volume(int voice, float volume);  // 0..1
void voice_set_pan(int voice, float pan);        // -1 left .. +1 right

Stream* load_stream(const std::string& path);
void free_stream(Stream* stream);
void stream_configure(Stream* stream, int value);
// Makes `stream` the current music, looped forever or played once, paused when asked.
bool start_stream(Stream* stream, bool looped, bool paused);
void stream_set_paused(Stream* stream, bool paused);
void stream_set_volume(Stream* stream, float volume);  // 0..1
void stream_set_position(Stream* stream, int ms);
int stream_position(const Stream* stream);  // ms

// Holds the audio callback off while alive, so that several voice operations
// take effect on the same mixed frame. Keep it short: the output starves while
// it is held.
class Batch {
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
};

}  // namespace mixer
