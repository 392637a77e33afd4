// Sound effects and music by name. Handles are small integers; 0 means no sound
// and is ignored by every play operation. Volumes are 0..1. Main thread only.
#pragma once

#include <string>

void sound_init();                     // creates the table and starts the engine (once)
void load_sound_names();               // reads "sound.txt" and "music.txt"
int sample_get(const std::string& name);
int stream_get(const std::string& name);
int sample_load(const std::string& path);
void sound_play(int handle, float volume, float pan);
int stream_load(const std::string& path);
void stream_play(int handle, float volume, float seconds);
void stream_volume(int handle, float volume);
void sound_shutdown();
