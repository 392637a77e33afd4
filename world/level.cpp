#include "world/level.h"

#include "core/fixed_text.h"

void level_terminate_texts(level& lv) {
    terminate_field(lv.title);
    terminate_field(lv.intro);
    terminate_field(lv.theme);
    terminate_field(lv.music);
    terminate_field(lv.name);
    terminate_field(lv.author);
    terminate_field(lv.uid);
    terminate_field(lv.id);
    for (actor& a : lv.actors) terminate_field(a.anim);
}
