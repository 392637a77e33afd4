// Sound effects and music by name. Effects ("samples") and music ("streams") are
// listed in "sound.txt" and "music.txt" in the data folder (JSON objects keyed by
// name, each entry {"fname": file name in the data folder}) and loaded on first
// use. Every sound is a small integer handle, unique across samples and streams;
// 0 means no sound and is ignored by every play operation. Volumes are 0..1, pan
// -1 (left) .. +1 (right). Diagnostics go to stderr. Main thread only.
//
// Without an audio output (sound_init could not start the engine) every
// operation returns at once, silently, and every handle is 0.
#pragma once

#include <cstddef>
#include <string>

// Slots of the handle tables; handles run from 1 to SOUND_SLOTS - 1.
constexpr int SOUND_SLOTS = 256;

// Creates the sound table and starts the engine; a second call does nothing
// until sound_shutdown. Call before the first video mode.
void sound_init();
// Reads and parses "sound.txt" and "music.txt" from the data folder.
void load_sound_names();

// The handle of a named sample or stream, loading it on first use. A name not in
// the list gives 0 and is looked up again next time; a file that fails to load is
// remembered (0 for a sample, a handle without a voice for a stream).
int sample_get(const std::string& name);
int stream_get(const std::string& name);

// Loads a sample from a full path: its handle, or 0.
int sample_load(const std::string& path);
// Plays a sample once. Its previous playing is stopped first, so a sample never
// overlaps itself.
void sound_play(int handle, float volume, float pan);

// Loads a stream from a full path and starts it looped and paused. Always takes a
// handle (one without a voice when the file fails), except when all are in use.
int stream_load(const std::string& path);
// Sets the stream's volume, puts it at `seconds` and unpauses it.
void stream_play(int handle, float volume, float seconds);
void stream_volume(int handle, float volume);

// Stops all sound, frees every source and the table, and releases the engine.
void sound_shutdown();

// Music by purpose. One stream plays at a time; these start it from its
// beginning unless it is the one already playing, so a screen may ask on every
// enter.
//
// The menus' stream, "menus".
void music_play_menus(float volume);
// A level's stream: the name in the level's music field (`size` bytes) when
// "music.txt" lists it, else the play track "sneak". An empty field is the play
// track without a word; a name "music.txt" does not list, or bytes that are not
// text, get the play track and one line on stderr, once for each such field in
// a row.
void music_play_level(const char* field, size_t size, float volume);
// The stream `field` selects, by the rule of music_play_level (quietly).
std::string level_music_name(const char* field, size_t size);
// The handle of the stream these last started (0 before any), for volume
// changes.
int music_current();

// The play track a level gets when its music field names no stream.
extern const char* const MUSIC_PLAY_DEFAULT;  // "sneak"
extern const char* const MUSIC_MENUS;         // "menus"
