#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/app.h"
#include "core/state.h"
#include "platform/driver.h"
#include "screens/edit.h"
#include "screens/edit_info.h"
#include "screens/edit_menu.h"
#include "screens/edit_share.h"
#include "screens/level.h"
#include "screens/level_intro.h"
#include "screens/level_win.h"
#include "screens/menu_credits.h"
#include "screens/menu_download1.h"
#include "screens/menu_download2.h"
#include "screens/menu_edit.h"
#include "screens/menu_error.h"
#include "screens/menu_help.h"
#include "screens/menu_main.h"
#include "screens/menu_play.h"
#include "screens/menu_settings.h"
#include "screens/pause.h"
#include "screens/rewind.h"
#include "screens/states.h"

namespace {

std::vector<std::string> calls;

// A screen that writes down every call and what the key table held at the time.
class Recorder : public State {
public:
    Recorder(game* g, std::string name) : State(g), name(std::move(name)) {}
    void enter() override { calls.push_back(name + ".enter"); }
    void leave() override { calls.push_back(name + ".leave"); }
    void event(Event e) override {
        seen.push_back(e);
        keys_at_event.push_back(e.key < 256 ? g->keys[e.key] : 255);
        calls.push_back(name + ".event");
    }
    void frame() override { calls.push_back(name + ".frame"); }
    std::string name;
    std::vector<Event> seen;
    std::vector<int> keys_at_event;
};

struct StateTest : ::testing::Test {
    std::unique_ptr<game> g{new game()};
    Recorder* a = nullptr;
    Recorder* b = nullptr;
    void SetUp() override {
        for (State*& s : state_table) s = nullptr;
        a = new Recorder(g.get(), "a");
        b = new Recorder(g.get(), "b");
        state_table[1] = a;
        state_table[2] = b;
        calls.clear();
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
    }
};

TEST_F(StateTest, ChangeLeavesThenEnters) {
    g->state = 1;
    set_state(*g, 2);
    EXPECT_EQ(g->state, 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"a.leave", "b.enter"}));
}

TEST_F(StateTest, ReenteringRebuilds) {
    g->state = 2;
    set_state(*g, 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"b.leave", "b.enter"}));
}

TEST_F(StateTest, FromEmptyEntryOnlyEnters) {
    g->state = 0;
    set_state(*g, 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"a.enter"}));
}

TEST_F(StateTest, EmptyOrOutOfRangeTargetIsRefused) {
    g->state = 1;
    for (int n : {0, 7, 31, 32, -1, 1000}) {
        testing::internal::CaptureStderr();
        set_state(*g, n);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "set_state: no screen " + std::to_string(n) + "\n");
    }
    EXPECT_EQ(g->state, 1);
    EXPECT_TRUE(calls.empty());
}

TEST_F(StateTest, StartStateSubstitutions) {
    EXPECT_EQ(app_start_state(0), 1);
    EXPECT_EQ(app_start_state(2), 2);
    EXPECT_EQ(app_start_state(3), 1) << "3 becomes the pause screen, which is empty in this table";
    state_table[4] = new Recorder(g.get(), "pause");
    EXPECT_EQ(app_start_state(3), 4);
    EXPECT_EQ(app_start_state(4), 4);
    for (int n : {9, 31, 32, -5, 1 << 30}) EXPECT_EQ(app_start_state(n), 1) << n;
}

TEST_F(StateTest, DispatcherKeyTableOrder) {
    g->state = 1;
    g->keys[KEY_A] = 1;
    Event up{};
    up.kind = EV_KEYUP;
    up.key = KEY_A;
    app_event(*g, up);
    EXPECT_EQ(a->keys_at_event.back(), 0) << "a release is cleared before the screen sees it";

    Event down{};
    down.kind = EV_KEYDOWN;
    down.key = KEY_Z;
    app_event(*g, down);
    EXPECT_EQ(a->keys_at_event.back(), 0) << "a press is marked only after the screen saw it";
    EXPECT_EQ(g->keys[KEY_Z], 1);
}

TEST_F(StateTest, ReleaseUnderAnotherScreenStillClears) {
    g->state = 1;
    Event down{};
    down.kind = EV_KEYDOWN;
    down.key = KEY_LEFT;
    app_event(*g, down);
    set_state(*g, 2);
    Event up = down;
    up.kind = EV_KEYUP;
    app_event(*g, up);
    EXPECT_EQ(g->keys[KEY_LEFT], 0);
    EXPECT_EQ(a->seen.size(), 1u) << "only the current screen gets events";
    EXPECT_EQ(b->seen.size(), 1u);
}

TEST_F(StateTest, QuitAndOddKeysReachTheScreenSafely) {
    g->state = 1;
    Event quit{};
    quit.kind = EV_QUIT;
    app_event(*g, quit);
    ASSERT_EQ(a->seen.size(), 1u);
    EXPECT_EQ(a->seen[0].kind, EV_QUIT);

    Event huge{};
    huge.kind = EV_KEYDOWN;
    huge.key = 0xFFFFFFFFu;
    app_event(*g, huge);  // out-of-table key: no write outside the table
    EXPECT_EQ(a->seen.size(), 2u);
}

TEST_F(StateTest, MouseEventsArriveOnTheCanvas) {
    driver().width = 1920;
    driver().height = 1080;
    g->state = 1;
    Event click{};
    click.kind = EV_MOUSEDOWN;
    click.x = click.raw_x = 960;
    click.y = click.raw_y = 540;
    app_event(*g, click);
    EXPECT_FLOAT_EQ(a->seen.back().x, 480);
    EXPECT_FLOAT_EQ(a->seen.back().y, 360);
    driver().width = driver().height = 0;
}

TEST_F(StateTest, FrameGoesToTheCurrentScreenOnly) {
    g->state = 2;
    app_frame(*g);
    EXPECT_EQ(calls, (std::vector<std::string>{"b.frame"}));
}

TEST(MakeStates, EveryScreenAtItsNumber) {
    std::unique_ptr<game> g(new game());
    make_states(*g);
    int filled = 0;
    for (int n = 0; n < STATE_TABLE_SIZE; ++n) filled += state_table[n] != nullptr;
    EXPECT_EQ(filled, 18);
    EXPECT_EQ(state_table[0], nullptr);
    for (int n = 1; n <= 18; ++n) EXPECT_NE(state_table[n], nullptr) << n;
    for (int n = 19; n < 32; ++n) EXPECT_EQ(state_table[n], nullptr) << n;
    const std::type_info* classes[19] = {
        nullptr,
        &typeid(MenuMain), &typeid(Edit), &typeid(Level), &typeid(Pause),
        &typeid(Rewind), &typeid(EditInfo), &typeid(EditMenu), &typeid(MenuEdit),
        &typeid(MenuPlay), &typeid(LevelIntro), &typeid(MenuSettings), &typeid(MenuDownload1),
        &typeid(LevelWin), &typeid(MenuDownload2), &typeid(EditShare), &typeid(MenuError),
        &typeid(MenuCredits), &typeid(MenuHelp),
    };
    for (int n = 1; n <= 18; ++n)
        EXPECT_EQ(typeid(*state_table[n]), *classes[n]) << "state " << n;
    make_states(*g);  // a second call replaces the screens without leaking
    for (State*& s : state_table) {
        delete s;
        s = nullptr;
    }
}

}  // namespace
