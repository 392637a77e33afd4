#include "core/persist.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/fixed_text.h"
#include "platform/files.h"

namespace {
int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void clear_handle_slots(game& g) {
    memset(g.rewind_store_slot, 0, sizeof g.rewind_store_slot);
    memset(g.db_slots, 0, sizeof g.db_slots);
}
}  // namespace

void load_state(game& g) {
    memset(&g, 0, sizeof g);
    read_user_file("state.dat", &g, sizeof g);
    if (g.version != GAME_RECORD_VERSION) memset(&g, 0, sizeof g);
    level_terminate_texts(g.level);
    level_terminate_texts(g.edit_level);
    terminate_field(g.download_query);
    terminate_field(g.download_title);
    terminate_field(g.error_text);
    clear_handle_slots(g);
    if (g.rewind_pos < 0) g.rewind_pos = 0;
    // Keys held when the last run ended are not held now.
    memset(g.keys, 0, sizeof g.keys);
}

void load_settings(game& g) {
    settings& s = g.settings;
    memset(&s, 0, sizeof s);
    read_user_file("settings.dat", &s, sizeof s);
    if (s.version < 1) {
        s.music_volume = 50;
        s.effects_volume = 50;
    }
    s.music_volume = clamp(s.music_volume, 0, 100);
    s.effects_volume = clamp(s.effects_volume, 0, 100);
    terminate_field(s.user);
    terminate_field(s.password);
    terminate_field(s.user_id);
    terminate_field(s.device_id);
    if (s.video_mode == 0) s.video_mode = -1;
    if (s.fullscreen == 0) s.fullscreen = 1;
    s.version = 1;
    snprintf(s.user_id, sizeof s.user_id, "g:%.61s", s.user);
    if (!s.device_id[0]) snprintf(s.device_id, sizeof s.device_id, "time|%ld", long(time(nullptr)));
}

void save_settings(game& g) { write_user_file("settings.dat", &g.settings, sizeof g.settings); }

void save_state_and_settings(game& g) {
    clear_handle_slots(g);
    write_user_file("settings.dat", &g.settings, sizeof g.settings);
    write_user_file("state.dat", &g, sizeof g);
}
