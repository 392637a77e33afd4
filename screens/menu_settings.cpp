#include "screens/menu_settings.h"

#include <algorithm>
#include <cstdio>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "screens/level_list.h"
#include "sound/sound.h"
#include "ui/grid_picker.h"
#include "ui/slider.h"
#include "ui/text_input.h"
#include "ui/widget_gfx.h"

int settings_page = 0;

namespace {

enum : int { MODE_AUTO = -1, FULL_OFF = -1, FULL_ON = 1, MAX_CHOICES = 25 };

int mode_value(int w, int h) { return w * 4096 + h; }

std::string mode_text(int w, int h) {
    char text[32];
    snprintf(text, sizeof text, "%dx%d", w, h);
    return text;
}

void heading(Table* t, const char* text) { td_row(t, make_label("font2", text)); }

Widget* build_volumes(const settings& s, Table* t) {
    heading(t, "Music Volume");
    NumSlider* music = make_slider("music", s.music_volume, 1);
    music->change_value = MenuSettings::MUSIC_MOVED;
    td_row(t, music);
    heading(t, "Effects Volume");
    NumSlider* sfx = make_slider("sfx", s.effects_volume, 0);
    sfx->change_value = MenuSettings::EFFECTS_MOVED;
    td_row(t, sfx);
    music->next_focus = sfx;
    sfx->next_focus = music;
    return nullptr;
}

Widget* build_account(const settings& s, Table* t) {
    heading(t, "VANTORR Username");
    TextInput* name = make_text_field("name", field_text(s.user).c_str(), 0, 0);
    td_row(t, name);
    heading(t, "VANTORR Password");
    TextInput* passwd = make_text_field("passwd", field_text(s.password).c_str(), 0, 1);
    td_row(t, passwd);
    name->next_focus = passwd;
    passwd->next_focus = name;
    return name;
}

Widget* build_video(const settings& s, Table* t) {
    heading(t, "Video Resolution");
    GridPicker* vres = new GridPicker();
    vres->name = "vres";
    vres->columns = 5;
    vres->change_value = MenuSettings::VIDEO_CHOSEN;
    for (const VideoChoice& c : video_choices(fullscreen_modes()))
        vres->add_entry(c.text.c_str(), c.value, 0);
    // A stored size the list does not hold (one the display fell back to) is
    // offered too, so the choice in use is always shown.
    if (s.video_mode > 0 && !vres->has_value(s.video_mode))
        vres->add_entry(mode_text(s.video_mode / 4096, s.video_mode % 4096).c_str(), s.video_mode, 0);
    vres->set_value_i(s.video_mode > 0 ? s.video_mode : MODE_AUTO);
    td_row(t, vres);

    heading(t, "Fullscreen");
    GridPicker* vfull = new GridPicker();
    vfull->name = "vfull";
    vfull->change_value = MenuSettings::VIDEO_CHOSEN;
    vfull->add_entry("Off", FULL_OFF, 160);
    vfull->add_entry("On", FULL_ON, 160);
    vfull->set_value_i(s.fullscreen == FULL_OFF ? FULL_OFF : FULL_ON);
    td_row(t, vfull);

    const Driver& d = driver();
    if (video_has_surface() && d.width > 0 && d.height > 0) {
        char text[96];
        snprintf(text, sizeof text, "In use: %d x %d, %s", d.width, d.height,
                 video_is_fullscreen() ? "full screen" : "in a window");
        Label* l = make_label("font1", text);
        l->styles[STYLE_BASE].color = 0xAAAAAA;
        td_row(t, new Box(l));
    }
    return nullptr;
}

}  // namespace

std::vector<VideoChoice> video_choices(const std::vector<VideoSize>& reported) {
    std::vector<VideoChoice> out = {{"Auto", MODE_AUTO}};
    const VideoSize fixed[] = {{1280, 720}, {1024, 768}, {960, 640}, {480, 320}};
    for (const VideoSize& m : fixed) out.push_back({mode_text(m.w, m.h), mode_value(m.w, m.h)});
    for (const VideoSize& m : reported) {
        if (out.size() >= MAX_CHOICES) break;
        // 4095 is the largest side the stored value can carry.
        if (m.w < 480 || m.h < 320 || m.w > 4095 || m.h > 4095) continue;
        const int v = mode_value(m.w, m.h);
        if (std::any_of(out.begin(), out.end(), [&](const VideoChoice& c) { return c.value == v; }))
            continue;
        out.push_back({mode_text(m.w, m.h), v});
    }
    return out;
}

void store_settings_fields(game& g, Container& root) {
    settings& s = g.settings;
    if (Widget* w = find(&root, "name")) set_field(s.user, w->get_value_s() ? w->get_value_s() : "");
    if (Widget* w = find(&root, "passwd"))
        set_field(s.password, w->get_value_s() ? w->get_value_s() : "");
    if (Widget* w = find(&root, "music")) s.music_volume = clamp_range(w->get_value_i(), 0, 100);
    if (Widget* w = find(&root, "sfx")) s.effects_volume = clamp_range(w->get_value_i(), 0, 100);
    if (Widget* w = find(&root, "vres")) {
        const int v = w->get_value_i();
        if (v == MODE_AUTO || v > 0) s.video_mode = v;
    }
    if (Widget* w = find(&root, "vfull")) s.fullscreen = w->get_value_i() == FULL_OFF ? FULL_OFF : FULL_ON;
    snprintf(s.user_id, sizeof s.user_id, "g:%.61s", s.user);
}

void settings_follow_video(game& g) {
    const Driver& d = driver();
    // With no mode at all the driver still holds the last size: nothing is in use.
    if (!video_has_surface() || d.width <= 0 || d.height <= 0) return;
    settings& s = g.settings;
    if (s.video_mode > 0 && mode_value(d.width, d.height) != s.video_mode)
        s.video_mode = mode_value(d.width, d.height);
    // While full screen is left for the browser the window is windowed on purpose.
    if (!g.windowed && s.fullscreen != FULL_OFF && !video_is_fullscreen()) s.fullscreen = FULL_OFF;
}

MenuSettings::MenuSettings(game* g) : Screen(g) {}

void MenuSettings::enter() {
    clear(&root);
    settings_page = clamp_range(settings_page, 0, 2);
    Table* t = new Table();
    Widget* first = nullptr;
    switch (settings_page) {
    case 0:
        first = build_volumes(g->settings, t);
        break;
    case 1:
        first = build_account(g->settings, t);
        break;
    default:
        first = build_video(g->settings, t);
        break;
    }
    Box* page = new Box(t);
    page->styles[STYLE_BASE].width = 960;
    page->styles[STYLE_BASE].height = 620;
    place_at(root, page, 0, 0);

    if (settings_page > 0) place_edge(root, make_button("Previous", PREVIOUS, 240, 0), -1, 1);
    if (settings_page == 2)
        place_edge(root, make_button("Done", DONE, 240, 0), 1, 1);
    else
        place_edge(root, make_button("Next", NEXT, 240, 0), 1, 1);
    // The keyboard starts in the first field, so the account can be typed at once.
    if (first) first->focus();
}

void MenuSettings::leave() { store_settings_fields(*g, root); }

void MenuSettings::paint() { paint_as_menu(root); }

void MenuSettings::frame() { screen_tick(root); }

void MenuSettings::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) answer = DONE;
    switch (answer) {
    case DONE:
        settings_page = 0;
        set_state(*g, STATE_MENU_MAIN);  // leaving stores the fields
        break;
    case NEXT:
    case PREVIOUS:
        settings_page = clamp_range(settings_page + answer, 0, 2);
        set_state(*g, STATE_MENU_SETTINGS);
        break;
    case MUSIC_MOVED:
        store_settings_fields(*g, root);
        // The stream playing now, whichever it is.
        stream_volume(music_current(), float(g->settings.music_volume) / 100.0f);
        break;
    case EFFECTS_MOVED:
        store_settings_fields(*g, root);
        sound_play(sample_get("drop"), float(g->settings.effects_volume) / 100.0f, 0.0f);
        break;
    case VIDEO_CHOSEN:
        store_settings_fields(*g, root);
        app_video_init(*g);
        settings_follow_video(*g);
        // Built again without leaving, so the fields are not stored over what
        // the display gave.
        enter();
        break;
    default:
        break;
    }
}
