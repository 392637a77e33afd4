// The application: start-up, the main loop, the event dispatcher, the per-frame
// update and shutdown, all over the one `game` record. Main thread only.
#pragma once

#include "core/game.h"
#include "db/mydb.h"
#include "platform/event.h"

// The run-time handles held beside the record (their 32-bit slots inside it
// stay zero): the three level databases and the menu music.
struct AppHandles {
    MyDB user_db;   // "user.db" in the per-user folder
    MyDB game_db;   // "game.db" in the data folder
    MyDB net_db;    // "net.db" in the per-user folder
    int menu_music = 0;
};
AppHandles& app_handles();

extern const char* const APP_NAME;  // "Murkwell"

struct LaunchOptions;

// Start-up. With launch options that name a level, play starts in it instead of
// at the saved screen.
void app_init(game& g, const LaunchOptions* launch = nullptr);
void app_event(game& g, Event e);
void app_frame(game& g);
void app_shutdown(game& g);

// Connects the rules' up-calls to the application: sounds play at the effects
// volume, a won level is reported to the web service, screen changes go
// through set_state. Part of start-up; tests that drive the screens without
// app_init call it themselves.
void app_wire_rules();

// Opens the video mode from the settings (inverted while temporarily windowed),
// sets the canvas to 960 x 720 and reloads the artwork. Used at start-up, when
// full screen comes back, and when the settings change the mode.
void app_video_init(game& g);

// The screen a run starts on, from the saved state number: the main menu for 0
// and for numbers without a screen, the pause screen for a level in play.
int app_start_state(int saved);

// One pass of the main loop: events, update, clear, paint, swap, wait.
void app_loop_pass(game& g);

// The whole run: reads the command line, allocates the record, starts, loops
// until quit, shuts down. Returns the process's exit status.
int app_main(int argc = 0, char** argv = nullptr);
