// Seam: the sound engine is not built yet. Every operation is the no-engine
// case: nothing plays and every handle is 0.
#include "sound/sound.h"

void sound_init() {}
void load_sound_names() {}
int sample_get(const std::string&) { return 0; }
int stream_get(const std::string&) { return 0; }
int sample_load(const std::string&) { return 0; }
void sound_play(int, float, float) {}
int stream_load(const std::string&) { return 0; }
void stream_play(int, float, float) {}
void stream_volume(int, float) {}
void sound_shutdown() {}
