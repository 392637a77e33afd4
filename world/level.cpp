#include "world/level.h"

namespace {
template <size_t N>
void terminate(char (&text)[N]) { text[N - 1] = '\0'; }
}  // namespace

void level_terminate_texts(level& lv) {
    terminate(lv.title);
    terminate(lv.intro);
    terminate(lv.theme);
    terminate(lv.music);
    terminate(lv.name);
    terminate(lv.author);
    terminate(lv.uid);
    terminate(lv.id);
    for (actor& a : lv.actors) terminate(a.anim);
}
