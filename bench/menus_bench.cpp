// The level lists: entering the online list with its rows stored (the query,
// building the entries, the first layout), and one whole frame of the list
// (the preview in its viewport, then the entries and buttons), in a 960 x 720
// window. Needs a display; with Mesa's software renderer:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/menus_bench
//
// The rows are real levels (a furnished 40 x 30 room, each with its own id and
// title) stored in a network database under one query. Each frame benchmark
// runs 300 frames and reports the median and the worst ("median_ms",
// "worst_ms"); frame times include glFinish.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "screens/level_list.h"
#include "screens/screen.h"
#include "screens/states.h"
#include "ui/scroll_box.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

std::unique_ptr<game> g_game;
std::string g_dir;

double now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// n levels under the query "c~bench<n>" in the network database.
std::string fill_rows(int n) {
    game& g = *g_game;
    MyDB& db = app_handles().net_db;
    const std::string q = "c~bench" + std::to_string(n);
    db.query("begin");
    for (int i = 0; i < n; ++i) {
        new_level(g);
        level& lv = g.level;
        for (int y = 45; y <= 75; ++y)
            for (int x = 44; x <= 84; ++x) {
                const bool edge = y == 45 || y == 75 || x == 44 || x == 84;
                lv.map[cell_index(x, y)] = uint8_t(edge ? 32 : 1);
            }
        lv.map[cell_index(50 + i % 30, 50 + i % 20)] = 4;
        lv.map[cell_index(60, 60)] = 7;
        lv.map[cell_index(70, 52)] = 5;
        snprintf(lv.id, sizeof lv.id, "%s-%d", q.c_str(), i);
        snprintf(lv.name, sizeof lv.name, "%d", i);
        snprintf(lv.title, sizeof lv.title, "A shared level number %d", i);
        snprintf(lv.author, sizeof lv.author, "author%d", i % 37);
        snprintf(lv.uid, sizeof lv.uid, "g:author%d", i % 37);
        snprintf(lv.intro, sizeof lv.intro, "Blow up the pillar and leave by the window.");
        g.edit_level = lv;
        logic_save(g, db);
        char stars[16];
        snprintf(stars, sizeof stars, "%.2f", (i % 11) / 2.0);
        db.query("update levels set q = ?, value = ?, stars = ?, skulls = ? where id = ?",
                 {q, std::to_string(i), stars, "2.5", lv.id});
    }
    db.query("commit");
    return q;
}

void report(benchmark::State& state, std::vector<double>& ms) {
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0 : ms[ms.size() / 2];
    state.counters["worst_ms"] = ms.empty() ? 0 : ms.back();
}

// Entering the online list: the query, the entries built, the selected level
// loaded and its panel built, then the first layout of the whole screen.
void BM_EnterOnlineList(benchmark::State& state) {
    game& g = *g_game;
    const std::string q = fill_rows(int(state.range(0)));
    set_field(g.download_query, q);
    Screen& list = *static_cast<Screen*>(state_table[STATE_MENU_DOWNLOAD2]);
    std::vector<double> ms;
    for (auto _ : state) {
        const double t0 = now_ms();
        set_state(g, STATE_MENU_DOWNLOAD2);
        list.root.measure_content();
        const double t = now_ms() - t0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    report(state, ms);
    state.counters["rows"] = list_count;
}

// One frame of the list as the main loop makes it: the per-frame update, then
// clear, paint (preview viewport, entries, panel, buttons), finished.
void BM_LevelListFrame(benchmark::State& state) {
    game& g = *g_game;
    const std::string q = fill_rows(int(state.range(0)));
    set_field(g.download_query, q);
    set_state(g, STATE_MENU_DOWNLOAD2);
    State* screen = state_table[STATE_MENU_DOWNLOAD2];
    screen->paint();
    glFinish();
    std::vector<double> ms;
    for (auto _ : state) {
        const double t0 = now_ms();
        screen->frame();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        screen->paint();
        glFinish();
        const double t = now_ms() - t0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    report(state, ms);
}

// Paging: a click on the next entry (pressed and released over it, through the
// screen's event operation), which loads that level and shows its panel.
void BM_SelectEntry(benchmark::State& state) {
    game& g = *g_game;
    const std::string q = fill_rows(int(state.range(0)));
    set_field(g.download_query, q);
    set_state(g, STATE_MENU_DOWNLOAD2);
    Screen& list = *static_cast<Screen*>(state_table[STATE_MENU_DOWNLOAD2]);
    list.paint();
    std::vector<double> ms;
    int i = 0;
    for (auto _ : state) {
        // The entry's place on the canvas: the list scrolled to show it at the top.
        ScrollBox2* pair = static_cast<ScrollBox2*>(find(&list.root, "entries"));
        Table* column = static_cast<Table*>(pair->box->content());
        Widget* entry = nullptr;
        for (Widget* c : column->children)
            if (c != column->filler && c->get_value_i() == i) entry = c;
        pair->box->scroll_y = entry->y;
        pair->box->clamp_scroll();
        const Rect r = screen_rect(entry);
        Event e{};
        e.x = r.x + 20;
        e.y = r.y + 20;
        const double t0 = now_ms();
        for (int kind : {EV_MOUSEMOVE, EV_MOUSEDOWN, EV_MOUSEUP}) {
            e.kind = kind;
            e.button = kind == EV_MOUSEMOVE ? 0 : 1;
            list.event(e);
        }
        const double t = now_ms() - t0;
        if (list_page != i) {
            printf("entry %d at %g,%g (y %d, scroll %d) not selected: page %d\n", i, r.x, r.y, entry->y, pair->box->scroll_y, list_page);
            state.SkipWithError("the click did not select the entry");
        }
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
        i = (i + 97) % list_count;
    }
    report(state, ms);
}

BENCHMARK(BM_EnterOnlineList)->Arg(500)->Arg(5000)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectEntry)->Arg(500)->Arg(5000)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LevelListFrame)->Arg(20)->Arg(500)->Arg(5000)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    set_data_dir(std::string(MURKWELL_SOURCE_DIR) + "/data");
    char tmpl[] = "/tmp/menus_bench.XXXXXX";
    g_dir = mkdtemp(tmpl);
    // The start-up chatter (video mode, texture loads) is not part of the report.
    FILE* quiet = freopen("/dev/null", "w", stderr);
    (void)quiet;
    if (!getenv("DISPLAY")) {
        printf("menus_bench: no display (run it under xvfb-run)\n");
        return 1;
    }
    SDL_Init(SDL_INIT_TIMER);
    init_video(960, 720, 0);
    if (driver().width != 960) {
        printf("menus_bench: no 960 x 720 GL window (is DISPLAY set?)\n");
        return 1;
    }
    load_graphics();
    canvas() = Canvas();
    load_fonts();
    g_game.reset(new game());
    _game_tile_init(*g_game);
    open_level_db(app_handles().net_db, g_dir + "/net.db");
    make_states(*g_game);
    app_wire_rules();
    glViewport(0, 0, 960, 720);
    printf("GL_RENDERER: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    app_handles().net_db.close();
    if (std::system(("rm -rf '" + g_dir + "'").c_str()) != 0) printf("menus_bench: %s left behind\n", g_dir.c_str());
    graphics_free();
    SDL_Quit();
    return 0;
}
