// The play screens driven headless through the real dispatcher: levels drawn as
// text with the shipped tile catalogue, events into app_event, app_frame and
// the current screen's paint as the main loop calls them, the widgets painted
// into the toolkit's draw recorder, ratings in a real user.db.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../ui/test_gfx.h"
#include "screen_driver.h"
#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "gfx/world_draw.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "screens/level.h"
#include "screens/level_win.h"
#include "screens/pause.h"
#include "screens/states.h"
#include "sound/sound.h"
#include "test_support.h"
#include "ui/stars.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/paths.h"
#include "world/rewind.h"
#include "world/rules.h"
#include "world/storage.h"

namespace {

// Characters for the shipped tile numbers (data/tiles.json).
const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {'_', 0}, {'.', 1}, {'@', 4}, {'G', 5}, {'W', 6}, {'P', 7}, {'$', 17}, {'#', 32},
    };
    return L;
}

// Every widget of a tree, depth first.
void walk(Widget* w, const std::function<void(Widget*)>& f) {
    f(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->children) walk(k, f);
}

Widget* find_if(Widget* root, const std::function<bool(Widget*)>& pred) {
    Widget* found = nullptr;
    walk(root, [&](Widget* w) {
        if (!found && pred(w)) found = w;
    });
    return found;
}

Label* label_with(Widget* root, const std::string& text) {
    return static_cast<Label*>(find_if(root, [&](Widget* w) {
        const Label* l = dynamic_cast<const Label*>(w);
        return l && l->text == text;
    }));
}

std::string text_of(Widget* w) {
    const Label* l = dynamic_cast<const Label*>(w);
    return l ? l->text : "<not a label>";
}

struct Play : test::ScreenDriver {
    // Draws the level into both copies and starts it as a level list would.
    void load(const std::vector<std::string>& rows, int return_state = STATE_MENU_PLAY) {
        level& lv = g->level;
        ASSERT_TRUE(level_from_ascii(lv, rows, legend(), 10, 10, 0));
        set_field(lv.title, "Corridor");
        set_field(lv.intro, "Blow the pillar and leave.");
        set_field(lv.name, "corridor");
        lv.inventory[ACTOR_TIME_BOMB] = 2;
        lv.inventory[ACTOR_MINI_BOMB] = 1;
        g->edit_level = lv;
        g->return_state = return_state;
    }
    // load, enter the play screen (which shows the intro) and start play.
    void play(const std::vector<std::string>& rows, int return_state = STATE_MENU_PLAY) {
        load(rows, return_state);
        logged([&] { set_state(*g, STATE_LEVEL); });
        ASSERT_EQ(g->state, STATE_LEVEL_INTRO);
        key(KEY_ENTER);
        ASSERT_EQ(g->state, STATE_LEVEL);
    }

    Level& level_screen() { return *static_cast<Level*>(state_table[STATE_LEVEL]); }
    actor& player() { return *find_actor(*g, ACTOR_PLAYER); }
    int player_cell_x() { return cell_under_x(player()); }
    int player_cell_y() { return cell_under_y(player()); }

    // The window point of the middle of a map cell at pointer height, by the
    // camera of the last paint.
    Vec3 on_screen(int x, int y) { return project_to_window(Vec3{x + 0.5f, 1.25f, y + 0.5f}); }
    void click_cell(int x, int y) {
        const Vec3 p = on_screen(x, y);
        mouse(EV_MOUSEDOWN, p.x, p.y, 1);
        mouse(EV_MOUSEUP, p.x, p.y, 1);
    }
};

// A corridor: a window at the west end, a Data Cartridge on the way, the player
// and a pillar at the east end.
const std::vector<std::string> CORRIDOR = {
    "#######",
    "W.$.@P#",
    "#######",
};

TEST_F(Play, AttemptStartsWithTheIntroThenTheDisplayIsBuilt) {
    load(CORRIDOR);
    rewind_store_alloc();
    g->rewind_pos = 7;
    logged([&] { set_state(*g, STATE_LEVEL); });
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_TRUE(level_screen().root.children.empty()) << "no widgets before the intro";
    EXPECT_EQ(g->level.started, 1);
    EXPECT_EQ(g->rewind_pos, 0);
    ASSERT_NE(find_actor(*g, ACTOR_PLAYER), nullptr);
    EXPECT_EQ(player_cell_x(), 14);

    // The intro shows the title and the intro text; the camera flies in from 50
    // by 2 a frame to 12.5, and the game does not run meanwhile.
    frames();
    EXPECT_NE(label_with(&screen(STATE_LEVEL_INTRO).root, "Corridor"), nullptr);
    Label* intro = label_with(&screen(STATE_LEVEL_INTRO).root, "Blow the pillar and leave.");
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->styles[STYLE_CURRENT].color, 0xCCCCCC);
    EXPECT_FLOAT_EQ(g->level.cam_dist, 48);
    const int ticks = g->level.ticks;
    frames(17);
    EXPECT_FLOAT_EQ(g->level.cam_dist, 14);
    frames();
    EXPECT_FLOAT_EQ(g->level.cam_dist, 12.5f);
    frames(5);
    EXPECT_FLOAT_EQ(g->level.cam_dist, 12.5f);
    EXPECT_EQ(g->level.ticks, ticks);

    // Only a key press or a mouse release starts play.
    key_up(KEY_W);
    mouse(EV_MOUSEMOVE, 100, 100, 0);
    mouse(EV_MOUSEDOWN, 100, 100, 1);
    mouse(EV_WHEEL, 100, 100, 0);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    mouse(EV_MOUSEUP, 100, 100, 1);
    EXPECT_EQ(g->state, STATE_LEVEL);

    // The display: the bottom bar of eight cells filling the last 96 units, the
    // pause button in the corner.
    frames();
    Level& s = level_screen();
    ASSERT_EQ(s.root.children.size(), 2u);
    Table* bar = dynamic_cast<Table*>(s.root.children[0]);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->x, 0);
    EXPECT_EQ(bar->y, 624);
    EXPECT_EQ(bar->w, 960);
    EXPECT_EQ(bar->h, 96);
    std::vector<int> lefts;
    for (Widget* c : bar->children)
        if (c != bar->filler) lefts.push_back(c->x);
    std::sort(lefts.begin(), lefts.end());
    EXPECT_EQ(lefts, (std::vector<int>{0, 96, 192, 384, 576, 672, 768, 864}));
    EXPECT_EQ(text_of(s.root.children[1]), "||");
    EXPECT_EQ(s.root.children[1]->click_value, 3);
    EXPECT_EQ(g->level.ticks, ticks + 1) << "one tick per frame once playing";
}

TEST_F(Play, HeldKeysWalkAndAreReleasedByEveryEntry) {
    play({
        "#########",
        "#.......#",
        "#...@...#",
        "#.......#",
        "#########",
    });
    log.clear();
    key_down(KEY_W);
    key_down(KEY_S);
    EXPECT_NE(log.find("key: 56!\nwasd... 0, -1\nkey: 52!\nwasd... 0, 0\n"), std::string::npos)
        << log;
    log.clear();
    key_up(KEY_S);
    EXPECT_EQ(log, "key: 52!\nwasd... 0, -1\n");
    frames(8);
    EXPECT_TRUE(player().x != 14.0f || player().y != 12.0f) << "the player walks while W is held";

    // D held through the pause screen is forgotten: back in play, W alone.
    key_down(KEY_D);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_PAUSE);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_LEVEL);
    EXPECT_EQ(level_screen().held[1], 0);
    log.clear();
    key_down(KEY_W);
    EXPECT_EQ(log, "key: 56!\nwasd... 0, -1\n");
    // A release of a key never pressed here is harmless.
    log.clear();
    key_up(KEY_A);
    EXPECT_EQ(log, "key: 34!\nwasd... 0, -1\n");
}

TEST_F(Play, DigitsAndLettersUseTheSameBombs) {
    struct Case {
        int key;
        char typed;
        int kind;
        const char* line;
    };
    const Case cases[] = {
        {0, '1', ACTOR_DETONATOR, "bomb! 1\n"}, {KEY_Z, 0, ACTOR_DETONATOR, ""},
        {0, '2', ACTOR_TIME_BOMB, "bomb! 2\n"}, {KEY_X, 0, ACTOR_TIME_BOMB, ""},
        {0, '3', ACTOR_EMP_BOMB, "bomb! 3\n"},  {KEY_C, 0, ACTOR_EMP_BOMB, ""},
        {0, '4', ACTOR_MINI_BOMB, "bomb! 4\n"}, {KEY_V, 0, ACTOR_MINI_BOMB, ""},
    };
    for (const Case& c : cases) {
        play(CORRIDOR);
        for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) g->level.inventory[k] = 3;
        log.clear();
        key_down(c.key, uint32_t(c.typed));
        EXPECT_EQ(log, c.line) << "no key line for a bomb key";
        const actor* b = actor_at(*g, 14, 11);
        ASSERT_NE(b, nullptr) << c.kind;
        EXPECT_EQ(b->kind, c.kind);
        EXPECT_EQ(g->level.inventory[c.kind], 2);
        key_up(c.key);
    }
}

TEST_F(Play, CountersAndBombTimers) {
    // The three counters are drawn at the canvas origin (the bomb stocks in the
    // bar, also in "font1", are drawn inside their widgets).
    auto counters = [&] {
        std::vector<uitest::Call> out;
        for (const uitest::Call& c : texts(1))
            if (c.tx == 0 && c.ty == 0) out.push_back(c);
        return out;
    };
    // No targets: 0 %, not a division by zero.
    play({"W.@.#"});
    frames();
    std::vector<uitest::Call> lines = counters();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "0%");
    EXPECT_EQ(lines[1].text, "0 / 0");
    EXPECT_EQ(lines[2].text, "0:00");
    // Right edges at 950, one line height (20) apart from y = 10.
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_FLOAT_EQ(lines[i].ax() + uitest::width_of(lines[i].text.c_str()), 950) << i;
        EXPECT_FLOAT_EQ(lines[i].ay(), 10 + 20 * float(i)) << i;
    }
    ASSERT_EQ(texts(2).size(), 1u) << "no timers without bombs";
    EXPECT_EQ(texts(2)[0].text, "||");

    // Three targets, one of them gone.
    play({
        "W.@..#",
        "#.....",
        "#PPP..",
    });
    g->level.map[cell_index(12, 12)] = 1;
    level& lv = g->level;
    lv.cartridges = 1;
    lv.cartridges_total = 4;
    lv.play_time = 61 * 30 - 1;  // the frame's tick makes it 61 seconds
    player().has_moved = 1;
    // Two Time Bombs lying with 31 and 45 ticks left after this frame's tick,
    // and an EMP Bomb waiting under the player.
    for (int fuse : {32, 46}) {
        actor& b = spawn_actor(*g);
        b.active = 1;
        b.kind = ACTOR_TIME_BOMB;
        b.x = 14;
        b.y = 11;
        b.fuse = fuse;
    }
    actor& emp = spawn_actor(*g);
    emp.active = 1;
    emp.kind = ACTOR_EMP_BOMB;
    emp.x = player().x;
    emp.y = player().y;
    frames();
    lines = counters();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lv.targets_total, 3);
    EXPECT_EQ(lines[0].text, "33%");
    EXPECT_EQ(lines[1].text, "1 / 4");
    EXPECT_EQ(lines[2].text, "1:01");
    // The timer row: 192-unit cells centred along the top, the EMP last in red.
    const std::vector<uitest::Call> timers = texts(2);
    ASSERT_EQ(timers.size(), 4u);
    EXPECT_EQ(timers[1].text, "0:01");
    EXPECT_EQ(timers[2].text, "0:02");
    EXPECT_EQ(timers[3].text, "0:10");
    const float left = (960 - (3 * 192 + 10)) / 2 + 5;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(timers[size_t(i) + 1].ax(), left + 192 * float(i)) << i;
        EXPECT_FLOAT_EQ(timers[size_t(i) + 1].w, 192) << i;
        EXPECT_EQ(timers[size_t(i) + 1].b, 0) << "centred";
    }
    EXPECT_FLOAT_EQ(timers[1].tint[1], 1.0f);
    EXPECT_NEAR(timers[3].tint[0], 1.0f, 1e-6);
    EXPECT_NEAR(timers[3].tint[1], 0x55 / 255.0f, 1e-6);

    // A running EMP shows its own ticks left instead.
    emp.active = 0;
    lv.emp_time = 91;
    frames();
    ASSERT_EQ(texts(2).size(), 4u);
    EXPECT_EQ(texts(2)[3].text, "0:03");  // 90 ticks left after the tick
}

TEST_F(Play, PointerOverTheBarBelongsToTheBarExceptARightDrag) {
    play({
        "#########",
        "#.......#",
        "#...@...#",
        "#.......#",
        "#########",
    });
    frames();
    level& lv = g->level;
    // A left click on a spacer of the bar: no walking, and the ground point
    // under the pointer is not taken from the bar.
    const float mouse_x = lv.mouse_x, mouse_y = lv.mouse_y;
    click(300, 680);
    frames(10);
    EXPECT_EQ(player().steps, 0);
    EXPECT_EQ(player_cell_x(), 14);
    EXPECT_FLOAT_EQ(lv.mouse_x, mouse_x);
    EXPECT_FLOAT_EQ(lv.mouse_y, mouse_y);

    // A right-drag starting over the bar pans the view.
    const float look_x = lv.look_x, look_y = lv.look_y;
    Event drag{};
    drag.kind = EV_MOUSEMOVE;
    drag.x = 300;
    drag.y = 660;
    drag.dx = -40;
    drag.dy = -30;
    drag.button = 4;
    send(drag);
    EXPECT_TRUE(lv.look_x != look_x || lv.look_y != look_y);

    // The left arrow turns the view target by -45 degrees.
    const float target = lv.cam_angle_target;
    click(48, 672);
    EXPECT_FLOAT_EQ(lv.cam_angle_target, target - 45);
    EXPECT_EQ(player().steps, 0);

    // A left press over the floor sends the player to the cell under the pointer.
    frames(40);  // the view settles
    click_cell(12, 11);
    frames_until([&] { return player_cell_x() == 12 && player().steps == 0; }, 120);
    EXPECT_EQ(player_cell_x(), 12);
    EXPECT_EQ(player_cell_y(), 11);

    // Pointing at the sky chooses nothing and moves nobody.
    click(480, 2);
    frames(30);
    EXPECT_EQ(player_cell_x(), 12);
    EXPECT_EQ(g->state, STATE_LEVEL);
}

// The whole road: intro, a Mini Bomb, a walk by click collecting the Data
// Cartridge, the blast, the escape, the count-up and a rating stored in user.db.
TEST_F(Play, ALevelPlayedToTheWinScreenAndRated) {
    play(CORRIDOR);
    frames();
    typed('4');
    ASSERT_NE(actor_at(*g, 14, 11), nullptr);
    EXPECT_EQ(g->level.inventory[ACTOR_MINI_BOMB], 0);
    click_cell(11, 11);
    ASSERT_TRUE(frames_until([&] { return player_cell_x() == 11 && player().steps == 0; }, 200));
    EXPECT_EQ(g->level.cartridges, 1) << "picked up on the way";
    EXPECT_EQ(g->level.targets_left, 1);
    frames();
    typed('4');  // sets the Mini Bomb off from three cells away
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_LEVEL_WIN; }, 300));
    EXPECT_EQ(g->level.targets_left, 0);
    EXPECT_NE(player().mode, MODE_DYING);

    // The score table as entered: 500 + time points in the total.
    const level& lv = g->level;
    const int time_points = (600 - lv.play_time / 30) * 1000 / 600;
    ASSERT_GT(time_points, 900);
    Screen& win = screen(STATE_LEVEL_WIN);
    EXPECT_EQ(text_of(find(&win.root, "time")), std::to_string(time_points));
    EXPECT_EQ(text_of(find(&win.root, "bonus")), "1000");
    EXPECT_EQ(text_of(find(&win.root, "extra")), "400");  // two Time Bombs left
    EXPECT_EQ(text_of(find(&win.root, "score")), std::to_string(500 + time_points));
    EXPECT_NE(label_with(&win.root, "1 / 1"), nullptr);
    EXPECT_NE(label_with(&win.root, "+ 2"), nullptr);

    // Rate while it counts: four stars, two skulls.
    frames();
    Widget* stars = find(&win.root, "stars");
    Widget* skulls = find(&win.root, "skulls");
    ASSERT_NE(stars, nullptr);
    ASSERT_NE(skulls, nullptr);
    const Rect sr = screen_rect(stars);
    click(sr.x + float(stars->content_x) + 3.5f * 60, sr.y + sr.h / 2);
    const Rect kr = screen_rect(skulls);
    click(kr.x + float(skulls->content_x) + 1.5f * 60, kr.y + kr.h / 2);
    EXPECT_EQ(stars->get_value_i(), 4);
    EXPECT_EQ(skulls->get_value_i(), 2);

    ASSERT_TRUE(frames_until([&] { return text_of(find(&win.root, "extra")) == "0"; }, 200));
    EXPECT_EQ(text_of(find(&win.root, "score")), std::to_string(500 + time_points + 1000 + 400));
    EXPECT_EQ(text_of(find(&win.root, "time")), "0");

    click(find_if(&win.root, [](Widget* w) { return w->click_value == 1; }));
    EXPECT_EQ(g->state, STATE_MENU_PLAY);
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select lid, stars, skulls, typeof(stars) from ratings"),
              "corridor|4|2|integer\n");
    const std::string& plays = web_slots().plays.path;
    EXPECT_NE(plays.find("&lid=corridor&"), std::string::npos) << plays;
    EXPECT_NE(plays.find("&stars=4&skulls=2"), std::string::npos) << plays;

    // Won again: the stored rating comes back; a key press also stores it. (The
    // tutorial list loaded a level of its own on the way back: the corridor again.)
    load(CORRIDOR);
    logged([&] { set_state(*g, STATE_LEVEL_WIN); });
    EXPECT_EQ(find(&win.root, "stars")->get_value_i(), 4);
    EXPECT_EQ(find(&win.root, "skulls")->get_value_i(), 2);
    Stars* s = static_cast<Stars*>(find(&win.root, "stars"));
    s->value = 1;
    typed(' ');
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select count(*), max(stars) from ratings"), "1|1\n");

    // From the editor: no rating asked for, none written, back to the editor.
    g->return_state = STATE_EDIT;
    logged([&] { set_state(*g, STATE_LEVEL_WIN); });
    EXPECT_EQ(find(&win.root, "stars"), nullptr);
    web_slots().plays.path.clear();
    typed('x');
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_TRUE(web_slots().plays.path.empty());
    EXPECT_EQ(test::sqlite(home.file("user.db"), "select count(*), max(stars) from ratings"), "1|1\n");
}

TEST_F(Play, TheCountUpMovesThirtyThreeAFrameOneScoreAtATime) {
    load(CORRIDOR);
    level& lv = g->level;
    lv.play_time = 300 * 30;  // five minutes: 500
    lv.cartridges = 3;
    lv.cartridges_total = 4;  // 750
    lv.bombs_held = 2;        // 400
    logged([&] { set_state(*g, STATE_LEVEL_WIN); });
    Screen& win = screen(STATE_LEVEL_WIN);
    auto shown = [&] {
        return text_of(find(&win.root, "time")) + " " + text_of(find(&win.root, "bonus")) + " " +
               text_of(find(&win.root, "extra")) + " " + text_of(find(&win.root, "score"));
    };
    EXPECT_EQ(shown(), "500 750 400 1000");
    frames();
    EXPECT_EQ(shown(), "467 750 400 533");
    const float caption_x = label_with(&win.root, "Time:") ? screen_rect(label_with(&win.root, "Time:")).x : -1;
    frames(15);
    EXPECT_EQ(shown(), "0 750 400 1000") << "the last step of a score is the rest";
    frames();
    EXPECT_EQ(shown(), "0 717 400 1033");
    frames(22 + 12);
    EXPECT_EQ(shown(), "0 0 4 2146");
    frames();
    EXPECT_EQ(shown(), "0 0 0 2150");
    frames(3);
    EXPECT_EQ(shown(), "0 0 0 2150");
    // The counting never moves the table: every number fits its cell.
    EXPECT_FLOAT_EQ(screen_rect(label_with(&win.root, "Time:")).x, caption_x);
    // Named labels were replaced in their boxes, not added.
    Widget* score = find(&win.root, "score");
    ASSERT_NE(dynamic_cast<Box*>(score->parent), nullptr);
    EXPECT_EQ(static_cast<Box*>(score->parent)->children.size(), 1u);
}

TEST_F(Play, WinPoints) {
    struct Case {
        int seconds, collected, total, bombs;
        WinPoints want;
    };
    const Case cases[] = {
        {300, 3, 4, 2, {500, 750, 400}},
        {600, 0, 0, 7, {0, 0, 1000}},
        {5000, 2, 2, 5, {0, 1000, 1000}},
        {0, 0, 1, 0, {1000, 0, 0}},
        {59, 1, 3, 1, {901, 333, 200}},
    };
    for (const Case& c : cases) {
        level lv{};
        lv.play_time = c.seconds * 30 + 29;  // whole seconds only
        lv.cartridges = c.collected;
        lv.cartridges_total = c.total;
        lv.bombs_held = c.bombs;
        const WinPoints p = win_points(lv);
        EXPECT_EQ(p.time, c.want.time) << c.seconds;
        EXPECT_EQ(p.bonus, c.want.bonus) << c.collected << "/" << c.total;
        EXPECT_EQ(p.extra, c.want.extra) << c.bombs;
    }
}

// The guard looks up a column of open floor; the player starts out of its
// range and walks down into its view.
const std::vector<std::string> COLUMN = [] {
    std::vector<std::string> rows(16, ".");
    rows[0] = "@";
    rows[15] = "G";
    return rows;
}();

TEST_F(Play, AShotPlayerRewindsAndResumesAliveThenEscapeQuitsAfterDeath) {
    play(COLUMN);
    find_actor(*g, ACTOR_GUARD)->facing = 9;
    frames();
    walk_to(*g, 10, 24);
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_PAUSE; }, 400));
    EXPECT_EQ(player().mode, MODE_DYING);
    const float shot_y = player().y;
    Screen& pause = screen(STATE_PAUSE);
    EXPECT_EQ(label_with(&pause.root, "Resume"), nullptr) << "no resuming a dead player";
    ASSERT_NE(label_with(&pause.root, "Rewind"), nullptr);

    const int played = g->level.play_time;
    click(label_with(&pause.root, "Rewind"));
    EXPECT_EQ(g->state, STATE_REWIND);
    EXPECT_NE(web_slots().track.path.find("&action=rewind&value=" + std::to_string(played / 30)),
              std::string::npos)
        << web_slots().track.path;
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_LEVEL; }, 60));
    EXPECT_NE(player().mode, MODE_DYING);
    EXPECT_EQ(g->level.rewinds_used, 1);
    EXPECT_LT(player().y, shot_y);
    EXPECT_EQ(level_screen().root.children.size(), 2u) << "the display is back";

    // Alive: Escape pauses with Resume offered, and Escape again resumes.
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_PAUSE);
    EXPECT_NE(label_with(&pause.root, "Resume"), nullptr);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_LEVEL);

    // Still walking into view: shot again, and now Escape quits to the list.
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_PAUSE; }, 400));
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_MENU_PLAY);
    EXPECT_NE(web_slots().track.path.find("&category=corridor&action=quit&value="), std::string::npos)
        << web_slots().track.path;
}

TEST_F(Play, RestartIsAFreshAttemptFromTheStoredLevel) {
    play(CORRIDOR);
    frames();
    typed('2');
    click_cell(12, 11);
    frames(90);
    ASSERT_GT(g->level.play_time, 30);
    const int seconds = g->level.play_time / 30;
    key(KEY_ESCAPE);
    frames();
    // A stored copy that claims to be set up already is still set up afresh.
    g->edit_level.started = 1;
    click(label_with(&screen(STATE_PAUSE).root, "Restart"));
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_NE(web_slots().track.path.find("&action=restart&value=" + std::to_string(seconds)),
              std::string::npos)
        << web_slots().track.path;
    EXPECT_EQ(g->level.play_time, 0);
    EXPECT_EQ(g->rewind_pos, 0);
    EXPECT_EQ(player_cell_x(), 14);
    EXPECT_EQ(g->level.inventory[ACTOR_TIME_BOMB], 2);
    EXPECT_EQ(actor_at(*g, 14, 11), nullptr) << "the Time Bomb is gone";
    EXPECT_EQ(g->level.map[cell_index(12, 11)], 17) << "the cartridge is back";
}

TEST_F(Play, LeavingGoesWhereTheLevelWasStartedOrToTheMainMenu) {
    struct Case {
        int return_state, want;
    };
    const Case cases[] = {
        {STATE_MENU_PLAY, STATE_MENU_PLAY}, {STATE_MENU_DOWNLOAD2, STATE_MENU_DOWNLOAD2},
        {STATE_EDIT_MENU, STATE_EDIT_MENU}, {STATE_LEVEL, STATE_MENU_MAIN},
        {STATE_PAUSE, STATE_MENU_MAIN},     {STATE_REWIND, STATE_MENU_MAIN},
        {STATE_LEVEL_INTRO, STATE_MENU_MAIN}, {STATE_LEVEL_WIN, STATE_MENU_MAIN},
        {0, STATE_MENU_MAIN},               {19, STATE_MENU_MAIN},
        {-7, STATE_MENU_MAIN},              {1 << 30, STATE_MENU_MAIN},
    };
    for (const Case& c : cases) {
        g->return_state = c.return_state;
        EXPECT_EQ(level_exit_state(*g), c.want) << c.return_state;
    }
    // Through the pause screen's Quit, with a return state naming the level itself.
    play(CORRIDOR, STATE_LEVEL);
    key(KEY_ESCAPE);
    frames();
    click(label_with(&screen(STATE_PAUSE).root, "Quit"));
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
}

// The level's own music starts with the level and plays on under the intro and
// the pause screen; quitting to the list brings the menus' music back. A level
// naming a stream that does not exist plays the play track and says so.
TEST_F(Play, TheLevelsMusicPlaysUnderItAndTheMenusGetTheirsBack) {
    test::ScopedEnv audio("SDL_AUDIODRIVER", "dummy");
    testing::internal::CaptureStderr();
    sound_init();
    load_sound_names();
    music_play_menus(0.5f);  // as at start-up
    const int menus = stream_get("menus"), tension = stream_get("tension"), sneak = stream_get("sneak");
    testing::internal::GetCapturedStderr();
    ASSERT_GT(menus, 0);
    ASSERT_EQ(music_current(), menus);

    struct Case {
        const char* music;
        int stream;
        bool complaint;
    } cases[] = {{"tension", tension, false}, {"", sneak, false}, {"jazz", sneak, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.music);
        log.clear();
        load(CORRIDOR);
        set_field(g->level.music, c.music);
        g->edit_level = g->level;
        logged([&] { set_state(*g, STATE_LEVEL); });
        ASSERT_EQ(g->state, STATE_LEVEL_INTRO);
        EXPECT_EQ(music_current(), c.stream);
        key(KEY_ENTER);
        key(KEY_ESCAPE);
        frames();
        ASSERT_EQ(g->state, STATE_PAUSE);
        EXPECT_EQ(music_current(), c.stream);
        click(label_with(&screen(STATE_PAUSE).root, "Quit"));
        EXPECT_EQ(g->state, STATE_MENU_PLAY);
        EXPECT_EQ(music_current(), menus);
        EXPECT_EQ(log.find("music_play_level: no stream") != std::string::npos, c.complaint) << log;
    }
    sound_shutdown();
    log.clear();
}

// A corrupt level (a damaged state.dat, a hostile download) resumed behind the
// pause screen, played, restarted and won: never a crash, never a read outside
// the records (the sanitizer build runs this too).
TEST_F(Play, CorruptLevelsArePlayable) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 rng(seed);
        auto* bytes = reinterpret_cast<uint8_t*>(&g->level);
        for (size_t i = 0; i < sizeof(level); ++i) bytes[i] = uint8_t(rng());
        // A few player and bomb actors among the noise, with wild fields.
        for (int s = 0; s < MAX_ACTORS; s += 5) {
            actor& a = g->level.actors[s];
            a.active = 1;
            a.kind = uint8_t(s % 3 == 0 ? ACTOR_PLAYER : ACTOR_TIME_BOMB + s % 3);
        }
        g->level.started = 1;
        memcpy(&g->edit_level, &g->level, sizeof(level));
        g->return_state = int(rng());
        logged([&] { set_state(*g, app_start_state(STATE_LEVEL)); });
        ASSERT_EQ(g->state, STATE_PAUSE) << seed;
        frames(3);
        key(KEY_ESCAPE);
        frames(30);
        if (g->state == STATE_LEVEL) {
            typed('2');
            mouse(EV_MOUSEDOWN, 480, 300, 1);
            frames(30);
            logged([&] { set_state(*g, STATE_LEVEL_WIN); });
            frames(5);
            typed(' ');
        }
        logged([&] { set_state(*g, STATE_PAUSE); });
        frames();
        Label* restart = label_with(&screen(STATE_PAUSE).root, "Restart");
        ASSERT_NE(restart, nullptr);
        click(restart);
        EXPECT_EQ(g->state, STATE_LEVEL_INTRO) << seed;
        key(KEY_ENTER);
        frames(30);
    }
    log.clear();
}

// Random input at any rate, in any order, on every play screen: the game stays
// on the play screens or where they lead, and the display stays whole.
TEST_F(Play, RandomInputKeepsTheScreensConsistent) {
    play({
        "#W########",
        "#..$.....#",
        "#.@..P...#",
        "#....G...#",
        "#........#",
        "##########",
    });
    std::mt19937 rng(14);
    const int keys[] = {KEY_W, KEY_A, KEY_S, KEY_D, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_ESCAPE,
                        KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_ENTER, 0, 255, 1000};
    for (int step = 0; step < 3000; ++step) {
        const int what = int(rng() % 10);
        if (what < 4) {
            Event e{};
            e.kind = what < 2 ? EV_KEYDOWN : EV_KEYUP;
            e.key = uint32_t(keys[rng() % (sizeof keys / sizeof keys[0])]);
            e.unicode = rng() % 4 == 0 ? uint32_t('1' + rng() % 5) : 0;
            send(e);
        } else if (what < 8) {
            static const int kinds[] = {EV_MOUSEDOWN, EV_MOUSEUP, EV_MOUSEMOVE, EV_WHEEL};
            Event e{};
            e.kind = kinds[rng() % 4];
            e.x = float(int(rng() % 1100) - 70);
            e.y = float(int(rng() % 900) - 90);
            e.dx = float(int(rng() % 61) - 30);
            e.dy = float(int(rng() % 61) - 30);
            e.button = uint32_t(rng() % 6);
            send(e);
        } else {
            frames(int(rng() % 4));
        }
        const int s = g->state;
        ASSERT_TRUE(s == STATE_LEVEL || s == STATE_PAUSE || s == STATE_REWIND ||
                    s == STATE_LEVEL_INTRO || s == STATE_LEVEL_WIN || s == STATE_MENU_PLAY)
            << "step " << step << ": state " << s;
        if (s == STATE_LEVEL) {
            ASSERT_EQ(level_screen().root.children.size(), 2u) << step;
        }
        if (s == STATE_MENU_PLAY || s == STATE_LEVEL_WIN) {
            // Start again, as the list would.
            g->level = g->edit_level;
            logged([&] { set_state(*g, STATE_LEVEL); });
        }
        for (int h : level_screen().held) ASSERT_TRUE(h == 0 || h == 1);
    }
    log.clear();
}

}  // namespace
