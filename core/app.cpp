#include "core/app.h"

#include <GL/gl.h>
#include <SDL.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>

#include "core/launch.h"
#include "core/persist.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "net/web.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/pacing.h"
#include "screens/states.h"
#include "sound/sound.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/rewind.h"
#include "world/storage.h"

const char* const APP_NAME = "Murkwell";

namespace {
AppHandles g_handles;
game* g_app = nullptr;  // the record the driver's callbacks act on

// SIGINT and SIGTERM end the game like closing the window. SDL turns them into a
// quit request only while it has a video mode; this covers a run without one.
volatile sig_atomic_t g_stop_requested = 0;

void on_stop_signal(int) { g_stop_requested = 1; }

void install_stop_signals() {
    struct sigaction sa = {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    // Calls the signal interrupts resume: Xlib takes an interrupted read or
    // write on its connection for a fatal I/O error and exits without saving.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void go_windowed() {
    if (!g_app) return;
    g_app->windowed = !g_app->windowed;
    app_video_init(*g_app);
    if (State* s = current_state(*g_app)) s->enter();
}
}  // namespace

AppHandles& app_handles() { return g_handles; }

void app_wire_rules() {
    RulesHooks hooks;
    hooks.sound = [](game& gr, const char* name) {
        sound_play(sample_get(name), float(gr.settings.effects_volume) / 100.0f, 0.0f);
    };
    hooks.win = [](game& gr, int seconds, const char* name) { api_track(gr, seconds, name, "win"); };
    hooks.state = [](game& gr, int n) { set_state(gr, n); };
    set_rules_hooks(hooks);
}

int app_start_state(int saved) {
    int start = saved;
    if (start == STATE_NONE) start = STATE_MENU_MAIN;
    if (start == STATE_LEVEL) start = STATE_PAUSE;  // a level in play resumes paused
    return state_exists(start) ? start : STATE_MENU_MAIN;
}

void app_video_init(game& g) {
    graphics_free();
    const int mode = g.settings.video_mode;
    const int w = mode > 0 ? mode / 4096 : 0;
    const int h = mode > 0 ? mode % 4096 : 0;
    bool fullscreen = g.settings.fullscreen != -1;
    if (g.windowed) fullscreen = !fullscreen;
    init_video(w, h, fullscreen ? 1 : 0);
    install_stop_signals();  // after SDL, which installs its own on video start
    load_graphics();
    // Only the size is reset: a focused text field keeps its rectangle across a
    // mode change, so the canvas stays lifted while it is focused.
    canvas().canvas_w = 960;
    canvas().canvas_h = 720;
    load_fonts();
}

void app_init(game& g, const LaunchOptions* launch) {
    g_app = &g;
    // 1. The driver, named after the application.
    driver_init(sound_init);
    Driver& d = driver();
    d.app_name = APP_NAME;
    snprintf(d.caption, sizeof d.caption, "%s", APP_NAME);
    d.go_windowed = go_windowed;
    report_folders();  // an installed game says where it reads and keeps its files

    load_state(g);     // 2
    load_settings(g);  // 3, 4, 5

    // 6.
    g.version = GAME_RECORD_VERSION;
    g.quit = 0;
    d.fps = 30;

    web_startup();       // 7
    app_video_init(g);   // 8
    load_sound_names();  // 9
    make_states(g);      // 10

    // 11. The three level databases.
    // The per-user ones are checked first: one the game cannot read is never
    // written to. The shipped one is only read; a damaged copy stays closed.
    open_user_level_db(g_handles.user_db, "user.db");
    const std::string shipped = path_join(data_dir(), "game.db");
    std::string why;
    if (check_level_db(shipped, why) == DbHealth::damaged)
        fprintf(stderr, "%s is damaged (%s); the tutorials cannot be listed\n", shipped.c_str(),
                why.c_str());
    else
        open_level_db(g_handles.game_db, shipped);
    open_user_level_db(g_handles.net_db, "net.db");

    app_wire_rules();

    _game_tile_init(g);    // 12
    rewind_store_alloc();  // 13

    // 14. Back to the saved screen, or into the level named on the command line.
    // That screen was never entered in this run, so there is nothing to leave.
    const int start = app_start_state(g.state);
    g.state = STATE_NONE;
    if (launch && launch->play) launch_begin(g, *launch);
    else set_state(g, start);

    api_valid(g);  // 15

    // 16.
    fprintf(stderr, "sizeof(level) = %dk\n", int(sizeof(level) / 1024));
    fprintf(stderr, "sizeof(_rewind) = %dk\n",
            int((sizeof g.rewind_store_slot + sizeof g.rewind_pos) / 1024));
    fprintf(stderr, "sizeof(game) = %dk\n", int(sizeof(game) / 1024));

    // 17. The menu music (unless the screen entered above started it already).
    music_play_menus(float(g.settings.music_volume) / 100.0f);
    g_handles.menu_music = stream_get(MUSIC_MENUS);
}

void app_event(game& g, Event e) {
    if (e.kind == EV_ACTIVE && (e.button & ACTIVE_VISIBLE) && e.key != 0 && g.windowed) {
        g.windowed = 0;
        app_video_init(g);
        if (State* s = current_state(g)) s->enter();
    }
    map_event_to_canvas(&e);
    if (e.kind == EV_KEYUP && e.key < sizeof g.keys) g.keys[e.key] = 0;
    if (!launch_takes_event(g, e)) return;  // a replay is steering the agent
    if (State* s = current_state(g)) s->event(e);
    if (e.kind == EV_KEYDOWN && e.key < sizeof g.keys) g.keys[e.key] = 1;
}

void app_frame(game& g) {
    web_poll(g);
    launch_frame(g);
    if (State* s = current_state(g)) s->frame();
}

void app_loop_pass(game& g) {
    Event e;
    while (poll_event(&e)) {
        if (e.kind == EV_QUIT) g.quit = 1;
        app_event(g, e);
    }
    if (g_stop_requested) {
        g_stop_requested = 0;
        Event quit = {};
        quit.kind = EV_QUIT;
        g.quit = 1;
        app_event(g, quit);
    }
    app_frame(g);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);  // the last 2D pass leaves depth writes off
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (State* s = current_state(g)) s->paint();
    video_swap();
    frame_wait();
}

void app_shutdown(game& g) {
    // 1. Leave the screen but keep its number, so play resumes at the next start.
    if (State* s = current_state(g)) s->leave();

    // 2. Watching a replay is not playing: the saved game stays as it was.
    if (launch_keeps_saved_game()) save_settings(g);
    else save_state_and_settings(g);

    // 3.
    g_handles.user_db.close();
    g_handles.game_db.close();

    // 4.
    rewind_store_free();
    sound_shutdown();
    graphics_free();

    // 5.
    if (web_started()) web_shutdown();

    // 6.
    SDL_Quit();
    g_app = nullptr;
}

int app_main(int argc, char** argv) {
    // The command line is read, and its files checked, before anything starts,
    // so a bad one leaves the saved game alone.
    std::unique_ptr<LaunchOptions> launch(new LaunchOptions());
    const int status = launch_parse(argc, argv, *launch);
    if (status != LAUNCH_GO) return status;
    std::unique_ptr<game> g(new game());  // value-initialised: all zero
    app_init(*g, launch.get());
    while (!g->quit) app_loop_pass(*g);
    app_shutdown(*g);
    g_handles.user_db.close();
    g_handles.game_db.close();
    g_handles.net_db.close();
    return 0;
}
