// MenuSettings: the settings, on three pages: the two volumes; the account of
// the level service; the video resolution and full screen. Leaving a page
// stores its fields; a video choice opens the new mode at once.
#pragma once

#include <string>
#include <vector>

#include "platform/driver.h"
#include "screens/screen.h"

class MenuSettings : public Screen {
public:
    explicit MenuSettings(game* g);
    void enter() override;   // builds page settings_page
    void leave() override;   // stores the page's fields
    void paint() override;   // as a menu
    void event(Event e) override;
    void frame() override;   // the root's tick

    enum : int {
        PREVIOUS = -1, NEXT = 1, DONE = 2, MUSIC_MOVED = 3, EFFECTS_MOVED = 4, VIDEO_CHOSEN = 5,
    };
};

// The page shown, 0..2; back to 0 when the settings are closed.
extern int settings_page;

// Stores every settings widget the tree holds ("name", "passwd", "music",
// "sfx", "vres", "vfull") into g.settings, then rebuilds the user identifier
// ("g:" and the user name, cut to its field).
void store_settings_fields(game& g, Container& root);

// The choices of the resolution picker: "Auto" (-1), four fixed sizes, then
// the display's full-screen modes in the order reported, leaving out those
// smaller than 480 x 320 and those already offered, 25 choices at most. A
// value is width * 4096 + height.
struct VideoChoice {
    std::string text;
    int value;
};
std::vector<VideoChoice> video_choices(const std::vector<VideoSize>& reported);

// After the video mode was opened again from the settings: when the display
// gave another size than the one chosen (not Auto), or no full screen where it
// was asked for, the settings take what is in use, so the screen shows it.
void settings_follow_video(game& g);
